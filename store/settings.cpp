// The data file beside the executable, the option variables, and the small
// registry operations every subsystem uses.
#include "store/store.h"
#include "resource.h"

#include <string.h>

int Minutes = 0, Start = 0, Cookies = 0, Sound = 1, WinInit = 1;
int AutorunFlag = 0;
char DataFilePath[TextSize];

int DataFileInFolder(const char *folder, char *buffer)
{
    buffer[0] = '\0';
    char name[SmallTextSize];
    if (!LoadText(IDS_DATAFILE, name, sizeof(name)))
        return 0;
    char path[TextSize];
    int used = CopyText(path, sizeof(path), folder);
    // A program in a drive's root leaves "C:" once its file name is cut off;
    // the backslash has to come back before the data file's name.
    if (used == 0 || path[used - 1] != '\\')
        AppendText(path, sizeof(path), "\\");
    AppendText(path, sizeof(path), name);
    return CopyText(buffer, TextSize, path);
}

int LocateDataFile(char *buffer)
{
    char folder[TextSize] = "";
    DWORD length = GetModuleFileNameA(nullptr, folder, 481);
    // A path that filled the whole 481 bytes was cut: no folder is known.
    if (length == 0 || length > 480)
        length = 0;
    folder[length] = '\0';
    char *slash = strrchr(folder, '\\');
    if (slash)
        *slash = '\0';

    int pathLength = DataFileInFolder(folder, buffer);
    CopyText(DataFilePath, sizeof(DataFilePath), buffer);
    if (pathLength == 0)
        return 0;
    return FileExists(buffer) ? pathLength : 0;
}

void LoadOptions()
{
    Minutes = GetPrivateProfileIntA("Options", "Minutes", 3, DataFilePath);
    Start = GetPrivateProfileIntA("Options", "Start", 1, DataFilePath);
    Cookies = GetPrivateProfileIntA("Options", "Cookies", 0, DataFilePath);
    Sound = GetPrivateProfileIntA("Options", "Sound", 1, DataFilePath);
    WinInit = GetPrivateProfileIntA("Options", "WinInit", 1, DataFilePath);
    char value[TextSize];
    AutorunFlag = RegReadString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, value) != 0;
}

void SaveOptions()
{
    const struct { const char *key; int value; } options[] = {
        {"Minutes", Minutes}, {"Start", Start}, {"Cookies", Cookies},
        {"Sound", Sound}, {"WinInit", WinInit},
    };
    for (const auto &option : options) {
        char text[16];
        FormatText(text, sizeof(text), "%d", option.value);
        WritePrivateProfileStringA("Options", option.key, text, DataFilePath);
    }
}

int MakeRunKey(const char *text, char *buffer)
{
    int length = CopyText(buffer, 516, text);
    for (int i = 0; i < length; ++i)
        if (buffer[i] == '=')
            buffer[i] = ':';
    return length;
}

int RegReadString(HKEY root, const char *subkey, const char *name, char *buffer)
{
    buffer[0] = '\0';
    RegKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, key.out()) != ERROR_SUCCESS)
        return 0;
    // One byte more than the value may fill, so that a value stored without
    // its terminating zero still reads as a text.
    char value[TextSize + 1] = "";
    DWORD type = 0;
    DWORD size = TextSize;
    if (RegQueryValueExA(key, name, nullptr, &type, (BYTE *)value, &size) != ERROR_SUCCESS)
        return 0;
    value[size < (DWORD)TextSize ? size : (DWORD)TextSize] = 0;
    if (type == REG_EXPAND_SZ) {
        char expanded[TextSize];
        DWORD n = ExpandEnvironmentStringsA(value, expanded, sizeof(expanded));
        if (n == 0 || n > sizeof(expanded))
            return 0;
        return CopyText(buffer, TextSize, expanded);
    }
    return CopyText(buffer, TextSize, value);
}

int RegCreateKeyPath(HKEY root, const char *subkey)
{
    RegKey key;
    return RegCreateKeyA(root, subkey, key.out()) == ERROR_SUCCESS;
}

int RegDeleteValueName(HKEY root, const char *subkey, const char *name)
{
    RegKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_WRITE, key.out()) != ERROR_SUCCESS)
        return 0;
    return RegDeleteValueA(key, name) == ERROR_SUCCESS;
}

int RegWriteString(HKEY root, const char *subkey, const char *name, const char *text)
{
    if (!text)
        text = "";
    RegKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_WRITE, key.out()) != ERROR_SUCCESS)
        return 0;
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1) ==
           ERROR_SUCCESS;
}
