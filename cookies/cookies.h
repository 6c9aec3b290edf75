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
// The [Cookies] key of a cookie file name (at most 259 characters) in a
// buffer of CookieKeySize bytes; returns the buffer. Ordinary names are their
// own key; see enumerate.cpp for the few characters that are encoded.
enum : int { CookieKeySize = 3 * 260 };
char *CookieKeepKey(const char *name, char *buffer);

// ---------------------------------------------------------------------------
// Nuts filter: [Nuts] "count" and "Nut1".."NutN" of the data file.

// Deletes the file when its path contains a nut; 1 when it was deleted.
int DeleteIfNut(const char *path);
// Empties the entry table and fills it with the stored nuts (source 503),
// each entry's number being its "Nut%d" number.
int LoadNuts();
// Stores a new nut after the last one; 0 when it could not be written.
int AddNut(const char *text);
// Takes out the nut of that number; every other nut keeps its key and text.
int RemoveNut(int number);
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
