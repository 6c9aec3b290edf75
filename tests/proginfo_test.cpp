// The program information dialog and its More Info address: the fields from a
// real version resource, the tab of the owning sheet as the address's Type,
// the language, the user identifier, percent-encoding and the buffer limits.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "sheet_fakeaol.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

const char InfoBase[] = "http://www.ostrelstudios.example/cgi-bin/proginfo.pl?program=";

// No data file (UserId lives there) in a test; the file and language kept.
class ProgramInfoTest : public testing::Test {
protected:
    void SetUp() override { DeleteFileA(DataFilePath); }
    void TearDown() override
    {
        if (savedFile == "<missing>")
            DeleteFileA(DataFilePath);
        else
            WriteFileBytes(DataFilePath, savedFile);
        LanguageId = 9;
    }
    std::string savedFile = ReadFileBytes(DataFilePath);
};

} // namespace

TEST_F(ProgramInfoTest, ShowsTheFileAndMoreInfoSendsTheTabOfTheOwningSheet)
{
    FakeAol aol;
    const std::string versioned = FixturePath("sheet_versioned.exe");
    const std::string query = "SHEET_VERSIONED.EXE&vendor=AT%26T%20Labs"
                              "&version=2.5%20beta%2B1%20%237%25&userid=0&build=4.0.2.4";
    const char *const blank = "|||||", *const lines = "Probe Tool|2.5 beta+1 #7%|AT&T Labs|"
        "Probe for the sheet tests|Copyright (c) 2026 Probe Makers|";
    // A command line, a file without a version resource and one that is gone show blank
    // lines and no icon; More Info still opens. The About tab (5) sends Type 0.
    const struct { int page; std::string program; const char *title, *lines; WPARAM command;
                   std::string query; WORD language; } cases[] = {
        {PageDomain, versioned, "Probe & Title", lines, IDOK, "", 9},
        {PageOptions, FixturePath("missing.exe"), "", blank, IDCANCEL, "", 9},
        {PageTasks, versioned, "Probe", lines, 1067, query + "&Type=1&Loc=en", 9},
        {PageStartup, "\"" + versioned + "\" /x", "", blank, 1067, query + "&Type=0&Loc=de", 7},
        {PageCookies, FixturePath("sheet_cmdline.exe"), "", blank, 1067,
         "SHEET_CMDLINE.EXE&vendor=&version=&userid=0&build=4.0.2.4&Type=2&Loc=en", 9},
        {PageAbout, versioned, "", lines, 1067, query + "&Type=0&Loc=en", 9},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.program);
        LanguageId = c.language;
        EXPECT_TRUE(DriveSheet(nullptr, c.page, [&](HWND sheet) {
            CopyText(SelectedProgramPath, sizeof(SelectedProgramPath), c.program.c_str());
            CopyText(SelectedProgramTitle, sizeof(SelectedProgramTitle), c.title);
            CopyText(SelectedProgramSource, sizeof(SelectedProgramSource), "HKLM Run");
            UINT_PTR wait = WhenWindowAppears(FindThreadDialog, [&](HWND dialog) {
                EXPECT_EQ(GetParent(dialog), sheet);  // owned by the sheet, not by the page
                EXPECT_EQ(WindowText(dialog), c.title);
                EXPECT_EQ(WindowText(GetDlgItem(dialog, 1026)), c.program);
                EXPECT_EQ(WindowText(GetDlgItem(dialog, 1027)), "HKLM Run");
                std::string values;
                for (int id : {100, 1029, 1030, 1031, 1032})
                    values += WindowText(GetDlgItem(dialog, id)) + "|";
                EXPECT_EQ(values, c.lines);
                bool icon = SendDlgItemMessageA(dialog, 117, BM_GETIMAGE, IMAGE_ICON, 0) != 0;
                EXPECT_EQ(icon, c.lines == lines);
                EXPECT_TRUE(icon || WindowText(GetDlgItem(dialog, 117)) == "No Icon");
                // Close is drawn as a link; the dialog sits centred, a third down.
                EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_TYPEMASK,
                          (LONG)BS_OWNERDRAW);
                EXPECT_EQ(WindowText(GetDlgItem(dialog, IDOK)), "Close");
                RECT r;
                GetWindowRect(dialog, &r);
                EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
                EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 3);
                ScreenshotPoint(("proginfo_" + std::to_string(c.page)).c_str());
                PostMessageA(dialog, WM_COMMAND, c.command, 0);
            });
            EXPECT_EQ(DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_PROGINFO),
                                      SheetCurrentPage(sheet), ProgramInfoDialog, 0), 1);
            CancelWindowWait(wait);
            // Every way out empties the three subjects.
            EXPECT_FALSE(SelectedProgramPath[0] || SelectedProgramTitle[0] ||
                         SelectedProgramSource[0]);
        }));
        // The quoted form: the address stands in double quotes. (Had Close
        // or Esc opened anything, a later row would read it.)
        if (!c.query.empty()) {
            EXPECT_EQ(aol.TakeCommandLine(),
                      aol.folder + "\\WAOL.EXE -u\"" + InfoBase + c.query + "\"");
        }
    }
}

TEST_F(ProgramInfoTest, ValuesAreEncodedAndCutAndTheUserStaysUnknown)
{
    char user[SmallTextSize], url[1024];
    EXPECT_EQ(UserIdentifier(user, sizeof(user)), 1);
    EXPECT_STREQ(user, "0");
    WritePrivateProfileStringA("Options", "UserId", "jo & co", DataFilePath);
    VersionInfo info = {};
    CopyText(info.CompanyName, sizeof(info.CompanyName), "M\xFCller \"Q\" 'R' <S>=1/2?");
    CopyText(info.ProductVersion, sizeof(info.ProductVersion), "1.0-rc_2~x");
    BuildMoreInfoUrl("MY APP#1.EXE", &info, 1, url, sizeof(url));
    EXPECT_EQ(url, std::string(InfoBase) +
                       "MY%20APP%231.EXE&vendor=M%FCller%20%22Q%22%20%27R%27%20%3CS%3E%3D1%2F2%3F"
                       "&version=1.0-rc_2~x&userid=jo%20%26%20co&build=4.0.2.4&Type=1&Loc=en");
    WritePrivateProfileStringA("Options", "UserId", std::string(40, 'u').c_str(), DataFilePath);
    EXPECT_EQ(UserIdentifier(user, sizeof(user)), 31);
    // The query (from &vendor= on) holds at most 511 characters, and no
    // escape is cut in half; a small caller buffer cuts the whole address.
    CopyText(info.CompanyName, sizeof(info.CompanyName), std::string(127, '&').c_str());
    CopyText(info.ProductVersion, sizeof(info.ProductVersion), std::string(127, '&').c_str());
    std::string text(url, BuildMoreInfoUrl("APP.EXE", &info, 0, url, sizeof(url)));
    EXPECT_EQ(text, url);
    size_t query = text.find("&vendor=");
    EXPECT_TRUE(query != std::string::npos && text.size() - query <= 511 &&
                text.size() - query > 500) << text;
    EXPECT_FALSE(std::regex_search(text, std::regex("%(?![0-9A-F]{2})"))) << text;
    EXPECT_EQ(BuildMoreInfoUrl("APP.EXE", &info, 0, url, 40), 39);
    EXPECT_EQ(std::string(url), std::string(InfoBase).substr(0, 39));
}
