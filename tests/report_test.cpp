// The full HTML report, written for real and read back: the head, the date
// line, each item's lines, the More Info link, the escaping of what other
// programs put in their names and version texts, and the failure to create.
#include "info/info.h"
#include "startup/startup.h"
#include "store/store.h"
#include "tasks/tasks.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <regex>
#include <string>
#include <vector>

namespace {

const char UserRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char UserRunLabel[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Head(const char *heading)
{
    return std::string("<html><head><title>\r\n") + heading +
           "</title></head>\r\n<body bgcolor=FloralWhite>\r\n<H2 align='center'> " + heading +
           " </H2>\r\n";
}

// The document cut into its head, its items and its end.
struct Report {
    std::string text;
    std::string head;
    std::string dateLine;
    std::vector<std::string> items;
    std::string end;

    explicit Report(const std::string &bytes) : text(bytes)
    {
        size_t date = text.find("<i>");
        size_t dateEnd = text.find("\r\n", date);
        if (date == std::string::npos || dateEnd == std::string::npos)
            return;
        head = text.substr(0, date);
        dateLine = text.substr(date, dateEnd + 2 - date);
        size_t at = dateEnd + 2;
        const std::string close = "\t</ol><br><br>\r\n\r\n";
        while (text.compare(at, 7, "<li><b>") == 0) {
            size_t stop = text.find(close, at);
            if (stop == std::string::npos)
                break;
            items.push_back(text.substr(at, stop + close.size() - at));
            at = stop + close.size();
        }
        end = text.substr(at);
    }

    // The one item whose second line names `fileName`; empty when none or many.
    std::string Item(const std::string &fileName) const
    {
        std::string found;
        int count = 0;
        for (const std::string &item : items) {
            size_t ol = item.find("\t<ol>");
            if (ol == std::string::npos)
                continue;
            size_t br = item.find("<br>\r\n", ol);
            std::string name = item.substr(ol + 5, br - ol - 5);
            if (lstrcmpiA(name.c_str(), fileName.c_str()) == 0) {
                found = item;
                ++count;
            }
        }
        return count == 1 ? found : std::string();
    }
};

// The link of an item: the address between href=' and the closing quote.
std::string LinkOf(const std::string &item)
{
    size_t start = item.find("\t<A href='");
    if (start == std::string::npos)
        return "";
    start += 10;
    size_t stop = item.find("'>Click for More Info</A>\r\n\r\n", start);
    return stop == std::string::npos ? "" : item.substr(start, stop - start);
}

// The item's lines between the file-name line and the link line.
std::string BodyOf(const std::string &item)
{
    size_t first = item.find("<br>\r\n");
    size_t link = item.find("\t<A href='");
    if (first == std::string::npos || link == std::string::npos)
        return "";
    return item.substr(first + 6, link - first - 6);
}

std::string EntryPathOf(const char *fileName)
{
    for (int i = 0; i < EntryCount; ++i) {
        char path[PathSize];
        GetEntryPath(i, path);
        if (lstrcmpiA(path + FileNamePart(path), fileName) == 0)
            return path;
    }
    return "";
}

std::string ReportPath()
{
    return TestDir() + "\\scratch\\report\\Report.html";
}

class ReportTest : public testing::Test {
protected:
    void SetUp() override { folder_ = MakeScratchDir("report"); }
    void TearDown() override
    {
        for (HANDLE h : children_)
            EndChildProcess(h);
        for (const std::string &name : runValues_) {
            HKEY key;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, UserRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, name.c_str());
                RegCloseKey(key);
            }
        }
        ClearEntries();
        RemoveTree(folder_);
    }

    // Starts a program and waits until the walk can read its file name.
    void Start(const std::string &path)
    {
        DWORD id = 0;
        HANDLE h = StartChildProcess(path, "300", &id);
        ASSERT_TRUE(h != nullptr) << path;
        children_.push_back(h);
        struct Find {
            DWORD id;
            bool named;
            static BOOL Step(DWORD processId, WORD, const char *name, LPARAM user)
            {
                Find *find = (Find *)user;
                if (processId == find->id && name && *name)
                    find->named = true;
                return TRUE;
            }
        };
        for (int attempt = 0; attempt < 200; ++attempt) {
            Find find = {id, false};
            EnumerateProcesses(Find::Step, (LPARAM)&find);
            if (find.named)
                return;
            Sleep(50);
        }
        FAIL() << "never named in the walk: " << path;
    }

    void AddRunValue(const char *name, const char *command)
    {
        ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, UserRunKey, name, command));
        runValues_.push_back(name);
    }

    Report Write(int kind)
    {
        SYSTEMTIME before = {};
        GetSystemTime(&before);
        EXPECT_EQ(1, WriteFullReportFile(kind, ReportPath().c_str()));
        SYSTEMTIME after = {};
        GetSystemTime(&after);
        Report report(ReadFileBytes(ReportPath()));
        // The date line is the time of writing, in UTC, the minute padded
        // with a blank.
        EXPECT_TRUE(report.dateLine == DateLine(before) || report.dateLine == DateLine(after))
            << report.dateLine;
        return report;
    }

    static std::string DateLine(const SYSTEMTIME &t)
    {
        char line[64];
        snprintf(line, sizeof(line), "<i>%d/%d/%d  %d:%c%d</i><br><br>\r\n", t.wMonth, t.wDay,
                 t.wYear, t.wHour, t.wMinute < 10 ? ' ' : (char)('0' + t.wMinute / 10),
                 t.wMinute % 10);
        return line;
    }

    std::string folder_;
    std::vector<HANDLE> children_;
    std::vector<std::string> runValues_;
};

} // namespace

TEST_F(ReportTest, ActiveTasksReportListsEachProgramOnce)
{
    Start(FixturePath("task_spin.exe"));
    Start(FixturePath("task_spin.exe"));
    Start(FixturePath("task_bare.exe"));

    Report report = Write(ReportTasks);
    EXPECT_EQ(Head("Sentrovia Active Tasks"), report.head);
    EXPECT_TRUE(std::regex_match(report.dateLine,
                                 std::regex("<i>\\d{1,2}/\\d{1,2}/\\d{4}  \\d{1,2}:[ 1-5]\\d</i><br><br>\r\n")))
        << report.dateLine;
    EXPECT_EQ("</body></html>\r\n", report.end);
    // The table holds what the report collected: one item per entry.
    EXPECT_EQ((size_t)EntryCount, report.items.size());

    // A program with version data, its two copies one item.
    std::string spinPath = EntryPathOf("TASK_SPIN.EXE");
    ASSERT_FALSE(spinPath.empty());
    std::string spinName = spinPath.substr(FileNamePart(spinPath.c_str()));
    std::string spin = report.Item(spinName);
    ASSERT_FALSE(spin.empty());
    EXPECT_EQ("<li><b>Task Spinner</b>\r\n\t<ol>" + spinName + "<br>\r\n", spin.substr(0, spin.find("<br>\r\n") + 6));
    // The description piece has no line end: the version shares its line.
    EXPECT_EQ("\tTask Spinner<br>\tVersion: 7.1.3<br>\r\n\t(c) Spinning Tops<br>\r\n\tPath:     " +
                  spinPath + "<br>\r\n",
              BodyOf(spin));
    std::string link = LinkOf(spin);
    EXPECT_EQ(0u, link.find("http://")) << link;
    EXPECT_NE(std::string::npos, link.find("?program=" + spinName + "&amp;vendor=Spinning%20Tops%20Ltd"
                                           "&amp;version=7.1.3&amp;userid=0&amp;build=4.0.2.4"
                                           "&amp;Type=1&amp;Loc=en"))
        << link;
    const std::string tail = "'>Click for More Info</A>\r\n\r\n\t</ol><br><br>\r\n\r\n";
    EXPECT_EQ(spin.size() - tail.size(), spin.rfind(tail)) << "the link line ends with an empty line";

    // A program without version data: the stand-in heading, no version lines.
    std::string barePath = EntryPathOf("TASK_BARE.EXE");
    std::string bareName = barePath.substr(FileNamePart(barePath.c_str()));
    std::string bare = report.Item(bareName);
    ASSERT_FALSE(bare.empty());
    EXPECT_EQ(0u, bare.find("<li><b>No Description available</b>\r\n"));
    EXPECT_EQ("\tPath:     " + barePath + "<br>\r\n", BodyOf(bare)) << "no location for a task";
    EXPECT_NE(std::string::npos, LinkOf(bare).find("&amp;vendor=&amp;version=&amp;userid="));
}

TEST_F(ReportTest, TextsFromOtherProgramsAreEscaped)
{
    // A program whose file name and version texts carry markup characters.
    std::string copy = folder_ + "\\a&b'c.exe";
    ASSERT_TRUE(CopyFileA(FixturePath("task_evil.exe").c_str(), copy.c_str(), FALSE));
    Start(copy);

    Report report = Write(ReportTasks);
    std::string path = EntryPathOf("a&b'c.exe");
    ASSERT_FALSE(path.empty());
    std::string item = report.Item("a&amp;b&#39;c.exe");
    ASSERT_FALSE(item.empty()) << report.text;
    EXPECT_EQ(0u, item.find("<li><b>&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; "
                            "&#39;co&#39;</b>\r\n"))
        << item;
    std::string escapedPath;
    for (char c : path)
        escapedPath += c == '&' ? "&amp;" : c == '\'' ? "&#39;" : std::string(1, c);
    EXPECT_EQ("\t&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; &#39;co&#39;<br>"
              "\tVersion: 1.0 &lt;b&gt;<br>\r\n"
              "\tA&amp;B &quot;C&quot;<br>\r\n"
              "\tPath:     " + escapedPath + "<br>\r\n",
              BodyOf(item));
    // Query values are percent-encoded, the address escaped as an attribute.
    std::string link = LinkOf(item);
    CharLowerA(&link[0]);
    EXPECT_NE(std::string::npos,
              link.find("?program=a%26b%27c.exe&amp;vendor=q%26a%20%3clabs%3e&amp;version=1.0%20%3cb%3e"))
        << link;

    // Nothing in the document can start a script or end an attribute early.
    EXPECT_EQ(std::string::npos, report.text.find("<script"));
    EXPECT_EQ(std::string::npos, report.text.find('"'));
    size_t quotes = 0;
    for (char c : report.text)
        quotes += c == '\'';
    EXPECT_EQ(2 + 2 * report.items.size(), quotes) << "only the markup's own quotes";
}

TEST_F(ReportTest, StartupReportShowsLocationsAndCommandLines)
{
    AddRunValue("Report Tool", "C:\\TOOLS\\APP.EXE /min");
    std::string spin = FixturePath("task_spin.exe");
    AddRunValue("Report Spinner", ("\"" + spin + "\"").c_str());
    AddRunValue("Report <b>&\"Co\"", "C:\\TOOLS\\CO.EXE");

    Report report = Write(ReportStartup);
    EXPECT_EQ(Head("Sentrovia Startup Programs"), report.head);
    EXPECT_EQ("</body></html>\r\n", report.end);

    // A command line with arguments names no file: no version lines, and the
    // whole rest of the line is the program value of the link.
    std::string tool = report.Item("APP.EXE /min");
    ASSERT_FALSE(tool.empty()) << report.text;
    EXPECT_EQ(0u, tool.find("<li><b>Report Tool</b>\r\n\t<ol>APP.EXE /min<br>\r\n"));
    EXPECT_EQ(std::string("\tLocation: ") + UserRunLabel + "<br>\r\n\tPath:     C:\\TOOLS\\APP.EXE /min<br>\r\n",
              BodyOf(tool));
    std::string link = LinkOf(tool);
    EXPECT_NE(std::string::npos,
              link.find("?program=APP.EXE%20%2Fmin&amp;vendor=&amp;version=&amp;userid=0&amp;"
                        "build=4.0.2.4&amp;Type=0&amp;Loc=en"))
        << link;

    // A program file with version data, read from the path as stored.
    std::string spinName = spin.substr(FileNamePart(spin.c_str()));
    std::string spinner = report.Item(spinName);
    ASSERT_FALSE(spinner.empty()) << report.text;
    EXPECT_EQ(0u, spinner.find("<li><b>Report Spinner</b>\r\n"));
    EXPECT_NE(std::string::npos, BodyOf(spinner).find("\tTask Spinner<br>\tVersion: 7.1.3<br>\r\n\t(c) Spinning Tops<br>\r\n\tLocation: "));
    EXPECT_NE(std::string::npos, LinkOf(spinner).find("&amp;vendor=Spinning%20Tops%20Ltd&amp;version=7.1.3&amp;"));

    // A registry value name with markup in it.
    std::string co = report.Item("CO.EXE");
    ASSERT_FALSE(co.empty());
    EXPECT_EQ(0u, co.find("<li><b>Report &lt;b&gt;&amp;&quot;Co&quot;</b>\r\n")) << co;
}

namespace {

// A registry value taken away for a test and put back afterwards.
struct SavedValue {
    HKEY root;
    std::string key, name;
    DWORD type;
    std::vector<BYTE> data;
};

const HKEY RunRoots[3] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS};
const char *const RunNames[5] = {"Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce"};

// Takes every value of the Run-family keys away (a fresh Wine prefix starts
// winemenubuilder from RunServices), remembering each for RestoreValues.
std::vector<SavedValue> TakeRunValues()
{
    std::vector<SavedValue> saved;
    for (HKEY root : RunRoots) {
        for (const char *name : RunNames) {
            std::string key = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\") + name;
            HKEY handle;
            if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | KEY_SET_VALUE, &handle) != ERROR_SUCCESS)
                continue;
            for (;;) {
                char valueName[16384];
                DWORD nameSize = sizeof(valueName);
                DWORD type = 0, size = 0;
                if (RegEnumValueA(handle, 0, valueName, &nameSize, nullptr, &type, nullptr, &size) !=
                    ERROR_SUCCESS)
                    break;
                SavedValue value = {root, key, valueName, type, std::vector<BYTE>(size + 1)};
                RegQueryValueExA(handle, valueName, nullptr, nullptr, value.data.data(), &size);
                value.data.resize(size);
                if (RegDeleteValueA(handle, valueName) != ERROR_SUCCESS)
                    break;
                saved.push_back(value);
            }
            RegCloseKey(handle);
        }
    }
    return saved;
}

void RestoreValues(const std::vector<SavedValue> &saved)
{
    for (const SavedValue &value : saved) {
        HKEY handle;
        if (RegOpenKeyExA(value.root, value.key.c_str(), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS)
            continue;
        RegSetValueExA(handle, value.name.c_str(), 0, value.type, value.data.data(),
                       (DWORD)value.data.size());
        RegCloseKey(handle);
    }
}

} // namespace

TEST_F(ReportTest, EmptyCollectionGivesACompleteDocument)
{
    std::vector<SavedValue> saved = TakeRunValues();
    ClearEntries();
    int count = CollectStartupEntries();
    Report report = Write(ReportStartup);
    RestoreValues(saved);

    ASSERT_EQ(0, count) << "this prefix has startup entries beyond the Run keys";
    EXPECT_EQ(Head("Sentrovia Startup Programs"), report.head);
    EXPECT_TRUE(report.items.empty());
    EXPECT_EQ("</body></html>\r\n", report.end);
    EXPECT_EQ(report.head + report.dateLine + report.end, report.text);
    // The values are back where they were.
    for (const SavedValue &value : saved)
        EXPECT_TRUE(RegValueExists(value.root, value.key.c_str(), value.name.c_str())) << value.name;
}

TEST_F(ReportTest, SecondReportReplacesTheFirst)
{
    AddRunValue("Report Once", "C:\\TOOLS\\ONCE.EXE");
    Write(ReportStartup);
    std::string first = ReadFileBytes(ReportPath());
    ASSERT_NE(std::string::npos, first.find("ONCE.EXE"));
    Report second = Write(ReportTasks);
    EXPECT_EQ(Head("Sentrovia Active Tasks"), second.head);
    EXPECT_EQ(std::string::npos, second.text.find("ONCE.EXE"));
    EXPECT_EQ(second.text.find("<html>"), second.text.rfind("<html>"));
}

TEST_F(ReportTest, FileThatCannotBeCreatedStopsBeforeCollecting)
{
    // Another program holds the file open without sharing.
    HANDLE held = CreateFileA(ReportPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ClearEntries();
    AddEntry("kept", "C:\\KEPT.EXE", "", 1, 0);
    EXPECT_EQ(0, WriteFullReportFile(ReportTasks, ReportPath().c_str()));
    EXPECT_EQ(1, EntryCount) << "nothing was collected";
    char title[TitleSize];
    GetEntryTitle(0, title);
    EXPECT_STREQ("kept", title);
    CloseHandle(held);
    EXPECT_EQ("", ReadFileBytes(ReportPath()));

    // A kind that is neither list writes nothing.
    EXPECT_EQ(0, WriteFullReportFile(7, ReportPath().c_str()));
    EXPECT_EQ(1, EntryCount);
}

TEST_F(ReportTest, OverLongTextsAreCutWithTheirMarkupWhole)
{
    // A title of 127 ampersands escapes to 635 characters: more than a line.
    std::string title(127, '&');
    std::string command = "C:\\" + std::string(240, 'L') + "\\X.EXE /a&b";
    AddRunValue(title.c_str(), command.c_str());
    Report report = Write(ReportStartup);
    EXPECT_EQ("</body></html>\r\n", report.end);
    std::string item;
    for (const std::string &candidate : report.items)
        if (candidate.find("<li><b>&amp;&amp;") == 0)
            item = candidate;
    ASSERT_FALSE(item.empty()) << report.text;
    size_t headingEnd = item.find("</b>\r\n\t<ol>X.EXE /a&amp;b<br>\r\n");
    ASSERT_NE(std::string::npos, headingEnd) << item;
    // Whole entities only, and the heading line within its 511 characters.
    std::string heading = item.substr(7, headingEnd - 7);
    EXPECT_EQ(0u, heading.size() % 5);
    EXPECT_LE(item.find("<br>\r\n") + 6, 511u);
    EXPECT_NE(std::string::npos, item.find("\tPath:     C:\\LLL"));
    for (const std::string &line : {BodyOf(item), LinkOf(item)})
        EXPECT_LT(line.size(), 512u);
}
