// Startup entries against the real registry, WIN.INI and folders of the test
// prefix: what is listed, in which order and under which label; how entries
// of every family are disabled, enabled and removed without losing a command;
// the program's own autorun value; and the Startup Programs page in the real
// property sheet, driven with the messages clicks send.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "startup/sources.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE, HKCU = HKEY_CURRENT_USER;
const std::string Cv = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const std::string RunKey = Cv + "Run", Policies = Cv + "Policies\\Explorer\\Run";
// The 32-bit view of the machine's keys, as a 64-bit program reaches it by path.
const std::string Wow = "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\";
const std::string Winlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
// Wine keeps WIN.INI's [windows] section here.
const std::string WinIniKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const std::string Missing = "<missing>";

std::string Parking(const char *name) { return std::string(DisabledKeyPath) + "\\" + name; }
std::string Get(HKEY r, const std::string &k, const std::string &n) { return GetRegString(r, k.c_str(), n.c_str()); }
std::string Marker(const std::string &name) { return Get(HKLM, DisabledKeyPath, name); }

// A value's type and bytes ("1:text\0" for a REG_SZ), or "<missing>".
std::string Raw(HKEY root, const std::string &key, const std::string &name)
{
    SavedRegValue v = SaveRegValue(root, key.c_str(), name.c_str());
    return v.existed ? std::to_string(v.type) + ":" + v.data : Missing;
}

std::string Label(int index)
{
    char label[TitleSize];
    return GetSourceLabel(index, label) == (int)strlen(label) ? label : "<length differs>";
}

// Collects afresh and finds the entry of that source, live or parked, whose
// title or path is `text` (or whose link is, in any letter case); one that is
// not listed fails the test, so that an action's 0 is never vacuous.
int Find(DWORD source, const std::string &text, bool parked = false)
{
    CollectStartupEntries();
    for (int i = 0; i < EntryCount; ++i) {
        StartupRow row = ReadStartupRow(i);
        if (row.source == source && IsStartupEntryParked(i) == parked &&
            (row.title == text || row.path == text || !lstrcmpiA(row.link.c_str(), text.c_str())))
            return i;
    }
    ADD_FAILURE() << text << " is not listed";
    return -1;
}

// What the page's buttons do with an entry.
int (*const Toggle)(int) = ToggleStartupEntryAt;
int (*const Remove)(int) = RemoveStartupEntryAt;

class StartupTest : public testing::Test {
protected:
    StartupSandbox box{"startup"};
    std::string machine = box.Folder("machine", HKLM, "Startup");
    std::string common = box.Folder("common", HKLM, "Common Startup");
    std::string user = box.Folder("user", HKCU, "Startup");
    std::string versioned = FixturePath("startup_versioned.exe");
};

TEST_F(StartupTest, ListsEverySourceInOrderWithItsTitle)
{
    const std::string title = "Versioned Startup Helper";
    const struct { HKEY root; std::string key, name, data; } values[] = {
        {HKLM, RunKey, "StMachineRun", "\"C:\\St Test\\m.exe\" /a"},
        {HKLM, Policies, "StMachinePolicy", "C:\\mpol.exe"},
        // The shortest name and command listed.
        {HKCU, RunKey, "Sb", "a.exe"}, {HKCU, RunKey, "StAfter", "C:\\after.exe"},
        {HKCU, Cv + "RunOnceEx", "StUserOnceEx", "C:\\onceex.exe"}, {HKCU, Policies, "StUserPolicy", "C:\\upol.exe"},
        {HKEY_USERS, RunKey, "StUsers", "C:\\users.exe"},
        {HKLM, Parking("RunOnce"), "StParked", "C:\\parked.exe"}, {HKLM, DisabledKeyPath, "StParked", "2"},
    };
    for (const auto &v : values)
        ASSERT_TRUE(box.Set(v.root, v.key, v.name.c_str(), v.data.c_str()));
    WriteProfileStringA("windows", "run", "st_a.exe;;st_b.exe");
    // Only ";" parts a line: blanks and commas belong to the command.
    WriteProfileStringA("windows", "load", (";" + versioned + ";;st_x.exe st_y.exe, two;").c_str());
    ASSERT_TRUE(CreateShortcutFile(machine + "\\described.lnk", versioned, "A Described Shortcut"));
    ASSERT_TRUE(CreateShortcutFile(machine + "\\plain.lnk", versioned, nullptr));
    for (const char *file : {"\\broken.lnk", "\\old.pif"})
        ASSERT_TRUE(WriteFileBytes(machine + file, "no program"));
    ASSERT_TRUE(CreateDirectoryA((machine + "\\sub").c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(versioned.c_str(), (machine + "\\sub\\in.exe").c_str(), 0));
    CreateDirectoryA(box.disabled.c_str(), nullptr);
    for (const std::string &folder : {common, user, box.disabled})
        ASSERT_TRUE(WriteFileBytes(folder + "\\x.exe", "MZ"));

    int count = CollectStartupEntries();
    // A row that starts no group may stand anywhere among its group's rows.
    const struct { bool group; std::string title, path, link; DWORD source; } rows[] = {
        {1, "StMachineRun", "C:\\St Test\\m.exe /a", "", 1}, {1, "StMachinePolicy", "C:\\mpol.exe", "", 6},
        {1, "Sb", "a.exe", "", 11}, {0, "StAfter", "C:\\after.exe", "", 11},
        {1, "StUserOnceEx", "C:\\onceex.exe", "", 13},
        {1, "StUserPolicy", "C:\\upol.exe", "", 16}, {1, "StUsers", "C:\\users.exe", "", 21},
        {1, "run", "st_a.exe", "", 101}, {1, "run", "st_b.exe", "", 101},
        {1, "Versioned Startup Product", versioned, "", 100}, {1, "load", "st_x.exe st_y.exe, two", "", 100},
        {1, "A Described Shortcut", versioned, machine + "\\described.lnk", 200},
        {0, title, versioned, machine + "\\plain.lnk", 200}, {0, "", "", machine + "\\broken.lnk", 200},
        {0, "", machine + "\\old.pif", "", 200}, {0, title, machine + "\\sub\\in.exe", machine + "\\sub\\in.exe", 200},
        {1, "", common + "\\x.exe", common + "\\x.exe", 200}, {1, "", user + "\\x.exe", user + "\\x.exe", 200},
        {1, "StParked", "C:\\parked.exe", "", 2},
        {1, "", box.disabled + "\\x.exe", box.disabled + "\\x.exe", 200},
    };
    int before = -1, last = -1;
    for (const auto &row : rows) {
        if (row.group)
            before = last;
        int index = FindStartupRow(row.title, row.path);
        ASSERT_GT(index, before) << row.title.substr(0, 20) << " | " << row.path.substr(0, 40) << " | " << row.link;
        last = std::max(last, index);
        StartupRow got = ReadStartupRow(index);
        EXPECT_EQ(got.source, row.source);
        EXPECT_EQ(lstrcmpiA(got.link.c_str(), row.link.c_str()), 0) << got.link;
        EXPECT_EQ(IsStartupEntryParked(index), &row >= std::end(rows) - 2);
    }
    EXPECT_EQ(CollectStartupEntries(), count) << "a second collection rebuilds the list";
}

TEST(StartupLabels, EverySourceReadsAsItsPlaceAndWindowsOwnItemsAreKnown)
{
    const std::string logon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon ";
    const std::pair<DWORD, std::string> cases[] = {
        {100, "WIN.INI     [Load] Section"}, {101, "WIN.INI     [Run] Section"}, {200, "Windows Startup Group"},
        {7, "HKEY_LOCAL_MACHINE\\" + logon + "[Shell]"}, {18, "HKEY_CURRENT_USER\\" + logon + "[Userinit]"},
        {5, "HKEY_LOCAL_MACHINE\\" + Cv + "RunServicesOnce"}, {13, "HKEY_CURRENT_USER\\" + Cv + "RunOnceEx"},
        {22, "HKEY_USER\\" + Cv + "RunOnce"}, {36, "HKEY_LOCAL_MACHINE\\" + Wow + "Policies\\Explorer\\Run"},
        {0, ""}, {9, ""}, {26, ""}, {37, ""}, {102, ""}, {500, ""}};
    ClearEntries();
    for (const auto &c : cases)
        AddEntry("StLabelProbe", "C:\\probe.exe", "", c.first, 0);
    for (int i = 0; i < EntryCount; ++i)
        EXPECT_EQ(Label(i), cases[i].second) << cases[i].first;
    ClearEntries();
    const struct { const char *item; bool shell, own; } items[] = {
        {"  EXPLORER.EXE ", true, true}, {"\"%SystemRoot%\\explorer.exe\"", true, true},
        {"C:\\x\\explorer.exe", true, false}, {"explorer.exe /e", true, false},
        {"%windir%\\System32\\userinit.exe", false, true}, {"explorer", false, false}};
    for (const auto &i : items)
        EXPECT_EQ(IsWindowsOwnItem(i.item, i.shell), i.own) << i.item << " " << i.shell;
}

TEST_F(StartupTest, EntriesWindowsSwitchedOffAreListedAsSo)
{
    const std::string approved = Cv + "Explorer\\StartupApproved\\", lm = "HKEY_LOCAL_MACHINE\\";
    const std::string off = "* Switched off by Windows ";
    ASSERT_TRUE(WriteFileBytes(user + "\\StUserOff.exe", "MZ") && WriteFileBytes(common + "\\StCommonOff.exe", "MZ"));
    // Where the item is (none: a Startup folder file); its StartupApproved
    // list and first byte; its label.
    const struct { HKEY root; std::string key; const char *name, *list, *byte; std::string label; } rows[] = {
        {HKLM, RunKey, "StMachineOn", "Run", "\x02", lm + RunKey},
        {HKCU, RunKey, "StUserText", "Run", "3", "HKEY_CURRENT_USER\\" + RunKey},  // text, not Windows' mark
        {HKLM, RunKey, "StMachineOff", "Run", "\x03", off + lm + RunKey},
        {HKLM, Wow + "Run", "StView32Off", "Run32", "\x03", off + lm + Wow + "Run"},
        {HKCU, "", "StUserOff.exe", "StartupFolder", "\x03", off + "Windows Startup Group"},
        {HKLM, "", "StCommonOff.exe", "StartupFolder", "\x01", off + "Windows Startup Group"},
    };
    for (const auto &row : rows)
        ASSERT_TRUE((row.key.empty() || box.Set(row.root, row.key, row.name, "C:\\item.exe")) &&
                    box.Set(row.root, approved + row.list, row.name, row.byte, row.byte[0] == '3' ? REG_SZ : REG_BINARY));
    CollectStartupEntries();
    for (const auto &row : rows) {
        const std::string file = (row.root == HKCU ? user : common) + "\\" + row.name;
        int index = row.key.empty() ? FindStartupRow("", file) : FindStartupRow(row.name, "C:\\item.exe");
        ASSERT_GE(index, 0) << row.name;
        EXPECT_EQ(Label(index), row.label) << row.name;
        EXPECT_EQ(IsStartupEntrySwitchedOff(index), row.label.find(off) == 0) << row.name;
    }
}

TEST_F(StartupTest, RunValuesOfEveryKeyAndViewParkAndComeBackByteForByte)
{
    struct { HKEY root; std::string key; const char *parking, *name; std::string data; DWORD type, source; } rows[] = {
        {HKLM, RunKey, "Run", "StQuoted", "\"C:\\My App\\a.exe\" \"C:\\My Docs\\1.txt\" -n \"a b\"", REG_SZ, 1},
        {HKCU, Cv + "RunOnce", "RunOnce", "StExpand", "%SystemRoot%\\system32\\st.exe /x", REG_EXPAND_SZ, 12},
        {HKLM, Policies, "PoliciesRun", "StPolicyMachine", "\"C:\\Apps\\pm.exe\" /p", REG_SZ, 6},
        {HKCU, Policies, "PoliciesRun", "StPolicyUser", "C:\\Apps\\pu.exe", REG_EXPAND_SZ, 16},
        {HKLM, Wow + "Run", "Run", "StViewRun", "\"C:\\Apps 32\\v.exe\" /x", REG_SZ, 31},
        {HKLM, Wow + "RunServicesOnce", "RunServicesOnce", "StViewSvc", "C:\\Apps 32\\svc.exe", REG_SZ, 35},
    };
    // All are parked at once; each comes home alone, and goes for good.
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(box.Set(row.root, row.key, row.name, row.data.c_str(), row.type));
        const std::string before = Raw(row.root, row.key, row.name);
        ASSERT_EQ(Toggle(Find(row.source, row.name)), 1);
        EXPECT_EQ(Raw(row.root, row.key, row.name), Missing);
        EXPECT_EQ(Raw(HKLM, Parking(row.parking), row.name), before);
        EXPECT_EQ(Marker(row.name), std::to_string(row.source));
    }
    for (const auto &row : rows) {
        const std::string before = Raw(HKLM, Parking(row.parking), row.name);
        int index = Find(row.source, row.name, true);
        ASSERT_EQ(Toggle(index), 1);
        EXPECT_EQ(Raw(row.root, row.key, row.name), before);
        EXPECT_EQ(Raw(HKLM, Parking(row.parking), row.name) + Marker(row.name), Missing + Missing);
        EXPECT_EQ(Remove(Find(row.source, row.name)), 1);
        EXPECT_EQ(Raw(row.root, row.key, row.name), Missing);
    }
}

TEST_F(StartupTest, EqualNamesAndChangesBehindTheListNeverLoseACommand)
{
    ASSERT_TRUE(box.Set(HKLM, RunKey, "StSame", "C:\\Apps\\machine.exe"));
    ASSERT_TRUE(box.Set(HKCU, RunKey, "StSame", "C:\\Apps\\user.exe"));
    ASSERT_EQ(Toggle(Find(1, "StSame")), 1);
    // The live namesake is no parked copy, and cannot be parked over it.
    int user = Find(11, "StSame");
    EXPECT_EQ(Toggle(user), 0);
    // Changed since it was listed, a value stays.
    ASSERT_TRUE(SetRegString(HKCU, RunKey.c_str(), "StSame", "C:\\Apps\\changed.exe"));
    EXPECT_EQ(Remove(user) + ToggleStartupEntry("StSame", "C:\\Apps\\user.exe", "", 11), 0);
    EXPECT_EQ(Get(HKCU, RunKey, "StSame"), "C:\\Apps\\changed.exe");
    EXPECT_EQ(Get(HKLM, Parking("Run"), "StSame") + Marker("StSame"), "C:\\Apps\\machine.exe1");
    EXPECT_EQ(Label(Find(1, "StSame", true)), "* Disabled HKEY_LOCAL_MACHINE\\" + RunKey);
    // A marker that names another home since the list was read moves nothing.
    int parked = Find(1, "StSame", true);
    ASSERT_TRUE(SetRegString(HKLM, DisabledKeyPath, "StSame", "11"));
    EXPECT_EQ(Toggle(parked), 0);
    ASSERT_TRUE(SetRegString(HKLM, DisabledKeyPath, "StSame", "1"));
    // Back meanwhile with another command, it is never overwritten; with the
    // same one, known only by its texts it fits both copies and stays, and
    // enabling folds the two.
    ASSERT_TRUE(SetRegString(HKLM, RunKey.c_str(), "StSame", "C:\\Apps\\new.exe"));
    EXPECT_EQ(Toggle(Find(1, "StSame", true)), 0);
    EXPECT_EQ(Get(HKLM, RunKey, "StSame"), "C:\\Apps\\new.exe");
    ASSERT_TRUE(SetRegString(HKLM, RunKey.c_str(), "StSame", "C:\\Apps\\machine.exe"));
    EXPECT_EQ(Toggle(Find(1, "StSame", true)), 1);
    EXPECT_EQ(Get(HKLM, RunKey, "StSame") + Marker("StSame"), "C:\\Apps\\machine.exe" + Missing);
}

TEST_F(StartupTest, WinIniPiecesLeaveTheirLineAndComeBackAsTheyStood)
{
    const std::string program = "C:\\St Load\\load.exe /l";
    WriteProfileStringA("windows", "run", "st_first.exe;st_mid.exe;st_last.exe");
    WriteProfileStringA("windows", "load", ("\"C:\\My Docs\\x.exe\" /a;" + program).c_str());
    ASSERT_EQ(Toggle(Find(101, "st_mid.exe")), 1);
    EXPECT_EQ(GetWinIniLine("run"), "st_first.exe;st_last.exe;");
    EXPECT_EQ(Get(HKLM, Parking("WinRun"), "run") + Marker("run"), "st_mid.exe101");
    ASSERT_EQ(Toggle(Find(100, program)), 1);
    EXPECT_EQ(GetWinIniLine("load"), "\"C:\\My Docs\\x.exe\" /a;");
    EXPECT_EQ(Get(HKLM, Parking("WinLoad"), "load") + Marker("load"), program + "100");
    // A piece titled alike cannot be parked over the parked one.
    EXPECT_EQ(Toggle(Find(101, "st_first.exe")), 0);
    // Back at the end of their lines.
    EXPECT_EQ(Toggle(Find(101, "st_mid.exe", true)) + Toggle(Find(100, program, true)), 2);
    EXPECT_EQ(GetWinIniLine("run"), "st_first.exe;st_last.exe;;st_mid.exe");
    EXPECT_EQ(GetWinIniLine("load"), "\"C:\\My Docs\\x.exe\" /a;;" + program);
    EXPECT_EQ(Marker("run") + Marker("load") + Get(HKLM, Parking("WinRun"), "run"), Missing + Missing + Missing);
    // Another letter case, or "=" for ":", is another command.
    const std::string t = "C:\\t\\tool.exe ";
    WriteProfileStringA("windows", "run", (t + "/X;" + t + "/x;" + t + "/m=a;" + t + "/m:a").c_str());
    ASSERT_EQ(Toggle(Find(101, t + "/x")), 1);
    EXPECT_EQ(Remove(Find(101, t + "/m:a")), 1);
    EXPECT_EQ(RemoveStartupEntry("run", (t + "/X").c_str(), "", 101), 1);
    EXPECT_EQ(GetWinIniLine("run") + Get(HKLM, Parking("WinRun"), "run"), t + "/m=a;" + t + "/x");
    EXPECT_EQ(Remove(Find(101, t + "/x", true)), 1);
    EXPECT_EQ(GetWinIniLine("run") + Get(HKLM, Parking("WinRun"), "run") + Marker("run"),
              t + "/m=a;" + Missing + Missing);
}

TEST_F(StartupTest, WinlogonItemsLeaveTheirListAndWindowsOwnStays)
{
    // The list; what is listed; what is left after a remove (null: the value
    // goes) and after a disable and enable ("": neither is offered).
    const char *evil = "C:\\x\\evil.exe";
    const struct { HKEY root; const char *value, *list; DWORD type, source; std::vector<std::string> listed;
                   const char *afterRemove, *afterToggle; } rows[] = {
        {HKLM, "Shell", "explorer.exe, C:\\x\\evil.exe", REG_SZ, 7, {evil}, "explorer.exe",
         "explorer.exe,C:\\x\\evil.exe"},
        {HKLM, "Userinit", "C:\\Windows\\system32\\userinit.exe,C:\\x\\evil.exe,", REG_EXPAND_SZ, 8, {evil},
         "C:\\Windows\\system32\\userinit.exe,", "C:\\Windows\\system32\\userinit.exe,C:\\x\\evil.exe,"},
        {HKCU, "Shell", "\"C:\\x\\evil.exe\"", REG_SZ, 17, {evil}, nullptr, "\"C:\\x\\evil.exe\""},
        {HKCU, "Userinit", " userinit , C:\\Apps\\a.exe,C:\\Apps\\b.exe", REG_SZ, 18,
         {"C:\\Apps\\a.exe", "C:\\Apps\\b.exe"}, " userinit , C:\\Apps\\a.exe", ""},
        // The machine's shell alone: taking it would leave no shell at all.
        {HKLM, "Shell", "C:\\x\\evil.exe", REG_SZ, 7, {evil}, "C:\\x\\evil.exe", ""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.list);
        ASSERT_TRUE(box.Set(row.root, Winlogon, row.value, row.list, row.type));
        CollectStartupEntries();
        std::vector<std::string> listed;
        for (int i = 0; i < EntryCount; ++i)
            if (GetEntrySource(i) == row.source)
                listed.push_back(ReadStartupRow(i).path);
        EXPECT_EQ(listed, row.listed);
        if (listed.empty())
            continue;
        const std::string after = row.afterRemove ? std::to_string(row.type) + ":" + row.afterRemove + '\0' : Missing;
        if (row.afterToggle[0]) {
            ASSERT_EQ(Toggle(Find(row.source, listed.back())), 1);
            EXPECT_EQ(Get(HKLM, Parking(row.source % 10 == 7 ? "WinlogonShell" : "WinlogonUserinit"), row.value),
                      row.list[0] == '"' ? row.list : listed.back());
            EXPECT_EQ(Raw(row.root, Winlogon, row.value), after);
            ASSERT_EQ(Toggle(Find(row.source, row.value, true)), 1);
            EXPECT_EQ(Get(row.root, Winlogon, row.value), row.afterToggle);
            ASSERT_TRUE(box.Set(row.root, Winlogon, row.value, row.list, row.type));
        }
        EXPECT_EQ(Remove(Find(row.source, listed.back())), row.root == HKCU || strchr(row.list, ','));
        EXPECT_EQ(Raw(row.root, Winlogon, row.value), after);
    }
    // Known only by its texts, as the watch cycle holds an item it asks about.
    ASSERT_TRUE(box.Set(HKCU, Winlogon, "Shell", "explorer.exe, C:\\x\\evil.exe"));
    EXPECT_EQ(RemoveStartupEntry("Shell", evil, "", 17), 1);
    EXPECT_EQ(Get(HKCU, Winlogon, "Shell"), "explorer.exe");
    // A machine list that lost Windows' own item meanwhile takes nothing back.
    ASSERT_TRUE(box.Set(HKLM, Winlogon, "Shell", "explorer.exe,C:\\x\\evil.exe"));
    ASSERT_EQ(Toggle(Find(7, evil)), 1);
    ASSERT_TRUE(box.Set(HKLM, Winlogon, "Shell", ""));
    EXPECT_EQ(Toggle(Find(7, "Shell", true)), 0);
    EXPECT_EQ(Get(HKLM, Winlogon, "Shell"), "");
}

TEST_F(StartupTest, StartupFilesParkInTheDisabledFolderAndGoAsideWhenRemoved)
{
    // A folder named with a final backslash must not get a second one.
    ASSERT_TRUE(PointShellFolder(HKLM, "Startup", machine + "\\"));
    const std::string shortcut = user + "\\stlink.lnk", back = common + "\\stlink.lnk";
    const std::string parked = box.disabled + "\\stlink.lnk";
    ASSERT_TRUE(CreateShortcutFile(shortcut, versioned, "St Link Title"));
    ASSERT_TRUE(WriteFileBytes(user + "\\untitled.exe", "MZ untitled"));
    EXPECT_EQ(Toggle(Find(200, shortcut)) + Toggle(Find(200, user + "\\untitled.exe")), 2);
    // Back into the machine's folder; with no "Startup" value, the common one.
    EXPECT_EQ(Toggle(Find(200, box.disabled + "\\untitled.exe", true)), 1);
    EXPECT_EQ(ReadFileBytes(machine + "\\untitled.exe"), "MZ untitled");
    ASSERT_EQ(RegDeleteKeyValueA(HKLM, (Cv + "Explorer\\Shell Folders").c_str(), "Startup"), ERROR_SUCCESS);
    EXPECT_EQ(Toggle(Find(200, parked, true)), 1);
    EXPECT_TRUE(PathExists(back) && !PathExists(shortcut));
    ASSERT_EQ(Toggle(Find(200, back)), 1);

    // Remove deletes a shortcut to a known program, parked or not; a program
    // file, or a shortcut that cannot be read, goes to the Removed folder,
    // the same name again with a number.
    EXPECT_EQ(Remove(Find(200, parked, true)), 1);
    ASSERT_TRUE(CreateShortcutFile(shortcut, versioned, "St Gone"));
    EXPECT_EQ(Remove(Find(200, shortcut)), 1);
    for (const char *bytes : {"MZ first", "MZ second", "not a shortcut", "nor this"}) {
        std::string file = user + (bytes[0] == 'M' ? "\\APP.EXE" : "\\broken.lnk");
        ASSERT_TRUE(WriteFileBytes(file, bytes));
        EXPECT_EQ(Remove(Find(200, file)), 1);
    }
    const std::string removed = box.removed + "\\";
    EXPECT_EQ(ReadFileBytes(removed + "APP.EXE") + "|" + ReadFileBytes(removed + "APP (2).EXE") + "|" +
                  ReadFileBytes(removed + "broken.lnk") + "|" + ReadFileBytes(removed + "broken (2).lnk"),
              "MZ first|MZ second|not a shortcut|nor this");
    EXPECT_FALSE(PathExists(parked) || PathExists(shortcut) || PathExists(removed + "stlink.lnk") ||
                 PathExists(user + "\\APP.EXE") || PathExists(user + "\\broken.lnk"));
    EXPECT_TRUE(PathExists(versioned));
}

TEST_F(StartupTest, EntriesThatCannotMoveOrParkStayAtHome)
{
    // A volatile Disabled key takes no lasting parking keys.
    ASSERT_TRUE(box.Set(HKLM, RunKey, "StLocked", "C:\\Apps\\locked.exe"));
    WriteProfileStringA("windows", "run", "st_locked.exe");
    DeleteRegTree(HKLM, DisabledKeyPath);
    RegKey key;
    ASSERT_EQ(RegCreateKeyExA(HKLM, DisabledKeyPath, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              key.out(), nullptr), ERROR_SUCCESS);
    EXPECT_EQ(Toggle(Find(1, "StLocked")) + Toggle(Find(101, "st_locked.exe")), 0);
    EXPECT_EQ(Get(HKLM, RunKey, "StLocked") + "|" + GetWinIniLine("run"), "C:\\Apps\\locked.exe|st_locked.exe");
    EXPECT_EQ(Marker("StLocked") + Marker("run"), Missing + Missing);
}

TEST_F(StartupTest, LongCommandsMoveWholeAndOverlongOnesSaySo)
{
    // A piece of a WIN.INI line past any fixed buffer parks and comes back,
    // every other piece staying as it stood; one longer than a name field is
    // listed but refused.
    std::string pad;
    for (int i = 0; i < 20; ++i)
        pad += "C:\\pad\\p" + std::to_string(i) + ".exe " + std::string(440, 'x') + ";";
    const std::string tail = "\"C:\\Q d\\tail.exe\" /a;C:\\over.exe " + std::string(600, 'o');
    WriteProfileStringA("windows", "run", (pad + "st_target.exe /q;" + tail).c_str());
    ASSERT_EQ(Toggle(Find(101, "st_target.exe /q")), 1);
    EXPECT_TRUE(Raw(HKCU, WinIniKey, "run") == "1:" + pad + tail + ";" + '\0');
    ASSERT_EQ(Toggle(Find(101, "st_target.exe /q", true)), 1);
    EXPECT_TRUE(Raw(HKCU, WinIniKey, "run") == "1:" + pad + tail + ";;st_target.exe /q" + '\0');
    // A line too long to be read whole is listed, says so, and stays.
    const std::string line = "st_first.exe;" + std::string(32767 - 13, 'z');
    ASSERT_TRUE(SetRegString(HKCU, WinIniKey.c_str(), "run", line.c_str()));
    int row = Find(101, "st_first.exe");
    EXPECT_EQ(StartupEntryOverLimit(row), StartupLineTooLong);
    EXPECT_EQ(Toggle(row) + Remove(row) + AppendWinIniToken("run", "st_more.exe"), 0);
    EXPECT_TRUE(Raw(HKCU, WinIniKey, "run") == "1:" + line + '\0');
}

TEST_F(StartupTest, AutorunOnThenOffLeavesNoValue)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    const std::string quoted = "\"" + std::string(self) + "\"";
    box.saved.push_back(SaveRegValue(HKLM, RunKey.c_str(), AppTitle));
    // Switched on or off while the user had it disabled, it is one plain
    // value or none, and no parked copy is left to show it as disabled.
    for (int step = 0; step < 4; ++step) {
        int parked = step / 2, last = 1 - step % 2;
        ASSERT_NE(SetAutorun(1), 0);
        ASSERT_TRUE(!parked || Toggle(Find(1, AppTitle)) == 1);
        EXPECT_NE(SetAutorun(last), 0) << step;
        EXPECT_EQ(AutorunFlag, last) << step;
        EXPECT_EQ(Get(HKLM, RunKey, AppTitle) + Get(HKLM, Parking("Run"), AppTitle) + Marker(AppTitle),
                  (last ? quoted : Missing) + Missing + Missing) << step;
    }
    EXPECT_EQ(SetAutorun(0), 0);  // nothing left to remove
}

// --- The Startup Programs page ----------------------------------------------
enum : int { IdProperties = 1008, IdEnable = 10, IdDisable = 11, IdRemove = 1003, IdFullReport = 9 };

// Row k shows entry k: its title and the file name part of its command.
void ExpectRowsMirrorEntries(HWND list)
{
    std::vector<ListRow> rows = ReadListRows(list);
    ASSERT_EQ((size_t)EntryCount, rows.size());
    for (int k = 0; k < EntryCount; ++k) {
        StartupRow entry = ReadStartupRow(k);
        EXPECT_EQ(k, rows[k].data);
        EXPECT_EQ(entry.title, rows[k].cells[0]);
        EXPECT_EQ(entry.path.substr(FileNamePart(entry.path.c_str())), rows[k].cells[1]);
    }
}

// Where a value of that name is: the user's Run key, the machine's, the
// parking key and the parked entry's marker.
std::string Places(const char *name)
{
    return Get(HKCU, RunKey, name) + " | " + Get(HKLM, RunKey, name) + " | " + Get(HKLM, Parking("Run"), name) + " | " +
           Marker(name);
}

bool Shown(HWND page, int id) { return IsWindowVisible(GetDlgItem(page, id)) != FALSE; }

std::string Filled(int id, const std::string &value)
{
    std::string text = LoadedText(id);
    return text.replace(text.find("%s"), 2, value);
}

TEST_F(StartupTest, PageShowsEachEntryWithItsStateAndActsOnTheSelectedOneOnly)
{
    const std::string toggle = "\"C:\\Program Files\\Toggle\\toggle.exe\" /start", spin = FixturePath("task_spin.exe");
    // A quoted program in a folder whose name begins like another program.
    const std::string real = user + "\\Tools.exe dir\\real app.exe";
    ASSERT_TRUE(CreateDirectoryA((user + "\\Tools.exe dir").c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(versioned.c_str(), (user + "\\Tools.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(spin.c_str(), real.c_str(), FALSE));
    const struct { HKEY root; std::string key; const char *name; std::string data; DWORD type; } values[] = {
        // Run values with and without a version, one parked.
        {HKCU, RunKey, "PageTest Spinner", "\"" + spin + "\" /quiet", REG_SZ},
        {HKLM, Parking("Run"), "PageTest Parked", "C:\\TOOLS\\PARKED.EXE", REG_SZ},
        {HKLM, DisabledKeyPath, "PageTest Parked", "11", REG_SZ},
        {HKCU, RunKey, "PageTest Remove", "C:\\TOOLS\\REMOVE.EXE -x", REG_SZ},
        {HKCU, RunKey, "PageTest Toggle", toggle, REG_SZ},
        // A question text from the registry is never taken as a format.
        {HKLM, ProgramKeyPath, "LString15", "Drop %s (100%% sure)? %s %d %n", REG_SZ},
        {HKLM, Parking("Run"), "PageTest Orphan", "C:\\TOOLS\\ORPHAN.EXE", REG_SZ},
        {HKCU, RunKey, "Fake", "\"" + real + "\" /x", REG_SZ},
    };
    for (const auto &v : values)
        ASSERT_TRUE(box.Set(v.root, v.key, v.name, v.data.c_str(), v.type));
    ASSERT_TRUE(WriteFileBytes(user + "\\old.pif", "pif"));

    EXPECT_TRUE(DriveListPage(PageStartup, [&](HWND, HWND page, HWND list) {
        ExpectRowsMirrorEntries(list);
        // Title, command from its file name on, program file's version or the
        // state; the program behind the quotes, not the one its folder's name
        // begins with.
        std::vector<ListRow> rows = ReadListRows(list);
        const char *expected[][3] = {
            {"PageTest Spinner", "task_spin.exe /quiet", "7.1.3"},
            {"PageTest Parked", "PARKED.EXE", "Disabled "}, {"Fake", "real app.exe /x", "7.1.3"},
        };
        for (const auto &row : expected) {
            int at = FindListRow(list, row[0]);
            ASSERT_GE(at, 0) << row[0];
            EXPECT_EQ(0, lstrcmpiA(row[1], rows[at].cells[1].c_str())) << rows[at].cells[1];
            EXPECT_EQ(row[2], rows[at].cells[2]) << row[0];
        }
        ExpectIconPerRow(list, SmallImageLists[0]);
        ScreenshotPoint("startup_page");

        // With no row selected, each command says how to select one.
        for (int command : {(int)IdProperties, (int)IdRemove, (int)IdEnable}) {
            DialogSeen help = DialogShownBy(IDOK, [&] { ClickButton(page, command); });
            EXPECT_EQ(LoadedText(IDS_HELP_NOPROGRAM) + "|Sentrovia Help", help.text + "|" + help.caption) << command;
        }
        // Properties shows the selected entry.
        SelectListRow(list, FindListRow(list, "PageTest Spinner"));
        DialogSeen info = DialogShownBy(IDOK, [&] { ClickButton(page, IdProperties); });
        EXPECT_EQ("PageTest Spinner", info.caption);
        EXPECT_EQ(0, lstrcmpiA(spin.c_str(), info.items[1026].c_str())) << info.items[1026];
        EXPECT_EQ("HKEY_CURRENT_USER\\" + RunKey + "|7.1.3", info.items[1027] + "|" + info.items[1029]);

        // Remove asks first, and No leaves the entry.
        int row = FindListRow(list, "PageTest Remove");
        SelectListRow(list, row);
        DialogSeen asked = DialogShownBy(IDNO, [&] { ClickButton(page, IdRemove); });
        EXPECT_EQ("Drop C:\\TOOLS\\REMOVE.EXE -x (100% sure)? %s %d %n", asked.text);
        EXPECT_EQ("C:\\TOOLS\\REMOVE.EXE -x | <missing> | <missing> | <missing>", Places("PageTest Remove"));
        RegDeleteKeyValueA(HKLM, ProgramKeyPath, "LString15");
        SelectListRow(list, row);
        asked = DialogShownBy(IDYES, [&] { ClickButton(page, IdRemove); });
        EXPECT_EQ(0u, asked.text.find("You've chosen to remove C:\\TOOLS\\REMOVE.EXE -x\n\nThis file will not "
                                    "be deleted from your hard drive")) << asked.text;
        EXPECT_EQ("<missing> | <missing> | <missing> | <missing>", Places("PageTest Remove"));
        EXPECT_EQ(-1, FindListRow(list, "PageTest Remove")) << "the list was refilled";

        // Disable parks the entry without a question, Enable brings it back;
        // the pair shows the one that fits.
        for (int button : {(int)IdDisable, (int)IdEnable}) {
            SelectListRow(list, FindListRow(list, "PageTest Toggle"));
            int other = button == IdEnable ? IdDisable : IdEnable;
            EXPECT_TRUE(Shown(page, button) && IsWindowEnabled(GetDlgItem(page, button))) << button;
            EXPECT_FALSE(Shown(page, other) || IsWindowEnabled(GetDlgItem(page, other))) << button;
            EXPECT_FALSE(DialogShownBy(IDOK, [&] { ClickButton(page, button); }).shown);
            EXPECT_EQ(button == IdDisable ? "<missing> | <missing> | " + toggle + " | 11"
                                          : toggle + " | <missing> | <missing> | <missing>",
                      Places("PageTest Toggle"));
            EXPECT_EQ(button == IdDisable ? "Disabled " : "?",
                      ReadListRows(list)[FindListRow(list, "PageTest Toggle")].cells[2]);
        }

        // What Remove and the pair say for each; the orphan can only go.
        const struct { std::string cell; int removeText; std::string name; bool parked; } refusals[] = {
            {"old.pif", IDS_ERR_CANNOT_REMOVE, user + "\\old.pif", false},
            {"ORPHAN.EXE", IDS_ASK_REMOVE, "C:\\TOOLS\\ORPHAN.EXE", true},
        };
        for (const auto &row : refusals) {
            int at = FindListRow(list, row.cell, 1);
            ASSERT_GE(at, 0) << row.name;
            EXPECT_EQ(row.parked ? "Disabled " : "?", ReadListRows(list)[at].cells[2]);
            SelectListRow(list, at);
            EXPECT_FALSE(Shown(page, IdEnable) || Shown(page, IdDisable)) << row.name;
            EXPECT_EQ(Filled(row.removeText, row.name), DialogShownBy(IDNO, [&] { ClickButton(page, IdRemove); }).text);
        }
        SelectListRow(list, FindListRow(list, "ORPHAN.EXE", 1));
        DialogShownBy(IDYES, [&] { ClickButton(page, IdRemove); });
        EXPECT_EQ(Get(HKLM, Parking("Run"), "PageTest Orphan"), Missing);
        EXPECT_TRUE(PathExists(user + "\\old.pif"));
        // A value that appears after the rows were filled comes first in the
        // report's collection, moving every user entry down by one.
        ASSERT_TRUE(box.Set(HKLM, RunKey, "PageTest Early", "C:\\TOOLS\\EARLY.EXE"));
        ClickButton(page, IdFullReport);
        ExpectRowsMirrorEntries(list);
        EXPECT_GE(FindListRow(list, "PageTest Early"), 0);
    }));
    EXPECT_TRUE(DeleteFileA("Report.html")) << "the report was written";
    EXPECT_EQ(nullptr, SmallImageLists[0]) << "the page released its icons";
}

} // namespace
