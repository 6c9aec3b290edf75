// Taking startup entries out of their sources for good, parking them where
// Windows does not look and bringing them back, and the program's own
// autorun value. A command is never in neither place: its other copy is
// written before it leaves where it is, and a failed write leaves it there.
// Each operation touches the one item an entry was listed from and gives
// back exactly the bytes it took; when it cannot be sure which item that
// is, or the item changed since it was listed, it does nothing.
#include "info/info.h"
#include "startup/sources.h"
#include "startup/startup.h"
#include "store/store.h"

#include <string.h>

namespace {

const char WindowsSection[] = "windows";

// A source whose entries are whole values of a key the program can reach.
bool IsRunSource(DWORD source)
{
    RegPlace place;
    return RunKeyOfSource(source, &place) != 0;
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

// A marker is shared by every parked value of its name; it goes with the last.
void DeleteMarkerIfUnused(const char *name)
{
    if (!NameParked(name))
        DeleteMarker(name);
}

// Startup-folder files are parked by where they lie. A marker that an earlier
// version wrote for one ("200") stands for nothing now and goes with it.
void DeleteFileMarker(const char *title, const char *link)
{
    char name[PathSize];
    int number = 0;
    if (MarkerName(title, link, name, sizeof(name)) && ReadMarker(name, &number) &&
        number == (int)SourceStartupFolder && !NameParked(name))
        DeleteMarker(name);
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

// A WIN.INI line split at ";" in place; runs of separators give no pieces.
// A line cut on reading would lose its tail when written back, so one
// longer than LongestWinIniLine is never split.
struct WinIniLine {
    GlobalBlock textBlock{nullptr};
    GlobalBlock pieceBlock{nullptr};
    char *text = nullptr;
    char **pieces = nullptr;
    int count = 0;
};

bool ReadWinIniPieces(const char *key, WinIniLine *line)
{
    line->count = 0;
    if (!ReadWinIniLine(key, &line->textBlock, &line->text))
        return false;
    line->pieceBlock.block = GlobalAlloc(GMEM_FIXED, (strlen(line->text) / 2 + 1) * sizeof(char *));
    line->pieces = (char **)line->pieceBlock.block;
    if (!line->pieces)
        return false;
    for (char *piece = strtok(line->text, ";"); piece; piece = strtok(nullptr, ";"))
        line->pieces[line->count++] = piece;
    return true;
}

// The piece an entry was listed from: the first that is byte for byte the
// piece as it stood; known only by its listed form, the one piece listed so
// (or the first of several identical ones). -1 when none is, or when pieces
// that differ are listed alike.
int FindPiece(const WinIniLine *line, const char *raw, const char *path)
{
    int found = -1;
    for (int i = 0; i < line->count; ++i) {
        const char *piece = line->pieces[i];
        if (raw && *raw) {
            if (strcmp(piece, raw) == 0)
                return i;
        } else if (path && SameCommand(piece, path, TextSize - 1)) {
            if (found >= 0 && strcmp(line->pieces[found], piece) != 0)
                return -1;
            if (found < 0)
                found = i;
        }
    }
    return found;
}

// Writes the line back without piece `skip` (-1 keeps all), each piece
// followed by ";".
int WriteWinIniPieces(const char *key, const WinIniLine *line, int skip)
{
    size_t size = 1;
    for (int i = 0; i < line->count; ++i)
        size += strlen(line->pieces[i]) + 1;
    GlobalBlock block(GlobalAlloc(GMEM_FIXED, size));
    char *kept = (char *)block.block;
    if (!kept)
        return 0;
    size_t used = 0;
    for (int i = 0; i < line->count; ++i) {
        if (i == skip)
            continue;
        size_t length = strlen(line->pieces[i]);
        memcpy(kept + used, line->pieces[i], length);
        kept[used + length] = ';';
        used += length + 1;
    }
    kept[used] = '\0';
    ClearWinIniReadOnly();
    return WriteProfileStringA(WindowsSection, key, kept);
}

bool LineHoldsPiece(const char *key, const char *raw)
{
    WinIniLine line;
    return ReadWinIniPieces(key, &line) && FindPiece(&line, raw, nullptr) >= 0;
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

// Takes a Startup-folder file away: a shortcut to a known program is
// deleted, the program staying. A shortcut whose target is unknown is named
// to the user by itself, so it is moved to the Removed folder like a
// program (or a folder that passes for one).
bool RemoveStartupFile(const char *link, const char *target)
{
    if (!link || !*link)
        return true;
    DWORD attributes = GetFileAttributesA(link);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    size_t length = strlen(link);
    bool shortcut = length >= 3 && lstrcmpiA(link + length - 3, "lnk") == 0 &&
                    !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (shortcut && target && *target)
        return ForceDeleteFile(link) != 0;
    return MoveToRemoved(link);
}

// One startup entry as the operations take it: its texts and source, the
// item's own name (a registry value's whole name, a WIN.INI piece as it
// stood; for a WIN.INI entry known only by its texts, empty) and where it
// was found (an origin kind).
struct Subject {
    char title[TitleSize];
    char path[PathSize];
    char link[PathSize];
    DWORD source;
    char name[OriginNameSize];
    DWORD kind;
};

DWORD PlaceOf(const Subject &s)
{
    return s.kind & OriginPlaceMask;
}

// True when the value holds a command listed exactly as path.
bool ValueListsAs(HKEY root, const char *key, const char *name, const char *path, REGSAM view = 0)
{
    RawValue value;
    return ReadValueBytes(root, key, name, &value, view) &&
           SameCommand(ValueText(&value), path, ValueTextSize - 1);
}

bool PlaceListsAs(const RegPlace &place, const char *name, const char *path)
{
    return ValueListsAs(place.root, place.path, name, path, place.view);
}

// The Run value an entry known only by its texts stands for. A title
// shorter than its field is the whole name; a full one may be a longer name
// cut, and names the one value whose name begins so and whose command is
// listed as path.
bool FindRunValueName(const char *title, const char *path, DWORD source, char *name)
{
    RegPlace run;
    if (!*title || !RunKeyOfSource(source, &run))
        return false;
    if (strlen(title) < (size_t)TitleSize - 1)
        return CopyText(name, OriginNameSize, title) > 0;
    RegKey key;
    if (RegOpenKeyExA(run.root, run.path, 0, KEY_READ | run.view, key.out()) != ERROR_SUCCESS)
        return false;
    int found = 0;
    for (DWORD index = 0;; ++index) {
        char candidate[OriginNameSize];
        DWORD size = sizeof(candidate);
        LONG result = RegEnumValueA(key, index, candidate, &size, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || strncmp(candidate, title, TitleSize - 1) != 0 ||
            !PlaceListsAs(run, candidate, path))
            continue;
        if (++found > 1)
            return false;
        CopyText(name, OriginNameSize, candidate);
    }
    return found == 1;
}

bool LineListsPieceAs(const char *key, const char *path)
{
    WinIniLine line;
    return ReadWinIniPieces(key, &line) && FindPiece(&line, nullptr, path) >= 0;
}

// Which item an entry known only by its four texts and source is. False
// when there is none, or when a parked copy and a live item fit alike.
bool SubjectFromTexts(const char *title, const char *path, const char *link, DWORD source,
                      Subject *s)
{
    CopyText(s->title, sizeof(s->title), title);
    CopyText(s->path, sizeof(s->path), path);
    CopyText(s->link, sizeof(s->link), link);
    s->source = source;
    s->name[0] = '\0';
    s->kind = OriginLive;
    if (source == SourceStartupFolder) {
        if (InDisabledFolder(link))
            s->kind = OriginParkedFile;
        return true;
    }
    bool parked = IsParkedCopy(title, path, link, source);
    const char *key = WinIniKeyOfSource(source);
    if (parked) {
        RegPlace run;
        WinlogonList list;
        if (key ? LineListsPieceAs(key, path)
            : IsWinlogonSource(source)
                ? ReadWinlogonList(source, &list) && FindWinlogonItem(&list, nullptr, path) >= 0
                : RunKeyOfSource(source, &run) && PlaceListsAs(run, title, path))
            return false;
        s->kind = ParkedValueOrigin(ParkingIndexOfSource(source));
        return CopyText(s->name, sizeof(s->name), title) > 0;
    }
    if (IsRunSource(source))
        return FindRunValueName(title, path, source, s->name);
    return key != nullptr || IsWinlogonSource(source);
}

bool SubjectFromEntry(int index, Subject *s)
{
    if (index < 0 || index >= EntryCount)
        return false;
    GetEntryTitle(index, s->title);
    GetEntryPath(index, s->path);
    GetEntryLink(index, s->link);
    s->source = GetEntrySource(index);
    s->kind = GetEntryOrigin(index, s->name);
    if (s->kind == OriginAdded) {
        Subject texts;
        if (!SubjectFromTexts(s->title, s->path, s->link, s->source, &texts))
            return false;
        *s = texts;
    }
    return (s->kind & OriginNameCut) == 0;
}

// The item of a live Winlogon entry, in its list as it stands now; -1 when
// it is gone or may not leave.
int LiveWinlogonItem(const Subject &s, WinlogonList *list)
{
    if (!ReadWinlogonList(s.source, list))
        return -1;
    int piece = FindWinlogonItem(list, s.name, s.path);
    return WinlogonCanLose(list, piece) ? piece : -1;
}

int SubjectActions(const Subject &s)
{
    if (PlaceOf(s) == OriginParkedValue) {
        // Only a marker that still names a home this parking key serves
        // tells where the value goes back to.
        int number = 0;
        // The other view's keys are no home where the system has one view.
        bool home = s.name[0] && ReadMarker(s.name, &number) && (DWORD)number == s.source &&
                    SourceFitsParking(s.source, OriginParkingIndex(s.kind)) &&
                    (IsRunSource(s.source) || WinIniKeyOfSource(s.source) ||
                     IsWinlogonSource(s.source));
        return s.name[0] ? StartupCanRemove | (home ? StartupCanToggle : 0) : 0;
    }
    WinlogonList list;
    bool known = s.source == SourceStartupFolder ? s.link[0] != '\0'
                 : IsRunSource(s.source)         ? s.name[0] != '\0'
                 : WinIniKeyOfSource(s.source)   ? s.title[0] != '\0'
                 : IsWinlogonSource(s.source)    ? s.title[0] && LiveWinlogonItem(s, &list) >= 0
                                                 : false;
    return known ? StartupCanRemove | StartupCanToggle : 0;
}

bool FileThere(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

int DisableRunValue(const Subject &s)
{
    RegPlace run;
    char parking[PathSize];
    RawValue value;
    if (!RunKeyOfSource(s.source, &run) || !ParkingKeyOfSource(s.source, parking, sizeof(parking)))
        return 0;
    // Park what the key holds now, byte for byte and with its type, and only
    // while it is still the command the row shows.
    if (!ReadValueBytes(run.root, run.path, s.name, &value, run.view) ||
        !SameCommand(ValueText(&value), s.path, ValueTextSize - 1) || NameParked(s.name))
        return 0;
    if (!WriteValueBytes(HKEY_LOCAL_MACHINE, parking, s.name, &value))
        return 0;
    if (!WriteMarker(s.name, s.source)) {
        RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, s.name);
        return 0;
    }
    if (!DeleteValueIn(run.root, run.path, s.name, run.view)) {
        DeleteMarker(s.name);
        RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, s.name);
        return 0;
    }
    return 1;
}

int EnableRunValue(const Subject &s)
{
    RegPlace run;
    char parking[PathSize];
    RawValue parked;
    RawValue current;
    if (!RunKeyOfSource(s.source, &run) ||
        !ParkingKeyPath(OriginParkingIndex(s.kind), parking, sizeof(parking)) ||
        !ReadValueBytes(HKEY_LOCAL_MACHINE, parking, s.name, &parked) ||
        !SameCommand(ValueText(&parked), s.path, ValueTextSize - 1))
        return 0;
    // A value of that name that came back meanwhile is never overwritten;
    // holding exactly the parked bytes, the two are one command.
    if (ReadValueBytes(run.root, run.path, s.name, &current, run.view)) {
        if (!SameValueBytes(&current, &parked))
            return 0;
    } else if (ValueExists(run.root, run.path, s.name, run.view) ||
               !WriteValueBytes(run.root, run.path, s.name, &parked, run.view)) {
        return 0;
    }
    RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, s.name);
    DeleteMarkerIfUnused(s.name);
    return 1;
}

// Parks one item of a list (a WIN.INI line, a Winlogon value) under the
// entry's title with its marker, before the item leaves its list.
int ParkListItem(const Subject &s, const char *parking, const char *item)
{
    if (NameParked(s.title))
        return 0;
    RawValue value;
    if (!SetValueText(&value, REG_SZ, item) ||
        !WriteValueBytes(HKEY_LOCAL_MACHINE, parking, s.title, &value))
        return 0;
    if (!WriteMarker(s.title, s.source)) {
        RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, s.title);
        return 0;
    }
    return 1;
}

void UnparkListItem(const Subject &s, const char *parking)
{
    DeleteMarker(s.title);
    RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, s.title);
}

int DisableWinIniPiece(const Subject &s)
{
    const char *key = WinIniKeyOfSource(s.source);
    char parking[PathSize];
    WinIniLine line;
    if (!key || !ParkingKeyOfSource(s.source, parking, sizeof(parking)) ||
        !ReadWinIniPieces(key, &line))
        return 0;
    int piece = FindPiece(&line, s.name, s.path);
    // The piece is parked as it stood: quotes, short names and all.
    if (piece < 0 || !ParkListItem(s, parking, line.pieces[piece]))
        return 0;
    if (!WriteWinIniPieces(key, &line, piece)) {
        UnparkListItem(s, parking);
        return 0;
    }
    return 1;
}

int EnableWinIniPiece(const Subject &s)
{
    const char *key = WinIniKeyOfSource(s.source);
    char parking[PathSize];
    RawValue parked;
    if (!key || !ParkingKeyPath(OriginParkingIndex(s.kind), parking, sizeof(parking)) ||
        !ReadValueBytes(HKEY_LOCAL_MACHINE, parking, s.name, &parked))
        return 0;
    // A piece never holds ";", and an empty one is no command.
    const char *token = ValueText(&parked);
    if (!*token || strchr(token, ';') || !SameCommand(token, s.path, ValueTextSize - 1))
        return 0;
    // The parked copy goes only once exactly its piece stands in the line.
    if (!LineHoldsPiece(key, token) &&
        (!AppendWinIniToken(key, token) || !LineHoldsPiece(key, token)))
        return 0;
    RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, s.name);
    DeleteMarkerIfUnused(s.name);
    return 1;
}

// True when the list holds exactly that item, blanks around it aside.
bool ListHoldsItem(const WinlogonList *list, const char *item)
{
    for (int i = 0; i < list->count; ++i) {
        char piece[TextSize];
        WinlogonItem(list, i, nullptr, piece);
        if (strcmp(piece, item) == 0)
            return true;
    }
    return false;
}

int DisableWinlogonItem(const Subject &s)
{
    char parking[PathSize];
    WinlogonList list;
    if (!ParkingKeyOfSource(s.source, parking, sizeof(parking)) ||
        !ReadWinlogonList(s.source, &list))
        return 0;
    int piece = FindWinlogonItem(&list, s.name, s.path);
    char item[TextSize];
    if (piece < 0 || !WinlogonCanLose(&list, piece) || !WinlogonItem(&list, piece, nullptr, item) ||
        !ParkListItem(s, parking, item))
        return 0;
    if (!WriteWinlogonWithout(&list, piece)) {
        UnparkListItem(s, parking);
        return 0;
    }
    return 1;
}

int EnableWinlogonItem(const Subject &s)
{
    char parking[PathSize];
    RawValue parked;
    WinlogonList list;
    if (!ParkingKeyPath(OriginParkingIndex(s.kind), parking, sizeof(parking)) ||
        !ReadValueBytes(HKEY_LOCAL_MACHINE, parking, s.name, &parked) ||
        !ReadWinlogonList(s.source, &list))
        return 0;
    const char *item = ValueText(&parked);
    if (!*item || strchr(item, ',') || !SameCommand(item, s.path, ValueTextSize - 1))
        return 0;
    // The parked copy goes only once its item stands in the list again.
    if (!ListHoldsItem(&list, item) &&
        (!AppendWinlogonItem(&list, item) || !ReadWinlogonList(s.source, &list) ||
         !ListHoldsItem(&list, item)))
        return 0;
    RegDeleteValueName(HKEY_LOCAL_MACHINE, parking, s.name);
    DeleteMarkerIfUnused(s.name);
    return 1;
}

int DisableStartupFile(const Subject &s)
{
    char folder[TextSize];
    char parked[TextSize];
    if (!s.link[0] || !FileThere(s.link) || InDisabledFolder(s.link) ||
        !SideFolder("Disabled", folder) || !PlaceInFolder(folder, s.link, parked))
        return 0;
    // A file of that name parked before keeps its place.
    return !FileThere(parked) && MoveFileA(s.link, parked);
}

int EnableStartupFile(const Subject &s)
{
    // Back into the machine's Startup folder, whichever one it came from.
    char folder[TextSize];
    char target[TextSize];
    if (!s.link[0] || !InDisabledFolder(s.link) ||
        (!RegReadString(HKEY_LOCAL_MACHINE, ShellFoldersPath, "Startup", folder) &&
         !RegReadString(HKEY_LOCAL_MACHINE, ShellFoldersPath, "Common Startup", folder)) ||
        !PlaceInFolder(folder, s.link, target) || FileThere(target) || !MoveFileA(s.link, target))
        return 0;
    DeleteFileMarker(s.title, s.link);
    return 1;
}

int ToggleSubject(const Subject &s)
{
    if (!(SubjectActions(s) & StartupCanToggle))
        return 0;
    switch (PlaceOf(s)) {
    case OriginParkedFile: return EnableStartupFile(s);
    case OriginParkedValue:
        return IsRunSource(s.source)        ? EnableRunValue(s)
               : IsWinlogonSource(s.source) ? EnableWinlogonItem(s)
                                            : EnableWinIniPiece(s);
    default: break;
    }
    if (s.source == SourceStartupFolder)
        return DisableStartupFile(s);
    return IsRunSource(s.source)        ? DisableRunValue(s)
           : IsWinlogonSource(s.source) ? DisableWinlogonItem(s)
                                        : DisableWinIniPiece(s);
}

// Takes the item out; with `exact`, a registry value only while it still
// holds the command the row shows.
int RemoveSubject(const Subject &s, bool exact)
{
    if (!(SubjectActions(s) & StartupCanRemove))
        return 0;
    HKEY root = HKEY_LOCAL_MACHINE;
    char key[PathSize];
    if (PlaceOf(s) == OriginParkedValue) {
        if (!ParkingKeyPath(OriginParkingIndex(s.kind), key, sizeof(key)) ||
            (exact && !ValueListsAs(root, key, s.name, s.path)) ||
            !RegDeleteValueName(root, key, s.name))
            return 0;
        DeleteMarkerIfUnused(s.name);
        return 1;
    }
    if (s.source == SourceStartupFolder) {
        if (!FileThere(s.link) || !RemoveStartupFile(s.link, s.path))
            return 0;
        if (PlaceOf(s) == OriginParkedFile)
            DeleteFileMarker(s.title, s.link);
        return 1;
    }
    RegPlace run;
    if (RunKeyOfSource(s.source, &run)) {
        if (exact && !PlaceListsAs(run, s.name, s.path))
            return 0;
        return DeleteValueIn(run.root, run.path, s.name, run.view);
    }
    if (IsWinlogonSource(s.source)) {
        WinlogonList list;
        int piece = LiveWinlogonItem(s, &list);
        return piece >= 0 && WriteWinlogonWithout(&list, piece);
    }
    const char *lineKey = WinIniKeyOfSource(s.source);
    WinIniLine line;
    if (!lineKey || !ReadWinIniPieces(lineKey, &line))
        return 0;
    int piece = FindPiece(&line, s.name, s.path);
    return piece >= 0 && WriteWinIniPieces(lineKey, &line, piece);
}

} // namespace

int RemoveStartupEntryAt(int index)
{
    Subject s;
    return SubjectFromEntry(index, &s) ? RemoveSubject(s, true) : 0;
}

int ToggleStartupEntryAt(int index)
{
    Subject s;
    return SubjectFromEntry(index, &s) ? ToggleSubject(s) : 0;
}

int StartupEntryActions(int index)
{
    Subject s;
    return SubjectFromEntry(index, &s) ? SubjectActions(s) : 0;
}

int StartupEntryOverLimit(int index)
{
    Subject s;
    if (!SubjectFromEntry(index, &s))
        return StartupFits;
    RegPlace key = {HKEY_LOCAL_MACHINE, 0, ""};
    bool parked = PlaceOf(s) == OriginParkedValue;
    if ((parked ? ParkingKeyPath(OriginParkingIndex(s.kind), key.path, sizeof(key.path))
                : RunKeyOfSource(s.source, &key)) &&
        ValueOverLimit(key.root, key.path, s.name, key.view))
        return StartupValueTooLong;
    const char *lineKey = WinIniKeyOfSource(s.source);
    GlobalBlock block(nullptr);
    char *line = nullptr;
    if (lineKey && !ReadWinIniLine(lineKey, &block, &line) && line)
        return StartupLineTooLong;
    return StartupFits;
}

bool DisableWouldCollideAt(int index)
{
    Subject s;
    if (!SubjectFromEntry(index, &s) || PlaceOf(s) != OriginLive)
        return false;
    if (s.source == SourceStartupFolder) {
        char folder[TextSize];
        char parked[TextSize];
        return s.link[0] && DisabledFolder(folder, sizeof(folder)) &&
               PlaceInFolder(folder, s.link, parked) && FileThere(parked) &&
               lstrcmpiA(parked, s.link) != 0;
    }
    if (IsRunSource(s.source))
        return NameParked(s.name);
    return (WinIniKeyOfSource(s.source) || IsWinlogonSource(s.source)) && NameParked(s.title);
}

int RemoveStartupEntry(const char *title, const char *path, const char *link, DWORD source)
{
    bool registry = IsRunSource(source) || IsWinlogonSource(source);
    if (!registry && !WinIniKeyOfSource(source) && source != SourceStartupFolder)
        return 1;
    Subject s;
    bool known = title && path && SubjectFromTexts(title, path, link ? link : "", source, &s);
    int removed = known ? RemoveSubject(s, false) : 0;
    return registry ? removed : 1;
}

int ToggleStartupEntry(const char *title, const char *path, const char *link, DWORD source)
{
    Subject s;
    if (!title || !path || !SubjectFromTexts(title, path, link ? link : "", source, &s))
        return 0;
    return ToggleSubject(s);
}

int RemoveWinIniToken(const char *key, const char *token)
{
    WinIniLine line;
    if (!ReadWinIniPieces(key, &line))
        return 0;
    int piece = FindPiece(&line, token, nullptr);
    if (piece < 0)
        piece = FindPiece(&line, nullptr, token);
    return WriteWinIniPieces(key, &line, piece);
}

int AppendWinIniToken(const char *key, const char *token)
{
    GlobalBlock block(nullptr);
    char *line = nullptr;
    if (!ReadWinIniLine(key, &block, &line))
        return 0;
    // A longer line could not be read back whole.
    size_t size = strlen(line) + 1 + strlen(token) + 1;
    if (size > LongestWinIniLine + 1)
        return 0;
    GlobalBlock joined(GlobalAlloc(GMEM_FIXED, size));
    char *text = (char *)joined.block;
    if (!text)
        return 0;
    CopyText(text, size, line);
    AppendText(text, size, ";");
    AppendText(text, size, token);
    ClearWinIniReadOnly();
    return WriteProfileStringA(WindowsSection, key, text);
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
