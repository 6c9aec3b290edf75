// The program information dialog (template 121) and its More Info address:
// the fields from a real version resource, the blank lines of a file without
// one, the tab index of the owning sheet as the address's Type, the language,
// the user identifier, percent-encoded values and the buffer limits.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "store/store.h"
#include "sheet_fakeaol.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <ctype.h>

#include <string>

namespace {

const char InfoBase[] = "http://www.ostrelstudios.example/cgi-bin/proginfo.pl?program=";

// The address's expectation for the versioned fixture.
std::string VersionedUrl(int type, const char *loc)
{
    return std::string(InfoBase) +
           "SHEET_VERSIONED.EXE&vendor=AT%26T%20Labs&version=2.5%20beta%2B1%20%237%25"
           "&userid=0&build=4.0.2.4&Type=" +
           std::to_string(type) + "&Loc=" + loc;
}

std::string UpperPath(const std::string &path)
{
    char upper[PathSize];
    ProgramFileFromCommand(path.c_str(), upper, sizeof(upper));
    return upper;
}

// Keeps the data file as it was (UserId lives there).
class ProgramInfoTest : public testing::Test {
protected:
    void SetUp() override
    {
        savedFile = ReadFileBytes(DataFilePath);
        DeleteFileA(DataFilePath);
        LanguageId = 9;
        ClearSelectedProgram();
    }
    void TearDown() override
    {
        if (savedFile == "<missing>")
            DeleteFileA(DataFilePath);
        else
            WriteFileBytes(DataFilePath, savedFile);
        LanguageId = 9;
        ClearSelectedProgram();
    }
    std::string savedFile;
};

// Opens the dialog modally over owner and runs body(dialog) once it is up;
// the dialog's result.
INT_PTR RunInfoDialog(HWND owner, const std::function<void(HWND)> &body)
{
    UINT_PTR wait = WhenWindowAppears(FindThreadDialog, body);
    INT_PTR result = DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_PROGINFO), owner,
                                     ProgramInfoDialog, 0);
    CancelWindowWait(wait);
    return result;
}

std::string Item(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

} // namespace

TEST_F(ProgramInfoTest, ShowsWhatTheVersionResourceSays)
{
    std::string path = UpperPath(FixturePath("sheet_versioned.exe"));
    CopyText(SelectedProgramPath, sizeof(SelectedProgramPath), path.c_str());
    CopyText(SelectedProgramTitle, sizeof(SelectedProgramTitle), "Probe & Title");
    CopyText(SelectedProgramSource, sizeof(SelectedProgramSource), "HKLM Run");
    bool seen = false;
    INT_PTR result = RunInfoDialog(nullptr, [&](HWND dialog) {
        seen = true;
        EXPECT_EQ(WindowText(dialog), "Probe & Title");
        EXPECT_EQ(Item(dialog, 1026), path);
        EXPECT_EQ(Item(dialog, 1027), "HKLM Run");
        EXPECT_EQ(Item(dialog, 100), "Probe Tool");
        EXPECT_EQ(Item(dialog, 1029), "2.5 beta+1 #7%");
        EXPECT_EQ(Item(dialog, 1030), "AT&T Labs");
        EXPECT_EQ(Item(dialog, 1031), "Probe for the sheet tests");
        EXPECT_EQ(Item(dialog, 1032), "Copyright (c) 2026 Probe Makers");
        EXPECT_EQ(Item(dialog, 1036),
                  "Wuffle the Windows Watchdog has found the following\ninformation on the program in question.");
        // The file's icon on button 117; Close drawn as a link.
        EXPECT_NE(SendDlgItemMessageA(dialog, 117, BM_GETIMAGE, IMAGE_ICON, 0), 0);
        EXPECT_EQ(Item(dialog, IDOK), "Close");
        EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_TYPEMASK,
                  (LONG)BS_OWNERDRAW);
        RECT rect;
        GetWindowRect(dialog, &rect);
        EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2);
        EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 3);
        ScreenshotPoint("proginfo_dialog");
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_TRUE(seen);
    EXPECT_EQ(result, 1);
    // Every way out empties the three subjects.
    EXPECT_STREQ(SelectedProgramPath, "");
    EXPECT_STREQ(SelectedProgramTitle, "");
    EXPECT_STREQ(SelectedProgramSource, "");
}

TEST_F(ProgramInfoTest, AFileWithoutVersionOrIconLeavesTheLinesBlank)
{
    std::string folder = MakeScratchDir("proginfo");
    std::string plain = folder + "\\PLAIN.TXT";
    ASSERT_TRUE(WriteFileBytes(plain, "no resources here"));
    const std::string paths[] = {plain, folder + "\\MISSING.EXE"};
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        CopyText(SelectedProgramPath, sizeof(SelectedProgramPath), path.c_str());
        SelectedProgramTitle[0] = '\0';
        CopyText(SelectedProgramSource, sizeof(SelectedProgramSource), "Startup folder");
        INT_PTR result = RunInfoDialog(nullptr, [&](HWND dialog) {
            EXPECT_EQ(WindowText(dialog), "");
            EXPECT_EQ(Item(dialog, 1026), path);
            EXPECT_EQ(Item(dialog, 1027), "Startup folder");
            for (int id : {100, 1029, 1030, 1031, 1032})
                EXPECT_EQ(Item(dialog, id), "") << id;
            EXPECT_EQ(SendDlgItemMessageA(dialog, 117, BM_GETIMAGE, IMAGE_ICON, 0), 0);
            EXPECT_EQ(Item(dialog, 117), "No Icon");
            // Escape.
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(result, 1);
        EXPECT_STREQ(SelectedProgramPath, "");
        EXPECT_STREQ(SelectedProgramSource, "");
    }
    RemoveTree(folder);
}

TEST_F(ProgramInfoTest, MoreInfoSendsTheTabOfTheOwningSheet)
{
    FakeAol aol;
    std::string path = UpperPath(FixturePath("sheet_versioned.exe"));
    struct Case {
        int page;
        int type;
    };
    // Active Tasks sends 1, Startup Programs 0; the About tab (5) counts as 0.
    const Case cases[] = {{PageTasks, 1}, {PageStartup, 0}, {PageCookies, 2}, {PageAbout, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.page);
        DriveSheet(nullptr, c.page, [&](HWND sheet) {
            HWND page = SheetCurrentPage(sheet);
            CopyText(SelectedProgramPath, sizeof(SelectedProgramPath), path.c_str());
            CopyText(SelectedProgramTitle, sizeof(SelectedProgramTitle), "Probe");
            SelectedProgramSource[0] = '\0';
            INT_PTR result = RunInfoDialog(page, [&](HWND dialog) {
                // Owned by the sheet, not by the page that opened it.
                EXPECT_EQ(GetParent(dialog), sheet);
                EXPECT_EQ(CurrentPageIndex(dialog), c.type);
                PostMessageA(dialog, WM_COMMAND, 1067, 0);
            });
            EXPECT_EQ(result, 1);
            EXPECT_STREQ(SelectedProgramPath, "");
            // The quoted form: the address stands in double quotes.
            EXPECT_EQ(aol.TakeCommandLine(),
                      aol.folder + "\\WAOL.EXE -u\"" + VersionedUrl(c.type, "en") + "\"");
        });
    }
}

TEST_F(ProgramInfoTest, CurrentPageIndexWithoutASheetIsZero)
{
    HWND lone = CreateWindowExA(0, "STATIC", "lone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                AppInstance, nullptr);
    EXPECT_EQ(CurrentPageIndex(lone), 0);
    HWND owned = CreateWindowExA(0, "STATIC", "owned", WS_POPUP, 0, 0, 10, 10, lone, nullptr,
                                 AppInstance, nullptr);
    EXPECT_EQ(CurrentPageIndex(owned), 0);
    DestroyWindow(lone);
}

TEST_F(ProgramInfoTest, MoreInfoUrlOfAVersionedProgram)
{
    std::string path = UpperPath(FixturePath("sheet_versioned.exe"));
    char url[1024];
    int length = MoreInfoUrl(path.c_str(), InfoTypeTasks, url, sizeof(url));
    EXPECT_EQ(url, VersionedUrl(1, "en"));
    EXPECT_EQ(length, (int)strlen(url));

    // A command line names the same program.
    std::string command = "\"" + FixturePath("sheet_versioned.exe") + "\" /x";
    MoreInfoUrl(command.c_str(), InfoTypeStartup, url, sizeof(url));
    EXPECT_EQ(url, VersionedUrl(0, "en"));

    LanguageId = 7;
    MoreInfoUrl(path.c_str(), InfoTypeAlert, url, sizeof(url));
    EXPECT_EQ(url, VersionedUrl(9, "de"));
}

TEST_F(ProgramInfoTest, UserIdentifierIsZeroUnlessTheUserSetOne)
{
    char user[SmallTextSize];
    EXPECT_EQ(UserIdentifier(user, sizeof(user)), 1);
    EXPECT_STREQ(user, "0");

    WritePrivateProfileStringA("Options", "UserId", "jo & co", DataFilePath);
    UserIdentifier(user, sizeof(user));
    EXPECT_STREQ(user, "jo & co");
    VersionInfo none = {};
    char url[1024];
    BuildMoreInfoUrl("A.EXE", &none, 0, url, sizeof(url));
    EXPECT_NE(std::string(url).find("&userid=jo%20%26%20co&build="), std::string::npos) << url;

    // At most 31 characters.
    WritePrivateProfileStringA("Options", "UserId", std::string(40, 'u').c_str(), DataFilePath);
    EXPECT_EQ(UserIdentifier(user, sizeof(user)), 31);
}

TEST_F(ProgramInfoTest, ValuesArePercentEncoded)
{
    VersionInfo info = {};
    CopyText(info.CompanyName, sizeof(info.CompanyName), "M\xFCller \"Q\" 'R' <S>=1/2?");
    CopyText(info.ProductVersion, sizeof(info.ProductVersion), "1.0-rc_2~x");
    char url[1024];
    BuildMoreInfoUrl("MY APP#1.EXE", &info, 1, url, sizeof(url));
    EXPECT_EQ(std::string(url),
              std::string(InfoBase) +
                  "MY%20APP%231.EXE&vendor=M%FCller%20%22Q%22%20%27R%27%20%3CS%3E%3D1%2F2%3F"
                  "&version=1.0-rc_2~x&userid=0&build=4.0.2.4&Type=1&Loc=en");
}

TEST_F(ProgramInfoTest, LongValuesAreCutToTheBuffers)
{
    VersionInfo info = {};
    std::string ampersands(127, '&');
    CopyText(info.CompanyName, sizeof(info.CompanyName), ampersands.c_str());
    CopyText(info.ProductVersion, sizeof(info.ProductVersion), ampersands.c_str());
    char url[1024];
    int length = BuildMoreInfoUrl("APP.EXE", &info, 0, url, sizeof(url));
    std::string text = url;
    EXPECT_EQ(length, (int)text.size());
    // The query (from &vendor= on) holds at most 511 characters, and no
    // escape is cut in half.
    size_t query = text.find("&vendor=");
    ASSERT_NE(query, std::string::npos);
    EXPECT_LE(text.size() - query, 511u);
    EXPECT_GT(text.size() - query, 500u);
    for (size_t p = text.find('%'); p != std::string::npos; p = text.find('%', p + 1))
        ASSERT_TRUE(p + 2 < text.size() && isxdigit((unsigned char)text[p + 1]) &&
                    isxdigit((unsigned char)text[p + 2]))
            << text.substr(p);

    // A small caller buffer cuts the whole address.
    char small[40];
    length = BuildMoreInfoUrl("APP.EXE", &info, 0, small, sizeof(small));
    EXPECT_EQ(length, 39);
    EXPECT_EQ(std::string(small), std::string(InfoBase).substr(0, 39));
}
