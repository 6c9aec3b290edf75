// Where startup entries live and where parked ones wait: the Run-family key
// paths, the parking keys and markers, what collection records beside each
// entry, and the exact reading and writing of a value's bytes. Private to
// startup/.
#pragma once

#include "store/store.h"

#include <windows.h>
#include <stddef.h>

enum : int { RunKeyCount = 5, ValueTextSize = 256, ParkingKeyCount = 10 };
// Longest registry value taken out and given back whole, and longest
// WIN.INI line rewritten: a profile write of a longer one is not kept whole.
enum : DWORD { LongestCommand = 1024 * 1024, LongestWinIniLine = 32766 };

extern const char *const RunKeyNames[RunKeyCount];  // "Run" ... "RunServicesOnce"
extern const char CurrentVersionPath[];              // Software\Microsoft\Windows\CurrentVersion
extern const char ShellFoldersPath[];                // ...\Explorer\Shell Folders
extern const char PoliciesRunPath[];                 // ...\Policies\Explorer\Run
extern const char WinlogonPath[];                    // Software\Microsoft\Windows NT\...\Winlogon

// The registry view that Windows also starts programs from beside the
// program's own: the 32-bit view for a 64-bit build, the 64-bit view for a
// 32-bit build that runs under WOW64, none (0) where the system has one.
REGSAM OtherViewFor(int buildBits, bool wow64);
// The same for this build on this system, asked once.
REGSAM OtherRegistryView();
// The view Windows itself reads its logon and switch-off settings from: the
// 64-bit view for a 32-bit build under WOW64, else the program's own (0).
REGSAM NativeRegistryView();

// A registry key as a source names it: root, path and the view flag that
// every open, create and delete of it carries (0: the program's own view).
struct RegPlace {
    HKEY root;
    REGSAM view;
    char path[PathSize];
};
// The key of a registry source whose values are entries (1-6, 11-16, 21-25,
// 31-36); 0 for any other source, and for 31-36 where there is one view.
int SourceKey(DWORD source, RegPlace *place);
// The label of a registry source as a build of that bitness names it (the
// other view with "WOW6432Node" or "(64-bit view)"); 0 and empty for others.
int RegistrySourceLabel(DWORD source, int buildBits, char *buffer, size_t size);

// What collection records beside a startup entry (the entry's origin kind):
// found in its source, a parked value (its parking key's number in bits
// 8-15), or a file in the Disabled folder. An entry added by hand has none.
enum : DWORD {
    OriginAdded = 0,
    OriginLive = 1,
    OriginParkedValue = 2,
    OriginParkedFile = 3,
    OriginPlaceMask = 0xFF,
    // The item's name did not fit beside the entry: it cannot be acted on.
    OriginNameCut = 0x10000,
    // Windows' Task Manager has switched the live entry off.
    OriginSwitchedOff = 0x20000,
};
DWORD ParkedValueOrigin(int parkingIndex);
int OriginParkingIndex(DWORD kind);
// Folder walk tags: the Disabled folder, whose files are parked copies; a
// user's Startup folder and the machine's common one, which Windows
// switches off under different roots.
const LPARAM ParkedFileTag = 1;
const LPARAM UserStartupTag = 2;
const LPARAM CommonStartupTag = 3;

// True when a key of the other view is the very key of the program's own
// (Windows shares some keys between the views): its values are listed once.
bool SharedWithOwnView(const RegPlace &place);
// The key of a source the program moves values in and out of (SourceKey
// without HKEY_USERS); 0 for any other source.
int RunKeyOfSource(DWORD source, RegPlace *place);
// Parking keys by number: 0-4 Run ... RunServicesOnce, 5 WinLoad, 6 WinRun,
// 7 PoliciesRun, 8 WinlogonShell, 9 WinlogonUserinit.
int ParkingKeyPath(int index, char *path, size_t size);
// The parking key number of a source that can be parked; -1 for others.
int ParkingIndexOfSource(DWORD source);
// The parking key under the Disabled key of such a source.
int ParkingKeyOfSource(DWORD source, char *path, size_t size);
// True when a marker's source fits the parking key a value waits in.
bool SourceFitsParking(DWORD source, int parkingIndex);
// The name an entry's marker goes by: its title, or for an untitled file the
// file's own name. Empty when the entry has neither.
int MarkerName(const char *title, const char *link, char *buffer, size_t size);
// True when a marker of that name holds a text; *number gets its value.
bool ReadMarker(const char *name, int *number);
// True when some parking key holds a value of that name.
bool NameParked(const char *name);
// The Disabled folder beside the executable (buffer >= 512); 0 when unknown.
int DisabledFolder(char *buffer, size_t size);
// True when the folder part of a file's path is the Disabled folder.
bool InDisabledFolder(const char *file);

// A registry value as it is stored: type and bytes, in a block of its own
// with a zero byte after them.
struct RawValue {
    DWORD type = REG_NONE;
    DWORD size = 0;
    BYTE *data = nullptr;
    GlobalBlock block{nullptr};
};
// Reads a value whole; 0 when it is missing or longer than LongestCommand.
int ReadValueBytes(HKEY root, const char *subkey, const char *name, RawValue *value,
                   REGSAM view = 0);
// The same from a key the caller holds open.
int ReadOpenValueBytes(HKEY key, const char *name, RawValue *value);
// True when the value is there but longer than LongestCommand.
bool ValueOverLimit(HKEY root, const char *subkey, const char *name, REGSAM view = 0);
// Makes the value a text of the given type; 0 when no block was had.
int SetValueText(RawValue *value, DWORD type, const char *text);
// Reads a WIN.INI line of [windows] whole into a block of its own (*line
// points into it); 0 when it is longer than LongestWinIniLine, *line then
// holding as much of it as was read, or when no block was had.
int ReadWinIniLine(const char *key, GlobalBlock *block, char **line);
// Writes a value with its own type and bytes, creating the key; 1 on success.
int WriteValueBytes(HKEY root, const char *subkey, const char *name, const RawValue *value,
                    REGSAM view = 0);
// Deletes a value; 1 when it was deleted.
int DeleteValueIn(HKEY root, const char *subkey, const char *name, REGSAM view);
bool SameValueBytes(const RawValue *a, const RawValue *b);
// The value's bytes as text up to the first zero byte, as the listing takes them.
const char *ValueText(RawValue *value);
// A value's bytes as text, neither expanded nor converted (buffer 512
// bytes); 0 when the value is missing, empty or does not fit.
int ReadRawValue(HKEY root, const char *subkey, const char *name, char *buffer);
// True when the value exists, whatever its type, size or content.
bool ValueExists(HKEY root, const char *subkey, const char *name, REGSAM view = 0);
// What the listing makes of a raw text read into a buffer of limit + 1
// bytes: cut, quotes removed, a short file name made long (260 bytes).
int ListedForm(const char *raw, size_t limit, char *buffer);
// True when the raw text (a registry value of at most `limit` listed
// characters, a WIN.INI piece) is listed exactly as `path`.
bool SameCommand(const char *raw, const char *path, size_t limit);
// How a Startup-folder file is listed: title, target (Path) and Link, 260
// bytes each; 0 when the file is of no listed kind.
int DescribeStartupFile(const char *path, char *title, char *target, char *link);
// True when an entry known only by its texts and source is a parked value
// that its marker stands for.
bool IsParkedCopy(const char *title, const char *path, const char *link, DWORD source);

// The Winlogon values Shell and Userinit (sources 7, 8, 17, 18) as lists of
// items split at ",": each item's place in the text as it was read.
enum : int { WinlogonItemCount = 64, WinlogonTextSize = 4096 };
struct WinlogonList {
    RegPlace place;
    const char *name;   // "Shell" or "Userinit"
    bool shell;
    bool machine;
    bool exists;
    DWORD type;
    char text[WinlogonTextSize];
    int starts[WinlogonItemCount];
    int lengths[WinlogonItemCount];
    int count;
};
bool IsWinlogonSource(DWORD source);
// True when an item is Windows' own program for Shell (explorer.exe in the
// Windows folder) or Userinit (userinit.exe in the system folder), in any
// spelling: bare name, folder, environment variables, case, blanks, quotes.
bool IsWindowsOwnItem(const char *item, bool shell);
// Reads the value of a Winlogon source; 0 when it cannot be handled item by
// item (a missing value is an empty list).
int ReadWinlogonList(DWORD source, WinlogonList *list);
// Item `piece` as it stood (raw, OriginNameSize bytes, may be null) and
// without its surrounding blanks (512 bytes); the trimmed length.
int WinlogonItem(const WinlogonList *list, int piece, char *raw, char *trimmed);
// The foreign item an entry stands for: the one exactly `raw`, or known only
// by its listed form, the one listed as path; -1 when none is certain.
int FindWinlogonItem(const WinlogonList *list, const char *raw, const char *path);
// True when the item may leave its list without stopping a logon.
bool WinlogonCanLose(const WinlogonList *list, int piece);
// Writes the list back without one item (a user's value left with none is
// deleted); 0 when that would stop a logon or the write fails.
int WriteWinlogonWithout(const WinlogonList *list, int piece);
// Writes the list back with an item added at its end.
int AppendWinlogonItem(const WinlogonList *list, const char *item);
