// The WHOIS client and the Domain Info page.
#pragma once

#include <windows.h>

INT_PTR CALLBACK DomainInfoPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
