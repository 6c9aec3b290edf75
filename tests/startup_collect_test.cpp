// Startup entry collection against the real registry, WIN.INI and folders of
// the test prefix: what is listed, in which order, under which title and
// source, and how each source is labelled.
#include "info/info.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

const char RunBase[] = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const char ShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char UserShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char DisabledKey[] = "Software\\Ostrel Studios\\Sentrovia\\Disabled";
const char ProgramKey[] = "Software\\Ostrel Studios\\Sentrovia";
const char VersionedTitle[] = "Versioned Startup Helper";
const char VersionedProduct[] = "Versioned Startup Product";
const char ProductOnlyTitle[] = "Product Only Startup";

std::string RunKey(const char *name)
{
    return std::string(RunBase) + name;
}

struct Entry {
    std::string title, path, link;
    DWORD source;
};

Entry ReadEntry(int index)
{
    char title[TitleSize], path[PathSize], link[PathSize];
    GetEntryTitle(index, title);
    GetEntryPath(index, path);
    GetEntryLink(index, link);
    return Entry{title, path, link, GetEntrySource(index)};
}

// Index of the first entry with this title and path (case ignored), or -1.
int FindEntry(const std::string &title, const std::string &path)
{
    for (int i = 0; i < EntryCount; ++i) {
        Entry entry = ReadEntry(i);
        if (entry.title == title && lstrcmpiA(entry.path.c_str(), path.c_str()) == 0)
            return i;
    }
    return -1;
}

int CountEntriesWithPath(const std::string &path)
{
    int count = 0;
    for (int i = 0; i < EntryCount; ++i)
        if (lstrcmpiA(ReadEntry(i).path.c_str(), path.c_str()) == 0)
            ++count;
    return count;
}

std::string Label(int index)
{
    char label[TitleSize];
    int length = GetSourceLabel(index, label);
    EXPECT_EQ(length, (int)strlen(label));
    return label;
}

// Deletes a key and the empty keys above it that a test created.
void DeleteCreatedKeys(HKEY root, const std::string &path, size_t keep)
{
    std::string key = path;
    while (key.size() > keep) {
        HKEY handle;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
            return;
        DWORD subkeys = 0, values = 0;
        RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(handle);
        if (subkeys || values || RegDeleteKeyA(root, key.c_str()) != ERROR_SUCCESS)
            return;
        size_t slash = key.rfind('\\');
        if (slash == std::string::npos)
            return;
        key.resize(slash);
    }
}

// Every source the collection reads is put into a known state, and put back
// afterwards: Shell Folders values, WIN.INI lines, the Disabled key and
// folder, and the Run values a test adds.
class StartupCollectTest : public testing::Test {
protected:
    void SetUp() override
    {
        scratch_ = MakeScratchDir("startup_collect");
        std::string empty = Folder("empty");
        // Every Startup folder value points at an empty folder, so that only
        // what a test puts there is found.
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            for (const char *name : {"Startup", "Common Startup"}) {
                savedFolders_.push_back(SaveRegValue(root, ShellFolders, name));
                savedFolders_.push_back(SaveRegValue(root, UserShellFolders, name));
                ASSERT_TRUE(PointShellFolder(root, name, empty));
            }
        }
        for (const char *name : {"Startup", "Common Startup"})
            savedFolders_.push_back(SaveRegValue(HKEY_USERS, ShellFolders, name));
        savedRun_ = SaveWinIniLine("run");
        savedLoad_ = SaveWinIniLine("load");
        WriteProfileStringA("windows", "run", nullptr);
        WriteProfileStringA("windows", "load", nullptr);
        DeleteRegTree(HKEY_LOCAL_MACHINE, DisabledKey);
        disabledFolder_ = TestDir() + "\\Disabled";
        RemoveTree(disabledFolder_);
        versioned_ = FixturePath("startup_versioned.exe");
        productOnly_ = FixturePath("startup_productonly.exe");
        ClearEntries();
    }

    void TearDown() override
    {
        ClearEntries();
        for (const auto &value : runValues_) {
            HKEY key;
            if (RegOpenKeyExA(value.root, value.key.c_str(), 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, value.name.c_str());
                RegCloseKey(key);
            }
            if (value.root == HKEY_USERS)
                DeleteCreatedKeys(HKEY_USERS, value.key, value.keep);
        }
        for (const auto &saved : savedFolders_)
            RestoreRegValue(saved);
        DeleteCreatedKeys(HKEY_USERS, ShellFolders, 0);
        RestoreWinIniLine(savedRun_);
        RestoreWinIniLine(savedLoad_);
        DeleteRegTree(HKEY_LOCAL_MACHINE, DisabledKey);
        DeleteCreatedKeys(HKEY_LOCAL_MACHINE, ProgramKey, strlen("Software"));
        RemoveTree(disabledFolder_);
        RemoveTree(scratch_);
    }

    void AddValue(HKEY root, const std::string &key, const char *name, const char *data,
                  size_t keep = 0)
    {
        ASSERT_TRUE(SetRegString(root, key.c_str(), name, data));
        runValues_.push_back(AddedValue{root, key, name, keep});
    }

    std::string Folder(const char *name)
    {
        std::string folder = scratch_ + "\\" + name;
        CreateDirectoryA(folder.c_str(), nullptr);
        return folder;
    }

    void SetShellFolder(HKEY root, const char *name, const std::string &folder)
    {
        if (root == HKEY_USERS) {
            ASSERT_TRUE(SetRegString(root, ShellFolders, name, folder.c_str()));
        } else {
            ASSERT_TRUE(PointShellFolder(root, name, folder));
        }
    }

    void Park(const char *parkingKey, const char *name, const char *data, const char *marker)
    {
        std::string key = std::string(DisabledKey) + "\\" + parkingKey;
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key.c_str(), name, data));
        if (marker) {
            ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, DisabledKey, name, marker));
        }
    }

    struct AddedValue {
        HKEY root;
        std::string key, name;
        size_t keep;
    };
    std::vector<SavedRegValue> savedFolders_;
    std::vector<AddedValue> runValues_;
    SavedWinIniLine savedRun_, savedLoad_;
    std::string disabledFolder_, scratch_, versioned_, productOnly_;
};

TEST_F(StartupCollectTest, ListsEverySourceInOrderWithTitlesAndLinks)
{
    AddValue(HKEY_LOCAL_MACHINE, RunKey("Run"), "StMachineRun", "\"C:\\St Test\\machine.exe\" /a");
    AddValue(HKEY_LOCAL_MACHINE, RunKey("RunServicesOnce"), "StMachineSvcOnce", "C:\\svconce.exe");
    AddValue(HKEY_CURRENT_USER, RunKey("Run"), "StUserRun", "C:\\user.exe");
    AddValue(HKEY_CURRENT_USER, RunKey("RunOnceEx"), "StUserOnceEx", "C:\\onceex.exe");
    AddValue(HKEY_USERS, RunKey("Run"), "StUsersRun", "C:\\users.exe");
    WriteProfileStringA("windows", "run", "st_a.exe;;st_b.exe");
    WriteProfileStringA("windows", "load", versioned_.c_str());

    std::string machine = Folder("machine");
    std::string common = Folder("common");
    std::string user = Folder("user");
    SetShellFolder(HKEY_LOCAL_MACHINE, "Startup", machine);
    SetShellFolder(HKEY_LOCAL_MACHINE, "Common Startup", common);
    SetShellFolder(HKEY_CURRENT_USER, "Common Startup", user);
    ASSERT_TRUE(CreateShortcutFile(machine + "\\described.lnk", versioned_, "A Described Shortcut"));
    ASSERT_TRUE(CreateShortcutFile(machine + "\\plain.lnk", versioned_, nullptr));
    ASSERT_TRUE(CreateShortcutFile(machine + "\\product.lnk", productOnly_, nullptr));
    ASSERT_TRUE(CopyFileA(versioned_.c_str(), (machine + "\\copy.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(machine + "\\old.pif", "pif"));
    ASSERT_TRUE(WriteFileBytes(machine + "\\notes.txt", "not a program"));
    CreateDirectoryA((machine + "\\sub").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(productOnly_.c_str(), (machine + "\\sub\\inner.exe").c_str(), FALSE));
    CreateDirectoryA((machine + "\\hidden").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(machine + "\\hidden\\secret.exe", "MZ"));
    ASSERT_TRUE(SetFileAttributesA((machine + "\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    CreateDirectoryA((machine + "\\masked.exe").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(machine + "\\masked.exe\\behind.exe", "MZ"));
    ASSERT_TRUE(SetFileAttributesA((machine + "\\masked.exe").c_str(), FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(WriteFileBytes(common + "\\common.exe", "MZ"));
    ASSERT_TRUE(WriteFileBytes(user + "\\user.exe", "MZ"));

    Park("RunOnce", "StParkedOnce", "C:\\parked.exe", "2");
    Park("WinRun", "StOrphan", "C:\\orphan.exe", nullptr);
    CreateDirectoryA(disabledFolder_.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(versioned_.c_str(), (disabledFolder_ + "\\parked.exe").c_str(), FALSE));

    int count = CollectStartupEntries();
    EXPECT_EQ(count, EntryCount);

    struct Expected {
        const char *title;
        std::string path, link;
        DWORD source;
    };
    const Expected expected[] = {
        {"StMachineRun", "C:\\St Test\\machine.exe /a", "", 1},
        {"StMachineSvcOnce", "C:\\svconce.exe", "", 5},
        {"StUserRun", "C:\\user.exe", "", 11},
        {"StUserOnceEx", "C:\\onceex.exe", "", 13},
        {"StUsersRun", "C:\\users.exe", "", 21},
        {"run", "st_a.exe", "", 101},
        {"run", "st_b.exe", "", 101},
        {VersionedProduct, versioned_, "", 100},
        {"", common + "\\common.exe", common + "\\common.exe", 200},
        {"", user + "\\user.exe", user + "\\user.exe", 200},
        {"StParkedOnce", "C:\\parked.exe", "", 2},
        {"StOrphan", "C:\\orphan.exe", "", 0},
        {VersionedTitle, disabledFolder_ + "\\parked.exe", disabledFolder_ + "\\parked.exe", 200},
    };
    int previous = -1;
    for (const auto &want : expected) {
        SCOPED_TRACE(want.path);
        int index = FindEntry(want.title, want.path);
        ASSERT_GE(index, 0);
        EXPECT_GT(index, previous);
        previous = index;
        Entry got = ReadEntry(index);
        EXPECT_EQ(got.source, want.source);
        EXPECT_STREQ(got.link.c_str(), want.link.c_str());
        EXPECT_EQ(GetEntryNumber(index), 0u);
    }

    // The machine Startup folder lies between WIN.INI and the Common Startup
    // folder; within it the order is the file system's.
    int winIni = FindEntry(VersionedProduct, versioned_);
    int commonFile = FindEntry("", common + "\\common.exe");
    const Expected inMachine[] = {
        {"A Described Shortcut", versioned_, machine + "\\described.lnk", 200},
        {VersionedTitle, versioned_, machine + "\\plain.lnk", 200},
        {ProductOnlyTitle, productOnly_, machine + "\\product.lnk", 200},
        {VersionedTitle, machine + "\\copy.exe", machine + "\\copy.exe", 200},
        {"", machine + "\\old.pif", "", 200},
        {ProductOnlyTitle, machine + "\\sub\\inner.exe", machine + "\\sub\\inner.exe", 200},
        {"", machine + "\\masked.exe", machine + "\\masked.exe", 200},
    };
    for (const auto &want : inMachine) {
        SCOPED_TRACE(want.link + " " + want.path);
        int index = -1;
        for (int i = 0; i < EntryCount && index < 0; ++i) {
            Entry entry = ReadEntry(i);
            if (entry.title == want.title && !lstrcmpiA(entry.path.c_str(), want.path.c_str()) &&
                !lstrcmpiA(entry.link.c_str(), want.link.c_str()))
                index = i;
        }
        ASSERT_GE(index, 0);
        EXPECT_GT(index, winIni);
        EXPECT_LT(index, commonFile);
        EXPECT_EQ(GetEntrySource(index), 200u);
    }
    // A file inside a plain subfolder comes once; nothing of a hidden folder,
    // nor of a system folder that passes for a file; no text file at all.
    EXPECT_EQ(CountEntriesWithPath(machine + "\\sub\\inner.exe"), 1);
    EXPECT_EQ(CountEntriesWithPath(machine + "\\hidden\\secret.exe"), 0);
    EXPECT_EQ(CountEntriesWithPath(machine + "\\masked.exe\\behind.exe"), 0);
    EXPECT_EQ(CountEntriesWithPath(machine + "\\notes.txt"), 0);
    EXPECT_EQ(CountEntriesWithPath(machine + "\\hidden"), 0);
    EXPECT_EQ(CountEntriesWithPath(machine + "\\sub"), 0);

    // A second collection rebuilds the same list rather than adding to it.
    EXPECT_EQ(CollectStartupEntries(), count);
}

TEST_F(StartupCollectTest, RunValuesPassTheListingFilter)
{
    std::string run = RunKey("Run");
    AddValue(HKEY_LOCAL_MACHINE, run, "X", "C:\\single.exe");
    AddValue(HKEY_LOCAL_MACHINE, run, "Sb", "C:\\two.exe");
    AddValue(HKEY_LOCAL_MACHINE, run, "StFour", "a.ex");
    AddValue(HKEY_LOCAL_MACHINE, run, "StFive", "a.exe");
    AddValue(HKEY_LOCAL_MACHINE, run, "\xE9StHigh", "C:\\high.exe");
    AddValue(HKEY_LOCAL_MACHINE, run, "", "C:\\default.exe");
    // Beneath a user's own hive HKEY_USERS is not read, only its own Run key.
    AddValue(HKEY_USERS, std::string(".DEFAULT\\") + RunKey("Run"), "StDefaultUser",
             "C:\\defaultuser.exe", strlen(".DEFAULT\\Software"));
    Park("Run", "Q", "x", nullptr);

    CollectStartupEntries();
    EXPECT_EQ(CountEntriesWithPath("C:\\single.exe"), 0);
    EXPECT_GE(FindEntry("Sb", "C:\\two.exe"), 0);
    EXPECT_EQ(CountEntriesWithPath("a.ex"), 0);
    EXPECT_GE(FindEntry("StFive", "a.exe"), 0);
    EXPECT_EQ(CountEntriesWithPath("C:\\high.exe"), 0);
    EXPECT_EQ(CountEntriesWithPath("C:\\default.exe"), 0);
    EXPECT_EQ(CountEntriesWithPath("C:\\defaultuser.exe"), 0);
    // A parked value is listed whenever it has a name.
    int parked = FindEntry("Q", "x");
    ASSERT_GE(parked, 0);
    EXPECT_EQ(GetEntrySource(parked), 0u);
}

TEST_F(StartupCollectTest, OverlongValuesAreListedCut)
{
    std::string run = RunKey("Run");
    std::string name = "StLong" + std::string(294, 'n');
    std::string data = "C:\\" + std::string(597, 'd');
    AddValue(HKEY_CURRENT_USER, run, name.c_str(), data.c_str());
    AddValue(HKEY_CURRENT_USER, run, "StLongData", data.c_str());
    AddValue(HKEY_CURRENT_USER, run, name.substr(0, 200).c_str(), "C:\\longname.exe");
    AddValue(HKEY_CURRENT_USER, run, "StAfterLong", "C:\\after.exe");

    CollectStartupEntries();
    EXPECT_GE(FindEntry("StAfterLong", "C:\\after.exe"), 0);
    // Names come cut to the title field, data to the 256-byte read buffer.
    EXPECT_GE(FindEntry(name.substr(0, TitleSize - 1), data.substr(0, 255)), 0);
    EXPECT_GE(FindEntry("StLongData", data.substr(0, 255)), 0);
    EXPECT_GE(FindEntry(name.substr(0, TitleSize - 1), "C:\\longname.exe"), 0);
}

TEST_F(StartupCollectTest, WinIniLinesSplitAtSemicolonsOnly)
{
    WriteProfileStringA("windows", "run", ";st one.exe, two;;;st_three.exe;");
    WriteProfileStringA("windows", "load", "st_x.exe st_y.exe");
    CollectStartupEntries();
    EXPECT_GE(FindEntry("run", "st one.exe, two"), 0);
    EXPECT_GE(FindEntry("run", "st_three.exe"), 0);
    EXPECT_GE(FindEntry("load", "st_x.exe st_y.exe"), 0);
    int fromWinIni = 0;
    for (int i = 0; i < EntryCount; ++i)
        if (GetEntrySource(i) == 100 || GetEntrySource(i) == 101)
            ++fromWinIni;
    EXPECT_EQ(fromWinIni, 3);
    EXPECT_EQ(CountEntriesWithPath(""), 0);
}

TEST_F(StartupCollectTest, ShellFolderValuesAreExpanded)
{
    std::string folder = Folder("expanded");
    ASSERT_TRUE(WriteFileBytes(folder + "\\expanded.exe", "MZ"));
    SetEnvironmentVariableA("ST_STARTUP_SCRATCH", scratch_.c_str());
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, ShellFolders, "Startup",
                             "%ST_STARTUP_SCRATCH%\\expanded", REG_EXPAND_SZ));
    CollectStartupEntries();
    EXPECT_GE(FindEntry("", folder + "\\expanded.exe"), 0);
    SetEnvironmentVariableA("ST_STARTUP_SCRATCH", nullptr);
}

TEST_F(StartupCollectTest, ShortcutsResolveToTargetAndDescription)
{
    std::string folder = Folder("links");
    std::string described = folder + "\\described.lnk";
    std::string bare = folder + "\\bare.lnk";
    std::string broken = folder + "\\broken.lnk";
    ASSERT_TRUE(CreateShortcutFile(described, versioned_, "Shortcut Words"));
    ASSERT_TRUE(CreateShortcutFile(bare, versioned_, nullptr));
    ASSERT_TRUE(WriteFileBytes(broken, "this is no shortcut at all"));

    char target[PathSize], description[PathSize], longTarget[PathSize];
    EXPECT_TRUE(SUCCEEDED(ResolveShortcut(nullptr, described.c_str(), target, description)));
    ToLongPathName(longTarget, sizeof(longTarget), target);
    EXPECT_EQ(lstrcmpiA(longTarget, versioned_.c_str()), 0) << target;
    EXPECT_STREQ(description, "Shortcut Words");

    ResolveShortcut(nullptr, bare.c_str(), target, description);
    ToLongPathName(longTarget, sizeof(longTarget), target);
    EXPECT_EQ(lstrcmpiA(longTarget, versioned_.c_str()), 0) << target;
    EXPECT_STREQ(description, "");

    strcpy(target, "stale");
    strcpy(description, "stale");
    EXPECT_FALSE(SUCCEEDED(ResolveShortcut(nullptr, broken.c_str(), target, description)));
    EXPECT_STREQ(target, "");
    EXPECT_STREQ(description, "");

    // Listed, the broken shortcut keeps its file as Link with no title or path.
    SetShellFolder(HKEY_LOCAL_MACHINE, "Startup", folder);
    CollectStartupEntries();
    int index = -1;
    for (int i = 0; i < EntryCount; ++i)
        if (!lstrcmpiA(ReadEntry(i).link.c_str(), broken.c_str()))
            index = i;
    ASSERT_GE(index, 0);
    EXPECT_EQ(ReadEntry(index).title, "");
    EXPECT_EQ(ReadEntry(index).path, "");
    EXPECT_GE(FindEntry("Shortcut Words", versioned_), 0);
    EXPECT_GE(FindEntry(VersionedTitle, versioned_), 0);
}

TEST_F(StartupCollectTest, FileDescriptionComesFromTheVersionResource)
{
    char text[TitleSize] = "stale";
    EXPECT_EQ(GetFileDescription(versioned_.c_str(), text), (int)strlen(VersionedTitle));
    EXPECT_STREQ(text, VersionedTitle);
    EXPECT_EQ(GetFileDescription(productOnly_.c_str(), text), 0);
    EXPECT_STREQ(text, "");
    std::string plain = Folder("plain") + "\\plain.exe";
    ASSERT_TRUE(WriteFileBytes(plain, "MZ"));
    EXPECT_EQ(GetFileDescription(plain.c_str(), text), 0);
    EXPECT_EQ(GetFileDescription((scratch_ + "\\missing.exe").c_str(), text), 0);
}

TEST_F(StartupCollectTest, EveryLabelReadsAsItsSource)
{
    const std::string tail = "Software\\Microsoft\\Windows\\CurrentVersion\\";
    const char *keys[] = {"Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce"};
    struct Case {
        DWORD source;
        std::string label;
    };
    std::vector<Case> cases;
    for (int k = 0; k < 5; ++k) {
        cases.push_back({(DWORD)(1 + k), "HKEY_LOCAL_MACHINE\\" + tail + keys[k]});
        cases.push_back({(DWORD)(11 + k), "HKEY_CURRENT_USER\\" + tail + keys[k]});
        cases.push_back({(DWORD)(21 + k), "HKEY_USER\\" + tail + keys[k]});
    }
    cases.push_back({100, "WIN.INI     [Load] Section"});
    cases.push_back({101, "WIN.INI     [Run] Section"});
    cases.push_back({200, "Windows Startup Group"});
    for (DWORD none : {0u, 6u, 10u, 16u, 20u, 26u, 99u, 102u, 199u, 201u, 500u, 503u, 600u})
        cases.push_back({none, ""});
    for (const auto &c : cases)
        AddEntry("StLabelProbe", "C:\\probe.exe", "", c.source, 0);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].source);
        EXPECT_EQ(Label((int)i), cases[i].label);
        EXPECT_EQ(GetDisabledSource((int)i), 0);
    }
}

TEST_F(StartupCollectTest, DisabledEntriesCarryTheMarkerInTheirLabel)
{
    Park("Run", "StParkedMachine", "C:\\machine.exe", "1");
    Park("RunServicesOnce", "StParkedLongest", "C:\\longest.exe", "5");
    Park("WinLoad", "StParkedLoad", "C:\\load.exe", "100");
    Park("Run", "StParkedNoMarker", "C:\\nomarker.exe", nullptr);
    Park("Run", "StParkedZero", "C:\\zero.exe", "0");
    Park("Run", "StParkedText", "C:\\text.exe", " 13 and more");
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, DisabledKey, "StShared", "200"));

    CollectStartupEntries();
    int machine = FindEntry("StParkedMachine", "C:\\machine.exe");
    int longest = FindEntry("StParkedLongest", "C:\\longest.exe");
    int load = FindEntry("StParkedLoad", "C:\\load.exe");
    int noMarker = FindEntry("StParkedNoMarker", "C:\\nomarker.exe");
    int zero = FindEntry("StParkedZero", "C:\\zero.exe");
    int text = FindEntry("StParkedText", "C:\\text.exe");
    ASSERT_TRUE(machine >= 0 && longest >= 0 && load >= 0 && noMarker >= 0 && zero >= 0 &&
                text >= 0);
    EXPECT_EQ(Label(machine),
              "* Disabled HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_EQ(GetDisabledSource(machine), 1);
    std::string longestLabel = Label(longest);
    EXPECT_EQ(longestLabel, "* Disabled HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\"
                            "CurrentVersion\\RunServicesOnce");
    EXPECT_EQ(longestLabel.size(), 87u);
    EXPECT_EQ(Label(load), "* Disabled WIN.INI     [Load] Section");
    EXPECT_EQ(GetEntrySource(noMarker), 0u);
    EXPECT_EQ(GetDisabledSource(noMarker), 0);
    EXPECT_EQ(Label(noMarker), "");
    EXPECT_EQ(GetEntrySource(zero), 0u);
    EXPECT_EQ(Label(zero), "");
    EXPECT_EQ(GetEntrySource(text), 13u);
    EXPECT_EQ(GetDisabledSource(text), 13);
    EXPECT_EQ(Label(text), "* Disabled HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\"
                           "CurrentVersion\\RunOnceEx");

    // Markers go by title alone: an entry that was never parked but shares a
    // marker's name shows as disabled too.
    AddEntry("StShared", "C:\\shared.exe", "", 200, 0);
    EXPECT_EQ(GetDisabledSource(EntryCount - 1), 200);
    EXPECT_EQ(Label(EntryCount - 1), "* Disabled Windows Startup Group");

    // The word comes from string 626, which the registry may replace.
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, ProgramKey, "LString626", "Geparkt "));
    EXPECT_EQ(Label(machine),
              "* Geparkt HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, ProgramKey, 0, KEY_WRITE, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, "LString626");
    RegCloseKey(key);
}

TEST_F(StartupCollectTest, UntitledFilesAreFoundByTheirFileName)
{
    // An untitled file has no title to name its marker after; its file name
    // stands in, so a parked one shows as disabled.
    CreateDirectoryA(disabledFolder_.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(disabledFolder_ + "\\untitled.exe", "MZ"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, DisabledKey, "untitled.exe", "200"));
    CollectStartupEntries();
    int index = FindEntry("", disabledFolder_ + "\\untitled.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(GetDisabledSource(index), 200);
    EXPECT_EQ(Label(index), "* Disabled Windows Startup Group");
    // An entry with neither title nor file never reads the key's default value.
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, DisabledKey, "", "200"));
    AddEntry("", "C:\\some.pif", "", 200, 0);
    EXPECT_EQ(GetDisabledSource(EntryCount - 1), 0);
    EXPECT_EQ(Label(EntryCount - 1), "Windows Startup Group");
}

struct Visit {
    std::string path;
    DWORD attributes;
};
std::vector<Visit> Visits;

void RecordVisit(const char *path, const WIN32_FIND_DATAA *find, LPARAM tag)
{
    EXPECT_EQ(tag, (LPARAM)77);
    Visits.push_back(Visit{path, find->dwFileAttributes});
}

int VisitIndex(const std::string &path)
{
    for (size_t i = 0; i < Visits.size(); ++i)
        if (!lstrcmpiA(Visits[i].path.c_str(), path.c_str()))
            return (int)i;
    return -1;
}

TEST_F(StartupCollectTest, WalkFolderVisitsItemsAndSubfoldersToItsDepth)
{
    std::string root = Folder("walk");
    CreateDirectoryA((root + "\\inner").c_str(), nullptr);
    CreateDirectoryA((root + "\\inner\\deeper").c_str(), nullptr);
    CreateDirectoryA((root + "\\.dotted").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(root + "\\top.txt", "1"));
    ASSERT_TRUE(WriteFileBytes(root + "\\.dotfile", "1"));
    ASSERT_TRUE(WriteFileBytes(root + "\\inner\\mid.txt", "1"));
    ASSERT_TRUE(WriteFileBytes(root + "\\inner\\deeper\\low.txt", "1"));
    ASSERT_TRUE(WriteFileBytes(root + "\\.dotted\\hid.txt", "1"));

    char folder[PathSize];
    strcpy(folder, root.c_str());
    Visits.clear();
    WalkFolder(folder, RecordVisit, 0, 77);
    EXPECT_EQ(std::string(folder), root + "\\");
    EXPECT_GE(VisitIndex(root + "\\top.txt"), 0);
    EXPECT_GE(VisitIndex(root + "\\.dotfile"), 0);
    EXPECT_GE(VisitIndex(root + "\\inner"), 0);
    EXPECT_EQ(VisitIndex(root + "\\inner\\mid.txt"), -1);
    EXPECT_EQ(VisitIndex(root + "\\.dotted"), -1);
    EXPECT_EQ(Visits.size(), 3u);

    // Depth 1: the subfolder's items come before the subfolder itself, and
    // the walk stops one level down.
    Visits.clear();
    WalkFolder(folder, RecordVisit, 1, 77);
    int mid = VisitIndex(root + "\\inner\\mid.txt");
    int inner = VisitIndex(root + "\\inner");
    ASSERT_GE(mid, 0);
    ASSERT_GE(inner, 0);
    EXPECT_LT(mid, inner);
    EXPECT_GE(VisitIndex(root + "\\inner\\deeper"), 0);
    EXPECT_EQ(VisitIndex(root + "\\inner\\deeper\\low.txt"), -1);
    EXPECT_EQ(VisitIndex(root + "\\.dotted\\hid.txt"), -1);

    Visits.clear();
    strcpy(folder, (scratch_ + "\\no such folder").c_str());
    WalkFolder(folder, RecordVisit, 3, 77);
    folder[0] = '\0';
    WalkFolder(folder, RecordVisit, 0, 77);
    EXPECT_TRUE(Visits.empty());
}

TEST_F(StartupCollectTest, AddFolderFileFollowsTheWalkMode)
{
    std::string folder = Folder("modes");
    ASSERT_TRUE(CopyFileA(versioned_.c_str(), (folder + "\\mode.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(folder + "\\cookie.txt", "name\nvalue\n"));
    CreateDirectoryA((folder + "\\nested").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(folder + "\\nested\\nested.exe", "MZ"));
    char walk[PathSize];
    int previousMode = FolderWalkMode;

    for (int mode : {0, 2, 3}) {
        SCOPED_TRACE(mode);
        FolderWalkMode = mode;
        strcpy(walk, folder.c_str());
        WalkFolder(walk, AddFolderFile, 0, 0);
        for (int i = 0; i < EntryCount; ++i)
            EXPECT_NE(GetEntrySource(i), 200u);
        ClearEntries();
    }

    FolderWalkMode = 1;
    strcpy(walk, folder.c_str());
    WalkFolder(walk, AddFolderFile, 0, 0);
    EXPECT_GE(FindEntry(VersionedTitle, folder + "\\mode.exe"), 0);
    EXPECT_GE(FindEntry("", folder + "\\nested\\nested.exe"), 0);
    EXPECT_EQ(EntryCount, 2);

    // Collecting sets the mode to startup files, whatever it was.
    FolderWalkMode = 2;
    CollectStartupEntries();
    EXPECT_EQ(FolderWalkMode, 1);
    FolderWalkMode = previousMode;
}

TEST_F(StartupCollectTest, ProgramDirectoryIsTheExecutablesFolder)
{
    char folder[TextSize];
    int length = ProgramDirectory(folder);
    EXPECT_EQ(length, (int)strlen(folder));
    EXPECT_EQ(lstrcmpiA(folder, TestDir().c_str()), 0) << folder;
}

} // namespace
