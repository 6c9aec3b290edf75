// Disabling, enabling and removing startup entries of every family against
// the real registry, WIN.INI and folders of the test prefix; the faults that
// must not lose a command; the program's own autorun value.
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <string>

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE, HKCU = HKEY_CURRENT_USER;
const std::string CurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const std::string RunKey = CurrentVersion + "Run";
const std::string Missing = "<missing>";

std::string Parking(const char *name)
{
    return std::string(DisabledKeyPath) + "\\" + name;
}

std::string Get(HKEY root, const std::string &key, const char *name)
{
    return GetRegString(root, key.c_str(), name);
}

std::string Marker(const char *title)
{
    return Get(HKLM, DisabledKeyPath, title);
}

bool FileThere(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int Collect(const std::string &title, const std::string &path)
{
    CollectStartupEntries();
    return FindStartupRow(title, path);
}

int CollectLink(const std::string &link)
{
    CollectStartupEntries();
    for (int i = 0; i < EntryCount; ++i)
        if (lstrcmpiA(ReadStartupRow(i).link.c_str(), link.c_str()) == 0)
            return i;
    return -1;
}

// What the page's Enable/Disable and Remove buttons hand over for a row;
// a row that is not listed fails the test, so a 0 is never vacuous.
int ToggleAt(int index)
{
    EXPECT_GE(index, 0) << "not listed";
    StartupRow e = ReadStartupRow(index);
    return ToggleStartupEntry(e.title.c_str(), e.path.c_str(), e.link.c_str(), e.source);
}

int RemoveAt(int index)
{
    EXPECT_GE(index, 0) << "not listed";
    StartupRow e = ReadStartupRow(index);
    return RemoveStartupEntry(e.title.c_str(), e.path.c_str(), e.link.c_str(), e.source);
}

// Makes a key of HKLM read-only for everyone while it lives, and open again
// afterwards so that the sandbox can delete it; an empty path locks nothing.
struct ReadOnlyKey {
    std::string path;
    bool locked;
    explicit ReadOnlyKey(const std::string &key) : path(key), locked(Secure("D:(A;;KR;;;WD)")) {}
    ~ReadOnlyKey()
    {
        if (locked)
            Secure("D:(A;;KA;;;WD)");
    }
    bool Secure(const char *sddl) const
    {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        HKEY key;
        if (path.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                sddl, SDDL_REVISION_1, &descriptor, nullptr))
            return false;
        bool ok = RegOpenKeyExA(HKLM, path.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS;
        if (ok) {
            ok = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
            RegCloseKey(key);
        }
        LocalFree(descriptor);
        return ok;
    }
};

class StartupParkTest : public testing::Test {
protected:
    StartupSandbox box{"startup_park"};
    std::string machine = box.Folder("machine", HKLM, "Startup");
    std::string common = box.Folder("common", HKLM, "Common Startup");
    std::string user = box.Folder("user", HKCU, "Startup");
    std::string versioned = FixturePath("startup_versioned.exe");
};

TEST_F(StartupParkTest, RunValuesParkUnderTheMachineKeyAndComeHome)
{
    struct Row {
        HKEY root;
        const char *key, *name, *data, *listed;
        DWORD source;
    };
    const Row rows[] = {
        {HKLM, "Run", "StParkMachine", "C:\\Apps\\one.exe /x", "C:\\Apps\\one.exe /x", 1},
        {HKCU, "Run", "StParkUser", "C:\\Apps\\user.exe", "C:\\Apps\\user.exe", 11},
        {HKCU, "RunOnce", "StParkUserOnce", "C:\\Apps\\once.exe", "C:\\Apps\\once.exe", 12},
        // Parked as listed: it comes back without its quotes.
        {HKLM, "Run", "StQuoted", "\"C:\\Program Files\\St App\\app.exe\" -min",
         "C:\\Program Files\\St App\\app.exe -min", 1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(box.Set(row.root, CurrentVersion + row.key, row.name, row.data));
        EXPECT_FALSE(DisableWouldCollide(row.name, row.listed, row.source));
        EXPECT_EQ(ToggleAt(Collect(row.name, row.listed)), 1);
    }
    // Each comes home while the others are still parked.
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const std::string home = CurrentVersion + row.key;
        EXPECT_EQ(Get(row.root, home, row.name), Missing);
        EXPECT_EQ(Get(HKLM, Parking(row.key), row.name), row.listed);
        EXPECT_EQ(Marker(row.name), std::to_string(row.source));
        int index = Collect(row.name, row.listed);
        EXPECT_EQ(GetDisabledSource(index), (int)row.source);
        // The page asks before every toggle; a parked entry is no collision.
        EXPECT_FALSE(DisableWouldCollide(row.name, row.listed, row.source));
        EXPECT_EQ(ToggleAt(index), 1);
        EXPECT_EQ(Get(row.root, home, row.name), row.listed);
        EXPECT_EQ(Get(row.root == HKLM ? HKCU : HKLM, home, row.name), Missing);
        EXPECT_EQ(Get(HKLM, Parking(row.key), row.name) + Marker(row.name), Missing + Missing);
    }

    // Removing a parked one takes its parked value and marker; its Run key
    // keeps what it holds and gets nothing back.
    ASSERT_TRUE(box.Set(HKCU, RunKey, "StSentinel", "C:\\Apps\\sentinel.exe"));
    ASSERT_EQ(ToggleAt(Collect("StParkUser", "C:\\Apps\\user.exe")), 1);
    EXPECT_EQ(RemoveAt(Collect("StParkUser", "C:\\Apps\\user.exe")), 1);
    EXPECT_EQ(Get(HKLM, Parking("Run"), "StParkUser") + Marker("StParkUser"), Missing + Missing);
    EXPECT_EQ(Get(HKCU, RunKey, "StParkUser"), Missing);
    EXPECT_EQ(Get(HKCU, RunKey, "StSentinel"), "C:\\Apps\\sentinel.exe");
}

TEST_F(StartupParkTest, EqualTitlesNeverOverwriteAParkedCommand)
{
    ASSERT_TRUE(box.Set(HKLM, RunKey, "StSame", "C:\\Apps\\machine.exe"));
    ASSERT_TRUE(box.Set(HKCU, RunKey, "StSame", "C:\\Apps\\user.exe"));
    EXPECT_EQ(ToggleAt(Collect("StSame", "C:\\Apps\\machine.exe")), 1);
    int user = Collect("StSame", "C:\\Apps\\user.exe");
    EXPECT_EQ(GetDisabledSource(user), 1);  // shares the marker's name
    EXPECT_TRUE(DisableWouldCollide("StSame", "C:\\Apps\\user.exe", 11));
    EXPECT_EQ(ToggleAt(user), 0);
    EXPECT_EQ(Get(HKCU, RunKey, "StSame"), "C:\\Apps\\user.exe");
    // Removing the enabled one takes only its own value, once.
    EXPECT_EQ(RemoveAt(user), 1);
    EXPECT_EQ(RemoveAt(user), 0);
    EXPECT_EQ(Get(HKCU, RunKey, "StSame"), Missing);
    EXPECT_EQ(Get(HKLM, Parking("Run"), "StSame"), "C:\\Apps\\machine.exe");
    EXPECT_EQ(Marker("StSame"), "1");

    // A parked value without a marker still holds its name.
    ASSERT_TRUE(SetRegString(HKLM, Parking("RunOnce").c_str(), "StLeftover", "C:\\Apps\\old.exe"));
    ASSERT_TRUE(box.Set(HKLM, CurrentVersion + "RunOnce", "StLeftover", "C:\\Apps\\new.exe"));
    EXPECT_TRUE(DisableWouldCollide("StLeftover", "C:\\Apps\\new.exe", 2));
    EXPECT_EQ(ToggleAt(Collect("StLeftover", "C:\\Apps\\new.exe")), 0);
    EXPECT_EQ(Get(HKLM, Parking("RunOnce"), "StLeftover"), "C:\\Apps\\old.exe");
    EXPECT_EQ(Get(HKLM, CurrentVersion + "RunOnce", "StLeftover"), "C:\\Apps\\new.exe");
}

TEST_F(StartupParkTest, RunSourcesThatChangedBehindTheListLoseNothing)
{
    // The Run key went while the entry was parked: it is made again.
    const std::string services = CurrentVersion + "RunServices";
    ASSERT_TRUE(box.Set(HKCU, services, "StHomeless", "C:\\Apps\\homeless.exe"));
    ASSERT_EQ(ToggleAt(Collect("StHomeless", "C:\\Apps\\homeless.exe")), 1);
    ASSERT_TRUE(DeleteRegTree(HKCU, services.c_str()));
    EXPECT_EQ(ToggleAt(Collect("StHomeless", "C:\\Apps\\homeless.exe")), 1);
    EXPECT_EQ(Get(HKCU, services, "StHomeless"), "C:\\Apps\\homeless.exe");
    EXPECT_EQ(Get(HKLM, Parking("RunServices"), "StHomeless") + Marker("StHomeless"),
              Missing + Missing);

    // The program put itself back meanwhile, with another command.
    ASSERT_TRUE(box.Set(HKLM, RunKey, "StTwice", "C:\\Apps\\old.exe"));
    ASSERT_EQ(ToggleAt(Collect("StTwice", "C:\\Apps\\old.exe")), 1);
    ASSERT_TRUE(SetRegString(HKLM, RunKey.c_str(), "StTwice", "C:\\Apps\\new.exe"));
    EXPECT_EQ(ToggleAt(Collect("StTwice", "C:\\Apps\\old.exe")), 0);
    EXPECT_EQ(Get(HKLM, RunKey, "StTwice"), "C:\\Apps\\new.exe");
    EXPECT_EQ(Get(HKLM, Parking("Run"), "StTwice"), "C:\\Apps\\old.exe");
    EXPECT_EQ(Marker("StTwice"), "1");
    // With the same command back, enabling folds the two together.
    ASSERT_TRUE(SetRegString(HKLM, RunKey.c_str(), "StTwice", "C:\\Apps\\old.exe"));
    EXPECT_EQ(ToggleAt(Collect("StTwice", "C:\\Apps\\old.exe")), 1);
    EXPECT_EQ(Get(HKLM, RunKey, "StTwice"), "C:\\Apps\\old.exe");
    EXPECT_EQ(Marker("StTwice"), Missing);

    // The list was read, then the value or the line changed.
    ASSERT_TRUE(box.Set(HKLM, RunKey, "StStale", "C:\\Apps\\after.exe"));
    WriteProfileStringA("windows", "run", "st_other.exe");
    EXPECT_EQ(ToggleStartupEntry("StStale", "C:\\Apps\\before.exe", "", 1), 0);
    EXPECT_EQ(ToggleStartupEntry("run", "st_stale.exe", "", 101), 0);
    EXPECT_EQ(Get(HKLM, RunKey, "StStale"), "C:\\Apps\\after.exe");
    EXPECT_EQ(GetWinIniLine("run"), "st_other.exe");
    EXPECT_EQ(Marker("StStale") + Marker("run"), Missing + Missing);
    EXPECT_EQ(Get(HKLM, Parking("WinRun"), "run"), Missing);
}

TEST_F(StartupParkTest, WinIniTokensLeaveTheirLineAndComeBack)
{
    // The load= token is a short name; the list shows it long, and that is
    // what Disable and Remove are handed.
    std::string program = box.scratch + "\\Long Startup Program.exe";
    char shortName[MAX_PATH];
    ASSERT_TRUE(WriteFileBytes(program, "MZ"));
    ASSERT_GT(GetShortPathNameA(program.c_str(), shortName, sizeof(shortName)), 0u);
    ASSERT_NE(lstrcmpiA(shortName, program.c_str()), 0) << "no short names here";
    WriteProfileStringA("windows", "run", "st_first.exe;st_mid.exe;st_last.exe");
    WriteProfileStringA("windows", "load", shortName);
    ASSERT_EQ(ToggleAt(Collect("run", "st_mid.exe")), 1);
    EXPECT_EQ(GetWinIniLine("run"), "st_first.exe;st_last.exe;");
    EXPECT_EQ(Get(HKLM, Parking("WinRun"), "run"), "st_mid.exe");
    EXPECT_EQ(Marker("run"), "101");
    ASSERT_EQ(ToggleAt(Collect("load", program)), 1);
    EXPECT_EQ(GetWinIniLine("load"), "");
    EXPECT_EQ(lstrcmpiA(Get(HKLM, Parking("WinLoad"), "load").c_str(), program.c_str()), 0);
    EXPECT_EQ(Marker("load"), "100");

    // Both tokens titled "run" share the marker now; the one still in the
    // line cannot be parked over the other, and is not "enabled" either.
    EXPECT_TRUE(DisableWouldCollide("run", "st_first.exe", 101));
    EXPECT_EQ(ToggleAt(Collect("run", "st_first.exe")), 0);
    EXPECT_EQ(GetWinIniLine("run"), "st_first.exe;st_last.exe;");
    EXPECT_EQ(Get(HKLM, Parking("WinRun"), "run"), "st_mid.exe");

    // Parked, they are listed WinLoad before WinRun, and go back to the end.
    int mid = Collect("run", "st_mid.exe"), load = FindStartupRow("load", program);
    ASSERT_GT(mid, load);
    ASSERT_GE(load, 0);
    EXPECT_EQ(GetDisabledSource(mid), 101);
    EXPECT_FALSE(DisableWouldCollide("run", "st_mid.exe", 101));
    EXPECT_EQ(ToggleAt(mid), 1);
    EXPECT_EQ(ToggleAt(load), 1);
    EXPECT_EQ(GetWinIniLine("run"), "st_first.exe;st_last.exe;;st_mid.exe");
    EXPECT_EQ(lstrcmpiA(GetWinIniLine("load").c_str(), (";" + program).c_str()), 0);
    EXPECT_EQ(Marker("run") + Marker("load"), Missing + Missing);
    EXPECT_EQ(Get(HKLM, Parking("WinRun"), "run") + Get(HKLM, Parking("WinLoad"), "load"),
              Missing + Missing);

    // Remove finds a token in its short form and in any letter case, and a
    // parked one goes with its marker.
    WriteProfileStringA("windows", "load", (std::string(shortName) + ";Alpha.exe").c_str());
    EXPECT_EQ(RemoveStartupEntry("load", program.c_str(), "", 100), 1);
    WriteProfileStringA("windows", "run", "Alpha.exe;BETA.EXE;gamma.exe");
    EXPECT_EQ(RemoveStartupEntry("run", "beta.exe", "", 101), 1);
    EXPECT_EQ(GetWinIniLine("load") + "|" + GetWinIniLine("run"), "Alpha.exe;|Alpha.exe;gamma.exe;");
    ASSERT_EQ(ToggleAt(Collect("run", "gamma.exe")), 1);
    EXPECT_EQ(RemoveAt(Collect("run", "gamma.exe")), 1);
    EXPECT_EQ(Get(HKLM, Parking("WinRun"), "run") + Marker("run"), Missing + Missing);
    EXPECT_EQ(GetWinIniLine("run"), "Alpha.exe;");

    // A line too long to be read whole is left as it is.
    std::string longLine;
    while (longLine.size() < 5000)
        longLine += "st_padding_program.exe;";
    WriteProfileStringA("windows", "run", longLine.c_str());
    EXPECT_EQ(RemoveWinIniToken("run", "st_padding_program.exe"), 0);
    EXPECT_EQ(AppendWinIniToken("run", "st_more.exe"), 0);
    EXPECT_EQ(GetWinIniLine("run"), longLine);
}

TEST_F(StartupParkTest, StartupFilesParkInTheDisabledFolderAndReturnToTheMachine)
{
    // A folder named with a final backslash must not get a second one.
    ASSERT_TRUE(PointShellFolder(HKLM, "Startup", machine + "\\"));
    std::string shortcut = user + "\\stlink.lnk", parked = box.disabled + "\\stlink.lnk";
    ASSERT_TRUE(CreateShortcutFile(shortcut, versioned, "St Link Title"));
    // An untitled program's marker goes by its file name.
    std::string program = user + "\\untitled.exe", parkedProgram = box.disabled + "\\untitled.exe";
    ASSERT_TRUE(WriteFileBytes(program, "MZ untitled"));
    EXPECT_EQ(ToggleAt(CollectLink(shortcut)), 1);
    EXPECT_EQ(ToggleAt(CollectLink(program)), 1);
    EXPECT_FALSE(FileThere(shortcut));
    EXPECT_EQ(ReadFileBytes(parkedProgram), "MZ untitled");
    EXPECT_EQ(Marker("St Link Title") + Marker("untitled.exe"), "200200");
    EXPECT_EQ(ReadStartupRow(CollectLink(parked)).title, "St Link Title");
    EXPECT_FALSE(DisableWouldCollide("St Link Title", versioned.c_str(), 200));

    // A namesake shortcut to another program shares the marker but cannot
    // be parked over the first.
    std::string namesake = user + "\\namesake.lnk";
    ASSERT_TRUE(CreateShortcutFile(namesake, FixturePath("startup_productonly.exe"),
                                   "St Link Title"));
    int other = CollectLink(namesake);
    EXPECT_TRUE(DisableWouldCollide("St Link Title", ReadStartupRow(other).path.c_str(), 200));
    EXPECT_EQ(ToggleAt(other), 0);
    EXPECT_TRUE(FileThere(namesake));
    ASSERT_TRUE(DeleteFileA(namesake.c_str()));

    EXPECT_EQ(ToggleAt(CollectLink(parked)), 1);
    EXPECT_EQ(ToggleAt(CollectLink(parkedProgram)), 1);
    EXPECT_FALSE(FileThere(parked));
    EXPECT_TRUE(FileThere(machine + "\\stlink.lnk"));
    EXPECT_EQ(ReadFileBytes(machine + "\\untitled.exe"), "MZ untitled");
    EXPECT_EQ(Marker("St Link Title") + Marker("untitled.exe"), Missing + Missing);

    // With no machine "Startup" value, the common Startup folder takes it.
    EXPECT_EQ(ToggleAt(CollectLink(machine + "\\stlink.lnk")), 1);
    ASSERT_EQ(RegDeleteKeyValueA(HKLM, (CurrentVersion + "Explorer\\Shell Folders").c_str(),
                                 "Startup"), ERROR_SUCCESS);
    EXPECT_EQ(ToggleAt(CollectLink(parked)), 1);
    EXPECT_TRUE(FileThere(common + "\\stlink.lnk"));
    EXPECT_EQ(Marker("St Link Title"), Missing);

    // A name taken where the file would go keeps it where it is.
    std::string back = common + "\\stlink.lnk";
    ASSERT_TRUE(WriteFileBytes(parked, "stray"));
    EXPECT_EQ(ToggleAt(CollectLink(back)), 0);
    EXPECT_TRUE(FileThere(back));
    EXPECT_EQ(ReadFileBytes(parked), "stray");
    EXPECT_EQ(Marker("St Link Title"), Missing);
    ASSERT_TRUE(DeleteFileA(parked.c_str()));
    ASSERT_EQ(ToggleAt(CollectLink(back)), 1);
    ASSERT_TRUE(WriteFileBytes(back, "newcomer"));
    EXPECT_EQ(ToggleAt(CollectLink(parked)), 0);
    EXPECT_TRUE(FileThere(parked));
    EXPECT_EQ(ReadFileBytes(back), "newcomer");
    EXPECT_EQ(Marker("St Link Title"), "200");
}

TEST_F(StartupParkTest, RemoveDeletesShortcutsButKeepsProgramFiles)
{
    std::string shortcut = machine + "\\gone.lnk";
    ASSERT_TRUE(CreateShortcutFile(shortcut, versioned, "St Gone"));
    EXPECT_EQ(RemoveAt(CollectLink(shortcut)), 1);
    EXPECT_FALSE(FileThere(shortcut));
    EXPECT_FALSE(FileThere(box.removed + "\\gone.lnk"));
    EXPECT_TRUE(FileThere(versioned));

    // A program file in a Startup folder is moved aside whole; the same
    // name again gets a number, and the first one stays.
    std::string program = user + "\\APP.EXE";
    for (const char *bytes : {"MZ first", "MZ second"}) {
        ASSERT_TRUE(WriteFileBytes(program, bytes));
        EXPECT_EQ(RemoveAt(CollectLink(program)), 1);
        EXPECT_FALSE(FileThere(program));
    }
    EXPECT_EQ(ReadFileBytes(box.removed + "\\APP.EXE"), "MZ first");
    EXPECT_EQ(ReadFileBytes(box.removed + "\\APP (2).EXE"), "MZ second");

    // So is a program parked in the Disabled folder, and its marker goes;
    // a parked shortcut is deleted with its marker.
    ASSERT_TRUE(CopyFileA(versioned.c_str(), (machine + "\\parkme.exe").c_str(), FALSE));
    ASSERT_TRUE(CreateShortcutFile(shortcut, versioned, "St Parked Link"));
    ASSERT_EQ(ToggleAt(CollectLink(machine + "\\parkme.exe")), 1);
    ASSERT_EQ(ToggleAt(CollectLink(shortcut)), 1);
    EXPECT_EQ(RemoveAt(CollectLink(box.disabled + "\\parkme.exe")), 1);
    EXPECT_EQ(RemoveAt(CollectLink(box.disabled + "\\gone.lnk")), 1);
    EXPECT_FALSE(FileThere(box.disabled + "\\parkme.exe"));
    EXPECT_TRUE(FileThere(box.removed + "\\parkme.exe"));
    EXPECT_FALSE(FileThere(box.disabled + "\\gone.lnk"));
    EXPECT_EQ(Marker("Versioned Startup Helper") + Marker("St Parked Link"), Missing + Missing);
}

TEST_F(StartupParkTest, EntriesWithoutAHomeAreLeftAlone)
{
    // An empty title would name a key's unnamed value.
    ASSERT_TRUE(box.Set(HKLM, RunKey, "", "C:\\Apps\\default.exe"));
    ASSERT_TRUE(SetRegString(HKLM, DisabledKeyPath, "", "1"));
    EXPECT_EQ(RemoveStartupEntry("", "C:\\Apps\\default.exe", "", 1), 0);
    EXPECT_EQ(ToggleStartupEntry("", "C:\\Apps\\default.exe", "", 1), 0);
    EXPECT_FALSE(DisableWouldCollide("", "C:\\Apps\\default.exe", 1));
    EXPECT_EQ(Get(HKLM, RunKey, ""), "C:\\Apps\\default.exe");

    // A .pif entry has no Link to move; Remove has no file to take either.
    std::string pif = machine + "\\old.pif";
    ASSERT_TRUE(WriteFileBytes(pif, "pif"));
    int index = Collect("", pif);
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_EQ(RemoveAt(index), 1);
    EXPECT_TRUE(FileThere(pif));
    EXPECT_EQ(Marker(""), "1");

    // A parked value without a marker, and sources no family owns.
    ASSERT_TRUE(SetRegString(HKLM, Parking("Run").c_str(), "StOrphan", "C:\\Apps\\orphan.exe"));
    for (DWORD source : {0u, 6u, 21u, 25u, 102u, 201u, 600u}) {
        SCOPED_TRACE(source);
        EXPECT_EQ(ToggleStartupEntry("StOrphan", "C:\\Apps\\orphan.exe", "", source), 0);
        EXPECT_NE(RemoveStartupEntry("StOrphan", "C:\\Apps\\orphan.exe", "", source), 0);
        EXPECT_EQ(Marker("StOrphan"), Missing);
        EXPECT_EQ(Get(HKLM, Parking("Run"), "StOrphan"), "C:\\Apps\\orphan.exe");
    }
}

TEST_F(StartupParkTest, ParkingThatCannotBeWrittenKeepsEveryEntryAtHome)
{
    ASSERT_TRUE(box.Set(HKLM, RunKey, "StLocked", "C:\\Apps\\locked.exe"));
    WriteProfileStringA("windows", "run", "st_locked.exe");
    std::string shortcut = machine + "\\locked.lnk";
    ASSERT_TRUE(CreateShortcutFile(shortcut, versioned, "St Locked"));
    // Read-only parking keys; a read-only Disabled key, where the parked copy
    // is written but its marker is not; a volatile Disabled key, which takes
    // no lasting parking keys. A shortcut needs only its marker.
    enum { LockedParking, LockedMarkers, Volatile };
    for (int fault : {LockedParking, LockedMarkers, Volatile}) {
        SCOPED_TRACE(fault);
        DeleteRegTree(HKLM, DisabledKeyPath);
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKLM, DisabledKeyPath, 0, nullptr,
                                  fault == Volatile ? REG_OPTION_VOLATILE : 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr), ERROR_SUCCESS);
        RegCloseKey(key);
        for (const char *name : {"Run", "WinRun"})
            ASSERT_TRUE(fault == Volatile || SetRegString(HKLM, Parking(name).c_str(), "St", "x"));
        ReadOnlyKey run(fault == LockedParking  ? Parking("Run")
                        : fault == LockedMarkers ? DisabledKeyPath : "");
        ReadOnlyKey winRun(fault == LockedParking ? Parking("WinRun") : "");
        ASSERT_EQ(run.locked, fault != Volatile);
        EXPECT_EQ(ToggleAt(Collect("StLocked", "C:\\Apps\\locked.exe")), 0);
        EXPECT_EQ(ToggleAt(Collect("run", "st_locked.exe")), 0);
        EXPECT_EQ(ToggleAt(CollectLink(shortcut)), fault == LockedMarkers ? 0 : 1);
        EXPECT_EQ(Get(HKLM, RunKey, "StLocked"), "C:\\Apps\\locked.exe");
        EXPECT_EQ(GetWinIniLine("run"), "st_locked.exe");
        EXPECT_EQ(Get(HKLM, Parking("Run"), "StLocked") + Get(HKLM, Parking("WinRun"), "run"),
                  Missing + Missing);
        EXPECT_EQ(Marker("StLocked") + Marker("run"), Missing + Missing);
        EXPECT_EQ(FileThere(shortcut), fault == LockedMarkers);
        MoveFileA((box.disabled + "\\locked.lnk").c_str(), shortcut.c_str());
    }
}

TEST_F(StartupParkTest, AutorunOnThenOffLeavesNoValue)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    const std::string quoted = "\"" + std::string(self) + "\"";
    box.saved.push_back(SaveRegValue(HKLM, RunKey.c_str(), AppTitle));
    // Switched on or off while the user had it disabled, it is one plain
    // value or none, and no parked copy is left to show it as disabled.
    for (bool parked : {false, true})
        for (int last : {1, 0}) {
            SCOPED_TRACE(std::to_string(parked) + std::to_string(last));
            ASSERT_NE(SetAutorun(1), 0);
            EXPECT_EQ(Get(HKLM, RunKey, AppTitle), quoted);
            ASSERT_TRUE(!parked || ToggleAt(Collect(AppTitle, self)) == 1);
            EXPECT_NE(SetAutorun(last), 0);
            EXPECT_EQ(AutorunFlag, last);
            EXPECT_EQ(Get(HKLM, RunKey, AppTitle), last ? quoted : Missing);
            EXPECT_EQ(Get(HKLM, Parking("Run"), AppTitle) + Marker(AppTitle), Missing + Missing);
        }
    EXPECT_EQ(SetAutorun(0), 0);  // nothing left to remove
}

TEST(StartupFileNamePart, CopiesTheTextAfterTheLastBackslash)
{
    const struct { const char *path; size_t size; int length; const char *copied; } rows[] = {
        {"C:\\dir\\file.exe", PathSize, 8, "file.exe"}, {"C:\\a\\b\\c.lnk", PathSize, 5, "c.lnk"},
        {"file.exe", PathSize, 0, ""}, {"\\file.exe", PathSize, 0, ""}, {"", PathSize, 0, ""},
        {"C:\\dir\\file.exe", 5, 4, "file"},
    };
    for (const auto &row : rows) {
        char buffer[PathSize] = "stale";
        EXPECT_EQ(CopyFileNamePart(row.path, buffer, row.size), row.length) << row.path;
        EXPECT_STREQ(buffer, row.copied) << row.path;
    }
}

} // namespace
