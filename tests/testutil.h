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

// Answers the next message box (or any dialog of class #32770 that is not a
// sheet) that appears in this process by pressing `button`, and remembers its
// caption and text. Start it before the call that shows the box.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int button, DWORD timeoutMs = 20000);
    ~BoxAnswerer();
    // Waits for the watcher to finish; true when a box was answered.
    bool Wait();
    std::string caption;
    std::string text;
    int answered = 0;

private:
    void Run();
    int button_;
    DWORD timeout_;
    DWORD threadId_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Starts a program (quoted path, then args) as a child of the test; its
// process handle, or none. *processId receives its identifier.
HANDLE StartChildProcess(const std::string &path, const char *args, DWORD *processId);
// Ends a child started above (when it still runs), waits for it and closes
// the handle.
void EndChildProcess(HANDLE process);

// --- Modal windows driven from inside their own message loop (sheet) -------
#include <functional>

// PropertySheetA, DialogBoxParamA and TrackPopupMenuEx do not return while
// their window is up, so a test arms a thread timer first: once `find`
// returns a window, `body` runs on the test thread inside the modal loop.
// When nothing appears within timeoutMs, any dialog of this thread is
// cancelled so the test cannot hang, and body is not called. Returns an id
// for CancelWindowWait, which the caller uses once the modal call returned
// (a body that never ran must not run later, in another test).
UINT_PTR WhenWindowAppears(HWND (*find)(), const std::function<void(HWND)> &body,
                           DWORD timeoutMs = 20000);
void CancelWindowWait(UINT_PTR id);
// A visible property sheet (#32770 with a SysTabControl32) of this thread.
HWND FindThreadSheet();
// A visible dialog of this thread that is not a sheet (message boxes too).
HWND FindThreadDialog();
// Opens the program's sheet at a page, runs body(sheet) once it is up and
// then closes it as the Close button does (WM_COMMAND IDCANCEL). False when
// no sheet appeared.
bool DriveSheet(HWND owner, int startPage, const std::function<void(HWND)> &body);
// Selected tab, the page window shown, a tab's title.
int SheetCurrentTab(HWND sheet);
HWND SheetCurrentPage(HWND sheet);
std::string SheetTabText(HWND sheet, int index);
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
std::string GetWinIniLine(const char *key);
// Points a Startup-type folder value of root's "Shell Folders" key at a
// folder, and the same value of "User Shell Folders" too: Wine writes the
// latter over the former whenever something asks the shell for the folder.
bool PointShellFolder(HKEY root, const char *name, const std::string &folder);
