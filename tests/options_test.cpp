// The Options page inside the real sheet: it shows what the data file holds,
// every click writes the whole [Options] section, the interval field applies
// every keystroke and restarts the countdown, and check box 1017 switches the
// program's own Run value.
#include "app/app.h"
#include "resource.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Keeps the data file and the program's own Run value as they were before
// the test, whatever the test did to them.
class OptionsTest : public testing::Test {
protected:
    void SetUp() override
    {
        savedFile = ReadFileBytes(DataFilePath);
        savedRun = GetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
        DeleteFileA(DataFilePath);
        RegDeleteValueName(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
        SheetPage = 0;
        WatchCountdown = 0;
    }
    void TearDown() override
    {
        if (savedFile == "<missing>")
            DeleteFileA(DataFilePath);
        else
            WriteFileBytes(DataFilePath, savedFile);
        if (savedRun == "<missing>")
            RegDeleteValueName(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
        else
            SetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, savedRun.c_str());
        LoadOptions();
    }

    // Opens the sheet at Options and runs body(page).
    void OnOptionsPage(const std::function<void(HWND page)> &body)
    {
        bool opened = DriveSheet(nullptr, PageOptions, [&](HWND sheet) {
            HWND page = SheetCurrentPage(sheet);
            ASSERT_NE(page, nullptr);
            body(page);
        });
        EXPECT_TRUE(opened);
    }

    std::string savedFile;
    std::string savedRun;
};

std::string OptionsSection()
{
    char section[1024] = "";
    DWORD n = GetPrivateProfileSectionA("Options", section, sizeof(section), DataFilePath);
    std::string text;
    for (DWORD i = 0; i < n; ++i)
        text += section[i] ? section[i] : '|';
    return text;
}

void WriteOptions(const char *minutes, const char *start, const char *cookies, const char *sound,
                  const char *winInit)
{
    WritePrivateProfileStringA("Options", "Minutes", minutes, DataFilePath);
    WritePrivateProfileStringA("Options", "Start", start, DataFilePath);
    WritePrivateProfileStringA("Options", "Cookies", cookies, DataFilePath);
    WritePrivateProfileStringA("Options", "Sound", sound, DataFilePath);
    WritePrivateProfileStringA("Options", "WinInit", winInit, DataFilePath);
}

bool Checked(HWND page, int control)
{
    return IsDlgButtonChecked(page, control) == BST_CHECKED;
}

void Click(HWND page, int control)
{
    SendMessageA(GetDlgItem(page, control), BM_CLICK, 0, 0);
}

void Type(HWND page, const char *keys)
{
    HWND field = GetDlgItem(page, 1019);
    for (const char *k = keys; *k; ++k)
        SendMessageA(field, WM_CHAR, (WPARAM)(unsigned char)*k, 1);
}

std::string OwnPath()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof(path));
    return path;
}

} // namespace

TEST_F(OptionsTest, ShowsTheOptionsOfTheDataFile)
{
    WriteOptions("7", "0", "1", "0", "0");
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, OwnPath().c_str()));
    // Only the memory says the restart file is watched: the page believes the file.
    WinInit = 1;
    Minutes = 2;
    OnOptionsPage([&](HWND page) {
        EXPECT_EQ(SheetPage, 5);
        EXPECT_EQ(WindowText(GetDlgItem(page, 1019)), "7");
        EXPECT_EQ(SendDlgItemMessageA(page, 1019, EM_GETLIMITTEXT, 0, 0), 3);
        EXPECT_FALSE(Checked(page, 1014));
        EXPECT_TRUE(Checked(page, 1016));
        EXPECT_TRUE(Checked(page, 1017));
        EXPECT_FALSE(Checked(page, 1020));
        EXPECT_FALSE(Checked(page, 1018));
        EXPECT_EQ(Minutes, 7);
        EXPECT_EQ(WinInit, 0);
        // The wording comes from the string table, leading blanks included.
        EXPECT_EQ(WindowText(GetDlgItem(page, 1014)), "  Warn when new Startup Programs are added.");
        EXPECT_EQ(WindowText(GetDlgItem(page, 1017)),
                  "  Automatically run Sentrovia when computer starts.");
        EXPECT_EQ(WindowText(GetDlgItem(page, 1058)), "Sniff for changes every");
        EXPECT_EQ(WindowText(GetDlgItem(page, 1050)), "Auto Detection");
        ScreenshotPoint("options_page");
    });
    // Opening and closing changed nothing in the file.
    EXPECT_EQ(OptionsSection(), "Minutes=7|Start=0|Cookies=1|Sound=0|WinInit=0|");
    EXPECT_EQ(SheetPage, 0);
}

TEST_F(OptionsTest, EveryClickWritesTheWholeSection)
{
    OnOptionsPage([&](HWND page) {
        // An empty data file reads as the defaults.
        EXPECT_TRUE(Checked(page, 1014));
        EXPECT_FALSE(Checked(page, 1016));
        EXPECT_TRUE(Checked(page, 1020));
        EXPECT_TRUE(Checked(page, 1018));
        EXPECT_EQ(OptionsSection(), "");

        Click(page, 1016);
        EXPECT_EQ(Cookies, 1);
        EXPECT_EQ(OptionsSection(), "Minutes=3|Start=1|Cookies=1|Sound=1|WinInit=1|");

        // Each click writes all five keys, not only its own.
        DeleteFileA(DataFilePath);
        Click(page, 1014);
        EXPECT_EQ(Start, 0);
        EXPECT_EQ(OptionsSection(), "Minutes=3|Start=0|Cookies=1|Sound=1|WinInit=1|");

        DeleteFileA(DataFilePath);
        Click(page, 1018);
        EXPECT_EQ(OptionsSection(), "Minutes=3|Start=0|Cookies=1|Sound=1|WinInit=0|");
        Click(page, 1020);
        EXPECT_EQ(OptionsSection(), "Minutes=3|Start=0|Cookies=1|Sound=0|WinInit=0|");
        Click(page, 1020);
        Click(page, 1014);
        EXPECT_EQ(OptionsSection(), "Minutes=3|Start=1|Cookies=1|Sound=1|WinInit=0|");
        EXPECT_EQ(Sound, 1);
        EXPECT_EQ(Start, 1);
    });
}

TEST_F(OptionsTest, TheIntervalFieldAppliesEveryKeystroke)
{
    WriteOptions("3", "1", "0", "1", "1");
    OnOptionsPage([&](HWND page) {
        HWND field = GetDlgItem(page, 1019);
        SetWindowTextA(field, "15");
        EXPECT_EQ(Minutes, 15);
        EXPECT_EQ(WatchCountdown, 150);
        EXPECT_EQ(GetPrivateProfileIntA("Options", "Minutes", -1, DataFilePath), 15);

        // An emptied field is no interval: the old one stays in force.
        WatchCountdown = 77;
        SetWindowTextA(field, "");
        EXPECT_EQ(Minutes, 15);
        EXPECT_EQ(WatchCountdown, 77);

        Type(page, "1");
        EXPECT_EQ(Minutes, 1);
        EXPECT_EQ(WatchCountdown, 10);
        EXPECT_EQ(GetPrivateProfileIntA("Options", "Minutes", -1, DataFilePath), 1);
        Type(page, "2");
        EXPECT_EQ(Minutes, 12);
        Type(page, "0");
        EXPECT_EQ(Minutes, 120);
        EXPECT_EQ(WatchCountdown, 1200);
        // Three digits at most; letters are not taken.
        Type(page, "5x");
        EXPECT_EQ(WindowText(field), "120");
        EXPECT_EQ(Minutes, 120);

        // 0 is no interval either, although the field shows it.
        WatchCountdown = 5;
        SetWindowTextA(field, "0");
        EXPECT_EQ(Minutes, 120);
        EXPECT_EQ(WatchCountdown, 5);
        EXPECT_EQ(GetPrivateProfileIntA("Options", "Minutes", -1, DataFilePath), 120);
        // The same value again is no change and does not restart the count.
        SetWindowTextA(field, "120");
        EXPECT_EQ(WatchCountdown, 5);
    });
    EXPECT_EQ(OptionsSection(), "Minutes=120|Start=1|Cookies=0|Sound=1|WinInit=1|");
}

TEST_F(OptionsTest, AShortIntervalCanStillBeRaised)
{
    // With an interval of 1 the field still takes three digits.
    WriteOptions("1", "1", "0", "1", "1");
    OnOptionsPage([&](HWND page) {
        HWND field = GetDlgItem(page, 1019);
        EXPECT_EQ(WindowText(field), "1");
        SendMessageA(field, EM_SETSEL, 1, 1);
        Type(page, "0");
        EXPECT_EQ(WindowText(field), "10");
        EXPECT_EQ(Minutes, 10);
        EXPECT_EQ(WatchCountdown, 100);
    });
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Minutes", -1, DataFilePath), 10);
}

TEST_F(OptionsTest, AutorunCheckBoxWritesAndRemovesTheRunValue)
{
    OnOptionsPage([&](HWND page) {
        EXPECT_FALSE(Checked(page, 1017));
        Click(page, 1017);
        EXPECT_TRUE(Checked(page, 1017));
        EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle), OwnPath());
        EXPECT_NE(AutorunFlag, 0);
        EXPECT_EQ(OptionsSection(), "Minutes=3|Start=1|Cookies=0|Sound=1|WinInit=1|");

        Click(page, 1017);
        EXPECT_FALSE(Checked(page, 1017));
        EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle));
        EXPECT_EQ(AutorunFlag, 0);
    });
}
