// STUB: replaced by the Active Tasks page work.
#include "tasks/tasks.h"
#include "app/app.h"

int FillTaskList(HWND page) { (void)page; return 0; }
void RefreshTaskPage() {}

INT_PTR CALLBACK ActiveTasksPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG: PreparePageButtons(page); SheetPage = 2; return TRUE;
    case WM_COMMAND: return LOWORD(wParam) == IDCANCEL;
    case WM_DESTROY: SheetPage = 0; return FALSE;
    default: return FALSE;
    }
}
