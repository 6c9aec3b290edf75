// Whole watch cycles run in-process: new startup programs and the alert's
// answers, the restart-file question, the start page, and the guards that
// keep a cycle out. The questions are answered from the test.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "sheet_fakeaol.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"
#include "watch/watch.h"

#include <gtest/gtest.h>

namespace {

const char StartPageKey[] = "Software\\Microsoft\\Internet Explorer\\Main";

// A fresh data file in which every startup program there is is approved, and
// the options of a cycle that checks startup programs only. All put back after.
struct WatchCycleTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(WriteFileBytes(DataFilePath, "[Options]\r\nWinInit=1\r\n"));
        Start = 1, WinInit = 0, Cookies = 0, Sound = 0, Minutes = 1;
        CollectStartupEntries();
        for (int i = 0; i < EntryCount; ++i) {
            char key[516];
            MakeEntryRunKey(i, key);
            WritePrivateProfileStringA("Run", key, "1", DataFilePath);
        }
        // The first cycle remembers the start page; nothing else is new.
        ASSERT_TRUE(Cycle({}).empty());
    }
    void TearDown() override
    {
        Start = options_[0], WinInit = options_[1], Cookies = options_[2];
        Sound = options_[3], Minutes = options_[4];
        AlertBusy = 0, SheetPage = 0, WatchCountdown = 0;
        if (savedData_ == "<missing>")
            DeleteFileA(DataFilePath);
        else
            WriteFileBytes(DataFilePath, savedData_);
    }
    static std::vector<DialogSeen> Cycle(const std::vector<int> &buttons,
                                         const std::function<void(HWND)> &during = {})
    {
        return DialogsShownBy(buttons, [] { WatchCycle(); }, during);
    }
    static std::string Remembered(const char *section, const std::string &key)
    {
        char value[TextSize];
        GetPrivateProfileStringA(section, key.c_str(), "<missing>", value, sizeof(value), DataFilePath);
        return value;
    }
    StartupSandbox box{"watch_cycle"};
    std::string savedData_ = ReadFileBytes(DataFilePath);
    int options_[5] = {Start, WinInit, Cookies, Sound, Minutes};
    const std::string program_ = FixturePath("sheet_versioned.exe");
};

} // namespace

TEST_F(WatchCycleTest, AlertShowsANewRunValueAndItsAnswerKeepsRemovesOrLeavesIt)
{
    FakeAol aol;
    const std::string intro = LoadedText(IDS_ALERT_TEXT);
    // Escape counts as Yes; More Info only informs, so the entry stays unapproved.
    const struct { int button; const char *approved; bool valueStays; } rows[] = {
        {IDYES, "1", true}, {IDCANCEL, "1", true}, {IDNO, "<missing>", false},
        {AlertMoreInfo, "<missing>", true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.button);
        ASSERT_TRUE(box.Set(HKEY_LOCAL_MACHINE, RunKeyPath, "WatchProbe", program_.c_str()));
        // It comes up in front of whatever the user works in.
        HWND other = MakeTopWindow("WatchOtherProgram", "Other program");
        ShowWindow(other, SW_SHOW);
        SetForegroundWindow(other);
        bool front = false;
        std::vector<DialogSeen> seen = Cycle({row.button}, [&](HWND alert) {
            front = (GetWindowLongA(alert, GWL_EXSTYLE) & WS_EX_TOPMOST) && GetForegroundWindow() == alert;
            if (row.button == IDYES)
                ScreenshotPoint("new_program_alert");
        });
        DestroyWindow(other);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_TRUE(front);
        EXPECT_EQ(seen[0].caption, "Sentrovia Program Alert");
        EXPECT_STRCASEEQ(seen[0].items[1026].c_str(), program_.c_str());
        const std::pair<int, const char *> lines[] = {
            {100, "Probe Tool"}, {1029, "2.5 beta+1 #7%"}, {1030, "AT&T Labs"},
            {1031, "Probe for the sheet tests"}, {1032, "Copyright (c) 2026 Probe Makers"},
            {1036, intro.c_str()},
        };
        for (const auto &line : lines)
            EXPECT_EQ(seen[0].items[line.first], line.second) << line.first;
        EXPECT_EQ(SelectedProgramPath[0], '\0');
        int entry = FindStartupRow("WatchProbe", program_);
        ASSERT_GE(entry, 0);
        std::string key = ReadStartupRow(entry).path;
        EXPECT_EQ(Remembered("Run", key), row.approved);
        EXPECT_EQ(RegValueExists(HKEY_LOCAL_MACHINE, RunKeyPath, "WatchProbe"), row.valueStays);

        // Approved: never asked again. Refused and put back by an installer,
        // or left open by More Info: asked on the next cycle.
        ASSERT_TRUE(box.Set(HKEY_LOCAL_MACHINE, RunKeyPath, "WatchProbe", program_.c_str()));
        EXPECT_EQ(Cycle({IDYES}).size(), std::string(row.approved) == "1" ? 0u : 1u);
        EXPECT_EQ(Remembered("Run", key), "1");
        WritePrivateProfileStringA("Run", key.c_str(), nullptr, DataFilePath);
    }
    std::string opened = aol.TakeCommandLine();
    EXPECT_NE(opened.find("program=SHEET_VERSIONED.EXE&vendor=AT%26T%20Labs"), std::string::npos) << opened;
    EXPECT_NE(opened.find("&Type=9&Loc=en\""), std::string::npos) << opened;
}

TEST_F(WatchCycleTest, TwoNewEntriesGiveTwoAlertsInTableOrder)
{
    Sound = 1;  // the sound must not hold the cycle up
    const char *second = "C:\\WatchProbe\\second.exe /quiet=1";
    ASSERT_TRUE(box.Set(HKEY_LOCAL_MACHINE, RunKeyPath, "WatchFirst", program_.c_str()));
    ASSERT_TRUE(box.Set(HKEY_CURRENT_USER, RunKeyPath, "WatchSecond", second));
    std::vector<DialogSeen> seen = Cycle({IDYES, IDNO});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_LT(FindStartupRow("WatchFirst", program_), FindStartupRow("WatchSecond", second));
    EXPECT_STRCASEEQ(seen[0].items[1026].c_str(), program_.c_str());
    // A command line names no file: the template's wording stays.
    const std::pair<int, const char *> lines[] = {
        {1026, second}, {100, ""}, {1029, ""}, {1031, "No Description found"},
        {1030, "Company name not included in this program."}, {1032, "No Copyright information included."},
    };
    for (const auto &line : lines)
        EXPECT_EQ(seen[1].items[line.first], line.second) << line.first;
    EXPECT_EQ(Remembered("Run", ReadStartupRow(FindStartupRow("WatchFirst", program_)).path), "1");
    EXPECT_EQ(Remembered("Run", "C:\\WatchProbe\\second.exe /quiet:1"), "<missing>");
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, RunKeyPath, "WatchSecond"));
}

TEST_F(WatchCycleTest, ARefusedStartupFolderProgramGoesToTheRemovedFolder)
{
    std::string folder = box.Folder("common", HKEY_LOCAL_MACHINE, "Common Startup");
    ASSERT_TRUE(WriteFileBytes(folder + "\\WATCHAPP.EXE", "MZ refused"));
    ASSERT_EQ(Cycle({IDNO}).size(), 1u);
    EXPECT_EQ(ReadFileBytes(folder + "\\WATCHAPP.EXE"), "<missing>");
    EXPECT_EQ(ReadFileBytes(box.removed + "\\WATCHAPP.EXE"), "MZ refused");
}

TEST_F(WatchCycleTest, RestartFileQuestionShowsTheCommandsOrSwitchesTheCheckOff)
{
    RestartFiles files(true, "NUL=C:\\WATCH\\OLD.TMP\n");
    WinInit = 1;
    bool front = false;
    std::vector<DialogSeen> seen = Cycle({IDNO}, [&](HWND box) {
        // Wine leaves MB_TOPMOST out; MB_SETFOREGROUND brings the box up all the same.
        front = GetForegroundWindow() == box;
    });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(front);
    EXPECT_EQ(seen[0].caption, "Sentrovia");
    EXPECT_NE(seen[0].text.find("commands have been added to the file wininit.ini"), std::string::npos);
    // Off in memory only: the data file keeps the option until it is saved.
    EXPECT_EQ(WinInit, 0);
    EXPECT_EQ(GetPrivateProfileIntA("Options", "WinInit", 7, DataFilePath), 1u);
    EXPECT_TRUE(Cycle({}).empty());

    WinInit = 1;
    seen = Cycle({IDYES, IDOK});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].caption, LoadedText(IDS_RESTART_CAPTION));
    EXPECT_EQ(seen[1].items[1004], "NUL=C:\\WATCH\\OLD.TMP\r\n");
    EXPECT_EQ(WinInit, 1);
    EXPECT_EQ(ReadFileBytes(files.ini), "NUL=C:\\WATCH\\OLD.TMP\n");
}

TEST_F(WatchCycleTest, StartPageIsRememberedComparedWithoutCaseAndRestoredOnNo)
{
    Start = 0;
    ScopedRegValue page(HKEY_CURRENT_USER, StartPageKey, "Start Page", "http://first.example/");
    const char *old = "http://old.example/", *now = "http://new.example/";
    // A null remembered page: nothing remembered yet. A null current page: no value.
    const struct { const char *remembered, *current; int button; const char *stored, *registry; } rows[] = {
        {nullptr, now, 0, now, now},
        {nullptr, nullptr, 0, "", "<missing>"},
        {"HTTP://New.Example/", now, 0, "HTTP://New.Example/", now},
        {old, now, IDYES, now, now},
        {old, now, IDNO, old, old},
        {old, nullptr, IDNO, old, old},
        // A page remembered as empty is remembered: a change from it is asked.
        {"", now, IDYES, now, now},
        // Line breaks never reach the data file, where they would forge lines.
        {old, "http://sp2.example/\r\n[Run]\r\nC:\\x\\ghost2.exe=1", IDYES,
         "http://sp2.example/  [Run]  C:\\x\\ghost2.exe=1", "http://sp2.example/\r\n[Run]\r\nC:\\x\\ghost2.exe=1"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(row.remembered ? row.remembered : "-") + " " + (row.current ? row.current : "-"));
        WritePrivateProfileStringA("IExplorer", "StartPage", row.remembered, DataFilePath);
        if (row.current)
            SetRegString(HKEY_CURRENT_USER, StartPageKey, "Start Page", row.current);
        else
            RegDeleteValueName(HKEY_CURRENT_USER, StartPageKey, "Start Page");
        std::vector<DialogSeen> seen = Cycle({row.button});
        ASSERT_EQ(seen.size(), row.button ? 1u : 0u);
        if (row.button) {
            std::string text = seen[0].text;
            EXPECT_NE(text.find(std::string("Your new page is ") + (row.current ? row.current : "") + "\n"),
                      std::string::npos) << text;
            EXPECT_NE(text.find(std::string("restore your page to\n ") + row.remembered + "."),
                      std::string::npos) << text;
        }
        EXPECT_EQ(Remembered("IExplorer", "StartPage"), row.stored);
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, StartPageKey, "Start Page"), row.registry);
        EXPECT_EQ(Remembered("Run", "C:\\x\\ghost2.exe"), "<missing>");
        EXPECT_TRUE(Cycle({}).empty()) << "asked once, then remembered";
    }
}

TEST_F(WatchCycleTest, NoCycleRunsUnderAnOpenSheetOrInsideAnother)
{
    const char *guarded = "C:\\WatchGuard\\guard.exe";
    ASSERT_TRUE(box.Set(HKEY_LOCAL_MACHINE, RunKeyPath, "WatchGuard", guarded));
    size_t asked = 99;
    EXPECT_TRUE(DriveSheet(nullptr, PageAbout, [&](HWND) { asked = Cycle({}).size(); }));
    EXPECT_EQ(asked, 0u);
    AlertBusy = 1;
    EXPECT_TRUE(Cycle({}).empty());
    AlertBusy = 0;
    EXPECT_EQ(Remembered("Run", guarded), "<missing>");

    // Timer ticks while a question is up, more than the raised countdown
    // holds: the alert and a question without it alike get no second cycle.
    ScopedRegValue page(HKEY_CURRENT_USER, StartPageKey, "Start Page", nullptr);
    WritePrivateProfileStringA("IExplorer", "StartPage", "http://old.example/", DataFilePath);
    for (int start : {1, 0}) {
        SCOPED_TRACE(start);
        SetRegString(HKEY_CURRENT_USER, StartPageKey, "Start Page", "http://new.example/");
        Start = start;
        WatchCountdown = 0;
        int cycles = 0;
        std::vector<DialogSeen> seen = DialogsShownBy({IDYES, IDNO}, [] { OnWatchTimer(); }, [&](HWND) {
            for (int tick = 0; tick < 250; ++tick)
                cycles += OnWatchTimer();
        });
        EXPECT_EQ(seen.size(), start ? 2u : 1u);
        EXPECT_GE(cycles, 1);
        EXPECT_EQ(WatchCountdown, 10);
    }
    EXPECT_EQ(Remembered("Run", guarded), "1");
}

TEST_F(WatchCycleTest, CookieQuestionEndsOnNoAndNutsAreEatenWithWarningsOff)
{
    Start = 0;
    CookieSandbox cookies("watch_cookies");
    std::string one = cookies.File("Cookies\\new one.txt"), two = cookies.File("Cookies\\new two.txt");
    cookies.File("Cookies\\kept.txt");
    WritePrivateProfileStringA("Cookies", "kept.txt", "1", DataFilePath);
    Cookies = 1;
    // Two unknown cookies, one question: No ends the check for this cycle.
    std::vector<DialogSeen> seen = Cycle({IDNO});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].text.find("new cookies"), std::string::npos) << seen[0].text;
    EXPECT_TRUE(PathExists(one) && PathExists(two));
    EXPECT_EQ(Cycle({IDNO}).size(), 1u) << "asked again on the next cycle";

    // Warnings off: the nuts are eaten without a word; with no nuts the
    // cookie folder is not read at all (the table keeps what it held).
    Cookies = 0;
    cookies.SetNuts({"two"});
    EXPECT_TRUE(Cycle({}).empty());
    EXPECT_FALSE(PathExists(two));
    EXPECT_TRUE(PathExists(one));
    cookies.SetNuts({});
    ClearEntries();
    AddEntry("sentinel", "C:\\sentinel.exe", "", 0, 0);
    EXPECT_TRUE(Cycle({}).empty());
    EXPECT_EQ(EntryTitles(), "sentinel");
}
