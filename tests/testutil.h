// Shared helpers of the test programs: files, registry trees, and a watcher
// that answers the program's message boxes from a second thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

// Folder of the running test program, without a final backslash.
std::string TestDir();
// Path of a fixture program built beside the tests.
std::string FixturePath(const char *name);
// A fresh empty folder under the test folder (removed first when present).
std::string MakeScratchDir(const char *name);
void RemoveTree(const std::string &folder);
bool WriteFileBytes(const std::string &path, const std::string &bytes);
std::string ReadFileBytes(const std::string &path);
// Deletes a registry key with all its subkeys; true when it is gone.
bool DeleteRegTree(HKEY root, const char *subkey);
bool SetRegString(HKEY root, const char *subkey, const char *name, const char *value,
                  DWORD type = REG_SZ);
// The value's text, or "<missing>".
std::string GetRegString(HKEY root, const char *subkey, const char *name);
bool RegValueExists(HKEY root, const char *subkey, const char *name);
// Dispatches this thread's messages for about ms milliseconds.
void PumpMessages(DWORD ms);

// Starts a program (quoted path, then args) as a child of the test; its
// process handle, or none. *processId receives its identifier.
HANDLE StartChildProcess(const std::string &path, const char *args, DWORD *processId);
// Ends a child started above (when it still runs), waits for it and closes
// the handle.
void EndChildProcess(HANDLE process);

// --- Modal windows driven from inside their own message loop (sheet) -------
#include <functional>

// A visible property sheet (#32770 with a SysTabControl32) of this thread.
HWND FindThreadSheet();
// A visible dialog of this thread that is not a sheet (message boxes too).
HWND FindThreadDialog();
// Opens the program's sheet at a page, runs body(sheet) inside the sheet's
// own modal loop once it is up, and then closes it as the Close button does
// (WM_COMMAND IDCANCEL). False when no sheet appeared within 20 s; any dialog
// left up then is cancelled, so that a test cannot hang.
bool DriveSheet(HWND owner, int startPage, const std::function<void(HWND)> &body);
// Selected tab, the page window shown.
int SheetCurrentTab(HWND sheet);
HWND SheetCurrentPage(HWND sheet);
std::string WindowText(HWND window);
// When SENTROVIA_SHOT_DIR names a folder, writes NAME.ready into it and
// keeps dispatching messages until something outside removes that file
// (having taken a screenshot), at most 20 s. Does nothing otherwise.
void ScreenshotPoint(const char *name);

// --- Startup sources: shortcuts, saved registry values, WIN.INI lines ------
// Writes a shortcut through IShellLinkA / IPersistFile (COM initialised by
// the caller); an empty description leaves the shortcut without one.
bool CreateShortcutFile(const std::string &path, const std::string &target,
                        const char *description);
// A registry value as it was, to be put back exactly (or deleted again when
// it was missing) by RestoreRegValue.
struct SavedRegValue {
    HKEY root;
    std::string subkey, name, data;
    DWORD type = REG_NONE;
    bool existed = false;
};
SavedRegValue SaveRegValue(HKEY root, const char *subkey, const char *name);
void RestoreRegValue(const SavedRegValue &saved);
// A [windows] key of WIN.INI as it was; RestoreWinIniLine writes it back or
// deletes the key when it was missing.
struct SavedWinIniLine {
    std::string key, line;
    bool existed = false;
};
SavedWinIniLine SaveWinIniLine(const char *key);
void RestoreWinIniLine(const SavedWinIniLine &saved);
std::string GetWinIniLine(const char *key, const char *missing = "");
// Points a Startup-type folder value of root's "Shell Folders" key at a
// folder, and the same value of "User Shell Folders" too: Wine writes the
// latter over the former whenever something asks the shell for the folder.
bool PointShellFolder(HKEY root, const char *name, const std::string &folder);

// --- Running fixture programs; driving the list pages -----------------------
#include <commctrl.h>

#include <map>
#include <memory>
#include <vector>

// Fixture programs started as children of one test and ended with it. Start
// returns once the process walk reads the child's program file (just after
// CreateProcess its loader may not have got that far); none on failure.
struct ChildPrograms {
    std::vector<HANDLE> handles;
    ChildPrograms() = default;
    ChildPrograms(const ChildPrograms &) = delete;
    ChildPrograms &operator=(const ChildPrograms &) = delete;
    ~ChildPrograms();
    HANDLE Start(const std::string &path, DWORD *processId = nullptr);
};

// One row of a report-view list: its three cells, item data and image.
struct ListRow {
    std::string cells[3];
    LPARAM data = 0;
    int image = -1;
};
std::vector<ListRow> ReadListRows(HWND list);
// The first row whose cell in `column` is `text` (case ignored); -1 for none.
int FindListRow(HWND list, const std::string &text, int column = 0);
void SelectListRow(HWND list, int row);
// What a click on a button and a double click on a list row send.
void ClickButton(HWND dialog, int id);
void DoubleClickRow(HWND dialog, HWND list, int row);
// A modal dialog or message box that `action` put up on this thread,
// answered with `button`: its caption, its Static texts (joined by "\n") and
// every control's text by ID. shown stays false when none came up.
struct DialogSeen {
    bool shown = false;
    std::string caption, text;
    std::map<int, std::string> items;
};
DialogSeen DialogShownBy(int button, const std::function<void()> &action);
// Opens the program's sheet at one of its list pages and runs body(sheet,
// page, list) on it; false when no sheet with a current page came up.
bool DriveListPage(int startPage, const std::function<void(HWND, HWND, HWND)> &body);
// A string resource of the program (or its registry override).
std::string LoadedText(int id);

// --- Startup entries, and the startup sources set aside for one test -------
struct ScopedRegValue;
struct StartupRow {
    std::string title, path, link;
    DWORD source;
};
StartupRow ReadStartupRow(int index);
// The first entry with this title and path (path case ignored); -1 for none.
int FindStartupRow(const std::string &title, const std::string &path);

// While it lives, the Startup-folder values of HKLM and HKCU name an empty
// folder, WIN.INI has no run= or load=, and the program's Disabled key and
// its Disabled and Removed folders are gone. Afterwards every value written
// through Set is as it was and the keys Set had to create are gone again.
struct StartupSandbox {
    explicit StartupSandbox(const char *name);
    ~StartupSandbox();
    StartupSandbox(const StartupSandbox &) = delete;
    StartupSandbox &operator=(const StartupSandbox &) = delete;
    // A folder under the scratch folder; with a root, that root's Startup
    // folder value `value` (both Shell Folders keys) is pointed at it.
    std::string Folder(const char *name, HKEY root = nullptr, const char *value = nullptr);
    bool Set(HKEY root, const std::string &key, const char *name, const char *data,
             DWORD type = REG_SZ);
    std::string scratch, disabled, removed;
    std::vector<SavedRegValue> saved;  // put back first, in reverse
    std::vector<std::unique_ptr<ScopedRegValue>> values;
    SavedWinIniLine run, load;
};
// Checks a list's small icons: the program's own first, then one of its own
// for each row, in order (gtest assertions).
void ExpectIconPerRow(HWND list, HIMAGELIST expected);

// --- A registry value set for one scope ------------------------------------
// Sets a value (or deletes it, for a null text) for the guard's life;
// afterwards it is as it was, and a key that had to be created is gone.
struct ScopedRegValue {
    ScopedRegValue(HKEY root, const char *subkey, const char *name, const char *text,
                   DWORD type = REG_SZ);
    ~ScopedRegValue();
    ScopedRegValue(const ScopedRegValue &) = delete;
    ScopedRegValue &operator=(const ScopedRegValue &) = delete;
    SavedRegValue saved;
    std::string createdKey;  // the outermost key that was missing, or empty
    bool ok = true;          // the value was written
};

// --- Cookie folders, Netscape values and the data file set aside -----------

// While it lives, both "Cookies" folder values of the user name `folder`
// (an empty folder under the scratch folder), the Netscape values are gone
// and the data file is missing; afterwards all of it is as it was.
struct CookieSandbox {
    explicit CookieSandbox(const char *name);
    ~CookieSandbox();
    CookieSandbox(const CookieSandbox &) = delete;
    CookieSandbox &operator=(const CookieSandbox &) = delete;
    // Writes a file under the scratch folder (relative path), making the
    // folders on its way; its full path.
    std::string File(const std::string &relative, const std::string &bytes = "id=1\n");
    // A registry value for the sandbox's life (null text: deleted).
    void Set(HKEY root, const char *subkey, const char *name, const char *text);
    // [Nuts] as "count" and the texts given, written as the program writes them.
    void SetNuts(const std::vector<std::string> &nuts);
    std::string scratch, folder;
    std::vector<std::unique_ptr<ScopedRegValue>> values;
    std::string savedDataFile;
};
// Registry paths of the cookie folders and the Netscape file.
extern const char ShellFoldersKey[];
extern const char UserShellFoldersKey[];
extern const char NetscapeUsersKey[];
extern const char NetscapeAppKey[];
// A private-profile value of the data file, or "<missing>".
std::string DataFileValue(const char *section, const char *key);
bool PathExists(const std::string &path);
// The entry table's titles joined by "|".
std::string EntryTitles();

// --- Busy files and paths longer than the "A" functions take ---------------
// Starts the hold_file fixture on an existing file, which then holds it open
// without sharing; returns once the file is busy (the child's handle, for
// EndChildProcess), none on failure.
HANDLE HoldFileOpen(const std::string &path);
// Creates base\dir00001\dir00002\...\dir00015, a program folder deeper than
// the 128 characters of an OpenFile record; the deepest folder.
std::string MakeDeepFolder(const std::string &base);
// The "\\?\" form of a path (made full), for the wide functions.
std::wstring LongPathW(const std::string &path);
bool CopyFileToLongPath(const std::string &from, const std::string &to);

// --- A run of modal questions answered in turn -------------------------------
// What a dialog or message box shows, read as DialogShownBy reads it.
DialogSeen ReadDialogSeen(HWND dialog);
// Runs action; every dialog or box it puts up on this thread is read and
// answered with the next of `buttons` (after those: Yes where the window has
// it, else Cancel). `during`, when given, runs on each one before it is
// answered. What each one showed, in order.
std::vector<DialogSeen> DialogsShownBy(const std::vector<int> &buttons,
                                       const std::function<void()> &action,
                                       const std::function<void(HWND)> &during = {});
// While it lives, the Windows folder holds wininit.exe (or not) and a
// wininit.ini with the given bytes (none for a null text); afterwards both
// are as they were.
struct RestartFiles {
    RestartFiles(bool marker, const char *ini);
    ~RestartFiles();
    RestartFiles(const RestartFiles &) = delete;
    RestartFiles &operator=(const RestartFiles &) = delete;
    std::string marker, ini, savedMarker, savedIni;
};

// --- Loopback servers ---------------------------------------------------------
// Binds a stream socket to 127.0.0.1 on a free port and listens (backlog 1);
// the address it got.
sockaddr_in ListenOnLoopback(SOCKET listener);
