// The Options page: the watch interval, the warnings, the sounds and the
// program's own autorun entry. Every change is applied and written at once;
// there is no Apply button.
#include "app/app.h"
#include "resource.h"
#include "startup/startup.h"
#include "store/store.h"

#include <limits.h>

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

// Set once the user has been told that the options could not be written, or
// read; a write, or a read, that succeeds again clears it.
int UnwrittenToldOnce = 0;
int UnreadToldOnce = 0;

// The options as they were before a click, to go back to when the change
// cannot be written and the file cannot be read either.
struct OptionValues {
    int minutes, start, cookies, sound, winInit;
};

OptionValues CurrentOptions()
{
    return {Minutes, Start, Cookies, Sound, WinInit};
}

void RestoreOptions(const OptionValues &values)
{
    Minutes = values.minutes, Start = values.start, Cookies = values.cookies;
    Sound = values.sound, WinInit = values.winInit;
}

// Reads the options from the data file; when another program holds it, the
// options in use stay and the user is told once.
void ReadOptions(HWND page)
{
    if (LoadOptions()) {
        UnreadToldOnce = 0;
        return;
    }
    if (!UnreadToldOnce) {
        UnreadToldOnce = 1;
        TextBox(GetParent(page), IDS_ERR_OPTIONS_UNREAD, DataFilePath, MB_ICONEXCLAMATION);
    }
}

void SetCheck(HWND page, int control, int on)
{
    CheckDlgButton(page, control, on ? BST_CHECKED : BST_UNCHECKED);
}

void ShowOptions(HWND page)
{
    char interval[16];
    FormatText(interval, sizeof(interval), "%d", Minutes);
    SetDlgItemTextA(page, IdInterval, interval);
    SetCheck(page, IdWarnStartup, Start);
    SetCheck(page, IdWarnCookies, Cookies);
    SetCheck(page, IdAutorun, AutorunFlag);
    SetCheck(page, IdSound, Sound);
    SetCheck(page, IdWinInit, WinInit);
}

// The tray menu switches autorun too, while the sheet is open: the box
// shows what the registry holds, not what the page last set.
void ShowAutorun(HWND page)
{
    AutorunFlag = ReadAutorunValue() != 0;
    SetCheck(page, IdAutorun, AutorunFlag);
}

// Writes the options; 1 when they were written. Otherwise the user is told
// once and the page goes back to what the data file holds, or when it cannot
// be read to the options as they were, so that it never shows a change that
// was not kept.
int WriteOptions(HWND page, const OptionValues &before)
{
    if (SaveOptions()) {
        UnwrittenToldOnce = 0;
        return 1;
    }
    if (!UnwrittenToldOnce) {
        UnwrittenToldOnce = 1;
        TextBox(GetParent(page), IDS_ERR_OPTIONS_UNSAVED, DataFilePath, MB_ICONEXCLAMATION);
    }
    if (!LoadOptions())
        RestoreOptions(before);
    ShowOptions(page);
    return 0;
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
    ReadOptions(page);
    ShowOptions(page);
    SendDlgItemMessageA(page, IdInterval, EM_LIMITTEXT, IntervalDigits, 0);
    SheetPage = 5;
    return TRUE;
}

// A click on one of the check boxes.
BOOL OnOptionsClick(HWND page, int control)
{
    int state = IsDlgButtonChecked(page, control) == BST_CHECKED;
    OptionValues before = CurrentOptions();
    switch (control) {
    case IdWarnStartup: Start = state; break;
    case IdWarnCookies: Cookies = state; break;
    case IdAutorun:
        SetAutorun(state);
        ShowAutorun(page);
        break;
    case IdWinInit: WinInit = state; break;
    case IdSound: Sound = state; break;
    default: return FALSE;
    }
    WriteOptions(page, before);
    return TRUE;
}

// Every keystroke in the interval field: each value that makes sense is
// applied and written at once.
BOOL OnIntervalChange(HWND page)
{
    BOOL read = FALSE;
    UINT value = GetDlgItemInt(page, IdInterval, &read, FALSE);
    if (!read || value < 1 || value > (UINT)INT_MAX || (int)value == Minutes)
        return TRUE;
    OptionValues before = CurrentOptions();
    Minutes = (int)value;
    // The count starts again from now: the next cycle follows in Minutes
    // minutes and one tick.
    if (WriteOptions(page, before))
        WatchCountdown = WatchTicks(Minutes, 10, 0);
    return TRUE;
}

BOOL OnOptionsNotify(HWND page, const NMHDR *header)
{
    if (header->code == (UINT)PSN_SETACTIVE)
        ShowAutorun(page);
    return FALSE;
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
    switch (message) {
    case WM_INITDIALOG:
        return OnInitOptionsPage(page);
    case WM_COMMAND:
        return OnOptionsCommand(page, wParam);
    case WM_NOTIFY:
        return OnOptionsNotify(page, (const NMHDR *)lParam);
    case PSM_QUERYSIBLINGS:
        if (wParam == AutorunChanged)
            ShowAutorun(page);
        return FALSE;
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
