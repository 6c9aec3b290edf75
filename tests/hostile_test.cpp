// What other software leaves on a machine, thrown at the real functions:
// odd and huge registry values, crowded sources, broken shortcuts and version
// resources, unreadable cookie files, a mangled data file, WHOIS servers that
// misbehave; a start of the real program on the worst registry, and of the
// release package's program.
#include "app/app.h"
#include "cookies/cookies.h"
#include "info/info.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"
#include "watch/watch.h"
#include "whois/whois.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// A value of the user's Run key, as SaveRegValue reads it.
SavedRegValue RunValue(const std::string &name, const std::string &bytes, DWORD type = REG_SZ)
{
    return {HKEY_CURRENT_USER, RunKey, name, bytes, type, true};
}

// A command of `length` characters and its zero.
std::string Command(size_t length, int seed = 0)
{
    std::string text = "C:\\Hostile\\p" + std::to_string(seed) + ".exe /";
    while (text.size() < length)
        text += (char)('a' + text.size() % 26);
    return text + '\0';
}

// The row of a Run value: live in the user's Run key, or parked; -1 for none.
int ValueRow(const std::string &name, bool parked)
{
    for (int i = 0; i < EntryCount; ++i) {
        char origin[OriginNameSize];
        GetEntryOrigin(i, origin);
        if (name == origin && (parked ? IsStartupEntryParked(i) : GetEntrySource(i) == 11))
            return i;
    }
    return -1;
}

// Runs a program's first start to its end: its sheet is closed, any other
// dialog is a failure and is cancelled, and after a quiet second Exit is
// chosen. The exit code; -1 when no sheet came or it did not end in time.
int RunProgramToExit(const std::string &program)
{
    DWORD id = 0, code = 1;
    HANDLE process = StartChildProcess(program, "", &id);
    int sheets = 0, quiet = 0;
    for (int tick = 0; process && tick < 1200 && WaitForSingleObject(process, 100) == WAIT_TIMEOUT; ++tick) {
        for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", nullptr));) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != id || !IsWindowVisible(window))
                continue;
            bool sheet = FindWindowExA(window, nullptr, "SysTabControl32", nullptr) != nullptr;
            EXPECT_TRUE(sheet) << "a dialog came up: " << WindowText(window);
            sheets += sheet, quiet = 0;
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        }
        if (sheets && ++quiet == 10)
            PostMessageA(FindWindowA("Sentrovia", nullptr), WM_COMMAND, IDM_EXIT, 0);
    }
    bool ended = sheets && WaitForSingleObject(process, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    EndChildProcess(process);
    return ended ? (int)code : -1;
}

} // namespace

// The startup sources at their worst. Odd Run values are listed, cut or
// skipped as the rules say, and each comes back byte for byte when disabled
// and enabled again; every piece of a 4,000-character run= line is listed and
// one is taken out alone; shortcuts that are empty, cut short or noise, and
// executables with broken or oversized version resources are listed without
// details. Then 1,000 Run values and 1,000 more Startup files: the table holds
// the first 300, and the real program's first start remembers them, shows the
// sheet and ends through Exit. Nothing is changed on the way.
TEST(HostileRegistry, StartupSourcesAtTheirWorst)
{
    CoInitialize(nullptr);
    StartupSandbox sandbox("hostile_startup");
    std::vector<SavedRegValue> values = {
        RunValue("HostileDword", "ABCD", REG_DWORD), RunValue("HostileBinary", {"C:\\bin.exe\0\x01\xff\xfe", 14}, REG_BINARY),
        RunValue("HostileMulti", {"C:\\one.exe\0C:\\two.exe\0\0", 23}, REG_MULTI_SZ),
        RunValue("HostileExpand", {"%WINDIR%\\exp.exe -x\0", 20}, REG_EXPAND_SZ), RunValue("\xe4Hostile\xff", Command(30)),
        RunValue("Hostile\x80\xfe", Command(30)), RunValue("Hostile\x01\x1b[2J\t\r\n", Command(30)),
        RunValue("Hostile<script>", {"C:\\<b>x</b>.exe \"&amp;\"\0", 24}), RunValue("", Command(30))};
    for (size_t length : {255, 256, 511, 512, 600, 65535})  // the last is 65,536 bytes with its zero
        values.push_back(RunValue("Hostile" + std::to_string(length), Command(length)));
    // How each is listed, in the order above.
    const char *const outcomes[] = {"skipped", "whole", "whole", "whole", "skipped", "whole", "whole", "unquoted",
                                    "skipped", "whole", "cut", "cut", "cut", "cut", "cut"};
    for (const auto &value : values)
        sandbox.saved.push_back(SaveRegValue(HKEY_CURRENT_USER, RunKey, value.name.c_str())), RestoreRegValue(value);
    for (size_t v = 0; v < values.size(); ++v) {
        SCOPED_TRACE(values[v].name);
        CollectStartupEntries();
        int row = ValueRow(values[v].name, false);
        std::string listed = row < 0 ? "" : ReadStartupRow(row).path, text = values[v].data.c_str(), bare;
        std::remove_copy(text.begin(), text.end(), std::back_inserter(bare), '"');
        EXPECT_STREQ(row < 0 ? "skipped" : listed == text ? "whole" : listed == bare ? "unquoted"
                     : listed == bare.substr(0, 255) ? "cut" : "cut wrongly", outcomes[v]);
        if (row >= 0) {
            EXPECT_EQ(ToggleStartupEntryAt(row), 1);
            CollectStartupEntries();
            EXPECT_TRUE((row = ValueRow(values[v].name, true)) >= 0 && ToggleStartupEntryAt(row));
        }
        SavedRegValue now = SaveRegValue(HKEY_CURRENT_USER, RunKey, values[v].name.c_str());
        EXPECT_TRUE(now.data == values[v].data && now.type == values[v].type);
    }

    std::string folder = sandbox.Folder("startup", HKEY_CURRENT_USER, "Startup") + "\\", line;
    for (int i = 0; line.size() < 4000; ++i)
        line += "C:\\Hostile\\piece" + std::to_string(i) + ".exe;";
    WriteProfileStringA("windows", "run", (line = line.substr(0, 4000)).c_str());
    ASSERT_TRUE(CreateShortcutFile(folder + "good.tmp", FixturePath("startup_versioned.exe"), "Good"));
    std::string lnk = ReadFileBytes(folder + "good.tmp"), exe = ReadFileBytes(FixturePath("startup_versioned.exe"));
    std::string noise = exe.substr(exe.size() / 3, 4096);  // bytes of no format at all
    DeleteFileA((folder + "good.tmp").c_str());
    // Half of the fixture still holds its whole resource, which is read; the
    // last three resources lie about their sizes or exceed the reader's buffer.
    std::map<std::string, std::string> files = {
        {"empty.lnk", ""}, {"cut.lnk", lnk.substr(0, lnk.size() / 3)}, {"noise.lnk", noise}, {"header.lnk", lnk.substr(0, 76)},
        {"empty.exe", ""}, {"noise.exe", noise}, {"cut.exe", exe.substr(0, exe.size() / 2)}, {"header.exe", exe.substr(0, 1024)},
        {"translie.exe", ReadFileBytes(FixturePath("ver_translie.exe"))},
        {"size4096.exe", ReadFileBytes(FixturePath("ver_size4096.exe"))}, {"huge.exe", ReadFileBytes(FixturePath("ver_huge.exe"))}};
    for (const auto &f : files)
        WriteFileBytes(folder + f.first, f.second);
    // Every piece of the line is listed; so is every file, without details but for the half executable.
    std::string pieces;
    int last = -1, fileRows = 0, details = 0;
    for (int i = 0, count = CollectStartupEntries(); i < count; ++i) {
        StartupRow row = ReadStartupRow(i);
        pieces += row.source == SourceWinRun ? row.path + ";" : "";
        last = row.source == SourceWinRun ? i : last;
        fileRows += row.source == SourceStartupFolder, details += row.source == SourceStartupFolder && !row.title.empty();
    }
    EXPECT_EQ(pieces, line + ";");
    EXPECT_EQ(std::make_pair(fileRows, details), std::make_pair(11, 1));
    // A piece is taken out alone; the rest is written back with ";" after each.
    EXPECT_EQ(RemoveStartupEntryAt(last), 1);
    EXPECT_EQ(GetWinIniLine("run"), line = line.substr(0, line.rfind(';') + 1));

    auto name = [](int i) { return "Crowd" + std::to_string(1000 + i); };
    for (int i = 0; i < 1000; ++i) {
        std::string file = name(i) + (i % 2 ? ".pif" : ".exe");
        sandbox.Set(HKEY_CURRENT_USER, RunKey, name(i).c_str(), Command(40 + i % 200, i).c_str());
        WriteFileBytes(folder + file, files[file] = i % 3 ? "" : "MZ garbage");
    }
    EXPECT_EQ(CollectStartupEntries(), MaxEntries);
    std::string program = sandbox.Folder("program") + "\\Sentrovia.exe";
    ASSERT_TRUE(CopyFileA((TestDir() + "\\..\\Sentrovia.exe").c_str(), program.c_str(), FALSE));
    EXPECT_EQ(RunProgramToExit(program), 0);
    std::string run(1 << 20, '\0');
    run.resize(GetPrivateProfileSectionA("Run", &run[0], 1 << 20, (sandbox.scratch + "\\program\\Sentro.dat").c_str()));
    EXPECT_EQ(std::count(run.begin(), run.end(), '\0'), MaxEntries);
    int kept = 0;
    for (int i = 0; i < 1000; ++i)
        kept += GetRegString(HKEY_CURRENT_USER, RunKey, name(i).c_str()) == Command(40 + i % 200, i).c_str();
    for (const auto &f : files)
        kept += ReadFileBytes(folder + f.first) == f.second;
    EXPECT_EQ(kept, 1000 + 1011);
    EXPECT_EQ(GetWinIniLine("run"), line);
    CoUninitialize();
}

// Cookie files that are binary, empty, held open (and hidden) or read-only,
// and a folder of 10,000: listed (300 at most), viewed or refused, deleted
// only when asked and when they can be; a held one keeps its attributes.
// Then a data file with garbage, duplicate sections and keys, a 5 MB section
// and lines without "=": options read with their defaults where nothing
// sound is there, and writing the options keeps the other sections whole.
TEST(HostileFiles, CookieFilesAndDataFile)
{
    CookieSandbox box("hostile_cookies");
    const struct { const char *name; std::string bytes; DWORD attributes; bool readable, deleted; } files[] = {
        {"binary", {"\x01\x02\xff\xfe\0id=1\n", 10}, FILE_ATTRIBUTE_NORMAL, 1, 1}, {"empty", "", FILE_ATTRIBUTE_NORMAL, 0, 1},
        {"locked", "id=1\n", FILE_ATTRIBUTE_HIDDEN, 0, 0}, {"readonly", "id=1\n", FILE_ATTRIBUTE_READONLY, 1, 1}};
    std::string paths[4];
    for (int i = 0; i < 4; ++i)
        SetFileAttributesA((paths[i] = box.File(std::string("Cookies\\user@") + files[i].name + "[1].txt", files[i].bytes)).c_str(),
                           files[i].attributes);
    HANDLE holder = HoldFileOpen(paths[2]);
    box.SetNuts({"locked"});  // a nut cannot delete the held file either: it stays listed
    EXPECT_EQ(CollectCookieEntries(), 4);
    for (int i = 0; i < 4; ++i) {
        HGLOBAL text = ReadTextFile(paths[i].c_str(), 4096);
        EXPECT_EQ(text != nullptr, files[i].readable) << paths[i];
        GlobalFree(text);
        EXPECT_EQ(ForceDeleteFile(paths[i].c_str()), files[i].deleted) << paths[i];
        EXPECT_EQ(GetFileAttributesA(paths[i].c_str()) | FILE_ATTRIBUTE_ARCHIVE,
                  files[i].deleted ? INVALID_FILE_ATTRIBUTES : files[i].attributes | FILE_ATTRIBUTE_ARCHIVE);
    }
    EndChildProcess(holder);
    // The build makes the crowded folder: Wine scans a folder for every file it creates.
    box.SetNuts({});
    for (const char *key : {ShellFoldersKey, UserShellFoldersKey})
        SetRegString(HKEY_CURRENT_USER, key, "Cookies", (TestDir() + "\\crowd_cookies").c_str());
    EXPECT_EQ(CollectCookieEntries(), MaxEntries);
    int left = 0;
    for (int i = 0; i < 10000; ++i)
        left += PathExists(TestDir() + "\\crowd_cookies\\" + std::to_string(i));
    EXPECT_EQ(left, 10000);

    std::string big = "[Cookies]\r\n";
    for (int i = 0; big.size() < 5 * 1024 * 1024; ++i)
        big += "user@site" + std::to_string(i) + ".example[1].txt=1\r\n";
    ASSERT_TRUE(WriteFileBytes(DataFilePath, "\x01\xff garbage\r\nno equals\r\n=\r\n[\r\n]]]\r\n[Options]\r\nMinutes=7\r\n"
                               "Minutes=8\r\nSound\r\nStart=banana\r\n[Nuts]\r\ncount=999999\r\nNut1=tracker\r\nNut2\r\n"
                               "[Options]\r\nMinutes=9\r\nCookies=1\r\n" + big + "[Run]\r\nno equals\r\n"));
    // The first of duplicate sections and keys counts; no number reads as 0,
    // no "=" as the default; a huge nut count stops at the keys there are.
    EXPECT_EQ(std::vector<int>({LoadOptions(), Minutes, Start, Sound, Cookies, LoadNuts()}), std::vector<int>({1, 7, 0, 1, 0, 1}));
    // The watch cycle's look-ups answer as the profile functions do.
    ProfileSection kept, options;
    EXPECT_GT(LoadProfileSection(&kept, "Cookies"), 100000);
    EXPECT_EQ(ProfileSectionInt(&kept, "user@site99999.example[1].txt"), 1);
    LoadProfileSection(&options, "Options");
    EXPECT_EQ(ProfileSectionInt(&options, "Minutes"), 7);
    EXPECT_EQ(SaveOptions(), 1);
    std::string after = ReadFileBytes(DataFilePath);
    EXPECT_NE(after.find(big), std::string::npos);
    EXPECT_NE(after.find("Nut1=tracker"), std::string::npos);
}

// WHOIS servers that flood 1 MB (in lines of 64), stall until the client
// gives up, reset in mid-answer, or send nothing: each request ends by the
// idle limit, the page stays usable, and the list holds at most what arrived
// (a flood is cut at 32,767 bytes); with no answer the earlier list stays.
TEST(HostileNetwork, MisbehavingWhoisServers)
{
    WSADATA wsa;
    WSAStartup(MAKEWORD(1, 1), &wsa);
    WhoisIdleLimit = 500, WhoisRequestLimit = 20000;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    WhoisPort = ntohs(ListenOnLoopback(listener).sin_port);
    std::thread server([&] {
        std::string flood;
        while (flood.size() < (1 << 20))
            flood += std::string(63, 'w') + '\n';
        for (int manner = 0; manner < 4; ++manner) {
            SOCKET s = accept(listener, nullptr, nullptr);
            char request[256];
            linger hard = {1, 0};
            recv(s, request, sizeof(request), 0);
            if (manner == 0)
                send(s, flood.data(), (int)flood.size(), 0);
            for (int got = 1; manner == 1 && got > 0;)
                got = recv(s, request, sizeof(request), 0);
            if (manner == 2 && send(s, "Domain: half\r\nRegistrar: ", 25, 0) && SleepEx(100, FALSE) == 0)
                setsockopt(s, SOL_SOCKET, SO_LINGER, (const char *)&hard, sizeof(hard));
            closesocket(s);
        }
    });
    const LRESULT fewest[] = {100, 1, 2, 1}, most[] = {513, 1, 2, 1};
    EXPECT_TRUE(DriveSheet(nullptr, PageDomain, [&](HWND sheet) {
        HWND page = SheetCurrentPage(sheet);
        SetDlgItemTextA(page, IdDomainName, "example.com");
        SetDlgItemTextA(page, IdWhoisServer, "127.0.0.1");
        for (int manner = 0; manner < 4; ++manner) {
            SendDlgItemMessageA(page, IdWhoisResults, LB_RESETCONTENT, 0, 0);
            SendDlgItemMessageA(page, IdWhoisResults, LB_ADDSTRING, 0, (LPARAM) "old");
            DWORD start = GetTickCount();
            EXPECT_EQ(WhoisQuery(page), 1);
            EXPECT_LT(GetTickCount() - start, 8000u) << manner;  // the stall ends at the idle limit
            LRESULT lines = SendDlgItemMessageA(page, IdWhoisResults, LB_GETCOUNT, 0, 0);
            EXPECT_TRUE(lines >= fewest[manner] && lines <= most[manner]) << manner << ": " << lines;
            EXPECT_TRUE(WindowText(GetDlgItem(page, IdWhoisStatus)) == "Done" && IsWindowEnabled(GetDlgItem(page, IdWhoisFind)));
        }
    }));
    server.join();
    closesocket(listener);
    WhoisPort = 43, WhoisIdleLimit = 20000, WhoisRequestLimit = 60000;
    WSACleanup();
}

// The 64-bit program of the release package, unpacked by scripts/test-dist,
// which names it in SENTROVIA_DIST_PROGRAM: it starts and ends by Exit.
TEST(DistPackage, UnpackedProgramStartsAndExits)
{
    char program[PathSize] = "";
    if (!GetEnvironmentVariableA("SENTROVIA_DIST_PROGRAM", program, sizeof(program)))
        GTEST_SKIP() << "run by scripts/test-dist";
    EXPECT_EQ(RunProgramToExit(program), 0);
    EXPECT_TRUE(PathExists(std::string(program, FileNamePart(program)) + "Sentro.dat"));
}
