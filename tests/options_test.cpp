// The Options page inside the real sheet: it shows what the data file holds,
// and every keystroke in the interval field and every click (1017: the own
// Run value) is applied and written at once.
#include "app/app.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <limits.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

// Puts the data file and the program's own Run value back as they were.
class OptionsTest : public testing::Test {
protected:
    void TearDown() override
    {
        if (savedFile == "<missing>")
            DeleteFileA(DataFilePath);
        else
            WriteFileBytes(DataFilePath, savedFile);
        RestoreRegValue(savedRun);
        LoadOptions();
    }
    std::string savedFile = ReadFileBytes(DataFilePath);
    SavedRegValue savedRun = SaveRegValue(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
};

std::string OptionsSection()
{
    char s[1024] = "";
    std::string text(s, GetPrivateProfileSectionA("Options", s, sizeof(s), DataFilePath));
    std::replace(text.begin(), text.end(), '\0', '|');
    return text;
}

// The check marks of 1014, 1016, 1017, 1020 and 1018.
std::string Checks(HWND page)
{
    std::string marks;
    for (int control : {1014, 1016, 1017, 1020, 1018})
        marks += IsDlgButtonChecked(page, control) == BST_CHECKED ? '1' : '0';
    return marks;
}

} // namespace

TEST_F(OptionsTest, ClicksAndKeystrokesApplyAndWriteAtOnce)
{
    // A step sets the field's text or types at its end; -1: no restart.
    const struct { const char *set, *type, *field; int minutes, countdown; } steps[] = {
        {nullptr, nullptr, "1", 1, -1},
        {nullptr, "0", "10", 10, 100},  // an interval of 1 can still be raised
        {"15", nullptr, "15", 15, 150},
        {"", nullptr, "", 15, -1},  // an empty field is no interval
        {nullptr, "1", "1", 1, 10},
        {nullptr, "2", "12", 12, 120},
        {nullptr, "0", "120", 120, 1200},
        {nullptr, "5x", "120", 120, -1},  // three digits at most, no letters
        // Longer values come only from the file: the count saturates, and a
        // value beyond an int is no interval.
        {"2147483647", nullptr, "2147483647", INT_MAX, INT_MAX},
        {"4294967295", nullptr, "4294967295", INT_MAX, -1},
        {"120", nullptr, "120", 120, 1200},
        {"0", nullptr, "0", 120, -1},  // 0 is no interval either
        {"120", nullptr, "120", 120, -1},  // the same value again is no change
    };
    // Each click on its own writes the whole section.
    const struct { int control; const char *section; bool run; } clicks[] = {
        {1016, "Minutes=120|Start=0|Cookies=0|Sound=0|WinInit=0|", true},
        {1014, "Minutes=120|Start=1|Cookies=0|Sound=0|WinInit=0|", true},
        {1018, "Minutes=120|Start=1|Cookies=0|Sound=0|WinInit=1|", true},
        {1020, "Minutes=120|Start=1|Cookies=0|Sound=1|WinInit=1|", true},
        {1017, "Minutes=120|Start=1|Cookies=0|Sound=1|WinInit=1|", false},
        {1017, "Minutes=120|Start=1|Cookies=0|Sound=1|WinInit=1|", true},
    };
    DeleteFileA(DataFilePath);
    WritePrivateProfileSectionA("Options", "Minutes=1\0Start=0\0Cookies=1\0Sound=0\0WinInit=0\0",
                                DataFilePath);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, "C:\\S\\Sentrovia.exe"));
    // What only the memory holds gives way to the file and the registry.
    WinInit = 1;
    Minutes = 2;
    AutorunFlag = 0;
    EXPECT_TRUE(DriveSheet(nullptr, PageOptions, [&](HWND sheet) {
        HWND page = SheetCurrentPage(sheet);
        EXPECT_EQ(Checks(page), "01100");
        EXPECT_EQ(WinInit, 0);
        EXPECT_EQ(OptionsSection(), "Minutes=1|Start=0|Cookies=1|Sound=0|WinInit=0|");
        ScreenshotPoint("options_page");
        HWND field = GetDlgItem(page, 1019);
        for (const auto &step : steps) {
            SCOPED_TRACE(&step - steps);
            WatchCountdown = -1;
            if (step.set)
                SetWindowTextA(field, step.set);
            SendMessageA(field, EM_SETSEL, 0x7FFF, 0x7FFF);
            for (const char *key = step.type; key && *key; ++key)
                SendMessageA(field, WM_CHAR, (WPARAM)(unsigned char)*key, 1);
            EXPECT_EQ(WindowText(field), step.field);
            EXPECT_EQ(Minutes, step.minutes);
            EXPECT_EQ(WatchCountdown, step.countdown);
            EXPECT_EQ(GetPrivateProfileIntA("Options", "Minutes", -1, DataFilePath), step.minutes);
        }
        for (const auto &click : clicks) {
            SCOPED_TRACE(&click - clicks);
            DeleteFileA(DataFilePath);
            SendDlgItemMessageA(page, click.control, BM_CLICK, 0, 0);
            EXPECT_EQ(OptionsSection(), click.section);
            EXPECT_EQ(RegValueExists(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle), click.run);
            EXPECT_EQ(AutorunFlag != 0, click.run);
        }
        EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle),
                  "\"" + TestDir() + "\\options_test.exe\"");
    }));
    // Closing the sheet changed nothing.
    EXPECT_EQ(OptionsSection(), "Minutes=120|Start=1|Cookies=0|Sound=1|WinInit=1|");
}

TEST_F(OptionsTest, UnwritableDataFileIsToldOnceAndThePageKeepsWhatIsStored)
{
    DeleteFileA(DataFilePath);
    WritePrivateProfileSectionA("Options", "Minutes=5\0Start=1\0Cookies=0\0Sound=1\0WinInit=1\0", DataFilePath);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, DataFilePath);
    std::string stored = ReadFileBytes(DataFilePath);
    // Another program reads the file and lets nobody write it meanwhile.
    auto reader = std::make_unique<FileHandle>(
        CreateFileA(DataFilePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader->valid());
    EXPECT_TRUE(DriveSheet(nullptr, PageOptions, [&](HWND sheet) {
        HWND page = SheetCurrentPage(sheet);
        std::string checks = Checks(page);
        DialogSeen told = DialogShownBy(IDOK, [&] { SendDlgItemMessageA(page, 1020, BM_CLICK, 0, 0); });
        EXPECT_TRUE(told.shown);
        EXPECT_NE(told.text.find(DataFilePath), std::string::npos) << told.text;
        // Once told, the next changes that cannot be kept are undone quietly.
        DialogSeen again = DialogShownBy(IDOK, [&] {
            SendDlgItemMessageA(page, 1014, BM_CLICK, 0, 0);
            SetDlgItemTextA(page, 1019, "7");
        }, 1000);
        EXPECT_FALSE(again.shown) << again.text;
        EXPECT_EQ(Checks(page), checks);
        EXPECT_EQ(WindowText(GetDlgItem(page, 1019)), "5");
        EXPECT_EQ(Sound + Start * 10 + Minutes * 100, 511);
    }));
    reader.reset();
    EXPECT_EQ(ReadFileBytes(DataFilePath), stored);
}

TEST_F(OptionsTest, FileHeldWithoutSharingShowsTheSettingsInUseAndWritesNoDefaults)
{
    DeleteFileA(DataFilePath);
    WritePrivateProfileSectionA("Options", "Minutes=5\0Start=0\0Cookies=1\0Sound=0\0WinInit=0\0", DataFilePath);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, DataFilePath);
    std::string stored = ReadFileBytes(DataFilePath);
    ASSERT_EQ(LoadOptions(), 1);  // as the program read them at start
    // A text override is no format: its "%" are shown as they are.
    ScopedRegValue hostile(HKEY_LOCAL_MACHINE, ProgramKeyPath, "LString66", "Held: %s %s %n");
    EXPECT_TRUE(DriveSheet(nullptr, PageAbout, [&](HWND sheet) {
        auto held = std::make_unique<FileHandle>(CreateFileA(
            DataFilePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held->valid());
        DialogSeen told = DialogShownBy(IDOK, [&] { SendMessageA(sheet, PSM_SETCURSEL, PageOptions, 0); });
        EXPECT_TRUE(told.shown);
        EXPECT_NE(told.text.find("Held: " + std::string(DataFilePath) + " %s %n"), std::string::npos)
            << told.text;
        HWND page = SheetCurrentPage(sheet);
        EXPECT_EQ(Checks(page), "01000") << "the settings in use, not the defaults";
        EXPECT_EQ(WindowText(GetDlgItem(page, 1019)), "5");
        // A change that cannot be written is undone, told or not (once only).
        DialogShownBy(IDOK, [&] { SendDlgItemMessageA(page, 1020, BM_CLICK, 0, 0); }, 1000);
        EXPECT_EQ(Checks(page), "01000");
        EXPECT_EQ(Sound, 0);
    }));
    EXPECT_EQ(ReadFileBytes(DataFilePath), stored);
}

TEST_F(OptionsTest, AutorunBoxShowsWhatTheRegistryHoldsAfterATraySwitch)
{
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, "\"C:\\S\\Sentrovia.exe\""));
    EXPECT_TRUE(DriveSheet(nullptr, PageOptions, [&](HWND sheet) {
        HWND page = SheetCurrentPage(sheet);
        EXPECT_EQ(IsDlgButtonChecked(page, 1017), (UINT)BST_CHECKED);
        // The tray menu's Always Run item, chosen while the page shows.
        MainWindowProc(nullptr, WM_COMMAND, IDM_AUTORUN, 0);
        EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle));
        EXPECT_EQ(IsDlgButtonChecked(page, 1017), (UINT)BST_UNCHECKED);
        // Another program writes the value while another page shows.
        SendMessageA(sheet, PSM_SETCURSEL, PageAbout, 0);
        SetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, "C:\\S\\Sentrovia.exe");
        SendMessageA(sheet, PSM_SETCURSEL, PageOptions, 0);
        EXPECT_EQ(SheetCurrentPage(sheet), page);
        EXPECT_EQ(IsDlgButtonChecked(page, 1017), (UINT)BST_CHECKED);
    }));
}
