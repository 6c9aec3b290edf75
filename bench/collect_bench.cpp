// On-demand timings of the work a watch cycle and the pages repeat: startup
// collection over a crowded Run key, version reads, and the process walk.
// Not a test: it prints numbers for a person to compare between builds.
#include "info/info.h"
#include "resource.h"
#include "startup/startup.h"
#include "store/store.h"
#include "tasks/tasks.h"

#include <objbase.h>
#include <stdio.h>

namespace {

const char BenchRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)(to.QuadPart - from.QuadPart) / (double)frequency.QuadPart;
}

template <typename Work> void Time(const char *name, int rounds, Work work)
{
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    for (int i = 0; i < rounds; ++i)
        work();
    QueryPerformanceCounter(&to);
    printf("%-40s %8.3f ms per round (%d rounds)\n", name, 1000.0 * Seconds(from, to) / rounds, rounds);
}

} // namespace

int main()
{
    AppInstance = GetModuleHandleA(nullptr);
    LoadText(IDS_APPTITLE, AppTitle, sizeof(AppTitle));
    CoInitialize(nullptr);
    char dataFile[TextSize];
    LocateDataFile(dataFile);

    // A crowded Run key under the current user, removed again at the end.
    const int values = 250;
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, BenchRunKey, &key) == ERROR_SUCCESS) {
        for (int i = 0; i < values; ++i) {
            char name[32], data[64];
            FormatText(name, sizeof(name), "BenchEntry%03d", i);
            FormatText(data, sizeof(data), "C:\\bench\\program%03d.exe /quiet", i);
            RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)data, (DWORD)lstrlenA(data) + 1);
        }
        RegCloseKey(key);
    }

    Time("CollectStartupEntries (250 Run values)", 20, [] { CollectStartupEntries(); });
    char self[PathSize];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    Time("ReadVersionInfo (own executable)", 500, [&] {
        VersionInfo info;
        ReadVersionInfo(self, &info);
    });
    Time("CollectTaskEntries", 20, [] { CollectTaskEntries(); });
    ClearEntries();

    if (RegOpenKeyExA(HKEY_CURRENT_USER, BenchRunKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        for (int i = 0; i < values; ++i) {
            char name[32];
            FormatText(name, sizeof(name), "BenchEntry%03d", i);
            RegDeleteValueA(key, name);
        }
        RegCloseKey(key);
    }
    CoUninitialize();
    return 0;
}
