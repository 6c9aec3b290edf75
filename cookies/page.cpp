// The Cookies page: one row per cookie file with a check box for the cookies
// the user keeps, the cookie viewer, Remove Unchecked, the nuts dialog and
// the text report.
#include "cookies/cookies.h"
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "store/store.h"

#include <string.h>

namespace {

enum : int {
    IdList = 1000,
    IdHeader = 1045,
    IdHint = 1046,
    IdProperties = 1008,
    IdRemoveUnchecked = 1004,
    IdNuts = 1065,
    IdFullReport = 9,
    // The dialog's default ID names no control, so no button is the default.
    IdNoDefault = 6026,
    IdViewerText = 1004,
    IdViewerPath = 1005,
};

const int CookiesSheetPage = 3;
const char CookiesSection[] = "Cookies";
const int RowTextSize = 512;
const int ViewerCapacity = 4096;
// State images of the check boxes.
const UINT Unchecked = 1;
const UINT Checked = 2;
// A command with this notification code stands for Enter.
const WORD EnterCode = 2;

HWND CookieList(HWND page)
{
    return GetDlgItem(page, IdList);
}

void SetRowCheck(HWND list, int row, UINT image)
{
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(image);
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
}

UINT RowCheck(HWND list, int row)
{
    UINT state = (UINT)SendMessageA(list, LVM_GETITEMSTATE, (WPARAM)row, LVIS_STATEIMAGEMASK);
    return (state & LVIS_STATEIMAGEMASK) >> 12;
}

void WriteKeepMark(const char *name, bool keep)
{
    char key[CookieKeySize];
    WritePrivateProfileStringA(CookiesSection, CookieKeepKey(name, key), keep ? "1" : nullptr, DataFilePath);
}

// The entry a row was filled from (its item data); -1 when none.
int RowEntry(HWND list, int row)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (row < 0 || !SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item))
        return -1;
    return (int)item.lParam;
}

// Deletes the file of an unchecked row: the row's own entry, when that entry
// is still the file the row shows.
void DeleteRowFile(HWND list, int row, const char *rowText)
{
    char path[PathSize];
    if (!GetEntryPath(RowEntry(list, row), path))
        return;
    if (lstrcmpiA(path + FileNamePart(path), rowText) != 0)
        return;
    ForceDeleteFile(path);
}

// 1 when one of the first `count` keys of the block is this key (keys ignore case).
bool KeyHeld(const char *keys, int count, const char *key)
{
    for (int i = 0; i < count; ++i)
        if (lstrcmpiA(keys + (size_t)i * CookieKeySize, key) == 0)
            return true;
    return false;
}

// Files of one name in different subfolders share a mark: it stays while
// any row of that name is checked, else the next collection would show the
// checked file unchecked and a later pass would delete it. Unchecked rows'
// files go when deleteUnchecked is set.
void ApplyKeepMarks(HWND page, bool deleteUnchecked)
{
    HWND list = CookieList(page);
    int rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    if (rows <= 0)
        return;
    GlobalBlock block(GlobalAlloc(GMEM_FIXED, (SIZE_T)rows * CookieKeySize));
    if (!block.block)
        return;
    char *checkedKeys = (char *)block.block;
    int checked = 0;
    for (int row = 0; row < rows; ++row) {
        if (RowCheck(list, row) == Unchecked)
            continue;
        char text[RowTextSize];
        GetListCellText(list, row, 0, text, sizeof(text));
        CookieKeepKey(text, checkedKeys + (size_t)checked++ * CookieKeySize);
    }
    for (int row = 0; row < rows; ++row) {
        char text[RowTextSize];
        char key[CookieKeySize];
        GetListCellText(list, row, 0, text, sizeof(text));
        WriteKeepMark(text, KeyHeld(checkedKeys, checked, CookieKeepKey(text, key)));
        if (deleteUnchecked && RowCheck(list, row) == Unchecked)
            DeleteRowFile(list, row, text);
    }
}

// The dialog uses the entry table for the nuts, so the list is filled again
// afterwards; the marks set so far are kept first, or the refill would drop them.
void OpenNutsDialog(HWND page)
{
    SaveKeepMarks(page);
    DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_NUTS), page, NutsDialog, 0);
    FillCookieList(page);
}

// The report collects the cookies afresh; the marks the user set so far are
// kept first, and the rows follow the new collection, so that each row again
// names its own entry.
void WriteCookieReport(HWND page)
{
    SaveKeepMarks(page);
    WriteCookieTextReport();
    FillCookieList(page);
}

BOOL OnInitCookiesPage(HWND page)
{
    const struct { int text; int control; } texts[] = {
        {IDS_COOKIES_HEADER, IdHeader}, {IDS_COOKIES_HINT, IdHint},
        {IDS_BTN_PROPERTIES, IdProperties}, {IDS_BTN_REMOVEUNCHECKED, IdRemoveUnchecked},
        {IDS_BTN_NUTS, IdNuts}, {IDS_BTN_FULLREPORT, IdFullReport},
    };
    for (const auto &text : texts)
        SetDlgItemTextId(page, text.text, text.control);
    MakeOwnerDrawn(page, IdRemoveUnchecked);
    MakeOwnerDrawn(page, IdNuts);
    MakeOwnerDrawn(page, IdFullReport);
    PreparePageButtons(page);
    HWND list = CookieList(page);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES);
    char header[TitleSize];
    LoadText(IDS_COL_COOKIES, header, sizeof(header));
    InsertListColumn(list, 0, header, LayoutCookies);
    FillCookieList(page);
    CenterWindow(page);
    SheetPage = CookiesSheetPage;
    SendMessageA(page, DM_SETDEFID, IdNoDefault, 0);
    return TRUE;
}

BOOL OnCookiesCommand(HWND page, int command)
{
    switch (command) {
    case IDOK:
    case IdProperties: ShowCookieViewer(page); break;
    case IdRemoveUnchecked: RemoveUncheckedCookies(page); break;
    case IdNuts: OpenNutsDialog(page); break;
    case IdFullReport: WriteCookieReport(page); break;
    case IDCANCEL: break;
    default: return FALSE;
    }
    return TRUE;
}

BOOL OnCookiesNotify(HWND page, const NMHDR *header)
{
    switch (header->code) {
    case PSN_SETACTIVE:
        FillCookieList(page);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
        return TRUE;
    case PSN_KILLACTIVE:
        SaveKeepMarks(page);
        ClearEntries();
        SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
        return TRUE;
    case NM_DBLCLK:
        ShowCookieViewer(page);
        return FALSE;
    default:
        return FALSE;
    }
}

void ShowViewerText(HWND dialog)
{
    HGLOBAL text = ReadTextFile(SelectedProgramPath, ViewerCapacity);
    if (text) {
        GlobalLocked locked(text);
        if (locked.data)
            SetDlgItemTextA(dialog, IdViewerText, (const char *)locked.data);
    }
    if (text)
        GlobalFree(text);
}

BOOL OnInitCookieViewer(HWND dialog)
{
    ShowViewerText(dialog);
    SetDlgItemTextA(dialog, IdViewerPath, SelectedProgramPath);
    SetWindowTextA(dialog, SelectedProgramTitle);
    SetDlgItemTextId(dialog, IDS_BTN_CLOSE, IDOK);
    MakeOwnerDrawn(dialog, IDOK);
    CenterWindow(dialog);
    return TRUE;
}

} // namespace

// CookieCommand: which command a WM_COMMAND of the cookie dialogs stands for.
int CookieCommand(WPARAM wParam, LPARAM lParam)
{
    WORD code = HIWORD(wParam);
    char className[SmallTextSize] = "";
    if (lParam)
        GetClassNameA((HWND)lParam, className, sizeof(className));
    // An owner-drawn button tells of being pressed with code 2 too; that is
    // no Enter and no click.
    if (lstrcmpiA(className, "Button") == 0)
        return code == BN_CLICKED ? LOWORD(wParam) : 0;
    return code == EnterCode ? IDOK : LOWORD(wParam);
}

// FillCookieList: collects the cookies and shows row k for entry k, checked when kept.
int FillCookieList(HWND page)
{
    SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
    HWND list = CookieList(page);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    CollectCookieEntries();
    for (int k = 0; k < EntryCount; ++k) {
        char path[PathSize];
        GetEntryPath(k, path);
        int name = FileNamePart(path);
        if (!path[0] || name == 0)
            continue;
        int row = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
        InsertListItem(list, path + name, k, 0);
        SetRowCheck(list, row < k ? row : k, IsCookieKept(path + name) ? Checked : Unchecked);
    }
    SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
    // Every long operation of the page ends with a fill; what was clicked or
    // typed under the wait cursor was aimed at the list as it was.
    DiscardQueuedInput();
    return EntryCount;
}

// SaveKeepMarks: a checked row's name gets "1" in [Cookies], a name with no
// checked row loses its key.
void SaveKeepMarks(HWND page)
{
    ApplyKeepMarks(page, false);
}

// RemoveUncheckedCookies: deletes the files of the unchecked rows, keeps the
// marks of the checked ones, and lists what remains. A pass takes seconds
// with many files: clicks made meanwhile were aimed at the old list, so the
// button is off during the pass and they are thrown away after it.
void RemoveUncheckedCookies(HWND page)
{
    UINT oldMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    HWND button = GetDlgItem(page, IdRemoveUnchecked);
    EnableWindow(button, FALSE);
    ApplyKeepMarks(page, true);
    FillCookieList(page);
    EnableWindow(button, TRUE);
    SetErrorMode(oldMode);
}

// ShowCookieViewer: the selected cookie's text in the viewer.
void ShowCookieViewer(HWND page)
{
    HWND list = CookieList(page);
    int row = GetSelectedItem(list);
    if (row < 0) {
        HelpBox(IDS_HELP_NOCOOKIE);
        return;
    }
    LoadText(IDS_COOKIE_CAPTION, SelectedProgramTitle, sizeof(SelectedProgramTitle));
    GetEntryPath(RowEntry(list, row), SelectedProgramPath);
    // A cookie that has gone since the list was filled shows nothing.
    if (FileExists(SelectedProgramPath))
        DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_COOKIEVIEW), page, CookieViewerDialog, 0);
}

// CookiesPage: dialog procedure of the Cookies page (template 108).
INT_PTR CALLBACK CookiesPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitCookiesPage(page);
    case WM_COMMAND:
        return OnCookiesCommand(page, CookieCommand(wParam, lParam));
    case WM_NOTIFY:
        return OnCookiesNotify(page, (const NMHDR *)lParam);
    case WM_SETCURSOR:
        TrackLinkHover(wParam);
        return FALSE;
    case WM_DRAWITEM:
        return DrawLinkButton((const DRAWITEMSTRUCT *)lParam);
    case WM_DESTROY:
        // However the sheet goes (Close, Escape, the close box, or with the
        // main window when the program exits), the marks set since the last
        // switch of pages are kept; the rows are still there to read.
        SaveKeepMarks(page);
        SheetPage = 0;
        return FALSE;
    default:
        return FALSE;
    }
}

// CookieViewerDialog: the cookie viewer (template 109).
INT_PTR CALLBACK CookieViewerDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitCookieViewer(dialog);
    case WM_COMMAND:
        // The whole wParam: a pressed (not yet clicked) Close is no command.
        if (wParam == IDOK || wParam == IDCANCEL) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        return FALSE;
    case WM_SETCURSOR:
        TrackLinkHover(wParam);
        return FALSE;
    case WM_DRAWITEM:
        return DrawLinkButton((const DRAWITEMSTRUCT *)lParam);
    default:
        return FALSE;
    }
}
