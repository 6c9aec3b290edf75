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

int RunKeyOfSource(DWORD source, HKEY *root, char *path, size_t size)
{
    int position;
    if (source >= SourceMachineRun && source < SourceMachineRun + RunKeyCount) {
        *root = HKEY_LOCAL_MACHINE;
        position = (int)(source - SourceMachineRun);
    } else if (source >= SourceUserRun && source < SourceUserRun + RunKeyCount) {
        *root = HKEY_CURRENT_USER;
        position = (int)(source - SourceUserRun);
    } else {
        return 0;
    }
    return FormatText(path, size, "%s\\%s", CurrentVersionPath, RunKeyNames[position]);
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
        "Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce", "WinLoad", "WinRun",
    };
    if (index < 0 || index >= ParkingKeyCount)
        return 0;
    return FormatText(path, size, "%s\\%s", DisabledKeyPath, names[index]);
}

int ParkingIndexOfSource(DWORD source)
{
    if (source >= SourceMachineRun && source < SourceMachineRun + RunKeyCount)
        return (int)(source - SourceMachineRun);
    if (source >= SourceUserRun && source < SourceUserRun + RunKeyCount)
        return (int)(source - SourceUserRun);
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

int ReadValueBytes(HKEY root, const char *subkey, const char *name, RawValue *value)
{
    value->type = REG_NONE;
    value->size = 0;
    value->data = nullptr;
    RegKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, key.out()) != ERROR_SUCCESS)
        return 0;
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

bool ValueOverLimit(HKEY root, const char *subkey, const char *name)
{
    RegKey key;
    DWORD size = 0;
    return RegOpenKeyExA(root, subkey, 0, KEY_READ, key.out()) == ERROR_SUCCESS &&
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

int WriteValueBytes(HKEY root, const char *subkey, const char *name, const RawValue *value)
{
    if (!RegCreateKeyPath(root, subkey))
        return 0;
    RegKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_WRITE, key.out()) != ERROR_SUCCESS)
        return 0;
    return RegSetValueExA(key, name, 0, value->type, value->data, value->size) == ERROR_SUCCESS;
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

bool ValueExists(HKEY root, const char *subkey, const char *name)
{
    RegKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, key.out()) != ERROR_SUCCESS)
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
