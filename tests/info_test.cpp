// What program files say about themselves (version resources built by windres
// into the ver_* fixtures), the program information dialog and its More Info
// address, and the reports, written for real and read back.
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
const char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::regex CutEscape("%(?![0-9A-F]{2})");

size_t Count(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The sandbox keeps the data file (UserId lives there) apart and empties the
// entry table; the language comes back after each test.
struct InfoTest : testing::Test {
    void TearDown() override { LanguageId = 9; }
    // The report of one kind: its frame checked, its text returned.
    std::string Report(int kind, const std::string &heading)
    {
        EXPECT_EQ(1, WriteFullReportFile(kind, report_.c_str()));
        std::string text = ReadFileBytes(report_);
        EXPECT_TRUE(std::regex_search(text, std::regex("^<html><head><title>\r\n" + heading + "</title></head>\r\n"
            "<body bgcolor=FloralWhite>\r\n<H2 align='center'> " + heading + " </H2>\r\n"
            "<i>\\d+/\\d+/\\d{4}  \\d+:[ 1-5]\\d</i><br><br>\r\n")));
        EXPECT_EQ(text.size() - 16, text.rfind("</body></html>\r\n"));
        EXPECT_EQ(Count(text, "<li><b>") + Count(text, "\t</ol><br><br>\r\n\r\n"), 2 * (size_t)EntryCount);
        return text;
    }
    CookieSandbox box_{"info"};
    std::string folder_ = box_.scratch, report_ = folder_ + "\\Report.html";
};

} // namespace

TEST_F(InfoTest, VersionTextsComeFromTheLastTranslationWithAProductNameWithinTheLimits)
{
    const std::string abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZ", company = (abc + abc + abc + abc + abc).substr(0, 126);
    // ver_limits: values of 127, 128 and 129 bytes; ver_size4096: a resource larger
    // than the buffer; ver_translie: a translation table that claims 0xFFF0 bytes.
    struct Row { std::string path, fields; };
    std::vector<Row> rows = {
        {TestDir() + "\\info_test.exe",
         "Sentrovia|4.0.2.4|Ostrel Studios|Sentrovia Windows Watch Dog|Copyright (c) 2026 Ostrel Studios|"},
        {FixturePath("ver_pairs.exe"), "Paare Deutsch|1.0 de|Deutsche Firma|Deutsche Beschreibung||"},
        {FixturePath("ver_limits.exe"), "Limits|1.2|" + company + "|||"}, {FixturePath("ver_size4094.exe"), "P|||||"},
    };
    for (const char *name : {"ver_size4096.exe", "ver_translie.exe", "ver_noname.exe", "ver_notrans.exe", "ver_pairs.exe x"})
        rows.push_back({FixturePath(name), "|||||"});
    for (const auto &row : rows) {
        VersionInfo info;
        memset(&info, 'x', sizeof(info));  // a field left unset shows
        EXPECT_EQ(ReadVersionInfo(row.path.c_str(), &info), row.fields != "|||||") << row.path;
        std::string fields;
        for (const char *field : {info.ProductName, info.ProductVersion, info.CompanyName, info.FileDescription,
                                  info.LegalCopyright})
            fields += std::string(field, strnlen(field, VersionFieldSize)) + "|";
        EXPECT_EQ(fields, row.fields);
    }
    // A relative path is looked for as Windows looks for programs: here, beside the test program.
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof(cwd), cwd);
    SetCurrentDirectoryA(folder_.c_str());
    VersionInfo relative;
    EXPECT_TRUE(ReadVersionInfo("fixtures\\ver_pairs.exe", &relative));
    SetCurrentDirectoryA(cwd);
    const struct { std::string text, file; } commands[] = {
        {"\"C:\\Program Files\\App\\app.exe\" /min", "C:\\PROGRAM FILES\\APP\\APP.EXE"}, {"rundll32 a,b", "RUNDLL32 A,B"},
        {"C:\\Startup\\Tool.lnk /x", "C:\\STARTUP\\TOOL.LNK"}, {"C:\\RUN.BAT /x", "C:\\RUN.BAT /X"},
        {"x D:\\a C:\\b.exe", "C:\\B.EXE"}, {"C:\\DATA.LIB\\APP.EXE", "C:\\DATA.LIB"},
        {"\\??\\C:\\WINNT\\csrss.exe", "C:\\WINNT\\CSRSS.EXE"},
        {"C:\\" + std::string(2000, 'd') + "\\app.exe", "C:\\" + std::string(256, 'D')},
    };
    for (const auto &row : commands) {
        char file[PathSize + 1] = {};
        file[PathSize] = '#';
        EXPECT_EQ(ProgramFileFromCommand(row.text.c_str(), file, PathSize), (int)row.file.size());
        EXPECT_EQ(std::string(file) + file[PathSize], row.file + "#");
    }
    EXPECT_EQ(std::to_string(FileNamePart("C:\\WINDOWS\\NOTEPAD.EXE")) + std::to_string(FileNamePart("\\\\")) +
              std::to_string(FileNamePart("\\N.EXE")), "1120");
}

TEST_F(InfoTest, ProgramInfoShowsTheFileAndMoreInfoSendsTheTabOfTheOwningSheet)
{
    FakeAol aol;
    const std::string versioned = FixturePath("sheet_versioned.exe"), query = "SHEET_VERSIONED.EXE&vendor=AT%26T%20Labs"
        "&version=2.5%20beta%2B1%20%237%25&userid=0&build=4.0.2.4";
    const std::string lines = "Probe Tool|2.5 beta+1 #7%|AT&T Labs|Probe for the sheet tests|"
                              "Copyright (c) 2026 Probe Makers|";
    // A command line names no file: blank lines and no icon.
    const struct { int page; std::string program, lines, query; WORD language; } cases[] = {
        {PageStartup, "\"" + versioned + "\" /x", "|||||", query + "&Type=0&Loc=de", 7},
        {PageTasks, versioned, lines, query + "&Type=1&Loc=en", 9},
    };
    for (const auto &c : cases) {
        LanguageId = c.language;
        EXPECT_TRUE(DriveSheet(nullptr, c.page, [&](HWND sheet) {
            CopyText(SelectedProgramPath, sizeof(SelectedProgramPath), c.program.c_str());
            CopyText(SelectedProgramTitle, sizeof(SelectedProgramTitle), "Probe & Title");
            CopyText(SelectedProgramSource, sizeof(SelectedProgramSource), "HKLM Run");
            bool icon = false;
            DialogSeen seen = DialogsShownBy({1067}, [&] {
                EXPECT_EQ(1, DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_PROGINFO), SheetCurrentPage(sheet),
                                             ProgramInfoDialog, 0));
            }, [&](HWND dialog) {  // owned by the sheet, whose tab is the address's Type
                icon = SendDlgItemMessageA(dialog, 117, BM_GETIMAGE, IMAGE_ICON, 0) != 0 && GetParent(dialog) == sheet;
                ScreenshotPoint(("proginfo_" + std::to_string(c.page)).c_str());
            }).at(0);
            std::string shown = seen.caption + "|" + seen.items[1026] + "|" + seen.items[1027] + "|";
            for (int id : {100, 1029, 1030, 1031, 1032})
                shown += seen.items[id] + "|";
            EXPECT_EQ(shown, "Probe & Title|" + c.program + "|HKLM Run|" + c.lines);
            EXPECT_EQ(icon, c.lines == lines);
            EXPECT_FALSE(SelectedProgramPath[0] || SelectedProgramTitle[0] || SelectedProgramSource[0]);
        }));
        // The address goes in quotes.
        EXPECT_EQ(aol.TakeCommandLine(), aol.folder + "\\WAOL.EXE -u\"" + InfoBase + c.query + "\"");
    }
    // Long values are cut at a whole escape, so that the query keeps its end within 511 characters.
    VersionInfo info = {};
    CopyText(info.CompanyName, sizeof(info.CompanyName), std::string(127, '&').c_str());
    char url[1024];
    std::string text(url, BuildMoreInfoUrl("APP.EXE", &info, 0, url, sizeof(url)));
    const std::string end = "&version=&userid=0&build=4.0.2.4&Type=0&Loc=en";
    EXPECT_TRUE(text.size() - text.find("&vendor=%26%26") <= 511 && !std::regex_search(text, CutEscape)) << text;
    EXPECT_EQ(text.substr(text.size() - end.size()), end);
}

TEST_F(InfoTest, ReportsListEachProgramOnceAndEscapeWhatOthersWrote)
{
    ChildPrograms children;
    ASSERT_TRUE(children.Start(FixturePath("task_spin.exe")) && children.Start(FixturePath("task_spin.exe")));
    std::string text = Report(ReportTasks, "Sentrovia Active Tasks");
    EXPECT_EQ(1u, Count(text, "<li><b>Task Spinner</b>\r\n\t<ol>TASK_SPIN.EXE<br>\r\n\tTask Spinner<br>\tVersion: "
                              "7.1.3<br>\r\n\t(c) Spinning Tops<br>\r\n\tPath:     ")) << text;

    // A program whose title, file name and version texts carry markup; texts too long for a line.
    std::string evil = folder_ + "\\a&b'c.exe";
    ASSERT_TRUE(CopyFileA(FixturePath("task_evil.exe").c_str(), evil.c_str(), FALSE));
    ScopedRegValue markup(HKEY_CURRENT_USER, RunKey, "Report <b>&\"Co\"", ("\"" + evil + "\"").c_str());
    ScopedRegValue amps(HKEY_CURRENT_USER, RunKey, std::string(127, '&').c_str(),
                        ("C:\\" + std::string(240, 'L') + "\\X.EXE /a&b").c_str());
    text = Report(ReportStartup, "Sentrovia Startup Programs");
    EXPECT_EQ(1u, Count(text, "<li><b>Report &lt;b&gt;&amp;&quot;Co&quot;</b>\r\n\t<ol>a&amp;b&#39;c.exe<br>\r\n\t&lt;"
                              "script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; &#39;co&#39;<br>\tVersion: 1.0 &lt;b"
                              "&gt;<br>\r\n\tA&amp;B &quot;C&quot;<br>\r\n\tLocation: HKEY_CURRENT_USER\\")) << text;
    EXPECT_EQ(1u, Count(text, "program=a%26b%27c.exe&amp;vendor=Q%26A%20%3CLabs%3E&amp;version=1.0%20%3Cb%3E&amp;"));
    // Nothing can start a script or end an attribute early; long texts are
    // cut at whole entities and escapes, and every line keeps its markup.
    EXPECT_EQ(Count(text, "\"") + Count(text, "'"), 2 + 2 * (size_t)EntryCount);
    size_t item = text.find("<li><b>&amp;&amp;"), heading = text.find("</b>\r\n\t<ol>X.EXE /a&amp;b<br>\r\n", item);
    ASSERT_TRUE(item != std::string::npos && heading != std::string::npos && (heading - item - 7) % 5 == 0) << text;
    for (size_t at = item; at < text.find("</ol>", item); at = text.find("\r\n", at) + 2)
        EXPECT_LE(text.find("\r\n", at) - at, 511u);
    EXPECT_FALSE(std::regex_search(text, CutEscape));
}

TEST_F(InfoTest, ReportsThatCannotBeCreatedLoseNothingAndAreToldWithTheirPath)
{
    AddEntry("kept", "C:\\KEPT.EXE", "", 1, 0);
    HANDLE held = CreateFileA(report_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(0, WriteFullReportFile(ReportTasks, report_.c_str()) + WriteFullReportFile(7, report_.c_str()));
    CloseHandle(held);
    EXPECT_EQ("|kept", ReadFileBytes(report_) + "|" + EntryTitles()) << "nothing was collected";
    DeleteFileA(report_.c_str());
    // A folder of the report's name in the current folder.
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(previous), previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()) && CreateDirectoryA(report_.c_str(), nullptr));
    int result = -1;
    DialogSeen told = DialogShownBy(IDOK, [&] { result = WriteFullReport(ReportTasks); });
    EXPECT_TRUE(result == 0 && told.text.find("\n" + report_ + "\n") != std::string::npos) << told.text;
    EXPECT_TRUE(RemoveDirectoryA(report_.c_str())) << "still an empty folder";
    SetCurrentDirectoryA(previous);
    // The cookie report: each name on a line, its text right after.
    box_.File("Cookies\\joe@ads.txt", "id=1\nx\n");
    ASSERT_EQ(1, WriteCookieTextReportFile(report_.c_str()));
    EXPECT_EQ("joe@ads.txt\r\nid=1\r\nx\r\n\r\n\r\n", ReadFileBytes(report_));
}
