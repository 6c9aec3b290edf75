// The property sheet with its six pages, and what every page and dialog
// shares: the single Close button, centring, and the owner-drawn link buttons
// with their hover colour.
#include "app/app.h"
#include "cookies/cookies.h"
#include "resource.h"
#include "startup/startup.h"
#include "store/store.h"
#include "tasks/tasks.h"
#include "whois/whois.h"

#include <mmsystem.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <stddef.h>
#include <string.h>

COLORREF LinkColor = LinkRestColor;
HWND HotLink = nullptr;
int SheetPage = 0;
HWND SheetWindow = nullptr;

namespace {

// One row of the page table, in tab order.
struct SheetPageInfo {
    int titleId;
    int templateId;
    DLGPROC procedure;
};

const SheetPageInfo SheetPages[PageCount] = {
    {IDS_TAB_STARTUP, IDD_STARTUP, StartupProgramsPage},
    {IDS_TAB_TASKS, IDD_TASKS, ActiveTasksPage},
    {IDS_TAB_COOKIES, IDD_COOKIES, CookiesPage},
    {IDS_TAB_DOMAIN, IDD_DOMAIN, DomainInfoPage},
    {IDS_TAB_OPTIONS, IDD_OPTIONS, OptionsPage},
    {IDS_TAB_ABOUT, IDD_ABOUT, AboutPage},
};

// Comctl32 4.71 brought the larger records; older ones know only the first.
const DWORD NewRecordsVersion = 0x00040047;
// The header's second layout ends with hbmHeader (the SDK's own macro for it
// does not compile with these headers).
const UINT HeaderV2Size = offsetof(PROPSHEETHEADERA, hbmHeader) + sizeof(HBITMAP);
#ifndef _WIN64
// The shipped 32-bit build must hand comctl32 and the shell exactly the record
// sizes they know (the SDK's own size macros are not constant expressions).
static_assert(HeaderV2Size == 52, "second header layout");
static_assert(offsetof(PROPSHEETHEADERA, pfnCallback) + sizeof(PFNPROPSHEETCALLBACK) == 40,
              "first header layout");
static_assert(offsetof(PROPSHEETPAGEA, pszHeaderSubTitle) + sizeof(LPCSTR) == 48,
              "second page layout");
static_assert(offsetof(PROPSHEETPAGEA, pcRefParent) + sizeof(UINT *) == 40, "first page layout");
static_assert(offsetof(NOTIFYICONDATAA, szTip) + 64 == 88, "first notification-icon layout");
#endif

// Selects a GDI object into a DC for the guard's life.
struct SelectedObject {
    HDC dc;
    HGDIOBJ old;
    SelectedObject(HDC d, HGDIOBJ object) : dc(d), old(object ? SelectObject(d, object) : nullptr) {}
    SelectedObject(const SelectedObject &) = delete;
    SelectedObject &operator=(const SelectedObject &) = delete;
    ~SelectedObject() { if (old) SelectObject(dc, old); }
};

// A sheet that is already open is brought forward instead of a second one.
void BringSheetForward(HWND owner)
{
    // The owner is the hidden main window; the sheet itself is what the user
    // must see, so it goes forward when it is known.
    HWND target = IsWindow(SheetWindow) ? SheetWindow : owner;
    BringWindowToTop(target);
    SetForegroundWindow(target);
    // The task list is the one page whose contents age while it is open.
    if (SheetPage == 2)
        RefreshTaskPage();
}

// Opens the sheet modally; the result of PropertySheetA.
INT_PTR RunSheet(HWND owner, int startPage)
{
    bool newRecords = GetCommonControlsVersion() >= NewRecordsVersion;
    UINT pageSize = newRecords ? PROPSHEETPAGEA_V2_SIZE : PROPSHEETPAGEA_V1_SIZE;
    UINT headerSize = newRecords ? HeaderV2Size : PROPSHEETHEADERA_V1_SIZE;

    // The records stand one after the other, each exactly as long as its
    // declared size: comctl32 steps through them by that size.
    alignas(PROPSHEETPAGEA) BYTE records[PageCount * sizeof(PROPSHEETPAGEA)] = {};
    char titles[PageCount][256];
    for (int i = 0; i < PageCount; ++i) {
        LoadText(SheetPages[i].titleId, titles[i], sizeof(titles[i]));
        PROPSHEETPAGEA page = {};
        page.dwSize = pageSize;
        page.dwFlags = PSP_USETITLE;
        page.hInstance = AppInstance;
        page.pszTemplate = MAKEINTRESOURCEA(SheetPages[i].templateId);
        page.pszTitle = titles[i];
        page.pfnDlgProc = SheetPages[i].procedure;
        page.lParam = 0;
        memcpy(records + (size_t)i * pageSize, &page, pageSize);
    }

    PROPSHEETHEADERA header = {};
    header.dwSize = headerSize;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    header.hwndParent = owner;
    header.hInstance = AppInstance;
    header.pszCaption = AppTitle;
    header.nPages = PageCount;
    header.nStartPage = (UINT)startPage;
    header.ppsp = (LPCPROPSHEETPAGEA)records;
    return PropertySheetA(&header);
}

// The sheet's own window procedure, while SheetKeyProcedure stands in for it.
WNDPROC SheetProcedure = nullptr;
// The sheet's default command: no control has this ID, so Enter sends it.
const int SheetEnterId = 0x7FF0;

// Enter on a page (on a list row, say) is that page's OK command. The sheet's
// own OK button is hidden and disabled, and with it as the default button
// Enter would go nowhere.
LRESULT CALLBACK SheetKeyProcedure(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == DM_GETDEFID)
        return MAKELRESULT(SheetEnterId, DC_HASDEFID);
    if (message == WM_COMMAND && LOWORD(wParam) == SheetEnterId && lParam == 0) {
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        if (page)
            SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return 0;
    }
    return CallWindowProcA(SheetProcedure, sheet, message, wParam, lParam);
}

// A text with a line break wraps from the top left; a single line sits centred.
UINT LinkTextFormat(const char *text)
{
    return strchr(text, '\n') ? DT_WORDBREAK : (DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

} // namespace

// ShowPropertySheet: opens the six-page sheet at a page, or brings the open
// one forward.
int ShowPropertySheet(HWND owner, int startPage)
{
    if (SheetPage > 0) {
        BringSheetForward(owner);
        return 0;
    }
    SheetPage = 1;
    if (Sound)
        PlayAppSound(SND_ASYNC | SND_NOWAIT);
    if (startPage < 0 || startPage >= PageCount)
        startPage = PageStartup;
    INT_PTR result = RunSheet(owner, startPage);
    // Every page clears SheetPage when it goes; a sheet that ended without
    // any page (or with a page that forgot) must not block the watch for good.
    SheetPage = 0;
    SheetWindow = nullptr;
    HotLink = nullptr;
    if (result == -1)
        ErrorBox(IDS_ERR_COMCTL);
    return 0;
}

// PlayAppSound: the program's own wave resource.
void PlayAppSound(DWORD flags)
{
    PlaySoundA(MAKEINTRESOURCEA(IDW_SOUND), AppInstance, SND_RESOURCE | flags);
}

// GetCommonControlsVersion: the loaded comctl32's version as major << 16 | minor.
DWORD GetCommonControlsVersion()
{
    Library library("comctl32.dll");
    DLLGETVERSIONPROC getVersion = (DLLGETVERSIONPROC)(void *)library.proc("DllGetVersion");
    if (!getVersion)
        return 0;
    DLLVERSIONINFO info = {};
    info.cbSize = sizeof(info);
    if (FAILED(getVersion(&info)))
        return 0;
    return ((info.dwMajorVersion & 0xFFFF) << 16) | (info.dwMinorVersion & 0xFFFF);
}

// PreparePageButtons: the sheet shows a single Close button and no "?".
void PreparePageButtons(HWND page)
{
    HWND sheet = GetParent(page);
    if (!IsWindow(sheet))
        return;
    if (SheetWindow != sheet) {
        // The first page to open places the sheet as every modal dialog of
        // the program sits; the owner is a hidden window in the corner.
        SheetWindow = sheet;
        CenterWindow(sheet);
        WNDPROC own = (WNDPROC)GetWindowLongPtrA(sheet, GWLP_WNDPROC);
        if (own && own != SheetKeyProcedure) {
            SheetProcedure = own;
            SetWindowLongPtrA(sheet, GWLP_WNDPROC, (LONG_PTR)SheetKeyProcedure);
        }
    }
    LONG_PTR exStyle = GetWindowLongPtrA(sheet, GWL_EXSTYLE);
    if (exStyle & WS_EX_CONTEXTHELP) {
        SetWindowLongPtrA(sheet, GWL_EXSTYLE, exStyle & ~(LONG_PTR)WS_EX_CONTEXTHELP);
        // The caption buttons are laid out again only when the frame changes.
        SetWindowPos(sheet, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HWND ok = GetDlgItem(sheet, IDOK);
    if (ok) {
        ShowWindow(ok, SW_HIDE);
        if (IsWindowEnabled(ok))
            EnableWindow(ok, FALSE);
    }
    char close[SmallTextSize];
    if (LoadText(IDS_BTN_CLOSE, close, sizeof(close)))
        SetDlgItemTextA(sheet, IDCANCEL, close);
}

// CenterWindow: centred left to right, one third of the free space from the top.
void CenterWindow(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 3;
    SetWindowPos(window, HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

// MakeOwnerDrawn: a button (or the dialog itself for 0) draws as a link.
void MakeOwnerDrawn(HWND dialog, int controlId)
{
    HWND control = controlId ? GetDlgItem(dialog, controlId) : dialog;
    if (control) {
        LONG style = GetWindowLongA(control, GWL_STYLE);
        SetWindowLongA(control, GWL_STYLE, style | BS_OWNERDRAW);
    }
    HotLink = dialog;
}

// DrawLinkButton: underlined text with a light grey shadow, in LinkColor; a
// disabled one in the system's grey, whatever the pointer does.
int DrawLinkButton(const DRAWITEMSTRUCT *item)
{
    if (!item || item->CtlType != ODT_BUTTON || item->itemAction != ODA_DRAWENTIRE)
        return 0;
    char text[TextSize] = "";
    GetWindowTextA(item->hwndItem, text, sizeof(text));
    HDC dc = item->hDC;
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = GetTextColor(dc);
    SelectedObject font(dc, LinkFont);
    UINT format = LinkTextFormat(text);

    RECT shadow = item->rcItem;
    OffsetRect(&shadow, 1, 1);
    SetTextColor(dc, LinkShadowColor);
    DrawTextA(dc, text, -1, &shadow, format);
    RECT face = item->rcItem;
    bool disabled = (item->itemState & ODS_DISABLED) != 0;
    SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT) : LinkColor);
    DrawTextA(dc, text, -1, &face, format);

    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    // The hover colour lasts for one drawing: TrackLinkHover sets it again
    // for as long as the pointer stays.
    LinkColor = LinkRestColor;
    return 1;
}

// TrackLinkHover: lights the link under the pointer, puts the last one out.
void TrackLinkHover(WPARAM windowUnderPointer)
{
    HWND window = (HWND)windowUnderPointer;
    if (!IsWindow(window))
        return;
    char className[SmallTextSize] = "";
    GetClassNameA(window, className, sizeof(className));
    if (lstrcmpiA(className, "Button") == 0 && (GetWindowLongA(window, GWL_STYLE) & 1) && IsWindowEnabled(window)) {
        LinkColor = LinkHotColor;
        InvalidateRect(window, nullptr, FALSE);
        HotLink = window;
    } else if (IsWindow(HotLink)) {
        LinkColor = LinkRestColor;
        InvalidateRect(HotLink, nullptr, TRUE);
        HotLink = nullptr;
    }
}

// DiscardQueuedInput: the pending mouse and keyboard messages of this thread.
void DiscardQueuedInput()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE))
        ;
    while (PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        ;
}
