// The Active Tasks page in the real property sheet, driven with the messages
// that clicks send, against fixture programs started as children of the test.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "store/store.h"
#include "tasks/tasks.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

enum : int { IdList = 1000, IdProperties = 1008, IdRefresh = 1006, IdKillTask = 1007, IdFullReport = 9 };

const char HelpNoProgram[] =
    "No Program has been selected.\n\nJust click on the line that represents the program you'd "
    "like to learn more about.\nThen click on the  Properties button or just press the Enter key.";

struct Row {
    std::string cells[3];
    LPARAM data;
    int image;
};

std::vector<Row> ReadRows(HWND list)
{
    std::vector<Row> rows;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < count; ++row) {
        Row r;
        for (int column = 0; column < 3; ++column) {
            char text[512];
            GetListCellText(list, row, column, text, sizeof(text));
            r.cells[column] = text;
        }
        LVITEMA item = {};
        item.mask = LVIF_PARAM | LVIF_IMAGE;
        item.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
        r.data = item.lParam;
        r.image = item.iImage;
        rows.push_back(r);
    }
    return rows;
}

int FindRow(HWND list, const std::string &module)
{
    std::vector<Row> rows = ReadRows(list);
    for (size_t i = 0; i < rows.size(); ++i)
        if (lstrcmpiA(rows[i].cells[0].c_str(), module.c_str()) == 0)
            return (int)i;
    return -1;
}

void SelectRow(HWND list, int row)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
}

void Click(HWND page, int id)
{
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(page, id));
}

std::string ColumnHeader(HWND list, int column)
{
    char text[128] = "";
    LVCOLUMNA info = {};
    info.mask = LVCF_TEXT;
    info.pszText = text;
    info.cchTextMax = sizeof(text);
    SendMessageA(list, LVM_GETCOLUMNA, (WPARAM)column, (LPARAM)&info);
    return text;
}

std::string FileNameOf(const std::string &path)
{
    return path.substr(FileNamePart(path.c_str()));
}

// Every row shows the entry whose index it carries.
void ExpectRowsInStep(HWND list)
{
    int listed = 0;
    for (int i = 0; i < EntryCount; ++i) {
        char path[PathSize];
        GetEntryPath(i, path);
        if (path[0] && FileNamePart(path))
            ++listed;
    }
    std::vector<Row> rows = ReadRows(list);
    EXPECT_EQ((size_t)listed, rows.size());
    for (const Row &row : rows) {
        ASSERT_GE(row.data, 0);
        ASSERT_LT(row.data, EntryCount);
        char path[PathSize];
        GetEntryPath((int)row.data, path);
        EXPECT_EQ(FileNameOf(path), row.cells[0]);
    }
}

// Runs an action and tells whether it put up a dialog of its own (which is
// then cancelled, so the action can return).
bool ShowsDialog(const std::function<void()> &action)
{
    bool shown = false;
    UINT_PTR wait = WhenWindowAppears(FindThreadDialog, [&](HWND dialog) {
        shown = true;
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }, 3000);
    action();
    CancelWindowWait(wait);
    return shown;
}

// A help or error box that the action shows: its caption and text, answered
// with OK.
struct BoxSeen {
    std::string caption, text;
};

BoxSeen BoxShownBy(const std::function<void()> &action)
{
    BoxAnswerer answerer(IDOK);
    action();
    answerer.Wait();
    return {answerer.caption, answerer.text};
}

class TasksPageTest : public testing::Test {
protected:
    void TearDown() override
    {
        for (HANDLE h : children_)
            EndChildProcess(h);
        ClearEntries();
        EXPECT_EQ(0, SheetPage);
        EXPECT_EQ(nullptr, SmallImageLists[1]) << "the page released its icons";
    }

    HANDLE Start(const std::string &path, DWORD *id)
    {
        HANDLE h = StartChildProcess(path, "300", id);
        EXPECT_TRUE(h != nullptr) << path;
        if (!h)
            return nullptr;
        children_.push_back(h);
        // Ready once the walk can read its program file.
        struct Find {
            DWORD id;
            bool named;
            static BOOL Step(DWORD processId, WORD, const char *name, LPARAM user)
            {
                Find *find = (Find *)user;
                if (processId == find->id && name && *name)
                    find->named = true;
                return TRUE;
            }
        };
        for (int attempt = 0; attempt < 200; ++attempt) {
            Find find = {*id, false};
            EnumerateProcesses(Find::Step, (LPARAM)&find);
            if (find.named)
                return h;
            Sleep(50);
        }
        ADD_FAILURE() << "never named in the walk: " << path;
        return h;
    }

    // Opens the sheet at Active Tasks and runs body(page, list) on it.
    void OnTasksPage(const std::function<void(HWND, HWND, HWND)> &body)
    {
        bool shown = DriveSheet(nullptr, PageTasks, [&](HWND sheet) {
            HWND page = SheetCurrentPage(sheet);
            ASSERT_TRUE(page != nullptr);
            body(sheet, page, GetDlgItem(page, IdList));
        });
        EXPECT_TRUE(shown);
    }

    std::vector<HANDLE> children_;
};

} // namespace

TEST_F(TasksPageTest, ShowsOneRowPerRunningProgram)
{
    DWORD first = 0, second = 0, bare = 0;
    Start(FixturePath("task_spin.exe"), &first);
    Start(FixturePath("task_spin.exe"), &second);
    Start(FixturePath("task_bare.exe"), &bare);

    OnTasksPage([&](HWND, HWND page, HWND list) {
        EXPECT_EQ(2, SheetPage);
        EXPECT_EQ(WindowText(GetDlgItem(page, 1052)),
                  "\nWuffle the Windows Watch Dog has sniffed out the following programs which are "
                  "currently running on your computer.");
        EXPECT_EQ("Properties", WindowText(GetDlgItem(page, IdProperties)));
        EXPECT_EQ("Refresh", WindowText(GetDlgItem(page, IdRefresh)));
        EXPECT_EQ("Kill Task", WindowText(GetDlgItem(page, IdKillTask)));
        EXPECT_EQ("Full Report", WindowText(GetDlgItem(page, IdFullReport)));
        EXPECT_EQ("Module", ColumnHeader(list, 0));
        EXPECT_EQ("Program Description", ColumnHeader(list, 1));
        EXPECT_EQ("Version", ColumnHeader(list, 2));
        // The link buttons draw themselves; Properties stays a push button.
        EXPECT_EQ(BS_OWNERDRAW, GetWindowLongA(GetDlgItem(page, IdKillTask), GWL_STYLE) & BS_TYPEMASK);
        EXPECT_NE(BS_OWNERDRAW, GetWindowLongA(GetDlgItem(page, IdProperties), GWL_STYLE) & BS_TYPEMASK);

        ExpectRowsInStep(list);
        std::vector<Row> rows = ReadRows(list);
        int spin = FindRow(list, "task_spin.exe");
        ASSERT_GE(spin, 0);
        EXPECT_EQ("Task Spinner", rows[spin].cells[1]);
        EXPECT_EQ("7.1.3", rows[spin].cells[2]);
        DWORD number = GetEntryNumber((int)rows[spin].data);
        EXPECT_TRUE(number == first || number == second);
        int count = 0;
        for (const Row &row : rows)
            count += lstrcmpiA(row.cells[0].c_str(), "task_spin.exe") == 0;
        EXPECT_EQ(1, count) << "two copies, one row";

        int plain = FindRow(list, "task_bare.exe");
        ASSERT_GE(plain, 0);
        EXPECT_EQ("", rows[plain].cells[1]);
        EXPECT_EQ("?", rows[plain].cells[2]);
        EXPECT_EQ(bare, GetEntryNumber((int)rows[plain].data));

        // Image 0 is the program's icon; every row has one of its own after it.
        HIMAGELIST images = (HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0);
        EXPECT_EQ(SmallImageLists[1], images);
        EXPECT_EQ((int)rows.size() + 1, ImageList_GetImageCount(images));
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ((int)i + 1, rows[i].image);
        ScreenshotPoint("tasks_page");
    });
}

TEST_F(TasksPageTest, WithoutSelectionTheCommandsExplain)
{
    DWORD id = 0;
    HANDLE spin = Start(FixturePath("task_spin.exe"), &id);
    OnTasksPage([&](HWND, HWND page, HWND list) {
        ASSERT_EQ(-1, GetSelectedItem(list));
        size_t rows = ReadRows(list).size();
        for (int command : {(int)IdProperties, (int)IDOK, (int)IdKillTask}) {
            BoxSeen box = BoxShownBy([&] { Click(page, command); });
            EXPECT_EQ(HelpNoProgram, box.text) << command;
            EXPECT_EQ("Sentrovia Help", box.caption) << command;
        }
        EXPECT_EQ(rows, ReadRows(list).size());
        EXPECT_FALSE(ShowsDialog([&] { Click(page, IDCANCEL); })) << "Esc does nothing";
    });
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(spin, 0)) << "nothing was ended";
}

TEST_F(TasksPageTest, KillTaskEndsTheSelectedProgram)
{
    DWORD bareId = 0, firstId = 0, secondId = 0;
    HANDLE bare = Start(FixturePath("task_bare.exe"), &bareId);
    HANDLE first = Start(FixturePath("task_spin.exe"), &firstId);
    HANDLE second = Start(FixturePath("task_spin.exe"), &secondId);

    OnTasksPage([&](HWND, HWND page, HWND list) {
        int row = FindRow(list, "task_bare.exe");
        ASSERT_GE(row, 0);
        SelectRow(list, row);
        EXPECT_FALSE(ShowsDialog([&] { Click(page, IdKillTask); })) << "no question asked";
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(bare, 10000));
        DWORD code = 0;
        GetExitCodeProcess(bare, &code);
        EXPECT_EQ(259u, code) << "ended with the code it answered while running";
        EXPECT_EQ(-1, FindRow(list, "task_bare.exe")) << "the list was refilled";
        ExpectRowsInStep(list);

        // Ending one copy of a program: the other copy takes its row.
        row = FindRow(list, "task_spin.exe");
        ASSERT_GE(row, 0);
        DWORD listed = GetEntryNumber((int)ReadRows(list)[row].data);
        HANDLE ended = listed == firstId ? first : second;
        DWORD other = listed == firstId ? secondId : firstId;
        SelectRow(list, row);
        Click(page, IdKillTask);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ended, 10000));
        row = FindRow(list, "task_spin.exe");
        ASSERT_GE(row, 0);
        EXPECT_EQ(other, GetEntryNumber((int)ReadRows(list)[row].data));
    });
}

TEST_F(TasksPageTest, KillTaskOnAnEndedProgramJustRefills)
{
    DWORD id = 0;
    HANDLE bare = Start(FixturePath("task_bare.exe"), &id);
    OnTasksPage([&](HWND, HWND page, HWND list) {
        int row = FindRow(list, "task_bare.exe");
        ASSERT_GE(row, 0);
        SelectRow(list, row);
        TerminateProcess(bare, 3);
        WaitForSingleObject(bare, 10000);
        EXPECT_FALSE(ShowsDialog([&] { Click(page, IdKillTask); }));
        EXPECT_EQ(-1, FindRow(list, "task_bare.exe"));
        EXPECT_EQ(-1, GetSelectedItem(list));
        ExpectRowsInStep(list);
    });
    DWORD code = 0;
    GetExitCodeProcess(bare, &code);
    EXPECT_EQ(3u, code);
}

TEST_F(TasksPageTest, RefreshAndReturningShowWhatRunsNow)
{
    OnTasksPage([&](HWND sheet, HWND page, HWND list) {
        EXPECT_EQ(-1, FindRow(list, "task_bare.exe"));
        DWORD id = 0;
        HANDLE bare = Start(FixturePath("task_bare.exe"), &id);
        Click(page, IdRefresh);
        EXPECT_GE(FindRow(list, "task_bare.exe"), 0);
        ExpectRowsInStep(list);

        // Away to Startup Programs, which owns the table while it is current;
        // a program ends meanwhile and another starts.
        PropSheet_SetCurSel(sheet, nullptr, PageStartup);
        PumpMessages(50);
        EXPECT_EQ(0, SheetCurrentTab(sheet));
        TerminateProcess(bare, 1);
        WaitForSingleObject(bare, 10000);
        DWORD spinId = 0;
        Start(FixturePath("task_spin.exe"), &spinId);
        PropSheet_SetCurSel(sheet, nullptr, PageTasks);
        PumpMessages(50);
        EXPECT_EQ(1, SheetCurrentTab(sheet));
        EXPECT_EQ(-1, FindRow(list, "task_bare.exe"));
        EXPECT_GE(FindRow(list, "task_spin.exe"), 0);
        ExpectRowsInStep(list);
    });
}

TEST_F(TasksPageTest, SheetRequestRefreshesOnlyWhenTasksAreCurrent)
{
    OnTasksPage([&](HWND sheet, HWND, HWND list) {
        // Asked for again while open: the sheet comes forward, the tasks refresh.
        DWORD id = 0;
        Start(FixturePath("task_bare.exe"), &id);
        EXPECT_EQ(-1, FindRow(list, "task_bare.exe"));
        ShowPropertySheet(nullptr, PageAbout);
        EXPECT_EQ(1, SheetCurrentTab(sheet)) << "the current page stays";
        EXPECT_GE(FindRow(list, "task_bare.exe"), 0);
        ExpectRowsInStep(list);

        // With another page current, its table is left alone.
        PropSheet_SetCurSel(sheet, nullptr, PageStartup);
        PumpMessages(50);
        int startupEntries = EntryCount;
        std::vector<DWORD> sources;
        for (int i = 0; i < EntryCount; ++i)
            sources.push_back(GetEntrySource(i));
        SheetPage = 2;  // as when the task page was the page created last
        RefreshTaskPage();
        SheetPage = 1;
        EXPECT_EQ(startupEntries, EntryCount);
        for (int i = 0; i < EntryCount && i < (int)sources.size(); ++i)
            EXPECT_EQ(sources[i], GetEntrySource(i));
        PropSheet_SetCurSel(sheet, nullptr, PageTasks);
        PumpMessages(50);
        ExpectRowsInStep(list);
    });
}

TEST_F(TasksPageTest, PropertiesAndDoubleClickShowTheSelectedProgram)
{
    DWORD id = 0;
    Start(FixturePath("task_spin.exe"), &id);
    OnTasksPage([&](HWND, HWND page, HWND list) {
        int row = FindRow(list, "task_spin.exe");
        ASSERT_GE(row, 0);
        SelectRow(list, row);
        char path[PathSize];
        GetEntryPath((int)ReadRows(list)[row].data, path);
        char program[PathSize];
        ProgramFileFromCommand(path, program, sizeof(program));

        auto expectInfoDialog = [&](const std::function<void()> &action) {
            std::string caption, shownPath, description, source;
            UINT_PTR wait = WhenWindowAppears(FindThreadDialog, [&](HWND dialog) {
                caption = WindowText(dialog);
                shownPath = WindowText(GetDlgItem(dialog, 1026));
                description = WindowText(GetDlgItem(dialog, 1031));
                source = WindowText(GetDlgItem(dialog, 1027));
                PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            });
            action();
            CancelWindowWait(wait);
            EXPECT_EQ("Task Spinner", caption);
            EXPECT_EQ(program, shownPath);
            EXPECT_EQ("Task Spinner", description);
            EXPECT_EQ("", source) << "a task has no source label";
            EXPECT_EQ('\0', SelectedProgramPath[0]) << "the dialog emptied its subject";
        };
        expectInfoDialog([&] { Click(page, IdProperties); });
        expectInfoDialog([&] { Click(page, IDOK); });
        NMITEMACTIVATE activate = {};
        activate.hdr.hwndFrom = list;
        activate.hdr.idFrom = IdList;
        activate.hdr.code = NM_DBLCLK;
        activate.iItem = row;
        expectInfoDialog([&] { SendMessageA(page, WM_NOTIFY, IdList, (LPARAM)&activate); });
    });
}

TEST_F(TasksPageTest, FullReportWritesOpensAndKeepsRowsInStep)
{
    // The browser is a fixture that records what it was asked to open.
    const char classKey[] = "Software\\Classes\\SentroviaTestReport";
    SavedRegValue association = SaveRegValue(HKEY_LOCAL_MACHINE, "Software\\Classes\\.html", "");
    std::string opener = FixturePath("task_opener.exe");
    std::string record = FixturePath("task_opener.txt");
    DeleteFileA(record.c_str());
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.html", "", "SentroviaTestReport"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, (std::string(classKey) + "\\shell\\open\\command").c_str(),
                             "", ("\"" + opener + "\" \"%1\"").c_str()));
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof(folder), folder);
    std::string report = std::string(folder) + "\\Report.html";
    DeleteFileA(report.c_str());

    DWORD bareId = 0, id = 0;
    HANDLE bare = Start(FixturePath("task_bare.exe"), &bareId);
    Start(FixturePath("task_spin.exe"), &id);
    OnTasksPage([&](HWND, HWND page, HWND list) {
        // A program ends after the rows were filled: the report's collection
        // differs from what the rows were made from.
        ASSERT_GE(FindRow(list, "task_bare.exe"), 0);
        TerminateProcess(bare, 1);
        WaitForSingleObject(bare, 10000);
        Click(page, IdFullReport);
        EXPECT_EQ(-1, FindRow(list, "task_bare.exe"));
        // The report collected afresh; the rows were filled again with it.
        ExpectRowsInStep(list);
        int row = FindRow(list, "task_spin.exe");
        ASSERT_GE(row, 0);
        SelectRow(list, row);
        EXPECT_EQ(id, GetEntryNumber((int)ReadRows(list)[row].data));
    });

    std::string written = ReadFileBytes(report);
    EXPECT_EQ(0u, written.find("<html><head><title>\r\nSentrovia Active Tasks</title>"));
    EXPECT_NE(std::string::npos, written.find("<li><b>Task Spinner</b>"));
    for (int attempt = 0; attempt < 200 && ReadFileBytes(record) == "<missing>"; ++attempt)
        Sleep(50);
    std::string opened = ReadFileBytes(record);
    EXPECT_NE(std::string::npos, opened.find("Report.html")) << opened;

    DeleteFileA(report.c_str());
    DeleteFileA(record.c_str());
    DeleteRegTree(HKEY_LOCAL_MACHINE, classKey);
    RestoreRegValue(association);
    if (!association.existed)
        DeleteRegTree(HKEY_LOCAL_MACHINE, "Software\\Classes\\.html");
}
