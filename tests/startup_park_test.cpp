// Disabling, enabling and removing startup entries of every family against
// the real registry, WIN.INI and folders of the test prefix; the faults that
// must not lose a command; the program's own autorun value.
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <sddl.h>
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

std::string RunKey(const char *name)
{
    return std::string(RunBase) + name;
}

std::string Parking(const char *name)
{
    return std::string(DisabledKey) + "\\" + name;
}

std::string Marker(const char *title)
{
    return GetRegString(HKEY_LOCAL_MACHINE, DisabledKey, title);
}

const std::string Missing = "<missing>";

DWORD ValueType(HKEY root, const std::string &key, const char *name)
{
    HKEY handle;
    DWORD type = REG_NONE;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return REG_NONE;
    RegQueryValueExA(handle, name, nullptr, &type, nullptr, nullptr);
    RegCloseKey(handle);
    return type;
}

bool FileThere(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Gives a key a security descriptor written in SDDL.
bool SetKeySecurity(HKEY root, const char *path, const char *sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return false;
    HKEY key;
    bool ok = RegOpenKeyExA(root, path, 0, WRITE_DAC, &key) == ERROR_SUCCESS;
    if (ok) {
        ok = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    LocalFree(descriptor);
    return ok;
}

// Read access only, for everyone.
const char ReadOnlyKey[] = "D:(A;;KR;;;WD)";
const char OpenKey[] = "D:(A;;KA;;;WD)";

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

// Collects afresh and returns the index of the entry with this title and
// path (case ignored), or -1.
int Collect(const std::string &title, const std::string &path)
{
    CollectStartupEntries();
    for (int i = 0; i < EntryCount; ++i) {
        Entry entry = ReadEntry(i);
        if (entry.title == title && lstrcmpiA(entry.path.c_str(), path.c_str()) == 0)
            return i;
    }
    return -1;
}

// The same, for the entry that a file carries.
int CollectLink(const std::string &link)
{
    CollectStartupEntries();
    for (int i = 0; i < EntryCount; ++i)
        if (lstrcmpiA(ReadEntry(i).link.c_str(), link.c_str()) == 0)
            return i;
    return -1;
}

// What the page's Enable/Disable and Remove buttons hand over for row i.
int ToggleAt(int index)
{
    Entry e = ReadEntry(index);
    return ToggleStartupEntry(e.title.c_str(), e.path.c_str(), e.link.c_str(), e.source);
}

int RemoveAt(int index)
{
    Entry e = ReadEntry(index);
    return RemoveStartupEntry(e.title.c_str(), e.path.c_str(), e.link.c_str(), e.source);
}

std::string Label(int index)
{
    char label[TitleSize];
    GetSourceLabel(index, label);
    return label;
}

class StartupParkTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            for (const char *name : {"Startup", "Common Startup"}) {
                saved_.push_back(SaveRegValue(root, ShellFolders, name));
                saved_.push_back(SaveRegValue(root, UserShellFolders, name));
            }
        }
        saved_.push_back(SaveRegValue(HKEY_LOCAL_MACHINE, RunKey("Run").c_str(), AppTitle));
        savedRun_ = SaveWinIniLine("run");
        savedLoad_ = SaveWinIniLine("load");
        WriteProfileStringA("windows", "run", nullptr);
        WriteProfileStringA("windows", "load", nullptr);
        ForgetParking();
        scratch_ = MakeScratchDir("startup_park");
        machine_ = Folder("machine");
        common_ = Folder("common");
        user_ = Folder("user");
        ASSERT_TRUE(PointShellFolder(HKEY_LOCAL_MACHINE, "Startup", machine_));
        ASSERT_TRUE(PointShellFolder(HKEY_LOCAL_MACHINE, "Common Startup", common_));
        ASSERT_TRUE(PointShellFolder(HKEY_CURRENT_USER, "Startup", user_));
        ASSERT_TRUE(PointShellFolder(HKEY_CURRENT_USER, "Common Startup", Folder("empty")));
        versioned_ = FixturePath("startup_versioned.exe");
        ClearEntries();
    }

    void TearDown() override
    {
        ClearEntries();
        for (const auto &value : added_) {
            HKEY key;
            if (RegOpenKeyExA(value.first, value.second.first.c_str(), 0, KEY_WRITE, &key) ==
                ERROR_SUCCESS) {
                RegDeleteValueA(key, value.second.second.c_str());
                RegCloseKey(key);
            }
        }
        for (const auto &key : createdKeys_)
            DeleteRegTree(key.first, key.second.c_str());
        for (const auto &saved : saved_)
            RestoreRegValue(saved);
        RestoreWinIniLine(savedRun_);
        RestoreWinIniLine(savedLoad_);
        ForgetParking();
        RemoveTree(scratch_);
    }

    // The Disabled key (with any lock a test put on it) and the two folders
    // beside the program.
    void ForgetParking()
    {
        const char *keys[] = {"Run", "RunOnce", "RunServices", "WinRun", "WinLoad"};
        for (const char *name : keys)
            SetKeySecurity(HKEY_LOCAL_MACHINE, Parking(name).c_str(), OpenKey);
        SetKeySecurity(HKEY_LOCAL_MACHINE, DisabledKey, OpenKey);
        DeleteRegTree(HKEY_LOCAL_MACHINE, DisabledKey);
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ProgramKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            DWORD subkeys = 0, values = 0;
            RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr);
            RegCloseKey(key);
            if (!subkeys && !values)
                RegDeleteKeyA(HKEY_LOCAL_MACHINE, ProgramKey);
        }
        RemoveTree(TestDir() + "\\Disabled");
        RemoveTree(TestDir() + "\\Removed");
    }

    void AddValue(HKEY root, const std::string &key, const char *name, const char *data)
    {
        HKEY handle;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS)
            RegCloseKey(handle);
        else
            createdKeys_.push_back({root, key});
        ASSERT_TRUE(SetRegString(root, key.c_str(), name, data));
        added_.push_back({root, {key, name}});
    }

    std::string Folder(const char *name)
    {
        std::string folder = scratch_ + "\\" + name;
        CreateDirectoryA(folder.c_str(), nullptr);
        return folder;
    }

    std::string DisabledFolder() { return TestDir() + "\\Disabled"; }
    std::string RemovedFolder() { return TestDir() + "\\Removed"; }

    std::vector<SavedRegValue> saved_;
    std::vector<std::pair<HKEY, std::pair<std::string, std::string>>> added_;
    std::vector<std::pair<HKEY, std::string>> createdKeys_;
    SavedWinIniLine savedRun_, savedLoad_;
    std::string scratch_, machine_, common_, user_, versioned_;
};

TEST_F(StartupParkTest, MachineRunValueGoesToItsParkingKeyAndBack)
{
    AddValue(HKEY_LOCAL_MACHINE, RunKey("Run"), "StParkMachine", "C:\\Apps\\one.exe /x");
    int index = Collect("StParkMachine", "C:\\Apps\\one.exe /x");
    ASSERT_GE(index, 0);
    EXPECT_EQ(GetEntrySource(index), 1u);
    EXPECT_FALSE(DisableWouldCollide("StParkMachine", "C:\\Apps\\one.exe /x", 1));

    EXPECT_EQ(ToggleAt(index), 1);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, RunKey("Run").c_str(), "StParkMachine"));
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StParkMachine"),
              "C:\\Apps\\one.exe /x");
    EXPECT_EQ(Marker("StParkMachine"), "1");

    index = Collect("StParkMachine", "C:\\Apps\\one.exe /x");
    ASSERT_GE(index, 0);
    EXPECT_EQ(GetEntrySource(index), 1u);
    EXPECT_EQ(GetDisabledSource(index), 1);
    EXPECT_EQ(Label(index),
              "* Disabled HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    // The page asks before every toggle; a parked entry is no collision.
    EXPECT_FALSE(DisableWouldCollide("StParkMachine", "C:\\Apps\\one.exe /x", 1));

    EXPECT_EQ(ToggleAt(index), 1);
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, RunKey("Run").c_str(), "StParkMachine"),
              "C:\\Apps\\one.exe /x");
    EXPECT_EQ(ValueType(HKEY_LOCAL_MACHINE, RunKey("Run"), "StParkMachine"), (DWORD)REG_SZ);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StParkMachine"));
    EXPECT_EQ(Marker("StParkMachine"), Missing);
    index = Collect("StParkMachine", "C:\\Apps\\one.exe /x");
    ASSERT_GE(index, 0);
    EXPECT_EQ(GetDisabledSource(index), 0);
    EXPECT_EQ(Label(index),
              "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
}

TEST_F(StartupParkTest, UserRunValueParksUnderTheMachineKeyAndReturnsToTheUser)
{
    AddValue(HKEY_CURRENT_USER, RunKey("Run"), "StParkUser", "C:\\Apps\\user.exe");
    AddValue(HKEY_CURRENT_USER, RunKey("RunOnce"), "StParkUserOnce", "C:\\Apps\\once.exe");
    int run = Collect("StParkUser", "C:\\Apps\\user.exe");
    ASSERT_GE(run, 0);
    EXPECT_EQ(ToggleAt(run), 1);
    int once = Collect("StParkUserOnce", "C:\\Apps\\once.exe");
    ASSERT_GE(once, 0);
    EXPECT_EQ(GetEntrySource(once), 12u);
    EXPECT_EQ(ToggleAt(once), 1);

    EXPECT_EQ(Marker("StParkUser"), "11");
    EXPECT_EQ(Marker("StParkUserOnce"), "12");
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StParkUser"),
              "C:\\Apps\\user.exe");
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, Parking("RunOnce").c_str(), "StParkUserOnce"),
              "C:\\Apps\\once.exe");
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, RunKey("Run").c_str(), "StParkUser"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, RunKey("RunOnce").c_str(), "StParkUserOnce"));

    run = Collect("StParkUser", "C:\\Apps\\user.exe");
    ASSERT_GE(run, 0);
    EXPECT_EQ(GetEntrySource(run), 11u);
    EXPECT_EQ(Label(run),
              "* Disabled HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_EQ(ToggleAt(run), 1);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, RunKey("Run").c_str(), "StParkUser"),
              "C:\\Apps\\user.exe");
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, RunKey("Run").c_str(), "StParkUser"));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StParkUser"));
    EXPECT_EQ(Marker("StParkUser"), Missing);
    EXPECT_EQ(Marker("StParkUserOnce"), "12");
}

TEST_F(StartupParkTest, QuotedCommandComesBackWithoutQuotes)
{
    AddValue(HKEY_LOCAL_MACHINE, RunKey("Run"), "StQuoted",
             "\"C:\\Program Files\\St App\\app.exe\" -min");
    const std::string listed = "C:\\Program Files\\St App\\app.exe -min";
    int index = Collect("StQuoted", listed);
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 1);
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StQuoted"), listed);
    index = Collect("StQuoted", listed);
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 1);
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, RunKey("Run").c_str(), "StQuoted"), listed);
}

TEST_F(StartupParkTest, WinIniTokensLeaveTheirLineAndComeBack)
{
    WriteProfileStringA("windows", "run", "st_first.exe;st_mid.exe;st_last.exe");
    WriteProfileStringA("windows", "load", "st_load.exe");

    int mid = Collect("run", "st_mid.exe");
    ASSERT_GE(mid, 0);
    EXPECT_EQ(GetEntrySource(mid), 101u);
    EXPECT_EQ(ToggleAt(mid), 1);
    EXPECT_EQ(GetWinIniLine("run"), "st_first.exe;st_last.exe;");
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, Parking("WinRun").c_str(), "run"), "st_mid.exe");
    EXPECT_EQ(Marker("run"), "101");

    int load = Collect("load", "st_load.exe");
    ASSERT_GE(load, 0);
    EXPECT_EQ(GetEntrySource(load), 100u);
    EXPECT_EQ(ToggleAt(load), 1);
    EXPECT_EQ(GetWinIniLine("load"), "");
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, Parking("WinLoad").c_str(), "load"), "st_load.exe");
    EXPECT_EQ(Marker("load"), "100");

    // Both tokens titled "run" share the marker now; the one still in the
    // line cannot be parked over the other, and is not "enabled" either.
    int first = Collect("run", "st_first.exe");
    ASSERT_GE(first, 0);
    EXPECT_EQ(GetDisabledSource(first), 101);
    EXPECT_TRUE(DisableWouldCollide("run", "st_first.exe", 101));
    EXPECT_EQ(ToggleAt(first), 0);
    EXPECT_EQ(GetWinIniLine("run"), "st_first.exe;st_last.exe;");
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, Parking("WinRun").c_str(), "run"), "st_mid.exe");

    // The parked entries are listed after the Startup folders, disabled.
    CollectStartupEntries();
    int parkedMid = -1, parkedLoad = -1;
    for (int i = 0; i < EntryCount; ++i) {
        Entry e = ReadEntry(i);
        if (e.path == "st_mid.exe")
            parkedMid = i;
        if (e.path == "st_load.exe")
            parkedLoad = i;
    }
    ASSERT_GE(parkedMid, 0);
    ASSERT_GE(parkedLoad, 0);
    EXPECT_GT(parkedMid, parkedLoad);  // WinLoad is read before WinRun
    EXPECT_EQ(Label(parkedMid), "* Disabled WIN.INI     [Run] Section");
    EXPECT_FALSE(DisableWouldCollide("run", "st_mid.exe", 101));
    EXPECT_FALSE(DisableWouldCollide("load", "st_load.exe", 100));
    EXPECT_EQ(Label(parkedLoad), "* Disabled WIN.INI     [Load] Section");
    EXPECT_EQ(ToggleAt(parkedMid), 1);
    EXPECT_EQ(ToggleAt(parkedLoad), 1);
    EXPECT_EQ(GetWinIniLine("run"), "st_first.exe;st_last.exe;;st_mid.exe");
    EXPECT_EQ(GetWinIniLine("load"), ";st_load.exe");
    EXPECT_EQ(Marker("run"), Missing);
    EXPECT_EQ(Marker("load"), Missing);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("WinRun").c_str(), "run"));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("WinLoad").c_str(), "load"));
}

TEST_F(StartupParkTest, ShortNamedWinIniTokenIsTakenOutUnderItsLongName)
{
    std::string program = scratch_ + "\\Long Startup Program.exe";
    ASSERT_TRUE(WriteFileBytes(program, "MZ"));
    char shortName[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(program.c_str(), shortName, sizeof(shortName)), 0u);
    ASSERT_NE(lstrcmpiA(shortName, program.c_str()), 0) << "no short names here";
    std::string line = std::string("st_other.exe;") + shortName;
    WriteProfileStringA("windows", "run", line.c_str());

    int index = Collect("run", program);
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 1);
    EXPECT_EQ(GetWinIniLine("run"), "st_other.exe;");
    EXPECT_EQ(lstrcmpiA(GetRegString(HKEY_LOCAL_MACHINE, Parking("WinRun").c_str(), "run").c_str(),
                        program.c_str()),
              0);
    index = Collect("run", program);
    ASSERT_GE(index, 0);
    ASSERT_EQ(GetEntrySource(index), 101u);
    EXPECT_EQ(ToggleAt(index), 1);
    EXPECT_EQ(lstrcmpiA(GetWinIniLine("run").c_str(), ("st_other.exe;;" + program).c_str()), 0);

    // Remove finds the short form in the line as well.
    WriteProfileStringA("windows", "run", line.c_str());
    EXPECT_EQ(RemoveStartupEntry("run", program.c_str(), "", 101), 1);
    EXPECT_EQ(GetWinIniLine("run"), "st_other.exe;");
}

TEST_F(StartupParkTest, StartupShortcutMovesToTheDisabledFolderAndBack)
{
    std::string shortcut = user_ + "\\stlink.lnk";
    ASSERT_TRUE(CreateShortcutFile(shortcut, versioned_, "St Link Title"));
    int index = CollectLink(shortcut);
    ASSERT_GE(index, 0);
    EXPECT_EQ(ReadEntry(index).title, "St Link Title");

    EXPECT_EQ(ToggleAt(index), 1);
    std::string parked = DisabledFolder() + "\\stlink.lnk";
    EXPECT_FALSE(FileThere(shortcut));
    EXPECT_TRUE(FileThere(parked));
    EXPECT_EQ(Marker("St Link Title"), "200");

    index = CollectLink(parked);
    ASSERT_GE(index, 0);
    EXPECT_EQ(ReadEntry(index).title, "St Link Title");
    EXPECT_EQ(GetEntrySource(index), 200u);
    EXPECT_EQ(Label(index), "* Disabled Windows Startup Group");
    EXPECT_FALSE(DisableWouldCollide("St Link Title", versioned_.c_str(), 200));

    // Another shortcut of that title, to another program, shares the marker
    // but cannot be parked over the first.
    std::string namesake = user_ + "\\namesake.lnk";
    ASSERT_TRUE(CreateShortcutFile(namesake, FixturePath("startup_productonly.exe"),
                                   "St Link Title"));
    int other = CollectLink(namesake);
    ASSERT_GE(other, 0);
    EXPECT_EQ(GetDisabledSource(other), 200);
    EXPECT_TRUE(DisableWouldCollide("St Link Title", ReadEntry(other).path.c_str(), 200));
    EXPECT_EQ(ToggleAt(other), 0);
    EXPECT_TRUE(FileThere(namesake));
    ASSERT_TRUE(DeleteFileA(namesake.c_str()));
    index = CollectLink(parked);
    ASSERT_GE(index, 0);

    // Back it goes into the machine's Startup folder, not the user's.
    EXPECT_EQ(ToggleAt(index), 1);
    EXPECT_FALSE(FileThere(parked));
    EXPECT_TRUE(FileThere(machine_ + "\\stlink.lnk"));
    EXPECT_FALSE(FileThere(shortcut));
    EXPECT_EQ(Marker("St Link Title"), Missing);
    index = CollectLink(machine_ + "\\stlink.lnk");
    ASSERT_GE(index, 0);
    EXPECT_EQ(Label(index), "Windows Startup Group");

    // With no machine "Startup" value, the common Startup folder takes it.
    EXPECT_EQ(ToggleAt(index), 1);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, ShellFolders, 0, KEY_WRITE, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, "Startup");
    RegCloseKey(key);
    index = CollectLink(parked);
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 1);
    EXPECT_TRUE(FileThere(common_ + "\\stlink.lnk"));
    EXPECT_FALSE(FileThere(parked));
    EXPECT_EQ(Marker("St Link Title"), Missing);
}

TEST_F(StartupParkTest, StartupFolderNamedWithAFinalBackslashTakesTheFileBack)
{
    std::string program = machine_ + "\\slash.exe";
    ASSERT_TRUE(CopyFileA(versioned_.c_str(), program.c_str(), FALSE));
    int index = CollectLink(program);
    ASSERT_GE(index, 0);
    ASSERT_EQ(ToggleAt(index), 1);
    ASSERT_TRUE(PointShellFolder(HKEY_LOCAL_MACHINE, "Startup", machine_ + "\\"));
    index = CollectLink(DisabledFolder() + "\\slash.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 1);
    EXPECT_TRUE(FileThere(program));
    EXPECT_FALSE(FileThere(DisabledFolder() + "\\slash.exe"));
}

TEST_F(StartupParkTest, EmptyTitleNeverNamesADefaultValue)
{
    std::string run = RunKey("Run");
    saved_.push_back(SaveRegValue(HKEY_LOCAL_MACHINE, run.c_str(), ""));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, run.c_str(), "", "C:\\Apps\\default.exe"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, DisabledKey, "", "1"));
    EXPECT_EQ(RemoveStartupEntry("", "C:\\Apps\\default.exe", "", 1), 0);
    EXPECT_EQ(ToggleStartupEntry("", "C:\\Apps\\default.exe", "", 1), 0);
    EXPECT_FALSE(DisableWouldCollide("", "C:\\Apps\\default.exe", 1));
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, run.c_str(), ""), "C:\\Apps\\default.exe");
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, DisabledKey, ""), "1");
}

TEST_F(StartupParkTest, UntitledProgramFileParksUnderItsFileName)
{
    std::string program = machine_ + "\\untitled.exe";
    ASSERT_TRUE(WriteFileBytes(program, "MZ untitled"));
    int index = CollectLink(program);
    ASSERT_GE(index, 0);
    EXPECT_EQ(ReadEntry(index).title, "");
    EXPECT_EQ(ToggleAt(index), 1);
    std::string parked = DisabledFolder() + "\\untitled.exe";
    EXPECT_EQ(ReadFileBytes(parked), "MZ untitled");
    EXPECT_EQ(Marker("untitled.exe"), "200");
    index = CollectLink(parked);
    ASSERT_GE(index, 0);
    EXPECT_EQ(GetDisabledSource(index), 200);
    EXPECT_FALSE(DisableWouldCollide("", parked.c_str(), 200));
    EXPECT_EQ(ToggleAt(index), 1);
    EXPECT_EQ(ReadFileBytes(program), "MZ untitled");
    EXPECT_EQ(Marker("untitled.exe"), Missing);
}

TEST_F(StartupParkTest, PifEntryWithoutLinkIsLeftAlone)
{
    std::string pif = machine_ + "\\old.pif";
    ASSERT_TRUE(WriteFileBytes(pif, "pif"));
    CollectStartupEntries();
    int index = -1;
    for (int i = 0; i < EntryCount; ++i)
        if (!lstrcmpiA(ReadEntry(i).path.c_str(), pif.c_str()))
            index = i;
    ASSERT_GE(index, 0);
    EXPECT_EQ(ReadEntry(index).link, "");
    EXPECT_FALSE(DisableWouldCollide("", pif.c_str(), 200));
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_TRUE(FileThere(pif));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, DisabledKey, ""));
    EXPECT_FALSE(FileThere(DisabledFolder() + "\\old.pif"));
    // Remove has no file to take either.
    EXPECT_EQ(RemoveAt(index), 1);
    EXPECT_TRUE(FileThere(pif));
}

TEST_F(StartupParkTest, RemoveTakesRegistryEntriesOut)
{
    AddValue(HKEY_LOCAL_MACHINE, RunKey("RunOnce"), "StRemoveMe", "C:\\Apps\\removed.exe");
    AddValue(HKEY_LOCAL_MACHINE, RunKey("RunOnce"), "StKeepMe", "C:\\Apps\\kept.exe");
    int index = Collect("StRemoveMe", "C:\\Apps\\removed.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(RemoveAt(index), 1);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, RunKey("RunOnce").c_str(), "StRemoveMe"));
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, RunKey("RunOnce").c_str(), "StKeepMe"));
    // A value already gone answers 0.
    EXPECT_EQ(RemoveStartupEntry("StRemoveMe", "C:\\Apps\\removed.exe", "", 2), 0);

    // A disabled entry loses its parked value and marker; the Run key keeps
    // what it holds and gets nothing back.
    AddValue(HKEY_CURRENT_USER, RunKey("Run"), "StRemoveParked", "C:\\Apps\\parked.exe");
    AddValue(HKEY_CURRENT_USER, RunKey("Run"), "StSentinel", "C:\\Apps\\sentinel.exe");
    index = Collect("StRemoveParked", "C:\\Apps\\parked.exe");
    ASSERT_GE(index, 0);
    ASSERT_EQ(ToggleAt(index), 1);
    index = Collect("StRemoveParked", "C:\\Apps\\parked.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(RemoveAt(index), 1);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StRemoveParked"));
    EXPECT_EQ(Marker("StRemoveParked"), Missing);
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, RunKey("Run").c_str(), "StRemoveParked"));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, RunKey("Run").c_str(), "StSentinel"),
              "C:\\Apps\\sentinel.exe");
    EXPECT_LT(Collect("StRemoveParked", "C:\\Apps\\parked.exe"), 0);
}

TEST_F(StartupParkTest, RemoveTakesWinIniTokensOutInAnyCase)
{
    WriteProfileStringA("windows", "run", "Alpha.exe;BETA.EXE;gamma.exe");
    EXPECT_EQ(RemoveStartupEntry("run", "beta.exe", "", 101), 1);
    EXPECT_EQ(GetWinIniLine("run"), "Alpha.exe;gamma.exe;");

    WriteProfileStringA("windows", "load", "st_loadme.exe");
    int index = Collect("load", "st_loadme.exe");
    ASSERT_GE(index, 0);
    ASSERT_EQ(ToggleAt(index), 1);
    index = Collect("load", "st_loadme.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(RemoveAt(index), 1);
    EXPECT_EQ(Marker("load"), Missing);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("WinLoad").c_str(), "load"));
    EXPECT_EQ(GetWinIniLine("load"), "");
}

TEST_F(StartupParkTest, WinIniLineHelpersKeepEveryOtherPiece)
{
    WriteProfileStringA("windows", "run", "a.exe;b.exe");
    EXPECT_NE(RemoveWinIniToken("run", "a.exe"), 0);
    EXPECT_EQ(GetWinIniLine("run"), "b.exe;");
    EXPECT_NE(RemoveWinIniToken("run", "B.EXE"), 0);
    EXPECT_EQ(GetWinIniLine("run"), "");
    EXPECT_NE(RemoveWinIniToken("run", "nothing.exe"), 0);
    EXPECT_EQ(GetWinIniLine("run"), "");

    EXPECT_NE(AppendWinIniToken("load", "first.exe"), 0);
    EXPECT_EQ(GetWinIniLine("load"), ";first.exe");
    EXPECT_NE(AppendWinIniToken("load", "second.exe"), 0);
    EXPECT_EQ(GetWinIniLine("load"), ";first.exe;second.exe");
    EXPECT_NE(RemoveWinIniToken("load", "first.exe"), 0);
    EXPECT_EQ(GetWinIniLine("load"), "second.exe;");

    // A line longer than can be read whole is left as it is.
    std::string longLine;
    while (longLine.size() < 5000)
        longLine += "st_padding_program.exe;";
    longLine += "st_tail.exe";
    WriteProfileStringA("windows", "run", longLine.c_str());
    EXPECT_EQ(RemoveWinIniToken("run", "st_padding_program.exe"), 0);
    EXPECT_EQ(AppendWinIniToken("run", "st_more.exe"), 0);
    EXPECT_EQ(GetWinIniLine("run"), longLine);
}

TEST_F(StartupParkTest, RemoveDeletesShortcutsButKeepsProgramFiles)
{
    std::string shortcut = machine_ + "\\gone.lnk";
    ASSERT_TRUE(CreateShortcutFile(shortcut, versioned_, "St Gone"));
    int index = CollectLink(shortcut);
    ASSERT_GE(index, 0);
    EXPECT_EQ(RemoveAt(index), 1);
    EXPECT_FALSE(FileThere(shortcut));
    EXPECT_FALSE(FileThere(RemovedFolder() + "\\gone.lnk"));
    EXPECT_TRUE(FileThere(versioned_));

    // A program file sitting in the Startup folder is moved aside, whole.
    std::string program = user_ + "\\APP.EXE";
    ASSERT_TRUE(WriteFileBytes(program, "MZ first"));
    index = CollectLink(program);
    ASSERT_GE(index, 0);
    EXPECT_EQ(RemoveAt(index), 1);
    EXPECT_FALSE(FileThere(program));
    EXPECT_EQ(ReadFileBytes(RemovedFolder() + "\\APP.EXE"), "MZ first");

    // The same name again gets a number, and the first one stays.
    ASSERT_TRUE(WriteFileBytes(program, "MZ second"));
    index = CollectLink(program);
    ASSERT_GE(index, 0);
    EXPECT_EQ(RemoveAt(index), 1);
    EXPECT_EQ(ReadFileBytes(RemovedFolder() + "\\APP.EXE"), "MZ first");
    EXPECT_EQ(ReadFileBytes(RemovedFolder() + "\\APP (2).EXE"), "MZ second");

    // So does a program parked in the Disabled folder, and its marker goes.
    std::string parkedProgram = machine_ + "\\parkme.exe";
    ASSERT_TRUE(CopyFileA(versioned_.c_str(), parkedProgram.c_str(), FALSE));
    index = CollectLink(parkedProgram);
    ASSERT_GE(index, 0);
    ASSERT_EQ(ToggleAt(index), 1);
    std::string title = ReadEntry(index).title;
    index = CollectLink(DisabledFolder() + "\\parkme.exe");
    ASSERT_GE(index, 0);
    EXPECT_FALSE(DisableWouldCollide(title.c_str(), ReadEntry(index).path.c_str(), 200));
    EXPECT_EQ(RemoveAt(index), 1);
    EXPECT_FALSE(FileThere(DisabledFolder() + "\\parkme.exe"));
    EXPECT_TRUE(FileThere(RemovedFolder() + "\\parkme.exe"));
    EXPECT_EQ(Marker(title.c_str()), Missing);

    // A parked shortcut is deleted with its marker.
    ASSERT_TRUE(CreateShortcutFile(shortcut, versioned_, "St Parked Link"));
    index = CollectLink(shortcut);
    ASSERT_GE(index, 0);
    ASSERT_EQ(ToggleAt(index), 1);
    index = CollectLink(DisabledFolder() + "\\gone.lnk");
    ASSERT_GE(index, 0);
    EXPECT_EQ(RemoveAt(index), 1);
    EXPECT_FALSE(FileThere(DisabledFolder() + "\\gone.lnk"));
    EXPECT_EQ(Marker("St Parked Link"), Missing);
}

TEST_F(StartupParkTest, SourcesWithoutAHomeAreLeftUntouched)
{
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StOrphan",
                             "C:\\Apps\\orphan.exe"));
    int index = Collect("StOrphan", "C:\\Apps\\orphan.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(GetEntrySource(index), 0u);
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_NE(RemoveAt(index), 0);
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StOrphan"),
              "C:\\Apps\\orphan.exe");
    for (DWORD source : {0u, 6u, 21u, 25u, 102u, 201u, 600u}) {
        SCOPED_TRACE(source);
        EXPECT_EQ(ToggleStartupEntry("StOrphan", "C:\\Apps\\orphan.exe", "", source), 0);
        EXPECT_NE(RemoveStartupEntry("StOrphan", "C:\\Apps\\orphan.exe", "", source), 0);
        EXPECT_EQ(Marker("StOrphan"), Missing);
        EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StOrphan"));
    }
}

TEST_F(StartupParkTest, EqualTitlesNeverOverwriteAParkedCommand)
{
    AddValue(HKEY_LOCAL_MACHINE, RunKey("Run"), "StSame", "C:\\Apps\\machine.exe");
    AddValue(HKEY_CURRENT_USER, RunKey("Run"), "StSame", "C:\\Apps\\user.exe");
    int machine = Collect("StSame", "C:\\Apps\\machine.exe");
    ASSERT_GE(machine, 0);
    EXPECT_EQ(ToggleAt(machine), 1);

    int user = Collect("StSame", "C:\\Apps\\user.exe");
    ASSERT_GE(user, 0);
    ASSERT_EQ(GetEntrySource(user), 11u);
    EXPECT_EQ(GetDisabledSource(user), 1);  // shares the marker's name
    EXPECT_TRUE(DisableWouldCollide("StSame", "C:\\Apps\\user.exe", 11));
    EXPECT_EQ(ToggleAt(user), 0);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, RunKey("Run").c_str(), "StSame"),
              "C:\\Apps\\user.exe");
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StSame"),
              "C:\\Apps\\machine.exe");
    EXPECT_EQ(Marker("StSame"), "1");

    // Removing the enabled one takes only its own value.
    EXPECT_EQ(RemoveAt(user), 1);
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, RunKey("Run").c_str(), "StSame"));
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StSame"),
              "C:\\Apps\\machine.exe");
    EXPECT_EQ(Marker("StSame"), "1");

    // A parked value without a marker still holds its name.
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, Parking("RunOnce").c_str(), "StLeftover",
                             "C:\\Apps\\leftover.exe"));
    AddValue(HKEY_LOCAL_MACHINE, RunKey("RunOnce"), "StLeftover", "C:\\Apps\\new.exe");
    int fresh = Collect("StLeftover", "C:\\Apps\\new.exe");
    ASSERT_GE(fresh, 0);
    EXPECT_TRUE(DisableWouldCollide("StLeftover", "C:\\Apps\\new.exe", 2));
    EXPECT_EQ(ToggleAt(fresh), 0);
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, Parking("RunOnce").c_str(), "StLeftover"),
              "C:\\Apps\\leftover.exe");
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, RunKey("RunOnce").c_str(), "StLeftover"));
}

TEST_F(StartupParkTest, ParkingKeyThatRefusesWritesKeepsTheValueAtHome)
{
    AddValue(HKEY_LOCAL_MACHINE, RunKey("Run"), "StLocked", "C:\\Apps\\locked.exe");
    WriteProfileStringA("windows", "run", "st_locked.exe");
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StOther", "C:\\x.exe"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, Parking("WinRun").c_str(), "StOther", "x.exe"));
    ASSERT_TRUE(SetKeySecurity(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), ReadOnlyKey));
    ASSERT_TRUE(SetKeySecurity(HKEY_LOCAL_MACHINE, Parking("WinRun").c_str(), ReadOnlyKey));
    HKEY probe;
    ASSERT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), 0, KEY_WRITE, &probe),
              ERROR_SUCCESS)
        << "the lock did not take";

    int index = Collect("StLocked", "C:\\Apps\\locked.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, RunKey("Run").c_str(), "StLocked"),
              "C:\\Apps\\locked.exe");
    EXPECT_EQ(Marker("StLocked"), Missing);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StLocked"));

    index = Collect("run", "st_locked.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_EQ(GetWinIniLine("run"), "st_locked.exe");
    EXPECT_EQ(Marker("run"), Missing);
}

TEST_F(StartupParkTest, MarkerThatCannotBeWrittenKeepsEveryEntryAtHome)
{
    AddValue(HKEY_LOCAL_MACHINE, RunKey("Run"), "StNoMarker", "C:\\Apps\\nomarker.exe");
    WriteProfileStringA("windows", "load", "st_nomarker.exe");
    std::string shortcut = machine_ + "\\nomarker.lnk";
    ASSERT_TRUE(CreateShortcutFile(shortcut, versioned_, "St No Marker"));
    ASSERT_TRUE(RegCreateKeyPath(HKEY_LOCAL_MACHINE, Parking("Run").c_str()));
    ASSERT_TRUE(RegCreateKeyPath(HKEY_LOCAL_MACHINE, Parking("WinLoad").c_str()));
    ASSERT_TRUE(SetKeySecurity(HKEY_LOCAL_MACHINE, DisabledKey, ReadOnlyKey));

    int index = Collect("StNoMarker", "C:\\Apps\\nomarker.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, RunKey("Run").c_str(), "StNoMarker"));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StNoMarker"));

    index = Collect("load", "st_nomarker.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_EQ(GetWinIniLine("load"), "st_nomarker.exe");
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("WinLoad").c_str(), "load"));

    index = CollectLink(shortcut);
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_TRUE(FileThere(shortcut));
    EXPECT_FALSE(FileThere(DisabledFolder() + "\\nomarker.lnk"));
}

TEST_F(StartupParkTest, VolatileDisabledKeyCannotTakeAParkingKey)
{
    // A volatile key takes no lasting subkeys: the parking key cannot be made.
    HKEY key;
    ASSERT_TRUE(RegCreateKeyPath(HKEY_LOCAL_MACHINE, ProgramKey));
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, DisabledKey, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    AddValue(HKEY_CURRENT_USER, RunKey("RunServices"), "StVolatile", "C:\\Apps\\volatile.exe");
    int index = Collect("StVolatile", "C:\\Apps\\volatile.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, RunKey("RunServices").c_str(), "StVolatile"),
              "C:\\Apps\\volatile.exe");
    EXPECT_EQ(Marker("StVolatile"), Missing);
}

TEST_F(StartupParkTest, RunKeyDeletedWhileParkedIsMadeAgain)
{
    std::string key = RunKey("RunServices");
    AddValue(HKEY_CURRENT_USER, key, "StHomeless", "C:\\Apps\\homeless.exe");
    int index = Collect("StHomeless", "C:\\Apps\\homeless.exe");
    ASSERT_GE(index, 0);
    ASSERT_EQ(GetEntrySource(index), 14u);
    ASSERT_EQ(ToggleAt(index), 1);
    ASSERT_TRUE(DeleteRegTree(HKEY_CURRENT_USER, key.c_str()));

    index = Collect("StHomeless", "C:\\Apps\\homeless.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 1);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, key.c_str(), "StHomeless"),
              "C:\\Apps\\homeless.exe");
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("RunServices").c_str(), "StHomeless"));
    EXPECT_EQ(Marker("StHomeless"), Missing);
}

TEST_F(StartupParkTest, EnableDoesNotOverwriteACommandThatCameBack)
{
    AddValue(HKEY_LOCAL_MACHINE, RunKey("Run"), "StTwice", "C:\\Apps\\old.exe");
    int index = Collect("StTwice", "C:\\Apps\\old.exe");
    ASSERT_GE(index, 0);
    ASSERT_EQ(ToggleAt(index), 1);
    // The program puts itself back, with another command.
    AddValue(HKEY_LOCAL_MACHINE, RunKey("Run"), "StTwice", "C:\\Apps\\new.exe");
    index = Collect("StTwice", "C:\\Apps\\old.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, RunKey("Run").c_str(), "StTwice"),
              "C:\\Apps\\new.exe");
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), "StTwice"),
              "C:\\Apps\\old.exe");
    EXPECT_EQ(Marker("StTwice"), "1");

    // With the same command back, enabling just folds the two together.
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, RunKey("Run").c_str(), "StTwice",
                             "C:\\Apps\\old.exe"));
    index = Collect("StTwice", "C:\\Apps\\old.exe");
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 1);
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, RunKey("Run").c_str(), "StTwice"),
              "C:\\Apps\\old.exe");
    EXPECT_EQ(Marker("StTwice"), Missing);
}

TEST_F(StartupParkTest, StaleEntriesAreNotMoved)
{
    // The list was read, then the source changed behind it.
    AddValue(HKEY_LOCAL_MACHINE, RunKey("Run"), "StStale", "C:\\Apps\\before.exe");
    WriteProfileStringA("windows", "run", "st_stale.exe");
    int value = Collect("StStale", "C:\\Apps\\before.exe");
    ASSERT_GE(value, 0);
    Entry valueEntry = ReadEntry(value);
    int token = Collect("run", "st_stale.exe");
    ASSERT_GE(token, 0);
    Entry tokenEntry = ReadEntry(token);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, RunKey("Run").c_str(), "StStale",
                             "C:\\Apps\\after.exe"));
    WriteProfileStringA("windows", "run", "st_other.exe");

    EXPECT_EQ(ToggleStartupEntry(valueEntry.title.c_str(), valueEntry.path.c_str(), "", 1), 0);
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, RunKey("Run").c_str(), "StStale"),
              "C:\\Apps\\after.exe");
    EXPECT_EQ(Marker("StStale"), Missing);
    EXPECT_EQ(ToggleStartupEntry(tokenEntry.title.c_str(), tokenEntry.path.c_str(), "", 101), 0);
    EXPECT_EQ(GetWinIniLine("run"), "st_other.exe");
    EXPECT_EQ(Marker("run"), Missing);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("WinRun").c_str(), "run"));
}

TEST_F(StartupParkTest, FileThatCannotMoveStaysWithoutMarker)
{
    std::string shortcut = machine_ + "\\blocked.lnk";
    ASSERT_TRUE(CreateShortcutFile(shortcut, versioned_, "St Blocked"));
    // A stray file of that name already sits in the Disabled folder.
    CreateDirectoryA(DisabledFolder().c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(DisabledFolder() + "\\blocked.lnk", "stray"));
    int index = CollectLink(shortcut);
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_TRUE(FileThere(shortcut));
    EXPECT_EQ(ReadFileBytes(DisabledFolder() + "\\blocked.lnk"), "stray");
    EXPECT_EQ(Marker("St Blocked"), Missing);
    ASSERT_TRUE(DeleteFileA((DisabledFolder() + "\\blocked.lnk").c_str()));

    // Parked, it cannot go back while the Startup folder holds that name.
    ASSERT_EQ(ToggleAt(CollectLink(shortcut)), 1);
    ASSERT_TRUE(WriteFileBytes(shortcut, "newcomer"));
    index = CollectLink(DisabledFolder() + "\\blocked.lnk");
    ASSERT_GE(index, 0);
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_TRUE(FileThere(DisabledFolder() + "\\blocked.lnk"));
    EXPECT_EQ(ReadFileBytes(shortcut), "newcomer");
    EXPECT_EQ(Marker("St Blocked"), "200");
}

TEST_F(StartupParkTest, AutorunOnThenOffLeavesNoValue)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string run = RunKey("Run");
    AutorunFlag = 0;
    EXPECT_NE(SetAutorun(1), 0);
    EXPECT_EQ(AutorunFlag, 1);
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, run.c_str(), AppTitle), self);
    EXPECT_NE(SetAutorun(0), 0);
    EXPECT_EQ(AutorunFlag, 0);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, run.c_str(), AppTitle));
    // Off again has nothing to remove.
    EXPECT_EQ(SetAutorun(0), 0);
    EXPECT_EQ(AutorunFlag, 0);

    // Switched off while the user had it disabled: the parked copy goes.
    ASSERT_NE(SetAutorun(1), 0);
    int index = Collect(AppTitle, self);
    ASSERT_GE(index, 0);
    ASSERT_EQ(ToggleAt(index), 1);
    EXPECT_NE(SetAutorun(0), 0);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, run.c_str(), AppTitle));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), AppTitle));
    EXPECT_EQ(Marker(AppTitle), Missing);

    // Switched on while disabled: one plain entry, not shown as disabled.
    ASSERT_NE(SetAutorun(1), 0);
    index = Collect(AppTitle, self);
    ASSERT_GE(index, 0);
    ASSERT_EQ(ToggleAt(index), 1);
    EXPECT_NE(SetAutorun(1), 0);
    EXPECT_EQ(GetRegString(HKEY_LOCAL_MACHINE, run.c_str(), AppTitle), self);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, Parking("Run").c_str(), AppTitle));
    EXPECT_EQ(Marker(AppTitle), Missing);
    EXPECT_NE(SetAutorun(0), 0);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, run.c_str(), AppTitle));
}

TEST(StartupFileNamePart, CopiesTheTextAfterTheLastBackslash)
{
    char buffer[PathSize] = "stale";
    EXPECT_EQ(CopyFileNamePart("C:\\dir\\file.exe", buffer, sizeof(buffer)), 8);
    EXPECT_STREQ(buffer, "file.exe");
    EXPECT_EQ(CopyFileNamePart("C:\\a\\b\\c.lnk", buffer, sizeof(buffer)), 5);
    EXPECT_STREQ(buffer, "c.lnk");
    EXPECT_EQ(CopyFileNamePart("file.exe", buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(CopyFileNamePart("\\file.exe", buffer, sizeof(buffer)), 0);
    EXPECT_EQ(CopyFileNamePart("", buffer, sizeof(buffer)), 0);
    char small[5];
    EXPECT_EQ(CopyFileNamePart("C:\\dir\\file.exe", small, sizeof(small)), 4);
    EXPECT_STREQ(small, "file");
}

} // namespace
