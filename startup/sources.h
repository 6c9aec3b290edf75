// Where startup entries live and where parked ones wait: the Run-family key
// paths, the parking keys and markers, what collection records beside each
// entry, and the exact reading and writing of a value's bytes. Private to
// startup/.
#pragma once

#include "store/store.h"

#include <windows.h>
#include <stddef.h>

enum : int { RunKeyCount = 5, ValueTextSize = 256, ParkingKeyCount = 7 };
// Longest registry value taken out and given back whole, and longest
// WIN.INI line rewritten: a profile write of a longer one is not kept whole.
enum : DWORD { LongestCommand = 1024 * 1024, LongestWinIniLine = 32766 };

extern const char *const RunKeyNames[RunKeyCount];  // "Run" ... "RunServicesOnce"
extern const char CurrentVersionPath[];              // Software\Microsoft\Windows\CurrentVersion
extern const char ShellFoldersPath[];                // ...\Explorer\Shell Folders

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
};
DWORD ParkedValueOrigin(int parkingIndex);
int OriginParkingIndex(DWORD kind);
// Folder walk tag of the Disabled folder: its files are parked copies.
const LPARAM ParkedFileTag = 1;

// The Run key of a source 1-5 or 11-15; 0 for any other source.
int RunKeyOfSource(DWORD source, HKEY *root, char *path, size_t size);
// Parking keys by number: 0-4 Run ... RunServicesOnce, 5 WinLoad, 6 WinRun.
int ParkingKeyPath(int index, char *path, size_t size);
// The parking key number of a source 1-5, 11-15, 100 or 101; -1 for others.
int ParkingIndexOfSource(DWORD source);
// The parking key under the Disabled key of a source 1-5, 11-15, 100 or 101.
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
int ReadValueBytes(HKEY root, const char *subkey, const char *name, RawValue *value);
// True when the value is there but longer than LongestCommand.
bool ValueOverLimit(HKEY root, const char *subkey, const char *name);
// Makes the value a text of the given type; 0 when no block was had.
int SetValueText(RawValue *value, DWORD type, const char *text);
// Reads a WIN.INI line of [windows] whole into a block of its own (*line
// points into it); 0 when it is longer than LongestWinIniLine, *line then
// holding as much of it as was read, or when no block was had.
int ReadWinIniLine(const char *key, GlobalBlock *block, char **line);
// Writes a value with its own type and bytes, creating the key; 1 on success.
int WriteValueBytes(HKEY root, const char *subkey, const char *name, const RawValue *value);
bool SameValueBytes(const RawValue *a, const RawValue *b);
// The value's bytes as text up to the first zero byte, as the listing takes them.
const char *ValueText(RawValue *value);
// A value's bytes as text, neither expanded nor converted (buffer 512
// bytes); 0 when the value is missing, empty or does not fit.
int ReadRawValue(HKEY root, const char *subkey, const char *name, char *buffer);
// True when the value exists, whatever its type, size or content.
bool ValueExists(HKEY root, const char *subkey, const char *name);
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
