#include "framework/CString.h"

#include <vector>

BOOL CString::LoadString(UINT nID) {
    // Grows the buffer until the whole text fits.
    for (int size = 256;; size *= 4) {
        std::vector<char> buffer((size_t)size);
        int n = LoadStringA(GetModuleHandleA(nullptr), nID, buffer.data(), size);
        if (n < size - 4 || size >= (1 << 20)) {
            text_.assign(buffer.data(), (size_t)n);
            return n > 0 ? TRUE : FALSE;
        }
    }
}
