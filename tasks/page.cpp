// The Active Tasks page: the running programs, one row per program file,
// with Properties, Refresh, Kill Task and the full report.
#include "tasks/tasks.h"
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "startup/startup.h"
#include "store/store.h"

namespace {

enum : int {
    IdList = 1000,
    IdHeader = 1052,
    IdHint = 1053,
    IdProperties = 1008,
    IdRefresh = 1006,
    IdKillTask = 1007,
    IdFullReport = 9,
};

const int TaskImageSlot = 1;
const int TaskSheetPage = 2;
// The rights asked for ending a task, as the systems of both families know them
// (the newer SDK's PROCESS_ALL_ACCESS asks for bits older systems refuse).
const DWORD KillAccess = 0x1F0FFF;
// TerminateProcess only starts the ending; the refill waits for it this long
// so that an ended task is not listed again.
const DWORD KillWaitMs = 5000;

// The page while it exists, for the sheet's refresh request.
HWND TaskPage = nullptr;
// True while the entry table holds exactly the tasks the rows show.
bool TaskRowsInStep = false;

HWND TaskList(HWND page)
{
    return GetDlgItem(page, IdList);
}

// The entry that the selected row carries as its item data; -1 for none.
int SelectedTaskEntry(HWND page)
{
    return GetSelectedEntry(TaskList(page));
}

void ReleaseTaskImages(HWND page)
{
    SendMessageA(TaskList(page), LVM_SETIMAGELIST, LVSIL_SMALL, 0);
    DestroySmallImageList(TaskImageSlot);
}

void AddTaskRow(HWND list, int entry)
{
    char path[PathSize];
    GetEntryPath(entry, path);
    if (!path[0])
        return;
    int name = FileNamePart(path);
    if (name == 0)
        return;
    char program[PathSize];
    EntryProgramFile(entry, path, program, sizeof(program));
    int image = AddProgramFileIcon(program, 0, TaskImageSlot);
    int row = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    InsertListItem(list, path + name, entry, image < 0 ? 0 : image);

    VersionInfo info;
    ReadVersionInfo(program, &info);
    SetListCellText(list, row, 2, info.ProductVersion[0] ? info.ProductVersion : "?");
    char title[TitleSize];
    if (GetEntryTitle(entry, title) > 0)
        SetListCellText(list, row, 1, title);
}

void ShowSelectedProgramInfo(HWND page)
{
    int entry = SelectedTaskEntry(page);
    if (entry < 0) {
        HelpBox(IDS_HELP_NOPROGRAM);
        return;
    }
    char path[PathSize];
    if (!GetEntryPath(entry, path))
        return;
    ShowEntryProgramInfo(page, entry, path);
}

// Ends the selected task at once, with no question: the user asked for it.
// Only the program the row shows is ended; an identifier that has passed to
// another program since the list was made ends nothing. Whatever comes of
// it, the user learns when the program had ended already or would not end.
void KillSelectedTask(HWND page)
{
    int entry = SelectedTaskEntry(page);
    if (entry < 0) {
        HelpBox(IDS_HELP_NOPROGRAM);
        return;
    }
    DWORD processId = GetEntryNumber(entry);
    if (processId == 0)
        return;
    int notice = 0;
    {
        FileHandle process(OpenProcess(KillAccess, FALSE, processId));
        // A running process answers STILL_ACTIVE, and ends with that code.
        DWORD exitCode = 0;
        if (!process.valid()) {
            // No process has that identifier any more; one that is there
            // but refuses to be opened runs on.
            notice = GetLastError() == ERROR_ACCESS_DENIED ? IDS_ERR_TASK_NOT_ENDED
                                                           : IDS_ERR_TASK_ENDED;
        } else if (!GetExitCodeProcess(process.handle, &exitCode)) {
            notice = IDS_ERR_TASK_NOT_ENDED;
        } else if (exitCode != STILL_ACTIVE || !IsListedTask(entry, process.handle)) {
            notice = IDS_ERR_TASK_ENDED;
        } else if (!TerminateProcess(process.handle, exitCode)) {
            notice = IDS_ERR_TASK_NOT_ENDED;
        } else {
            WaitForSingleObject(process.handle, KillWaitMs);
        }
    }
    if (notice)
        ErrorBox(notice);
    // Whether it ended, had ended already or could not be ended, the
    // refilled list shows what runs now.
    FillTaskList(page);
}

// The report collects the tasks afresh; the rows follow, so that they and
// the table stay in step.
void WriteTaskReport(HWND page)
{
    WriteFullReport(ReportTasks);
    FillTaskList(page);
}

BOOL OnInitTaskPage(HWND page)
{
    SetDlgItemTextId(page, IDS_TASKS_HEADER, IdHeader);
    SetDlgItemTextId(page, IDS_TASKS_HINT, IdHint);
    SetDlgItemTextId(page, IDS_BTN_PROPERTIES, IdProperties);
    SetDlgItemTextId(page, IDS_BTN_REFRESH, IdRefresh);
    SetDlgItemTextId(page, IDS_BTN_KILLTASK, IdKillTask);
    SetDlgItemTextId(page, IDS_BTN_FULLREPORT, IdFullReport);
    MakeOwnerDrawn(page, IdRefresh);
    MakeOwnerDrawn(page, IdKillTask);
    MakeOwnerDrawn(page, IdFullReport);
    PreparePageButtons(page);
    HWND list = TaskList(page);
    static const int headers[3] = {IDS_COL_MODULE, IDS_COL_DESCRIPTION, IDS_COL_VERSION};
    InsertListColumns(list, headers, 3, LayoutTasks);
    TaskPage = page;
    FillTaskList(page);
    SheetPage = TaskSheetPage;
    return TRUE;
}

void OnTaskCommand(HWND page, int command)
{
    switch (command) {
    case IDOK:
    case IdProperties: ShowSelectedProgramInfo(page); break;
    case IdFullReport: WriteTaskReport(page); break;
    case IdRefresh: FillTaskList(page); break;
    case IdKillTask: KillSelectedTask(page); break;
    default: break;
    }
}

BOOL OnTaskNotify(HWND page, const NMHDR *header)
{
    switch (header->code) {
    case NM_DBLCLK:
        if (header->idFrom == IdList)
            ShowSelectedProgramInfo(page);
        return TRUE;
    case PSN_SETACTIVE:
        // Coming back finds the table emptied or filled by another page.
        if (EntryCount == 0 || !TaskRowsInStep)
            FillTaskList(page);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
        return TRUE;
    case PSN_KILLACTIVE:
        ClearEntries();
        TaskRowsInStep = false;
        SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
        return TRUE;
    default:
        return FALSE;
    }
}

void OnTaskPageGone(HWND page)
{
    ReleaseTaskImages(page);
    if (TaskPage == page)
        TaskPage = nullptr;
    TaskRowsInStep = false;
    SheetPage = 0;
}

} // namespace

// FillTaskList: collects the running tasks and shows one row per listed entry.
int FillTaskList(HWND page)
{
    SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
    CollectTaskEntries();
    HWND list = TaskList(page);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    ReleaseTaskImages(page);
    CreateSmallImageList(list, TaskImageSlot);
    for (int entry = 0; entry < EntryCount; ++entry)
        AddTaskRow(list, entry);
    TaskRowsInStep = true;
    SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
    return EntryCount;
}

// RefreshTaskPage: the sheet's request for fresh tasks. Only the current page owns the entry
// table; when another page is current, the table is left to it and the tasks are collected when
// the user comes back.
void RefreshTaskPage()
{
    if (!TaskPage || !IsWindow(TaskPage))
        return;
    HWND sheet = GetParent(TaskPage);
    if ((HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) != TaskPage)
        return;
    FillTaskList(TaskPage);
}

// ActiveTasksPage: dialog procedure of the Active Tasks page (template 110).
INT_PTR CALLBACK ActiveTasksPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitTaskPage(page);
    case WM_COMMAND:
        OnTaskCommand(page, LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        return OnTaskNotify(page, (const NMHDR *)lParam);
    case WM_DRAWITEM:
        return DrawLinkButton((const DRAWITEMSTRUCT *)lParam);
    case WM_SETCURSOR:
        TrackLinkHover(wParam);
        return FALSE;
    case WM_DESTROY:
    case WM_CLOSE:
        OnTaskPageGone(page);
        return FALSE;
    default:
        return FALSE;
    }
}
