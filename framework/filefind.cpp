// File searches on the platform's directory search.
#include "framework/afxwin.h"

#include <cstring>

CFileFind::~CFileFind() { Close(); }

void CFileFind::Close() {
    if (m_hFind != INVALID_HANDLE_VALUE) FindClose(m_hFind);
    m_hFind = INVALID_HANDLE_VALUE;
    m_hasNext = false;
}

BOOL CFileFind::FindFile(LPCSTR pstrName, DWORD) {
    Close();
    const char* name = pstrName ? pstrName : "*.*";
    if (std::strlen(name) >= MAX_PATH) return FALSE;
    m_hFind = FindFirstFileA(name, &m_next);
    m_hasNext = m_hFind != INVALID_HANDLE_VALUE;
    return m_hasNext ? TRUE : FALSE;
}

BOOL CFileFind::FindNextFile() {
    if (!m_hasNext) return FALSE;
    m_current = m_next;
    m_hasNext = FindNextFileA(m_hFind, &m_next) != FALSE;
    return m_hasNext ? TRUE : FALSE;
}

ULONGLONG CFileFind::GetLength() const {
    return ((ULONGLONG)m_current.nFileSizeHigh << 32) | m_current.nFileSizeLow;
}
