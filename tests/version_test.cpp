// Version resources of program files, built by windres into the ver_*
// fixtures, and the path functions that find the program file to read.
#include "info/info.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

// A record with every field filled, so that a cleared field shows.
VersionInfo Scribbled()
{
    VersionInfo info;
    memset(&info, 'x', sizeof(info));
    info.ProductName[VersionFieldSize - 1] = '\0';
    info.ProductVersion[VersionFieldSize - 1] = '\0';
    info.CompanyName[VersionFieldSize - 1] = '\0';
    info.FileDescription[VersionFieldSize - 1] = '\0';
    info.LegalCopyright[VersionFieldSize - 1] = '\0';
    return info;
}

void ExpectAllEmpty(const VersionInfo &info)
{
    EXPECT_STREQ(info.ProductName, "");
    EXPECT_STREQ(info.ProductVersion, "");
    EXPECT_STREQ(info.CompanyName, "");
    EXPECT_STREQ(info.FileDescription, "");
    EXPECT_STREQ(info.LegalCopyright, "");
}

DWORD ReportedSize(const std::string &path)
{
    DWORD handle = 0;
    return GetFileVersionInfoSizeA(path.c_str(), &handle);
}

// The length the system reports for one value of translation 0409/04E4.
UINT ReportedLength(const std::string &path, const char *key)
{
    static char block[16384];
    if (!GetFileVersionInfoA(path.c_str(), 0, sizeof(block), block))
        return 0;
    std::string query = std::string("\\StringFileInfo\\040904e4\\") + key;
    void *value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block, query.c_str(), &value, &length))
        return 0;
    return length;
}

std::string Upper(std::string text)
{
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return text;
}

std::string ProgramFile(const char *text, size_t size = 1024)
{
    char buffer[1024];
    int length = ProgramFileFromCommand(text, buffer, size);
    EXPECT_EQ(length, (int)strlen(buffer)) << text;
    return buffer;
}

} // namespace

// ---------------------------------------------------------------------------
// ReadVersionInfo.

TEST(ReadVersionInfoTest, ReadsTheProgramsOwnResource)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    VersionInfo info = Scribbled();
    EXPECT_TRUE(ReadVersionInfo(self, &info));
    EXPECT_STREQ(info.ProductName, "Sentrovia");
    EXPECT_STREQ(info.ProductVersion, "4.0.2.4");
    EXPECT_STREQ(info.CompanyName, "Ostrel Studios");
    EXPECT_STREQ(info.FileDescription, "Sentrovia Windows Watch Dog");
    EXPECT_STREQ(info.LegalCopyright, "Copyright (c) 2026 Ostrel Studios");
}

TEST(ReadVersionInfoTest, LastTranslationWithAProductNameDecidesEveryField)
{
    VersionInfo info = Scribbled();
    EXPECT_TRUE(ReadVersionInfo(FixturePath("ver_pairs.exe").c_str(), &info));
    // Stored German second: neither the user's language nor the numeric
    // order of the pairs counts.
    EXPECT_STREQ(info.ProductName, "Paare Deutsch");
    EXPECT_STREQ(info.ProductVersion, "1.0 de");
    EXPECT_STREQ(info.CompanyName, "Deutsche Firma");
    EXPECT_STREQ(info.FileDescription, "Deutsche Beschreibung");
    EXPECT_STREQ(info.LegalCopyright, "");
}

TEST(ReadVersionInfoTest, TranslationWithoutProductNameChangesNothing)
{
    VersionInfo info = Scribbled();
    EXPECT_TRUE(ReadVersionInfo(FixturePath("ver_skip.exe").c_str(), &info));
    EXPECT_STREQ(info.ProductName, "Skip English");
    EXPECT_STREQ(info.ProductVersion, "3.1");
    EXPECT_STREQ(info.CompanyName, "English Company");
    EXPECT_STREQ(info.FileDescription, "English description");
    EXPECT_STREQ(info.LegalCopyright, "English copyright");
}

TEST(ReadVersionInfoTest, NoProductNameAnywhereGivesNothing)
{
    VersionInfo info = Scribbled();
    EXPECT_FALSE(ReadVersionInfo(FixturePath("ver_noname.exe").c_str(), &info));
    ExpectAllEmpty(info);
}

TEST(ReadVersionInfoTest, NoTranslationTableGivesNothing)
{
    VersionInfo info = Scribbled();
    EXPECT_FALSE(ReadVersionInfo(FixturePath("ver_notrans.exe").c_str(), &info));
    ExpectAllEmpty(info);
}

TEST(ReadVersionInfoTest, ValuesReportedAt128OrMoreAreLeftEmpty)
{
    std::string path = FixturePath("ver_limits.exe");
    ASSERT_EQ(ReportedLength(path, "CompanyName"), 127u);
    ASSERT_EQ(ReportedLength(path, "FileDescription"), 128u);
    ASSERT_EQ(ReportedLength(path, "LegalCopyright"), 129u);

    VersionInfo info = Scribbled();
    EXPECT_TRUE(ReadVersionInfo(path.c_str(), &info));
    EXPECT_STREQ(info.ProductName, "Limits");
    EXPECT_STREQ(info.ProductVersion, "1.2");
    std::string company;
    for (int i = 0; i < 126; ++i)
        company += (char)('A' + i % 26);
    EXPECT_EQ(std::string(info.CompanyName), company);
    EXPECT_STREQ(info.FileDescription, "");
    EXPECT_STREQ(info.LegalCopyright, "");
}

TEST(ReadVersionInfoTest, ResourceSizeLimit)
{
    // The system reports even sizes only: 4094 is the largest one accepted.
    std::string accepted = FixturePath("ver_size4094.exe");
    std::string refused = FixturePath("ver_size4096.exe");
    ASSERT_EQ(ReportedSize(accepted), 4094u);
    ASSERT_EQ(ReportedSize(refused), 4096u);

    VersionInfo info = Scribbled();
    EXPECT_TRUE(ReadVersionInfo(accepted.c_str(), &info));
    EXPECT_STREQ(info.ProductName, "P");
    EXPECT_STREQ(info.CompanyName, "");

    info = Scribbled();
    EXPECT_FALSE(ReadVersionInfo(refused.c_str(), &info));
    ExpectAllEmpty(info);
}

TEST(ReadVersionInfoTest, WhatNamesNoVersionedFileGivesNothing)
{
    std::string folder = MakeScratchDir("version");
    std::string text = folder + "\\plain.exe";
    ASSERT_TRUE(WriteFileBytes(text, "not a program"));
    const std::string paths[] = {
        text,
        folder + "\\missing.exe",
        FixturePath("ver_pairs.exe") + " /min",
        "",
    };
    for (const auto &path : paths) {
        VersionInfo info = Scribbled();
        EXPECT_FALSE(ReadVersionInfo(path.c_str(), &info)) << path;
        ExpectAllEmpty(info);
    }
    VersionInfo info = Scribbled();
    EXPECT_FALSE(ReadVersionInfo(nullptr, &info));
    ExpectAllEmpty(info);
    RemoveTree(folder);
}

// ---------------------------------------------------------------------------
// ProgramFileFromCommand.

TEST(ProgramFileFromCommandTest, CommandLinesAndPaths)
{
    EXPECT_EQ(ProgramFile("\"C:\\Program Files\\App\\app.exe\" /min"), "C:\\PROGRAM FILES\\APP\\APP.EXE");
    EXPECT_EQ(ProgramFile("c:\\windows\\notepad.exe readme.txt"), "C:\\WINDOWS\\NOTEPAD.EXE");
    EXPECT_EQ(ProgramFile("rundll32.exe shell32.dll,Control_RunDLL"), "RUNDLL32.EXE");
    EXPECT_EQ(ProgramFile("C:\\Startup\\Tool.lnk"), "C:\\STARTUP\\TOOL.LNK");
    EXPECT_EQ(ProgramFile("some words, no path"), "SOME WORDS, NO PATH");
    // .BAT and .TXT do not end the file name; only an X two places after the
    // dot or an L right after it do.
    EXPECT_EQ(ProgramFile("C:\\RUN.BAT /x"), "C:\\RUN.BAT /X");
    EXPECT_EQ(ProgramFile("C:\\TOOLS\\APP.EX"), "C:\\TOOLS\\APP.EX");
    EXPECT_EQ(ProgramFile("C:\\DATA.LIB\\APP.EXE"), "C:\\DATA.LIB");
    EXPECT_EQ(ProgramFile("C:\\A.E"), "C:\\A.E");
}

TEST(ProgramFileFromCommandTest, KernelStylePaths)
{
    EXPECT_EQ(ProgramFile("\\??\\C:\\WINNT\\system32\\csrss.exe"), "C:\\WINNT\\SYSTEM32\\CSRSS.EXE");
    char windows[1024] = "";
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof(windows)), 0u);
    EXPECT_EQ(ProgramFile("\\SystemRoot\\System32\\smss.exe"),
              Upper(windows) + "\\SYSTEM32\\SMSS.EXE");
    EXPECT_EQ(ProgramFile("\\systemroot\\system32\\winlogon.exe"),
              Upper(windows) + "\\SYSTEM32\\WINLOGON.EXE");
    EXPECT_EQ(ProgramFile("\\SystemRoot"), Upper(windows));
}

TEST(ProgramFileFromCommandTest, ResultBeginsAtTheDriveOfTheLastColon)
{
    EXPECT_EQ(ProgramFile("x D:\\a C:\\b.exe"), "C:\\B.EXE");
    EXPECT_EQ(ProgramFile(":abc"), ":ABC");
    EXPECT_EQ(ProgramFile("\\\\?\\C:\\x\\y.exe"), "C:\\X\\Y.EXE");
}

TEST(ProgramFileFromCommandTest, EmptyTextAndSmallBuffers)
{
    char buffer[16];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(ProgramFileFromCommand("", buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "");
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(ProgramFileFromCommand(nullptr, buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "");

    char small[8 + 4];
    memset(small, '#', sizeof(small));
    EXPECT_EQ(ProgramFileFromCommand("c:\\windows\\notepad.exe", small, 8), 7);
    EXPECT_STREQ(small, "C:\\WIND");
    EXPECT_EQ(small[8], '#');

    // A long command line is cut, never overflows.
    std::string longCommand = "C:\\" + std::string(2000, 'd') + "\\app.exe";
    char path[PathSize];
    EXPECT_EQ(ProgramFileFromCommand(longCommand.c_str(), path, sizeof(path)), 259);
    EXPECT_EQ(std::string(path), "C:\\" + std::string(256, 'D'));
}

// ---------------------------------------------------------------------------
// FileNamePart and OwnProductVersion.

TEST(FileNamePartTest, IndexAfterTheLastBackslash)
{
    EXPECT_EQ(FileNamePart("C:\\WINDOWS\\NOTEPAD.EXE"), 11);
    EXPECT_EQ(FileNamePart("C:\\APP.EXE"), 3);
    EXPECT_EQ(FileNamePart("C:\\DIR\\"), 7);
    EXPECT_EQ(FileNamePart("a\\b"), 2);
    EXPECT_EQ(FileNamePart("\\\\"), 2);
    // No backslash, or only one in front: the whole text is the name.
    EXPECT_EQ(FileNamePart("NOTEPAD.EXE"), 0);
    EXPECT_EQ(FileNamePart("\\NOTEPAD.EXE"), 0);
    EXPECT_EQ(FileNamePart("\\"), 0);
    EXPECT_EQ(FileNamePart(""), 0);
}

TEST(OwnProductVersionTest, ReadsTheProgramsVersion)
{
    char buffer[VersionFieldSize];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(OwnProductVersion(buffer, sizeof(buffer)), 7);
    EXPECT_STREQ(buffer, "4.0.2.4");

    char small[4 + 4];
    memset(small, '#', sizeof(small));
    EXPECT_EQ(OwnProductVersion(small, 4), 3);
    EXPECT_STREQ(small, "4.0");
    EXPECT_EQ(small[4], '#');
}
