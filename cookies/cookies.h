// Browser cookie files, the nuts filter and the Cookies page.
#pragma once

#include <windows.h>

// ---------------------------------------------------------------------------
// Enumeration. Needs no window: the watch cycle calls it as the page does.

// Empties the entry table and fills it with one entry per cookie file (source
// 500): the browser's cookie folder walked with its plain subfolders, then the
// Netscape file. Every walked file that contains a nut is deleted on the way.
// Returns EntryCount.
int CollectCookieEntries();
// Cookie rules of the folder walk (folder walk mode 2). The tag is the nuts
// list of the running enumeration, or 0 to read the nuts afresh.
void AddCookieFolderItem(const char *path, const WIN32_FIND_DATAA *find, LPARAM tag);
// 1 when the user keeps the cookie of this list name (its [Cookies] mark).
int IsCookieKept(const char *name);

// ---------------------------------------------------------------------------
// Nuts filter: [Nuts] "count" and "Nut1".."NutN" of the data file.

// Deletes the file when its path contains a nut; 1 when it was deleted.
int DeleteIfNut(const char *path);
// Empties the entry table and fills it with the stored nuts (source 503).
int LoadNuts();
// Writes the table's nut entries back, numbered from 1, and empties the table.
int SaveNuts();
// Refills the nuts dialog's list from LoadNuts.
void FillNutList(HWND dialog);
// The Cookies with Nuts dialog (template 122).
INT_PTR CALLBACK NutsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------
// The Cookies page (template 108) and the cookie viewer (template 109).
INT_PTR CALLBACK CookiesPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
int FillCookieList(HWND page);
void ShowCookieViewer(HWND page);
void RemoveUncheckedCookies(HWND page);
void SaveKeepMarks(HWND page);
// The command a WM_COMMAND of the cookie dialogs stands for: code 2 from a
// control other than a button is Enter (IDOK); a button counts only when
// clicked; 0 for anything else.
int CookieCommand(WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CookieViewerDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
