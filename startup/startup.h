// Startup programs: where Windows starts programs from, parking entries out of
// their source and bringing them back, and the Startup Programs page.
#pragma once

#include <windows.h>
#include <stddef.h>

// Source codes of startup entries.
enum : DWORD {
    SourceNone = 0,
    SourceMachineRun = 1,      // 1-5: HKLM Run ... RunServicesOnce
    SourceUserRun = 11,        // 11-15: HKCU
    SourceUsersRun = 21,       // 21-25: HKEY_USERS
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
int GetDisabledSource(int index);
int GetSourceLabel(int index, char *buffer);              // buffer >= 128 bytes
int ProgramDirectory(char *buffer);                       // buffer >= 512 bytes

// Taking entries out, parking and restoring them.
int RemoveStartupEntry(const char *title, const char *path, const char *link, DWORD source);
// Disables an enabled entry or enables a disabled one. 1 when the entry moved;
// 0 when it stayed where it was (also when a disable was refused, below).
int ToggleStartupEntry(const char *title, const char *path, const char *link, DWORD source);
// True when disabling an entry with this title would overwrite another
// entry's parked command (its marker exists already).
bool DisableWouldCollide(const char *title, const char *path, DWORD source);
int RemoveWinIniToken(const char *key, const char *token);
int AppendWinIniToken(const char *key, const char *token);
int SetAutorun(int on);
int CopyFileNamePart(const char *path, char *buffer, size_t size);

// The Startup Programs page (template 102).
INT_PTR CALLBACK StartupProgramsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
int FillStartupList(HWND page);
