// Startup programs: where Windows starts programs from, parking entries out of
// their source and bringing them back, and the Startup Programs page.
#pragma once

#include "store/store.h"

#include <windows.h>
#include <stddef.h>

// Source codes of startup entries.
enum : DWORD {
    SourceNone = 0,
    SourceMachineRun = 1,      // 1-5: HKLM Run ... RunServicesOnce
    SourceMachinePolicies = 6, // HKLM Policies\Explorer\Run
    SourceMachineShell = 7,    // HKLM Winlogon Shell, one entry per foreign item
    SourceMachineUserinit = 8, // HKLM Winlogon Userinit
    SourceUserRun = 11,        // 11-15: HKCU
    SourceUserPolicies = 16,
    SourceUserShell = 17,
    SourceUserUserinit = 18,
    SourceUsersRun = 21,       // 21-25: HKEY_USERS
    SourceOtherRun = 31,       // 31-35: HKLM Run keys of the other registry view
    SourceOtherPolicies = 36,  // HKLM Policies\Explorer\Run of the other view
    SourceWinLoad = 100,
    SourceWinRun = 101,
    SourceStartupFolder = 200,
    SourceCookie = 500,
    SourceNut = 503,
    SourceTask = 600,
};

// Folder walk mode read by AddFolderFile: 1 startup files, 2 cookie files.
extern int FolderWalkMode;
typedef void (*FolderCallback)(const char *path, const WIN32_FIND_DATAA *find, LPARAM tag);

// The texts and the source of one entry as the table holds them.
struct StartupEntry {
    char title[TitleSize];
    char path[PathSize];
    char link[PathSize];
    DWORD source;
};
void ReadStartupEntry(int index, StartupEntry *entry);
// True while the table still holds the same entry at that index: a page
// opened meanwhile may have refilled it.
bool StartupEntryStillAt(int index, const StartupEntry *entry);

int CollectStartupEntries();
void CollectRunKeyEntries();
void CollectWinIniEntries();
void CollectStartupFolderEntries();
void CollectDisabledEntries();
// Walks one folder (its text must be writable, 260 bytes, a backslash is
// appended in place); depth 0 does not enter subfolders itself.
void WalkFolder(char *folder, FolderCallback callback, int depth, LPARAM tag);
void AddFolderFile(const char *path, const WIN32_FIND_DATAA *find, LPARAM tag);
// Resolves a shortcut; target and description (260 bytes each) are empty on failure.
HRESULT ResolveShortcut(HWND owner, const char *shortcut, char *target, char *description);
int GetFileDescription(const char *path, char *buffer);   // buffer 128 bytes
// For a parked copy, the source its marker records (200 for a file in the
// Disabled folder); 0 for an entry found in a live source, whatever markers
// of its title exist.
int GetDisabledSource(int index);
// True when entry k is a parked copy (a parked value or a file in the
// Disabled folder): the one state shown as disabled.
bool IsStartupEntryParked(int index);
// "* Disabled " for a parked copy ("* Switched off by Windows " for an entry
// Windows has switched off), then where the entry starts from.
// True when Windows' Task Manager has switched live entry k off (an odd
// first byte under Explorer\StartupApproved); the entry is still listed and
// watched like any other.
bool IsStartupEntrySwitchedOff(int index);
int GetSourceLabel(int index, char *buffer);              // buffer >= 128 bytes
int ProgramDirectory(char *buffer);                       // buffer >= 512 bytes

// Taking entries out, parking and restoring them, acting on entry k of the
// table as it was collected: exactly the item its row shows (a registry
// value by its whole name, the WIN.INI piece as it stood, the file), whose
// bytes and type are parked and given back unchanged. 0 when nothing was
// done: the entry allows no such action (StartupEntryActions), changed
// since it was listed, or cannot be told apart from another.
int RemoveStartupEntryAt(int index);
// Disables an enabled entry or enables a parked copy; 1 when it moved.
int ToggleStartupEntryAt(int index);
enum : int { StartupCanRemove = 1, StartupCanToggle = 2 };
// What entry k allows, a combination of the two flags above.
int StartupEntryActions(int index);
// Whether entry k's item is longer than can be taken out and given back
// whole: its registry value, or the WIN.INI line that holds it.
enum : int { StartupFits = 0, StartupValueTooLong = 1, StartupLineTooLong = 2 };
int StartupEntryOverLimit(int index);
// The command to find entry k's program file in: its Path, or for a
// command that stood in quotes, the quoted program (expanded when the
// value's type asks for it).
int StartupEntryCommand(int index, char *buffer, size_t size);
// True when disabling entry k would overwrite another entry's parked
// command (a parked value of its name, a parked file of its file name).
bool DisableWouldCollideAt(int index);
// The same, for callers that hold only an entry's texts and source: the item
// they stand for is looked up, and nothing is done when that is not certain.
// RemoveStartupEntry answers 1 for sources other than the Run keys.
int RemoveStartupEntry(const char *title, const char *path, const char *link, DWORD source);
int ToggleStartupEntry(const char *title, const char *path, const char *link, DWORD source);
int RemoveWinIniToken(const char *key, const char *token);
int AppendWinIniToken(const char *key, const char *token);
int SetAutorun(int on);
int CopyFileNamePart(const char *path, char *buffer, size_t size);

// The Startup Programs page (template 102).
INT_PTR CALLBACK StartupProgramsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
int FillStartupList(HWND page);
