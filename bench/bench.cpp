// On-demand timings of the work the watch cycle and the pages repeat, each
// beside its floor measured in the same run: the bare system calls that the
// same work cannot do without (walking the same files, enumerating the same
// registry values). Prints one table; not a test, numbers for a person.
#include "cookies/cookies.h"
#include "info/info.h"
#include "resource.h"
#include "startup/sources.h"
#include "startup/startup.h"
#include "store/store.h"
#include "watch/watch.h"

#include <initializer_list>
#include <objbase.h>
#include <stdio.h>

namespace {

const char ShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char BenchRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const int CookieFiles = 5000, NutCount = 50, RunValues = 300, Rounds = 5;
const char *const SubFolders[] = {"", "\\sites", "\\sites\\more"};

double NowMs()
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return 1000.0 * (double)now.QuadPart / (double)frequency.QuadPart;
}

// One run of some work, kept when it is the best so far: the least
// disturbed run counts. Rounds take turns, so a busy moment hits both sides.
template <typename Work> void KeepBest(double *best, Work work)
{
    double from = NowMs();
    work();
    double ms = NowMs() - from;
    if (ms < *best)
        *best = ms;
}

struct Row {
    const char *name;
    const char *floorName;
    double ms, floorMs;
};

// The floor of a folder walk: every file of the folder and its subfolders,
// with its attributes.
int BareWalk(const char *folder)
{
    char pattern[MAX_PATH];
    FormatText(pattern, sizeof(pattern), "%s\\*.*", folder);
    WIN32_FIND_DATAA find;
    FindHandle search(FindFirstFileA(pattern, &find));
    if (!search.valid())
        return 0;
    int files = 0;
    do {
        if (find.cFileName[0] == '.')
            continue;
        char path[MAX_PATH];
        FormatText(path, sizeof(path), "%s\\%s", folder, find.cFileName);
        if (find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            files += BareWalk(path);
        else if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
            ++files;
    } while (FindNextFileA(search.handle, &find));
    return files;
}

int EnumerateValues(HKEY root, const char *path, REGSAM view = 0)
{
    RegKey key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ | view, key.out()) != ERROR_SUCCESS)
        return 0;
    char value[TextSize];
    BYTE data[TextSize];
    int values = 0;
    for (DWORD i = 0;; ++i) {
        DWORD valueSize = sizeof(value), dataSize = sizeof(data), type = 0;
        if (RegEnumValueA(key, i, value, &valueSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
            return values;
        // Every command is asked for as a file once: its short name, if it
        // is one, is listed long.
        char command[TextSize];
        data[dataSize < sizeof(data) ? dataSize : sizeof(data) - 1] = 0;
        StripQuotes(command, sizeof(command), (const char *)data);
        GetFileAttributesA(command);
        ++values;
    }
}

// The floor of a collection: the same sources read plainly. The values of
// every Run-family, Policies and parking key with their data (the machine's
// in both registry views) and each command asked for as a file, the two
// Winlogon values, the two WIN.INI lines, and a walk of every Startup folder
// and of the Disabled folder.
int BareStartupSources()
{
    const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS};
    const REGSAM other = OtherRegistryView();
    int values = 0;
    for (HKEY root : roots) {
        for (const char *name : RunKeyNames) {
            char path[TextSize];
            FormatText(path, sizeof(path), "%s\\%s", CurrentVersionPath, name);
            values += EnumerateValues(root, path);
            if (root == HKEY_LOCAL_MACHINE && other)
                values += EnumerateValues(root, path, other);
        }
        if (root != HKEY_USERS)
            values += EnumerateValues(root, PoliciesRunPath);
        if (root == HKEY_LOCAL_MACHINE && other)
            values += EnumerateValues(root, PoliciesRunPath, other);
        for (const char *name : {"Startup", "Common Startup"}) {
            char folder[TextSize];
            if (RegReadString(root, ShellFoldersPath, name, folder))
                values += BareWalk(folder);
        }
    }
    for (int i = 0; i < ParkingKeyCount; ++i) {
        char path[TextSize];
        ParkingKeyPath(i, path, sizeof(path));
        values += EnumerateValues(HKEY_LOCAL_MACHINE, path);
    }
    for (REGSAM view : {(REGSAM)0, other}) {
        for (const char *name : {"Shell", "Userinit"}) {
            char text[TextSize];
            DWORD size = sizeof(text);
            RegKey key;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, WinlogonPath, 0, KEY_READ | view, key.out()) ==
                    ERROR_SUCCESS &&
                RegQueryValueExA(key, name, nullptr, nullptr, (BYTE *)text, &size) == ERROR_SUCCESS)
                ++values;
        }
        if (!other)
            break;
    }
    char line[TextSize], folder[TextSize];
    GetProfileStringA("windows", "run", "", line, sizeof(line));
    GetProfileStringA("windows", "load", "", line, sizeof(line));
    if (DisabledFolder(folder, sizeof(folder)))
        values += BareWalk(folder);
    return values;
}

// The floor of the report: the same values, the attributes of each listed
// program file, and one file of the report's size written.
void BareReport(const char *fileName, DWORD bytes)
{
    BareStartupSources();
    for (int i = 0; i < EntryCount; ++i) {
        char path[PathSize];
        GetEntryPath(i, path);
        GetFileAttributesA(path);
    }
    static char text[1 << 20];
    FileHandle file(CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    WriteFile(file.handle, text, bytes < sizeof(text) ? bytes : sizeof(text), &written, nullptr);
}

void CookiePath(char *path, const char *root, int i)
{
    FormatText(path, MAX_PATH, "%s%s\\user@site%04d.example[1].txt", root, SubFolders[i % 3], i);
}

void MakeCookies(const char *root, bool make)
{
    for (int i = 0; make && i < 3; ++i) {
        char folder[MAX_PATH];
        FormatText(folder, sizeof(folder), "%s%s", root, SubFolders[i]);
        CreateDirectoryA(folder, nullptr);
    }
    for (int i = 0; i < CookieFiles; ++i) {
        char path[MAX_PATH];
        CookiePath(path, root, i);
        if (!make) {
            DeleteFileA(path);
            continue;
        }
        FileHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        WriteFile(file.handle, "id=1\n", 5, &written, nullptr);
    }
    for (int i = 2; !make && i >= 0; --i) {
        char folder[MAX_PATH];
        FormatText(folder, sizeof(folder), "%s%s", root, SubFolders[i]);
        RemoveDirectoryA(folder);
    }
}

// 300 Run values under the current user; every tenth names a program that
// exists and carries a version resource (this one), the rest programs that
// do not, as a crowded machine has both.
void SetRunValues(const char *self, bool set)
{
    RegKey key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, BenchRunKey, key.out()) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < RunValues; ++i) {
        char name[32], data[TextSize];
        FormatText(name, sizeof(name), "BenchEntry%03d", i);
        if (i % 10 == 0)
            FormatText(data, sizeof(data), "\"%s\" /quiet%d", self, i);
        else
            FormatText(data, sizeof(data), "C:\\bench\\program%03d.exe /quiet", i);
        if (set)
            RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)data, (DWORD)lstrlenA(data) + 1);
        else
            RegDeleteValueA(key, name);
    }
}

// The steady state of the watch cycle: every startup entry approved, the
// cookie files that the table holds kept (5,000 keep marks in all), the start
// page remembered, so that a cycle asks nothing.
void SettleWatchState(const char *root)
{
    Start = 1, Cookies = 1, WinInit = 1, Sound = 0;
    CollectStartupEntries();
    for (int i = 0; i < EntryCount; ++i) {
        char key[TextSize + 4], value[16];
        MakeEntryRunKey(i, key);
        FormatText(value, sizeof(value), "%d", (int)GetEntrySource(i));
        WritePrivateProfileStringA("Run", key, value, DataFilePath);
    }
    static char section[CookieFiles * 48 + 2];
    size_t used = 0;
    for (int i = 0; i < CookieFiles; ++i) {
        char path[MAX_PATH];
        CookiePath(path, root, i);
        used += (size_t)FormatText(section + used, sizeof(section) - used, "%s=1", path + FileNamePart(path)) + 1;
    }
    section[used] = '\0';
    WritePrivateProfileSectionA("Cookies", section, DataFilePath);
    WatchCycle();  // remembers the start page
}

} // namespace

int main()
{
    AppInstance = GetModuleHandleA(nullptr);
    LoadText(IDS_APPTITLE, AppTitle, sizeof(AppTitle));
    CoInitialize(nullptr);
    char dataFile[TextSize];
    LocateDataFile(dataFile);
    char self[PathSize];
    GetModuleFileNameA(nullptr, self, sizeof(self));

    // The data file and the cookie folder value are put back at the end.
    char savedData[TextSize];
    FormatText(savedData, sizeof(savedData), "%s.bench", DataFilePath);
    int hadData = CopyFileA(DataFilePath, savedData, FALSE);
    char savedFolder[TextSize];
    int hadFolder = RegReadString(HKEY_CURRENT_USER, ShellFolders, "Cookies", savedFolder);

    char root[MAX_PATH];
    GetCurrentDirectoryA(sizeof(root), root);
    AppendText(root, sizeof(root), "\\bench-cookies");
    MakeCookies(root, true);
    RegCreateKeyPath(HKEY_CURRENT_USER, ShellFolders);
    RegWriteString(HKEY_CURRENT_USER, ShellFolders, "Cookies", root);
    // Fifty nuts that match none of the files: every file is tried against each.
    WritePrivateProfileStringA("Nuts", nullptr, nullptr, DataFilePath);
    for (int i = 1; i <= NutCount; ++i) {
        char key[16], nut[32];
        FormatText(key, sizeof(key), "Nut%d", i);
        FormatText(nut, sizeof(nut), "tracker%02d.net", i);
        WritePrivateProfileStringA("Nuts", key, nut, DataFilePath);
    }
    WritePrivateProfileStringA("Nuts", "count", "50", DataFilePath);
    SetRunValues(self, true);

    Row cookies{"cookie enumeration (5,000 files, 50 nuts)", "folder walk + attributes", 1e30, 1e30};
    Row startup{"startup collection (300 entries)", "sources, file query each", 1e30, 1e30};
    Row report{"full HTML report (300 entries)", "values, attributes, file write", 1e30, 1e30};
    Row watch{"watch cycle (300 entries, 5,000 kept, 50 nuts)", "sources + cookie walk", 1e30, 1e30};
    SettleWatchState(root);
    int walked = 0, listed = 0, values = 0, entries = 0;
    for (int round = 0; round < Rounds; ++round) {
        KeepBest(&cookies.floorMs, [&] { walked = BareWalk(root); });
        KeepBest(&cookies.ms, [&] { listed = CollectCookieEntries(); });
        KeepBest(&startup.floorMs, [&] { values = BareStartupSources(); });
        KeepBest(&startup.ms, [&] { entries = CollectStartupEntries(); });
        KeepBest(&report.ms, [&] { WriteFullReportFile(ReportStartup, "bench-report.html"); });
        WIN32_FILE_ATTRIBUTE_DATA size = {};
        GetFileAttributesExA("bench-report.html", GetFileExInfoStandard, &size);
        CollectStartupEntries();
        KeepBest(&report.floorMs, [&] { BareReport("bench-floor.html", size.nFileSizeLow); });
        KeepBest(&watch.floorMs, [&] { BareStartupSources(), BareWalk(root); });
        KeepBest(&watch.ms, [&] { WatchCycle(); });
    }

    printf("Sentrovia benchmarks, best of %d rounds (%d cookie files, %d listed; %d Run-family values, "
           "%d entries)\n\n", Rounds, walked, listed, values, entries);
    printf("| %-46s | %8s | %-30s | %8s | %5s |\n", "work", "time ms", "floor", "floor ms", "ratio");
    printf("|------------------------------------------------|----------|--------------------------------|"
           "----------|-------|\n");
    for (const Row *row : {&cookies, &startup, &report, &watch})
        printf("| %-46s | %8.1f | %-30s | %8.1f | %5.2f |\n", row->name, row->ms, row->floorName,
               row->floorMs, row->ms / row->floorMs);
    printf("\nTarget: every ratio at most 2.\n");

    ClearEntries();
    SetRunValues(self, false);
    DeleteFileA("bench-report.html");
    DeleteFileA("bench-floor.html");
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, DataFilePath);
    DeleteFileA(DataFilePath);
    if (hadData) {
        CopyFileA(savedData, DataFilePath, FALSE);
        DeleteFileA(savedData);
    }
    if (hadFolder)
        RegWriteString(HKEY_CURRENT_USER, ShellFolders, "Cookies", savedFolder);
    else
        RegDeleteValueName(HKEY_CURRENT_USER, ShellFolders, "Cookies");
    MakeCookies(root, false);
    CoUninitialize();
    return 0;
}
