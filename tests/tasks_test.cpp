// The process walk, the task entries and the Active Tasks page in the real
// property sheet, against fixture programs started as children of each test.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "startup/startup.h"
#include "store/store.h"
#include "tasks/tasks.h"
#include "testutil.h"

#include <gtest/gtest.h>

namespace {

enum : int { IdProperties = 1008, IdRefresh = 1006, IdKillTask = 1007 };

// The process each row stands for, by module name; every row shows its entry.
std::map<std::string, DWORD> RowProcesses(HWND list)
{
    std::map<std::string, DWORD> shown;
    for (const ListRow &row : ReadListRows(list)) {
        std::string path = ReadStartupRow((int)row.data).path;
        EXPECT_EQ(path.substr(FileNamePart(path.c_str())), row.cells[0]);
        shown[CharUpperA(&path[FileNamePart(path.c_str())])] = GetEntryNumber((int)row.data);
    }
    return shown;
}

std::string KillTaskNotice(HWND page) { return DialogShownBy(IDOK, [&] { ClickButton(page, IdKillTask); }).text; }

struct TasksTest : testing::Test {
    void TearDown() override
    {
        ClearEntries();
        EXPECT_EQ(nullptr, SmallImageLists[1]) << "the page released its icons";
    }
    ChildPrograms children_;
};

} // namespace

TEST_F(TasksTest, ReportedNamesGiveOneEntryPerProgramFileAndSixteenBitTasksGoUnderTheirHost)
{
    // Reported names in any form: one entry per program file, in its long form,
    // a module path whole; the first process met stands for the program.
    const std::string spin = FixturePath("task_spin.exe");
    char shortSpin[MAX_PATH] = "";
    GetShortPathNameA(spin.c_str(), shortSpin, sizeof(shortSpin));
    const struct { DWORD process; std::string name; int count; std::string path; DWORD first; } cases[] = {
        {5, "", 0, "", 0}, {41, shortSpin, 1, spin, 41}, {42, spin, 1, spin, 41}, {43, "\\??\\" + spin, 1, spin, 41},
        {11, "C:\\X\\my.lib\\alpha.exe", 2, "C:\\X\\MY.LIB\\ALPHA.EXE", 11},
        {12, "C:\\X\\my.lib\\beta.exe", 3, "C:\\X\\MY.LIB\\BETA.EXE", 12},
    };
    for (const auto &c : cases) {
        EXPECT_TRUE(AddTaskEntry(c.process, 0, c.name.c_str(), 0));
        ASSERT_EQ(c.count, EntryCount) << c.name;
        std::string got = c.count ? ReadStartupRow(c.count - 1).path + "|" + std::to_string(GetEntryNumber(c.count - 1))
                                  : "|0";
        EXPECT_EQ(0, lstrcmpiA(got.c_str(), (c.path + "|" + std::to_string(c.first)).c_str())) << got;
    }

    // 16-bit tasks go under their host; a callback that stops ends every walk.
    char module[] = "APP16", app[] = "C:\\WIN16\\APP16.EXE";
    WowTaskContext adding = {4321, AddTaskEntry, 0, FALSE};
    EXPECT_FALSE(OnWowTask(1, 1, 11, module, app, (LPARAM)&adding));
    EXPECT_EQ(app + std::string("|4321"), ReadStartupRow(3).path + "|" + std::to_string(GetEntryNumber(3)));
    std::string steps;
    WowTaskContext stopping = {77, [](DWORD id, WORD task16, const char *name, LPARAM user) -> BOOL {
        *(std::string *)user += std::to_string(id) + ":" + std::to_string(task16) + ":" + name + "|";
        return FALSE; }, (LPARAM)&steps, FALSE};
    EXPECT_TRUE(OnWowTask(1, 3, 9, module, app, (LPARAM)&stopping) && stopping.stop);
    EXPECT_EQ("77:9:C:\\WIN16\\APP16.EXE|", steps);
}

TEST_F(TasksTest, PageShowsEachProgramOnceAndKillTaskEndsOnlyTheRowsOwnProcess)
{
    // A dot before an L ends a command line's program file, never a module path.
    std::string folder = MakeScratchDir("tasks_dotted"), dotted[2] = {"my.lib\\alpha.exe", "sub.log\\gamma.exe"};
    for (std::string &program : dotted) {
        CreateDirectoryA((folder + "\\" + program.substr(0, 7)).c_str(), nullptr);
        program = folder + "\\" + program;
        ASSERT_TRUE(CopyFileA(FixturePath("task_spin.exe").c_str(), program.c_str(), FALSE));
        ASSERT_TRUE(children_.Start(program));
    }
    DWORD spinIds[2] = {}, bareId = 0;
    HANDLE spins[2] = {children_.Start(FixturePath("task_spin.exe"), &spinIds[0]),
                       children_.Start(FixturePath("task_spin.exe"), &spinIds[1])};
    HANDLE bare = children_.Start(FixturePath("task_bare.exe"), &bareId);
    EXPECT_TRUE(DriveListPage(PageTasks, [&](HWND, HWND page, HWND list) {
        std::vector<ListRow> rows = ReadListRows(list);
        // Two copies of a program, one row.
        int spin = FindListRow(list, "task_spin.exe"), plain = FindListRow(list, "task_bare.exe");
        ASSERT_TRUE(spin >= 0 && plain >= 0 && rows.size() == RowProcesses(list).size());
        EXPECT_EQ("Task Spinner|7.1.3||?", rows[spin].cells[1] + "|" + rows[spin].cells[2] + "|" +
                                           rows[plain].cells[1] + "|" + rows[plain].cells[2]);
        EXPECT_EQ(bareId, RowProcesses(list)["TASK_BARE.EXE"]);
        ExpectIconPerRow(list, SmallImageLists[1]);
        ScreenshotPoint("tasks_page");
        EXPECT_EQ(LoadedText(IDS_HELP_NOPROGRAM), KillTaskNotice(page)) << "nothing selected";
        // Two programs of one name in dotted folders: each its own row and details.
        for (const std::string &program : dotted) {
            SelectListRow(list, FindListRow(list, program.substr(program.rfind('\\') + 1)));
            DialogSeen info = DialogShownBy(IDOK, [&] { ClickButton(page, IdProperties); });
            EXPECT_EQ(0, lstrcmpiA(program.c_str(), info.items[1026].c_str())) << info.items[1026];
            EXPECT_EQ("Task Spinner|Spinner|Spinning Tops Ltd|",
                      info.caption + "|" + info.items[100] + "|" + info.items[1030] + "|" + info.items[1027]);
        }

        // The row's identifier now runs another process, or another program file:
        // nothing is ended, the user is told and the rows are made anew.
        for (bool otherFile : {false, true}) {
            int row = FindListRow(list, "task_bare.exe"), entry = (int)ReadListRows(list)[row].data;
            TaskStartTimes[entry] += otherFile ? 0 : 1;
            for (otherFile ? ClearEntries() : void(); otherFile && EntryCount <= entry;)
                AddEntry("", FixturePath("task_spin.exe").c_str(), "", SourceTask, bareId);
            SelectListRow(list, row);
            EXPECT_EQ(LoadedText(IDS_ERR_TASK_ENDED), KillTaskNotice(page));
            EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(bare, 0)) << "nothing was ended";
            EXPECT_EQ(bareId, RowProcesses(list)["TASK_BARE.EXE"]);
        }
        // Its own row ends it, with no question; another copy of a program takes its row.
        for (const char *module : {"TASK_BARE.EXE", "TASK_SPIN.EXE"}) {
            DWORD listed = RowProcesses(list)[module];
            SelectListRow(list, FindListRow(list, module));
            EXPECT_FALSE(DialogShownBy(IDCANCEL, [&] { ClickButton(page, IdKillTask); }).shown) << "no question";
            HANDLE ended = listed == bareId ? bare : spins[listed == spinIds[1]];
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ended, 0)) << "ended before the rows were made anew";
        }
        std::map<std::string, DWORD> now = RowProcesses(list);
        EXPECT_TRUE(!now.count("TASK_BARE.EXE") && (now["TASK_SPIN.EXE"] == spinIds[0] ||
                                                    now["TASK_SPIN.EXE"] == spinIds[1]));
    }));
    for (HANDLE child : children_.handles)
        EndChildProcess(child);
    children_.handles.clear();
    RemoveTree(folder);
}

TEST_F(TasksTest, RefreshesShowWhatRunsNowWithoutTakingAnotherPagesTable)
{
    EXPECT_TRUE(DriveListPage(PageTasks, [&](HWND sheet, HWND page, HWND list) {
        EXPECT_EQ(-1, FindListRow(list, "task_bare.exe"));
        HANDLE bare = children_.Start(FixturePath("task_bare.exe"));
        ClickButton(page, IdRefresh);
        EXPECT_GE(FindListRow(list, "task_bare.exe"), 0);
        // Startup Programs owns the table while it is current: a request
        // leaves it alone. A program ends meanwhile; coming back shows that.
        PropSheet_SetCurSel(sheet, nullptr, PageStartup);
        PumpMessages(50);
        TerminateProcess(bare, 1);
        WaitForSingleObject(bare, 10000);
        AddEntry("Startup's", "C:\\STARTUP.EXE", "", 1, 0);
        std::string table = EntryTitles();
        SheetPage = 2;  // as when the task page was the page created last
        RefreshTaskPage();
        SheetPage = 1;
        EXPECT_EQ(table, EntryTitles());
        PropSheet_SetCurSel(sheet, nullptr, PageTasks);
        PumpMessages(50);
        EXPECT_EQ(-1, FindListRow(list, "task_bare.exe"));
        RowProcesses(list);
    }));
}
