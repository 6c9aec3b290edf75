// The program in-process: whole watch cycles with their questions answered
// from the test, the section look-up held against the profile functions, the
// main window's countdown, the tray icon, the sheet, the Options
// and About pages, message boxes, the web page opener and the list helpers.
#include "app/app.h"
#include "resource.h"
#include "sheet_fakeaol.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"
#include "watch/watch.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

const char StartPageKey[] = "Software\\Microsoft\\Internet Explorer\\Main";

// A data file in which every startup program there is is approved and the
// start page is remembered; options that check startup programs only; a
// main window run by the program's window procedure. All put back after.
struct ShellTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(WriteFileBytes(DataFilePath, "[Options]\r\nWinInit=1\r\n"));
        Start = 1, WinInit = 0, Cookies = 0, Sound = 0, Minutes = 1, AlertBusy = 0;
        CollectStartupEntries();
        for (int i = 0; i < EntryCount; ++i) {
            char key[516];
            if (MakeEntryRunKey(i, key))
                WritePrivateProfileStringA("Run", key, "1", DataFilePath);
        }
        ASSERT_TRUE(Cycle({}).empty());
    }
    void TearDown() override
    {
        SetWindowLongPtrA(window_, GWLP_WNDPROC, (LONG_PTR)DefWindowProcA);  // no quit message
        DestroyWindow(window_);
        UpdateTrayIcon(2), ClearEntries(), RestoreRegValue(run_), DeleteFileA(DataFilePath);
        EXPECT_TRUE(data_ == "<missing>" || WriteFileBytes(DataFilePath, data_));
        LoadOptions();
        AlertBusy = 0, SheetPage = 0, WatchCountdown = 0, MainWindow = main_, WatchTimer = 0;
    }
    static std::vector<DialogSeen> Cycle(const std::vector<int> &buttons, const std::function<void(HWND)> &during = {})
    {
        return DialogsShownBy(buttons, [] { WatchCycle(); }, during);
    }
    StartupSandbox box{"watch_app"};
    std::string data_ = ReadFileBytes(DataFilePath);
    SavedRegValue run_ = SaveRegValue(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
    HWND main_ = MainWindow;
    HWND window_ = MainWindow = MakeTopWindow("SentroviaTestMain", "Main", MainWindowProc);
};

// The check marks of 1014, 1016, 1017, 1020 and 1018 on the Options page.
std::string Checks(HWND page)
{
    std::string marks;
    for (int control : {1014, 1016, 1017, 1020, 1018})
        marks += IsDlgButtonChecked(page, control) == BST_CHECKED ? '1' : '0';
    return marks;
}

} // namespace

TEST_F(ShellTest, AlertAboutANewRunValueKeepsRemovesOrLeavesItByTheAnswer)
{
    FakeAol aol;
    const std::string program = FixturePath("sheet_versioned.exe");
    // Escape counts as Yes; More Info only informs, so the entry stays unapproved.
    const struct { int button; const char *approved; bool valueStays; } rows[] = {
        {IDYES, "1", true}, {IDCANCEL, "1", true}, {IDNO, "<missing>", false}, {AlertMoreInfo, "<missing>", true}};
    for (const auto &row : rows) {
        ASSERT_TRUE(box.Set(HKEY_LOCAL_MACHINE, RunKeyPath, "WatchProbe", program.c_str()));
        bool front = false;  // in front of whatever the user works in
        std::vector<DialogSeen> seen = Cycle({row.button}, [&](HWND alert) {
            front = (GetWindowLongA(alert, GWL_EXSTYLE) & WS_EX_TOPMOST) && GetForegroundWindow() == alert;
        });
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_TRUE(front);
        EXPECT_EQ(seen[0].caption + "|" + seen[0].items[1030], "Sentrovia Program Alert|AT&T Labs");
        std::string key = ReadStartupRow(FindStartupRow("WatchProbe", program)).path;
        EXPECT_EQ(DataFileValue("Run", key.c_str()), row.approved) << row.button;
        EXPECT_EQ(RegValueExists(HKEY_LOCAL_MACHINE, RunKeyPath, "WatchProbe"), row.valueStays) << row.button;
        // Approved: never asked again. Refused and put back, or left open: asked again.
        ASSERT_TRUE(box.Set(HKEY_LOCAL_MACHINE, RunKeyPath, "WatchProbe", program.c_str()));
        EXPECT_EQ(Cycle({IDYES}).size(), std::string(row.approved) == "1" ? 0u : 1u);
        WritePrivateProfileStringA("Run", key.c_str(), nullptr, DataFilePath);
    }
    EXPECT_NE(aol.TakeCommandLine().find("&Type=9&Loc=en\""), std::string::npos);
}

TEST_F(ShellTest, RestartFileAndCookieQuestionsEndOnNo)
{
    // No to the restart file switches its check off, in memory only: the
    // data file keeps the option until it is saved.
    RestartFiles files(true, "NUL=C:\\WATCH\\OLD.TMP\n");
    WinInit = 1;
    std::vector<DialogSeen> seen = Cycle({IDNO});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].text.find("commands have been added to the file wininit.ini"), std::string::npos);
    EXPECT_EQ(WinInit * 10 + GetPrivateProfileIntA("Options", "WinInit", 7, DataFilePath), 1);
    // Two unknown cookies, one question: No ends the check for this cycle.
    Start = 0, Cookies = 1, WinInit = 0;
    CookieSandbox cookies("watch_cookies");
    cookies.File("Cookies\\new one.txt");
    cookies.File("Cookies\\new two.txt");
    seen = Cycle({IDNO, IDNO});  // a Yes would open the sheet
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].text.find("new cookies"), std::string::npos) << seen[0].text;
}

TEST_F(ShellTest, StartPageIsRememberedComparedWithoutCaseAndRestoredOnNo)
{
    Start = 0;
    const char *old = "http://old.example/", *now = "http://new.example/";
    // A null remembered page: nothing remembered yet. A null current page: no value.
    const struct { const char *remembered, *current; int button; const char *stored, *registry; } rows[] = {
        {nullptr, now, 0, now, now}, {"HTTP://New.Example/", now, 0, "HTTP://New.Example/", now},
        {old, now, IDYES, now, now}, {old, now, IDNO, old, old}, {old, nullptr, IDNO, old, old},
        {"", now, IDYES, now, now},  // remembered as empty is remembered
        // Line breaks never reach the data file, where they would forge lines.
        {old, "http://sp2.example/\n[Run]\r\nC:\\x\\ghost2.exe=1", IDYES,
         "http://sp2.example/ [Run]  C:\\x\\ghost2.exe=1", "http://sp2.example/\n[Run]\r\nC:\\x\\ghost2.exe=1"}};
    for (const auto &row : rows) {
        WritePrivateProfileStringA("IExplorer", "StartPage", row.remembered, DataFilePath);
        ScopedRegValue current(HKEY_CURRENT_USER, StartPageKey, "Start Page", row.current);
        std::vector<DialogSeen> seen = Cycle({row.button});
        ASSERT_EQ(seen.size(), row.button ? 1u : 0u);
        EXPECT_TRUE(!row.button || seen[0].text.find(std::string("restore your page to\n ") + row.remembered + ".") !=
                                       std::string::npos) << &row - rows;
        EXPECT_EQ(DataFileValue("IExplorer", "StartPage") + "|" + GetRegString(HKEY_CURRENT_USER, StartPageKey, "Start Page"),
                  row.stored + std::string("|") + row.registry) << &row - rows;
        EXPECT_EQ(DataFileValue("Run", "C:\\x\\ghost2.exe"), "<missing>");
        EXPECT_TRUE(Cycle({}).empty()) << "asked once, then remembered";
    }
}

TEST_F(ShellTest, NoCycleRunsInsideAnother)
{
    const char *guarded = "C:\\WatchGuard\\guard.exe";
    ASSERT_TRUE(box.Set(HKEY_LOCAL_MACHINE, RunKeyPath, "WatchGuard", guarded));
    AlertBusy = 1;  // a question of the cycle is up
    EXPECT_TRUE(Cycle({}).empty());
    AlertBusy = 0;
    EXPECT_EQ(Cycle({IDYES}).size(), 1u);
    EXPECT_EQ(DataFileValue("Run", guarded), "1");
}

TEST_F(ShellTest, SectionLookUpAnswersAsTheProfileFunctionsWhateverTheSize)
{
    ASSERT_TRUE(WriteFileBytes(DataFilePath,
        "[run]\r\nC:\\Prog\\app.exe /opt:1=11\r\n  Padded Key  =  7  \r\nMiXeD CaSe=3\r\ndup=1\r\nDUP=3\r\nsigned=-42\r\n"
        "trailing=12abc\r\ntext=abc\r\nempty=\r\nbare\r\nbig=4294967297\r\nquoted=\"15\"\r\nhalfquote=\"17\r\n"
        "long=000000000000000000000000000005\r\nlongq=\"00000000000000000000000000009\"\r\n[RUN]\r\nsecond section=9\r\n"));
    ProfileSection lookup;
    LoadProfileSection(&lookup, "Run");
    for (const char *key : {"c:\\prog\\APP.EXE /OPT:1", "  padded key  ", "mixed case", "dup", "signed", "trailing", "text",
                            "empty", "bare", "big", "quoted", "halfquote", "long", "longq", "missing", "second section"})
        EXPECT_EQ(ProfileSectionInt(&lookup, key), (int)GetPrivateProfileIntA("Run", key, 0, DataFilePath)) << key;
    // Far more than one first read holds; then a write and the deletion of
    // the first of two duplicates, seen at once.
    std::string bytes = "[Cookies]\r\n";
    for (int i = 0; i < 6000; ++i)
        bytes += "user@cookie" + std::to_string(i) + ".site.example/path=" + std::to_string(i % 3) + "\r\n";
    ASSERT_TRUE(WriteFileBytes(DataFilePath, bytes + "[Run]\r\na=1\r\nb=2\r\nB=3\r\n"));
    EXPECT_EQ(LoadProfileSection(&lookup, "Cookies"), 6000);
    EXPECT_EQ(ProfileSectionInt(&lookup, "user@cookie5999.site.example/path"), 2);
    LoadProfileSection(&lookup, "Run");
    EXPECT_EQ(WriteProfileSectionKey(&lookup, "A", "5") + WriteProfileSectionKey(&lookup, "b", nullptr) +
              ProfileSectionInt(&lookup, "a") * 10 + ProfileSectionInt(&lookup, "b"), 55);
}

TEST_F(ShellTest, InitArmsTheTimerAndTheCountdownNeverOverflows)
{
    // 3 minutes: 4 min 6 s to the first timed cycle, then 3 min 6 s; ten
    // ticks a minute overflowed an int from 214748365 minutes on.
    const struct { int minutes, first, next; } rows[] = {
        {3, 40, 30}, {-2, -1, -1}, {214748364, INT_MAX, 2147483640}, {INT_MAX, INT_MAX, INT_MAX}, {0, 0, 0}};
    for (const auto &row : rows) {
        Minutes = row.minutes, WatchCountdown = 0, AlertBusy = 1;  // the cycles return at once
        SendMessageA(window_, WM_COMMAND, IDM_INIT, 0);
        EXPECT_EQ(WatchTimer != 0, row.minutes != 0) << row.minutes;
        KillTimer(window_, WATCH_TIMER_ID);  // the ticks are given by hand
        int first = WatchCountdown, ran = OnWatchTimer();
        WatchCountdown = 0;
        ran += OnWatchTimer() * 10;
        EXPECT_EQ(std::to_string(first) + " " + std::to_string(ran) + " " + std::to_string(WatchCountdown),
                  std::to_string(row.first) + (row.first <= 0 ? " 11 " : " 10 ") + std::to_string(row.next));
    }
}

TEST_F(ShellTest, TrayIconComesBackWithANewTaskbarAndItsMenuReadsTheAutorunMarkAfresh)
{
    NOTIFYICONDATAA probe = {};
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE, probe.hWnd = window_, probe.uID = TRAY_ICON_ID;
    // A restarted shell knows nothing of the icons of the old taskbar; an
    // icon the program has taken away stays away.
    UpdateTrayIcon(0);
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &probe));
    SendMessageA(window_, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &probe));
    UpdateTrayIcon(2);
    SendMessageA(window_, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &probe));
    // The value as written now (quoted), none, and as earlier versions wrote it.
    for (const char *value : {"\"C:\\Program Files\\S\\Sentrovia.exe\"", (const char *)nullptr, "C:\\S\\Sentrovia.exe"}) {
        ScopedRegValue run(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, value);
        AutorunFlag = !value;  // changed behind the flag's back
        SendMessageA(window_, WM_TRAYNOTIFY, TRAY_ICON_ID, WM_MOUSEMOVE);
        HMENU menu = BuildTrayMenu();
        EXPECT_EQ(GetMenuState(menu, IDM_AUTORUN, MF_BYCOMMAND) & MF_CHECKED, value ? (UINT)MF_CHECKED : 0u);
        DestroyMenu(menu);
    }
}

TEST(Sheet, OpensAtEachPageWithOnlyACloseButtonAndForgetsItselfWhenClosed)
{
    for (int page = 0; page < PageCount; ++page) {
        HWND seen = nullptr;
        EXPECT_TRUE(DriveSheet(nullptr, page, [&](HWND sheet) {
            seen = sheet;
            for (int hidden : {IDOK, 0x3021 /* Apply */, IDHELP})
                EXPECT_FALSE(IsWindowVisible(GetDlgItem(sheet, hidden))) << page;
            EXPECT_EQ(WindowText(GetDlgItem(sheet, IDCANCEL)), "Close");
        }));
        EXPECT_TRUE(SheetPage == 0 && SheetWindow == nullptr && !IsWindow(seen)) << page;
    }
}

TEST_F(ShellTest, OptionsClicksAndKeystrokesApplyAndWriteAtOnce)
{
    // A step sets the field's text or types at its end; countdown -1: no restart.
    const struct { const char *set, *type, *field; int minutes, countdown; } steps[] = {
        {nullptr, "0", "10", 10, 100}, {"", "12", "12", 12, 120}, {nullptr, "05x", "120", 120, 1200},  // three digits, no letters
        {"2147483647", nullptr, "2147483647", INT_MAX, INT_MAX}, {"0", nullptr, "0", INT_MAX, -1}};
    // Each click on its own writes the whole section: Minutes, Cookies, WinInit and the own Run value.
    const struct { int control; const char *values; } clicks[] = {{1016, "0001"}, {1018, "0011"}, {1017, "0010"}, {1017, "0011"}};
    DeleteFileA(DataFilePath);
    WritePrivateProfileSectionA("Options", "Minutes=1\0Start=0\0Cookies=1\0Sound=0\0WinInit=0\0", DataFilePath);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, "C:\\S\\Sentrovia.exe"));
    WinInit = 1, AutorunFlag = 0;  // what only the memory holds gives way to the file and the registry
    EXPECT_TRUE(DriveSheet(nullptr, PageOptions, [&](HWND sheet) {
        HWND page = SheetCurrentPage(sheet), field = GetDlgItem(page, 1019);
        EXPECT_EQ(Checks(page), "01100");
        for (const auto &step : steps) {
            WatchCountdown = -1;
            if (step.set)
                SetWindowTextA(field, step.set);
            SendMessageA(field, EM_SETSEL, 0x7FFF, 0x7FFF);
            for (const char *key = step.type; key && *key; ++key)
                SendMessageA(field, WM_CHAR, (WPARAM)(unsigned char)*key, 1);
            EXPECT_EQ(WindowText(field) + " " + std::to_string(WatchCountdown) + " " + DataFileValue("Options", "Minutes"),
                      step.field + (" " + std::to_string(step.countdown)) + " " + std::to_string(step.minutes));
        }
        Minutes = 0;
        for (const auto &click : clicks) {
            DeleteFileA(DataFilePath);
            SendDlgItemMessageA(page, click.control, BM_CLICK, 0, 0);
            EXPECT_EQ(DataFileValue("Options", "Minutes") + DataFileValue("Options", "Cookies") + DataFileValue("Options", "WinInit") +
                          std::to_string(RegValueExists(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle)), click.values);
        }
        // Switched on it is the quoted path: Windows cannot take a part of it for another program.
        EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle), "\"" + TestDir() + "\\watch_app_test.exe\"");
    }));
}

TEST_F(ShellTest, OptionsFileHeldByAnotherProgramIsToldOnceAndNothingChanges)
{
    DeleteFileA(DataFilePath);
    WritePrivateProfileSectionA("Options", "Minutes=5\0Start=0\0Cookies=1\0Sound=0\0WinInit=0\0", DataFilePath);
    std::string stored = ReadFileBytes(DataFilePath);
    ASSERT_EQ(LoadOptions(), 1);  // as the program read them at start
    // A text override is no format: its "%" are shown as they are.
    ScopedRegValue hostile(HKEY_LOCAL_MACHINE, ProgramKeyPath, "LString66", "Held: %s %s %n");
    EXPECT_TRUE(DriveSheet(nullptr, PageAbout, [&](HWND sheet) {
        FileHandle held(CreateFileA(DataFilePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        DialogSeen told = DialogShownBy(IDOK, [&] { SendMessageA(sheet, PSM_SETCURSEL, PageOptions, 0); });
        EXPECT_NE(told.text.find("Held: " + std::string(DataFilePath) + " %s %n"), std::string::npos) << told.text;
        HWND page = SheetCurrentPage(sheet);
        EXPECT_EQ(Checks(page), "01000") << "the settings in use, not the defaults";
        // A change that cannot be written is undone; the user is told once.
        EXPECT_TRUE(DialogShownBy(IDOK, [&] { SendDlgItemMessageA(page, 1020, BM_CLICK, 0, 0); }).shown);
        EXPECT_FALSE(DialogShownBy(IDOK, [&] { SendDlgItemMessageA(page, 1014, BM_CLICK, 0, 0); }).shown);
        EXPECT_EQ(Checks(page) + std::to_string(Sound + Start), "010000");
    }));
    EXPECT_EQ(ReadFileBytes(DataFilePath), stored);
}

TEST(AboutPage, ShowsTheOwnVersionAndItsLinkOpensTheHomePage)
{
    const std::string home = "http://www.ostrelstudios.example/sentrovia/";
    FakeAol aol;
    EXPECT_TRUE(DriveSheet(nullptr, PageAbout, [&](HWND sheet) {
        HWND page = SheetCurrentPage(sheet), link = GetDlgItem(page, 1021);
        // The test program carries the program's own version resource.
        EXPECT_EQ(WindowText(GetDlgItem(page, 1041)) + "|" + WindowText(link), "Sentrovia v4.0.2.4|" + home);
        ScreenshotPoint("about_page");
        // The plain form: the address follows -u directly, without quotes.
        SendMessageA(link, BM_CLICK, 0, 0);
        EXPECT_EQ(aol.TakeCommandLine(), aol.folder + "\\WAOL.EXE -u" + home);
    }));
}

TEST(Texts, LanguageAndTheTwoMessageBoxes)
{
    WORD saved = LanguageId;
    for (const char *language : {"DE", "deu"}) {
        ScopedRegValue value(HKEY_LOCAL_MACHINE, ProgramKeyPath, "LString634", language);
        ChooseLanguage();
        EXPECT_EQ(LanguageId, language[2] ? 9 : 7) << language;
    }
    LanguageId = saved;
    const struct { int (*show)(int); int id; const char *caption; LPCSTR icon; } boxes[] = {
        {ErrorBox, IDS_ERR_NOFILE, "Sentrovia", IDI_HAND}, {HelpBox, IDS_HELP_NOPROGRAM, "Sentrovia Help", IDI_QUESTION}};
    for (const auto &box : boxes) {
        HICON icon = nullptr;
        std::vector<DialogSeen> seen = DialogsShownBy({IDOK}, [&] { box.show(box.id); }, [&](HWND window) {
            for (HWND child = nullptr; (child = FindWindowExA(window, child, "Static", nullptr));)
                icon = icon ? icon : (HICON)SendMessageA(child, STM_GETICON, 0, 0);
        });
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption + "|" + std::to_string(seen[0].items.count(IDCANCEL)), box.caption + std::string("|0"));
        EXPECT_NE(seen[0].text.find(LoadedText(box.id)), std::string::npos) << seen[0].text;
        EXPECT_EQ(icon, LoadIconA(nullptr, box.icon));
    }
}

TEST(WebPageOpener, HandsTheAddressToARunningClientPlainOrQuoted)
{
    FakeAol aol;
    const std::string address = "http://www.example.com/a?b=c d&e=f";
    // Without AppPath the client is looked for on the search path; a small buffer is cut and never overrun.
    const struct { bool appPath; int quoted; size_t size; std::string line; } rows[] = {
        {true, 0, 2048, aol.folder + "\\WAOL.EXE -u" + address}, {true, 1, 2048, aol.folder + "\\WAOL.EXE -u\"" + address + "\""},
        {false, 0, 2048, "waol.exe -u" + address}, {false, 1, 16, "waol.exe -u\"htt"}};
    for (const auto &row : rows) {
        WriteProfileStringA("WAOL", "AppPath", row.appPath ? aol.folder.c_str() : nullptr);
        char line[2049];
        line[row.size] = 'z';
        int length = BuildAolCommand(address.c_str(), row.quoted, line, row.size);
        EXPECT_EQ(std::to_string(length) + line + line[row.size], std::to_string(row.line.size()) + row.line + "z");
    }
    // A program file stands in for the address. With the client's window
    // there but not its program, the failure comes back and the shell is not tried.
    WriteProfileStringA("WAOL", "AppPath", aol.folder.c_str());
    const std::string program = aol.folder + "\\opened.exe";
    ASSERT_TRUE(MoveFileA((aol.folder + "\\WAOL.EXE").c_str(), program.c_str()));
    EXPECT_LE(OpenWebPage(program.c_str(), 0), 31);
    EXPECT_EQ(aol.TakeCommandLine(500), "<missing>");
}

TEST(ListView, ColumnsAndTheImageListsThatOutliveTheirListView)
{
    HWND parent = CreateWindowExA(0, "STATIC", "lists", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, AppInstance, nullptr);
    // Of the window's width less the scroll-bar metric, cut toward zero.
    const struct { int layout, usable, widths[3]; } layouts[] = {
        {LayoutStartup, 384, {153, 172, 53}}, {LayoutTasks, 384, {115, 211, 53}}, {LayoutCookies, 284, {284, 284, 284}}};
    HWND list = nullptr;
    for (const auto &c : layouts) {
        list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, c.usable + GetSystemMetrics(SM_CYVSCROLL),
                               200, parent, nullptr, AppInstance, nullptr);
        for (int column = 0; column < 3; ++column) {
            InsertListColumn(list, column, "Column", c.layout);
            EXPECT_EQ(ListView_GetColumnWidth(list, column), c.widths[column]) << c.layout << " " << column;
        }
    }
    // The program's icon, a program file's and the no-icon picture; the page
    // that made the list destroys it, after its list view has gone.
    HIMAGELIST images = CreateSmallImageList(list, 0) == 0 ? SmallImageLists[0] : nullptr;  // the program's icon first
    EXPECT_EQ(AddProgramIcon(("\"" + FixturePath("sheet_versioned.exe") + "\" /min").c_str(), 0, 0), 1);
    EXPECT_EQ(AddProgramIcon("C:\\NO\\MISSING.EXE", 0, 0) * 10 + AddProgramIcon("", 0, 1), 2 * 10 - 1);
    DestroyWindow(parent);
    EXPECT_EQ(ImageList_GetImageCount(images), 3);
    DestroySmallImageList(0);
}
