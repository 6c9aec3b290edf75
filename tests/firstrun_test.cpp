// The first start: every startup entry found is written to the data file as
// approved before the sheet opens, in-process and as a black box run of the
// real program in a folder of its own.
#include "app/app.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>
#include <vector>

namespace {

const char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char ShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

int RunValueIn(const std::string &dataFile, const std::string &key)
{
    return (int)GetPrivateProfileIntA("Run", key.c_str(), -1, dataFile.c_str());
}

// A startup world of two Run values, a WIN.INI token and a shortcut in the
// machine's Startup folder; everything is put back afterwards.
class FirstRunTest : public testing::Test {
protected:
    void SetUp() override
    {
        savedStartup_ = SaveRegValue(HKEY_LOCAL_MACHINE, ShellFolders, "Startup");
        savedRun_ = SaveWinIniLine("run");
        scratch_ = MakeScratchDir("firstrun");
        startup_ = scratch_ + "\\startup";
        CreateDirectoryA(startup_.c_str(), nullptr);
        versioned_ = FixturePath("startup_versioned.exe");
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, RunKey, "StFirstMachine",
                                 "C:\\First\\machine.exe /opt=1"));
        ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, RunKey, "StFirstUser", "C:\\First\\user.exe"));
        WriteProfileStringA("windows", "run", "st_first_token.exe");
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, ShellFolders, "Startup", startup_.c_str()));
        ASSERT_TRUE(CreateShortcutFile(startup_ + "\\first.lnk", versioned_, "St First Link"));
        ClearEntries();
    }

    void TearDown() override
    {
        ClearEntries();
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RunKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "StFirstMachine");
            RegCloseKey(key);
        }
        if (RegOpenKeyExA(HKEY_CURRENT_USER, RunKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "StFirstUser");
            RegCloseKey(key);
        }
        RestoreWinIniLine(savedRun_);
        RestoreRegValue(savedStartup_);
        RemoveTree(scratch_);
    }

    // The four keys every first start must have written, with their sources.
    void ExpectApproved(const std::string &dataFile)
    {
        EXPECT_EQ(RunValueIn(dataFile, "C:\\First\\machine.exe /opt:1"), 1);
        EXPECT_EQ(RunValueIn(dataFile, "C:\\First\\user.exe"), 11);
        EXPECT_EQ(RunValueIn(dataFile, "st_first_token.exe"), 101);
        EXPECT_EQ(RunValueIn(dataFile, versioned_), 200);
    }

    SavedRegValue savedStartup_;
    SavedWinIniLine savedRun_;
    std::string scratch_, startup_, versioned_;
};

TEST_F(FirstRunTest, RemembersEveryEntryBeforeTheSheetOpens)
{
    // The test program's own data file stands in for the program's.
    std::string dataFile = DataFilePath;
    std::string before = ReadFileBytes(dataFile);
    DeleteFileA(dataFile.c_str());
    char located[TextSize];
    ASSERT_EQ(LocateDataFile(located), 0);

    bool sheetSeen = false;
    int tab = -1;
    std::map<std::string, int> whileOpen;
    UINT_PTR wait = WhenWindowAppears(FindThreadSheet, [&](HWND sheet) {
        sheetSeen = true;
        tab = SheetCurrentTab(sheet);
        whileOpen["machine"] = RunValueIn(dataFile, "C:\\First\\machine.exe /opt:1");
        whileOpen["shortcut"] = RunValueIn(dataFile, versioned_);
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    });
    int remembered = FirstRun();
    CancelWindowWait(wait);

    // The sheet may have refilled or emptied the table; collect again.
    int found = CollectStartupEntries();
    EXPECT_EQ(remembered, found);
    EXPECT_GE(remembered, 4);
    ExpectApproved(dataFile);
    for (int i = 0; i < EntryCount; ++i) {
        char path[PathSize], key[516];
        GetEntryPath(i, path);
        MakeRunKey(path, key);
        SCOPED_TRACE(path);
        EXPECT_EQ(RunValueIn(dataFile, key), (int)GetEntrySource(i));
    }
    if (sheetSeen) {
        EXPECT_EQ(tab, PageStartup);
        EXPECT_EQ(whileOpen["machine"], 1);
        EXPECT_EQ(whileOpen["shortcut"], 200);
    }
    EXPECT_EQ(SheetPage, 0);

    DeleteFileA(dataFile.c_str());
    if (before != "<missing>")
        WriteFileBytes(dataFile, before);
}

struct ProcessWindows {
    DWORD process;
    std::vector<HWND> sheets, dialogs;
    HWND main;
};

BOOL CALLBACK ListProcessWindow(HWND window, LPARAM lParam)
{
    ProcessWindows *list = (ProcessWindows *)lParam;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != list->process)
        return TRUE;
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof(cls));
    if (strcmp(cls, "Sentrovia") == 0)
        list->main = window;
    else if (strcmp(cls, "#32770") == 0 && IsWindowVisible(window)) {
        if (FindWindowExA(window, nullptr, "SysTabControl32", nullptr))
            list->sheets.push_back(window);
        else
            list->dialogs.push_back(window);
    }
    return TRUE;
}

ProcessWindows WindowsOf(DWORD process)
{
    ProcessWindows list = {process, {}, {}, nullptr};
    EnumWindows(ListProcessWindow, (LPARAM)&list);
    return list;
}

TEST_F(FirstRunTest, RealProgramWritesItsDataFileOnTheFirstStart)
{
    std::string program = scratch_ + "\\Sentrovia.exe";
    ASSERT_TRUE(CopyFileA((TestDir() + "\\..\\Sentrovia.exe").c_str(), program.c_str(), FALSE));
    std::string dataFile = scratch_ + "\\Sentro.dat";
    ASSERT_EQ(GetFileAttributesA(dataFile.c_str()), INVALID_FILE_ATTRIBUTES);

    DWORD processId = 0;
    HANDLE process = StartChildProcess(program, "", &processId);
    ASSERT_NE(process, nullptr);

    // The [Run] section comes first, then the sheet; close the sheet, then
    // end the program as the tray menu's Exit does.
    DWORD start = GetTickCount();
    bool written = false;
    while (!written && GetTickCount() - start < 60000 &&
           WaitForSingleObject(process, 100) == WAIT_TIMEOUT)
        written = RunValueIn(dataFile, "st_first_token.exe") == 101 &&
                  RunValueIn(dataFile, versioned_) == 200;
    EXPECT_TRUE(written);

    bool exitPosted = false;
    DWORD quiet = GetTickCount();
    std::vector<std::string> strays;
    start = GetTickCount();
    while (WaitForSingleObject(process, 100) == WAIT_TIMEOUT && GetTickCount() - start < 90000) {
        ProcessWindows windows = WindowsOf(processId);
        for (HWND sheet : windows.sheets) {
            PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
            quiet = GetTickCount();
        }
        for (HWND dialog : windows.dialogs) {
            // Nothing but the sheet is expected on a first start: the watch
            // cycle that follows finds every entry approved.
            char caption[256] = "";
            GetWindowTextA(dialog, caption, sizeof(caption));
            strays.push_back(caption);
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            quiet = GetTickCount();
        }
        if (!exitPosted && windows.main && GetTickCount() - quiet > 3000) {
            PostMessageA(windows.main, WM_COMMAND, IDM_EXIT, 0);
            exitPosted = true;
        }
    }
    EXPECT_TRUE(exitPosted);
    ASSERT_EQ(WaitForSingleObject(process, 0), WAIT_OBJECT_0) << "the program did not end";
    DWORD code = 1;
    GetExitCodeProcess(process, &code);
    EXPECT_EQ(code, 0u);
    EndChildProcess(process);
    EXPECT_TRUE(strays.empty()) << strays.front();

    ExpectApproved(dataFile);
    // An orderly exit writes the options last.
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Minutes", -1, dataFile.c_str()), 3);
}

} // namespace
