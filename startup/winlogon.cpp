// The two Winlogon values that name what runs at every logon, Shell and
// Userinit: comma-separated lists in which anything beside Windows' own
// program is a startup entry. Taking an item out rewrites the list around
// it; a value is never left in a state that would stop a logon.
#include "startup/sources.h"
#include "info/info.h"
#include "startup/startup.h"
#include "store/store.h"

#include <string.h>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Copies a piece of text without its surrounding blanks.
int CopyTrimmed(char *buffer, size_t size, const char *text, size_t length)
{
    while (length > 0 && IsBlank(*text)) {
        ++text;
        --length;
    }
    while (length > 0 && IsBlank(text[length - 1]))
        --length;
    return CopyTextPart(buffer, size, text, length);
}

// The long form of a folder, for comparing spellings of one place.
void LongFolder(const char *folder, size_t length, char *buffer)
{
    char part[TextSize];
    CopyTextPart(part, sizeof(part), folder, length);
    while (part[0] && part[strlen(part) - 1] == '\\')
        part[strlen(part) - 1] = '\0';
    ToLongPathName(buffer, TextSize, part);
}

int ItemLength(const WinlogonList *list, int piece)
{
    return list->lengths[piece];
}

// True when the list holds Windows' own item outside piece `skip`.
// True when an item starts Windows' own program, with or without arguments
// ("explorer.exe /n"). Such an item is still listed, since its arguments
// are no business of Windows', but it keeps a logon working.
bool StartsOwnProgram(const char *item, bool shell)
{
    if (IsWindowsOwnItem(item, shell))
        return true;
    char program[TextSize];
    for (const char *blank = strchr(item, ' '); blank; blank = strchr(blank + 1, ' ')) {
        CopyTextPart(program, sizeof(program), item, (size_t)(blank - item));
        if (IsWindowsOwnItem(program, shell))
            return true;
    }
    return false;
}

bool KeepsOwnItem(const WinlogonList *list, int skip)
{
    for (int i = 0; i < list->count; ++i) {
        char item[TextSize];
        CopyTextPart(item, sizeof(item), list->text + list->starts[i], (size_t)ItemLength(list, i));
        if (i != skip && StartsOwnProgram(item, list->shell))
            return true;
    }
    return false;
}

bool HoldsAnyItem(const char *text)
{
    for (; *text; ++text)
        if (!IsBlank(*text) && *text != ',')
            return true;
    return false;
}

int WriteListText(const WinlogonList *list, const char *text)
{
    RawValue value;
    if (!SetValueText(&value, list->exists && list->type == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ, text))
        return 0;
    return WriteValueBytes(list->place.root, list->place.path, list->name, &value,
                           list->place.view);
}

} // namespace

bool IsWinlogonSource(DWORD source)
{
    return source == SourceMachineShell || source == SourceMachineUserinit ||
           source == SourceUserShell || source == SourceUserUserinit;
}

bool IsWindowsOwnItem(const char *item, bool shell)
{
    char trimmed[TextSize];
    char text[TextSize];
    char expanded[TextSize];
    CopyTrimmed(trimmed, sizeof(trimmed), item, strlen(item));
    StripQuotes(text, sizeof(text), trimmed);
    DWORD length = ExpandEnvironmentStringsA(text, expanded, sizeof(expanded));
    if (length == 0 || length > sizeof(expanded))
        CopyText(expanded, sizeof(expanded), text);
    int namePart = FileNamePart(expanded);
    const char *name = expanded + namePart;
    const char *own = shell ? "explorer" : "userinit";
    char ownExe[16];
    FormatText(ownExe, sizeof(ownExe), "%s.exe", own);
    if (lstrcmpiA(name, own) != 0 && lstrcmpiA(name, ownExe) != 0)
        return false;
    if (namePart == 0)
        return true;
    char home[TextSize] = "";
    UINT homeLength = shell ? GetWindowsDirectoryA(home, PathSize) : GetSystemDirectoryA(home, PathSize);
    if (homeLength == 0 || homeLength >= PathSize)
        return false;
    char folder[TextSize];
    char ownFolder[TextSize];
    LongFolder(expanded, (size_t)namePart - 1, folder);
    LongFolder(home, homeLength, ownFolder);
    return lstrcmpiA(folder, ownFolder) == 0;
}

int ReadWinlogonList(DWORD source, WinlogonList *list)
{
    list->count = 0;
    list->exists = false;
    list->text[0] = '\0';
    if (!IsWinlogonSource(source))
        return 0;
    bool machine = source < SourceUserRun;
    list->shell = source == SourceMachineShell || source == SourceUserShell;
    list->name = list->shell ? "Shell" : "Userinit";
    list->place.root = machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    // Windows reads its logon values in its own view only.
    list->place.view = machine ? NativeRegistryView() : 0;
    list->machine = machine;
    CopyText(list->place.path, sizeof(list->place.path), WinlogonPath);
    RawValue value;
    if (!ReadValueBytes(list->place.root, WinlogonPath, list->name, &value, list->place.view))
        // A value too long to read whole is not a missing one.
        return !ValueExists(list->place.root, WinlogonPath, list->name, list->place.view);
    // Nor is one longer than the list can hold: rewritten cut, it would lose its tail.
    if (value.size >= sizeof(list->text))
        return 0;
    list->exists = true;
    list->type = value.type;
    CopyText(list->text, sizeof(list->text), ValueText(&value));
    for (const char *piece = list->text;;) {
        // Too many items to rewrite safely: those read are listed, none moves.
        if (list->count >= WinlogonItemCount)
            return 0;
        const char *end = strchr(piece, ',');
        list->starts[list->count] = (int)(piece - list->text);
        list->lengths[list->count++] = (int)(end ? (size_t)(end - piece) : strlen(piece));
        if (!end)
            break;
        piece = end + 1;
    }
    return 1;
}

int WinlogonItem(const WinlogonList *list, int piece, char *raw, char *trimmed)
{
    const char *start = list->text + list->starts[piece];
    size_t length = (size_t)ItemLength(list, piece);
    if (raw)
        CopyTextPart(raw, OriginNameSize, start, length);
    return CopyTrimmed(trimmed, TextSize, start, length);
}

int FindWinlogonItem(const WinlogonList *list, const char *raw, const char *path)
{
    int found = -1;
    for (int i = 0; i < list->count; ++i) {
        char piece[OriginNameSize];
        char item[TextSize];
        if (!WinlogonItem(list, i, piece, item) || IsWindowsOwnItem(item, list->shell))
            continue;
        if (raw && *raw) {
            if (strcmp(piece, raw) == 0)
                return i;
        } else if (path && SameCommand(item, path, TextSize - 1)) {
            char first[TextSize] = "";
            if (found >= 0)
                WinlogonItem(list, found, nullptr, first);
            if (found >= 0 && strcmp(first, item) != 0)
                return -1;
            if (found < 0)
                found = i;
        }
    }
    return found;
}

bool WinlogonCanLose(const WinlogonList *list, int piece)
{
    // The machine's value must go on naming Windows' own program; a user's
    // value may go altogether, as Windows then takes the machine's.
    return piece >= 0 && piece < list->count && (!list->machine || KeepsOwnItem(list, piece));
}

int WriteWinlogonWithout(const WinlogonList *list, int piece)
{
    if (!WinlogonCanLose(list, piece))
        return 0;
    // The piece goes with the comma after it, or the last one with the
    // comma before it; every other byte stays as it stood.
    int start = list->starts[piece];
    int end = start + ItemLength(list, piece);
    if (piece + 1 < list->count)
        ++end;
    else if (piece > 0)
        --start;
    char rest[WinlogonTextSize];
    CopyTextPart(rest, sizeof(rest), list->text, (size_t)start);
    AppendText(rest, sizeof(rest), list->text + end);
    if (!list->machine && !HoldsAnyItem(rest))
        return DeleteValueIn(list->place.root, list->place.path, list->name, list->place.view);
    return WriteListText(list, rest);
}

int AppendWinlogonItem(const WinlogonList *list, const char *item)
{
    // A machine value without Windows' own item would make this one the
    // whole logon program.
    if (list->machine && !KeepsOwnItem(list, -1))
        return 0;
    char text[WinlogonTextSize];
    CopyText(text, sizeof(text), HoldsAnyItem(list->text) ? list->text : "");
    size_t length = strlen(text);
    while (length > 0 && IsBlank(text[length - 1]))
        --length;
    // Windows writes Userinit with a final comma; a list that ends so keeps it.
    bool finalComma = length > 0 && text[length - 1] == ',';
    if (length + strlen(item) + 2 >= sizeof(text))
        return 0;
    if (length > 0 && !finalComma)
        AppendText(text, sizeof(text), ",");
    AppendText(text, sizeof(text), item);
    if (finalComma)
        AppendText(text, sizeof(text), ",");
    return WriteListText(list, text);
}
