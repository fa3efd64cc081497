// Resources compiled into the program, the string table and the version
// information, under their Windows names. Included by platform/winapi.h.
#pragma once

#include "platform/winuser_styles.h"

#define MAKEINTRESOURCEA(i) ((LPSTR)(ULONG_PTR)((WORD)(i)))

HMODULE GetModuleHandleA(LPCSTR lpModuleName);

// Copies string uID of the module's string table, in the user's interface
// language, into lpBuffer (cut to cchBufferMax - 1 bytes, always terminated).
// Returns the number of bytes copied, 0 when the string does not exist.
int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);

#define LANG_ENGLISH 0x09
#define LANG_JAPANESE 0x11
#define PRIMARYLANGID(lgid) ((WORD)(lgid) & 0x3ff)

LANGID GetUserDefaultUILanguage();

#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_VERSION MAKEINTRESOURCEA(16)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)
#define RT_DIALOG MAKEINTRESOURCEA(5)

#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define LANG_NEUTRAL 0x00

// Finds a resource by type, id and language; language 0 (neutral) takes the
// user's interface language, then English, then any.
HRSRC FindResourceExA(HMODULE hModule, LPCSTR lpType, LPCSTR lpName, WORD wLanguage);
HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo);
LPVOID LockResource(HGLOBAL hResData);
DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo);

#define ERROR_RESOURCE_DATA_NOT_FOUND 1812u
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813u
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814u

// ---- version information ----------------------------------------------------

typedef UINT* PUINT;

// The id of the version resource (RT_VERSION).
#define VS_VERSION_INFO 1

#define VS_FFI_SIGNATURE 0xFEEF04BDu
#define VS_FFI_STRUCVERSION 0x00010000u
#define VS_FFI_FILEFLAGSMASK 0x0000003Fu
#define VOS__WINDOWS32 0x00000004u
#define VFT_APP 0x00000001u
#define VFT2_UNKNOWN 0x00000000u

typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "VS_FIXEDFILEINFO is 52 bytes");

// The path of the running program (hModule NULL). A buffer too small gets the
// path cut to nSize - 1 characters, nSize is returned and the last error is
// ERROR_INSUFFICIENT_BUFFER; 0 on failure.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

// Version information exists for the program's own file only (the name
// GetModuleFileNameA gives): the RT_VERSION resource compiled into it. The
// size leaves room after the resource for the 8-bit copies of its texts that
// VerQueryValueA hands out; *lpdwHandle, when given, is set to 0.
DWORD GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle);
// Fails with ERROR_INSUFFICIENT_BUFFER when dwLen is less than the size above.
BOOL GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);

// Queries a block filled by GetFileVersionInfoA: \ gives the
// VS_FIXEDFILEINFO, \VarFileInfo\Translation the (language, code page) pairs
// as WORDs with *puLen in bytes, \StringFileInfo\llllcccc\Name the value as
// NUL-terminated 8-bit text with *puLen its length in characters including
// the NUL. Keys compare without regard to case.
BOOL VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen);
