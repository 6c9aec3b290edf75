// The program's spine: the main window's messages and commands, the watch
// countdown, the message loop, and whole runs of the real Sentrovia.exe.
#include "app/app.h"
#include "resource.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>

#include <string>
#include <utility>

namespace {

// Takes a quit message that a destroyed main window left in this thread's
// queue, so that it cannot end a later modal loop; its exit code, or -1.
int TakeQuitMessage()
{
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? (int)message.wParam : -1;
}

HWND NewMainWindow()
{
    static const WNDCLASSA windowClass = {0, MainWindowProc, 0, 0, GetModuleHandleA(nullptr), nullptr,
                                          nullptr, nullptr, nullptr, "SentroviaSpineTest"};
    static const ATOM registered = RegisterClassA(&windowClass);
    return registered ? CreateWindowExA(WS_EX_TOOLWINDOW, windowClass.lpszClassName, "Spine", 0, 0, 0, 0, 0,
                                        nullptr, nullptr, windowClass.hInstance, nullptr) : nullptr;
}

// A window run by the main window procedure stands in for the program's; the
// globals it touches are put back afterwards.
struct MainWindowTest : ::testing::Test {
    void TearDown() override
    {
        DestroyWindow(window_);
        TakeQuitMessage();
        UpdateTrayIcon(2);
        ClearEntries();
        Minutes = minutes_, WatchCountdown = countdown_, AlertBusy = busy_, AutorunFlag = flag_;
        MainWindow = main_, WatchTimer = 0;
    }
    LRESULT Command(UINT command) { return SendMessageA(window_, WM_COMMAND, MAKEWPARAM(command, 0), 0); }
    // Ticks until a watch cycle runs; the number of ticks it took.
    int TicksToNextCycle()
    {
        for (int tick = 1; tick <= 100000; ++tick)
            if (OnWatchTimer())
                return tick;
        return -1;
    }
    // A watch prompt "on screen" makes every cycle return at once, so the
    // countdown can be counted without any check running.
    int minutes_ = Minutes, countdown_ = WatchCountdown, busy_ = std::exchange(AlertBusy, 1);
    int flag_ = AutorunFlag;
    HWND main_ = MainWindow;
    HWND window_ = MainWindow = NewMainWindow();
};

HWND FindThreadMenu()
{
    HWND menu = FindWindowA("#32768", nullptr);
    bool ours = GetWindowThreadProcessId(menu, nullptr) == GetCurrentThreadId();
    return ours && IsWindowVisible(menu) ? menu : nullptr;
}

// The tab a sheet opened by `action` was showing, or -1 when none came up.
int SheetTabOpenedBy(const std::function<void()> &action)
{
    int tab = -1;
    UINT_PTR wait = WhenWindowAppears(FindThreadSheet, [&](HWND sheet) {
        tab = SheetCurrentTab(sheet);
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    });
    action();
    CancelWindowWait(wait);
    return tab;
}

// A copy of the real program in a scratch folder of its own, so that its
// data file lands there; the copy and its folder go when the test ends.
struct ProgramRunTest : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(Place(folder_)); }
    void TearDown() override { EndChildProcess(process_), RemoveTree(folder_); }
    // Puts the copy of the program into another folder (of any length).
    bool Place(const std::string &folder)
    {
        program_ = folder + "\\Sentrovia.exe", dataFile_ = folder + "\\Sentro.dat";
        return CopyFileToLongPath(TestDir() + "\\..\\Sentrovia.exe", program_);
    }
    bool Start()
    {
        EndChildProcess(process_);
        process_ = StartChildProcess(program_, nullptr, &processId_);
        return process_ && WaitForInputIdle(process_, 60000) == 0;
    }
    // A window of the program's process, waited for up to ms milliseconds.
    HWND WaitForWindow(const char *className, bool sheet, DWORD ms)
    {
        for (DWORD start = GetTickCount();; Sleep(50)) {
            for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, className, nullptr));) {
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                bool tabs = FindWindowExA(window, nullptr, "SysTabControl32", nullptr) != nullptr;
                if (process == processId_ && tabs == sheet)
                    return window;
            }
            if (GetTickCount() - start >= ms)
                return nullptr;
        }
    }
    // Posts IDM_EXIT to the program's window: its exit code, -1 when it did not end.
    int Exit()
    {
        PostMessageA(WaitForWindow("Sentrovia", false, 60000), WM_COMMAND, IDM_EXIT, 0);
        DWORD code = 1;
        bool ended = WaitForSingleObject(process_, 60000) == WAIT_OBJECT_0;
        return ended && GetExitCodeProcess(process_, &code) ? (int)code : -1;
    }
    std::string folder_ = MakeScratchDir("spine_run"), program_, dataFile_;
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
};

} // namespace

TEST_F(MainWindowTest, InitArmsTheTimerAndTicksRunTheCycles)
{
    // With 3 minutes: 4 min 6 s to the first timed cycle, then 3 min 6 s.
    const struct { int minutes, first, next; } rows[] = {{3, 41, 31}, {1, 21, 11}, {-2, 1, 1}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.minutes);
        Minutes = row.minutes;
        EXPECT_EQ(Command(IDM_INIT), 0);
        EXPECT_NE(WatchTimer, 0u);
        KillTimer(window_, WATCH_TIMER_ID);  // the ticks are given by hand
        for (int ticks : {row.first, row.next, row.next})
            EXPECT_EQ(TicksToNextCycle(), ticks);
    }
    Minutes = 0;
    Command(IDM_INIT);
    EXPECT_EQ(WatchTimer, 0u);
}

TEST_F(MainWindowTest, HugeIntervalsNeverMeanMoreCycles)
{
    // Ten ticks a minute overflowed an int from 214748365 minutes on.
    const struct { int minutes, first, next; } rows[] = {
        {214748363, 2147483640, 2147483630}, {214748364, INT_MAX, 2147483640},
        {214748365, INT_MAX, INT_MAX}, {INT_MAX, INT_MAX, INT_MAX}, {-2, -1, -1}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.minutes);
        Minutes = row.minutes;
        Command(IDM_INIT);
        KillTimer(window_, WATCH_TIMER_ID);
        EXPECT_EQ(WatchCountdown, row.first);
        EXPECT_EQ(OnWatchTimer(), row.minutes < 0 ? 1 : 0);
        WatchCountdown = 0;
        EXPECT_EQ(OnWatchTimer(), 1);
        EXPECT_EQ(WatchCountdown, row.next);
    }
}

TEST_F(MainWindowTest, EndingTheSessionWritesTheOptions)
{
    std::string kept = ReadFileBytes(DataFilePath);
    for (WPARAM ending : {0, 1}) {
        DeleteFileA(DataFilePath);
        Minutes = 9;
        SendMessageA(window_, WM_ENDSESSION, ending, 0);
        EXPECT_EQ(GetPrivateProfileIntA("Options", "Minutes", -1, DataFilePath), ending ? 9 : -1);
    }
    DeleteFileA(DataFilePath);
    EXPECT_TRUE(kept == "<missing>" || WriteFileBytes(DataFilePath, kept));
}

TEST_F(MainWindowTest, OnlyExitOrCloseEndTheMessageLoopAndTheyQuitWithZero)
{
    WatchCountdown = 17;
    for (UINT command : {6024u, 6035u, 6040u})
        EXPECT_EQ(Command(command), 0) << command;
    EXPECT_EQ(SendMessageA(window_, WM_TRAYNOTIFY, TRAY_ICON_ID, WM_MOUSEMOVE), 0);
    EXPECT_EQ(WatchCountdown, 17);
    EXPECT_EQ(TakeQuitMessage(), -1);

    for (UINT message : {(UINT)WM_COMMAND, (UINT)WM_CLOSE}) {
        Minutes = 3;
        Command(IDM_INIT);
        ASSERT_NE(WatchTimer, 0u);
        WatchCountdown = 5;
        PostMessageA(window_, WM_TIMER, 77, 0);  // timers of any identifier count down
        PostMessageA(window_, message, IDM_EXIT, 0);
        EXPECT_EQ(RunMessageLoop(), 0);
        EXPECT_EQ(WatchCountdown, 4);
        EXPECT_FALSE(IsWindow(window_)) << message;
        EXPECT_EQ(WatchTimer, 0u);
        window_ = MainWindow = NewMainWindow();
    }
    PostQuitMessage(3);
    EXPECT_EQ(RunMessageLoop(), 3);
}

TEST_F(MainWindowTest, SheetCommandsOpenTheirPages)
{
    const struct { UINT command; int page; } commands[] = {
        {IDM_STARTUP, PageStartup}, {IDM_TASKS, PageTasks},     {IDM_COOKIES, PageCookies},
        {IDM_DOMAIN, PageDomain},   {IDM_OPTIONS, PageOptions}, {IDM_ABOUT, PageAbout},
    };
    for (const auto &item : commands) {
        EXPECT_EQ(SheetTabOpenedBy([&] { Command(item.command); }), item.page) << item.command;
        EXPECT_EQ(SheetPage, 0);
    }
}

TEST_F(MainWindowTest, TrayNotificationsReachTheTrayIcon)
{
    // The icon's identifier is the low word only: the high word is noise.
    bool menu = false;
    UINT_PTR wait = WhenWindowAppears(FindThreadMenu, [&](HWND) { menu = true, EndMenu(); }, 5000);
    EXPECT_EQ(SendMessageA(window_, WM_TRAYNOTIFY, MAKEWPARAM(TRAY_ICON_ID, 0x55), WM_RBUTTONUP), 0);
    CancelWindowWait(wait);
    PumpMessages(50);
    EXPECT_TRUE(menu);
    EXPECT_EQ(SheetTabOpenedBy([&] { SendMessageA(window_, WM_TRAYNOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK); }),
              PageStartup);
}

TEST_F(MainWindowTest, AutorunIsWrittenQuotedAndAnUnquotedOldValueStillCounts)
{
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof(self));
    const std::string quoted = "\"" + std::string(self) + "\"";
    // The bare path that earlier versions wrote shows as on and switches off.
    ScopedRegValue value(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, self);
    LoadOptions();
    EXPECT_EQ(AutorunFlag, 1);
    SendMessageA(window_, WM_TRAYNOTIFY, TRAY_ICON_ID, WM_MOUSEMOVE);
    EXPECT_EQ(AutorunFlag, (int)strlen(self));
    Command(IDM_AUTORUN);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle));
    EXPECT_EQ(AutorunFlag, 0);
    // Switched on again, it is the quoted path: Windows cannot take a part of
    // it for another program.
    Command(IDM_AUTORUN);
    SavedRegValue written = SaveRegValue(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
    EXPECT_EQ(written.type, (DWORD)REG_SZ);
    EXPECT_EQ(written.data, quoted + std::string(1, '\0'));
    EXPECT_NE(AutorunFlag, 0);
    Command(IDM_AUTORUN);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle));
    EXPECT_EQ(AutorunFlag, 0);
}

TEST_F(ProgramRunTest, StartsHiddenAndExitWritesTheOptions)
{
    // Nothing to watch, so no prompt can come; Sound is missing and "007" is
    // how no program would write 7: only a save at exit rewrites them. The
    // start page is remembered already, so the first cycle writes nothing.
    std::string page =
        GetRegString(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page");
    const std::string remembered = "[IExplorer]\r\nStartPage=" + (page == "<missing>" ? "" : page) + "\r\n";
    ASSERT_TRUE(WriteFileBytes(dataFile_,
                               "[Options]\r\nMinutes=007\r\nStart=0\r\nCookies=0\r\nWinInit=0\r\n" + remembered));
    ASSERT_TRUE(Start());
    HWND window = WaitForWindow("Sentrovia", false, 60000);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(WindowText(window), "Sentrovia");
    EXPECT_EQ(WaitForWindow("#32770", true, 0), nullptr) << "no first-start sheet";
    EXPECT_EQ(Exit(), 0);
    EXPECT_EQ(ReadFileBytes(dataFile_),
              "[Options]\r\nMinutes=7\r\nStart=0\r\nCookies=0\r\nWinInit=0\r\nSound=1\r\n" + remembered);
}

TEST_F(ProgramRunTest, FirstStartApprovesTheStartupProgramsAndCreatesTheDataFile)
{
    ScopedRegValue probe(HKEY_CURRENT_USER, RunKeyPath, "SpineProbe", "C:\\SpineProbe\\probe.exe /opt=1");
    ASSERT_TRUE(Start());
    // The first start shows the sheet at Startup Programs and waits for it.
    HWND sheet = WaitForWindow("#32770", true, 60000);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(SheetCurrentTab(sheet), PageStartup);
    // The startup programs are approved before the sheet shows.
    EXPECT_EQ(GetPrivateProfileIntA("Run", "C:\\SpineProbe\\probe.exe /opt:1", 0, dataFile_.c_str()), 11);
    PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    for (DWORD start = GetTickCount(); IsWindow(sheet) && GetTickCount() - start < 30000;)
        Sleep(50);
    EXPECT_FALSE(IsWindow(sheet));

    WaitForInputIdle(process_, 60000);
    EXPECT_EQ(Exit(), 0);
    std::string bytes = ReadFileBytes(dataFile_);
    EXPECT_NE(bytes.find("\nC:\\SpineProbe\\probe.exe /opt:1=11\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("[Options]\r\nMinutes=3\r\nStart=1\r\nCookies=0\r\nSound=1\r\nWinInit=1\r\n"),
              std::string::npos) << bytes;
}

TEST_F(ProgramRunTest, FirstStartLeavesTheDataFileAtOnceSoAnAbruptEndMakesNoSecondOne)
{
    StartupSandbox box("spine_abrupt");
    ASSERT_TRUE(Start());
    HWND sheet = WaitForWindow("#32770", true, 60000);
    ASSERT_NE(sheet, nullptr);
    // On disk while the first-start sheet is still open, whatever it found.
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Minutes", -1, dataFile_.c_str()), 3);
    PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    for (DWORD start = GetTickCount(); IsWindow(sheet) && GetTickCount() - start < 30000;)
        Sleep(50);
    EndChildProcess(process_);  // as a logoff may end it: no Exit, no save
    process_ = nullptr;

    // A program added meanwhile is not approved by a second first start.
    ASSERT_TRUE(box.Set(HKEY_CURRENT_USER, RunKeyPath, "Sneaky", "c:\\temp\\sneaky.exe"));
    ASSERT_TRUE(Start());
    ASSERT_NE(WaitForWindow("Sentrovia", false, 60000), nullptr);
    EXPECT_EQ(WaitForWindow("#32770", true, 3000), nullptr) << "no first-start sheet";
    EXPECT_EQ(GetPrivateProfileIntA("Run", "c:\\temp\\sneaky.exe", 0, dataFile_.c_str()), 0);
}

TEST_F(ProgramRunTest, DeepFolderIsNoFirstStart)
{
    // The data file's path is far beyond the 128 characters of an OpenFile
    // record; the program finds it all the same.
    ASSERT_TRUE(Place(MakeDeepFolder(folder_)));
    ASSERT_TRUE(WriteFileBytes(dataFile_, "[Options]\r\nMinutes=0\r\nStart=0\r\n[Run]\r\n"
                                          "C:\\windows\\system32\\winemenubuilder.exe -a -r:4=4\r\n"));
    ScopedRegValue sneaky(HKEY_LOCAL_MACHINE, RunKeyPath, "Sneaky", "C:\\windows\\notepad.exe");
    ASSERT_TRUE(Start());
    ASSERT_NE(WaitForWindow("Sentrovia", false, 60000), nullptr);
    EXPECT_EQ(WaitForWindow("#32770", true, 3000), nullptr) << "no first-start sheet";
    EXPECT_EQ(GetPrivateProfileIntA("Run", "C:\\windows\\notepad.exe", 0, dataFile_.c_str()), 0);
}

TEST_F(ProgramRunTest, DataFileThatCannotBeUsedIsReportedAndTheProgramEndsChangingNothing)
{
    // A folder where the data file should be: no first start can write it.
    // (Wine starts no program whose path is beyond MAX_PATH, the other way
    // to an unusable data file; the store's tests cover that path.)
    ASSERT_TRUE(CreateDirectoryA(dataFile_.c_str(), nullptr));
    ASSERT_TRUE(Start());
    HWND box = WaitForWindow("#32770", false, 60000);
    ASSERT_NE(box, nullptr);
    std::string text;
    for (HWND item = nullptr; (item = FindWindowExA(box, item, "Static", nullptr));)
        text += WindowText(item);
    EXPECT_NE(text.find("\n" + folder_ + "\n"), std::string::npos) << text;
    ScreenshotPoint("datafile_unusable");
    EXPECT_EQ(WaitForWindow("#32770", true, 0), nullptr) << "no first-start sheet";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    DWORD code = 1;
    EXPECT_EQ(WaitForSingleObject(process_, 30000), (DWORD)WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(process_, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(RemoveDirectoryA(dataFile_.c_str())) << "still empty";
}
