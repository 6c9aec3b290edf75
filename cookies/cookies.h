// Browser cookie files, the nuts filter and the Cookies page.
#pragma once

#include <windows.h>

// Cookie rules of the folder walk (folder walk mode 2).
void AddCookieFolderItem(const char *path, const WIN32_FIND_DATAA *find, LPARAM tag);
// Empties the entry table and fills it with the cookie files, deleting on the
// way every cookie that matches the nuts list; the number of entries.
int CollectCookieEntries();
INT_PTR CALLBACK CookiesPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
