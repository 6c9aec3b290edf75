// The web page opener: which windows count as a running AOL client, the
// client's command lines built from WIN.INI [WAOL] AppPath, and the two ways
// an address is handed over (the client's command line, or the shell).
#include "app/app.h"
#include "store/store.h"
#include "sheet_fakeaol.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Top-level windows of given classes and titles, gone with the guard.
class Windows {
public:
    HWND Add(const char *className, const char *title)
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = className;
        if (RegisterClassA(&windowClass))
            classes_.push_back(className);
        HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                      nullptr, GetModuleHandleA(nullptr), nullptr);
        windows_.push_back(window);
        return window;
    }
    ~Windows()
    {
        for (HWND window : windows_)
            DestroyWindow(window);
        for (const std::string &name : classes_)
            UnregisterClassA(name.c_str(), GetModuleHandleA(nullptr));
    }

private:
    std::vector<HWND> windows_;
    std::vector<std::string> classes_;
};

// Keeps WIN.INI [WAOL] AppPath as it was.
class AppPathGuard {
public:
    AppPathGuard()
    {
        char saved[512] = "";
        had_ = GetProfileStringA("WAOL", "AppPath", "\x01", saved, sizeof(saved)) > 0 &&
               saved[0] != '\x01';
        saved_ = saved;
    }
    ~AppPathGuard() { WriteProfileStringA("WAOL", "AppPath", had_ ? saved_.c_str() : nullptr); }

private:
    bool had_ = false;
    std::string saved_;
};

std::string AolCommand(const char *address, int quoted)
{
    char command[2048];
    int length = BuildAolCommand(address, quoted, command, sizeof(command));
    EXPECT_EQ(length, (int)strlen(command));
    return command;
}

} // namespace

TEST(WebPageOpener, RecognisesOnlyTheFiveClientWindows)
{
    ASSERT_EQ(FindAolWindow(), nullptr);
    {
        Windows windows;
        // Near misses: one blank where two belong, a title of the other class.
        windows.Add("AOL Frame", "America Online");
        windows.Add("AOL Frame", "AOL");
        windows.Add("AOL Frame26", "AOL");
        windows.Add("AOL Frame25", "aol online");
        EXPECT_EQ(FindAolWindow(), nullptr);
    }
    const char *const pairs[5][2] = {
        {"AOL Frame25", "America  Online"}, {"AOL Frame25", "America Online"},
        {"AOL Frame25", "AOL"}, {"AOL Frame25", "AOL Canada"}, {"AOL Frame", "America  Online"},
    };
    for (const auto &pair : pairs) {
        Windows windows;
        HWND window = windows.Add(pair[0], pair[1]);
        EXPECT_EQ(FindAolWindow(), window) << pair[0] << " / " << pair[1];
    }
    // Several at once: the first pair of the list wins.
    Windows windows;
    windows.Add("AOL Frame", "America  Online");
    windows.Add("AOL Frame25", "AOL Canada");
    HWND second = windows.Add("AOL Frame25", "America Online");
    EXPECT_EQ(FindAolWindow(), second);
}

TEST(WebPageOpener, BuildsTheClientCommandLines)
{
    AppPathGuard guard;
    WriteProfileStringA("WAOL", "AppPath", "C:\\AOL");
    EXPECT_EQ(AolCommand("http://a.example/", 0), "C:\\AOL\\WAOL.EXE -uhttp://a.example/");
    EXPECT_EQ(AolCommand("http://a.example/?x=a b&c", 1),
              "C:\\AOL\\WAOL.EXE -u\"http://a.example/?x=a b&c\"");

    // Without a folder the client is looked for on the search path.
    WriteProfileStringA("WAOL", "AppPath", nullptr);
    EXPECT_EQ(AolCommand("http://a.example/", 0), "waol.exe -uhttp://a.example/");
    EXPECT_EQ(AolCommand("http://a.example/", 1), "waol.exe -u\"http://a.example/\"");

    // A small buffer cuts the line, never overflows it.
    char small[16];
    memset(small, 'z', sizeof(small));
    EXPECT_EQ(BuildAolCommand("http://a.example/", 1, small, sizeof(small)), 15);
    EXPECT_EQ(std::string(small), "waol.exe -u\"htt");
}

TEST(WebPageOpener, HandsTheAddressToARunningClient)
{
    FakeAol aol;
    ASSERT_NE(aol.window, nullptr);
    const char address[] = "http://www.example.com/a?b=c d&e=f";

    INT_PTR result = OpenWebPage(address, 1);
    EXPECT_GT(result, 31);
    EXPECT_EQ(aol.TakeCommandLine(), aol.folder + "\\WAOL.EXE -u\"" + address + "\"");

    result = OpenWebPage("http://www.example.com/", 0);
    EXPECT_GT(result, 31);
    EXPECT_EQ(aol.TakeCommandLine(), aol.folder + "\\WAOL.EXE -uhttp://www.example.com/");
}

TEST(WebPageOpener, AClientThatCannotBeStartedIsReported)
{
    // The client's window is there but its folder holds no WAOL.EXE: the
    // failure comes back to the caller, and the shell is not tried instead.
    FakeAol aol;
    DeleteFileA((aol.folder + "\\WAOL.EXE").c_str());
    EXPECT_LE(OpenWebPage("http://www.example.com/", 0), 31);
    EXPECT_EQ(aol.TakeCommandLine(500), "");
}

TEST(WebPageOpener, WithoutAClientTheShellOpensTheAddress)
{
    ASSERT_EQ(FindAolWindow(), nullptr);
    // A program file stands in for the address, so that what the shell's
    // "open" does can be seen without a browser.
    std::string folder = MakeScratchDir("shellopen");
    std::string program = folder + "\\opened.exe";
    ASSERT_TRUE(CopyFileA(FixturePath("sheet_cmdline.exe").c_str(), program.c_str(), FALSE));
    EXPECT_GT(OpenWebPage(program.c_str(), 0), 31);

    std::string recorded = folder + "\\cmdline.txt";
    DWORD start = GetTickCount();
    while (GetFileAttributesA(recorded.c_str()) == INVALID_FILE_ATTRIBUTES &&
           GetTickCount() - start < 15000)
        PumpMessages(50);
    std::string line = ReadFileBytes(recorded);
    EXPECT_NE(line.find("opened.exe"), std::string::npos) << line;
    RemoveTree(folder);
}
