// STUB: replaced by the Startup Programs page work.
#include "startup/startup.h"
#include "app/app.h"

int FillStartupList(HWND page) { (void)page; return 0; }

INT_PTR CALLBACK StartupProgramsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG: PreparePageButtons(page); SheetPage = 1; return TRUE;
    case WM_COMMAND: return LOWORD(wParam) == IDCANCEL;
    case WM_DESTROY: SheetPage = 0; return FALSE;
    default: return FALSE;
    }
}
