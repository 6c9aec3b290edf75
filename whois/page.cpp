// The Domain Info page. Until the WHOIS client arrives the page shows its
// texts only.
#include "whois/whois.h"
#include "app/app.h"

INT_PTR CALLBACK DomainInfoPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        PreparePageButtons(page);
        SheetPage = 4;
        return TRUE;
    case WM_COMMAND:
        return LOWORD(wParam) == IDCANCEL;
    case WM_CLOSE:
    case WM_DESTROY:
        SheetPage = 0;
        return FALSE;
    default:
        return FALSE;
    }
}
