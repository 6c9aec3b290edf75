// The Cookies page. Until cookie listing arrives the page shows its texts only.
#include "cookies/cookies.h"
#include "app/app.h"

void AddCookieFolderItem(const char *path, const WIN32_FIND_DATAA *find, LPARAM tag)
{
    (void)path;
    (void)find;
    (void)tag;
}

INT_PTR CALLBACK CookiesPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        PreparePageButtons(page);
        SheetPage = 3;
        return TRUE;
    case WM_COMMAND:
        return LOWORD(wParam) == IDCANCEL;
    case WM_DESTROY:
        SheetPage = 0;
        return FALSE;
    default:
        return FALSE;
    }
}
