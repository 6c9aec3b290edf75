// The full HTML report, written for real and read back: the head, the date
// line, each item's lines and More Info link, the escaping of what other
// programs put in their names and version texts, and a file that cannot be
// created.
#include "info/info.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <regex>

#include <stdio.h>
#include <string.h>

namespace {

const char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char Location[] = "\tLocation: HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run<br>\r\n";
const char Tail[] = "</body></html>\r\n";

std::string Head(const std::string &heading)
{
    return "<html><head><title>\r\n" + heading + "</title></head>\r\n<body bgcolor=FloralWhite>\r\n"
           "<H2 align='center'> " + heading + " </H2>\r\n";
}

// One item as the report must write it; `query` follows "?program=".
std::string Item(const std::string &title, const std::string &name, const std::string &body,
                 const std::string &query)
{
    return "<li><b>" + title + "</b>\r\n\t<ol>" + name + "<br>\r\n" + body +
           "\t<A href='http://www.ostrelstudios.example/cgi-bin/proginfo.pl?program=" + query +
           "'>Click for More Info</A>\r\n\r\n\t</ol><br><br>\r\n\r\n";
}

std::string Query(const std::string &program, const char *vendor, const char *version, int type)
{
    return program + "&amp;vendor=" + vendor + "&amp;version=" + version +
           "&amp;userid=0&amp;build=4.0.2.4&amp;Type=" + std::to_string(type) + "&amp;Loc=en";
}

std::string EntryPathNamed(const char *fileName)
{
    char path[PathSize];
    for (int i = 0; i < EntryCount; ++i)
        if (GetEntryPath(i, path) && !lstrcmpiA(path + FileNamePart(path), fileName))
            return path;
    return "";
}

size_t Count(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class ReportTest : public testing::Test {
protected:
    void SetUp() override { file_ = MakeScratchDir("report") + "\\Report.html"; }
    void TearDown() override
    {
        for (const SavedRegValue &value : saved_)
            RestoreRegValue(value);
        ClearEntries();
        RemoveTree(TestDir() + "\\scratch\\report");
    }

    void AddRunValue(const std::string &name, const std::string &command)
    {
        saved_.push_back(SaveRegValue(HKEY_CURRENT_USER, RunKey, name.c_str()));
        ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, RunKey, name.c_str(), command.c_str()));
    }

    // Writes the report and checks its frame: the head, the date line of the
    // moment of writing (UTC, the minute padded with a blank), one item per
    // entry, and the end. Returns the document.
    std::string Write(int kind, const std::string &heading)
    {
        SYSTEMTIME times[2];
        GetSystemTime(&times[0]);
        EXPECT_EQ(1, WriteFullReportFile(kind, file_.c_str()));
        GetSystemTime(&times[1]);
        std::string text = ReadFileBytes(file_);
        dateLine_ = "?";
        for (const SYSTEMTIME &t : times) {
            char line[64];
            snprintf(line, sizeof(line), "<i>%d/%d/%d  %d:%c%d</i><br><br>\r\n", t.wMonth, t.wDay, t.wYear,
                     t.wHour, t.wMinute < 10 ? ' ' : (char)('0' + t.wMinute / 10), t.wMinute % 10);
            if (text.compare(Head(heading).size(), strlen(line), line) == 0)
                dateLine_ = line;
        }
        EXPECT_EQ(0u, text.find(Head(heading) + dateLine_)) << text.substr(0, 300);
        EXPECT_EQ(text.size() - strlen(Tail), text.rfind(Tail));
        EXPECT_EQ((size_t)EntryCount, Count(text, "<li><b>"));
        EXPECT_EQ((size_t)EntryCount, Count(text, "\t</ol><br><br>\r\n\r\n"));
        return text;
    }

    std::string file_, dateLine_;
    std::vector<SavedRegValue> saved_;
};

} // namespace

TEST_F(ReportTest, ActiveTasksReportListsEachProgramOnce)
{
    ChildPrograms children;
    ASSERT_TRUE(children.Start(FixturePath("task_spin.exe")));
    ASSERT_TRUE(children.Start(FixturePath("task_spin.exe")));
    ASSERT_TRUE(children.Start(FixturePath("task_bare.exe")));
    std::string text = Write(ReportTasks, "Sentrovia Active Tasks");

    // With version data, its two copies one item; the description piece has
    // no line end of its own.
    std::string spin = EntryPathNamed("TASK_SPIN.EXE"), bare = EntryPathNamed("TASK_BARE.EXE");
    std::string spinName = spin.substr(FileNamePart(spin.c_str()));
    std::string bareName = bare.substr(FileNamePart(bare.c_str()));
    EXPECT_EQ(1u, Count(text, Item("Task Spinner", spinName,
                                   "\tTask Spinner<br>\tVersion: 7.1.3<br>\r\n\t(c) Spinning Tops<br>\r\n"
                                   "\tPath:     " + spin + "<br>\r\n",
                                   Query(spinName, "Spinning%20Tops%20Ltd", "7.1.3", 1))))
        << text;
    // Without: the stand-in heading, no version lines, no location for a task.
    EXPECT_EQ(1u, Count(text, Item("No Description available", bareName, "\tPath:     " + bare + "<br>\r\n",
                                   Query(bareName, "", "", 1))))
        << text;
}

TEST_F(ReportTest, StartupReportEscapesWhatOthersWroteAndEncodesLinks)
{
    AddRunValue("Report Tool", "C:\\TOOLS\\APP.EXE /min");
    // A program whose title, file name and version texts carry markup.
    std::string evil = TestDir() + "\\scratch\\report\\a&b'c.exe";
    ASSERT_TRUE(CopyFileA(FixturePath("task_evil.exe").c_str(), evil.c_str(), FALSE));
    AddRunValue("Report <b>&\"Co\"", "\"" + evil + "\"");
    std::string text = Write(ReportStartup, "Sentrovia Startup Programs");

    // A command line with arguments names no file: no version lines, and the
    // whole rest of the line is the program value of the link.
    EXPECT_EQ(1u, Count(text, Item("Report Tool", "APP.EXE /min",
                                   Location + std::string("\tPath:     C:\\TOOLS\\APP.EXE /min<br>\r\n"),
                                   Query("APP.EXE%20%2Fmin", "", "", 0))))
        << text;

    std::string path;
    for (char c : EntryPathNamed("a&b'c.exe"))
        path += c == '&' ? "&amp;" : c == '\'' ? "&#39;" : std::string(1, c);
    EXPECT_EQ(1u, Count(text, Item("Report &lt;b&gt;&amp;&quot;Co&quot;", "a&amp;b&#39;c.exe",
                                   std::string("\t&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; "
                                               "&#39;co&#39;<br>\tVersion: 1.0 &lt;b&gt;<br>\r\n"
                                               "\tA&amp;B &quot;C&quot;<br>\r\n") +
                                       Location + "\tPath:     " + path + "<br>\r\n",
                                   Query("a%26b%27c.exe", "Q%26A%20%3CLabs%3E", "1.0%20%3Cb%3E", 0))))
        << text;
    // Nothing can start a script or end an attribute early: the only quotes
    // are the markup's own, two per item and two in the head.
    EXPECT_EQ(std::string::npos, text.find("<script"));
    EXPECT_EQ(0u, Count(text, "\""));
    EXPECT_EQ(2 + 2 * (size_t)EntryCount, Count(text, "'"));
}

TEST_F(ReportTest, EmptyCollectionGivesACompleteDocumentInPlaceOfTheLastOne)
{
    Write(ReportTasks, "Sentrovia Active Tasks");
    // Every Run-family value goes (a fresh Wine prefix starts winemenubuilder
    // from RunServices), to be put back by TearDown.
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS}) {
        for (const char *name : {"Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce"}) {
            std::string key = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\") + name;
            HKEY handle;
            if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | KEY_SET_VALUE, &handle) != ERROR_SUCCESS)
                continue;
            char value[16384];
            for (DWORD size = sizeof(value);
                 RegEnumValueA(handle, 0, value, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
                 size = sizeof(value)) {
                saved_.push_back(SaveRegValue(root, key.c_str(), value));
                if (RegDeleteValueA(handle, value) != ERROR_SUCCESS)
                    break;
            }
            RegCloseKey(handle);
        }
    }
    ASSERT_EQ(0, CollectStartupEntries()) << "this prefix has startup entries beyond the Run keys";
    std::string text = Write(ReportStartup, "Sentrovia Startup Programs");
    EXPECT_EQ(Head("Sentrovia Startup Programs") + dateLine_ + Tail, text);
}

TEST_F(ReportTest, FileThatCannotBeCreatedLosesNothing)
{
    AddEntry("kept", "C:\\KEPT.EXE", "", 1, 0);
    // Another program holds the file open without sharing; a kind that is
    // neither list writes nothing either.
    HANDLE held = CreateFileA(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(0, WriteFullReportFile(ReportTasks, file_.c_str()));
    CloseHandle(held);
    EXPECT_EQ(0, WriteFullReportFile(7, file_.c_str()));
    EXPECT_EQ("", ReadFileBytes(file_));
    ASSERT_EQ(1, EntryCount) << "nothing was collected";
    char title[TitleSize];
    GetEntryTitle(0, title);
    EXPECT_STREQ("kept", title);
}

TEST_F(ReportTest, ReportThatCannotBeCreatedIsToldWithItsPath)
{
    // Folders of the reports' names in the current folder.
    std::string folder = TestDir() + "\\scratch\\report";
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(previous), previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    const struct { const char *name; int (*write)(); } rows[] = {
        {"Report.html", [] { return WriteFullReport(ReportTasks); }},
        {"Report.txt", [] { return WriteCookieTextReport(); }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = folder + "\\" + row.name;
        ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
        int result = -1;
        DialogSeen told = DialogShownBy(IDOK, [&] { result = row.write(); });
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(told.shown);
        EXPECT_NE(told.text.find("\n" + path + "\n"), std::string::npos) << told.text;
        EXPECT_TRUE(RemoveDirectoryA(path.c_str())) << "still an empty folder";
    }
    SetCurrentDirectoryA(previous);
}

TEST_F(ReportTest, OverLongTextsAreCutWithTheirMarkupWhole)
{
    // A title of 127 ampersands escapes to 635 characters: more than a line.
    AddRunValue(std::string(127, '&'), "C:\\" + std::string(240, 'L') + "\\X.EXE /a&b");
    std::string text = Write(ReportStartup, "Sentrovia Startup Programs");
    size_t item = text.find("<li><b>&amp;&amp;");
    ASSERT_NE(std::string::npos, item) << text;
    size_t headingEnd = text.find("</b>\r\n\t<ol>X.EXE /a&amp;b<br>\r\n", item);
    ASSERT_NE(std::string::npos, headingEnd) << text;
    // Whole entities only, and every line within its 511 characters.
    EXPECT_EQ(0u, (headingEnd - item - 7) % 5);
    EXPECT_LE(text.find("<br>\r\n", item) + 6 - item, 511u);
    size_t path = text.find("\tPath:     C:\\LLL", item);
    ASSERT_NE(std::string::npos, path);
    EXPECT_LT(text.find("\r\n", path) - path, 511u);
    size_t link = text.find("\t<A href='", path);
    EXPECT_LT(text.find("\r\n", link) - link, 511u);
}

TEST_F(ReportTest, LongMoreInfoAddressIsCutAtAWholeEscapeAndKeepsItsEnd)
{
    // A 150-character file name with blanks and a company of 64 blanks: the
    // escaped address is longer than its line allows.
    std::string name;
    for (char c = 'a'; name.size() < 146; c = c == 'z' ? 'a' : (char)(c + 1))
        name += name.size() % 2 ? ' ' : c;
    name += ".exe";
    std::string program = TestDir() + "\\scratch\\report\\" + name;
    ASSERT_TRUE(CopyFileA(FixturePath("ver_blankco.exe").c_str(), program.c_str(), FALSE));
    AddRunValue("Long Name", "\"" + program + "\"");
    std::string text = Write(ReportStartup, "Sentrovia Startup Programs");

    size_t link = text.find("\t<A href='http://www.ostrelstudios.example/cgi-bin/proginfo.pl?program=a%20c%20e");
    ASSERT_NE(std::string::npos, link) << text;
    std::string line = text.substr(link, text.find("\r\n", link) + 2 - link);
    EXPECT_LE(line.size(), 511u);
    EXPECT_NE(std::string::npos, line.find("&amp;vendor=%20%20")) << line;
    EXPECT_NE(std::string::npos, line.find("&amp;userid=0&amp;build=4.0.2.4&amp;Type=0&amp;Loc=en'>")) << line;
    EXPECT_FALSE(std::regex_search(line, std::regex("%(?![0-9A-F]{2})"))) << line;
}
