// The process walk and the task entries, against the real process table of
// the Wine prefix: fixture programs run as children of each test.
#include "info/info.h"
#include "store/store.h"
#include "tasks/tasks.h"
#include "testutil.h"

#include <gtest/gtest.h>

namespace {

struct WalkStep {
    DWORD processId;
    WORD task16;
    std::string fileName;
};

BOOL RecordStep(DWORD processId, WORD task16, const char *fileName, LPARAM user)
{
    ((std::vector<WalkStep> *)user)->push_back({processId, task16, fileName ? fileName : ""});
    return TRUE;
}

// Records the first step, then asks the walk to end.
BOOL RecordThenStop(DWORD processId, WORD task16, const char *fileName, LPARAM user)
{
    return !RecordStep(processId, task16, fileName, user);
}

std::string EntryPath(int index)
{
    char path[PathSize];
    GetEntryPath(index, path);
    return path;
}

// Compares file name parts only: the Toolhelp walk names programs without
// their folder.
bool SameName(const std::string &a, const std::string &b)
{
    return !lstrcmpiA(a.c_str() + FileNamePart(a.c_str()), b.c_str() + FileNamePart(b.c_str()));
}

std::vector<int> EntriesNamed(const std::string &name)
{
    std::vector<int> found;
    for (int i = 0; i < EntryCount; ++i)
        if (SameName(EntryPath(i), name))
            found.push_back(i);
    return found;
}

// The table holds one entry for each of these programs, standing for the
// first of its processes the walk met, and no program twice.
void ExpectOneEntryEach(const std::vector<WalkStep> &steps, const std::vector<std::string> &names)
{
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        std::vector<int> found = EntriesNamed(name);
        ASSERT_EQ(1u, found.size());
        DWORD firstMet = 0;
        for (size_t i = 0; i < steps.size() && !firstMet; ++i)
            firstMet = SameName(steps[i].fileName, name) ? steps[i].processId : 0;
        EXPECT_EQ(firstMet, GetEntryNumber(found[0]));
        EXPECT_EQ(600u, GetEntrySource(found[0]));
    }
    for (int i = 0; i < EntryCount; ++i)
        for (int j = i + 1; j < EntryCount; ++j)
            EXPECT_NE(0, lstrcmpiA(EntryPath(i).c_str(), EntryPath(j).c_str())) << EntryPath(i);
}

class TasksTest : public testing::Test {
protected:
    void TearDown() override { ClearEntries(); }
};

} // namespace

TEST_F(TasksTest, CollectGivesOneEntryPerReadableProgramAndReleasesWhatItTook)
{
    AddEntry("left over", "C:\\OLD.EXE", "", 1, 0);
    ChildPrograms children;
    ASSERT_TRUE(children.Start(FixturePath("task_spin.exe")));
    ASSERT_TRUE(children.Start(FixturePath("task_spin.exe")));
    ASSERT_TRUE(children.Start(FixturePath("task_bare.exe")));
    // A process created suspended has not loaded its modules yet, so its
    // program file cannot be read.
    std::string command = "\"" + FixturePath("task_bare.exe") + "\" 300";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION unnamed = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &unnamed));
    CloseHandle(unnamed.hThread);
    children.handles.push_back(unnamed.hProcess);

    std::vector<WalkStep> steps;
    ASSERT_TRUE(EnumerateProcesses(RecordStep, (LPARAM)&steps));
    int met = 0;
    for (const WalkStep &step : steps)
        met += step.processId == unnamed.dwProcessId && step.fileName.empty();
    ASSERT_EQ(1, met) << "the walk hands the unnamed process on, without a name";
    EXPECT_EQ(EntryCount, CollectTaskEntries());
    EXPECT_TRUE(EntriesNamed("OLD.EXE").empty()) << "the table is replaced";
    // The unnamed copy of task_bare is left out: its entry is the named one's.
    ExpectOneEntryEach(steps, {"task_spin.exe", "task_bare.exe", "tasks_test.exe"});
    if (HasFatalFailure())
        return;
    char text[PathSize];
    EXPECT_EQ(0, GetEntryTitle(EntriesNamed("task_bare.exe")[0], text)) << "no version resource";
    GetEntryTitle(EntriesNamed("task_spin.exe")[0], text);
    EXPECT_STREQ("Task Spinner", text) << "the description of its version resource";

    // Wine's GetProcessHandleCount answers 0: count the handles one by one,
    // once the first collection and checks took what they keep for good.
    auto openHandles = [] {
        int count = 0;
        DWORD flags;
        for (ULONG_PTR value = 4; value < 65536; value += 4)
            count += GetHandleInformation((HANDLE)value, &flags) != FALSE;
        return count;
    };
    int handles = openHandles();
    for (int i = 0; i < 4; ++i)
        CollectTaskEntries();
    EXPECT_EQ(handles, openHandles());
    // Nothing else in the test program loads these two.
    EXPECT_EQ(nullptr, GetModuleHandleA("PSAPI.DLL"));
    EXPECT_EQ(nullptr, GetModuleHandleA("VDMDBG.DLL"));
}

TEST_F(TasksTest, AddTaskEntryKeepsTheFirstProcessOfEachProgramFile)
{
    std::string spin = FixturePath("task_spin.exe");
    std::string tooLong = "C:\\" + std::string(400, 'a') + ".EXE";
    char shortSpin[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA(spin.c_str(), shortSpin, sizeof(shortSpin)), 0u);
    const std::string notepad = "C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE";
    // After each call: the entry count, and the last entry's path and process.
    struct Case { DWORD process; const char *name; int count; std::string path; DWORD first; };
    const Case cases[] = {
        {5, "", 0, "", 0},  // a name that could not be read
        {6, nullptr, 0, "", 0},
        {7, "\\??\\C:\\Windows\\System32\\notepad.exe", 1, notepad, 7},
        {8, "c:\\windows\\system32\\NOTEPAD.EXE", 1, notepad, 7},
        // A short and a long name of one program are one entry, in long form.
        {41, shortSpin, 2, spin, 41},
        {42, spin.c_str(), 2, spin, 41},
        {43, shortSpin, 2, spin, 41},
        // A module path is used whole: programs sharing a dotted folder stay apart.
        {11, "C:\\X\\my.lib\\alpha.exe", 3, "C:\\X\\MY.LIB\\ALPHA.EXE", 11},
        {12, "C:\\X\\my.lib\\beta.exe", 4, "C:\\X\\MY.LIB\\BETA.EXE", 12},
        {9, tooLong.c_str(), 5, "C:\\" + std::string(256, 'A'), 9},  // cut to 259
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name ? c.name : "(none)");
        EXPECT_TRUE(AddTaskEntry(c.process, 0, c.name, 0));
        ASSERT_EQ(c.count, EntryCount);
        if (c.count) {
            EXPECT_EQ(0, lstrcmpiA(c.path.c_str(), EntryPath(c.count - 1).c_str()));
            EXPECT_EQ(c.first, GetEntryNumber(c.count - 1));
        }
    }
    // A full table leaves later programs out, and the walk still goes on.
    while (AddEntry("", ("C:\\FILL" + std::to_string(EntryCount) + ".EXE").c_str(), "", 600, 1))
        continue;
    EXPECT_TRUE(AddTaskEntry(10, 0, "C:\\ONE\\MORE.EXE", 0));
    EXPECT_EQ(MaxEntries, EntryCount);
}

TEST_F(TasksTest, SixteenBitTasksGoUnderTheirHostAndACallbackStopsEveryWalk)
{
    char module[] = "APP16", clock[] = "C:\\WIN16\\CLOCK.EXE", app[] = "C:\\WIN16\\APP16.EXE";
    WowTaskContext adding = {4321, AddTaskEntry, 0, FALSE};
    EXPECT_FALSE(OnWowTask(1, 1, 11, module, app, (LPARAM)&adding)) << "FALSE goes on";
    EXPECT_FALSE(OnWowTask(1, 2, 12, module, clock, (LPARAM)&adding));
    EXPECT_FALSE(adding.stop);
    ASSERT_EQ(2, EntryCount);
    EXPECT_EQ(clock, EntryPath(1));
    EXPECT_TRUE(GetEntryNumber(0) == 4321 && GetEntryNumber(1) == 4321);

    std::vector<WalkStep> steps;
    WowTaskContext stopping = {77, RecordThenStop, (LPARAM)&steps, FALSE};
    EXPECT_TRUE(OnWowTask(1, 3, 9, module, app, (LPARAM)&stopping)) << "TRUE ends the 16-bit walk";
    EXPECT_TRUE(stopping.stop) << "and the flag the process walk";
    ASSERT_EQ(1u, steps.size());
    EXPECT_TRUE(steps[0].processId == 77 && steps[0].task16 == 9 && steps[0].fileName == app);
    steps.clear();
    EXPECT_TRUE(EnumerateProcesses(RecordThenStop, (LPARAM)&steps));
    EXPECT_EQ(1u, steps.size());
}

// The Windows 95 family's walk. Wine reports that family to programs started
// while HKCU\Software\Wine holds Version = "win98", so the walk runs in a
// second copy of this test program, started with that value set.
TEST(TasksWin9xChild, DISABLED_ToolhelpWalkGivesOneEntryPerProgram)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS)
        GTEST_SKIP() << "runs only as the child of TasksTest.WindowsNinetyFiveFamilyWalk";
    std::vector<WalkStep> steps;
    ASSERT_TRUE(EnumerateProcesses(RecordStep, (LPARAM)&steps));
    EXPECT_EQ(EntryCount, CollectTaskEntries());
    // Two spinners, and this program twice: the parent and this copy.
    ExpectOneEntryEach(steps, {"task_spin.exe", "tasks_test.exe"});
    EXPECT_TRUE(WriteFileBytes(TestDir() + "\\scratch\\tasks_win9x\\child.ok", "ok"));
}

TEST_F(TasksTest, WindowsNinetyFiveFamilyWalk)
{
    ChildPrograms children;
    ASSERT_TRUE(children.Start(FixturePath("task_spin.exe")));
    ASSERT_TRUE(children.Start(FixturePath("task_spin.exe")));
    std::string folder = MakeScratchDir("tasks_win9x");
    SavedRegValue previous = SaveRegValue(HKEY_CURRENT_USER, "Software\\Wine", "Version");
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, "Software\\Wine", "Version", "win98"));
    const char *args = "--gtest_also_run_disabled_tests --gtest_filter=TasksWin9xChild.*";
    HANDLE child = StartChildProcess(TestDir() + "\\tasks_test.exe", args, nullptr);
    DWORD exitCode = 1;
    if (child && WaitForSingleObject(child, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(child, &exitCode);
    EndChildProcess(child);
    // The prefix goes back to the NT family whatever happened.
    RestoreRegValue(previous);
    EXPECT_EQ(0u, exitCode) << "the child's checks failed";
    EXPECT_EQ("ok", ReadFileBytes(folder + "\\child.ok")) << "the child did not run its test";
    RemoveTree(folder);
}
