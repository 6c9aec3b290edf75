// The Options page: the watch interval, the warnings, the sounds and the
// program's own autorun entry. Every change is applied and written at once;
// there is no Apply button.
#include "app/app.h"
#include "resource.h"
#include "startup/startup.h"
#include "store/store.h"

namespace {

enum : int {
    IdHeader = 1049,
    IdDetectGroup = 1050,
    IdProgramGroup = 1051,
    IdWarnStartup = 1014,
    IdWarnCookies = 1016,
    IdAutorun = 1017,
    IdWinInit = 1018,
    IdInterval = 1019,
    IdSound = 1020,
    IdSniff = 1058,
    IdMinutes = 1059,
};

// Three digits: room for any sensible interval whatever the current one is.
const int IntervalDigits = 3;

void SetCheck(HWND page, int control, int on)
{
    CheckDlgButton(page, control, on ? BST_CHECKED : BST_UNCHECKED);
}

BOOL OnInitOptionsPage(HWND page)
{
    SetDlgItemTextId(page, IDS_OPTIONS_HEADER, IdHeader);
    SetDlgItemTextId(page, IDS_OPTIONS_DETECT, IdDetectGroup);
    SetDlgItemTextId(page, IDS_OPTIONS_PROGRAM, IdProgramGroup);
    SetDlgItemTextId(page, IDS_OPT_WARNSTARTUP, IdWarnStartup);
    SetDlgItemTextId(page, IDS_OPT_WARNCOOKIES, IdWarnCookies);
    SetDlgItemTextId(page, IDS_OPT_AUTORUN, IdAutorun);
    SetDlgItemTextId(page, IDS_OPT_SOUND, IdSound);
    SetDlgItemTextId(page, IDS_OPT_WININIT, IdWinInit);
    SetDlgItemTextId(page, IDS_OPT_SNIFF, IdSniff);
    SetDlgItemTextId(page, IDS_OPT_MINUTES, IdMinutes);
    PreparePageButtons(page);

    // What only the memory holds (the watch cycle may have switched the
    // restart-file check off) gives way to what the data file says.
    LoadOptions();
    char interval[16];
    FormatText(interval, sizeof(interval), "%d", Minutes);
    SetDlgItemTextA(page, IdInterval, interval);
    SendDlgItemMessageA(page, IdInterval, EM_LIMITTEXT, IntervalDigits, 0);

    SetCheck(page, IdWarnStartup, Start);
    SetCheck(page, IdWarnCookies, Cookies);
    SetCheck(page, IdAutorun, AutorunFlag);
    SetCheck(page, IdSound, Sound);
    SetCheck(page, IdWinInit, WinInit);
    SheetPage = 5;
    return TRUE;
}

// A click on one of the check boxes.
BOOL OnOptionsClick(HWND page, int control)
{
    int state = IsDlgButtonChecked(page, control) == BST_CHECKED;
    switch (control) {
    case IdWarnStartup: Start = state; break;
    case IdWarnCookies: Cookies = state; break;
    case IdAutorun: SetAutorun(state); break;
    case IdWinInit: WinInit = state; break;
    case IdSound: Sound = state; break;
    default: return FALSE;
    }
    SaveOptions();
    return TRUE;
}

// Every keystroke in the interval field: each value that makes sense is
// applied and written at once.
BOOL OnIntervalChange(HWND page)
{
    BOOL read = FALSE;
    UINT value = GetDlgItemInt(page, IdInterval, &read, FALSE);
    if (!read || value < 1 || (int)value == Minutes)
        return TRUE;
    Minutes = (int)value;
    // The count starts again from now: the next cycle follows in Minutes
    // minutes and one tick.
    WatchCountdown = 10 * Minutes;
    SaveOptions();
    return TRUE;
}

BOOL OnOptionsCommand(HWND page, WPARAM wParam)
{
    int control = LOWORD(wParam);
    UINT code = HIWORD(wParam);
    if (code == BN_CLICKED && control != IdInterval)
        return OnOptionsClick(page, control);
    if (code == EN_CHANGE && control == IdInterval)
        return OnIntervalChange(page);
    return FALSE;
}

} // namespace

// OptionsPage: the dialog procedure of template 114.
INT_PTR CALLBACK OptionsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        return OnInitOptionsPage(page);
    case WM_COMMAND:
        return OnOptionsCommand(page, wParam);
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
