// The Active Tasks page in the real property sheet, driven with the messages
// clicks send, against fixture programs started as children of the test.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "store/store.h"
#include "tasks/tasks.h"
#include "testutil.h"

#include <gtest/gtest.h>

namespace {

enum : int { IdProperties = 1008, IdRefresh = 1006, IdKillTask = 1007, IdFullReport = 9 };

// One row per entry with a file name, showing the entry whose index it carries.
void ExpectRowsInStep(HWND list)
{
    int listed = 0;
    char path[PathSize];
    for (int i = 0; i < EntryCount; ++i)
        listed += GetEntryPath(i, path) > 0 && FileNamePart(path) > 0;
    std::vector<ListRow> rows = ReadListRows(list);
    EXPECT_EQ((size_t)listed, rows.size());
    for (const ListRow &row : rows) {
        ASSERT_TRUE(row.data >= 0 && row.data < EntryCount);
        GetEntryPath((int)row.data, path);
        EXPECT_EQ(path + FileNamePart(path), row.cells[0]);
    }
}

// The process that a program's row stands for; 0 when it has no row.
DWORD RowProcess(HWND list, const char *module)
{
    int row = FindListRow(list, module);
    return row < 0 ? 0 : GetEntryNumber((int)ReadListRows(list)[row].data);
}

// Makes the table anew with one entry's path replaced: as if the entry's
// process identifier now ran that program file.
void ReplaceEntryPath(int entry, const std::string &path)
{
    struct Saved { char title[TitleSize], path[PathSize]; DWORD source, number; };
    std::vector<Saved> saved((size_t)EntryCount);
    for (int i = 0; i < EntryCount; ++i) {
        GetEntryTitle(i, saved[i].title);
        GetEntryPath(i, saved[i].path);
        saved[i].source = GetEntrySource(i);
        saved[i].number = GetEntryNumber(i);
    }
    CopyText(saved[entry].path, PathSize, path.c_str());
    ClearEntries();
    for (const Saved &e : saved)
        AddEntry(e.title, e.path, "", e.source, e.number);
}

class TasksPageTest : public testing::Test {
protected:
    void TearDown() override
    {
        ClearEntries();
        EXPECT_EQ(0, SheetPage);
        EXPECT_EQ(nullptr, SmallImageLists[1]) << "the page released its icons";
    }

    HANDLE Start(const char *fixture, DWORD *id = nullptr)
    {
        HANDLE process = children_.Start(FixturePath(fixture), id);
        EXPECT_TRUE(process != nullptr) << fixture;
        return process;
    }

    ChildPrograms children_;
};

} // namespace

TEST_F(TasksPageTest, RowsShowTheRunningProgramsAndPropertiesTheSelectedOne)
{
    DWORD first = 0, second = 0, bare = 0;
    HANDLE running = Start("task_spin.exe", &first);
    Start("task_spin.exe", &second);
    Start("task_bare.exe", &bare);

    EXPECT_TRUE(DriveListPage(PageTasks, [&](HWND, HWND page, HWND list) {
        EXPECT_EQ(2, SheetPage);
        // Each control's text (its start for the long one); the link buttons draw themselves.
        const struct { int id; const char *text; bool link; } controls[] = {
            {1052, "\nWuffle the Windows Watch Dog has sniffed out", false}, {IdProperties, "Properties", false},
            {IdRefresh, "Refresh", true}, {IdKillTask, "Kill Task", true}, {IdFullReport, "Full Report", true}};
        for (const auto &control : controls) {
            EXPECT_EQ(0u, WindowText(GetDlgItem(page, control.id)).find(control.text)) << control.id;
            EXPECT_EQ(control.link, IsOwnerDrawn(page, control.id)) << control.id;
        }
        EXPECT_EQ("Module|Program Description|Version",
                  ListColumnHeader(list, 0) + "|" + ListColumnHeader(list, 1) + "|" + ListColumnHeader(list, 2));

        // Two copies, one row, standing for one of them; descriptions and
        // versions from the program files.
        ExpectRowsInStep(list);
        std::vector<ListRow> rows = ReadListRows(list);
        int spin = FindListRow(list, "task_spin.exe"), plain = FindListRow(list, "task_bare.exe");
        ASSERT_TRUE(spin >= 0 && plain >= 0);
        EXPECT_EQ("Task Spinner|7.1.3", rows[spin].cells[1] + "|" + rows[spin].cells[2]);
        EXPECT_EQ("|?", rows[plain].cells[1] + "|" + rows[plain].cells[2]);
        DWORD listed = GetEntryNumber((int)rows[spin].data);
        EXPECT_TRUE(listed == first || listed == second);
        EXPECT_EQ(bare, GetEntryNumber((int)rows[plain].data));
        ExpectIconPerRow(list, SmallImageLists[1]);
        ScreenshotPoint("tasks_page");

        ASSERT_EQ(-1, GetSelectedItem(list));
        for (int command : {(int)IdProperties, IDOK, (int)IdKillTask}) {
            BoxAnswerer box(IDOK);
            ClickButton(page, command);
            EXPECT_TRUE(box.Wait()) << command;
            EXPECT_EQ(LoadedText(IDS_HELP_NOPROGRAM), box.text) << command;
            EXPECT_EQ("Sentrovia Help", box.caption) << command;
        }

        // Properties, Enter and a double click show the selected program.
        SelectListRow(list, spin);
        for (int way : {(int)IdProperties, IDOK, 0}) {
            auto click = [&] { way ? ClickButton(page, way) : DoubleClickRow(page, list, spin); };
            DialogSeen info = DialogShownBy(IDOK, click);
            EXPECT_EQ("Task Spinner", info.caption) << way;
            EXPECT_EQ(0, lstrcmpiA(FixturePath("task_spin.exe").c_str(), info.items[1026].c_str()));
            EXPECT_EQ("Task Spinner", info.items[1031]);
            EXPECT_EQ("", info.items[1027]) << "a task has no source label";
            EXPECT_EQ('\0', SelectedProgramPath[0]) << "the dialog emptied its subject";
        }
    }));
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(running, 0)) << "nothing was ended";
}

TEST_F(TasksPageTest, KillTaskEndsTheSelectedProgramAndRefills)
{
    DWORD firstId = 0, secondId = 0;
    HANDLE bare = Start("task_bare.exe");
    HANDLE first = Start("task_spin.exe", &firstId);
    HANDLE second = Start("task_spin.exe", &secondId);

    EXPECT_TRUE(DriveListPage(PageTasks, [&](HWND, HWND page, HWND list) {
        SelectListRow(list, FindListRow(list, "task_bare.exe"));
        EXPECT_FALSE(DialogShownBy(IDCANCEL, [&] { ClickButton(page, IdKillTask); }).shown) << "no question";
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(bare, 10000));
        DWORD code = 0;
        GetExitCodeProcess(bare, &code);
        EXPECT_EQ(259u, code) << "ended with the code it answered while running";
        EXPECT_EQ(-1, FindListRow(list, "task_bare.exe")) << "the list was refilled";
        ExpectRowsInStep(list);

        // Ending one copy of a program: the other copy takes its row.
        bool firstListed = RowProcess(list, "task_spin.exe") == firstId;
        SelectListRow(list, FindListRow(list, "task_spin.exe"));
        ClickButton(page, IdKillTask);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(firstListed ? first : second, 10000));
        EXPECT_EQ(firstListed ? secondId : firstId, RowProcess(list, "task_spin.exe"));

        // A program that ended by itself meanwhile, whether another program
        // still holds its process or it is gone altogether: the user is told
        // and the list is refilled.
        HANDLE other = firstListed ? second : first;
        DWORD goneId = 0;
        HANDLE gone = StartChildProcess(FixturePath("task_bare.exe"), nullptr, &goneId);
        ASSERT_NE(gone, nullptr);
        ClickButton(page, IdRefresh);
        for (auto ended : {std::make_pair("task_spin.exe", other), std::make_pair("task_bare.exe", gone)}) {
            SCOPED_TRACE(ended.first);
            SelectListRow(list, FindListRow(list, ended.first));
            TerminateProcess(ended.second, 3);
            WaitForSingleObject(ended.second, 10000);
            GetExitCodeProcess(ended.second, &code);
            EXPECT_EQ(3u, code);
            if (ended.second == gone)
                CloseHandle(gone);
            DialogSeen notice = DialogShownBy(IDOK, [&] { ClickButton(page, IdKillTask); });
            EXPECT_EQ("This program has already ended.", notice.text);
            EXPECT_EQ(-1, FindListRow(list, ended.first));
            EXPECT_EQ(-1, GetSelectedItem(list));
            ExpectRowsInStep(list);
        }
    }));
}

TEST_F(TasksPageTest, RefreshesShowWhatRunsNowWithoutTakingAnotherPagesTable)
{
    EXPECT_TRUE(DriveListPage(PageTasks, [&](HWND sheet, HWND page, HWND list) {
        // Asked for again while open and created last, the sheet comes
        // forward on its current page, and the tasks refresh.
        EXPECT_EQ(-1, FindListRow(list, "task_bare.exe"));
        HANDLE bare = Start("task_bare.exe");
        ShowPropertySheet(nullptr, PageAbout);
        EXPECT_EQ(1, SheetCurrentTab(sheet));
        EXPECT_GE(FindListRow(list, "task_bare.exe"), 0);
        ExpectRowsInStep(list);
        EXPECT_EQ(-1, FindListRow(list, "task_spin.exe"));
        Start("task_spin.exe");
        ClickButton(page, IdRefresh);
        EXPECT_GE(FindListRow(list, "task_spin.exe"), 0);
        ExpectRowsInStep(list);

        // Startup Programs owns the table while it is current: a request
        // leaves it alone. A program ends meanwhile; coming back shows that.
        PropSheet_SetCurSel(sheet, nullptr, PageStartup);
        PumpMessages(50);
        TerminateProcess(bare, 1);
        WaitForSingleObject(bare, 10000);
        std::vector<DWORD> sources;
        for (int i = 0; i < EntryCount; ++i)
            sources.push_back(GetEntrySource(i));
        SheetPage = 2;  // as when the task page was the page created last
        RefreshTaskPage();
        SheetPage = 1;
        ASSERT_EQ(sources.size(), (size_t)EntryCount);
        for (int i = 0; i < EntryCount; ++i)
            EXPECT_EQ(sources[i], GetEntrySource(i));
        PropSheet_SetCurSel(sheet, nullptr, PageTasks);
        PumpMessages(50);
        EXPECT_EQ(-1, FindListRow(list, "task_bare.exe"));
        ExpectRowsInStep(list);
    }));
}

TEST_F(TasksPageTest, FullReportWritesOpensAndKeepsRowsInStep)
{
    // The browser is a fixture that records what it was asked to open.
    SavedRegValue association = SaveRegValue(HKEY_LOCAL_MACHINE, "Software\\Classes\\.html", "");
    std::string record = FixturePath("task_opener.txt"), opener = FixturePath("task_opener.exe");
    DeleteFileA(record.c_str());
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.html", "", "SentroviaTestReport"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, "Software\\Classes\\SentroviaTestReport\\shell\\open\\command",
                             "", ("\"" + opener + "\" \"%1\"").c_str()));
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof(folder), folder);
    std::string report = std::string(folder) + "\\Report.html";
    DeleteFileA(report.c_str());

    DWORD id = 0;
    HANDLE bare = Start("task_bare.exe");
    Start("task_spin.exe", &id);
    EXPECT_TRUE(DriveListPage(PageTasks, [&](HWND, HWND page, HWND list) {
        // A program ends after the rows were filled: the report's collection
        // differs from what the rows were made from, and the rows follow it.
        ASSERT_GE(FindListRow(list, "task_bare.exe"), 0);
        TerminateProcess(bare, 1);
        WaitForSingleObject(bare, 10000);
        ClickButton(page, IdFullReport);
        EXPECT_EQ(-1, FindListRow(list, "task_bare.exe"));
        ExpectRowsInStep(list);
        EXPECT_EQ(id, RowProcess(list, "task_spin.exe"));
    }));

    std::string written = ReadFileBytes(report);
    EXPECT_EQ(0u, written.find("<html><head><title>\r\nSentrovia Active Tasks</title>"));
    EXPECT_NE(std::string::npos, written.find("<li><b>Task Spinner</b>"));
    for (int attempt = 0; attempt < 200 && ReadFileBytes(record) == "<missing>"; ++attempt)
        Sleep(50);
    EXPECT_NE(std::string::npos, ReadFileBytes(record).find("Report.html")) << ReadFileBytes(record);
    DeleteFileA(report.c_str());
    DeleteFileA(record.c_str());
    DeleteRegTree(HKEY_LOCAL_MACHINE, "Software\\Classes\\SentroviaTestReport");
    RestoreRegValue(association);
}

TEST_F(TasksPageTest, KillTaskEndsNothingOnceTheRowsIdentifierRunsAnotherProcess)
{
    DWORD id = 0;
    HANDLE bare = Start("task_bare.exe", &id);
    EXPECT_TRUE(DriveListPage(PageTasks, [&](HWND, HWND page, HWND list) {
        // The identifier passed to a process started later, or to another
        // program file: the row's program has ended, and nothing else may.
        for (bool otherFile : {false, true}) {
            SCOPED_TRACE(otherFile);
            int row = FindListRow(list, "task_bare.exe");
            ASSERT_GE(row, 0);
            int entry = (int)ReadListRows(list)[row].data;
            if (otherFile)
                ReplaceEntryPath(entry, FixturePath("task_spin.exe"));
            else
                TaskStartTimes[entry] += 1;
            SelectListRow(list, row);
            DialogSeen notice = DialogShownBy(IDOK, [&] { ClickButton(page, IdKillTask); });
            EXPECT_EQ(LoadedText(IDS_ERR_TASK_ENDED), notice.text);
            EXPECT_EQ("This program has already ended.", notice.text);
            EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(bare, 0)) << "nothing was ended";
            EXPECT_EQ(id, RowProcess(list, "task_bare.exe")) << "the list was refilled";
            ExpectRowsInStep(list);
        }
        // The refilled row is the program's own again: Kill Task ends it.
        SelectListRow(list, FindListRow(list, "task_bare.exe"));
        EXPECT_FALSE(DialogShownBy(IDCANCEL, [&] { ClickButton(page, IdKillTask); }).shown);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(bare, 10000));
    }));
}

TEST_F(TasksPageTest, ProgramsInDottedFoldersKeepTheirOwnRowsAndDetails)
{
    // A dot before an L ends a command line's program file, never a module path.
    std::string folder = MakeScratchDir("tasks_dotted");
    std::vector<std::string> programs;
    for (const char *file : {"my.lib\\alpha.exe", "my.lib\\beta.exe", "sub.log\\gamma.exe"}) {
        programs.push_back(folder + "\\" + file);
        CreateDirectoryA(programs.back().substr(0, programs.back().rfind('\\')).c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(FixturePath("task_spin.exe").c_str(), programs.back().c_str(), FALSE));
        ASSERT_TRUE(children_.Start(programs.back()));
    }
    EXPECT_TRUE(DriveListPage(PageTasks, [&](HWND, HWND page, HWND list) {
        ExpectRowsInStep(list);
        EXPECT_EQ(-1, FindListRow(list, "my.lib"));
        for (const std::string &program : programs) {
            std::string name = program.substr(program.rfind('\\') + 1);
            int row = FindListRow(list, name);
            ASSERT_GE(row, 0) << name;
            ListRow shown = ReadListRows(list)[row];
            EXPECT_EQ("Task Spinner|7.1.3", shown.cells[1] + "|" + shown.cells[2]) << name;
            SelectListRow(list, row);
            DialogSeen info = DialogShownBy(IDOK, [&] { ClickButton(page, IdProperties); });
            EXPECT_EQ(0, lstrcmpiA(program.c_str(), info.items[1026].c_str())) << info.items[1026];
            EXPECT_EQ("Spinner|Spinning Tops Ltd", info.items[100] + "|" + info.items[1030]);
        }
    }));
    // The report and the More Info address name each program with its details.
    std::string report = folder + "\\Report.html";
    ASSERT_EQ(1, WriteFullReportFile(ReportTasks, report.c_str()));
    std::string text = ReadFileBytes(report);
    CharUpperA(&text[0]);
    for (std::string name : programs) {
        name = CharUpperA(&name[name.rfind('\\') + 1]);
        const std::string details = "&vendor=Spinning%20Tops%20Ltd&version=7.1.3";
        EXPECT_NE(std::string::npos, text.find("<OL>" + name + "<BR>\r\n\tTASK SPINNER<BR>\tVERSION: 7.1.3"));
        EXPECT_NE(std::string::npos, text.find("PROGRAM=" + name + "&AMP;VENDOR=SPINNING%20TOPS"));
        char url[1024];
        MoreInfoUrl((folder + "\\" + (name[0] == 'G' ? "SUB.LOG\\" : "MY.LIB\\") + name).c_str(), 1,
                    url, sizeof(url));
        EXPECT_NE(std::string::npos, std::string(url).find("program=" + name + details)) << url;
    }
    for (HANDLE child : children_.handles)
        EndChildProcess(child);
    children_.handles.clear();
    RemoveTree(folder);
}
