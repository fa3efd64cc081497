// Message maps: a message finds its handler in the most derived class's map
// first, then in its bases'.
#include "framework/afxwin.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, {}}};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

BOOL CCmdTarget::OnCmdMsgMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const UINT code = message == WM_COMMAND ? HIWORD(wParam) : 0;
    const UINT id = message == WM_COMMAND ? LOWORD(wParam) : 0;
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
            if (e->nMessage != message) continue;
            if (message == WM_COMMAND && (e->nCode != code || id < e->nID || id > e->nLastID)) continue;
            LRESULT r = 0;
            switch (e->nSig) {
                case AfxSig_vv: (this->*e->pfn.vv)(); break;
                case AfxSig_vwl: (this->*e->pfn.vwl)((UINT)wParam, lParam); break;
                case AfxSig_hv: r = (LRESULT)(this->*e->pfn.hv)(); break;
                case AfxSig_vw: (this->*e->pfn.vw)((UINT_PTR)wParam); break;
                case AfxSig_bHELPINFO: r = (this->*e->pfn.bHELPINFO)(reinterpret_cast<HELPINFO*>(lParam)); break;
                default: continue;
            }
            if (result) *result = r;
            return TRUE;
        }
    }
    return FALSE;
}
