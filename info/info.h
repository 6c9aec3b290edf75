// Program information: version resources, command lines to program files,
// the program information dialog with its More Info address, and the reports.
#pragma once

#include <windows.h>
#include <stddef.h>

enum : int { VersionFieldSize = 128, VersionBufferSize = 4096 };

struct VersionInfo {
    char ProductName[VersionFieldSize];
    char ProductVersion[VersionFieldSize];
    char CompanyName[VersionFieldSize];
    char FileDescription[VersionFieldSize];
    char LegalCopyright[VersionFieldSize];
};

// Reads the five texts of a file's version resource; every field is set on
// every call. True when ProductName is not empty afterwards.
bool ReadVersionInfo(const char *path, VersionInfo *info);
// The upper-case program file of a command line, file path or kernel path,
// cut to size; returns its length.
int ProgramFileFromCommand(const char *text, char *buffer, size_t size);
// The same for a running program's module path, which is a file name already:
// used whole, never cut at a dot in a folder name.
int ProgramFileFromModule(const char *moduleName, char *buffer, size_t size);
// The program file of a command as ProgramFileFromCommand finds it, after
// environment variables are expanded; when that names no existing file (a
// folder with a dot in its name, say), the first later cut at an extension
// that does. Cut to size; returns its length.
int FindProgramFile(const char *command, char *buffer, size_t size);
// Index just after the last backslash (searched from the end down to the
// second character); 0 when there is none.
int FileNamePart(const char *path);
// The running program's own ProductVersion; returns its length.
int OwnProductVersion(char *buffer, size_t size);

// ---------------------------------------------------------------------------
// Subjects handed to the modal dialogs (512 bytes each).
extern char SelectedProgramPath[512];
extern char SelectedProgramTitle[512];
extern char SelectedProgramSource[512];
void ClearSelectedProgram();

// Report and link "Type" values.
enum : int { InfoTypeStartup = 0, InfoTypeTasks = 1, InfoTypeAlert = 9 };

// The identifier sent as "&userid=": never derived from the user or machine.
int UserIdentifier(char *buffer, size_t size);
// The product-information address for a program value (already the file name
// part) with its version texts; values are percent-encoded. Returns length.
int BuildMoreInfoUrl(const char *program, const VersionInfo *info, int type,
                     char *buffer, size_t size);
// The same address for a user identifier and build read beforehand: a report
// of many programs reads the data file and its own version once, not per line.
int BuildMoreInfoUrlAs(const char *user, const char *build, const char *program,
                       const VersionInfo *info, int type, char *buffer, size_t size);
// The address for a program file read from disk, as the dialogs build it.
// A text that names no existing file is taken as a command line.
int MoreInfoUrl(const char *programPath, int type, char *buffer, size_t size);

// Tab index of the property sheet that owns a dialog; 0 when none or >= 5.
int CurrentPageIndex(HWND dialog);
// The program file an entry stands for: a running task's Path whole, any
// other entry's program file found in its command line. Returns the length.
int EntryProgramFile(int entry, const char *path, char *buffer, size_t size);
// Hands one entry (its stored Path given) to the program information dialog
// and runs it modally over owner.
void ShowEntryProgramInfo(HWND owner, int entry, const char *path);
// Fills the path (1026), icon (117) and version lines (100, 1029-1032) of a
// dialog about SelectedProgramPath, keeping the template's wording for
// missing values; ReleaseProgramIcon destroys the icon on WM_DESTROY.
void ShowProgramDetails(HWND dialog, const VersionInfo *info);
void ReleaseProgramIcon(HWND dialog);
// Dialog procedure of the program information dialog (template 121).
INT_PTR CALLBACK ProgramInfoDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------
// Reports, written into the current directory.
enum : int { ReportStartup = 0, ReportTasks = 1 };
// Writes and opens "Report.html" for kind 0 (startup) or 1 (tasks); 1, or
// 0 when the file cannot be created and the user has been told.
int WriteFullReport(int kind);
// Tells the user that a report file could not be created, with its path.
void TellReportNotCreated(const char *fileName);
// Writes the report into a named file without opening it (the body of
// WriteFullReport); 1 when the file was written.
int WriteFullReportFile(int kind, const char *fileName);
// Escapes a text for HTML element content or a quoted attribute value.
int HtmlEscape(const char *text, char *buffer, size_t size);

// The text report: every cookie file, freshly collected, in "Report.txt",
// opened in Notepad; 1, or 0 when the file cannot be created and the user
// has been told.
int WriteCookieTextReport();
// Writes the text report into a named file without opening it (the body of
// WriteCookieTextReport); 1 when the file was written.
int WriteCookieTextReportFile(const char *fileName);
