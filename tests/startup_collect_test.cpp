// Startup entry collection against the real registry, WIN.INI and folders of
// the test prefix: what is listed, in which order, under which title and
// source, and how each source is labelled.
#include "startup/sources.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE, HKCU = HKEY_CURRENT_USER;
const std::string CurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const char VersionedTitle[] = "Versioned Startup Helper";
const char ProductOnlyTitle[] = "Product Only Startup";

const std::string Parking = std::string(DisabledKeyPath) + "\\";

std::string Label(int index)
{
    char label[TitleSize];
    int length = GetSourceLabel(index, label);
    EXPECT_EQ(length, (int)strlen(label));
    return label;
}

class StartupCollectTest : public testing::Test {
protected:
    StartupSandbox box{"startup_collect"};
    std::string versioned = FixturePath("startup_versioned.exe");
    std::string productOnly = FixturePath("startup_productonly.exe");
};

TEST_F(StartupCollectTest, ListsEverySourceInOrderWithItsTitle)
{
    ASSERT_TRUE(box.Set(HKLM, CurrentVersion + "Run", "StMachineRun", "\"C:\\St Test\\m.exe\" /a"));
    ASSERT_TRUE(box.Set(HKLM, CurrentVersion + "RunServicesOnce", "StMachineSvc", "C:\\svc.exe"));
    ASSERT_TRUE(box.Set(HKCU, CurrentVersion + "Run", "StUserRun", "C:\\user.exe"));
    ASSERT_TRUE(box.Set(HKCU, CurrentVersion + "RunOnceEx", "StUserOnceEx", "C:\\onceex.exe"));
    ASSERT_TRUE(box.Set(HKEY_USERS, CurrentVersion + "Run", "StUsersRun", "C:\\users.exe"));
    WriteProfileStringA("windows", "run", "st_a.exe;;st_b.exe");
    // Only ";" parts a line: blanks and commas belong to the command.
    WriteProfileStringA("windows", "load", (";" + versioned + ";;st_x.exe st_y.exe, two;").c_str());

    std::string machine = box.Folder("machine", HKLM, "Startup");
    std::string common = box.Folder("common", HKLM, "Common Startup");
    std::string user = box.Folder("user", HKCU, "Common Startup");
    std::string users = box.Folder("users");
    SetEnvironmentVariableA("ST_SCRATCH", box.scratch.c_str());
    ASSERT_TRUE(box.Set(HKEY_USERS, CurrentVersion + "Explorer\\Shell Folders", "Startup",
                        "%ST_SCRATCH%\\users", REG_EXPAND_SZ));
    ASSERT_TRUE(CreateShortcutFile(machine + "\\described.lnk", versioned, "A Described Shortcut"));
    ASSERT_TRUE(CreateShortcutFile(machine + "\\plain.lnk", versioned, nullptr));
    ASSERT_TRUE(CreateShortcutFile(machine + "\\product.lnk", productOnly, nullptr));
    ASSERT_TRUE(WriteFileBytes(machine + "\\broken.lnk", "no shortcut at all"));
    ASSERT_TRUE(CopyFileA(versioned.c_str(), (machine + "\\copy.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(machine + "\\old.pif", "pif"));
    ASSERT_TRUE(WriteFileBytes(machine + "\\notes.txt", "not a program"));
    // A plain subfolder is entered; a hidden one is not, and a system folder
    // named like a program passes for a file.
    for (const char *folder : {"\\sub", "\\hidden", "\\masked.exe"}) {
        ASSERT_TRUE(CreateDirectoryA((machine + folder).c_str(), nullptr));
        ASSERT_TRUE(CopyFileA(productOnly.c_str(), (machine + folder + "\\in.exe").c_str(), 0));
    }
    ASSERT_TRUE(SetFileAttributesA((machine + "\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesA((machine + "\\masked.exe").c_str(), FILE_ATTRIBUTE_SYSTEM));
    for (const std::string &folder : {common, user, users})
        ASSERT_TRUE(WriteFileBytes(folder + "\\x.exe", "MZ"));
    ASSERT_TRUE(SetRegString(HKLM, (Parking + "RunOnce").c_str(), "StParked", "C:\\parked.exe"));
    ASSERT_TRUE(SetRegString(HKLM, DisabledKeyPath, "StParked", "2"));
    ASSERT_TRUE(CreateDirectoryA(box.disabled.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(versioned.c_str(), (box.disabled + "\\parked.exe").c_str(), FALSE));

    int count = CollectStartupEntries();
    EXPECT_EQ(count, EntryCount);
    // A row that starts no group may stand anywhere among its group's rows;
    // the machine Startup folder is listed in the file system's order.
    struct Row {
        bool group;
        std::string title, path, link;
        DWORD source;
    };
    const Row rows[] = {
        {true, "StMachineRun", "C:\\St Test\\m.exe /a", "", 1},
        {true, "StMachineSvc", "C:\\svc.exe", "", 5},
        {true, "StUserRun", "C:\\user.exe", "", 11},
        {true, "StUserOnceEx", "C:\\onceex.exe", "", 13},
        {true, "StUsersRun", "C:\\users.exe", "", 21},
        {true, "run", "st_a.exe", "", 101},
        {true, "run", "st_b.exe", "", 101},
        {true, "Versioned Startup Product", versioned, "", 100},
        {true, "load", "st_x.exe st_y.exe, two", "", 100},
        {true, "A Described Shortcut", versioned, machine + "\\described.lnk", 200},
        {false, VersionedTitle, versioned, machine + "\\plain.lnk", 200},
        {false, ProductOnlyTitle, productOnly, machine + "\\product.lnk", 200},
        {false, "", "", machine + "\\broken.lnk", 200},
        {false, VersionedTitle, machine + "\\copy.exe", machine + "\\copy.exe", 200},
        {false, "", machine + "\\old.pif", "", 200},
        {false, ProductOnlyTitle, machine + "\\sub\\in.exe", machine + "\\sub\\in.exe", 200},
        {false, "", machine + "\\masked.exe", machine + "\\masked.exe", 200},
        {true, "", common + "\\x.exe", common + "\\x.exe", 200},
        {true, "", user + "\\x.exe", user + "\\x.exe", 200},
        {true, "", users + "\\x.exe", users + "\\x.exe", 200},
        {true, "StParked", "C:\\parked.exe", "", 2},
        {true, VersionedTitle, box.disabled + "\\parked.exe", box.disabled + "\\parked.exe", 200},
    };
    int before = -1, last = -1;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.title + " | " + row.path + " | " + row.link);
        if (row.group)
            before = last;
        int index = FindStartupRow(row.title, row.path);
        ASSERT_GT(index, before);
        last = std::max(last, index);
        StartupRow got = ReadStartupRow(index);
        EXPECT_EQ(got.source, row.source);
        EXPECT_EQ(lstrcmpiA(got.link.c_str(), row.link.c_str()), 0) << got.link;
    }
    // Nothing else of the machine folder; no empty WIN.INI pieces.
    int inMachine = 0, fromWinIni = 0;
    for (int i = 0; i < EntryCount; ++i) {
        StartupRow got = ReadStartupRow(i);
        inMachine += !_strnicmp(got.path.c_str(), machine.c_str(), machine.size()) ||
                     !_strnicmp(got.link.c_str(), machine.c_str(), machine.size());
        fromWinIni += got.source == 100 || got.source == 101;
    }
    EXPECT_EQ(inMachine, 8);
    EXPECT_EQ(fromWinIni, 4);
    // With the other view holding nothing of its own, it adds no row.
    for (int i = 0; i < EntryCount; ++i)
        EXPECT_FALSE(GetEntrySource(i) > 30 && GetEntrySource(i) < 40) << ReadStartupRow(i).title;
    // A second collection rebuilds the list rather than adding to it.
    EXPECT_EQ(CollectStartupEntries(), count);
    SetEnvironmentVariableA("ST_SCRATCH", nullptr);
    char target[PathSize] = "x", description[PathSize] = "x", text[TitleSize] = "x";
    std::string broken = machine + "\\broken.lnk";
    EXPECT_TRUE(FAILED(ResolveShortcut(nullptr, broken.c_str(), target, description)));
    EXPECT_EQ(std::string(target) + description, "");
    EXPECT_EQ(GetFileDescription((box.scratch + "\\missing.exe").c_str(), text), 0);
    EXPECT_STREQ(text, "");
}

TEST_F(StartupCollectTest, RunValuesPassTheListingFilterAndOverlongOnesComeCut)
{
    const std::string longName = "StLong" + std::string(294, 'n');
    const std::string longData = "C:\\" + std::string(597, 'd');
    const std::string run = CurrentVersion + "Run";
    struct Row {
        HKEY root;
        std::string key, name, data;
        bool listed;
    };
    const Row rows[] = {
        {HKLM, run, "X", "C:\\single.exe", false},
        {HKLM, run, "Sb", "C:\\two.exe", true},
        {HKLM, run, "StFour", "a.ex", false},
        {HKLM, run, "StFive", "a.exe", true},
        {HKLM, run, "\xE9StHigh", "C:\\high.exe", false},
        {HKLM, run, "", "C:\\default.exe", false},
        // HKEY_USERS is read at its own Run key only, not in a user's hive.
        {HKEY_USERS, ".DEFAULT\\" + run, "StDefaultUser", "C:\\defaultuser.exe", false},
        // Too long for the 256-byte buffers: shown cut, and later values still come.
        {HKCU, run, longName, longData, true},
        {HKCU, run, "StLongData", longData, true},
        {HKCU, run, longName.substr(0, 200), "C:\\longname.exe", true},
        {HKCU, run, "StAfterLong", "C:\\after.exe", true},
    };
    for (const auto &row : rows)
        ASSERT_TRUE(box.Set(row.root, row.key, row.name.c_str(), row.data.c_str()));

    CollectStartupEntries();
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name.substr(0, 20) + " | " + row.data.substr(0, 20));
        int index = FindStartupRow(row.name.substr(0, TitleSize - 1), row.data.substr(0, 255));
        EXPECT_EQ(index >= 0, row.listed);
    }
}

TEST_F(StartupCollectTest, EveryLabelReadsAsItsSource)
{
    const char *keys[] = {"Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce"};
    std::vector<std::pair<DWORD, std::string>> cases = {
        {100, "WIN.INI     [Load] Section"}, {101, "WIN.INI     [Run] Section"},
        {200, "Windows Startup Group"}};
    const std::string wow = "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\";
    for (DWORD k = 0; k < 5; ++k) {
        cases.push_back({1 + k, "HKEY_LOCAL_MACHINE\\" + CurrentVersion + keys[k]});
        cases.push_back({11 + k, "HKEY_CURRENT_USER\\" + CurrentVersion + keys[k]});
        cases.push_back({21 + k, "HKEY_USER\\" + CurrentVersion + keys[k]});
        cases.push_back({31 + k, "HKEY_LOCAL_MACHINE\\" + wow + keys[k]});
    }
    const std::string policies = "Policies\\Explorer\\Run";
    const std::string winlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon ";
    cases.push_back({6, "HKEY_LOCAL_MACHINE\\" + CurrentVersion + policies});
    cases.push_back({16, "HKEY_CURRENT_USER\\" + CurrentVersion + policies});
    cases.push_back({36, "HKEY_LOCAL_MACHINE\\" + wow + policies});
    cases.push_back({7, "HKEY_LOCAL_MACHINE\\" + winlogon + "[Shell]"});
    cases.push_back({8, "HKEY_LOCAL_MACHINE\\" + winlogon + "[Userinit]"});
    cases.push_back({17, "HKEY_CURRENT_USER\\" + winlogon + "[Shell]"});
    cases.push_back({18, "HKEY_CURRENT_USER\\" + winlogon + "[Userinit]"});
    for (DWORD none : {0u, 9u, 10u, 19u, 20u, 26u, 30u, 37u, 99u, 102u, 199u, 201u, 500u, 503u,
                       600u})
        cases.push_back({none, ""});
    for (const auto &c : cases)
        AddEntry("StLabelProbe", "C:\\probe.exe", "", c.first, 0);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].first);
        EXPECT_EQ(Label((int)i), cases[i].second);
        EXPECT_EQ(GetDisabledSource((int)i), 0);
    }
}

TEST(StartupViews, OtherViewFollowsBuildAndWow64AndLabelsNameIt)
{
    const struct { int bits; bool wow64; REGSAM view; } choices[] = {
        {64, false, KEY_WOW64_32KEY}, {64, true, KEY_WOW64_32KEY},
        {32, false, 0}, {32, true, KEY_WOW64_64KEY},
    };
    for (const auto &c : choices)
        EXPECT_EQ(OtherViewFor(c.bits, c.wow64), c.view) << c.bits << " " << c.wow64;
    EXPECT_EQ(OtherRegistryView(), (REGSAM)KEY_WOW64_32KEY);
    EXPECT_EQ(NativeRegistryView(), (REGSAM)0);
    // The Run keys are split between the views; the Policies key is one.
    ScopedRegValue policy(HKEY_LOCAL_MACHINE, PoliciesRunPath, "StShared", "C:\\shared.exe");
    RegPlace place;
    ASSERT_TRUE(SourceKey(SourceOtherRun, &place));
    EXPECT_FALSE(SharedWithOwnView(place));
    ASSERT_TRUE(SourceKey(SourceOtherPolicies, &place));
    EXPECT_TRUE(SharedWithOwnView(place));

    const std::string machine = "HKEY_LOCAL_MACHINE\\Software\\";
    const struct { DWORD source; int bits; std::string label; } labels[] = {
        {31, 64, machine + "WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {31, 32, machine + "Microsoft\\Windows\\CurrentVersion\\Run (64-bit view)"},
        {36, 32, machine + "Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run (64-bit view)"},
        {1, 32, machine + "Microsoft\\Windows\\CurrentVersion\\Run"},
        {35, 64, machine + "WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
        {37, 64, ""}, {27, 64, ""},
    };
    for (const auto &l : labels) {
        char label[TitleSize];
        RegistrySourceLabel(l.source, l.bits, label, sizeof(label));
        EXPECT_EQ(label, l.label) << l.source << " " << l.bits;
    }
}

TEST(StartupViews, WindowsOwnLogonProgramsInEverySpelling)
{
    const struct { const char *item; bool shell, own; } items[] = {
        {"explorer.exe", true, true},
        {"  EXPLORER.EXE ", true, true},
        {"explorer", true, true},
        {"C:\\Windows\\explorer.exe", true, true},
        {"%windir%\\Explorer.exe", true, true},
        {"\"%SystemRoot%\\explorer.exe\"", true, true},
        {"C:\\x\\explorer.exe", true, false},
        {"explorer.exe /e", true, false},
        {"userinit.exe", true, false},
        {"C:\\WINDOWS\\System32\\userinit.exe", false, true},
        {"%SystemRoot%\\system32\\userinit.exe", false, true},
        {" userinit ", false, true},
        {"C:\\Windows\\userinit.exe", false, false},
        {"C:\\x\\evil.exe", false, false},
        {"", false, false},
    };
    for (const auto &i : items)
        EXPECT_EQ(IsWindowsOwnItem(i.item, i.shell), i.own) << i.item << " " << i.shell;
}

TEST_F(StartupCollectTest, EntriesWindowsSwitchedOffAreListedAsSo)
{
    const std::string approved = CurrentVersion + "Explorer\\StartupApproved\\";
    const std::string run = CurrentVersion + "Run";
    std::string user = box.Folder("user", HKCU, "Startup");
    std::string common = box.Folder("common", HKLM, "Common Startup");
    for (const std::string &file : {user + "\\StUserOff.exe", common + "\\StCommonOff.exe"})
        ASSERT_TRUE(WriteFileBytes(file, "MZ"));
    HKEY view;
    ASSERT_EQ(RegCreateKeyExA(HKLM, run.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY,
                              nullptr, &view, nullptr), ERROR_SUCCESS);
    for (const char *name : {"StView32Off", "StView32WrongList"})
        RegSetValueExA(view, name, 0, REG_SZ, (const BYTE *)"C:\\v.exe", 9);
    struct Row {
        HKEY root;
        const char *name, *list, *byte;
        std::string path;
        DWORD source;
        bool off;
    };
    const Row rows[] = {
        {HKLM, "StMachineOn", "Run", "\x02", "C:\\m.exe", 1, false},
        {HKLM, "StMachineOff", "Run", "\x03", "C:\\m.exe", 1, true},
        {HKCU, "StUserRunOff", "Run", "\x03", "C:\\u.exe", 11, true},
        {HKLM, "StView32Off", "Run32", "\x03", "C:\\v.exe", 31, true},
        {HKLM, "StView32WrongList", "Run", "\x03", "C:\\v.exe", 31, false},
        {HKCU, "StUserOff.exe", "StartupFolder", "\x03", user + "\\StUserOff.exe", 200, true},
        {HKLM, "StCommonOff.exe", "StartupFolder", "\x01", common + "\\StCommonOff.exe", 200, true},
    };
    for (const auto &row : rows) {
        if (row.source != 200 && row.source != 31) {
            ASSERT_TRUE(box.Set(row.root, run, row.name, row.path.c_str()));
        }
        ASSERT_TRUE(box.Set(row.root, approved + row.list, row.name, row.byte, REG_BINARY));
    }
    CollectStartupEntries();
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        int index = -1;
        for (int i = 0; i < EntryCount && index < 0; ++i)
            if (GetEntrySource(i) == row.source && (ReadStartupRow(i).title == row.name ||
                                                    ReadStartupRow(i).link == row.path))
                index = i;
        ASSERT_GE(index, 0);
        EXPECT_EQ(IsStartupEntrySwitchedOff(index), row.off);
        EXPECT_EQ(Label(index).rfind("* Switched off by Windows ", 0) == 0, row.off);
        EXPECT_FALSE(IsStartupEntryParked(index));
    }
    // Switched off or not, it is still an entry that can go.
    EXPECT_EQ(RemoveStartupEntryAt(FindStartupRow("StView32Off", "C:\\v.exe")), 1);
    RegDeleteValueA(view, "StView32WrongList");
    RegCloseKey(view);
}

TEST_F(StartupCollectTest, ParkedEntriesShowTheirMarkerInTheLabel)
{
    const std::string machineRun = "HKEY_LOCAL_MACHINE\\" + CurrentVersion + "Run";
    struct Row {
        const char *parking, *name, *marker;
        int source;
        std::string label;
    };
    const Row rows[] = {
        {"Run", "StParkedMachine", "1", 1, "* Disabled " + machineRun},
        {"RunServicesOnce", "StParkedLongest", "5", 5,
         "* Disabled HKEY_LOCAL_MACHINE\\" + CurrentVersion + "RunServicesOnce"},
        {"WinLoad", "StParkedLoad", "100", 100, "* Disabled WIN.INI     [Load] Section"},
        // Parked values are listed whatever the length of name and data.
        // Without a home on record they are still parked copies.
        {"Run", "Q", nullptr, 0, "* Disabled "},
        {"Run", "StZero", "0", 0, "* Disabled "},
        {"Run", "StText", " 13 and more", 13,
         "* Disabled HKEY_CURRENT_USER\\" + CurrentVersion + "RunOnceEx"},
        // An untitled parked file's marker goes by its file name.
        {nullptr, "untitled.exe", "200", 200, "* Disabled Windows Startup Group"},
    };
    ASSERT_TRUE(CreateDirectoryA(box.disabled.c_str(), nullptr));
    for (const auto &row : rows) {
        ASSERT_TRUE(row.parking
                        ? SetRegString(HKLM, (Parking + row.parking).c_str(), row.name, "x")
                        : WriteFileBytes(box.disabled + "\\" + row.name, "MZ"));
        ASSERT_TRUE(!row.marker || SetRegString(HKLM, DisabledKeyPath, row.name, row.marker));
    }
    CollectStartupEntries();
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        int index = row.parking ? FindStartupRow(row.name, "x")
                                : FindStartupRow("", box.disabled + "\\" + row.name);
        ASSERT_GE(index, 0);
        EXPECT_EQ(GetEntrySource(index), (DWORD)row.source);
        EXPECT_EQ(GetDisabledSource(index), row.source);
        EXPECT_EQ(Label(index), row.label);
    }

    // The word is string 626, which the registry may replace.
    ASSERT_TRUE(box.Set(HKLM, "Software\\Ostrel Studios\\Sentrovia", "LString626", "Geparkt "));
    EXPECT_EQ(Label(FindStartupRow("StParkedMachine", "x")), "* Geparkt " + machineRun);
}

TEST_F(StartupCollectTest, OnlyTheParkedCopyItselfIsDisabled)
{
    const std::string run = CurrentVersion + "Run";
    ASSERT_TRUE(box.Set(HKLM, run, "Updater", "c:\\vendorA\\update.exe"));
    ASSERT_TRUE(box.Set(HKCU, run, "Updater", "C:\\windows\\system32\\winver.exe"));
    std::string user = box.Folder("user", HKCU, "Startup");
    box.Folder("machine", HKLM, "Startup");
    for (const char *name : {"\\a.lnk", "\\b.lnk"})
        ASSERT_TRUE(CreateShortcutFile(user + name, versioned, "Notes"));
    auto find = [](const std::string &path) {
        for (int i = 0; i < EntryCount; ++i) {
            StartupRow row = ReadStartupRow(i);
            if (!lstrcmpiA(row.path.c_str(), path.c_str()) || !lstrcmpiA(row.link.c_str(), path.c_str()))
                return i;
        }
        return -1;
    };
    CollectStartupEntries();
    ASSERT_EQ(ToggleStartupEntryAt(find("c:\\vendorA\\update.exe")), 1);
    CollectStartupEntries();
    ASSERT_EQ(ToggleStartupEntryAt(find(user + "\\a.lnk")), 1);
    // Markers by those titles exist; the live namesakes are enabled all the same.
    ASSERT_TRUE(SetRegString(HKLM, DisabledKeyPath, "Notes", "200"));
    CollectStartupEntries();
    const struct { std::string where, label; int disabled; } rows[] = {
        {"C:\\windows\\system32\\winver.exe", "HKEY_CURRENT_USER\\" + run, 0},
        {"c:\\vendorA\\update.exe", "* Disabled HKEY_LOCAL_MACHINE\\" + run, 1},
        {user + "\\b.lnk", "Windows Startup Group", 0},
        {box.disabled + "\\a.lnk", "* Disabled Windows Startup Group", 200},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.where);
        int index = find(row.where);
        ASSERT_GE(index, 0);
        EXPECT_EQ(Label(index), row.label);
        EXPECT_EQ(GetDisabledSource(index), row.disabled);
        EXPECT_EQ(IsStartupEntryParked(index), row.disabled != 0);
    }
    EXPECT_EQ(ToggleStartupEntryAt(find(user + "\\b.lnk")), 1);
    EXPECT_TRUE(RegValueExists(HKLM, (Parking + "Run").c_str(), "Updater"));
}

std::vector<std::string> Visits;

void RecordVisit(const char *path, const WIN32_FIND_DATAA *, LPARAM tag)
{
    EXPECT_EQ(tag, (LPARAM)77);
    Visits.push_back(path);
}

using Paths = std::multiset<std::string>;

TEST_F(StartupCollectTest, WalkFolderGoesAsDeepAsAskedAndAddFolderFileEntersPlainFolders)
{
    std::string root = box.Folder("walk");
    for (const char *folder : {"\\inner", "\\inner\\deeper", "\\.dotted"})
        ASSERT_TRUE(CreateDirectoryA((root + folder).c_str(), nullptr));
    for (const char *file : {"\\top.exe", "\\.dotfile", "\\inner\\mid.exe",
                             "\\inner\\deeper\\low.exe", "\\.dotted\\hid.exe"})
        ASSERT_TRUE(WriteFileBytes(root + file, "MZ"));
    char folder[PathSize];
    strcpy(folder, root.c_str());
    Visits.clear();
    WalkFolder(folder, RecordVisit, 0, 77);
    EXPECT_EQ(std::string(folder), root + "\\");
    EXPECT_EQ(Paths(Visits.begin(), Visits.end()),
              (Paths{root + "\\top.exe", root + "\\.dotfile", root + "\\inner"}));
    // One level down, a subfolder's items come before the subfolder.
    Visits.clear();
    WalkFolder(folder, RecordVisit, 1, 77);
    EXPECT_EQ(Paths(Visits.begin(), Visits.end()),
              (Paths{root + "\\top.exe", root + "\\.dotfile", root + "\\inner",
                     root + "\\inner\\mid.exe", root + "\\inner\\deeper"}));
    auto at = [](const std::string &path) { return std::find(Visits.begin(), Visits.end(), path); };
    EXPECT_LT(at(root + "\\inner\\mid.exe"), at(root + "\\inner"));

    // AddFolderFile enters plain folders itself, at any depth; only the
    // startup mode lists programs.
    int previous = FolderWalkMode;
    for (int mode : {0, 2, 3, 1}) {
        SCOPED_TRACE(mode);
        ClearEntries();
        FolderWalkMode = mode;
        WalkFolder(folder, AddFolderFile, 0, 0);
        int programs = 0;
        for (int i = 0; i < EntryCount; ++i)
            programs += GetEntrySource(i) == 200;
        EXPECT_EQ(programs, mode == 1 ? 3 : 0);
    }
    EXPECT_GE(FindStartupRow("", root + "\\top.exe"), 0);
    EXPECT_GE(FindStartupRow("", root + "\\inner\\deeper\\low.exe"), 0);
    FolderWalkMode = 2;
    CollectStartupEntries();
    EXPECT_EQ(FolderWalkMode, 1);
    FolderWalkMode = previous;

    // Neither a missing folder nor an empty text (the drive's root) is walked.
    Visits.clear();
    strcpy(folder, (box.scratch + "\\no such folder").c_str());
    WalkFolder(folder, RecordVisit, 3, 77);
    folder[0] = '\0';
    WalkFolder(folder, RecordVisit, 0, 77);
    EXPECT_TRUE(Visits.empty());
}

} // namespace

TEST_F(StartupCollectTest, EveryPieceOfALongWinIniLineIsListedAndOnlyWholeOnesAct)
{
    // Pieces past any fixed line buffer are listed and can be acted on; a
    // piece longer than its field, or cut by a line too long to read whole,
    // is listed but refused, and a line too long to be written back says so.
    std::string line;
    for (int i = 0; i < 12; ++i)
        line += "C:\\pad\\p" + std::to_string(i) + ".exe " + std::string(440, 'x') + ";";
    const std::string overlong = "C:\\over.exe " + std::string(600, 'o');
    const struct { std::string tail; bool whole; } cases[] = {
        {"st_tail.exe;" + overlong, true},
        {"st_tail.exe;" + std::string(32767, 'c'), false},
    };
    for (const auto &c : cases) {
        WriteProfileStringA("windows", "load", "");
        ASSERT_TRUE(SetRegString(HKCU, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                                 "load", (line + c.tail).c_str()));
        CollectStartupEntries();
        int tail = FindStartupRow("load", "st_tail.exe");
        ASSERT_GE(tail, 0);
        EXPECT_EQ(StartupEntryActions(tail), StartupCanRemove | StartupCanToggle);
        EXPECT_EQ(StartupEntryActions(EntryCount - 1), 0);
        EXPECT_EQ(StartupEntryOverLimit(tail), c.whole ? StartupFits : StartupLineTooLong);
    }
}
