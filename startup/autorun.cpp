// The program's own autorun value: the Run value named after the program
// that starts it with Windows.
#include "startup/sources.h"
#include "startup/startup.h"
#include "store/store.h"

int SetAutorun(int on)
{
    char path[TextSize];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return 0;
    path[length] = '\0';
    if (on) {
        RegCreateKeyPath(HKEY_LOCAL_MACHINE, RunKeyPath);
        if (!RegWriteString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, path))
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
    int result = RemoveStartupEntry(AppTitle, path, "", SourceMachineRun);
    if (result)
        AutorunFlag = 0;
    return result;
}
