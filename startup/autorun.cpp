// The program's own autorun value: the Run value named after the program
// that starts it with Windows.
#include "startup/sources.h"
#include "startup/startup.h"
#include "store/store.h"

#include <string.h>

namespace {

// The command the Run value holds: the executable's path in double quotes.
// Bare, a path with blanks such as C:\Program Files\Sentrovia\Sentrovia.exe
// would make Windows try C:\Program.exe first.
int AutorunCommand(const char *path, char *buffer, size_t size)
{
    if (strlen(path) + 2 >= size)
        return 0;
    return FormatText(buffer, size, "\"%s\"", path);
}

} // namespace

int SetAutorun(int on)
{
    char path[TextSize];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return 0;
    path[length] = '\0';
    if (on) {
        char command[TextSize];
        if (!AutorunCommand(path, command, sizeof(command)))
            return 0;
        RegCreateKeyPath(HKEY_LOCAL_MACHINE, RunKeyPath);
        if (!RegWriteString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, command))
            return 0;
        // A parked copy left from an earlier Disable would now mark the
        // running entry as disabled; the user has just asked for it on.
        if (IsParkedCopy(AppTitle, path, "", SourceMachineRun)) {
            char parking[PathSize];
            ParkingKeyOfSource(SourceMachineRun, parking, sizeof(parking));
            RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, AppTitle);
            RegDeleteValueName(HKEY_LOCAL_MACHINE, DisabledKeyPath, AppTitle);
        }
        AutorunFlag = 1;
        return 1;
    }
    // The program's own value is known by its name, which is what the tray's
    // mark and the Options box show as on, whatever folder it names: a parked
    // copy beside it leaves no doubt which one goes. Only when there is no
    // live value does the parked copy go, with its marker.
    int removed = 0;
    if (ValueExists(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle)) {
        removed = RegDeleteValueName(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
    } else if (IsParkedCopy(AppTitle, path, "", SourceMachineRun)) {
        char parking[PathSize];
        ParkingKeyOfSource(SourceMachineRun, parking, sizeof(parking));
        removed = RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, AppTitle) &&
                  RegDeleteValueName(HKEY_LOCAL_MACHINE, DisabledKeyPath, AppTitle);
    }
    AutorunFlag = ReadAutorunValue() != 0;
    return removed && !AutorunFlag;
}
