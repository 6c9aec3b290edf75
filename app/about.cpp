// The About page: the program's name and version, its picture, and a link to
// the home page.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "store/store.h"

const char HomePageAddress[] = "http://www.ostrelstudios.example/sentrovia/";

namespace {

enum : int { IdTitle = 1041, IdText = 1042, IdLinkHint = 1043, IdHomeLink = 1021 };

// "Sentrovia v" and the running executable's ProductVersion, or the plain
// title when the executable carries no version.
void SetAboutTitle(HWND page)
{
    char version[VersionFieldSize];
    if (OwnProductVersion(version, sizeof(version)) > 0) {
        char title[TextSize];
        LoadText(IDS_VERSION_PREFIX, title, sizeof(title));
        AppendText(title, sizeof(title), version);
        SetDlgItemTextA(page, IdTitle, title);
    } else {
        SetDlgItemTextId(page, IDS_ABOUT_TITLE, IdTitle);
    }
    if (TitleFont)
        SendDlgItemMessageA(page, IdTitle, WM_SETFONT, (WPARAM)TitleFont, TRUE);
}

BOOL OnInitAboutPage(HWND page)
{
    SetAboutTitle(page);
    SetDlgItemTextId(page, IDS_ABOUT_TEXT, IdText);
    SetDlgItemTextId(page, IDS_ABOUT_LINKHINT, IdLinkHint);
    // The link shows the very address it opens.
    SetDlgItemTextA(page, IdHomeLink, HomePageAddress);
    PreparePageButtons(page);
    MakeOwnerDrawn(page, IdHomeLink);
    SheetPage = 6;
    return TRUE;
}

BOOL OnAboutCommand(WPARAM wParam)
{
    if (LOWORD(wParam) != IdHomeLink || HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    // A page that cannot be opened is not reported: there is nothing the
    // user could do about it here.
    OpenWebPage(HomePageAddress, 0);
    return TRUE;
}

} // namespace

// AboutPage: the dialog procedure of template 103.
INT_PTR CALLBACK AboutPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitAboutPage(page);
    case WM_COMMAND:
        return OnAboutCommand(wParam);
    case WM_DRAWITEM:
        return DrawLinkButton((const DRAWITEMSTRUCT *)lParam);
    case WM_SETCURSOR:
        TrackLinkHover(wParam);
        return FALSE;
    case WM_CLOSE:
    case WM_DESTROY:
        SheetPage = 0;
        return FALSE;
    default:
        return FALSE;
    }
}
