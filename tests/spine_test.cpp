// The program's spine: the main window's messages and commands, the watch
// countdown, the message loop, the language choice, and whole runs of the
// real Sentrovia.exe from start-up to exit.
#include "app/app.h"
#include "resource.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

const char TestClass[] = "SentroviaSpineTest";

// Takes a quit message that a destroyed main window left in this thread's
// queue, so that it cannot end a later modal loop; its exit code, or -1.
int TakeQuitMessage()
{
    MSG message;
    if (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        return (int)message.wParam;
    return -1;
}

// A window run by the main window procedure, standing in for the program's
// main window; the globals it touches are put back afterwards.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedMinutes_ = Minutes;
        savedCountdown_ = WatchCountdown;
        savedAlertBusy_ = AlertBusy;
        savedMainWindow_ = MainWindow;
        static ATOM registered = 0;
        if (!registered) {
            WNDCLASSA windowClass = {};
            windowClass.lpfnWndProc = MainWindowProc;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = TestClass;
            registered = RegisterClassA(&windowClass);
        }
        ASSERT_NE(registered, 0);
        window_ = CreateWindowExA(WS_EX_TOOLWINDOW, TestClass, "Spine", 0, 0, 0, 0, 0, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window_, nullptr);
        MainWindow = window_;
        // A watch prompt "on screen" makes every cycle return at once, so the
        // countdown can be counted without any check running.
        AlertBusy = 1;
    }
    void TearDown() override
    {
        if (IsWindow(window_)) {
            KillTimer(window_, WATCH_TIMER_ID);
            WatchTimer = 0;
            DestroyWindow(window_);
        }
        TakeQuitMessage();
        UpdateTrayIcon(2);
        WatchTimer = 0;
        Minutes = savedMinutes_;
        WatchCountdown = savedCountdown_;
        AlertBusy = savedAlertBusy_;
        MainWindow = savedMainWindow_;
    }
    LRESULT Command(UINT command)
    {
        return SendMessageA(window_, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    }
    // Ticks until a watch cycle runs; the number of ticks it took.
    int TicksToNextCycle()
    {
        for (int tick = 1; tick <= 100000; ++tick)
            if (OnWatchTimer())
                return tick;
        return -1;
    }
    HWND window_ = nullptr;

private:
    int savedMinutes_ = 0, savedCountdown_ = 0, savedAlertBusy_ = 0;
    HWND savedMainWindow_ = nullptr;
};

// A registry value that is put back as it was when the guard ends.
struct RegValueGuard {
    SavedRegValue saved;
    RegValueGuard(HKEY root, const char *subkey, const char *name)
        : saved(SaveRegValue(root, subkey, name)) {}
    ~RegValueGuard() { RestoreRegValue(saved); }
};

std::string OwnPath()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof(path));
    return path;
}

} // namespace

// ---------------------------------------------------------------------------
// The watch countdown.

TEST_F(MainWindowTest, InitArmsTheTimerAndTheFirstCycleComesOnTick41)
{
    Minutes = 3;
    EXPECT_EQ(Command(IDM_INIT), 0);
    EXPECT_NE(WatchTimer, 0u);
    EXPECT_EQ(WatchCountdown, 40);
    // The real timer is not needed: ticks are given by hand.
    KillTimer(window_, WATCH_TIMER_ID);

    EXPECT_EQ(TicksToNextCycle(), 41);
    EXPECT_EQ(WatchCountdown, 30);
    EXPECT_EQ(TicksToNextCycle(), 31);
    EXPECT_EQ(TicksToNextCycle(), 31);
}

TEST_F(MainWindowTest, NoIntervalMeansNoTimer)
{
    Minutes = 0;
    WatchCountdown = 1234;
    WatchTimer = 99;
    Command(IDM_INIT);
    EXPECT_EQ(WatchTimer, 0u);
    EXPECT_EQ(WatchCountdown, 1234);
}

TEST_F(MainWindowTest, NegativeIntervalRunsACycleOnEveryTick)
{
    Minutes = -2;
    WatchCountdown = 10 * Minutes + 10;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(OnWatchTimer(), 1) << i;
    EXPECT_EQ(WatchCountdown, -20);
}

TEST_F(MainWindowTest, TimerMessagesOfAnyIdentifierCountDown)
{
    Minutes = 3;
    WatchCountdown = 0;
    EXPECT_EQ(OnWatchTimer(), 1);
    EXPECT_EQ(WatchCountdown, 30);

    // Timer messages of any identifier count down.
    WatchCountdown = 5;
    SendMessageA(window_, WM_TIMER, WATCH_TIMER_ID, 0);
    SendMessageA(window_, WM_TIMER, 77, 0);
    EXPECT_EQ(WatchCountdown, 3);
}

// ---------------------------------------------------------------------------
// Messages and commands of the main window.

TEST_F(MainWindowTest, ExitDestroysTheWindowAndQuitsWithZero)
{
    Minutes = 3;
    Command(IDM_INIT);
    ASSERT_NE(WatchTimer, 0u);
    EXPECT_EQ(Command(IDM_EXIT), 0);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(WatchTimer, 0u);
    EXPECT_EQ(TakeQuitMessage(), 0);
}

TEST_F(MainWindowTest, CloseDestroysTheWindowToo)
{
    SendMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(TakeQuitMessage(), 0);
}

TEST_F(MainWindowTest, UnknownCommandsAndMessagesChangeNothing)
{
    WatchCountdown = 17;
    EXPECT_EQ(Command(6024), 0);
    EXPECT_EQ(Command(6035), 0);
    EXPECT_EQ(Command(6040), 0);
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_EQ(WatchCountdown, 17);
    EXPECT_EQ(TakeQuitMessage(), -1);
    // Everything else goes to the default procedure.
    EXPECT_TRUE(SetWindowTextA(window_, "Renamed"));
    char title[32] = "";
    GetWindowTextA(window_, title, sizeof(title));
    EXPECT_STREQ(title, "Renamed");
    EXPECT_EQ(SendMessageA(window_, WM_TRAYNOTIFY, TRAY_ICON_ID, WM_MOUSEMOVE), 0);
}

TEST_F(MainWindowTest, SheetCommandsOpenTheirPages)
{
    const struct { UINT command; int page; } commands[] = {
        {IDM_STARTUP, PageStartup}, {IDM_TASKS, PageTasks},   {IDM_COOKIES, PageCookies},
        {IDM_DOMAIN, PageDomain},   {IDM_OPTIONS, PageOptions}, {IDM_ABOUT, PageAbout},
    };
    int opened = 0;
    for (const auto &item : commands) {
        int tab = -1;
        UINT_PTR wait = WhenWindowAppears(FindThreadSheet, [&](HWND sheet) {
            tab = SheetCurrentTab(sheet);
            PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
        });
        Command(item.command);
        CancelWindowWait(wait);
        if (tab >= 0) {
            ++opened;
            EXPECT_EQ(tab, item.page) << "command " << item.command;
        }
        EXPECT_EQ(SheetPage, 0);
    }
    ClearEntries();
    if (opened == 0)
        GTEST_SKIP() << "the property sheet does not open yet";
    EXPECT_EQ(opened, 6);
}

namespace {

BOOL CALLBACK FindMenuWindow(HWND window, LPARAM lParam)
{
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof(cls));
    if (strcmp(cls, "#32768") != 0 || !IsWindowVisible(window))
        return TRUE;
    *(HWND *)lParam = window;
    return FALSE;
}

HWND FindThreadMenu()
{
    HWND menu = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindMenuWindow, (LPARAM)&menu);
    return menu;
}

} // namespace

TEST_F(MainWindowTest, TrayNotificationsReachTheTrayIcon)
{
    int savedFlag = AutorunFlag;
    // The icon's identifier is the low word only: the high word is noise.
    bool menu = false;
    UINT_PTR wait = WhenWindowAppears(FindThreadMenu, [&](HWND) {
        menu = true;
        EndMenu();
    }, 5000);
    EXPECT_EQ(SendMessageA(window_, WM_TRAYNOTIFY, MAKEWPARAM(TRAY_ICON_ID, 0x55), WM_RBUTTONUP), 0);
    CancelWindowWait(wait);
    PumpMessages(50);

    int tab = -1;
    wait = WhenWindowAppears(FindThreadSheet, [&](HWND sheet) {
        tab = SheetCurrentTab(sheet);
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(SendMessageA(window_, WM_TRAYNOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK), 0);
    CancelWindowWait(wait);
    ClearEntries();
    AutorunFlag = savedFlag;
    if (!menu && tab < 0)
        GTEST_SKIP() << "the tray icon does not answer yet";
    EXPECT_TRUE(menu);
    EXPECT_EQ(tab, PageStartup);
}

TEST_F(MainWindowTest, AutorunCommandSwitchesTheProgramsRunValue)
{
    RegValueGuard guard(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
    RegDeleteValueName(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
    int savedFlag = AutorunFlag;
    AutorunFlag = 0;
    Command(IDM_AUTORUN);
    EXPECT_STRCASEEQ(GetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle).c_str(),
                     OwnPath().c_str());
    EXPECT_NE(AutorunFlag, 0);
    Command(IDM_AUTORUN);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle));
    EXPECT_EQ(AutorunFlag, 0);
    AutorunFlag = savedFlag;
}

TEST_F(MainWindowTest, MessageLoopDispatchesUntilQuit)
{
    WatchCountdown = 5;
    PostMessageA(window_, WM_TIMER, WATCH_TIMER_ID, 0);
    PostMessageA(window_, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_EQ(WatchCountdown, 4);
    EXPECT_FALSE(IsWindow(window_));

    // The loop hands back the quit message's code.
    PostQuitMessage(3);
    EXPECT_EQ(RunMessageLoop(), 3);
}

// ---------------------------------------------------------------------------
// The message-box language.

TEST(LanguageTest, TextsChooseTheMessageBoxLanguage)
{
    WORD saved = LanguageId;
    LanguageId = 0;
    ChooseLanguage();
    EXPECT_EQ(LanguageId, 9);
    {
        RegValueGuard guard(HKEY_LOCAL_MACHINE, ProgramKeyPath, "LString634");
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, ProgramKeyPath, "LString634", "DE"));
        ChooseLanguage();
        EXPECT_EQ(LanguageId, 7);
    }
    ChooseLanguage();
    EXPECT_EQ(LanguageId, 9);
    LanguageId = saved;
}

// ---------------------------------------------------------------------------
// Whole runs of the program.

namespace {

struct FindWindowSearch {
    DWORD process;
    const char *className;
    bool sheet;
    HWND found;
};

BOOL CALLBACK FindProcessWindowProc(HWND window, LPARAM lParam)
{
    FindWindowSearch *search = (FindWindowSearch *)lParam;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process)
        return TRUE;
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof(cls));
    if (strcmp(cls, search->className) != 0)
        return TRUE;
    if (search->sheet && !FindWindowExA(window, nullptr, "SysTabControl32", nullptr))
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindProcessWindow(DWORD process, const char *className, bool sheet = false)
{
    FindWindowSearch search = {process, className, sheet, nullptr};
    EnumWindows(FindProcessWindowProc, (LPARAM)&search);
    return search.found;
}

HWND WaitForProcessWindow(DWORD process, const char *className, bool sheet, DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        HWND window = FindProcessWindow(process, className, sheet);
        if (window)
            return window;
        Sleep(50);
    } while (GetTickCount() - start < ms);
    return nullptr;
}

// A copy of the real program in a scratch folder of its own, so that its
// data file lands there; the copy and its folder go when the guard ends.
class ProgramRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string built = TestDir() + "\\..\\Sentrovia.exe";
        folder_ = MakeScratchDir("spine_run");
        program_ = folder_ + "\\Sentrovia.exe";
        dataFile_ = folder_ + "\\Sentro.dat";
        ASSERT_TRUE(CopyFileA(built.c_str(), program_.c_str(), FALSE)) << built;
    }
    void TearDown() override
    {
        EndChildProcess(process_);
        process_ = nullptr;
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, dataFile_.c_str());
        RemoveTree(folder_);
    }
    void Start()
    {
        process_ = StartChildProcess(program_, nullptr, &processId_);
        ASSERT_NE(process_, nullptr);
    }
    // Posts IDM_EXIT to the program's window; its exit code, or -1 when it
    // did not end.
    int Exit(HWND window)
    {
        PostMessageA(window, WM_COMMAND, IDM_EXIT, 0);
        if (WaitForSingleObject(process_, 60000) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 1;
        GetExitCodeProcess(process_, &code);
        return (int)code;
    }
    int Option(const char *key)
    {
        return GetPrivateProfileIntA("Options", key, -999, dataFile_.c_str());
    }
    std::string folder_, program_, dataFile_;
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
};

} // namespace

TEST_F(ProgramRunTest, StartsHiddenAndExitWritesTheOptions)
{
    // Nothing to watch, so no prompt can come; Sound is missing and "007"
    // is how no program would write 7: only a save at exit rewrites them.
    ASSERT_TRUE(WriteFileBytes(dataFile_, "[Options]\r\nMinutes=007\r\nStart=0\r\nCookies=0\r\n"
                                          "WinInit=0\r\n"));
    Start();
    WaitForInputIdle(process_, 60000);
    HWND window = WaitForProcessWindow(processId_, "Sentrovia", false, 60000);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    char title[64] = "";
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ(title, "Sentrovia");
    EXPECT_EQ(FindProcessWindow(processId_, "#32770", true), nullptr) << "no first-start sheet";

    EXPECT_EQ(Exit(window), 0);
    std::string bytes = ReadFileBytes(dataFile_);
    EXPECT_NE(bytes.find("[Options]"), std::string::npos);
    EXPECT_NE(bytes.find("Minutes=7\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("Sound=1\r\n"), std::string::npos) << bytes;
    EXPECT_EQ(Option("Minutes"), 7);
    EXPECT_EQ(Option("Start"), 0);
    EXPECT_EQ(Option("Cookies"), 0);
    EXPECT_EQ(Option("Sound"), 1);
    EXPECT_EQ(Option("WinInit"), 0);
}

TEST_F(ProgramRunTest, FirstStartRemembersStartupProgramsAndCreatesTheDataFile)
{
    const char probeName[] = "SpineFirstStartProbe";
    const char probeCommand[] = "C:\\SpineProbe\\probe.exe /opt=1";
    RegValueGuard guard(HKEY_CURRENT_USER, RunKeyPath, probeName);
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, RunKeyPath, probeName, probeCommand));
    // Whether this build collects startup programs at all, asked of the very
    // code the program runs.
    bool collects = false;
    CollectStartupEntries();
    for (int i = 0; i < EntryCount; ++i) {
        char path[PathSize];
        GetEntryPath(i, path);
        collects = collects || strcmp(path, probeCommand) == 0;
    }
    ClearEntries();

    ASSERT_EQ(GetFileAttributesA(dataFile_.c_str()), INVALID_FILE_ATTRIBUTES);
    Start();
    WaitForInputIdle(process_, 60000);
    // The first start opens the sheet at Startup Programs and goes on only
    // when it is closed.
    HWND sheet = WaitForProcessWindow(processId_, "#32770", true, 5000);
    if (sheet) {
        HWND tabs = FindWindowExA(sheet, nullptr, "SysTabControl32", nullptr);
        EXPECT_EQ(SendMessageA(tabs, TCM_GETCURSEL, 0, 0), PageStartup);
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
        DWORD start = GetTickCount();
        while (IsWindow(sheet) && GetTickCount() - start < 30000)
            Sleep(50);
        EXPECT_FALSE(IsWindow(sheet));
    }
    HWND window = WaitForProcessWindow(processId_, "Sentrovia", false, 60000);
    ASSERT_NE(window, nullptr);
    WaitForInputIdle(process_, 60000);
    EXPECT_EQ(Exit(window), 0);

    ASSERT_NE(GetFileAttributesA(dataFile_.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Option("Minutes"), 3);
    EXPECT_EQ(Option("Start"), 1);
    EXPECT_EQ(Option("Cookies"), 0);
    EXPECT_EQ(Option("Sound"), 1);
    EXPECT_EQ(Option("WinInit"), 1);
    if (collects) {
        EXPECT_EQ(GetPrivateProfileIntA("Run", "C:\\SpineProbe\\probe.exe /opt:1", 0,
                                        dataFile_.c_str()),
                  11);
    }
}
