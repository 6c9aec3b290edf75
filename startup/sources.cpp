// The places startup entries come from and the parking keys beside them, and
// the tests that tell a parked copy from an entry that merely shares a title.
#include "startup/sources.h"
#include "info/info.h"
#include "startup/startup.h"
#include "store/store.h"

#include <stdlib.h>
#include <string.h>

const char *const RunKeyNames[RunKeyCount] = {
    "Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce",
};
const char CurrentVersionPath[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char ShellFoldersPath[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

const char PoliciesRunPath[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
const char WinlogonPath[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

REGSAM OtherViewFor(int buildBits, bool wow64)
{
    if (buildBits == 64)
        return KEY_WOW64_32KEY;
    return wow64 ? KEY_WOW64_64KEY : 0;
}

namespace {

int BuildBits()
{
    return sizeof(void *) == 8 ? 64 : 32;
}

// Older systems have no IsWow64Process at all: they have one view.
bool RunsUnderWow64()
{
    typedef BOOL(WINAPI * Wow64Func)(HANDLE, PBOOL);
    Library kernel("KERNEL32.DLL");
    Wow64Func isWow64 = (Wow64Func)(void *)kernel.proc("IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

// Sources come in rows of ten: the root (and view) is the row, the key the
// place within it.
DWORD SourceRow(DWORD source)
{
    return source / 10 * 10;
}

DWORD SourcePlace(DWORD source)
{
    return source % 10;
}

bool RegistryRowHas(DWORD row, DWORD place)
{
    switch (row) {
    case 0:
    case 10: return place >= 1 && place <= 8;
    case 20: return place >= 1 && place <= 5;
    case 30: return place >= 1 && place <= 6;
    default: return false;
    }
}

} // namespace

REGSAM OtherRegistryView()
{
    static int known = 0;
    static REGSAM view = 0;
    if (!known) {
        view = OtherViewFor(BuildBits(), BuildBits() == 32 && RunsUnderWow64());
        known = 1;
    }
    return view;
}

REGSAM NativeRegistryView()
{
    return OtherRegistryView() == KEY_WOW64_64KEY ? KEY_WOW64_64KEY : 0;
}

int SourceKey(DWORD source, RegPlace *place)
{
    DWORD row = SourceRow(source);
    DWORD at = SourcePlace(source);
    if (!RegistryRowHas(row, at) || at > 6)
        return 0;
    place->view = 0;
    place->root = row == 10 ? HKEY_CURRENT_USER : row == 20 ? HKEY_USERS : HKEY_LOCAL_MACHINE;
    if (row == 30) {
        place->view = OtherRegistryView();
        if (!place->view)
            return 0;
    }
    if (at == 6)
        return CopyText(place->path, sizeof(place->path), PoliciesRunPath);
    return FormatText(place->path, sizeof(place->path), "%s\\%s", CurrentVersionPath,
                      RunKeyNames[at - 1]);
}

namespace {

// The kernel's name of an open key (KEY_NAME_INFORMATION, wide text); 0
// where the system cannot tell it.
ULONG KernelKeyName(HKEY key, BYTE *buffer, ULONG size)
{
    typedef LONG(WINAPI * QueryKeyFunc)(HANDLE, int, PVOID, ULONG, PULONG);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    QueryKeyFunc query = ntdll ? (QueryKeyFunc)(void *)GetProcAddress(ntdll, "NtQueryKey") : nullptr;
    const int KeyNameInformation = 3;
    ULONG length = 0;
    if (!query || query(key, KeyNameInformation, buffer, size, &length) < 0 || length < 4)
        return 0;
    return length;
}

} // namespace

bool SharedWithOwnView(const RegPlace &place)
{
    if (!place.view)
        return false;
    RegKey own;
    RegKey other;
    if (RegOpenKeyExA(place.root, place.path, 0, KEY_READ, own.out()) != ERROR_SUCCESS ||
        RegOpenKeyExA(place.root, place.path, 0, KEY_READ | place.view, other.out()) != ERROR_SUCCESS)
        return false;
    BYTE ownName[2048];
    BYTE otherName[2048];
    ULONG ownLength = KernelKeyName(own, ownName, sizeof(ownName));
    ULONG otherLength = KernelKeyName(other, otherName, sizeof(otherName));
    return ownLength && ownLength == otherLength && memcmp(ownName, otherName, ownLength) == 0;
}

int RunKeyOfSource(DWORD source, RegPlace *place)
{
    return SourceRow(source) != 20 ? SourceKey(source, place) : 0;
}

int RegistrySourceLabel(DWORD source, int buildBits, char *buffer, size_t size)
{
    DWORD row = SourceRow(source);
    DWORD at = SourcePlace(source);
    if (!RegistryRowHas(row, at))
        return CopyText(buffer, size, "");
    const char *hive = row == 10 ? "HKEY_CURRENT_USER\\" : row == 20 ? "HKEY_USER\\"
                                                                     : "HKEY_LOCAL_MACHINE\\";
    // The 64-bit build names the 32-bit view by where it really lies; the
    // 32-bit build reaches a view it cannot name by a path.
    bool other = row == 30;
    const char *node = other && buildBits == 64 ? "WOW6432Node\\" : "";
    const char *view = other && buildBits != 64 ? " (64-bit view)" : "";
    char key[PathSize];
    if (at <= 5)
        FormatText(key, sizeof(key), "Microsoft\\Windows\\CurrentVersion\\%s", RunKeyNames[at - 1]);
    else if (at == 6)
        CopyText(key, sizeof(key), PoliciesRunPath + 9);
    else
        FormatText(key, sizeof(key), "%s [%s]", WinlogonPath + 9, at == 7 ? "Shell" : "Userinit");
    return FormatText(buffer, size, "%sSoftware\\%s%s%s", hive, node, key, view);
}

DWORD ParkedValueOrigin(int parkingIndex)
{
    return OriginParkedValue | ((DWORD)parkingIndex << 8);
}

int OriginParkingIndex(DWORD kind)
{
    if ((kind & OriginPlaceMask) != OriginParkedValue)
        return -1;
    int index = (int)((kind >> 8) & 0xFF);
    return index < ParkingKeyCount ? index : -1;
}

int ParkingKeyPath(int index, char *path, size_t size)
{
    static const char *const names[ParkingKeyCount] = {
        "Run",    "RunOnce",     "RunOnceEx",     "RunServices",      "RunServicesOnce",
        "WinLoad", "WinRun", "PoliciesRun", "WinlogonShell", "WinlogonUserinit",
    };
    if (index < 0 || index >= ParkingKeyCount)
        return 0;
    return FormatText(path, size, "%s\\%s", DisabledKeyPath, names[index]);
}

int ParkingIndexOfSource(DWORD source)
{
    // Both roots and both views share a parking key; the marker tells which.
    DWORD row = SourceRow(source);
    DWORD at = SourcePlace(source);
    if (row != 20 && RegistryRowHas(row, at))
        return at <= 5 ? (int)at - 1 : (int)at + 1;
    if (source == SourceWinLoad)
        return 5;
    if (source == SourceWinRun)
        return 6;
    return -1;
}

int ParkingKeyOfSource(DWORD source, char *path, size_t size)
{
    return ParkingKeyPath(ParkingIndexOfSource(source), path, size);
}

bool SourceFitsParking(DWORD source, int parkingIndex)
{
    return parkingIndex >= 0 && ParkingIndexOfSource(source) == parkingIndex;
}

int MarkerName(const char *title, const char *link, char *buffer, size_t size)
{
    if (title && *title)
        return CopyText(buffer, size, title);
    // An untitled program or shortcut still needs a name its marker can be
    // found by again once the file sits in the Disabled folder.
    if (link && *link)
        return CopyFileNamePart(link, buffer, size);
    return CopyText(buffer, size, "");
}

bool ReadMarker(const char *name, int *number)
{
    *number = 0;
    // The unnamed default value of the Disabled key is nobody's marker.
    if (!name || !*name)
        return false;
    char text[TextSize];
    if (!RegReadString(HKEY_LOCAL_MACHINE, DisabledKeyPath, name, text))
        return false;
    *number = atoi(text);
    return true;
}

bool NameParked(const char *name)
{
    if (!name || !*name)
        return false;
    char parking[PathSize];
    for (int index = 0; index < ParkingKeyCount; ++index)
        if (ParkingKeyPath(index, parking, sizeof(parking)) &&
            ValueExists(HKEY_LOCAL_MACHINE, parking, name))
            return true;
    return false;
}

int DisabledFolder(char *buffer, size_t size)
{
    char folder[TextSize];
    if (!ProgramDirectory(folder))
        return CopyText(buffer, size, "");
    AppendText(folder, sizeof(folder), "\\Disabled");
    return CopyText(buffer, size, folder);
}

bool InDisabledFolder(const char *file)
{
    int namePart = file ? FileNamePart(file) : 0;
    if (namePart < 2)
        return false;
    char folder[TextSize];
    char fileFolder[TextSize];
    char longFolder[TextSize];
    char longFileFolder[TextSize];
    if (!DisabledFolder(folder, sizeof(folder)))
        return false;
    CopyTextPart(fileFolder, sizeof(fileFolder), file, (size_t)namePart - 1);
    ToLongPathName(longFolder, sizeof(longFolder), folder);
    ToLongPathName(longFileFolder, sizeof(longFileFolder), fileFolder);
    return lstrcmpiA(longFolder, longFileFolder) == 0;
}

namespace {

// A fresh block of size bytes and a zero after them, in place of the old one.
BYTE *RenewBlock(GlobalBlock *block, DWORD size)
{
    if (block->block)
        GlobalFree(block->release());
    block->block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, (SIZE_T)size + 2);
    return (BYTE *)block->block;
}

} // namespace

int ReadValueBytes(HKEY root, const char *subkey, const char *name, RawValue *value, REGSAM view)
{
    value->type = REG_NONE;
    value->size = 0;
    value->data = nullptr;
    RegKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ | view, key.out()) != ERROR_SUCCESS)
        return 0;
    return ReadOpenValueBytes(key, name, value);
}

int ReadOpenValueBytes(HKEY key, const char *name, RawValue *value)
{
    value->type = REG_NONE;
    value->size = 0;
    value->data = nullptr;
    // Sized to the value, asked again should it grow between the two calls.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS ||
            size > LongestCommand)
            return 0;
        BYTE *data = RenewBlock(&value->block, size);
        if (!data)
            return 0;
        LONG result = RegQueryValueExA(key, name, nullptr, &value->type, data, &size);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            return 0;
        value->data = data;
        value->size = size;
        return 1;
    }
    return 0;
}

bool ValueOverLimit(HKEY root, const char *subkey, const char *name, REGSAM view)
{
    RegKey key;
    DWORD size = 0;
    return RegOpenKeyExA(root, subkey, 0, KEY_READ | view, key.out()) == ERROR_SUCCESS &&
           RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS &&
           size > LongestCommand;
}

int SetValueText(RawValue *value, DWORD type, const char *text)
{
    DWORD length = (DWORD)strlen(text);
    value->data = RenewBlock(&value->block, length + 1);
    if (!value->data)
        return 0;
    memcpy(value->data, text, length + 1);
    value->type = type;
    value->size = length + 1;
    return 1;
}

int WriteValueBytes(HKEY root, const char *subkey, const char *name, const RawValue *value,
                    REGSAM view)
{
    RegKey key;
    if (RegCreateKeyExA(root, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | view,
                        nullptr, key.out(), nullptr) != ERROR_SUCCESS)
        return 0;
    return RegSetValueExA(key, name, 0, value->type, value->data, value->size) == ERROR_SUCCESS;
}

int DeleteValueIn(HKEY root, const char *subkey, const char *name, REGSAM view)
{
    RegKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_WRITE | view, key.out()) != ERROR_SUCCESS)
        return 0;
    return RegDeleteValueA(key, name) == ERROR_SUCCESS;
}

bool SameValueBytes(const RawValue *a, const RawValue *b)
{
    return a->type == b->type && a->size == b->size &&
           (a->size == 0 || memcmp(a->data, b->data, a->size) == 0);
}

const char *ValueText(RawValue *value)
{
    return value->data ? (const char *)value->data : "";
}

int ReadWinIniLine(const char *key, GlobalBlock *block, char **line)
{
    *line = nullptr;
    // A line that fills the buffer may go on beyond it: read again, larger.
    for (DWORD size = 4096;; size *= 2) {
        char *text = (char *)RenewBlock(block, size);
        *line = text;
        if (!text)
            return 0;
        DWORD length = GetProfileStringA("windows", key, "", text, size);
        if (length < size - 1)
            return 1;
        if (size >= LongestWinIniLine + 2)
            return 0;
    }
}

int ReadRawValue(HKEY root, const char *subkey, const char *name, char *buffer)
{
    buffer[0] = '\0';
    RegKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, key.out()) != ERROR_SUCCESS)
        return 0;
    char value[TextSize + 1] = "";
    DWORD size = TextSize;
    if (RegQueryValueExA(key, name, nullptr, nullptr, (BYTE *)value, &size) != ERROR_SUCCESS)
        return 0;
    value[size < (DWORD)TextSize ? size : (DWORD)TextSize] = '\0';
    // A command that fills the whole buffer may go on beyond it: treat it as
    // one that does not fit rather than move half of it.
    if (strlen(value) >= (size_t)TextSize)
        return 0;
    return CopyText(buffer, TextSize, value);
}

bool ValueExists(HKEY root, const char *subkey, const char *name, REGSAM view)
{
    RegKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ | view, key.out()) != ERROR_SUCCESS)
        return false;
    return RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int ListedForm(const char *raw, size_t limit, char *buffer)
{
    char cut[TextSize];
    char unquoted[TextSize];
    CopyTextPart(cut, sizeof(cut), raw, limit);
    StripQuotes(unquoted, sizeof(unquoted), cut);
    return ToLongPathName(buffer, PathSize, unquoted);
}

bool SameCommand(const char *raw, const char *path, size_t limit)
{
    if (!raw || !path)
        return false;
    // Byte for byte: commands that differ in letter case or in "=" against
    // ":" are different commands, and each is a row of its own.
    char listed[PathSize];
    ListedForm(raw, limit, listed);
    return strcmp(listed, path) == 0;
}

bool IsParkedCopy(const char *title, const char *path, const char *link, DWORD source)
{
    if (source == SourceStartupFolder)
        return InDisabledFolder(link);
    int number = 0;
    char parking[PathSize];
    char raw[TextSize];
    if (!title || !*title || !ReadMarker(title, &number) || number != (int)source ||
        !ParkingKeyOfSource(source, parking, sizeof(parking)) ||
        !ReadRawValue(HKEY_LOCAL_MACHINE, parking, title, raw))
        return false;
    return SameCommand(raw, path, ValueTextSize - 1);
}
