// Disabling, enabling and removing startup entries of every family against
// the real registry, WIN.INI and folders of the test prefix; the faults that
// must not lose a command; the program's own autorun value.
#include "app/app.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"
#include "watch/watch.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <string>
#include <vector>

namespace {

const size_t LongestCommandSize = 1024 * 1024;  // the longest command moved whole
const char WinIniKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
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

// The parked copy of that title, or with `parked` false its live entry.
int CollectParked(const std::string &title, bool parked = true)
{
    CollectStartupEntries();
    for (int i = 0; i < EntryCount; ++i)
        if (IsStartupEntryParked(i) == parked && ReadStartupRow(i).title == title)
            return i;
    return -1;
}

// What the page's Enable/Disable and Remove buttons do with a row; a row
// that is not listed fails the test, so a 0 is never vacuous.
int ToggleAt(int index)
{
    EXPECT_GE(index, 0) << "not listed";
    return ToggleStartupEntryAt(index);
}

int RemoveAt(int index)
{
    EXPECT_GE(index, 0) << "not listed";
    return RemoveStartupEntryAt(index);
}

// A value's type and bytes, or "<missing>".
std::string Raw(HKEY root, const std::string &key, const char *name, REGSAM view = 0)
{
    HKEY handle;
    DWORD type = 0, size = 0;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS)
        return "<missing>";
    std::string data;
    LONG result = RegQueryValueExA(handle, name, nullptr, &type, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        data.resize(size + 1);
        result = RegQueryValueExA(handle, name, nullptr, &type, (BYTE *)&data[0], &size);
    }
    RegCloseKey(handle);
    return result ? "<missing>" : std::to_string(type) + ":" + data.substr(0, size);
}

// A WIN.INI line of any length.
std::string WholeLine(const char *key)
{
    std::string line(3 << 20, '\0');
    line.resize(GetProfileStringA("windows", key, "", &line[0], (DWORD)line.size()));
    return line;
}

std::string Sz(const std::string &text, DWORD type = REG_SZ)
{
    return std::to_string(type) + ":" + text + std::string(1, '\0');
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

const REGSAM View32 = KEY_WOW64_32KEY;

// Values written into HKLM's 32-bit view for one test; afterwards they and
// the keys that had to be made for them are gone again.
struct ViewValues {
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::string> keys;
    bool Set(const std::string &key, const char *name, const std::string &data,
             DWORD type = REG_SZ)
    {
        HKEY handle;
        DWORD made = 0;
        if (RegCreateKeyExA(HKLM, key.c_str(), 0, nullptr, 0, KEY_WRITE | View32, nullptr,
                            &handle, &made) != ERROR_SUCCESS)
            return false;
        if (made == REG_CREATED_NEW_KEY)
            keys.push_back(key);
        values.push_back({key, name});
        bool ok = RegSetValueExA(handle, name, 0, type, (const BYTE *)data.c_str(),
                                 (DWORD)data.size() + 1) == ERROR_SUCCESS;
        RegCloseKey(handle);
        return ok;
    }
    ~ViewValues()
    {
        for (const auto &value : values) {
            HKEY handle;
            if (RegOpenKeyExA(HKLM, value.first.c_str(), 0, KEY_WRITE | View32, &handle) == 0) {
                RegDeleteValueA(handle, value.second.c_str());
                RegCloseKey(handle);
            }
        }
        for (auto key = keys.rbegin(); key != keys.rend(); ++key)
            RegDeleteKeyExA(HKLM, key->c_str(), View32, 0);
    }
};

// The live (or parked) entry of that title from that source; -1 for none.
int CollectFrom(const std::string &title, DWORD source, bool parked = false)
{
    CollectStartupEntries();
    for (int i = 0; i < EntryCount; ++i)
        if (GetEntrySource(i) == source && IsStartupEntryParked(i) == parked &&
            ReadStartupRow(i).title == title)
            return i;
    return -1;
}

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
        {HKLM, "Run", "StQuoted", "\"C:\\Program Files\\St App\\app.exe\" -min",
         "C:\\Program Files\\St App\\app.exe -min", 1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(box.Set(row.root, CurrentVersion + row.key, row.name, row.data));
        EXPECT_FALSE(DisableWouldCollideAt(Collect(row.name, row.listed)));
        EXPECT_EQ(ToggleAt(Collect(row.name, row.listed)), 1);
    }
    // Each comes home while the others are still parked.
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const std::string home = CurrentVersion + row.key;
        EXPECT_EQ(Get(row.root, home, row.name), Missing);
        EXPECT_EQ(Get(HKLM, Parking(row.key), row.name), row.data);
        EXPECT_EQ(Marker(row.name), std::to_string(row.source));
        int index = Collect(row.name, row.listed);
        EXPECT_EQ(GetDisabledSource(index), (int)row.source);
        // The page asks before every toggle; a parked entry is no collision.
        EXPECT_FALSE(DisableWouldCollideAt(index));
        EXPECT_EQ(ToggleAt(index), 1);
        EXPECT_EQ(Get(row.root, home, row.name), row.data);
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

TEST_F(StartupParkTest, OtherViewValuesMoveOnlyInTheirOwnView)
{
    ViewValues view;
    const std::string wow = "HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Microsoft\\Windows\\"
                            "CurrentVersion\\";
    const struct { const char *key, *name, *data; DWORD type, source; } rows[] = {
        {"Run", "StViewRun", "\"C:\\Apps 32\\v.exe\" /x", REG_SZ, 31},
        {"RunOnce", "StViewOnce", "%ProgramFiles%\\v\\once.exe", REG_EXPAND_SZ, 32},
        {"RunServicesOnce", "StViewSvc", "C:\\Apps 32\\svc.exe", REG_SZ, 35},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const std::string key = CurrentVersion + row.key;
        ASSERT_TRUE(view.Set(key, row.name, row.data, row.type));
        const std::string before = Raw(HKLM, key, row.name, View32);
        int index = CollectFrom(row.name, row.source);
        ASSERT_GE(index, 0);
        char label[TitleSize];
        GetSourceLabel(index, label);
        EXPECT_EQ(label, wow + row.key);
        ASSERT_EQ(ToggleAt(index), 1);
        EXPECT_EQ(Raw(HKLM, key, row.name, View32), Missing);
        EXPECT_EQ(Raw(HKLM, Parking(row.key), row.name), before);
        EXPECT_EQ(Marker(row.name), std::to_string(row.source));
        index = CollectFrom(row.name, row.source, true);
        GetSourceLabel(index, label);
        EXPECT_EQ(label, "* Disabled " + wow + row.key);
        ASSERT_EQ(ToggleAt(index), 1);
        EXPECT_EQ(Raw(HKLM, key, row.name, View32), before);
        EXPECT_EQ(Raw(HKLM, key, row.name), Missing);
        EXPECT_EQ(Marker(row.name), Missing);
        EXPECT_EQ(RemoveAt(CollectFrom(row.name, row.source)), 1);
        EXPECT_EQ(Raw(HKLM, key, row.name, View32), Missing);
    }

    // The same value in both views is two entries, each moving alone; the
    // machine's own come first, the other view's next, then the user's.
    const char *both = "C:\\Apps\\both.exe";
    ASSERT_TRUE(box.Set(HKLM, RunKey, "StBoth", both));
    ASSERT_TRUE(view.Set(RunKey, "StBoth", both));
    ASSERT_TRUE(box.Set(HKCU, RunKey, "StUserAfter", "C:\\Apps\\user.exe"));
    int native = CollectFrom("StBoth", 1);
    int other = CollectFrom("StBoth", 31);
    EXPECT_LT(native, other);
    EXPECT_LT(other, CollectFrom("StUserAfter", 11));
    ASSERT_EQ(ToggleAt(other), 1);
    EXPECT_EQ(Get(HKLM, RunKey, "StBoth"), both);
    // Parking the native one now would overwrite the other's parked copy.
    EXPECT_TRUE(DisableWouldCollideAt(CollectFrom("StBoth", 1)));
    EXPECT_EQ(ToggleAt(CollectFrom("StBoth", 1)), 0);
    ASSERT_EQ(ToggleAt(CollectFrom("StBoth", 31, true)), 1);
    EXPECT_EQ(Raw(HKLM, RunKey, "StBoth", View32), Sz(both));
    EXPECT_EQ(RemoveAt(CollectFrom("StBoth", 31)), 1);
    EXPECT_EQ(Raw(HKLM, RunKey, "StBoth", View32) + Get(HKLM, RunKey, "StBoth"), Missing + both);
    // Known only by its texts (as an earlier caller holds it), it is found
    // in its view too.
    ASSERT_TRUE(view.Set(RunKey, "StTexts", "C:\\Apps\\texts.exe"));
    EXPECT_EQ(RemoveStartupEntry("StTexts", "C:\\Apps\\texts.exe", "", 31), 1);
    EXPECT_EQ(Raw(HKLM, RunKey, "StTexts", View32), Missing);
}

TEST_F(StartupParkTest, PoliciesRunValuesMoveLikeRunValues)
{
    ViewValues view;
    const std::string key = CurrentVersion + "Policies\\Explorer\\Run";
    const struct { HKEY root; REGSAM view; const char *name; DWORD type, source; } rows[] = {
        {HKLM, 0, "StPolicyMachine", REG_SZ, 6},
        {HKCU, 0, "StPolicyUser", REG_EXPAND_SZ, 16},
        // Windows (and Wine) share this key between the views: written
        // through the 32-bit view, it is the machine's one key, listed once.
        {HKLM, View32, "StPolicyView", REG_SZ, 6},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const std::string data = std::string("\"C:\\Apps\\") + row.name + ".exe\" /p";
        ASSERT_TRUE(row.view ? view.Set(key, row.name, data, row.type)
                             : box.Set(row.root, key, row.name, data.c_str(), row.type));
        const std::string before = Raw(row.root, key, row.name, row.view);
        EXPECT_EQ(CollectFrom(row.name, SourceOtherPolicies), -1);
        ASSERT_EQ(ToggleAt(CollectFrom(row.name, row.source)), 1);
        EXPECT_EQ(Raw(row.root, key, row.name, row.view), Missing);
        EXPECT_EQ(Raw(HKLM, Parking("PoliciesRun"), row.name), before);
        EXPECT_EQ(Marker(row.name), std::to_string(row.source));
        ASSERT_EQ(ToggleAt(CollectFrom(row.name, row.source, true)), 1);
        EXPECT_EQ(Raw(row.root, key, row.name, row.view), before);
        EXPECT_EQ(RemoveAt(CollectFrom(row.name, row.source)), 1);
        EXPECT_EQ(Raw(row.root, key, row.name, row.view), Missing);
    }
}

TEST_F(StartupParkTest, WinlogonItemsLeaveTheirListAndWindowsOwnStays)
{
    const std::string winlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    const char *evil = "C:\\x\\evil.exe";
    struct Row {
        HKEY root;
        const char *value, *list;
        DWORD source;
        std::vector<std::string> listed;
        const char *afterRemove;   // nullptr: the value is deleted
        const char *afterToggle;   // after Disable then Enable; "" when they do nothing
    };
    const Row rows[] = {
        {HKLM, "Shell", "explorer.exe, C:\\x\\evil.exe", 7, {evil}, "explorer.exe",
         "explorer.exe,C:\\x\\evil.exe"},
        {HKLM, "Userinit", "C:\\Windows\\system32\\userinit.exe,C:\\x\\evil.exe,", 8, {evil},
         "C:\\Windows\\system32\\userinit.exe,", "C:\\Windows\\system32\\userinit.exe,C:\\x\\evil.exe,"},
        {HKLM, "Shell", "%SystemRoot%\\explorer.exe", 7, {}, "", ""},
        {HKCU, "Shell", "\"C:\\x\\evil.exe\"", 17, {evil}, nullptr, "\"C:\\x\\evil.exe\""},
        {HKCU, "Userinit", " userinit , C:\\Apps\\a.exe,C:\\Apps\\b.exe", 18,
         {"C:\\Apps\\a.exe", "C:\\Apps\\b.exe"}, " userinit , C:\\Apps\\a.exe", ""},
        // The machine's shell alone: taking it would leave no shell at all.
        {HKLM, "Shell", "C:\\x\\evil.exe", 7, {evil}, "C:\\x\\evil.exe", ""},
        // Windows' own shell with an argument is listed, and still keeps the
        // logon working when the item beside it goes.
        {HKLM, "Shell", "explorer.exe /n,C:\\x\\e2.exe", 7, {"explorer.exe /n", "C:\\x\\e2.exe"},
         "explorer.exe /n", "explorer.exe /n,C:\\x\\e2.exe"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.list);
        ASSERT_TRUE(box.Set(row.root, winlogon, row.value, row.list));
        CollectStartupEntries();
        std::vector<std::string> listed;
        for (int i = 0; i < EntryCount; ++i)
            if (GetEntrySource(i) == row.source)
                listed.push_back(ReadStartupRow(i).path);
        EXPECT_EQ(listed, row.listed);
        if (listed.empty())
            continue;
        const std::string &last = listed.back();
        bool movable = row.afterToggle[0] != '\0';
        if (movable) {
            ASSERT_EQ(ToggleAt(Collect(row.value, last)), 1);
            EXPECT_EQ(Get(HKLM, Parking(row.source == 7 || row.source == 17 ? "WinlogonShell"
                                                                          : "WinlogonUserinit"),
                          row.value),
                      row.list[0] == '"' ? row.list : last);
            EXPECT_EQ(Get(row.root, winlogon, row.value),
                      row.afterRemove ? row.afterRemove : Missing);
            ASSERT_EQ(ToggleAt(CollectFrom(row.value, row.source, true)), 1);
            EXPECT_EQ(Get(row.root, winlogon, row.value), row.afterToggle);
            ASSERT_TRUE(box.Set(row.root, winlogon, row.value, row.list));
        }
        int removed = RemoveAt(Collect(row.value, last));
        EXPECT_EQ(removed, row.root == HKCU || std::string(row.list).find(',') != std::string::npos);
        EXPECT_EQ(Get(row.root, winlogon, row.value), row.afterRemove ? row.afterRemove : Missing);
    }
    // A machine list that lost Windows' own item meanwhile takes nothing back.
    ASSERT_TRUE(box.Set(HKLM, winlogon, "Shell", (std::string("explorer.exe,") + evil).c_str()));
    ASSERT_EQ(ToggleAt(Collect("Shell", evil)), 1);
    ASSERT_TRUE(box.Set(HKLM, winlogon, "Shell", ""));
    EXPECT_EQ(ToggleAt(CollectFrom("Shell", 7, true)), 0);
    EXPECT_EQ(Get(HKLM, winlogon, "Shell"), "");
}

TEST_F(StartupParkTest, NewItemsOfEveryNewPlaceRaiseTheAlertAndNoTakesOnlyThem)
{
    // Every entry there is approved, as the first start leaves the data file;
    // a cycle that looks at startup programs only.
    const std::string savedData = ReadFileBytes(DataFilePath);
    const int options[] = {Start, WinInit, Cookies, Sound, Minutes};
    ASSERT_TRUE(WriteFileBytes(DataFilePath, "[Options]\r\nWinInit=1\r\n"));
    Start = 1, WinInit = 0, Cookies = 0, Sound = 0, Minutes = 1;
    const std::string winlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    const std::string policies = CurrentVersion + "Policies\\Explorer\\Run";
    ViewValues view;
    ASSERT_TRUE(box.Set(HKLM, RunKey, "StWatchTwin", "C:\\Apps\\native.exe"));
    ASSERT_TRUE(box.Set(HKCU, winlogon, "Shell", "explorer.exe"));
    CollectStartupEntries();
    for (int i = 0; i < EntryCount; ++i) {
        char key[516];
        MakeEntryRunKey(i, key);
        WritePrivateProfileStringA("Run", key, "1", DataFilePath);
    }
    DialogsShownBy({}, [] { WatchCycle(); });

    ASSERT_TRUE(view.Set(RunKey, "StWatchTwin", "C:\\Apps\\twin32.exe"));
    ASSERT_TRUE(box.Set(HKCU, winlogon, "Shell", "explorer.exe, C:\\x\\evil.exe"));
    ASSERT_TRUE(box.Set(HKLM, policies, "StWatchPolicy", "C:\\Apps\\policy.exe"));
    std::vector<DialogSeen> seen = DialogsShownBy({IDNO, IDNO, IDNO}, [] { WatchCycle(); });
    std::vector<std::string> asked;
    for (const auto &dialog : seen)
        asked.push_back(dialog.items.count(1026) ? dialog.items.at(1026) : "");
    EXPECT_EQ(asked, (std::vector<std::string>{"C:\\Apps\\policy.exe", "C:\\Apps\\twin32.exe",
                                               "C:\\x\\evil.exe"}));
    EXPECT_EQ(Raw(HKLM, RunKey, "StWatchTwin", View32), Missing);
    EXPECT_EQ(Get(HKLM, RunKey, "StWatchTwin"), "C:\\Apps\\native.exe");
    EXPECT_EQ(Get(HKCU, winlogon, "Shell"), "explorer.exe");
    EXPECT_EQ(Get(HKLM, policies, "StWatchPolicy"), Missing);
    EXPECT_TRUE(DialogsShownBy({}, [] { WatchCycle(); }).empty());

    Start = options[0], WinInit = options[1], Cookies = options[2];
    Sound = options[3], Minutes = options[4];
    AlertBusy = 0, SheetPage = 0, WatchCountdown = 0;
    if (savedData == "<missing>")
        DeleteFileA(DataFilePath);
    else
        WriteFileBytes(DataFilePath, savedData);
}

TEST_F(StartupParkTest, EqualTitlesNeverOverwriteAParkedCommand)
{
    ASSERT_TRUE(box.Set(HKLM, RunKey, "StSame", "C:\\Apps\\machine.exe"));
    ASSERT_TRUE(box.Set(HKCU, RunKey, "StSame", "C:\\Apps\\user.exe"));
    EXPECT_EQ(ToggleAt(Collect("StSame", "C:\\Apps\\machine.exe")), 1);
    int user = Collect("StSame", "C:\\Apps\\user.exe");
    EXPECT_EQ(GetDisabledSource(user), 0);  // live, though it shares the marker's name
    EXPECT_TRUE(DisableWouldCollideAt(user));
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
    EXPECT_TRUE(DisableWouldCollideAt(Collect("StLeftover", "C:\\Apps\\new.exe")));
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
    // With the same command back, enabling the parked copy folds the two.
    ASSERT_TRUE(SetRegString(HKLM, RunKey.c_str(), "StTwice", "C:\\Apps\\old.exe"));
    EXPECT_EQ(ToggleAt(CollectParked("StTwice")), 1);
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
    // Parked as it stood in the line: by its short name.
    ASSERT_EQ(ToggleAt(Collect("load", program)), 1);
    EXPECT_EQ(GetWinIniLine("load"), "");
    EXPECT_EQ(Get(HKLM, Parking("WinLoad"), "load"), shortName);
    EXPECT_EQ(Marker("load"), "100");

    // Both tokens titled "run" share the marker now; the one still in the
    // line cannot be parked over the other, and is not "enabled" either.
    EXPECT_TRUE(DisableWouldCollideAt(Collect("run", "st_first.exe")));
    EXPECT_EQ(ToggleAt(Collect("run", "st_first.exe")), 0);
    EXPECT_EQ(GetWinIniLine("run"), "st_first.exe;st_last.exe;");
    EXPECT_EQ(Get(HKLM, Parking("WinRun"), "run"), "st_mid.exe");

    // Parked, they are listed WinLoad before WinRun, and go back to the end.
    int mid = Collect("run", "st_mid.exe"), load = FindStartupRow("load", program);
    ASSERT_GT(mid, load);
    ASSERT_GE(load, 0);
    EXPECT_EQ(GetDisabledSource(mid), 101);
    EXPECT_FALSE(DisableWouldCollideAt(mid));
    EXPECT_EQ(ToggleAt(mid), 1);
    EXPECT_EQ(ToggleAt(load), 1);
    EXPECT_EQ(GetWinIniLine("run"), "st_first.exe;st_last.exe;;st_mid.exe");
    EXPECT_EQ(GetWinIniLine("load"), ";" + std::string(shortName));
    EXPECT_EQ(Marker("run") + Marker("load"), Missing + Missing);
    EXPECT_EQ(Get(HKLM, Parking("WinRun"), "run") + Get(HKLM, Parking("WinLoad"), "load"),
              Missing + Missing);

    // Remove finds a token by the form it is listed in, its short name made
    // long; another letter case is another command. A parked one goes with
    // its marker and leaves the line alone.
    WriteProfileStringA("windows", "load", (std::string(shortName) + ";Alpha.exe").c_str());
    EXPECT_EQ(RemoveStartupEntry("load", program.c_str(), "", 100), 1);
    WriteProfileStringA("windows", "run", "Alpha.exe;BETA.EXE;gamma.exe");
    EXPECT_EQ(RemoveStartupEntry("run", "beta.exe", "", 101), 1);
    EXPECT_EQ(GetWinIniLine("load") + "|" + GetWinIniLine("run"),
              "Alpha.exe;|Alpha.exe;BETA.EXE;gamma.exe");
    ASSERT_EQ(ToggleAt(Collect("run", "gamma.exe")), 1);
    EXPECT_EQ(RemoveAt(Collect("run", "gamma.exe")), 1);
    EXPECT_EQ(Get(HKLM, Parking("WinRun"), "run") + Marker("run"), Missing + Missing);
    EXPECT_EQ(GetWinIniLine("run"), "Alpha.exe;BETA.EXE;");
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
    // Parked by where they lie: no marker is needed.
    EXPECT_EQ(Marker("St Link Title") + Marker("untitled.exe"), Missing + Missing);
    EXPECT_EQ(ReadStartupRow(CollectLink(parked)).title, "St Link Title");
    EXPECT_FALSE(DisableWouldCollideAt(CollectLink(parked)));

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
    EXPECT_TRUE(DisableWouldCollideAt(CollectLink(back)));
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
    // A shortcut that cannot be read was named to the user by itself, with
    // the word that it stays on the disk: it is moved aside too.
    std::string broken = machine + "\\broken.lnk";
    for (const char *bytes : {"not a shortcut", "nor this"}) {
        ASSERT_TRUE(WriteFileBytes(broken, bytes));
        EXPECT_EQ(RemoveAt(CollectLink(broken)), 1);
        EXPECT_FALSE(FileThere(broken));
    }
    EXPECT_EQ(ReadFileBytes(box.removed + "\\broken.lnk") + "|" +
                  ReadFileBytes(box.removed + "\\broken (2).lnk"),
              "not a shortcut|nor this");

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
    EXPECT_EQ(Get(HKLM, RunKey, ""), "C:\\Apps\\default.exe");

    // A .pif entry has no Link to move; Remove has no file to take either.
    std::string pif = machine + "\\old.pif";
    ASSERT_TRUE(WriteFileBytes(pif, "pif"));
    int index = Collect("", pif);
    EXPECT_EQ(StartupEntryActions(index), 0);
    EXPECT_EQ(ToggleAt(index), 0);
    EXPECT_EQ(RemoveAt(index), 0);
    EXPECT_TRUE(FileThere(pif));
    EXPECT_EQ(Marker(""), "1");

    // A parked value without a marker, and sources no family owns.
    ASSERT_TRUE(SetRegString(HKLM, Parking("Run").c_str(), "StOrphan", "C:\\Apps\\orphan.exe"));
    for (DWORD source : {0u, 9u, 21u, 25u, 37u, 102u, 201u, 600u}) {
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
    // no lasting parking keys. A shortcut needs neither.
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
        EXPECT_EQ(ToggleAt(CollectLink(shortcut)), 1);
        EXPECT_EQ(Get(HKLM, RunKey, "StLocked"), "C:\\Apps\\locked.exe");
        EXPECT_EQ(GetWinIniLine("run"), "st_locked.exe");
        EXPECT_EQ(Get(HKLM, Parking("Run"), "StLocked") + Get(HKLM, Parking("WinRun"), "run"),
                  Missing + Missing);
        EXPECT_EQ(Marker("StLocked") + Marker("run"), Missing + Missing);
        EXPECT_FALSE(FileThere(shortcut));
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

// Collects and finds a row by title and the start of its listed path.
int CollectStart(const std::string &title, const std::string &pathStart)
{
    CollectStartupEntries();
    for (int i = 0; i < EntryCount; ++i) {
        StartupRow row = ReadStartupRow(i);
        if (row.title == title && row.path.compare(0, pathStart.size(), pathStart) == 0)
            return i;
    }
    return -1;
}

TEST_F(StartupParkTest, LongWinIniTokenIsParkedWhole)
{
    const std::string token = "C:\\Tools\\agent.exe /config=" + std::string(273, 'x') + "END";
    ASSERT_EQ(token.size(), 303u);
    WriteProfileStringA("windows", "run", ("C:\\a.exe;" + token).c_str());
    ASSERT_EQ(ToggleAt(CollectStart("run", "C:\\Tools\\agent.exe")), 1);
    EXPECT_EQ(GetWinIniLine("run"), "C:\\a.exe;");
    EXPECT_EQ(Raw(HKLM, Parking("WinRun"), "run"), Sz(token));
    ASSERT_EQ(ToggleAt(CollectStart("run", "C:\\Tools\\agent.exe")), 1);
    EXPECT_EQ(GetWinIniLine("run"), "C:\\a.exe;;" + token);
    EXPECT_EQ(Raw(HKLM, Parking("WinRun"), "run") + Marker("run"), Missing + Missing);
}

TEST_F(StartupParkTest, PaddedCommandsMoveWholeAndOverlongOnesSaySo)
{
    // A Run value past any fixed buffer parks, comes back and goes, byte
    // for byte and with its type.
    const std::string padded = "%SystemRoot%\\pad.exe " + std::string(70000, 'p');
    ASSERT_TRUE(box.Set(HKCU, RunKey, "StPadded", padded.c_str(), REG_EXPAND_SZ));
    const std::string before = Raw(HKCU, RunKey, "StPadded");
    EXPECT_EQ(StartupEntryOverLimit(CollectParked("StPadded", false)), StartupFits);
    ASSERT_EQ(ToggleAt(CollectParked("StPadded", false)), 1);
    EXPECT_TRUE(Raw(HKLM, Parking("Run"), "StPadded") == before);
    ASSERT_EQ(ToggleAt(CollectParked("StPadded")), 1);
    EXPECT_TRUE(Raw(HKCU, RunKey, "StPadded") == before);
    EXPECT_EQ(RemoveAt(CollectParked("StPadded", false)), 1);
    EXPECT_EQ(Raw(HKCU, RunKey, "StPadded"), Missing);

    // So does a token of a WIN.INI line past any fixed buffer; every other
    // piece stays as it stood.
    std::string pad;
    for (int i = 0; i < 20; ++i)
        pad += "C:\\pad\\p" + std::to_string(i) + ".exe " + std::string(440, 'x') + ";";
    const std::string tail = "\"C:\\Q d\\tail.exe\" /a";
    WriteProfileStringA("windows", "run", (pad + "st_target.exe /q;" + tail).c_str());
    ASSERT_EQ(ToggleAt(Collect("run", "st_target.exe /q")), 1);
    EXPECT_TRUE(WholeLine("run") == pad + tail + ";");
    ASSERT_EQ(ToggleAt(Collect("run", "st_target.exe /q")), 1);
    EXPECT_TRUE(WholeLine("run") == pad + tail + ";;st_target.exe /q");
    EXPECT_EQ(RemoveAt(Collect("run", "st_target.exe /q")), 1);
    EXPECT_TRUE(WholeLine("run") == pad + tail + ";");

    // Past the limit, the entry says which limit and nothing moves.
    const std::string huge = "C:\\Pad\\huge.exe " + std::string(LongestCommandSize, 'h');
    ASSERT_TRUE(box.Set(HKCU, RunKey, "StHuge", huge.c_str()));
    int row = CollectParked("StHuge", false);
    EXPECT_EQ(StartupEntryOverLimit(row), StartupValueTooLong);
    EXPECT_EQ(ToggleAt(row) + RemoveAt(row), 0);
    EXPECT_TRUE(Raw(HKCU, RunKey, "StHuge") == Sz(huge));
    EXPECT_EQ(Raw(HKLM, Parking("Run"), "StHuge"), Missing);
    ASSERT_TRUE(RegDeleteKeyValueA(HKCU, RunKey.c_str(), "StHuge") == ERROR_SUCCESS);
    // A line that long can only be put where the profile functions keep
    // the [windows] section.
    const std::string line = "st_first.exe;" + std::string(32767 - 13, 'z');
    ASSERT_TRUE(SetRegString(HKCU, WinIniKey, "run", line.c_str()));
    ASSERT_TRUE(WholeLine("run") == line);
    row = Collect("run", "st_first.exe");
    EXPECT_EQ(StartupEntryOverLimit(row), StartupLineTooLong);
    EXPECT_EQ(ToggleAt(row) + RemoveAt(row) + AppendWinIniToken("run", "st_more.exe"), 0);
    EXPECT_TRUE(WholeLine("run") == line);
    WriteProfileStringA("windows", "run", "");
}

TEST_F(StartupParkTest, CommandsThatDifferInCaseOrEqualsSignAreApart)
{
    const std::string eq = "C:\\t\\tool.exe /mode=a", colon = "C:\\t\\tool.exe /mode:a";
    // Disabling one of two near-twins in a line moves only that one.
    const struct { std::string line, row, left; } lines[] = {
        {eq + ";" + colon, eq, colon + ";"},
        {"C:\\t\\tool.exe /X;C:\\t\\tool.exe /x", "C:\\t\\tool.exe /X", "C:\\t\\tool.exe /x;"},
    };
    for (const auto &line : lines) {
        SCOPED_TRACE(line.line);
        WriteProfileStringA("windows", "run", line.line.c_str());
        ASSERT_EQ(ToggleAt(Collect("run", line.row)), 1);
        EXPECT_EQ(GetWinIniLine("run"), line.left);
        EXPECT_EQ(Get(HKLM, Parking("WinRun"), "run"), line.row);
        ASSERT_EQ(RemoveAt(CollectParked("run")), 1);
        EXPECT_EQ(GetWinIniLine("run"), line.left);
    }
    // A near-twin put back from outside does not count as the parked one.
    WriteProfileStringA("windows", "run", eq.c_str());
    ASSERT_EQ(ToggleAt(Collect("run", eq)), 1);
    WriteProfileStringA("windows", "run", colon.c_str());
    ASSERT_EQ(ToggleAt(Collect("run", eq)), 1);
    EXPECT_EQ(GetWinIniLine("run"), colon + ";" + eq);
    EXPECT_EQ(Get(HKLM, Parking("WinRun"), "run") + Marker("run"), Missing + Missing);
    // Nor is a Run value re-added in other letters overwritten.
    ASSERT_TRUE(box.Set(HKCU, RunKey, "EqApp", eq.c_str()));
    ASSERT_EQ(ToggleAt(Collect("EqApp", eq)), 1);
    ASSERT_TRUE(SetRegString(HKCU, RunKey.c_str(), "EqApp", "C:\\t\\tool.exe /MODE:A"));
    EXPECT_EQ(ToggleAt(Collect("EqApp", eq)), 0);
    EXPECT_EQ(Get(HKCU, RunKey, "EqApp"), "C:\\t\\tool.exe /MODE:A");
    EXPECT_EQ(Get(HKLM, Parking("Run"), "EqApp") + Marker("EqApp"), eq + "11");
}

TEST_F(StartupParkTest, LongValueNamesActOnTheirOwnValue)
{
    const std::string cut(127, 'A'), whole = cut + "B";
    ASSERT_TRUE(box.Set(HKCU, RunKey, cut.c_str(), "C:\\short\\keepme.exe"));
    ASSERT_TRUE(box.Set(HKCU, RunKey, whole.c_str(), "C:\\long\\removeme.exe"));
    // Disable and Enable by the whole name; Remove takes that one only, as
    // does a caller that holds only the row's cut title and path.
    ASSERT_EQ(ToggleAt(Collect(cut, "C:\\long\\removeme.exe")), 1);
    EXPECT_EQ(Get(HKLM, Parking("Run"), whole.c_str()) + Marker(whole.c_str()),
              "C:\\long\\removeme.exe11");
    ASSERT_EQ(ToggleAt(Collect(cut, "C:\\long\\removeme.exe")), 1);
    EXPECT_EQ(RemoveAt(Collect(cut, "C:\\long\\removeme.exe")), 1);
    EXPECT_EQ(Get(HKCU, RunKey, whole.c_str()), Missing);
    EXPECT_EQ(Get(HKCU, RunKey, cut.c_str()), "C:\\short\\keepme.exe");
    ASSERT_TRUE(SetRegString(HKCU, RunKey.c_str(), whole.c_str(), "C:\\long\\removeme.exe"));
    EXPECT_EQ(RemoveStartupEntry(cut.c_str(), "C:\\long\\removeme.exe", "", 11), 1);
    EXPECT_EQ(Get(HKCU, RunKey, whole.c_str()), Missing);
    EXPECT_EQ(Get(HKCU, RunKey, cut.c_str()), "C:\\short\\keepme.exe");
}

TEST_F(StartupParkTest, DisableThenEnableGivesBackTheExactBytesAndType)
{
    std::string program = box.scratch + "\\Long Startup Program.exe";
    char shortName[MAX_PATH];
    ASSERT_TRUE(WriteFileBytes(program, "MZ"));
    ASSERT_GT(GetShortPathNameA(program.c_str(), shortName, sizeof(shortName)), 0u);
    const std::string quoted =
        "\"C:\\Program Files\\My App\\app.exe\" \"C:\\My Docs\\file one.txt\" --name \"a b\"";
    const struct { const char *name, *data; DWORD type; } values[] = {
        {"StQuotedArgs", quoted.c_str(), REG_SZ},
        {"StExpand", "%SystemRoot%\\system32\\st.exe /x", REG_EXPAND_SZ},
        {"StShort", shortName, REG_SZ},
    };
    for (const auto &value : values) {
        SCOPED_TRACE(value.name);
        ASSERT_TRUE(box.Set(HKCU, RunKey, value.name, value.data, value.type));
        const std::string before = Raw(HKCU, RunKey, value.name);
        ASSERT_EQ(ToggleAt(CollectParked(value.name, false)), 1);
        EXPECT_EQ(Raw(HKLM, Parking("Run"), value.name), before);
        ASSERT_EQ(ToggleAt(CollectParked(value.name)), 1);
        EXPECT_EQ(Raw(HKCU, RunKey, value.name), before);
    }
    // WIN.INI pieces come back as they stood, quotes and short names too.
    const std::string line = "\"C:\\My Docs\\x.exe\" /a;" + std::string(shortName);
    WriteProfileStringA("windows", "load", line.c_str());
    ASSERT_EQ(ToggleAt(Collect("load", "C:\\My Docs\\x.exe /a")), 1);
    EXPECT_EQ(Get(HKLM, Parking("WinLoad"), "load"), "\"C:\\My Docs\\x.exe\" /a");
    ASSERT_EQ(ToggleAt(Collect("load", "C:\\My Docs\\x.exe /a")), 1);
    EXPECT_EQ(GetWinIniLine("load"), std::string(shortName) + ";;\"C:\\My Docs\\x.exe\" /a");
    // A value parked by an earlier version, as the list showed it, comes
    // back exactly as it was parked.
    ASSERT_TRUE(SetRegString(HKLM, Parking("Run").c_str(), "StOld", "C:\\Old App\\old.exe -q"));
    ASSERT_TRUE(SetRegString(HKLM, DisabledKeyPath, "StOld", "11"));
    box.saved.push_back(SaveRegValue(HKCU, RunKey.c_str(), "StOld"));
    ASSERT_EQ(ToggleAt(Collect("StOld", "C:\\Old App\\old.exe -q")), 1);
    EXPECT_EQ(Raw(HKCU, RunKey, "StOld"), Sz("C:\\Old App\\old.exe -q"));
}

TEST_F(StartupParkTest, ValueReaddedBesideItsParkedCopyIsEnabledAndRemovedAlone)
{
    ASSERT_TRUE(box.Set(HKCU, RunKey, "Nagware", "C:\\Nag\\nag.exe /tray"));
    ASSERT_EQ(ToggleAt(Collect("Nagware", "C:\\Nag\\nag.exe /tray")), 1);
    ASSERT_TRUE(SetRegString(HKCU, RunKey.c_str(), "Nagware", "C:\\Nag\\nag.exe /tray"));
    int live = CollectParked("Nagware", false), parked = CollectParked("Nagware");
    ASSERT_GE(live, 0);
    ASSERT_GE(parked, 0);
    EXPECT_EQ(GetDisabledSource(live), 0);
    EXPECT_EQ(GetDisabledSource(parked), 11);
    EXPECT_EQ(RemoveAt(live), 1);
    EXPECT_EQ(Get(HKCU, RunKey, "Nagware"), Missing);
    EXPECT_EQ(Get(HKLM, Parking("Run"), "Nagware") + Marker("Nagware"),
              "C:\\Nag\\nag.exe /tray11");
    // Known only by its texts, the entry fits both copies: nothing is done.
    ASSERT_TRUE(SetRegString(HKCU, RunKey.c_str(), "Nagware", "C:\\Nag\\nag.exe /tray"));
    EXPECT_EQ(RemoveStartupEntry("Nagware", "C:\\Nag\\nag.exe /tray", "", 11), 0);
    EXPECT_EQ(Get(HKCU, RunKey, "Nagware") + Marker("Nagware"), "C:\\Nag\\nag.exe /tray11");
}

TEST_F(StartupParkTest, ParkedShortcutStaysParkedWhenItsTitleChanges)
{
    std::string target = box.scratch + "\\target.exe", shortcut = user + "\\notes.lnk";
    ASSERT_TRUE(CopyFileA(versioned.c_str(), target.c_str(), FALSE));
    ASSERT_TRUE(CreateShortcutFile(shortcut, target, nullptr));
    const std::string before = ReadStartupRow(CollectLink(shortcut)).title;
    ASSERT_EQ(ToggleAt(CollectLink(shortcut)), 1);
    EXPECT_EQ(Marker(before.c_str()), Missing);
    ASSERT_TRUE(CopyFileA(FixturePath("startup_productonly.exe").c_str(), target.c_str(), FALSE));
    int parked = CollectLink(box.disabled + "\\notes.lnk");
    const std::string after = ReadStartupRow(parked).title;
    ASSERT_NE(after, before);
    // A marker an earlier version left by the title goes with the file.
    ASSERT_TRUE(SetRegString(HKLM, DisabledKeyPath, after.c_str(), "200"));
    EXPECT_TRUE(IsStartupEntryParked(parked));
    EXPECT_EQ(GetDisabledSource(parked), 200);
    EXPECT_FALSE(DisableWouldCollideAt(parked));
    EXPECT_EQ(ToggleAt(parked), 1);
    EXPECT_TRUE(FileThere(machine + "\\notes.lnk"));
    EXPECT_FALSE(FileThere(box.disabled + "\\notes.lnk"));
    EXPECT_EQ(Marker(before.c_str()) + Marker(after.c_str()), Missing + Missing);
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
