// What other software leaves on a machine, thrown at the real functions:
// odd and huge registry values, crowded sources, broken shortcuts and version
// resources, unreadable cookie files, a mangled data file, WHOIS servers that
// misbehave; a start of the real program on the worst registry; the release
// package's program; and the long-name step shown to list every text as before.
#include "app/app.h"
#include "cookies/cookies.h"
#include "info/info.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"
#include "watch/watch.h"
#include "whois/whois.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

const char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Text(HWND page, int id)
{
    return WindowText(GetDlgItem(page, id));
}

std::string EntryPath(int i)
{
    char path[PathSize];
    GetEntryPath(i, path);
    return path;
}

int FindEntry(const std::string &title)
{
    for (int i = 0; i < EntryCount; ++i) {
        char text[TitleSize];
        GetEntryTitle(i, text);
        if (title == text)
            return i;
    }
    return -1;
}

std::string RawValue(const char *name, DWORD *type = nullptr)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RunKey, 0, KEY_READ, key.out()) != ERROR_SUCCESS)
        return "<missing>";
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS)
        return "<missing>";
    std::string bytes(size, '\0');
    RegQueryValueExA(key, name, nullptr, type, (BYTE *)&bytes[0], &size);
    return bytes;
}

void SetRawValue(const char *name, DWORD type, const std::string &bytes)
{
    RegKey key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, RunKey, key.out()), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, (const BYTE *)bytes.data(), (DWORD)bytes.size()), ERROR_SUCCESS);
}

void DeleteRawValue(const char *name)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RunKey, 0, KEY_WRITE, key.out()) == ERROR_SUCCESS)
        RegDeleteValueA(key, name);
}

std::string Command(size_t length)
{
    std::string text = "C:\\Hostile\\prog.exe /";
    while (text.size() < length)
        text += (char)('a' + text.size() % 26);
    return text.substr(0, length) + std::string(1, '\0');
}

// A distinct command for each of a crowd of values, of varied lengths.
std::string CrowdCommand(int i)
{
    return "C:\\Crowd\\p" + std::to_string(i) + ".exe " + std::string((size_t)(i % 200), 'a') + std::string(1, '\0');
}

// The program's window or dialogs in another process, found by its id.
HWND ProcessWindow(DWORD processId, const char *className, bool sheet)
{
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, className, nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        bool tabs = FindWindowExA(window, nullptr, "SysTabControl32", nullptr) != nullptr;
        if (owner == processId && tabs == sheet && (!sheet || IsWindowVisible(window)))
            return window;
    }
    return nullptr;
}

// Runs a program for its first start until it is quiet: the sheet is
// awaited and closed, every other dialog is noted (and answered Cancel), then
// Exit is posted. The exit code, or -1 when it did not end within the time.
int RunProgramToExit(const std::string &program, std::vector<std::string> *strays, const std::function<void()> &onSheet)
{
    DWORD processId = 0;
    HANDLE process = StartChildProcess(program, "", &processId);
    if (!process)
        return -1;
    bool sheetSeen = false;
    DWORD start = GetTickCount(), quiet = start;
    while (WaitForSingleObject(process, 100) == WAIT_TIMEOUT && GetTickCount() - start < 120000) {
        if (HWND sheet = ProcessWindow(processId, "#32770", true)) {
            if (!sheetSeen)
                onSheet();
            sheetSeen = true;
            PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
            quiet = GetTickCount();
        }
        if (HWND dialog = ProcessWindow(processId, "#32770", false); dialog && IsWindowVisible(dialog)) {
            strays->push_back(WindowText(dialog));
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            quiet = GetTickCount();
        }
        HWND main = ProcessWindow(processId, "Sentrovia", false);
        if (!main || !sheetSeen)
            quiet = GetTickCount();
        if (GetTickCount() - quiet >= 3000 && PostMessageA(main, WM_COMMAND, IDM_EXIT, 0))
            quiet = GetTickCount();
    }
    DWORD code = 1;
    bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    EndChildProcess(process);
    return ended ? (int)code : -1;
}

// A Startup folder of the user's pointed at a scratch folder for a test.
struct StartupFolder {
    std::string folder = MakeScratchDir("hostile_startup");
    SavedRegValue shell = SaveRegValue(HKEY_CURRENT_USER, ShellFoldersKey, "Startup");
    SavedRegValue user = SaveRegValue(HKEY_CURRENT_USER, UserShellFoldersKey, "Startup");
    StartupFolder() { PointShellFolder(HKEY_CURRENT_USER, "Startup", folder); }
    ~StartupFolder()
    {
        RestoreRegValue(shell);
        RestoreRegValue(user);
        RemoveTree(folder);
        ClearEntries();
    }
};

} // namespace

// Every text a producer hands the table comes out as the long-name function
// alone made it before it was first asked whether the file exists.
TEST(LongNameStep, ListsEveryTextAsTheLongNameFunctionDoes)
{
    std::string scratch = MakeScratchDir("hostile_long");
    std::string longFile = scratch + "\\A Long Program Name.exe";
    WriteFileBytes(longFile, "MZ");
    CreateDirectoryA((scratch + "\\Sub Folder Long").c_str(), nullptr);
    char shortName[PathSize] = "";
    GetShortPathNameA(longFile.c_str(), shortName, sizeof(shortName));
    std::string upper = longFile;
    CharUpperA(&upper[0]);
    char cwd[PathSize];
    GetCurrentDirectoryA(sizeof(cwd), cwd);
    SetCurrentDirectoryA(scratch.c_str());
    const std::string texts[] = {
        longFile, shortName, upper, longFile + " /args", scratch + "\\Sub Folder Long",
        scratch + "\\Sub Folder Long\\", scratch + "\\.\\A Long Program Name.exe",
        scratch + "\\Sub Folder Long\\..\\A Long Program Name.exe", "A Long Program Name.exe",
        "C:\\nowhere\\prog.exe", "C:\\nowhere\\prog.exe /q", scratch + "\\*.exe", "C:\\", "C:", "NUL",
        "\\\\127.0.0.1\\none\\x.exe", std::string(300, 'x'), scratch + "\\" + std::string(250, 'y'),
        "%WINDIR%\\notepad.exe", longFile + ".", longFile + " ",
    };
    for (const std::string &text : texts) {
        char expected[PathSize] = "";
        DWORD length = GetLongPathNameA(text.c_str(), expected, sizeof(expected));
        if (length == 0 || length >= PathSize)
            CopyText(expected, sizeof(expected), text.c_str());
        char listed[PathSize];
        ToLongPathName(listed, sizeof(listed), text.c_str());
        EXPECT_STREQ(listed, expected) << text;
        ClearEntries();
        AddEntry("t", text.c_str(), text.c_str(), 1, 0);
        EXPECT_EQ(EntryPath(0), expected) << text;
    }
    SetCurrentDirectoryA(cwd);

    // The cookie walk hands over names from FindFirstFileA: the same paths.
    CookieSandbox box("hostile_long_cookies");
    for (const char *name : {"Cookies\\user@Mixed.Case[1].txt", "Cookies\\Sub Dir\\user@x.example[2].txt",
                             "Cookies\\a b c d e f g.txt"})
        box.File(name);
    ASSERT_EQ(CollectCookieEntries(), 3);
    for (int i = 0; i < EntryCount; ++i) {
        char expected[PathSize];
        GetLongPathNameA(EntryPath(i).c_str(), expected, sizeof(expected));
        EXPECT_EQ(EntryPath(i), expected);
    }
    ClearEntries();
    RemoveTree(scratch);
}

// Odd Run values: each is listed, cut or skipped as the rules say, and none
// of them is changed by being listed, disabled and enabled again.
TEST(HostileRegistry, OddRunValuesKeepTheirBytes)
{
    CoInitialize(nullptr);
    // outcome: how it is listed; parked: what Disable then Enable did.
    const struct { std::string name; DWORD type; std::string bytes; const char *outcome, *parked; } cases[] = {
        {"Hostile255", REG_SZ, Command(255), "listed whole", "back"},
        {"Hostile256", REG_SZ, Command(256), "listed, cut to 255", "back"},
        {"Hostile511", REG_SZ, Command(511), "listed, cut to 255", "back"},
        {"Hostile512", REG_SZ, Command(512), "listed, cut to 255", "back"},
        {"Hostile600", REG_SZ, Command(600), "listed, cut to 255", "back"},
        {"Hostile65536", REG_SZ, Command(65536), "listed, cut to 255", "back"},
        {"HostileDword", REG_DWORD, std::string("\x41\x42\x43\x44", 4), "skipped", "-"},
        {"HostileBinary", REG_BINARY, std::string("C:\\bin.exe\0\x01\xff\xfe", 14), "listed whole", "back"},
        {"HostileMulti", REG_MULTI_SZ, std::string("C:\\one.exe\0C:\\two.exe\0\0", 23), "listed whole", "back"},
        {"HostileExpand", REG_EXPAND_SZ, std::string("%WINDIR%\\exp.exe -x\0", 20), "listed whole", "back"},
        {"\xe4Hostile\xff", REG_SZ, Command(30), "skipped", "-"},
        {"Hostile\x80\xfe", REG_SZ, Command(30), "listed whole", "back"},
        {"Hostile\x01\x1b[2J\t\r\n", REG_SZ, Command(30), "listed whole", "back"},
        {"Hostile<script>", REG_SZ, std::string("C:\\<b>x</b>.exe \"&amp;\"\0", 24), "listed unquoted", "back"},
        {"", REG_SZ, Command(30), "skipped", "-"},
    };
    SavedRegValue unnamed = SaveRegValue(HKEY_CURRENT_USER, RunKey, "");
    for (const auto &c : cases)
        SetRawValue(c.name.c_str(), c.type, c.bytes);
    CollectStartupEntries();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        int row = -1;
        for (int i = 0; i < EntryCount && row < 0; ++i) {
            char name[OriginNameSize];
            GetEntryOrigin(i, name);
            if (GetEntrySource(i) == 11 && c.name == name)
                row = i;
        }
        std::string listed = row < 0 ? "" : EntryPath(row);
        std::string text = c.bytes.c_str(), unquoted;
        for (char ch : text)
            unquoted += ch == '"' ? "" : std::string(1, ch);
        const char *outcome = row < 0               ? "skipped"
                              : listed == text      ? "listed whole"
                              : listed == unquoted  ? "listed unquoted"
                              : listed.size() == 255 ? "listed, cut to 255"
                                                    : "listed, cut wrongly";
        EXPECT_STREQ(outcome, c.outcome);
        EXPECT_EQ(listed, row < 0 ? "" : unquoted.substr(0, listed.size()));
        // Disable and enable: the value is back byte for byte, or the
        // program refused and never took it out.
        const char *parked = "-";
        if (row >= 0) {
            parked = ToggleStartupEntryAt(row) ? "gone" : "refused";
            CollectStartupEntries();
            for (int i = 0; i < EntryCount; ++i) {
                char name[OriginNameSize];
                GetEntryOrigin(i, name);
                if (c.name == name && IsStartupEntryParked(i) && ToggleStartupEntryAt(i))
                    parked = "back";
            }
        }
        EXPECT_STREQ(parked, c.parked);
        DWORD type = 0;
        EXPECT_EQ(RawValue(c.name.c_str(), &type), c.bytes);
        EXPECT_EQ(type, c.type);
        CollectStartupEntries();
    }
    // The report of all of them: written, every text escaped.
    EXPECT_EQ(WriteFullReportFile(ReportStartup, "hostile_report.html"), 1);
    std::string report = ReadFileBytes("hostile_report.html");
    EXPECT_EQ(report.find("<script>"), std::string::npos);
    EXPECT_EQ(report.find("<b>x"), std::string::npos);
    EXPECT_NE(report.find("Hostile&lt;script&gt;"), std::string::npos);
    DeleteFileA("hostile_report.html");
    for (const auto &c : cases)
        DeleteRawValue(c.name.c_str());
    RestoreRegValue(unnamed);
    ClearEntries();
    CoUninitialize();
}

// 1,000 Run values and 1,000 Startup files: the table holds the first 300;
// nothing is touched. Then the real program starts on that registry for
// the first time: it remembers the 300, shows the sheet, and exits cleanly.
TEST(HostileRegistry, ThousandsOfEntriesFillTheTableAndTheProgramStarts)
{
    StartupFolder startup;
    for (int i = 0; i < 1000; ++i) {
        char name[32];
        FormatText(name, sizeof(name), "Crowd%04d", i);
        SetRawValue(name, REG_SZ, CrowdCommand(i));
        WriteFileBytes(startup.folder + "\\" + name + (i % 2 ? ".pif" : ".exe"), i % 3 ? "" : "MZ garbage");
    }
    SetRawValue("Hostile65536", REG_SZ, Command(65536));
    EXPECT_EQ(CollectStartupEntries(), MaxEntries);
    EXPECT_EQ(FindEntry("Crowd0000") >= 0, true);

    std::string folder = MakeScratchDir("hostile_program");
    std::string program = folder + "\\Sentrovia.exe";
    ASSERT_TRUE(CopyFileA((TestDir() + "\\..\\Sentrovia.exe").c_str(), program.c_str(), FALSE));
    std::vector<std::string> strays;
    bool sheet = false;
    EXPECT_EQ(RunProgramToExit(program, &strays, [&] { sheet = true; }), 0);
    EXPECT_TRUE(sheet);
    std::vector<char> section(1 << 20);
    DWORD length = GetPrivateProfileSectionA("Run", section.data(), (DWORD)section.size(),
                                             (folder + "\\Sentro.dat").c_str());
    int remembered = 0;
    for (DWORD i = 0; i < length; i += (DWORD)strlen(&section[i]) + 1)
        ++remembered;
    EXPECT_EQ(remembered, MaxEntries);
    EXPECT_TRUE(strays.empty()) << strays.front();

    int kept = 0;
    for (int i = 0; i < 1000; ++i) {
        char name[32];
        FormatText(name, sizeof(name), "Crowd%04d", i);
        kept += RawValue(name) == CrowdCommand(i);
        kept += PathExists(startup.folder + "\\" + name + (i % 2 ? ".pif" : ".exe"));
        DeleteRawValue(name);
    }
    EXPECT_EQ(kept, 2000);
    EXPECT_EQ(RawValue("Hostile65536"), Command(65536));
    DeleteRawValue("Hostile65536");
    RemoveTree(folder);
}

// A 4,000-character run= line: every piece is listed and taken out alone,
// and the rest of the line stays whole.
TEST(HostileRegistry, LongWinIniLineLosesNothing)
{
    SavedWinIniLine saved = SaveWinIniLine("run");
    std::string line;
    for (int i = 0; line.size() < 4000; ++i)
        line += "C:\\Hostile\\piece" + std::to_string(i) + ".exe;";
    line.resize(4000);
    ASSERT_TRUE(WriteProfileStringA("windows", "run", line.c_str()));
    CollectStartupEntries();
    int first = -1, last = -1;
    for (int i = 0; i < EntryCount; ++i)
        if (GetEntrySource(i) == 101)
            first = first < 0 ? i : first, last = i;
    ASSERT_GE(first, 0);
    std::string firstPiece = EntryPath(first);
    EXPECT_EQ(firstPiece, "C:\\Hostile\\piece0.exe");
    // The line is written back with ";" after every piece that stays.
    const std::string rest = line.substr(0, line.rfind(';') + 1);
    EXPECT_EQ(RemoveStartupEntryAt(last), 1) << EntryPath(last);
    EXPECT_EQ(GetWinIniLine("run"), rest);
    CollectStartupEntries();
    EXPECT_EQ(RemoveStartupEntryAt(first), 1);
    EXPECT_EQ(GetWinIniLine("run"), rest.substr(firstPiece.size() + 1));
    RestoreWinIniLine(saved);
    ClearEntries();
}

// Shortcuts that are empty, cut short or noise, and executables with broken
// or oversized version resources: listed without details, never changed.
TEST(HostileFiles, BrokenShortcutsAndVersionResources)
{
    CoInitialize(nullptr);
    StartupFolder startup;
    std::string good = startup.folder + "\\good.lnk.tmp";
    ASSERT_TRUE(CreateShortcutFile(good, FixturePath("startup_versioned.exe"), "Good"));
    std::string lnk = ReadFileBytes(good);
    DeleteFileA(good.c_str());
    std::string noise;
    for (int i = 0; i < 4096; ++i)
        noise += (char)(i * 7919 % 251);
    std::string exe = ReadFileBytes(FixturePath("startup_versioned.exe"));
    // Half of the fixture still holds its whole resource, which is read.
    const struct { const char *name; std::string bytes; bool details; } files[] = {
        {"empty.lnk", "", false}, {"cut.lnk", lnk.substr(0, lnk.size() / 3), false},
        {"noise.lnk", noise, false}, {"header.lnk", lnk.substr(0, 76), false}, {"empty.exe", "", false},
        {"noise.exe", noise, false}, {"cut.exe", exe.substr(0, exe.size() / 2), true},
        {"header.exe", exe.substr(0, 1024), false},
    };
    for (const auto &f : files)
        WriteFileBytes(startup.folder + "\\" + f.name, f.bytes);
    CollectStartupEntries();
    for (const auto &f : files) {
        SCOPED_TRACE(f.name);
        std::string path = startup.folder + "\\" + f.name;
        char target[PathSize], description[PathSize];
        bool resolved = strstr(f.name, ".lnk") && SUCCEEDED(ResolveShortcut(nullptr, path.c_str(), target, description)) && target[0];
        EXPECT_FALSE(resolved);
        VersionInfo info;
        EXPECT_EQ(ReadVersionInfo(path.c_str(), &info), f.details);
        EXPECT_EQ(ReadFileBytes(path), f.bytes);
    }
    // Resources that lie about their sizes or exceed the reader's buffer.
    for (const char *fixture : {"ver_translie.exe", "ver_size4096.exe", "ver_huge.exe"}) {
        VersionInfo info;
        EXPECT_FALSE(ReadVersionInfo(FixturePath(fixture).c_str(), &info)) << fixture;
        EXPECT_STREQ(info.ProductName, "") << fixture;
    }
    CoUninitialize();
}

// Cookie files that are binary, empty, held open or read-only, and a folder
// of 10,000: listed (300 at most), viewed or refused, and deleted only when
// asked and only when they can be.
TEST(HostileFiles, AwkwardCookieFiles)
{
    CookieSandbox box("hostile_cookies");
    std::string binary(256, '\0');
    for (int i = 0; i < 256; ++i)
        binary[i] = (char)i;
    std::string paths[] = {box.File("Cookies\\user@binary[1].txt", binary), box.File("Cookies\\user@empty[1].txt", ""),
                           box.File("Cookies\\user@locked[1].txt"), box.File("Cookies\\user@readonly[1].txt")};
    SetFileAttributesA(paths[3].c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE holder = HoldFileOpen(paths[2]);
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(CollectCookieEntries(), 4);
    // Viewing: binary text shown up to its first zero byte, the others as they are.
    const int readable[] = {1, 0, 0, 1};
    for (int i = 0; i < 4; ++i) {
        HGLOBAL text = ReadTextFile(paths[i].c_str(), 4096);
        EXPECT_EQ(text != nullptr, readable[i] != 0) << paths[i];
        if (text)
            GlobalFree(text);
    }
    // Deleting: the held file stays and says so; the read-only one goes.
    EXPECT_EQ(ForceDeleteFile(paths[2].c_str()), 0);
    EXPECT_TRUE(PathExists(paths[2]));
    EXPECT_EQ(ForceDeleteFile(paths[3].c_str()), 1);
    EXPECT_FALSE(PathExists(paths[3]));
    // A nut that names the held file cannot delete it: it stays listed.
    box.SetNuts({"locked"});
    CollectCookieEntries();
    EXPECT_TRUE(PathExists(paths[2]));
    EXPECT_GE(FindEntry("user@locked[1].txt"), 0);
    EndChildProcess(holder);

    box.SetNuts({});
    for (int i = 0; i < 10000; ++i)
        WriteFileBytes(box.folder + "\\crowd" + std::to_string(i) + ".txt", "id=1\n");
    EXPECT_EQ(CollectCookieEntries(), MaxEntries);
    int left = 0;
    for (int i = 0; i < 10000; ++i)
        left += PathExists(box.folder + "\\crowd" + std::to_string(i) + ".txt");
    EXPECT_EQ(left, 10000);
}

// A data file with garbage, duplicate sections, a 5 MB section and lines
// without "=": options read with their defaults where nothing sound is there,
// and writing the options keeps every other byte of the other sections.
TEST(HostileFiles, MangledDataFile)
{
    std::string saved = ReadFileBytes(DataFilePath);
    std::string big = "[Cookies]\r\n";
    for (int i = 0; big.size() < 5 * 1024 * 1024; ++i)
        big += "user@site" + std::to_string(i) + ".example[1].txt=1\r\n";
    std::string garbage = std::string("\x01\x02\xff\xfe garbage \x7f\r\nno equals sign here\r\n=\r\n[\r\n]]]\r\n");
    std::string text = garbage + "[Options]\r\nMinutes=7\r\nSound\r\nStart=banana\r\n[Nuts]\r\ncount=999999\r\n"
                       "Nut1=tracker\r\nNut2\r\n[Options]\r\nMinutes=9\r\nCookies=1\r\n" + big +
                       "[Run]\r\nno equals\r\n";
    ASSERT_TRUE(WriteFileBytes(DataFilePath, text));
    LoadOptions();
    EXPECT_EQ(Minutes, 7);   // the first of duplicate sections and keys counts
    EXPECT_EQ(Start, 0);     // not a number
    EXPECT_EQ(Sound, 1);     // no "=": the default
    EXPECT_EQ(Cookies, 0);   // only in the second [Options]
    EXPECT_EQ(IsCookieKept("user@site4000.example[1].txt"), 1);
    EXPECT_EQ(LoadNuts(), 1);  // a huge count stops at the keys that exist
    ClearEntries();
    // The watch cycle's look-ups answer as the profile functions do.
    ProfileSection kept, options;
    EXPECT_GT(LoadProfileSection(&kept, "Cookies"), 100000);
    EXPECT_EQ(ProfileSectionInt(&kept, "user@site4000.example[1].txt"), 1);
    LoadProfileSection(&options, "Options");
    EXPECT_EQ(ProfileSectionInt(&options, "Minutes"), 7);
    EXPECT_EQ(ProfileSectionInt(&options, "Start"), 0);
    EXPECT_EQ(SaveOptions(), 1);
    std::string after = ReadFileBytes(DataFilePath);
    EXPECT_NE(after.find("user@site4000.example[1].txt=1"), std::string::npos);
    EXPECT_GE(after.size(), big.size());
    EXPECT_NE(after.find("Nut1=tracker"), std::string::npos);
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Minutes", 0, DataFilePath), 7);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, DataFilePath);
    DeleteFileA(DataFilePath);
    if (saved != "<missing>")
        WriteFileBytes(DataFilePath, saved);
}

// WHOIS servers that flood, stall, reset in mid-answer or close at once:
// each request ends within its bound, the page stays usable, the list holds
// at most what arrived.
TEST(HostileNetwork, MisbehavingWhoisServers)
{
    enum Manner { Flood, Stall, Reset, Nothing };
    WSADATA wsa;
    WSAStartup(MAKEWORD(1, 1), &wsa);
    WhoisIdleLimit = 500;
    WhoisRequestLimit = 2000;
    for (Manner manner : {Flood, Stall, Reset, Nothing}) {
        SCOPED_TRACE(manner);
        SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
        WhoisPort = ntohs(ListenOnLoopback(listener).sin_port);
        std::atomic<bool> stop{false};
        std::thread server([&] {
            SOCKET s = accept(listener, nullptr, nullptr);
            char request[256];
            recv(s, request, sizeof(request), 0);
            std::string chunk(1024, 'w');
            for (int i = 0; i < 1023; ++i)
                chunk[i] = i % 64 == 63 ? '\n' : 'w';
            if (manner == Flood)
                for (int i = 0; i < 1024 && !stop; ++i)
                    send(s, chunk.data(), (int)chunk.size(), 0);
            if (manner == Reset) {
                send(s, "Domain: half\r\nRegistrar: ", 25, 0);
                Sleep(100);
                linger hard = {1, 0};
                setsockopt(s, SOL_SOCKET, SO_LINGER, (const char *)&hard, sizeof(hard));
            }
            while (manner == Stall && !stop)
                Sleep(20);
            closesocket(s);
        });
        EXPECT_TRUE(DriveSheet(nullptr, PageDomain, [&](HWND sheet) {
            HWND page = SheetCurrentPage(sheet);
            SetDlgItemTextA(page, IdDomainName, "example.com");
            SetDlgItemTextA(page, IdWhoisServer, "127.0.0.1");
            SendDlgItemMessageA(page, IdWhoisResults, LB_RESETCONTENT, 0, 0);
            SendDlgItemMessageA(page, IdWhoisResults, LB_ADDSTRING, 0, (LPARAM) "old");
            DWORD start = GetTickCount();
            EXPECT_EQ(WhoisQuery(page), 1);
            EXPECT_LT(GetTickCount() - start, 15000u);
            LRESULT lines = SendDlgItemMessageA(page, IdWhoisResults, LB_GETCOUNT, 0, 0);
            // A flood is cut at the client's 32,767 bytes (lines of 64); no
            // answer at all leaves the earlier list.
            const LRESULT fewest[] = {100, 1, 2, 1}, most[] = {513, 1, 2, 1};
            EXPECT_GE(lines, fewest[manner]);
            EXPECT_LE(lines, most[manner]);
            EXPECT_EQ(Text(page, IdWhoisStatus), "Done");
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IdWhoisFind)));
            stop = true;
        }));
        stop = true;
        server.join();
        closesocket(listener);
    }
    WhoisPort = 43;
    WhoisIdleLimit = 20000;
    WhoisRequestLimit = 60000;
    WSACleanup();
}

// The 64-bit program of the release package, unpacked by scripts/test-dist,
// which names it in SENTROVIA_DIST_PROGRAM: it starts and ends by Exit.
TEST(DistPackage, UnpackedProgramStartsAndExits)
{
    char program[PathSize] = "";
    if (!GetEnvironmentVariableA("SENTROVIA_DIST_PROGRAM", program, sizeof(program)))
        GTEST_SKIP() << "run by scripts/test-dist";
    std::string folder(program, FileNamePart(program));
    std::vector<std::string> strays;
    bool sheet = false;
    EXPECT_EQ(RunProgramToExit(program, &strays, [&] { sheet = true; }), 0);
    EXPECT_TRUE(sheet);
    EXPECT_TRUE(strays.empty()) << strays.front();
    EXPECT_TRUE(PathExists(folder + "Sentro.dat"));
}
