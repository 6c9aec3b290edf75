// The program's spine: start-up, the hidden main window with its commands and
// watch timer, the message loop, and shutdown.
#include "app/app.h"
#include "info/info.h"
#include "restart/restart.h"
#include "resource.h"
#include "startup/startup.h"
#include "store/store.h"
#include "watch/watch.h"

#include <limits.h>
#include <objbase.h>
#include <shellapi.h>
#include <string.h>

HFONT LinkFont = nullptr;
HFONT TitleFont = nullptr;
int WatchCountdown = 0;
int AlertBusy = 0;
UINT_PTR WatchTimer = 0;

namespace {

const int StartReadAttempts = 10;
const DWORD StartReadPauseMs = 300;

HFONT MakeVerdana(int height, int weight)
{
    return CreateFontA(-height, 0, 0, 0, weight, FALSE, TRUE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, "Verdana");
}

// The tray's switch: an open sheet's Options page is told, so that its box
// shows what the registry now holds.
void SwitchAutorun()
{
    SetAutorun(!AutorunFlag);
    if (SheetWindow && IsWindow(SheetWindow))
        SendMessageA(SheetWindow, PSM_QUERYSIBLINGS, AutorunChanged, 0);
}

// Tells the user that the data file cannot be used, naming its folder.
void ReportUnusableDataFile()
{
    char folder[TextSize];
    CopyText(folder, sizeof(folder), DataFilePath);
    char *slash = strrchr(folder, '\\');
    if (slash)
        *slash = '\0';
    TextBox(nullptr, IDS_ERR_DATAFILE, folder, MB_ICONHAND | MB_SETFOREGROUND);
}

// A data file that another program holds is mostly busy for a moment only,
// as when a virus scanner looks at it while Windows starts.
int LoadOptionsAtStart()
{
    for (int attempt = 0;; ++attempt) {
        if (LoadOptions())
            return 1;
        if (attempt == StartReadAttempts - 1)
            return 0;
        Sleep(StartReadPauseMs);
    }
}

// A second copy would watch and ask beside the first, and its exit would
// write its options over a change made in the first: the running copy opens
// its sheet instead, and this one ends. 1 when another copy runs.
int HandOverToRunningCopy()
{
    HWND running = FindWindowA(AppClass, AppTitle);
    if (!running)
        return 0;
    PostMessageA(running, WM_COMMAND, IDM_STARTUP, 0);
    return 1;
}

// What start-up made before it found that the program cannot go on.
void UndoStartUp()
{
    DestroyWindow(MainWindow);
    MainWindow = nullptr;
    CoUninitialize();
    DeleteLinkFonts();
}

void OnMainCommand(HWND window, UINT command)
{
    switch (command) {
    case IDM_INIT: OnInitCommand(window); break;
    case IDM_STARTUP: ShowPropertySheet(window, PageStartup); break;
    case IDM_ABOUT: ShowPropertySheet(window, PageAbout); break;
    case IDM_COOKIES: ShowPropertySheet(window, PageCookies); break;
    case IDM_TASKS: ShowPropertySheet(window, PageTasks); break;
    case IDM_DOMAIN: ShowPropertySheet(window, PageDomain); break;
    case IDM_OPTIONS: ShowPropertySheet(window, PageOptions); break;
    case IDM_EXIT: DestroyWindow(window); break;
    case IDM_AUTORUN: SwitchAutorun(); break;
    case IDM_RESTART: CheckRestartFile(0); break;
    default: break;
    }
}

} // namespace

void CreateLinkFonts()
{
    if (!LinkFont)
        LinkFont = MakeVerdana(14, 400);
    if (!TitleFont)
        TitleFont = MakeVerdana(18, 600);
}

void DeleteLinkFonts()
{
    if (LinkFont)
        DeleteObject(LinkFont);
    if (TitleFont)
        DeleteObject(TitleFont);
    LinkFont = TitleFont = nullptr;
}

void ChooseLanguage()
{
    LanguageId = 9;
    char language[8];
    LoadText(IDS_LANGUAGE, language, sizeof(language));
    if (lstrcmpiA(language, "de") == 0)
        LanguageId = 7;
}

int FirstRun()
{
    // The data file goes on disk before anything else: its absence alone
    // makes a start a first start, which approves whatever it finds.
    if (!CreateDataFile())
        return 0;
    if (FileExists("welcome.htm"))
        ShellExecuteA(MainWindow, "open", "welcome.htm", nullptr, nullptr, SW_SHOWNORMAL);
    CollectStartupEntries();
    int remembered = 0;
    for (int i = 0; i < EntryCount; ++i) {
        char key[516];
        char value[16];
        if (!IsWatchedEntry(i) || !MakeEntryRunKey(i, key))
            continue;
        FormatText(value, sizeof(value), "%lu", (unsigned long)GetEntrySource(i));
        if (WritePrivateProfileStringA("Run", key, value, DataFilePath))
            ++remembered;
    }
    ShowPropertySheet(MainWindow, PageStartup);
    return remembered;
}

int WatchTicks(int minutes, int perMinute, int extra)
{
    long long ticks = (long long)minutes * perMinute + extra;
    // A negative interval runs a cycle on every tick, as any negative count
    // does; a huge one counts as long as an int can.
    if (ticks < -1)
        return -1;
    return ticks > INT_MAX ? INT_MAX : (int)ticks;
}

void OnInitCommand(HWND window)
{
    UpdateTrayIcon(0);
    WatchCycle();
    WatchTimer = 0;
    if (Minutes == 0)
        return;
    WatchCountdown = WatchTicks(Minutes, 10, 10);
    WatchTimer = SetTimer(window, WATCH_TIMER_ID, 6000, nullptr);
}

int OnWatchTimer()
{
    if (--WatchCountdown >= 0)
        return 0;
    // Timer messages keep arriving while the cycle's dialogs are up; a high
    // count keeps them from starting a cycle inside this one.
    WatchCountdown = WatchTicks(Minutes, 100, 0);
    WatchCycle();
    WatchCountdown = WatchTicks(Minutes, 10, 0);
    return 1;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        if (WatchTimer)
            KillTimer(window, WATCH_TIMER_ID);
        WatchTimer = 0;
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND:
        OnMainCommand(window, LOWORD(wParam));
        return 0;
    case WM_TIMER:
        OnWatchTimer();
        return 0;
    case WM_TRAYNOTIFY:
        OnTrayNotify(LOWORD(wParam), (UINT)lParam);
        return 0;
    case WM_ENDSESSION:
        // Windows may end the process after this without the loop ending.
        if (wParam)
            KeepOptions();
        return 0;
    default:
        if (message == TaskbarCreatedMessage() && message != 0) {
            RestoreTrayIcon();
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int StartProgram(HINSTANCE instance)
{
    AppInstance = instance;
    if (!LoadText(IDS_APPCLASS, AppClass, sizeof(AppClass)) ||
        !LoadText(IDS_APPTITLE, AppTitle, sizeof(AppTitle)))
        return 0;
    if (HandOverToRunningCopy())
        return 0;

    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    windowClass.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
    windowClass.lpszClassName = AppClass;
    if (!RegisterClassA(&windowClass))
        return 0;
    MainWindow = CreateWindowExA(WS_EX_TOOLWINDOW, AppClass, AppTitle, 0, 0, 0, 0, 0, nullptr,
                                 nullptr, instance, nullptr);
    if (!MainWindow)
        return 0;
    CreateLinkFonts();
    ShowWindow(MainWindow, SW_HIDE);
    UpdateWindow(MainWindow);
    AlertBusy = 0;

    CoInitialize(nullptr);
    InitCommonControls();

    char dataFile[TextSize];
    if (!LocateDataFile(dataFile) && !DataFileUnusable)
        FirstRun();
    ChooseLanguage();
    // Without its data file the program can neither tell what the user
    // approved nor remember an answer: it says so and ends, changing nothing.
    if (DataFileUnusable) {
        ReportUnusableDataFile();
        UndoStartUp();
        return 0;
    }
    // Defaults in place of the stored options would be written over them at
    // exit, and every approval would be asked for again: the program goes
    // only with the file read.
    if (!LoadOptionsAtStart()) {
        TextBox(nullptr, IDS_ERR_DATAFILE_BUSY, DataFilePath, MB_ICONHAND | MB_SETFOREGROUND);
        UndoStartUp();
        return 0;
    }
    LinkColor = LinkRestColor;
    PostMessageA(MainWindow, WM_COMMAND, IDM_INIT, 0);
    return 1;
}

int RunMessageLoop()
{
    MSG message;
    for (;;) {
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0)
            break;
        if (got == -1)
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}

void EndProgram()
{
    if (EntryCount != 0)
        ClearEntries();
    UpdateTrayIcon(2);
    CoUninitialize();
    KeepOptions();
    DeleteLinkFonts();
}
