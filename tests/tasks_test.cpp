// The process walk and the task entries, against the real process table of
// the Wine prefix: fixture programs are started as children of the test and
// ended at the end of each test.
#include "info/info.h"
#include "startup/startup.h"
#include "store/store.h"
#include "tasks/tasks.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

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

std::vector<WalkStep> Walk()
{
    std::vector<WalkStep> steps;
    EXPECT_TRUE(EnumerateProcesses(RecordStep, (LPARAM)&steps));
    return steps;
}

// A child is ready for the walk once its program file can be read; right
// after CreateProcess its loader may not have got that far.
bool WaitUntilNamed(DWORD processId)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        for (const WalkStep &step : Walk())
            if (step.processId == processId && !step.fileName.empty())
                return true;
        Sleep(50);
    }
    return false;
}

// The running fixtures of one test, ended whatever the test's outcome.
struct Children {
    std::vector<HANDLE> handles;
    ~Children()
    {
        for (HANDLE h : handles)
            EndChildProcess(h);
    }
    DWORD Start(const std::string &path)
    {
        DWORD id = 0;
        HANDLE h = StartChildProcess(path, "300", &id);
        EXPECT_TRUE(h != nullptr) << path;
        if (!h)
            return 0;
        handles.push_back(h);
        EXPECT_TRUE(WaitUntilNamed(id)) << path;
        return id;
    }
};

std::string EntryPath(int index)
{
    char path[PathSize];
    GetEntryPath(index, path);
    return path;
}

std::string EntryTitle(int index)
{
    char title[TitleSize];
    GetEntryTitle(index, title);
    return title;
}

// Indexes of the entries whose file name part is `name`, ignoring case.
std::vector<int> EntriesNamed(const char *name)
{
    std::vector<int> found;
    for (int i = 0; i < EntryCount; ++i) {
        std::string path = EntryPath(i);
        if (lstrcmpiA(path.c_str() + FileNamePart(path.c_str()), name) == 0)
            found.push_back(i);
    }
    return found;
}

// Of two processes, the one the walk meets first.
DWORD FirstInWalk(const std::vector<WalkStep> &steps, DWORD a, DWORD b)
{
    for (const WalkStep &step : steps)
        if (step.processId == a || step.processId == b)
            return step.processId;
    return 0;
}

std::string OwnFileName()
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    return self + FileNamePart(self);
}

// The handles this process holds, found by asking for each possible value
// (Wine's GetProcessHandleCount answers 0).
int CountOpenHandles()
{
    int count = 0;
    for (ULONG_PTR value = 4; value < 65536; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation((HANDLE)value, &flags))
            ++count;
    }
    return count;
}

class TasksTest : public testing::Test {
protected:
    void TearDown() override { ClearEntries(); }
};

} // namespace

TEST_F(TasksTest, WalkVisitsEveryProcessOnceWithItsProgramFile)
{
    Children children;
    DWORD spin = children.Start(FixturePath("task_spin.exe"));
    std::vector<WalkStep> steps = Walk();
    ASSERT_FALSE(steps.empty());
    bool ownSeen = false;
    bool spinSeen = false;
    for (size_t i = 0; i < steps.size(); ++i) {
        for (size_t j = i + 1; j < steps.size(); ++j)
            EXPECT_NE(steps[i].processId, steps[j].processId) << "visited twice";
        EXPECT_EQ(0, steps[i].task16);
        if (steps[i].processId == GetCurrentProcessId()) {
            ownSeen = true;
            EXPECT_EQ(OwnFileName(), steps[i].fileName.substr(FileNamePart(steps[i].fileName.c_str())));
        }
        if (steps[i].processId == spin) {
            spinSeen = true;
            EXPECT_EQ(0, lstrcmpiA(FixturePath("task_spin.exe").c_str(), steps[i].fileName.c_str()))
                << steps[i].fileName;
        }
    }
    EXPECT_TRUE(ownSeen);
    EXPECT_TRUE(spinSeen);
}

TEST_F(TasksTest, WalkReleasesItsLibrariesAndHandles)
{
    Children children;
    children.Start(FixturePath("task_spin.exe"));
    Walk();
    int handlesBefore = CountOpenHandles();
    for (int i = 0; i < 5; ++i)
        Walk();
    CollectTaskEntries();
    EXPECT_EQ(handlesBefore, CountOpenHandles());
    // Nothing else in the test program loads these two.
    EXPECT_EQ(nullptr, GetModuleHandleA("PSAPI.DLL"));
    EXPECT_EQ(nullptr, GetModuleHandleA("VDMDBG.DLL"));
}

TEST_F(TasksTest, CallbackThatStopsEndsTheWalkAtOnce)
{
    struct Counter {
        static BOOL Stop(DWORD, WORD, const char *, LPARAM user)
        {
            ++*(int *)user;
            return FALSE;
        }
    };
    int calls = 0;
    EXPECT_TRUE(EnumerateProcesses(Counter::Stop, (LPARAM)&calls));
    EXPECT_EQ(1, calls);
}

TEST_F(TasksTest, CollectGivesOneEntryPerProgramWithItsDescription)
{
    AddEntry("left over", "C:\\OLD.EXE", "", 1, 0);
    Children children;
    DWORD first = children.Start(FixturePath("task_spin.exe"));
    DWORD second = children.Start(FixturePath("task_spin.exe"));
    DWORD bare = children.Start(FixturePath("task_bare.exe"));
    ASSERT_TRUE(first && second && bare);

    std::vector<WalkStep> steps = Walk();
    int count = CollectTaskEntries();
    EXPECT_EQ(EntryCount, count);
    EXPECT_TRUE(EntriesNamed("OLD.EXE").empty()) << "the table is replaced";

    std::vector<int> spins = EntriesNamed("TASK_SPIN.EXE");
    ASSERT_EQ(1u, spins.size()) << "two copies give one entry";
    int spin = spins[0];
    EXPECT_EQ(FirstInWalk(steps, first, second), GetEntryNumber(spin));
    EXPECT_EQ("Task Spinner", EntryTitle(spin));
    EXPECT_EQ(0, lstrcmpiA(FixturePath("task_spin.exe").c_str(), EntryPath(spin).c_str()));
    EXPECT_EQ(600u, GetEntrySource(spin));
    char link[PathSize];
    EXPECT_EQ(0, GetEntryLink(spin, link));

    std::vector<int> bares = EntriesNamed("TASK_BARE.EXE");
    ASSERT_EQ(1u, bares.size());
    EXPECT_EQ(bare, GetEntryNumber(bares[0]));
    EXPECT_EQ("", EntryTitle(bares[0])) << "no version resource, no description";

    std::vector<int> own = EntriesNamed(OwnFileName().c_str());
    ASSERT_EQ(1u, own.size());
    EXPECT_EQ(GetCurrentProcessId(), GetEntryNumber(own[0]));

    // Every entry names a program; no program twice.
    for (int i = 0; i < EntryCount; ++i) {
        EXPECT_FALSE(EntryPath(i).empty());
        for (int j = i + 1; j < EntryCount; ++j)
            EXPECT_NE(0, lstrcmpiA(EntryPath(i).c_str(), EntryPath(j).c_str())) << EntryPath(i);
    }
    // A process whose program file could not be read has no entry.
    for (const WalkStep &step : steps) {
        if (!step.fileName.empty())
            continue;
        for (int i = 0; i < EntryCount; ++i)
            EXPECT_NE(step.processId, GetEntryNumber(i)) << EntryPath(i);
    }
}

TEST_F(TasksTest, ProgramReportedByShortAndLongNameIsOneEntry)
{
    std::string longName = FixturePath("task_spin.exe");
    char shortName[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA(longName.c_str(), shortName, sizeof(shortName)), 0u);
    if (lstrcmpiA(shortName, longName.c_str()) == 0)
        GTEST_SKIP() << "no short names on this file system";

    ClearEntries();
    EXPECT_TRUE(AddTaskEntry(41, 0, shortName, 0));
    EXPECT_TRUE(AddTaskEntry(42, 0, longName.c_str(), 0));
    EXPECT_TRUE(AddTaskEntry(43, 0, shortName, 0));
    ASSERT_EQ(1, EntryCount);
    EXPECT_EQ(41u, GetEntryNumber(0)) << "the first process stands for all";
    EXPECT_EQ(0, lstrcmpiA(longName.c_str(), EntryPath(0).c_str())) << "stored in its long form";
    EXPECT_EQ("Task Spinner", EntryTitle(0));

    // The same through the real walk: one copy started by each name.
    Children children;
    children.Start(longName);
    children.Start(shortName);
    CollectTaskEntries();
    EXPECT_EQ(1u, EntriesNamed("TASK_SPIN.EXE").size());
}

TEST_F(TasksTest, ProcessWhoseNameCannotBeReadIsLeftOut)
{
    // A process created suspended has not loaded its module list yet, so its
    // program file cannot be read.
    std::string path = FixturePath("task_bare.exe");
    std::string command = "\"" + path + "\" 300";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessA(path.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &info));
    CloseHandle(info.hThread);
    Children children;
    children.handles.push_back(info.hProcess);

    bool reportedEmpty = false;
    for (const WalkStep &step : Walk())
        if (step.processId == info.dwProcessId)
            reportedEmpty = step.fileName.empty();
    ASSERT_TRUE(reportedEmpty) << "the walk still hands the process to the callback";

    CollectTaskEntries();
    EXPECT_GT(EntryCount, 0);
    for (int i = 0; i < EntryCount; ++i)
        EXPECT_NE(info.dwProcessId, GetEntryNumber(i)) << EntryPath(i);
    EXPECT_TRUE(EntriesNamed("TASK_BARE.EXE").empty());
}

TEST_F(TasksTest, AddTaskEntryTakesWhatItCanAndAlwaysGoesOn)
{
    ClearEntries();
    EXPECT_TRUE(AddTaskEntry(5, 0, "", 0)) << "an unreadable name";
    EXPECT_TRUE(AddTaskEntry(6, 0, nullptr, 0));
    EXPECT_EQ(0, EntryCount);

    // A command-like report is made into its program file; case is ignored.
    EXPECT_TRUE(AddTaskEntry(7, 0, "\\??\\C:\\Windows\\System32\\notepad.exe", 0));
    EXPECT_TRUE(AddTaskEntry(8, 0, "c:\\windows\\system32\\NOTEPAD.EXE", 0));
    ASSERT_EQ(1, EntryCount);
    EXPECT_EQ(7u, GetEntryNumber(0));
    EXPECT_EQ(0, lstrcmpiA("C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE", EntryPath(0).c_str()));

    // An over-long name is cut to the entry's 259 characters.
    std::string longName = "C:\\" + std::string(400, 'A') + ".EXE";
    EXPECT_TRUE(AddTaskEntry(9, 0, longName.c_str(), 0));
    ASSERT_EQ(2, EntryCount);
    EXPECT_EQ(std::string("C:\\") + std::string(256, 'A'), EntryPath(1));

    // A full table leaves later programs out, and the walk still goes on.
    while (EntryCount < MaxEntries) {
        char name[64];
        FormatText(name, sizeof(name), "C:\\FILL%d.EXE", EntryCount);
        AddEntry("", name, "", 600, 1);
    }
    EXPECT_TRUE(AddTaskEntry(10, 0, "C:\\ONE\\MORE.EXE", 0));
    EXPECT_EQ(MaxEntries, EntryCount);
}

TEST_F(TasksTest, SixteenBitTasksReachTheCallbackUnderTheirHost)
{
    struct Recorder {
        std::vector<WalkStep> steps;
        int stopAfter = 100;
        static BOOL Record(DWORD id, WORD task16, const char *name, LPARAM user)
        {
            Recorder *r = (Recorder *)user;
            r->steps.push_back({id, task16, name});
            return (int)r->steps.size() < r->stopAfter;
        }
    };
    Recorder recorder;
    WowTaskContext context = {1234, Recorder::Record, (LPARAM)&recorder, FALSE};
    char module[] = "APP16";
    char file[] = "C:\\WIN16\\APP16.EXE";
    EXPECT_FALSE(OnWowTask(77, 3, 9, module, file, (LPARAM)&context)) << "FALSE goes on";
    EXPECT_FALSE(context.stop);
    ASSERT_EQ(1u, recorder.steps.size());
    EXPECT_EQ(1234u, recorder.steps[0].processId);
    EXPECT_EQ(9, recorder.steps[0].task16);
    EXPECT_EQ("C:\\WIN16\\APP16.EXE", recorder.steps[0].fileName);

    recorder.stopAfter = 2;
    EXPECT_TRUE(OnWowTask(77, 4, 10, module, file, (LPARAM)&context)) << "TRUE ends the 16-bit walk";
    EXPECT_TRUE(context.stop);

    // Through AddTaskEntry, a 16-bit program is listed under its host's identifier.
    ClearEntries();
    WowTaskContext adding = {4321, AddTaskEntry, 0, FALSE};
    char other[] = "C:\\WIN16\\CLOCK.EXE";
    EXPECT_FALSE(OnWowTask(1, 1, 11, module, file, (LPARAM)&adding));
    EXPECT_FALSE(OnWowTask(1, 2, 12, module, other, (LPARAM)&adding));
    ASSERT_EQ(2, EntryCount);
    EXPECT_EQ(4321u, GetEntryNumber(0));
    EXPECT_EQ(4321u, GetEntryNumber(1));
    EXPECT_EQ("C:\\WIN16\\CLOCK.EXE", EntryPath(1));
}

// ---------------------------------------------------------------------------
// The Windows 95 family's walk. Wine reports that family to programs started
// while HKCU\Software\Wine holds Version = "win98", so the walk runs in a
// second copy of this test program, started with that value set.

namespace {

const char WineKey[] = "Software\\Wine";
const char ChildMarker[] = "SENTROVIA_TASKS_WIN9X_CHILD";

} // namespace

TEST(TasksWin9xChild, DISABLED_ToolhelpWalkFindsTheSpinners)
{
    char expected[64] = "";
    if (!GetEnvironmentVariableA(ChildMarker, expected, sizeof(expected)))
        GTEST_SKIP() << "runs only as the child of TasksTest.WindowsNinetyFiveFamilyWalk";
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(&version));
    ASSERT_EQ((DWORD)VER_PLATFORM_WIN32_WINDOWS, version.dwPlatformId);

    unsigned long first = 0, second = 0, parent = 0;
    ASSERT_EQ(3, sscanf(expected, "%lu,%lu,%lu", &first, &second, &parent));
    std::vector<WalkStep> steps = Walk();
    bool stepSeen = false;
    for (const WalkStep &step : steps)
        if (step.processId == first)
            stepSeen = !step.fileName.empty();
    EXPECT_TRUE(stepSeen);

    int count = CollectTaskEntries();
    EXPECT_EQ(EntryCount, count);
    std::vector<int> spins = EntriesNamed("TASK_SPIN.EXE");
    ASSERT_EQ(1u, spins.size());
    EXPECT_EQ(FirstInWalk(steps, first, second), GetEntryNumber(spins[0]));
    EXPECT_EQ(600u, GetEntrySource(spins[0]));
    // This program runs twice: the parent and this copy are one entry.
    std::vector<int> own = EntriesNamed(OwnFileName().c_str());
    ASSERT_EQ(1u, own.size());
    EXPECT_EQ(FirstInWalk(steps, parent, GetCurrentProcessId()), GetEntryNumber(own[0]));
    ClearEntries();

    std::string marker = TestDir() + "\\scratch\\tasks_win9x\\child.ok";
    EXPECT_TRUE(WriteFileBytes(marker, "ok"));
}

TEST_F(TasksTest, WindowsNinetyFiveFamilyWalk)
{
    Children children;
    DWORD first = children.Start(FixturePath("task_spin.exe"));
    DWORD second = children.Start(FixturePath("task_spin.exe"));
    ASSERT_TRUE(first && second);

    std::string folder = MakeScratchDir("tasks_win9x");
    std::string marker = folder + "\\child.ok";

    std::string previous = GetRegString(HKEY_CURRENT_USER, WineKey, "Version");
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, WineKey, "Version", "win98"));
    char ids[64];
    FormatText(ids, sizeof(ids), "%lu,%lu,%lu", (unsigned long)first, (unsigned long)second,
               (unsigned long)GetCurrentProcessId());
    SetEnvironmentVariableA(ChildMarker, ids);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    HANDLE child = StartChildProcess(self, "--gtest_also_run_disabled_tests --gtest_filter=TasksWin9xChild.*", nullptr);
    SetEnvironmentVariableA(ChildMarker, nullptr);
    DWORD exitCode = 1;
    if (child) {
        WaitForSingleObject(child, 120000);
        GetExitCodeProcess(child, &exitCode);
        EndChildProcess(child);
    }

    // Put the prefix back in the NT family whatever happened.
    if (previous == "<missing>") {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, WineKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "Version");
            RegCloseKey(key);
        }
    } else {
        SetRegString(HKEY_CURRENT_USER, WineKey, "Version", previous.c_str());
    }
    EXPECT_EQ(previous, GetRegString(HKEY_CURRENT_USER, WineKey, "Version"));

    ASSERT_TRUE(child != nullptr);
    EXPECT_EQ(0u, exitCode) << "the child's tests failed";
    EXPECT_EQ("ok", ReadFileBytes(marker)) << "the child did not run its test";
    RemoveTree(folder);

    // This process still walks the NT family's way.
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    EXPECT_EQ((DWORD)VER_PLATFORM_WIN32_NT, version.dwPlatformId);
}
