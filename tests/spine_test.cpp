// Whole runs of the real Sentrovia.exe: the first start, a quiet start with a
// second copy and the exit, and a data file the program cannot use.
#include "app/app.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A copy of the real program in a scratch folder of its own, so that its
// data file lands there; the copy and its folder go when the test ends.
struct ProgramRunTest : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(Place(folder_)); }
    void TearDown() override { EndChildProcess(process_), RemoveTree(folder_); }
    bool Place(const std::string &folder)
    {
        program_ = folder + "\\Sentrovia.exe", dataFile_ = folder + "\\Sentro.dat";
        return CopyFileToLongPath(TestDir() + "\\..\\Sentrovia.exe", program_);
    }
    bool Start()
    {
        EndChildProcess(process_);
        process_ = StartChildProcess(program_, nullptr, &processId_);
        return process_ && WaitForInputIdle(process_, 60000) == 0;
    }
    // A window of the program (a sheet or not), waited for up to ms milliseconds.
    HWND Window(const char *className, bool sheet, DWORD ms = 60000)
    {
        for (DWORD start = GetTickCount();; Sleep(50)) {
            for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, className, nullptr));) {
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                if (process == processId_ && sheet == (FindWindowExA(window, nullptr, "SysTabControl32", nullptr) != nullptr))
                    return window;
            }
            if (GetTickCount() - start >= ms)
                return nullptr;
        }
    }
    // Sends a command to a window of the program and waits until the window
    // has gone, and with `ends` the program too: its exit code (else STILL_ACTIVE).
    DWORD Close(HWND window, UINT command, bool ends)
    {
        PostMessageA(window, WM_COMMAND, command, 0);
        for (DWORD start = GetTickCount(); IsWindow(window) && GetTickCount() - start < 30000;)
            Sleep(50);
        DWORD code = WaitForSingleObject(process_, ends ? 30000 : 0);
        return GetExitCodeProcess(process_, &code) ? code : 1;
    }
    std::string folder_ = MakeScratchDir("spine_run"), program_, dataFile_;
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
};

} // namespace

TEST_F(ProgramRunTest, FirstStartApprovesWhatItFindsAndWritesTheDataFileAtOnce)
{
    StartupSandbox box("spine_first");
    ASSERT_TRUE(box.Set(HKEY_CURRENT_USER, RunKeyPath, "SpineProbe", "C:\\SpineProbe\\probe.exe /opt=1"));
    // A parked copy whose origin is not recorded does not start with Windows.
    ASSERT_TRUE(box.Set(HKEY_LOCAL_MACHINE, std::string(DisabledKeyPath) + "\\Run", "SpineParked", "C:\\Spine\\parked.exe"));
    ASSERT_TRUE(Start());
    // On disk while the first-start sheet is still open at Startup Programs.
    HWND sheet = Window("#32770", true);
    EXPECT_EQ(GetPrivateProfileIntA("Run", "C:\\SpineProbe\\probe.exe /opt:1", 0, dataFile_.c_str()) * 100 +
                  GetPrivateProfileIntA("Run", "C:\\Spine\\parked.exe", 7, dataFile_.c_str()), 1107u);  // 7: no key
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Minutes", -1, dataFile_.c_str()), 3);
    EXPECT_EQ(SheetCurrentTab(sheet), PageStartup);
}

TEST_F(ProgramRunTest, StartsHiddenInADeepFolderASecondCopyHandsOverAndExitWritesTheOptions)
{
    // The data file's path is far beyond the 128 characters of an OpenFile
    // record. Sound is missing and "007" is how no program would write 7:
    // only a save at exit rewrites them.
    ASSERT_TRUE(Place(MakeDeepFolder(folder_)));
    ASSERT_TRUE(WriteFileBytes(dataFile_, "[Options]\r\nMinutes=007\r\nStart=0\r\nCookies=0\r\nWinInit=0\r\n"));
    ASSERT_TRUE(Start());
    HWND window = Window("Sentrovia", false);
    EXPECT_TRUE(!IsWindowVisible(window) && (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW));
    EXPECT_EQ(Window("#32770", true, 0), nullptr) << "no first-start sheet";
    // The second copy ends; the first shows Startup Programs.
    HANDLE second = StartChildProcess(program_, nullptr, nullptr);
    EXPECT_EQ(WaitForSingleObject(second, 30000), (DWORD)WAIT_OBJECT_0);
    EndChildProcess(second);
    HWND sheet = Window("#32770", true);
    EXPECT_EQ(SheetCurrentTab(sheet), PageStartup);
    Close(sheet, IDCANCEL, false);
    EXPECT_EQ(Close(window, IDM_EXIT, true), 0u);
    EXPECT_EQ(ReadFileBytes(dataFile_).rfind("[Options]\r\nMinutes=7\r\nStart=0\r\nCookies=0\r\nWinInit=0\r\nSound=1\r\n", 0), 0u);
}

TEST_F(ProgramRunTest, DataFileThatCannotBeUsedOrReadIsReportedAndLeftAsItWas)
{
    // A folder where the data file should be: no first start can write it.
    // A text override is no format: its "%" are shown as they are.
    ScopedRegValue hostile(HKEY_LOCAL_MACHINE, ProgramKeyPath, "LString63", "Folder %s then %s %n");
    const std::string stored = "[Options]\r\nMinutes=9\r\n";
    for (bool held : {false, true}) {
        ASSERT_TRUE(held ? WriteFileBytes(dataFile_, stored) : CreateDirectoryA(dataFile_.c_str(), nullptr));
        HANDLE holder = held ? HoldFileOpen(dataFile_) : nullptr;
        ASSERT_TRUE(Start());
        HWND box = Window("#32770", false);
        std::string text = ReadDialogSeen(box).text;
        EXPECT_EQ(Window("#32770", true, 0), nullptr) << "no first-start sheet";
        EXPECT_EQ(Close(box, IDOK, true), 0u);
        EXPECT_NE(text.find(held ? "\n" + dataFile_ + "\n" : "Folder " + folder_ + " then %s %n"), std::string::npos)
            << text;
        EndChildProcess(holder);
        EXPECT_TRUE(held ? ReadFileBytes(dataFile_) == stored : RemoveDirectoryA(dataFile_.c_str()));
    }
}
