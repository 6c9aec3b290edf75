// Browser cookie files, the nuts filter and the Cookies page.
#pragma once

#include <windows.h>

// Cookie rules of the folder walk (folder walk mode 2).
void AddCookieFolderItem(const char *path, const WIN32_FIND_DATAA *find, LPARAM tag);
INT_PTR CALLBACK CookiesPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
