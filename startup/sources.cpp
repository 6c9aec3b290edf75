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

int ParkingKeyOfSource(DWORD source, char *path, size_t size)
{
    const char *name = nullptr;
    if (source >= SourceMachineRun && source < SourceMachineRun + RunKeyCount)
        name = RunKeyNames[source - SourceMachineRun];
    else if (source >= SourceUserRun && source < SourceUserRun + RunKeyCount)
        name = RunKeyNames[source - SourceUserRun];
    else if (source == SourceWinLoad)
        name = "WinLoad";
    else if (source == SourceWinRun)
        name = "WinRun";
    if (!name)
        return 0;
    return FormatText(path, size, "%s\\%s", DisabledKeyPath, name);
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

int DisabledFolder(char *buffer, size_t size)
{
    char folder[TextSize];
    if (!ProgramDirectory(folder))
        return CopyText(buffer, size, "");
    AppendText(folder, sizeof(folder), "\\Disabled");
    return CopyText(buffer, size, folder);
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
    if (lstrcmpiA(raw, path) == 0)
        return true;
    // Compare with what the listing made of the raw text: cut to the buffer
    // it was read into, quotes gone, short names long.
    char listed[PathSize];
    ListedForm(raw, limit, listed);
    // The watch cycle hands in an entry's data-file key in place of its path,
    // with every "=" made ":"; compare both sides in that form.
    char listedKey[516];
    char pathKey[516];
    MakeRunKey(listed, listedKey);
    MakeRunKey(path, pathKey);
    return lstrcmpiA(listedKey, pathKey) == 0;
}

bool ParkedFileListsAs(const char *title, const char *path)
{
    char folder[TextSize];
    char pattern[TextSize];
    if (!title || !path || !DisabledFolder(folder, sizeof(folder)))
        return false;
    FormatText(pattern, sizeof(pattern), "%s\\*.*", folder);
    WIN32_FIND_DATAA find;
    FindHandle search(FindFirstFileA(pattern, &find));
    if (!search.valid())
        return false;
    do {
        if (find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        char file[TextSize];
        char fileTitle[PathSize];
        char target[PathSize];
        char link[PathSize];
        char listedTitle[TitleSize];
        char listedPath[PathSize];
        FormatText(file, sizeof(file), "%s\\%s", folder, find.cFileName);
        if (strlen(file) >= PathSize || !DescribeStartupFile(file, fileTitle, target, link))
            continue;
        CopyText(listedTitle, sizeof(listedTitle), fileTitle);
        ListedForm(target, TextSize - 1, listedPath);
        if (strcmp(listedTitle, title) == 0 && lstrcmpiA(listedPath, path) == 0)
            return true;
    } while (FindNextFileA(search.handle, &find));
    return false;
}

bool IsParkedCopy(const char *title, const char *path, const char *link, DWORD source)
{
    char name[PathSize];
    int number = 0;
    if (!MarkerName(title, link, name, sizeof(name)) || !ReadMarker(name, &number) ||
        number != (int)source)
        return false;

    if (source == SourceStartupFolder) {
        // A parked file is one that lies in the Disabled folder; an enabled
        // file of the same name elsewhere only shares the marker.
        int namePart = link ? FileNamePart(link) : 0;
        if (namePart < 2)
            return false;
        char folder[TextSize];
        char linkFolder[TextSize];
        char longFolder[TextSize];
        char longLinkFolder[TextSize];
        if (!DisabledFolder(folder, sizeof(folder)))
            return false;
        CopyTextPart(linkFolder, sizeof(linkFolder), link, (size_t)namePart - 1);
        ToLongPathName(longFolder, sizeof(longFolder), folder);
        ToLongPathName(longLinkFolder, sizeof(longLinkFolder), linkFolder);
        return lstrcmpiA(longFolder, longLinkFolder) == 0;
    }

    char parking[PathSize];
    char raw[TextSize];
    if (!title || !*title || !ParkingKeyOfSource(source, parking, sizeof(parking)) ||
        !ReadRawValue(HKEY_LOCAL_MACHINE, parking, title, raw))
        return false;
    return SameCommand(raw, path, ValueTextSize - 1);
}
