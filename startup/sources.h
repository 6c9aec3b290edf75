// Where startup entries live and where parked ones wait: the Run-family key
// paths, the parking keys and markers, and how a parked copy is told apart
// from an enabled entry that only shares its title. Private to startup/.
#pragma once

#include <windows.h>
#include <stddef.h>

enum : int { RunKeyCount = 5, ValueTextSize = 256 };

extern const char *const RunKeyNames[RunKeyCount];  // "Run" ... "RunServicesOnce"
extern const char CurrentVersionPath[];              // Software\Microsoft\Windows\CurrentVersion
extern const char ShellFoldersPath[];                // ...\Explorer\Shell Folders

// The Run key of a source 1-5 or 11-15; 0 for any other source.
int RunKeyOfSource(DWORD source, HKEY *root, char *path, size_t size);
// The parking key under the Disabled key of a source 1-5, 11-15, 100 or 101.
int ParkingKeyOfSource(DWORD source, char *path, size_t size);
// The name an entry's marker goes by: its title, or for an untitled file the
// file's own name. Empty when the entry has neither.
int MarkerName(const char *title, const char *link, char *buffer, size_t size);
// True when a marker of that name holds a text; *number gets its value.
bool ReadMarker(const char *name, int *number);
// The Disabled folder beside the executable (buffer >= 512); 0 when unknown.
int DisabledFolder(char *buffer, size_t size);
// A value's bytes as text, neither expanded nor converted (buffer 512
// bytes); 0 when the value is missing, empty or does not fit.
int ReadRawValue(HKEY root, const char *subkey, const char *name, char *buffer);
// True when the value exists, whatever its type, size or content.
bool ValueExists(HKEY root, const char *subkey, const char *name);
// What the listing makes of a raw text read into a buffer of limit + 1
// bytes: cut, quotes removed, a short file name made long (260 bytes).
int ListedForm(const char *raw, size_t limit, char *buffer);
// True when the raw text (a registry value of at most `limit` listed
// characters, a WIN.INI piece) is the command an entry shows as `path`.
bool SameCommand(const char *raw, const char *path, size_t limit);
// How a Startup-folder file is listed: title, target (Path) and Link, 260
// bytes each; 0 when the file is of no listed kind.
int DescribeStartupFile(const char *path, char *title, char *target, char *link);
// True when a file in the Disabled folder is listed with this title and path.
bool ParkedFileListsAs(const char *title, const char *path);
// True when the entry is the parked copy that its marker stands for.
bool IsParkedCopy(const char *title, const char *path, const char *link, DWORD source);
