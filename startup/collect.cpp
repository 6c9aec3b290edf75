// Collecting every program that Windows starts on its own: the Run-family
// keys, WIN.INI, the Startup folders and what the user has parked, plus the
// folder walk that the cookie listing shares.
#include "cookies/cookies.h"
#include "info/info.h"
#include "resource.h"
#include "startup/sources.h"
#include "startup/startup.h"
#include "store/store.h"

#include <objbase.h>
#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

int FolderWalkMode = 0;

namespace {

// Reads value `index` of an open key into name and data (256 bytes each),
// the data as text up to its first zero byte, and the name in full into
// whole (OriginNameSize bytes; *cut when even that is too short). A value
// too long for the buffers is read whole and cut, so that the list still
// shows it is there.
LONG ReadValueAt(HKEY key, DWORD index, char *name, char *data, char *whole, bool *cut)
{
    *cut = false;
    char value[ValueTextSize + 1] = "";
    DWORD nameSize = ValueTextSize;
    DWORD dataSize = ValueTextSize;
    LONG result = RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr, (BYTE *)value,
                                &dataSize);
    if (result == ERROR_SUCCESS) {
        value[dataSize < (DWORD)ValueTextSize ? dataSize : (DWORD)ValueTextSize] = '\0';
        CopyText(data, ValueTextSize, value);
        CopyText(whole, OriginNameSize, name);
        return ERROR_SUCCESS;
    }
    if (result != ERROR_MORE_DATA)
        return result;

    DWORD longestName = 0;
    DWORD longestData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return result;
    SIZE_T bytes = (SIZE_T)longestName + 1 + longestData + 1;
    GlobalBlock block(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes));
    if (!block.block)
        return result;
    char *wholeName = (char *)block.block;
    char *wholeData = wholeName + longestName + 1;
    nameSize = longestName + 1;
    dataSize = longestData;
    result = RegEnumValueA(key, index, wholeName, &nameSize, nullptr, nullptr, (BYTE *)wholeData,
                           &dataSize);
    if (result != ERROR_SUCCESS)
        return result;
    wholeData[dataSize < longestData ? dataSize : longestData] = '\0';
    CopyText(name, ValueTextSize, wholeName);
    CopyText(data, ValueTextSize, wholeData);
    CopyText(whole, OriginNameSize, wholeName);
    *cut = strlen(wholeName) >= (size_t)OriginNameSize;
    return ERROR_SUCCESS;
}

DWORD CutFlag(bool cut)
{
    return cut ? (DWORD)OriginNameCut : 0;
}

const char StartupApprovedPath[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved";

// The StartupApproved list of a Run source: "Run32" for the machine's Run
// key of a 64-bit system's 32-bit view, "Run" for the others; none for
// sources Windows does not switch off.
const char *ApprovedListOfSource(DWORD source, HKEY *root)
{
    *root = source == SourceUserRun ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    // The program's own view is the 32-bit one when the other is the 64-bit.
    REGSAM other = OtherRegistryView();
    if (source == SourceUserRun)
        return "Run";
    if (source == SourceMachineRun)
        return other == KEY_WOW64_64KEY ? "Run32" : "Run";
    if (source == SourceOtherRun)
        return other == KEY_WOW64_32KEY ? "Run32" : "Run";
    return nullptr;
}

// One StartupApproved list, opened once for a whole source: most machines
// have none, and where there is one each item is only looked up in it.
// Windows keeps those lists in its own view of the machine's keys.
void OpenApprovedList(HKEY root, const char *list, RegKey *approved)
{
    if (!list)
        return;
    char path[PathSize];
    FormatText(path, sizeof(path), "%s\\%s", StartupApprovedPath, list);
    REGSAM view = root == HKEY_LOCAL_MACHINE ? NativeRegistryView() : 0;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE | view, approved->out()) != ERROR_SUCCESS)
        approved->key = nullptr;
}

// Set when Windows' Task Manager has switched an item off: an odd first
// byte in the binary value of its name in the list (Windows writes no other
// type there; a text "3" is not its mark).
DWORD SwitchedOffFlag(const RegKey &approved, const char *name)
{
    RawValue value;
    return approved.key && ReadOpenValueBytes(approved.key, name, &value) &&
                   value.type == REG_BINARY && value.size >= 1 && (value.data[0] & 1) != 0
               ? (DWORD)OriginSwitchedOff
               : 0;
}

// While a Startup folder is walked: the list that switches its files off.
const RegKey *FolderApproved = nullptr;

// Adds an entry and records where it was found; nothing when the table is full.
void AddStartupEntry(const char *title, const char *path, const char *link, DWORD source,
                     const char *name, DWORD kind)
{
    if (AddEntry(title, path, link, source, 0))
        SetEntryOrigin(EntryCount - 1, name, kind);
}

void CollectRunKey(const RegPlace &place, DWORD source)
{
    RegKey key;
    if (RegOpenKeyExA(place.root, place.path, 0, KEY_READ | place.view, key.out()) != ERROR_SUCCESS)
        return;
    HKEY approvedRoot = nullptr;
    const char *list = ApprovedListOfSource(source, &approvedRoot);
    RegKey approved;
    OpenApprovedList(approvedRoot, list, &approved);
    char name[ValueTextSize];
    char data[ValueTextSize];
    char whole[OriginNameSize];
    bool cut = false;
    for (DWORD index = 0;; ++index) {
        LONG result = ReadValueAt(key, index, name, data, whole, &cut);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            continue;
        if (strlen(name) > 1 && strlen(data) > 4 && (unsigned char)name[0] < 0x80)
            AddStartupEntry(name, data, "", source, whole,
                            OriginLive | CutFlag(cut) | SwitchedOffFlag(approved, whole));
    }
}

void CollectParkingKey(int parkingIndex)
{
    char path[PathSize];
    ParkingKeyPath(parkingIndex, path, sizeof(path));
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.out()) != ERROR_SUCCESS)
        return;
    char name[ValueTextSize];
    char data[ValueTextSize];
    char whole[OriginNameSize];
    bool cut = false;
    for (DWORD index = 0;; ++index) {
        LONG result = ReadValueAt(key, index, name, data, whole, &cut);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || !name[0])
            continue;
        int number = 0;
        ReadMarker(whole, &number);
        AddStartupEntry(name, data, "", (DWORD)number, whole,
                        ParkedValueOrigin(parkingIndex) | CutFlag(cut));
    }
}

// One entry for each item of a Winlogon value other than Windows' own, named
// like a WIN.INI piece: by its product, else by the value's name.
void CollectWinlogonValue(DWORD source)
{
    WinlogonList list;
    bool whole = ReadWinlogonList(source, &list) != 0;
    for (int i = 0; i < list.count; ++i) {
        char raw[OriginNameSize];
        char item[TextSize];
        if (!WinlogonItem(&list, i, raw, item) || IsWindowsOwnItem(item, list.shell))
            continue;
        char unquoted[TextSize];
        StripQuotes(unquoted, sizeof(unquoted), item);
        VersionInfo info;
        ReadVersionInfo(unquoted, &info);
        bool cut = !whole || strlen(raw) >= (size_t)OriginNameSize - 1;
        AddStartupEntry(info.ProductName[0] ? info.ProductName : list.name, item, "", source, raw,
                        OriginLive | CutFlag(cut));
    }
}

// Walks a folder named by text that may be longer than a walk buffer: a cut
// name would be another folder, so such a folder is left out.
void WalkNamedFolder(const char *folder, LPARAM tag)
{
    char walk[PathSize];
    if (!folder || !*folder || strlen(folder) >= sizeof(walk) - 1)
        return;
    CopyText(walk, sizeof(walk), folder);
    WalkFolder(walk, AddFolderFile, 0, tag);
}

bool EndsWith(const char *path, size_t length, const char *tail)
{
    return length >= 3 && lstrcmpiA(path + length - 3, tail) == 0;
}

// A file found in the Disabled folder is a parked copy by where it lies,
// whatever its title or any marker says.
void AddStartupFile(const char *path, LPARAM tag)
{
    // A full table takes nothing more: resolving shortcuts and reading
    // version resources of files that cannot be listed only costs time.
    if (EntryCount >= MaxEntries)
        return;
    char title[PathSize];
    char target[PathSize];
    char link[PathSize];
    if (!DescribeStartupFile(path, title, target, link))
        return;
    if (tag == ParkedFileTag) {
        AddStartupEntry(title, target, link, SourceStartupFolder, "", OriginParkedFile);
        return;
    }
    char file[PathSize];
    CopyFileNamePart(path, file, sizeof(file));
    AddStartupEntry(title, target, link, SourceStartupFolder, "",
                    OriginLive | (FolderApproved ? SwitchedOffFlag(*FolderApproved, file) : 0));
}

} // namespace

int DescribeStartupFile(const char *path, char *title, char *target, char *link)
{
    title[0] = target[0] = link[0] = '\0';
    size_t length = strlen(path);
    VersionInfo info;
    if (EndsWith(path, length, "lnk")) {
        char description[PathSize];
        ResolveShortcut(MainWindow, path, target, description);
        CopyText(title, PathSize, description);
        if (!title[0])
            GetFileDescription(target, title);
        if (!title[0]) {
            ReadVersionInfo(target, &info);
            CopyText(title, PathSize, info.ProductName);
        }
        CopyText(link, PathSize, path);
        return 1;
    }
    if (EndsWith(path, length, "exe")) {
        GetFileDescription(path, title);
        if (!title[0]) {
            ReadVersionInfo(path, &info);
            CopyText(title, PathSize, info.ProductName);
        }
        CopyText(target, PathSize, path);
        CopyText(link, PathSize, path);
        return 1;
    }
    if (EndsWith(path, length, "pif")) {
        CopyText(target, PathSize, path);
        return 1;
    }
    return 0;
}

int CollectStartupEntries()
{
    if (EntryCount != 0)
        ClearEntries();
    CollectRunKeyEntries();
    CollectWinIniEntries();
    CollectStartupFolderEntries();
    CollectDisabledEntries();
    return EntryCount;
}

void CollectRunKeyEntries()
{
    // The machine's keys of the other view stand right after its own, so
    // that where there is one view the list is what it always was.
    static const DWORD sources[] = {
        1,  2,  3,  4,  5,  6,  7,  8,  31, 32, 33, 34, 35, 36,
        11, 12, 13, 14, 15, 16, 17, 18, 21, 22, 23, 24, 25,
    };
    for (DWORD source : sources) {
        RegPlace place;
        if (IsWinlogonSource(source))
            CollectWinlogonValue(source);
        else if (SourceKey(source, &place) && !SharedWithOwnView(place))
            CollectRunKey(place, source);
    }
}

void CollectWinIniEntries()
{
    const struct { const char *key; DWORD source; } keys[] = {
        {"run", SourceWinRun}, {"load", SourceWinLoad},
    };
    for (const auto &key : keys) {
        // Every piece of a long line is listed; a line longer than can be
        // read whole shows what was read.
        GlobalBlock block(nullptr);
        char *line = nullptr;
        bool whole = ReadWinIniLine(key.key, &block, &line) != 0;
        if (!line)
            continue;
        char *piece = line;
        while (*piece) {
            char *end = strchr(piece, ';');
            if (end)
                *end = '\0';
            if (*piece && EntryCount < MaxEntries) {
                VersionInfo info;
                ReadVersionInfo(piece, &info);
                // The piece is kept as it stood, so that it can be found
                // and parked whole; one that may have been cut, by the
                // line's reading or by its name's field, cannot be.
                bool cut = (!end && !whole) || strlen(piece) >= (size_t)OriginNameSize;
                AddStartupEntry(info.ProductName[0] ? info.ProductName : key.key, piece, "",
                                key.source, piece, OriginLive | CutFlag(cut));
            }
            if (!end)
                break;
            piece = end + 1;
        }
    }
}

void CollectStartupFolderEntries()
{
    FolderWalkMode = 1;
    const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS};
    const char *const names[] = {"Startup", "Common Startup"};
    for (HKEY root : roots) {
        for (const char *name : names) {
            char folder[TextSize];
            if (!RegReadString(root, ShellFoldersPath, name, folder))
                continue;
            LPARAM tag = name == names[0] ? UserStartupTag : CommonStartupTag;
            RegKey approved;
            OpenApprovedList(tag == CommonStartupTag ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                             "StartupFolder", &approved);
            FolderApproved = &approved;
            WalkNamedFolder(folder, tag);
            FolderApproved = nullptr;
        }
    }
}

void CollectDisabledEntries()
{
    for (int index = 0; index < ParkingKeyCount; ++index)
        CollectParkingKey(index);
    char folder[TextSize];
    if (DisabledFolder(folder, sizeof(folder)))
        WalkNamedFolder(folder, ParkedFileTag);
}

void WalkFolder(char *folder, FolderCallback callback, int depth, LPARAM tag)
{
    // An empty folder text would become "\", the root of the current drive.
    if (!folder || !*folder || !callback)
        return;
    size_t length = strlen(folder);
    if (folder[length - 1] != '\\') {
        if (length + 1 >= PathSize)
            return;
        AppendText(folder, PathSize, "\\");
        ++length;
    }
    char pattern[PathSize];
    if (length + 3 >= sizeof(pattern))
        return;
    CopyText(pattern, sizeof(pattern), folder);
    AppendText(pattern, sizeof(pattern), "*.*");

    WIN32_FIND_DATAA find;
    FindHandle search(FindFirstFileA(pattern, &find));
    if (!search.valid())
        return;
    do {
        // A cut path would name some other file; such an item is left out.
        if (length + strlen(find.cFileName) >= PathSize)
            continue;
        char path[PathSize];
        CopyText(path, sizeof(path), folder);
        AppendText(path, sizeof(path), find.cFileName);
        if (find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (find.cFileName[0] == '.')
                continue;
            if (depth > 0) {
                char inner[PathSize];
                CopyText(inner, sizeof(inner), path);
                WalkFolder(inner, callback, depth - 1, tag);
            }
        }
        callback(path, &find, tag);
    } while (FindNextFileA(search.handle, &find));
}

void AddFolderFile(const char *path, const WIN32_FIND_DATAA *find, LPARAM tag)
{
    // Only a folder with nothing but the directory bit is entered. One that
    // is also hidden, read-only or system is taken for a file, so that a
    // folder dressed up as "x.exe" still shows in the list.
    if (find->dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY) {
        char folder[PathSize];
        CopyText(folder, sizeof(folder), path);
        WalkFolder(folder, AddFolderFile, 0, tag);
        return;
    }
    if (FolderWalkMode == 2)
        AddCookieFolderItem(path, find, tag);
    else if (FolderWalkMode == 1)
        AddStartupFile(path, tag);
}

HRESULT ResolveShortcut(HWND owner, const char *shortcut, char *target, char *description)
{
    target[0] = '\0';
    description[0] = '\0';
    ComRef<IShellLinkA> link;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkA, (void **)link.out());
    if (FAILED(result))
        return result;
    ComRef<IPersistFile> file;
    result = link->QueryInterface(IID_IPersistFile, (void **)file.out());
    if (FAILED(result))
        return result;
    WCHAR wide[PathSize] = L"";
    MultiByteToWideChar(CP_ACP, 0, shortcut, -1, wide, PathSize);
    wide[PathSize - 1] = L'\0';
    result = file->Load(wide, 0);
    if (FAILED(result))
        return result;
    result = link->Resolve(owner, SLR_ANY_MATCH);
    if (FAILED(result))
        return result;
    char text[PathSize] = "";
    if (SUCCEEDED(link->GetPath(text, sizeof(text), nullptr, SLGP_SHORTPATH)))
        CopyText(target, PathSize, text);
    text[0] = '\0';
    if (SUCCEEDED(link->GetDescription(text, sizeof(text))))
        CopyText(description, PathSize, text);
    return result;
}

int GetFileDescription(const char *path, char *buffer)
{
    VersionInfo info;
    ReadVersionInfo(path, &info);
    return CopyText(buffer, TitleSize, info.FileDescription);
}

int GetDisabledSource(int index)
{
    char name[OriginNameSize];
    DWORD kind = GetEntryOrigin(index, name);
    if ((kind & OriginPlaceMask) == OriginParkedFile)
        return SourceStartupFolder;
    int number = 0;
    if ((kind & OriginPlaceMask) == OriginParkedValue)
        ReadMarker(name, &number);
    return number;
}

bool IsStartupEntrySwitchedOff(int index)
{
    DWORD kind = GetEntryOrigin(index, nullptr);
    return (kind & OriginPlaceMask) == OriginLive && (kind & OriginSwitchedOff) != 0;
}

bool IsStartupEntryParked(int index)
{
    DWORD place = GetEntryOrigin(index, nullptr) & OriginPlaceMask;
    return place == OriginParkedValue || place == OriginParkedFile;
}

int StartupEntryCommand(int index, char *buffer, size_t size)
{
    char path[PathSize] = "";
    GetEntryPath(index, path);
    char name[OriginNameSize];
    DWORD kind = GetEntryOrigin(index, name);
    DWORD place = kind & OriginPlaceMask;
    DWORD source = GetEntrySource(index);
    bool winIni = source == SourceWinLoad || source == SourceWinRun;
    RegPlace key = {HKEY_LOCAL_MACHINE, 0, ""};
    RawValue raw;
    if (kind & OriginNameCut)
        return CopyText(buffer, size, path);
    if (place == OriginLive && winIni)
        SetValueText(&raw, REG_SZ, name);
    else if (place == OriginParkedValue ? ParkingKeyPath(OriginParkingIndex(kind), key.path, sizeof(key.path))
             : place == OriginLive      ? RunKeyOfSource(source, &key)
                                        : 0)
        ReadValueBytes(key.root, key.path, name, &raw, key.view);
    // Only while the item still holds the command the row shows.
    const char *text = ValueText(&raw);
    const char *close = text[0] == '"' ? strchr(text + 1, '"') : nullptr;
    size_t limit = place == OriginLive && winIni ? TextSize - 1 : ValueTextSize - 1;
    if (!close || !SameCommand(text, path, limit) || close - text >= TextSize)
        return CopyText(buffer, size, path);
    char inside[TextSize];
    char program[TextSize];
    CopyTextPart(inside, sizeof(inside), text + 1, (size_t)(close - text - 1));
    DWORD length = raw.type == REG_EXPAND_SZ
                       ? ExpandEnvironmentStringsA(inside, program, sizeof(program))
                       : (DWORD)CopyText(program, sizeof(program), inside) + 1;
    if (length == 0 || length > sizeof(program) || strlen(program) + 3 > size)
        return CopyText(buffer, size, path);
    return FormatText(buffer, size, "\"%s\"", program);
}

int GetSourceLabel(int index, char *buffer)
{
    buffer[0] = '\0';
    DWORD source = GetEntrySource(index);
    if (source > SourceStartupFolder)
        return 0;
    char label[TitleSize] = "";
    if (IsStartupEntryParked(index)) {
        char disabled[TitleSize];
        LoadText(IDS_DISABLED, disabled, sizeof(disabled));
        CopyText(label, sizeof(label), "* ");
        AppendText(label, sizeof(label), disabled);
    } else if (IsStartupEntrySwitchedOff(index)) {
        char off[TitleSize];
        LoadText(IDS_SWITCHED_OFF_LABEL, off, sizeof(off));
        CopyText(label, sizeof(label), "* ");
        AppendText(label, sizeof(label), off);
    }
    char place[TitleSize];
    if (RegistrySourceLabel(source, (int)sizeof(void *) * 8, place, sizeof(place))) {
        AppendText(label, sizeof(label), place);
    } else if (source == SourceWinLoad) {
        AppendText(label, sizeof(label), "WIN.INI     [Load] Section");
    } else if (source == SourceWinRun) {
        AppendText(label, sizeof(label), "WIN.INI     [Run] Section");
    } else if (source == SourceStartupFolder) {
        AppendText(label, sizeof(label), "Windows Startup Group");
    }
    return CopyText(buffer, TitleSize, label);
}

int ProgramDirectory(char *buffer)
{
    char name[TextSize];
    DWORD length = GetModuleFileNameA(nullptr, name, 481);
    if (length == 0 || length > 480)
        return 0;
    name[length] = '\0';
    char *slash = strrchr(name, '\\');
    if (!slash)
        return 0;
    *slash = '\0';
    return CopyText(buffer, TextSize, name);
}

void ReadStartupEntry(int index, StartupEntry *entry)
{
    GetEntryTitle(index, entry->title);
    GetEntryPath(index, entry->path);
    GetEntryLink(index, entry->link);
    entry->source = GetEntrySource(index);
}

bool StartupEntryStillAt(int index, const StartupEntry *entry)
{
    if (index < 0 || index >= EntryCount)
        return false;
    StartupEntry now;
    ReadStartupEntry(index, &now);
    return now.source == entry->source && strcmp(now.title, entry->title) == 0 &&
           strcmp(now.path, entry->path) == 0 && strcmp(now.link, entry->link) == 0;
}
