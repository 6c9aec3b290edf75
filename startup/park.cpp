// Taking startup entries out of their sources for good, parking them where
// Windows does not look and bringing them back, and the program's own
// autorun value. A command is never in neither place: its other copy is
// written before it leaves where it is, and a failed write leaves it there.
#include "info/info.h"
#include "startup/sources.h"
#include "startup/startup.h"
#include "store/store.h"

#include <string.h>

namespace {

const char WindowsSection[] = "windows";
// Longest WIN.INI line handled whole; a line cut on reading would lose its
// tail when written back, so a longer one is left alone.
enum : int { WinIniLineSize = 4096 };

bool IsRunSource(DWORD source)
{
    return (source >= 1 && source <= 5) || (source >= 11 && source <= 15);
}

const char *WinIniKeyOfSource(DWORD source)
{
    if (source == SourceWinLoad)
        return "load";
    if (source == SourceWinRun)
        return "run";
    return nullptr;
}

int WriteMarker(const char *name, DWORD source)
{
    char text[16];
    FormatText(text, sizeof(text), "%d", (int)source);
    return RegCreateKeyPath(HKEY_LOCAL_MACHINE, DisabledKeyPath) &&
           RegWriteString(HKEY_LOCAL_MACHINE, DisabledKeyPath, name, text);
}

int DeleteMarker(const char *name)
{
    return RegDeleteValueName(HKEY_LOCAL_MACHINE, DisabledKeyPath, name);
}

void ClearWinIniReadOnly()
{
    char path[TextSize] = "";
    UINT length = GetWindowsDirectoryA(path, 128);
    if (length == 0 || length >= 128)
        return;
    AppendText(path, sizeof(path), "\\win.ini");
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path, attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY);
}

// Reads a WIN.INI line of [windows]; 0 when it is too long to handle whole.
bool ReadWinIniLine(const char *key, char *line)
{
    DWORD length = GetProfileStringA(WindowsSection, key, "", line, WinIniLineSize);
    return length < (DWORD)WinIniLineSize - 1;
}

// Keeps every piece of the line that is not the token, each followed by
// ";". With `always` false the line is written only when a piece went.
int RewriteWithoutToken(const char *key, const char *token, bool always, int *removed)
{
    *removed = 0;
    char line[WinIniLineSize];
    if (!ReadWinIniLine(key, line))
        return 0;
    char kept[WinIniLineSize + 2] = "";
    char *piece = line;
    while (*piece) {
        char *end = strchr(piece, ';');
        if (end)
            *end = '\0';
        if (*piece) {
            // The list shows a piece without quotes and with its long name;
            // that is the token handed back, so it must match here too.
            if (SameCommand(piece, token, TextSize - 1)) {
                ++*removed;
            } else {
                AppendText(kept, sizeof(kept), piece);
                AppendText(kept, sizeof(kept), ";");
            }
        }
        if (!end)
            break;
        piece = end + 1;
    }
    if (!always && *removed == 0)
        return 0;
    ClearWinIniReadOnly();
    return WriteProfileStringA(WindowsSection, key, kept);
}

bool LineHoldsToken(const char *key, const char *token)
{
    char line[WinIniLineSize];
    if (!ReadWinIniLine(key, line))
        return false;
    for (char *piece = strtok(line, ";"); piece; piece = strtok(nullptr, ";"))
        if (SameCommand(piece, token, TextSize - 1))
            return true;
    return false;
}

// Folder beside the executable (Disabled or Removed), created when missing.
int SideFolder(const char *name, char *buffer)
{
    char folder[TextSize];
    if (!ProgramDirectory(folder))
        return 0;
    AppendText(folder, sizeof(folder), "\\");
    AppendText(folder, sizeof(folder), name);
    CreateDirectoryA(folder, nullptr);
    return CopyText(buffer, TextSize, folder);
}

// The file's place in a folder under its own name; 0 when it does not fit.
int PlaceInFolder(const char *folder, const char *file, char *buffer)
{
    char name[PathSize];
    if (!CopyFileNamePart(file, name, sizeof(name)))
        return 0;
    size_t length = strlen(folder);
    bool slash = length > 0 && folder[length - 1] == '\\';
    if (length + 1 + strlen(name) >= MAX_PATH)
        return 0;
    CopyText(buffer, TextSize, folder);
    if (!slash)
        AppendText(buffer, TextSize, "\\");
    return AppendText(buffer, TextSize, name);
}

// Moves a program file out of the way instead of deleting it: the user was
// told that the file stays on the disk. A name in use gets a number.
bool MoveToRemoved(const char *file)
{
    char folder[TextSize];
    char target[TextSize];
    if (!SideFolder("Removed", folder) || !PlaceInFolder(folder, file, target))
        return false;
    char name[PathSize];
    CopyFileNamePart(file, name, sizeof(name));
    const char *dot = strrchr(name, '.');
    size_t stem = dot && dot != name ? (size_t)(dot - name) : strlen(name);
    for (int number = 2; GetFileAttributesA(target) != INVALID_FILE_ATTRIBUTES; ++number) {
        if (number > 999)
            return false;
        char numbered[PathSize];
        CopyTextPart(numbered, sizeof(numbered), name, stem);
        char suffix[16];
        FormatText(suffix, sizeof(suffix), " (%d)", number);
        AppendText(numbered, sizeof(numbered), suffix);
        AppendText(numbered, sizeof(numbered), name + stem);
        if (strlen(folder) + 1 + strlen(numbered) >= MAX_PATH)
            return false;
        FormatText(target, sizeof(target), "%s\\%s", folder, numbered);
    }
    return MoveFileA(file, target) != 0;
}

// Takes a Startup-folder file away: a shortcut is deleted, a program (or a
// folder that passes for one) is moved to the Removed folder.
bool RemoveStartupFile(const char *link)
{
    if (!link || !*link)
        return true;
    DWORD attributes = GetFileAttributesA(link);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    size_t length = strlen(link);
    bool shortcut = length >= 3 && lstrcmpiA(link + length - 3, "lnk") == 0 &&
                    !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (shortcut)
        return ForceDeleteFile(link) != 0;
    return MoveToRemoved(link);
}

// True when parking the entry would overwrite another parked command: its
// marker or its parked value exists already.
bool ParkingTaken(const char *name, const char *title, DWORD source)
{
    int number = 0;
    if (ReadMarker(name, &number))
        return true;
    char parking[PathSize];
    return ParkingKeyOfSource(source, parking, sizeof(parking)) &&
           ValueExists(HKEY_LOCAL_MACHINE, parking, title);
}

int DisableRunValue(const char *title, const char *path, DWORD source)
{
    HKEY root = nullptr;
    char runKey[PathSize];
    char parking[PathSize];
    RunKeyOfSource(source, &root, runKey, sizeof(runKey));
    ParkingKeyOfSource(source, parking, sizeof(parking));
    // Park what the key holds now, as the list showed it; a command the list
    // could only show cut is parked whole.
    char raw[TextSize];
    if (!ReadRawValue(root, runKey, title, raw) || !SameCommand(raw, path, ValueTextSize - 1))
        return 0;
    char parked[TextSize];
    if (strlen(raw) >= (size_t)ValueTextSize)
        CopyText(parked, sizeof(parked), raw);
    else
        ListedForm(raw, ValueTextSize - 1, parked);

    if (!RegCreateKeyPath(HKEY_LOCAL_MACHINE, parking) ||
        !RegWriteString(HKEY_LOCAL_MACHINE, parking, title, parked))
        return 0;
    if (!WriteMarker(title, source)) {
        RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, title);
        return 0;
    }
    if (!RegDeleteValueName(root, runKey, title)) {
        DeleteMarker(title);
        RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, title);
        return 0;
    }
    return 1;
}

int EnableRunValue(const char *title, DWORD source)
{
    HKEY root = nullptr;
    char runKey[PathSize];
    char parking[PathSize];
    RunKeyOfSource(source, &root, runKey, sizeof(runKey));
    ParkingKeyOfSource(source, parking, sizeof(parking));
    char parked[TextSize];
    if (!ReadRawValue(HKEY_LOCAL_MACHINE, parking, title, parked))
        return 0;
    // A value of that name that came back meanwhile with another command is
    // not overwritten.
    if (ValueExists(root, runKey, title)) {
        char current[TextSize];
        char listed[PathSize];
        ListedForm(parked, ValueTextSize - 1, listed);
        if (!ReadRawValue(root, runKey, title, current) ||
            !SameCommand(current, listed, ValueTextSize - 1))
            return 0;
    }
    // The Run key may have gone while the entry was parked.
    if (!RegCreateKeyPath(root, runKey) || !RegWriteString(root, runKey, title, parked))
        return 0;
    RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, title);
    DeleteMarker(title);
    return 1;
}

int DisableWinIniToken(const char *title, const char *path, DWORD source)
{
    char parking[PathSize];
    ParkingKeyOfSource(source, parking, sizeof(parking));
    if (!RegCreateKeyPath(HKEY_LOCAL_MACHINE, parking) ||
        !RegWriteString(HKEY_LOCAL_MACHINE, parking, title, path))
        return 0;
    if (!WriteMarker(title, source)) {
        RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, title);
        return 0;
    }
    int removed = 0;
    if (!RewriteWithoutToken(WinIniKeyOfSource(source), path, false, &removed)) {
        DeleteMarker(title);
        RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, title);
        return 0;
    }
    return 1;
}

int EnableWinIniToken(const char *title, DWORD source)
{
    const char *key = WinIniKeyOfSource(source);
    char parking[PathSize];
    char parked[TextSize];
    ParkingKeyOfSource(source, parking, sizeof(parking));
    if (!ReadRawValue(HKEY_LOCAL_MACHINE, parking, title, parked))
        return 0;
    if (!LineHoldsToken(key, parked) && !AppendWinIniToken(key, parked))
        return 0;
    DeleteMarker(title);
    RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, title);
    return 1;
}

int DisableStartupFile(const char *name, const char *link)
{
    char folder[TextSize];
    char parked[TextSize];
    if (!link || !*link || !SideFolder("Disabled", folder) ||
        !PlaceInFolder(folder, link, parked))
        return 0;
    if (!WriteMarker(name, SourceStartupFolder))
        return 0;
    if (!MoveFileA(link, parked)) {
        DeleteMarker(name);
        return 0;
    }
    return 1;
}

int EnableStartupFile(const char *name, const char *link)
{
    // Back into the machine's Startup folder, whichever one it came from.
    char folder[TextSize];
    if (!RegReadString(HKEY_LOCAL_MACHINE, ShellFoldersPath, "Startup", folder) &&
        !RegReadString(HKEY_LOCAL_MACHINE, ShellFoldersPath, "Common Startup", folder))
        return 0;
    char target[TextSize];
    if (!PlaceInFolder(folder, link, target) || !MoveFileA(link, target))
        return 0;
    DeleteMarker(name);
    return 1;
}

} // namespace

int RemoveStartupEntry(const char *title, const char *path, const char *link, DWORD source)
{
    char parking[PathSize];
    if (IsRunSource(source)) {
        // No title would name the key's unnamed default value.
        if (!title || !*title)
            return 0;
        if (IsParkedCopy(title, path, link, source)) {
            ParkingKeyOfSource(source, parking, sizeof(parking));
            if (!RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, title))
                return 0;
            return DeleteMarker(title);
        }
        HKEY root = nullptr;
        char runKey[PathSize];
        RunKeyOfSource(source, &root, runKey, sizeof(runKey));
        return RegDeleteValueName(root, runKey, title);
    }
    if (const char *key = WinIniKeyOfSource(source)) {
        if (IsParkedCopy(title, path, link, source)) {
            ParkingKeyOfSource(source, parking, sizeof(parking));
            DeleteMarker(title);
            RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, title);
        }
        RemoveWinIniToken(key, path);
        return 1;
    }
    if (source == SourceStartupFolder) {
        // The marker goes only with the parked file it stands for, and only
        // once the file is out of the way.
        bool parked = IsParkedCopy(title, path, link, source);
        if (RemoveStartupFile(link) && parked) {
            char name[PathSize];
            MarkerName(title, link, name, sizeof(name));
            DeleteMarker(name);
        }
        return 1;
    }
    return 1;
}

int ToggleStartupEntry(const char *title, const char *path, const char *link, DWORD source)
{
    if (!title || !path)
        return 0;
    bool family = IsRunSource(source) || WinIniKeyOfSource(source) ||
                  source == SourceStartupFolder;
    if (!family)
        return 0;
    if (IsParkedCopy(title, path, link, source)) {
        if (source == SourceStartupFolder) {
            char name[PathSize];
            MarkerName(title, link, name, sizeof(name));
            return EnableStartupFile(name, link);
        }
        return IsRunSource(source) ? EnableRunValue(title, source)
                                   : EnableWinIniToken(title, source);
    }

    char name[PathSize];
    if (!MarkerName(title, link, name, sizeof(name)) || ParkingTaken(name, title, source))
        return 0;
    if (source == SourceStartupFolder)
        return DisableStartupFile(name, link);
    // A registry or WIN.INI entry is parked under its title.
    if (!*title)
        return 0;
    return IsRunSource(source) ? DisableRunValue(title, path, source)
                               : DisableWinIniToken(title, path, source);
}

bool DisableWouldCollide(const char *title, const char *path, DWORD source)
{
    if (!title || !*title || !path)
        return false;
    // Asked about a parked entry, the answer is no: it would be enabled. A
    // parked file is known here by what the Disabled folder lists, as its
    // own name is not at hand.
    if (source == SourceStartupFolder) {
        int number = 0;
        if (ReadMarker(title, &number) && number == (int)source && ParkedFileListsAs(title, path))
            return false;
    } else if (IsParkedCopy(title, path, "", source)) {
        return false;
    }
    return ParkingTaken(title, title, source);
}

int RemoveWinIniToken(const char *key, const char *token)
{
    int removed = 0;
    return RewriteWithoutToken(key, token, true, &removed);
}

int AppendWinIniToken(const char *key, const char *token)
{
    char line[WinIniLineSize];
    if (!ReadWinIniLine(key, line) || strlen(line) + 1 + strlen(token) >= sizeof(line))
        return 0;
    AppendText(line, sizeof(line), ";");
    AppendText(line, sizeof(line), token);
    ClearWinIniReadOnly();
    return WriteProfileStringA(WindowsSection, key, line);
}

int CopyFileNamePart(const char *path, char *buffer, size_t size)
{
    int start = path ? FileNamePart(path) : 0;
    if (start == 0) {
        if (buffer && size)
            buffer[0] = '\0';
        return 0;
    }
    return CopyText(buffer, size, path + start);
}
