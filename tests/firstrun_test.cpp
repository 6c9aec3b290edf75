// The first start: every startup entry found is written to the data file as
// approved before the sheet opens, in-process and as a black box run of the
// real program in a folder of its own.
#include "app/app.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

// Two Run values, a WIN.INI token and a shortcut in the machine's Startup
// folder, and nothing else.
class FirstRunTest : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
        ASSERT_TRUE(box.Set(HKEY_LOCAL_MACHINE, run, "StFirstMachine", "C:\\First\\m.exe /opt=1"));
        ASSERT_TRUE(box.Set(HKEY_CURRENT_USER, run, "StFirstUser", "C:\\First\\user.exe"));
        WriteProfileStringA("windows", "run", "st_first_token.exe");
        std::string startup = box.Folder("startup", HKEY_LOCAL_MACHINE, "Startup");
        ASSERT_TRUE(CreateShortcutFile(startup + "\\first.lnk", versioned, "St First Link"));
    }
    int RunValue(const std::string &key)
    {
        return (int)GetPrivateProfileIntA("Run", key.c_str(), -1, dataFile.c_str());
    }
    // The four keys every first start writes, with their sources.
    void ExpectApproved()
    {
        EXPECT_EQ(RunValue("C:\\First\\m.exe /opt:1"), 1);
        EXPECT_EQ(RunValue("C:\\First\\user.exe"), 11);
        EXPECT_EQ(RunValue("st_first_token.exe"), 101);
        EXPECT_EQ(RunValue(versioned), 200);
    }

    StartupSandbox box{"firstrun"};
    std::string versioned = FixturePath("startup_versioned.exe");
    std::string dataFile = box.scratch + "\\Sentro.dat";
};

TEST_F(FirstRunTest, RemembersEveryEntryBeforeTheSheetOpens)
{
    // A parked value whose origin is not recorded (source 0) does not start
    // with Windows; a shortcut that cannot be resolved has no Path.
    std::string parked = std::string(DisabledKeyPath) + "\\Run", broken = box.scratch + "\\startup\\broken.lnk";
    ASSERT_TRUE(box.Set(HKEY_LOCAL_MACHINE, parked, "StFirstParked", "C:\\First\\parked.exe"));
    ASSERT_TRUE(WriteFileBytes(broken, "no shortcut"));
    // A data file of its own, so that the test folder's stays as it is.
    std::string kept = DataFilePath;
    int minutes = Minutes;
    CopyText(DataFilePath, sizeof(DataFilePath), dataFile.c_str());
    int tab = -1, whileOpen = -1, optionsWhileOpen = -1;
    UINT_PTR wait = WhenWindowAppears(FindThreadSheet, [&](HWND sheet) {
        tab = SheetCurrentTab(sheet);
        whileOpen = RunValue(versioned);
        optionsWhileOpen = GetPrivateProfileIntA("Options", "Start", -1, dataFile.c_str());
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    });
    int remembered = FirstRun();
    CancelWindowWait(wait);
    CopyText(DataFilePath, sizeof(DataFilePath), kept.c_str());
    LoadOptions();
    Minutes = minutes;
    EXPECT_EQ(tab, PageStartup);
    EXPECT_EQ(whileOpen, 200);
    EXPECT_EQ(optionsWhileOpen, 1);
    ExpectApproved();
    EXPECT_EQ(RunValue(broken), 200);
    EXPECT_EQ(RunValue("C:\\First\\parked.exe"), -1);
    // No key is empty, and none reads as "not approved".
    char section[8192];
    DWORD length = GetPrivateProfileSectionA("Run", section, sizeof(section), dataFile.c_str());
    for (const char *line = section; line < section + length && *line; line += strlen(line) + 1) {
        EXPECT_NE(line[0], '=') << line;
        EXPECT_STRNE(strrchr(line, '='), "=0") << line;
    }
    int watched = 0;
    CollectStartupEntries();  // the sheet may have changed the table
    for (int i = 0; i < EntryCount; ++i) {
        char key[516];
        MakeEntryRunKey(i, key);
        watched += IsWatchedEntry(i);
        EXPECT_EQ(RunValue(key), IsWatchedEntry(i) ? (int)GetEntrySource(i) : -1) << key;
    }
    EXPECT_EQ(remembered, watched);
}

TEST_F(FirstRunTest, RealProgramWritesItsDataFileOnTheFirstStart)
{
    std::string program = box.scratch + "\\Sentrovia.exe";
    ASSERT_TRUE(CopyFileA((TestDir() + "\\..\\Sentrovia.exe").c_str(), program.c_str(), FALSE));
    DWORD processId = 0;
    HANDLE process = StartChildProcess(program, "", &processId);
    ASSERT_NE(process, nullptr);
    // Close what it shows; once it is quiet a while, end it as its Exit does.
    std::vector<std::string> strays;
    DWORD start = GetTickCount(), quiet = start;
    while (WaitForSingleObject(process, 100) == WAIT_TIMEOUT && GetTickCount() - start < 90000) {
        HWND main = FindWindowA("Sentrovia", nullptr), dialog = nullptr;
        while ((dialog = FindWindowExA(nullptr, dialog, "#32770", nullptr))) {
            DWORD owner = 0;
            GetWindowThreadProcessId(dialog, &owner);
            if (owner != processId || !IsWindowVisible(dialog))
                continue;
            // The sheet alone is expected: the watch cycle finds all approved.
            if (!FindWindowExA(dialog, nullptr, "SysTabControl32", nullptr))
                strays.push_back(WindowText(dialog));
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            quiet = GetTickCount();
        }
        if (!main || RunValue(versioned) != 200)
            quiet = GetTickCount();
        if (GetTickCount() - quiet >= 3000 && PostMessageA(main, WM_COMMAND, IDM_EXIT, 0))
            quiet = GetTickCount();
    }
    DWORD code = 1;
    GetExitCodeProcess(process, &code);  // STILL_ACTIVE when it did not end
    EndChildProcess(process);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(strays.empty()) << strays.front();
    ExpectApproved();
}

} // namespace
