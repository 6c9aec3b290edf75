// The watch cycle. The checks themselves arrive with the watch work; until
// then a cycle only honours its guards and repaints the notification area.
#include "watch/watch.h"
#include "app/app.h"

int WatchCycle()
{
    if (AlertBusy || SheetPage != 0)
        return 1;
    HWND taskbar = FindWindowA("Shell_TrayWnd", "");
    if (taskbar)
        InvalidateRect(taskbar, nullptr, TRUE);
    return 1;
}
