// The Startup Programs page: every startup entry with its icon, and the
// commands to look at, remove, disable and enable an entry and to write the
// full report.
#include "startup/startup.h"
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "store/store.h"

#include <string.h>

namespace {

enum : int {
    IdList = 1000,
    IdHeader = 1047,
    IdHint = 1048,
    IdProperties = 1008,
    IdEnable = 10,
    IdDisable = 11,
    IdRemove = 1003,
    IdFullReport = 9,
    // The dialog's default ID names no control, so Enter reaches the page as IDOK.
    IdNoDefault = 6026,
};

const int StartupImageSlot = 0;
const int StartupSheetPage = 1;
const int QuestionSize = 1024;

HWND StartupList(HWND page)
{
    return GetDlgItem(page, IdList);
}

// The entry that the selected row carries as its item data; -1 for none.
int SelectedStartupEntry(HWND page)
{
    return GetSelectedEntry(StartupList(page));
}

// The selected entry; with none, the user is told how to select one.
int SelectedEntryOrHelp(HWND page)
{
    int entry = SelectedStartupEntry(page);
    if (entry < 0)
        HelpBox(IDS_HELP_NOPROGRAM);
    return entry;
}

// A question or notice about one entry: a text with the entry's value in it,
// in a topmost box that holds the sheet while it is up, so that no page can
// refill the entry table under the answer.
int AskAboutEntry(int textId, const char *value, UINT style)
{
    char text[QuestionSize];
    char question[QuestionSize];
    LoadText(textId, text, sizeof(text));
    FillTextPlaceholder(question, sizeof(question), text, value);
    return AppMessageBox(MessageBoxOwner(), question, style);
}

void TellAboutEntry(int textId, const StartupEntry &subject)
{
    // The title, or for an untitled one the file that carries it.
    const char *name = subject.title[0] ? subject.title
                       : subject.link[0] ? subject.link
                                         : subject.path;
    AskAboutEntry(textId, name, MB_OK | MB_ICONEXCLAMATION);
}

void ReleaseStartupImages(HWND page)
{
    SendMessageA(StartupList(page), LVM_SETIMAGELIST, LVSIL_SMALL, 0);
    DestroySmallImageList(StartupImageSlot);
}

void AddStartupRow(HWND list, int entry)
{
    char title[TitleSize];
    char path[PathSize];
    GetEntryTitle(entry, title);
    GetEntryPath(entry, path);
    char command[PathSize];
    StartupEntryCommand(entry, command, sizeof(command));
    int image = AddProgramIcon(command, 0, StartupImageSlot);
    int row = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    InsertListItem(list, title, entry, image == -1 ? 0 : image);

    char program[PathSize];
    FindProgramFile(command, program, sizeof(program));
    VersionInfo info;
    ReadVersionInfo(program, &info);
    SetListCellText(list, row, 2, info.ProductVersion[0] ? info.ProductVersion : "?");
    SetListCellText(list, row, 1, path + FileNamePart(path));
    if (IsStartupEntryParked(entry) || IsStartupEntrySwitchedOff(entry)) {
        char state[SmallTextSize];
        LoadText(IsStartupEntryParked(entry) ? IDS_DISABLED : IDS_SWITCHED_OFF, state, sizeof(state));
        SetListCellText(list, row, 2, state);
    }
}

// Shows the one button of the pair that fits the selected entry; none with
// nothing selected or for an entry that can be neither disabled nor enabled.
void UpdateTogglePair(HWND page, bool setEnabled)
{
    HWND enable = GetDlgItem(page, IdEnable);
    HWND disable = GetDlgItem(page, IdDisable);
    int entry = SelectedStartupEntry(page);
    if (entry < 0 || !(StartupEntryActions(entry) & StartupCanToggle)) {
        ShowWindow(enable, SW_HIDE);
        ShowWindow(disable, SW_HIDE);
        return;
    }
    bool parked = IsStartupEntryParked(entry);
    HWND shown = parked ? enable : disable;
    HWND hidden = parked ? disable : enable;
    ShowWindow(shown, SW_SHOW);
    ShowWindow(hidden, SW_HIDE);
    if (setEnabled) {
        EnableWindow(shown, TRUE);
        EnableWindow(hidden, FALSE);
    }
}

void ShowSelectedProgramInfo(HWND page)
{
    int entry = SelectedEntryOrHelp(page);
    if (entry < 0)
        return;
    char path[PathSize];
    if (!GetEntryPath(entry, path)) {
        ErrorBox(IDS_ERR_NOFILE);
        return;
    }
    char command[PathSize];
    StartupEntryCommand(entry, command, sizeof(command));
    ShowEntryProgramInfo(page, entry, command);
}

// True, the user told so, when the entry's item is too long to be taken out
// and given back whole.
bool RefuseOverLimit(int entry, const StartupEntry &subject)
{
    int over = StartupEntryOverLimit(entry);
    if (over != StartupFits)
        TellAboutEntry(over == StartupValueTooLong ? IDS_ERR_VALUE_TOO_LONG : IDS_ERR_LINE_TOO_LONG,
                       subject);
    return over != StartupFits;
}

// The list after a change: whatever now stands where the entries live, with
// no row selected and so neither button of the pair.
void RefillAfterChange(HWND page)
{
    FillStartupList(page);
    UpdateTogglePair(page, true);
}

void RemoveSelectedEntry(HWND page)
{
    int entry = SelectedEntryOrHelp(page);
    if (entry < 0)
        return;
    StartupEntry subject;
    ReadStartupEntry(entry, &subject);
    if (!(StartupEntryActions(entry) & StartupCanRemove)) {
        TellAboutEntry(IDS_ERR_CANNOT_REMOVE, subject);
        return;
    }
    if (RefuseOverLimit(entry, subject))
        return;
    // The question names the command, which is what leaves the startup; a
    // shortcut whose target is unknown is named by itself.
    const char *named = subject.path[0] ? subject.path : subject.link;
    if (AskAboutEntry(IDS_ASK_REMOVE, named, MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
        return;
    if (!RemoveStartupEntryAt(entry))
        TellAboutEntry(IDS_ERR_ENTRY_CHANGED, subject);
    RefillAfterChange(page);
}

void ToggleSelectedEntry(HWND page)
{
    int entry = SelectedEntryOrHelp(page);
    if (entry < 0)
        return;
    StartupEntry subject;
    ReadStartupEntry(entry, &subject);
    if (!(StartupEntryActions(entry) & StartupCanToggle)) {
        TellAboutEntry(IDS_ERR_CANNOT_TOGGLE, subject);
        return;
    }
    if (RefuseOverLimit(entry, subject))
        return;
    // Parking it would overwrite the parked command of another entry with
    // the same name; the user is told, and nothing moves.
    if (DisableWouldCollideAt(entry)) {
        TellAboutEntry(IDS_ERR_TITLE_PARKED, subject);
        return;
    }
    if (!ToggleStartupEntryAt(entry))
        TellAboutEntry(IDS_ERR_ENTRY_CHANGED, subject);
    RefillAfterChange(page);
}

// The report collects the entries afresh; the rows follow, so that they and
// the table stay in step.
void WriteStartupReport(HWND page)
{
    WriteFullReport(ReportStartup);
    RefillAfterChange(page);
}

void OnEnterKey(HWND page)
{
    UpdateTogglePair(page, false);
    if (SelectedStartupEntry(page) < 0)
        return;
    ShowSelectedProgramInfo(page);
}

BOOL OnInitStartupPage(HWND page)
{
    SetDlgItemTextId(page, IDS_STARTUP_HEADER, IdHeader);
    SetDlgItemTextId(page, IDS_STARTUP_HINT, IdHint);
    SetDlgItemTextId(page, IDS_BTN_PROPERTIES, IdProperties);
    SetDlgItemTextId(page, IDS_BTN_REMOVE, IdRemove);
    SetDlgItemTextId(page, IDS_BTN_FULLREPORT, IdFullReport);
    SetDlgItemTextId(page, IDS_BTN_ENABLE, IdEnable);
    SetDlgItemTextId(page, IDS_BTN_DISABLE, IdDisable);
    MakeOwnerDrawn(page, IdRemove);
    MakeOwnerDrawn(page, IdFullReport);
    MakeOwnerDrawn(page, IdEnable);
    MakeOwnerDrawn(page, IdDisable);
    ShowWindow(GetDlgItem(page, IdDisable), SW_HIDE);
    PreparePageButtons(page);
    HWND list = StartupList(page);
    static const int headers[3] = {IDS_COL_TITLE, IDS_COL_COMMAND, IDS_COL_VERSION};
    InsertListColumns(list, headers, 3, LayoutStartup);
    FillStartupList(page);
    CenterWindow(page);
    SheetPage = StartupSheetPage;
    SendMessageA(page, DM_SETDEFID, IdNoDefault, 0);
    return TRUE;
}

BOOL OnStartupCommand(HWND page, int command)
{
    switch (command) {
    case IDOK: OnEnterKey(page); break;
    case IdProperties: ShowSelectedProgramInfo(page); break;
    case IdRemove: RemoveSelectedEntry(page); break;
    case IdEnable:
    case IdDisable: ToggleSelectedEntry(page); break;
    case IdFullReport: WriteStartupReport(page); break;
    case IDCANCEL:
    case IDCLOSE: break;
    default: return FALSE;
    }
    return TRUE;
}

BOOL OnStartupNotify(HWND page, const NMHDR *header)
{
    switch (header->code) {
    case PSN_SETACTIVE:
        RefillAfterChange(page);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
        return TRUE;
    case PSN_KILLACTIVE:
        ClearEntries();
        SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
        return TRUE;
    case LVN_ITEMCHANGED:
    case NM_CLICK:
    case NM_CHAR:
        if (header->idFrom == IdList)
            UpdateTogglePair(page, true);
        return FALSE;
    case NM_DBLCLK:
        if (header->idFrom == IdList)
            ShowSelectedProgramInfo(page);
        return FALSE;
    default:
        return FALSE;
    }
}

void OnStartupPageGone(HWND page)
{
    ReleaseStartupImages(page);
    SheetPage = 0;
}

} // namespace

// FillStartupList: collects the startup entries and shows row k for entry k.
int FillStartupList(HWND page)
{
    SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
    CollectStartupEntries();
    HWND list = StartupList(page);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    ReleaseStartupImages(page);
    CreateSmallImageList(list, StartupImageSlot);
    for (int entry = 0; entry < EntryCount; ++entry)
        AddStartupRow(list, entry);
    SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
    return EntryCount;
}

// StartupProgramsPage: dialog procedure of the Startup Programs page (template 102).
INT_PTR CALLBACK StartupProgramsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitStartupPage(page);
    case WM_COMMAND:
        return OnStartupCommand(page, LOWORD(wParam));
    case WM_NOTIFY:
        return OnStartupNotify(page, (const NMHDR *)lParam);
    case WM_SETCURSOR:
        TrackLinkHover(wParam);
        return FALSE;
    case WM_DRAWITEM:
        return DrawLinkButton((const DRAWITEMSTRUCT *)lParam);
    case WM_DESTROY:
    case WM_CLOSE:
        OnStartupPageGone(page);
        return FALSE;
    default:
        return FALSE;
    }
}
