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

// Runs a program's first start to its end: its sheet is closed, any other
// dialog is a failure and is cancelled, and after a quiet second Exit is
// chosen. The exit code; -1 when no sheet came or it did not end in time.
static int RunProgramToExit(const std::string &program)
{
    DWORD id = 0, code = 1;
    HANDLE process = StartChildProcess(program, "", &id);
    int dialogs = 0, quiet = 0;
    for (int tick = 0; process && tick < 1200 && WaitForSingleObject(process, 100) == WAIT_TIMEOUT; ++tick) {
        for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", nullptr));) {
            DWORD owner = 0;
            if (GetWindowThreadProcessId(window, &owner) && owner == id && IsWindowVisible(window)) {
                EXPECT_TRUE(FindWindowExA(window, nullptr, "SysTabControl32", nullptr)) << "a dialog: " << WindowText(window);
                dialogs += 1, quiet = 0;
                PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            }
        }
        if (dialogs && ++quiet == 10)
            PostMessageA(FindWindowA("Sentrovia", nullptr), WM_COMMAND, IDM_EXIT, 0);
    }
    bool ended = dialogs && WaitForSingleObject(process, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    EndChildProcess(process);
    return ended ? (int)code : -1;
}

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
    StartupSandbox sandbox("hostile_startup");
    // A command of `length` characters and its zero.
    auto Command = [](size_t length, int seed = 0) {
        std::string text = "C:\\Hostile\\p" + std::to_string(seed) + ".exe /";
        return text + std::string(length - text.size(), 'x') + '\0';
    };
    // Each is listed (quotes taken out, cut to 255 characters) or skipped.
    const struct { std::string name, data; bool listed; DWORD type = REG_SZ; } cases[] = {
        {"HostileDword", "ABCD", 0, REG_DWORD}, {"HostileBinary", {"C:\\bin.exe\0\x01\xff\xfe", 14}, 1, REG_BINARY},
        {"HostileMulti", {"C:\\one.exe\0C:\\two.exe\0\0", 23}, 1, REG_MULTI_SZ},
        {"HostileExpand", {"%WINDIR%\\exp.exe -x\0", 20}, 1, REG_EXPAND_SZ}, {"\xe4Hostile\xff", Command(30), 0},
        {"Hostile\x80\xfe", Command(30), 1}, {"Hostile\x01\x1b[2J\t\r\n", Command(30), 1}, {"", Command(30), 0},
        {"Hostile<script>", {"C:\\<b>x</b>.exe \"&amp;\"\0", 24}, 1}, {"Long255", Command(255), 1}, {"Long256", Command(256), 1},
        {"Long511", Command(511), 1}, {"Long512", Command(512), 1}, {"Long600", Command(600), 1}, {"Long65536", Command(65535), 1}};
    for (const auto &c : cases) {
        sandbox.saved.push_back(SaveRegValue(HKEY_CURRENT_USER, RunKeyPath, c.name.c_str()));
        RestoreRegValue({HKEY_CURRENT_USER, RunKeyPath, c.name, c.data, c.type, true});
        std::string text = c.data.c_str(), shown;
        std::remove_copy(text.begin(), text.end(), std::back_inserter(shown), '"');
        CollectStartupEntries();
        int row = FindStartupRow(c.name, shown = shown.substr(0, 255));
        EXPECT_EQ(row >= 0, c.listed) << c.name;
        if (row >= 0) {
            EXPECT_EQ(ToggleStartupEntryAt(row), 1) << c.name;
            CollectStartupEntries();
            EXPECT_EQ(ToggleStartupEntryAt(FindStartupRow(c.name, shown)), 1) << c.name;
        }
        SavedRegValue now = SaveRegValue(HKEY_CURRENT_USER, RunKeyPath, c.name.c_str());
        EXPECT_TRUE(now.data == c.data && now.type == c.type) << c.name;
    }

    std::string folder = sandbox.Folder("startup", HKEY_CURRENT_USER, "Startup") + "\\", line;
    for (int i = 0; line.size() < 4000; ++i)
        line += "C:\\Hostile\\piece" + std::to_string(i) + ".exe;";
    WriteProfileStringA("windows", "run", (line = line.substr(0, 4000)).c_str());
    ASSERT_TRUE(CreateShortcutFile(folder + "good.lnk", FixturePath("startup_versioned.exe"), "Good"));
    std::string lnk = ReadFileBytes(folder + "good.lnk"), exe = ReadFileBytes(FixturePath("startup_versioned.exe"));
    // Noise is bytes of no format at all. Half of the fixture still holds its whole
    // resource, which is read; the last three lie about their sizes or exceed the reader's buffer.
    std::map<std::string, std::string> files = {
        {"empty.lnk", ""}, {"cut.lnk", lnk.substr(0, lnk.size() / 3)}, {"header.lnk", lnk.substr(0, 76)},
        {"noise.lnk", exe.substr(exe.size() / 3, 4096)}, {"noise.exe", exe.substr(exe.size() / 3, 4096)},
        {"empty.exe", ""}, {"cut.exe", exe.substr(0, exe.size() / 2)}, {"header.exe", exe.substr(0, 1024)},
        {"translie.exe", ReadFileBytes(FixturePath("ver_translie.exe"))},
        {"size4096.exe", ReadFileBytes(FixturePath("ver_size4096.exe"))}, {"huge.exe", ReadFileBytes(FixturePath("ver_huge.exe"))}};
    for (const auto &f : files)
        WriteFileBytes(folder + f.first, f.second);
    // Every piece of the line is listed; so is every file, without details but for the good
    // shortcut (a third of it, a broken one, must not reach its target) and the half executable.
    std::string pieces;
    int last = -1, fileRows = 0, details = 0;
    for (int i = 0, count = CollectStartupEntries(); i < count; ++i) {
        StartupRow row = ReadStartupRow(i);
        pieces += row.source == SourceWinRun ? row.path + ";" : "";
        last = row.source == SourceWinRun ? i : last;
        fileRows += row.source == SourceStartupFolder, details += row.source == SourceStartupFolder && !row.title.empty();
    }
    EXPECT_EQ(pieces, line + ";");
    EXPECT_EQ(std::make_pair(fileRows, details), std::make_pair(12, 2));
    // A piece is taken out alone; the rest is written back with ";" after each.
    EXPECT_EQ(RemoveStartupEntryAt(last), 1);
    EXPECT_EQ(GetWinIniLine("run"), line = line.substr(0, line.rfind(';') + 1));

    for (int i = 0; i < 1000; ++i) {
        std::string name = "Crowd" + std::to_string(i), file = name + (i % 2 ? ".pif" : ".exe");
        sandbox.Set(HKEY_CURRENT_USER, RunKeyPath, name.c_str(), Command(40 + i % 200, i).c_str());
        WriteFileBytes(folder + file, files[file] = i % 3 ? "" : "MZ garbage");
    }
    EXPECT_EQ(CollectStartupEntries(), MaxEntries);
    std::string program = sandbox.Folder("program") + "\\Sentrovia.exe";
    ASSERT_TRUE(CopyFileA((TestDir() + "\\..\\Sentrovia.exe").c_str(), program.c_str(), FALSE));
    EXPECT_EQ(RunProgramToExit(program), 0);
    std::string run(1 << 20, '\0');
    DWORD length = GetPrivateProfileSectionA("Run", &run[0], 1 << 20, (sandbox.scratch + "\\program\\Sentro.dat").c_str());
    EXPECT_EQ(std::count(run.begin(), run.begin() + length, '\0'), MaxEntries);
    int kept = 0;
    for (int i = 0; i < 1000; ++i)
        kept += GetRegString(HKEY_CURRENT_USER, RunKeyPath, ("Crowd" + std::to_string(i)).c_str()) == Command(40 + i % 200, i).c_str();
    for (const auto &f : files)
        kept += ReadFileBytes(folder + f.first) == f.second;
    EXPECT_EQ(kept, 1000 + 1011);
    EXPECT_EQ(GetWinIniLine("run"), line);
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
        EXPECT_EQ(GlobalBlock(ReadTextFile(paths[i].c_str(), 4096)).block != nullptr, files[i].readable) << paths[i];
        EXPECT_EQ(ForceDeleteFile(paths[i].c_str()), files[i].deleted) << paths[i];
        EXPECT_EQ(GetFileAttributesA(paths[i].c_str()) | FILE_ATTRIBUTE_ARCHIVE,
                  files[i].deleted ? INVALID_FILE_ATTRIBUTES : files[i].attributes | FILE_ATTRIBUTE_ARCHIVE);
    }
    EndChildProcess(holder);
    // The build makes the crowded folder: Wine scans a folder for every file it creates.
    PointShellFolder(HKEY_CURRENT_USER, "Cookies", TestDir() + "\\crowd_cookies");
    EXPECT_EQ(CollectCookieEntries(), MaxEntries);
    for (int i = 0; i < 10000; ++i)
        ASSERT_TRUE(PathExists(TestDir() + "\\crowd_cookies\\" + std::to_string(i))) << i;

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
    EXPECT_TRUE(after.find(big) != std::string::npos && after.find("Nut1=tracker") != std::string::npos);
}

// WHOIS servers that flood 1 MB (in lines of 64), stall until the client
// gives up, reset in mid-answer, or send nothing: each request ends by the
// idle limit, the page stays usable, and the list holds at most what arrived
// (a flood is cut at 32,767 bytes); with no answer the earlier list stays.
TEST(HostileNetwork, MisbehavingWhoisServers)
{
    WhoisIdleLimit = 500, WhoisRequestLimit = 20000;
    const LRESULT fewest[] = {100, 1, 2, 1}, most[] = {513, 1, 2, 1};
    // The page starts Windows Sockets: the server is set up inside it.
    EXPECT_TRUE(DriveSheet(nullptr, PageDomain, [&](HWND sheet) {
        SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
        WhoisPort = ntohs(ListenOnLoopback(listener).sin_port);
        std::thread server([&] {
            const std::string line = std::string(63, 'w') + '\n';
            for (int manner = 0; manner < 4; ++manner) {
                SOCKET s = accept(listener, nullptr, nullptr);
                char request[256];
                linger hard = {1, 0};
                recv(s, request, sizeof(request), 0);
                for (int k = 0; manner == 0 && k < 16384; ++k)
                    send(s, line.data(), 64, 0);
                for (int got = 1; manner == 1 && got > 0;)
                    got = recv(s, request, sizeof(request), 0);
                if (manner == 2 && send(s, "Domain: half\r\nRegistrar: ", 25, 0) && SleepEx(100, FALSE) == 0)
                    setsockopt(s, SOL_SOCKET, SO_LINGER, (const char *)&hard, sizeof(hard));
                closesocket(s);
            }
        });
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
        server.join();
        closesocket(listener);
    }));
    WhoisPort = 43, WhoisIdleLimit = 20000, WhoisRequestLimit = 60000;
}

// The 64-bit program of the release package, unpacked by scripts/test-dist,
// which names it in SENTROVIA_DIST_PROGRAM: it starts and ends by Exit.
TEST(DistPackage, UnpackedProgramStartsAndExits)
{
    char program[PathSize] = "";
    if (!GetEnvironmentVariableA("SENTROVIA_DIST_PROGRAM", program, sizeof(program)))
        GTEST_SKIP() << "run by scripts/test-dist";
    EXPECT_EQ(RunProgramToExit(program), 0);
}
