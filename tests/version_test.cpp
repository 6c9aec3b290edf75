// Version resources of program files, built by windres into the ver_*
// fixtures, and the path functions that find the program file to read.
#include "info/info.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Fields;
const Fields Empty(5);

// The five fields after a read into a record scribbled over first, so that a
// field left unset shows (as 128 x's).
Fields Read(const char *path, bool expected)
{
    VersionInfo info;
    memset(&info, 'x', sizeof(info));
    EXPECT_EQ(ReadVersionInfo(path, &info), expected) << (path ? path : "(null)");
    Fields fields;
    for (const char *field : {info.ProductName, info.ProductVersion, info.CompanyName,
                              info.FileDescription, info.LegalCopyright})
        fields.push_back(std::string(field, strnlen(field, VersionFieldSize)));
    return fields;
}

// What the system reports for the whole resource, for one value of 0409/04E4,
// or for a whole query.
UINT Reported(const std::string &path, const char *key = nullptr)
{
    static char block[16384];
    if (!key)
        return GetFileVersionInfoSizeA(path.c_str(), nullptr);
    void *value = nullptr;
    UINT length = 0;
    std::string query = key[0] == '\\' ? key : "\\StringFileInfo\\040904e4\\" + std::string(key);
    return GetFileVersionInfoA(path.c_str(), 0, sizeof(block), block) &&
           VerQueryValueA(block, query.c_str(), &value, &length) ? length : 0;
}

} // namespace

TEST(ReadVersionInfoTest, LastTranslationWithAProductNameDecidesEveryFieldWithinTheLimits)
{
    std::string limits = FixturePath("ver_limits.exe");
    ASSERT_EQ(Reported(limits, "CompanyName"), 127u);
    ASSERT_EQ(Reported(limits, "FileDescription"), 128u);
    ASSERT_EQ(Reported(limits, "LegalCopyright"), 129u);
    const std::string abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::string company = (abc + abc + abc + abc + abc).substr(0, 126);
    // The system reports even sizes only: 4094 is the largest one accepted.
    ASSERT_EQ(Reported(FixturePath("ver_size4094.exe")), 4094u);
    ASSERT_EQ(Reported(FixturePath("ver_size4096.exe")), 4096u);
    // A length past the block read: the pair loop must not follow it.
    ASSERT_EQ(Reported(FixturePath("ver_translie.exe"), "\\VarFileInfo\\Translation"), 0xFFF0u);
    char self[MAX_PATH], winIni[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    GetWindowsDirectoryA(winIni, sizeof(winIni));
    const struct { std::string path; bool ok; Fields fields; } rows[] = {
        {self, true, {"Sentrovia", "4.0.2.4", "Ostrel Studios", "Sentrovia Windows Watch Dog",
                      "Copyright (c) 2026 Ostrel Studios"}},
        // Neither the user's language nor the numeric order of the pairs counts.
        {FixturePath("ver_pairs.exe"), true,
         {"Paare Deutsch", "1.0 de", "Deutsche Firma", "Deutsche Beschreibung", ""}},
        {limits, true, {"Limits", "1.2", company, "", ""}},
        {FixturePath("ver_size4094.exe"), true, {"P", "", "", "", ""}},
        {FixturePath("ver_size4096.exe"), false, Empty},
        {FixturePath("ver_translie.exe"), false, Empty},
        {FixturePath("ver_noname.exe"), false, Empty},
        {FixturePath("ver_notrans.exe"), false, Empty},
        {FixturePath("ver_pairs.exe") + " /min", false, Empty},
        {FixturePath("missing.exe"), false, Empty},
        {winIni + std::string("\\win.ini"), false, Empty},
        {"", false, Empty},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Read(row.path.c_str(), row.ok), row.fields) << row.path;
    EXPECT_EQ(Read(nullptr, false), Empty);
}

TEST(ProgramFileFromCommandTest, CommandLinesAndPathsGiveTheUpperCaseProgramFile)
{
    char dir[MAX_PATH] = "";
    ASSERT_GT(GetWindowsDirectoryA(dir, sizeof(dir)), 0u);
    const std::string windows = CharUpperA(dir);
    const struct { std::string text, file; } rows[] = {
        {"\"C:\\Program Files\\App\\app.exe\" /min", "C:\\PROGRAM FILES\\APP\\APP.EXE"},
        {"c:\\windows\\notepad.exe readme.txt", "C:\\WINDOWS\\NOTEPAD.EXE"},
        {"rundll32.exe shell32.dll,Control_RunDLL", "RUNDLL32.EXE"},
        {"C:\\Startup\\Tool.lnk", "C:\\STARTUP\\TOOL.LNK"},
        {"some words, no path", "SOME WORDS, NO PATH"},
        // Only an X two places after a dot, or an L right after it, ends the name.
        {"C:\\RUN.BAT /x", "C:\\RUN.BAT /X"}, {"C:\\TOOLS\\APP.EX", "C:\\TOOLS\\APP.EX"},
        {"C:\\DATA.LIB\\APP.EXE", "C:\\DATA.LIB"}, {"C:\\A.E", "C:\\A.E"},
        {"\\??\\C:\\WINNT\\system32\\csrss.exe", "C:\\WINNT\\SYSTEM32\\CSRSS.EXE"},
        {"\\SystemRoot\\System32\\smss.exe", windows + "\\SYSTEM32\\SMSS.EXE"},
        {"\\systemroot\\system32\\lsass.exe", windows + "\\SYSTEM32\\LSASS.EXE"}, {"\\SystemRoot", windows},
        // The result begins at the drive letter of the last colon.
        {"x D:\\a C:\\b.exe", "C:\\B.EXE"}, {":abc", ":ABC"}, {"\\\\?\\C:\\x\\y.exe", "C:\\X\\Y.EXE"},
        {"", ""},
        // A long command line is cut to the caller's buffer, never overflows.
        {"C:\\" + std::string(2000, 'd') + "\\app.exe", "C:\\" + std::string(256, 'D')},
    };
    for (const auto &row : rows) {
        char file[PathSize + 4];
        memset(file, '#', sizeof(file));
        EXPECT_EQ(ProgramFileFromCommand(row.text.c_str(), file, PathSize), (int)row.file.size()) << row.text;
        EXPECT_EQ(std::string(file), row.file) << row.text;
        EXPECT_EQ(file[PathSize], '#');
    }
    char small[8 + 4] = "x";
    EXPECT_EQ(ProgramFileFromCommand(nullptr, small, 8), 0);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(ProgramFileFromCommand("c:\\windows\\notepad.exe", small, 8), 7);
    EXPECT_STREQ(small, "C:\\WIND");

    // A module path is a file name already: used whole, kernel forms still resolved.
    const struct { std::string text, file; } modules[] = {
        {"C:\\Data.lib\\app.exe", "C:\\DATA.LIB\\APP.EXE"},
        {"\\??\\c:\\x\\sub.log\\gamma.exe", "C:\\X\\SUB.LOG\\GAMMA.EXE"},
        {"\\SystemRoot\\my.lib\\a.exe", windows + "\\MY.LIB\\A.EXE"},
    };
    for (const auto &row : modules) {
        char file[PathSize];
        EXPECT_EQ(ProgramFileFromModule(row.text.c_str(), file, sizeof(file)), (int)row.file.size());
        EXPECT_EQ(std::string(file), row.file);
    }
}

TEST(FileNamePartTest, IndexAfterTheLastBackslashFromTheSecondCharacterOn)
{
    const struct { const char *path; int index; } rows[] = {
        {"C:\\WINDOWS\\NOTEPAD.EXE", 11}, {"C:\\APP.EXE", 3}, {"C:\\DIR\\", 7}, {"a\\b", 2},
        {"\\\\", 2}, {"NOTEPAD.EXE", 0}, {"\\NOTEPAD.EXE", 0}, {"\\", 0}, {"", 0},
    };
    for (const auto &row : rows)
        EXPECT_EQ(FileNamePart(row.path), row.index) << row.path;
}

TEST(OwnProductVersionTest, ReadsTheProgramsVersionCutToTheBuffer)
{
    char buffer[VersionFieldSize] = "#######";
    EXPECT_EQ(OwnProductVersion(buffer, sizeof(buffer)), 7);
    EXPECT_STREQ(buffer, "4.0.2.4");
    memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(OwnProductVersion(buffer, 4), 3);
    EXPECT_EQ(std::string(buffer, 5), std::string("4.0\0#", 5));
}
