// The application shell: the main window and its commands, the tray icon,
// the property sheet and what every page and dialog shares, message boxes,
// list-view helpers, the Options and About pages and the web page opener.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <stddef.h>

// ---------------------------------------------------------------------------
// Commands of the main window and the tray icon's identifiers.
enum : UINT {
    IDM_INIT = 6025,
    IDM_STARTUP = 6026,
    IDM_ABOUT = 6027,
    IDM_COOKIES = 6028,
    IDM_TASKS = 6029,
    IDM_EXIT = 6030,
    IDM_AUTORUN = 6031,
    IDM_DOMAIN = 6032,
    IDM_OPTIONS = 6033,
    IDM_RESTART = 6034,
    WM_TRAYNOTIFY = 6035,
    TRAY_ICON_ID = 6036,
    WATCH_TIMER_ID = 1,
};

// Property sheet page indexes (start-page argument of ShowPropertySheet).
enum : int {
    PageStartup = 0, PageTasks = 1, PageCookies = 2,
    PageDomain = 3, PageOptions = 4, PageAbout = 5, PageCount = 6,
};

// ---------------------------------------------------------------------------
// State of the shell.
extern HFONT LinkFont;
extern HFONT TitleFont;
extern COLORREF LinkColor;
extern HWND HotLink;
extern int SheetPage;        // 0: no sheet; else number of the page created last
extern int WatchCountdown;
extern int AlertBusy;
extern UINT_PTR WatchTimer;  // 0 when no timer runs

enum : COLORREF { LinkRestColor = 0x400000, LinkHotColor = 0xFF0000, LinkShadowColor = 0xC0C0C0 };

// ---------------------------------------------------------------------------
// Entry and main window.

// Start-up: a copy already running is asked to open its sheet and this one
// ends; then class, window, fonts, COM, data file, first run, language,
// options (the program ends when the file cannot be read), IDM_INIT posted.
// 0 when the program must end.
int StartProgram(HINSTANCE instance);
// The message loop; returns the quit code.
int RunMessageLoop();
// Shutdown steps after the loop.
void EndProgram();
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The first start: writes the data file, approves the startup entries found
// and opens the sheet; the number approved. When the data file cannot be
// created it does nothing more and DataFileUnusable is set.
int FirstRun();
// minutes x perMinute + extra timer ticks, without overflow: at most INT_MAX,
// and -1 for any negative interval (a cycle on every tick).
int WatchTicks(int minutes, int perMinute, int extra);
// One tick of the watch timer; 1 when it ran a watch cycle.
int OnWatchTimer();
// IDM_INIT: tray icon, first cycle, timer.
void OnInitCommand(HWND window);
// Chooses LanguageId from text 634.
void ChooseLanguage();
void CreateLinkFonts();
void DeleteLinkFonts();

// ---------------------------------------------------------------------------
// Texts and message boxes.
void SetDlgItemTextId(HWND dialog, int textId, int controlId);
// ErrorBox and HelpBox belong to MessageBoxOwner.
int ErrorBox(int textId);
int HelpBox(int textId);
// Puts the values in place of the first `count` "%s" of a loaded text. The
// text may come from the registry, so it is never used as a format of its
// own: any other "%" stays as it is, and "%%" becomes "%".
int FillTextPlaceholders(char *buffer, size_t size, const char *text, const char *const *values,
                         int count);
// The same with one value.
int FillTextPlaceholder(char *buffer, size_t size, const char *text, const char *value);
// A message box with a loaded text whose "%s" the value fills.
int TextBox(HWND owner, int textId, const char *value, UINT style);
// A topmost message box with the program's caption and language.
int AppMessageBox(HWND owner, const char *text, UINT style);
// The owner of a box asked from a page: the open sheet, which cannot be used
// while the box is up (its pages would act on a table refilled meanwhile);
// the main window when no sheet is open.
HWND MessageBoxOwner();

// ---------------------------------------------------------------------------
// Tray icon.
int UpdateTrayIcon(int action);           // 0 add, 2 delete
// The message the shell broadcasts when it has made a new taskbar.
UINT TaskbarCreatedMessage();
// Adds the icon again after the taskbar was made anew, when it was shown.
void RestoreTrayIcon();
void OnTrayNotify(UINT iconId, UINT mouseMessage);
// The ten-item tray menu as it would be shown now (caller destroys it).
HMENU BuildTrayMenu();

// ---------------------------------------------------------------------------
// Property sheet and page plumbing.
int ShowPropertySheet(HWND owner, int startPage);
DWORD GetCommonControlsVersion();
void PreparePageButtons(HWND page);
void CenterWindow(HWND window);
void MakeOwnerDrawn(HWND dialog, int controlId);
int DrawLinkButton(const DRAWITEMSTRUCT *item);
void TrackLinkHover(WPARAM windowUnderPointer);
// Throws away the mouse and keyboard input queued while a long operation ran
// on the user-interface thread: it was aimed at what the window showed before.
void DiscardQueuedInput();
// Plays the program's sound resource with the given PlaySound flags.
void PlayAppSound(DWORD flags);
// The open sheet window, or none.
extern HWND SheetWindow;

// ---------------------------------------------------------------------------
// List-view helpers.
enum : int { LayoutStartup = 6026, LayoutTasks = 6029, LayoutCookies = 6028 };
BOOL InsertListColumn(HWND list, int column, const char *header, int layout);
// Inserts the first `count` columns of a layout, headers from the string table.
void InsertListColumns(HWND list, const int *headerIds, int count, int layout);
int InsertListItem(HWND list, const char *text, int row, int image);
int GetSelectedItem(HWND list);
// The entry index that the selected row carries as its item data; -1 when no
// row is selected or the index is not in the entry table.
int GetSelectedEntry(HWND list);
int CreateSmallImageList(HWND list, int slot);
void DestroySmallImageList(int slot);
int AddProgramIcon(const char *command, int iconNumber, int slot);
int AddProgramFileIcon(const char *program, int iconNumber, int slot);
extern HIMAGELIST SmallImageLists[2];
// Text of one cell (for tests and pages), cut to size.
int GetListCellText(HWND list, int row, int column, char *buffer, int size);
void SetListCellText(HWND list, int row, int column, const char *text);

// ---------------------------------------------------------------------------
// Pages and the web page opener.
INT_PTR CALLBACK OptionsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// wParam of PSM_QUERYSIBLINGS sent to the open sheet after the tray switched
// autorun: the Options page shows the value anew.
enum : WPARAM { AutorunChanged = 0x5E17 };
INT_PTR CALLBACK AboutPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
HWND FindAolWindow();
// Builds the command line for the AOL client (plain or quoted); returns length.
int BuildAolCommand(const char *address, int quoted, char *buffer, size_t size);
INT_PTR OpenWebPage(const char *address, int quoted);
// The product's home page address (the About page's link).
extern const char HomePageAddress[];
