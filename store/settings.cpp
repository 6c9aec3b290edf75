// The data file beside the executable, the option variables, and the small
// registry operations every subsystem uses.
#include "store/store.h"
#include "resource.h"

#include <string.h>

int Minutes = 0, Start = 0, Cookies = 0, Sound = 1, WinInit = 1;
int AutorunFlag = 0;
char DataFilePath[TextSize];
int DataFileUnusable = 0;
int OptionsFromFile = 0;

namespace {

// What lies at the data file's path: 1 a file, 0 nothing, -1 something the
// program cannot use as its data file.
int ProbeDataFile(const char *path)
{
    // The profile functions take no path of MAX_PATH characters or more:
    // such a file could be neither read nor written.
    if (strlen(path) >= MAX_PATH)
        return -1;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? -1 : 1;
    // Only a file known to be missing makes a first start; one that cannot
    // be looked at may well be there.
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : -1;
}

// Opens the data file for reading as the profile functions do, so that a
// file another program holds without sharing is told from one that is not
// there: the profile functions give the defaults for both. A missing file
// gives an empty handle and 1; a file that cannot be read gives 0.
int OpenDataFileForReading(FileHandle &file)
{
    file.handle = CreateFileA(DataFilePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file.valid())
        return 1;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

} // namespace

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

int SelectDataFile(const char *path)
{
    int length = CopyText(DataFilePath, sizeof(DataFilePath), path);
    int found = length ? ProbeDataFile(DataFilePath) : -1;
    DataFileUnusable = found < 0;
    return found > 0 ? length : 0;
}

int LocateDataFile(char *buffer)
{
    char folder[TextSize] = "";
    DWORD length = GetModuleFileNameA(nullptr, folder, 481);
    // A path cut at 480 characters still names a folder far too long for a
    // data file, which is what the user is then told.
    if (length > 480)
        length = 480;
    folder[length] = '\0';
    char *slash = strrchr(folder, '\\');
    if (slash)
        *slash = '\0';

    // Without the program's own path there is no folder to look in.
    int pathLength = length ? DataFileInFolder(folder, buffer) : 0;
    if (!pathLength)
        buffer[0] = '\0';
    return SelectDataFile(buffer);
}

int CreateDataFile()
{
    // No file yet: every option takes its default, and these are written.
    LoadOptions();
    if (SaveOptions() && FileExists(DataFilePath))
        return 1;
    DataFileUnusable = 1;
    return 0;
}

int ReadAutorunValue()
{
    char value[TextSize];
    return RegReadString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, value);
}

int LoadOptions()
{
    AutorunFlag = ReadAutorunValue() != 0;
    // Held open while the options are read, so that no other program can
    // take the file for itself between the check and the reads.
    FileHandle file(INVALID_HANDLE_VALUE);
    if (!OpenDataFileForReading(file))
        return 0;
    Minutes = GetPrivateProfileIntA("Options", "Minutes", 3, DataFilePath);
    Start = GetPrivateProfileIntA("Options", "Start", 1, DataFilePath);
    Cookies = GetPrivateProfileIntA("Options", "Cookies", 0, DataFilePath);
    Sound = GetPrivateProfileIntA("Options", "Sound", 1, DataFilePath);
    WinInit = GetPrivateProfileIntA("Options", "WinInit", 1, DataFilePath);
    OptionsFromFile = 1;
    return 1;
}

int SaveOptions()
{
    const struct { const char *key; int value; } options[] = {
        {"Minutes", Minutes}, {"Start", Start}, {"Cookies", Cookies},
        {"Sound", Sound}, {"WinInit", WinInit},
    };
    int written = 1;
    for (const auto &option : options) {
        char text[16];
        FormatText(text, sizeof(text), "%d", option.value);
        if (!WritePrivateProfileStringA("Options", option.key, text, DataFilePath))
            written = 0;
    }
    if (written)
        OptionsFromFile = 1;
    return written;
}

int KeepOptions()
{
    return OptionsFromFile ? SaveOptions() : 0;
}

// CodeProfileKey: a text as a key of the data file. A profile key ends at
// its first "=", a line breaks at CR and LF, a line that starts with "[" or
// ";" is a section or a comment, and blanks around a key are lost. Such a
// text could never be found again, and its line could forge sections of the
// file. So those characters become "%" and two hex digits, and a "%" too
// where one of these codes follows it, so that no two texts share a key;
// every ordinary text is its own key, as keys always were. A [Run] key makes
// "=" a ":" instead, as it always has. Cut to size, never inside a code.
int CodeProfileKey(const char *text, char *buffer, int size, int runKey)
{
    // Only the codes the mode can write make a "%" coded itself.
    static const char runCodes[][3] = {"0D", "0A", "5B", "3B", "20", "09", "25"};
    static const char keyCodes[][3] = {"3D", "5B", "3B", "20", "09", "25", "25"};  // same length
    int length = text ? (int)strlen(text) : 0;
    int first = 0;
    while (first < length && (text[first] == ' ' || text[first] == '\t'))
        ++first;
    int last = length - 1;
    while (last >= first && (text[last] == ' ' || text[last] == '\t'))
        --last;
    int out = 0;
    for (int i = 0; i < length; ++i) {
        char c = runKey && text[i] == '=' ? ':' : text[i];
        bool encode = c == '=' || (runKey && (c == '\r' || c == '\n')) || i < first || i > last ||
                      (i == 0 && (c == '[' || c == ';'));
        if (c == '%')
            for (const char *code : runKey ? runCodes : keyCodes)
                encode = encode || (text[i + 1] && text[i + 2] && (text[i + 1] | 0x20) == (code[0] | 0x20) &&
                                    (text[i + 2] | 0x20) == (code[1] | 0x20));
        if (out + (encode ? 3 : 1) >= size)
            break;
        if (encode) {
            FormatText(buffer + out, 4, "%%%02X", (unsigned char)c);
            out += 3;
        } else {
            buffer[out++] = c;
        }
    }
    buffer[out] = '\0';
    return out;
}

int MakeRunKey(const char *text, char *buffer)
{
    return CodeProfileKey(text, buffer, 516, 1);
}

int MakeEntryRunKey(int index, char *buffer)
{
    char text[PathSize];
    // A shortcut that cannot be resolved has no Path; its own file keeps it
    // apart from every other such shortcut.
    if (!GetEntryPath(index, text))
        GetEntryLink(index, text);
    return MakeRunKey(text, buffer);
}

int IsWatchedEntry(int index)
{
    // Source 0 is a parked copy whose origin was not recorded: it does not
    // start with Windows, so there is nothing to ask, and its source stored
    // as an approval would read as "not approved".
    if (GetEntrySource(index) == 0)
        return 0;
    char key[516];
    return MakeEntryRunKey(index, key) != 0;
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
