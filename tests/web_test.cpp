// The web page opener: which windows count as a running AOL client, the
// client's command lines from WIN.INI [WAOL] AppPath, and the two ways an
// address is handed over (the client's command line, or the shell).
#include "app/app.h"
#include "sheet_fakeaol.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string>

TEST(WebPageOpener, RecognisesOnlyTheFiveClientWindows)
{
    ASSERT_EQ(FindAolWindow(), nullptr);
    const struct { const char *className, *title; bool client; } windows[] = {
        {"AOL Frame", "America Online", false}, {"AOL Frame", "AOL", false},
        {"AOL Frame26", "AOL", false}, {"AOL Frame25", "AOL Online", false},
        {"AOL Frame25", "America  Online", true}, {"AOL Frame25", "America Online", true},
        {"AOL Frame25", "AOL", true}, {"AOL Frame25", "AOL Canada", true},
        {"AOL Frame", "America  Online", true}};
    for (const auto &w : windows) {
        HWND window = MakeTopWindow(w.className, w.title);
        EXPECT_EQ(FindAolWindow(), w.client ? window : nullptr) << w.className << "/" << w.title;
        DestroyWindow(window);
    }
    // Several at once: the first pair of the list wins.
    HWND several[] = {MakeTopWindow("AOL Frame", "America  Online"),
                      MakeTopWindow("AOL Frame25", "AOL Canada"),
                      MakeTopWindow("AOL Frame25", "America Online")};
    EXPECT_EQ(FindAolWindow(), several[2]);
    for (HWND window : several)
        DestroyWindow(window);
}

TEST(WebPageOpener, HandsTheAddressToARunningClientPlainOrQuoted)
{
    FakeAol aol;
    const char address[] = "http://www.example.com/a?b=c d&e=f";
    const std::string plain = std::string(" -u") + address;
    const std::string quoted = std::string(" -u\"") + address + "\"";
    // Without AppPath the client is looked for on the search path.
    const struct { bool appPath; int quoted; std::string line; } rows[] = {
        {true, 0, aol.folder + "\\WAOL.EXE" + plain}, {true, 1, aol.folder + "\\WAOL.EXE" + quoted},
        {false, 0, "waol.exe" + plain}, {false, 1, "waol.exe" + quoted}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.line);
        WriteProfileStringA("WAOL", "AppPath", row.appPath ? aol.folder.c_str() : nullptr);
        char line[2048];
        EXPECT_EQ(BuildAolCommand(address, row.quoted, line, sizeof(line)), (int)row.line.size());
        EXPECT_EQ(line, row.line);
        if (row.appPath) {
            EXPECT_GT(OpenWebPage(address, row.quoted), 31);
            EXPECT_EQ(aol.TakeCommandLine(), row.line);
        }
    }
    // A small buffer cuts the line and is never overrun.
    char small[17];
    small[16] = 'z';
    EXPECT_EQ(BuildAolCommand(address, 1, small, 16), 15);
    EXPECT_EQ(std::string(small), "waol.exe -u\"htt");
    EXPECT_EQ(small[16], 'z');
}

TEST(WebPageOpener, AFailedStartIsReportedAndOnlyWithoutAClientTheShellOpens)
{
    // A program file stands in for the address, so that what the shell's
    // "open" does can be seen without a browser.
    FakeAol aol;
    std::string program = aol.folder + "\\opened.exe";
    ASSERT_TRUE(MoveFileA((aol.folder + "\\WAOL.EXE").c_str(), program.c_str()));
    // The client's window is there but not its program: the failure comes
    // back to the caller, and the shell is not tried instead.
    EXPECT_LE(OpenWebPage(program.c_str(), 0), 31);
    EXPECT_EQ(aol.TakeCommandLine(500), "<missing>");
    DestroyWindow(aol.window);
    EXPECT_GT(OpenWebPage(program.c_str(), 0), 31);
    EXPECT_NE(aol.TakeCommandLine().find("opened.exe"), std::string::npos);
}
