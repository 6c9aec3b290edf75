// STUB: replaced by the property sheet work.
#include "app/app.h"

COLORREF LinkColor = LinkRestColor;
HWND HotLink = nullptr;
int SheetPage = 0;
HWND SheetWindow = nullptr;

int ShowPropertySheet(HWND owner, int startPage) { (void)owner; (void)startPage; return 0; }
void PreparePageButtons(HWND page) { (void)page; }
