// The notification-area icon, the program's only permanent presence on
// screen, and the menu that reaches everything else.
#include "app/app.h"
#include "resource.h"
#include "store/store.h"

#include <shellapi.h>

namespace {

// Destroys a menu when the guard ends.
struct MenuHandle {
    HMENU menu;
    explicit MenuHandle(HMENU m) : menu(m) {}
    MenuHandle(const MenuHandle &) = delete;
    MenuHandle &operator=(const MenuHandle &) = delete;
    ~MenuHandle() { if (menu) DestroyMenu(menu); }
};

// One row of the tray menu: a text and its command, or a separator (text 0).
struct TrayMenuItem {
    int textId;
    UINT command;
};

const TrayMenuItem TrayMenuItems[] = {
    {IDS_MENU_ABOUT, IDM_ABOUT},
    {IDS_MENU_AUTORUN, IDM_AUTORUN},
    {0, 0},
    {IDS_MENU_STARTUP, IDM_STARTUP},
    {IDS_MENU_TASKS, IDM_TASKS},
    {IDS_MENU_COOKIES, IDM_COOKIES},
    {IDS_MENU_DOMAIN, IDM_DOMAIN},
    {IDS_MENU_RESTART, IDM_RESTART},
    {0, 0},
    {IDS_MENU_EXIT, IDM_EXIT},
};

// Set while the icon is meant to be shown: between its add and its delete.
int TrayIconShown = 0;

// Another program may have removed or written the autorun value meanwhile.
void RefreshAutorunFlag()
{
    AutorunFlag = ReadAutorunValue();
}

void ShowTrayMenu()
{
    int x = GetSystemMetrics(SM_CXSCREEN) - 2 * GetSystemMetrics(SM_CYMENU);
    int y = GetSystemMetrics(SM_CYSCREEN) - GetSystemMetrics(SM_CYMENU);
    MenuHandle menu(BuildTrayMenu());
    if (!menu.menu)
        return;
    // Without the foreground the menu would not close on a click elsewhere.
    SetForegroundWindow(MainWindow);
    TrackPopupMenuEx(menu.menu, TPM_VERTICAL, x, y, MainWindow, nullptr);
    // Lets the next click on the icon reach the menu code normally.
    PostMessageA(MainWindow, WM_NULL, 0, 0);
}

} // namespace

// UpdateTrayIcon: adds (0) or deletes (2) the icon.
int UpdateTrayIcon(int action)
{
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = MainWindow;
    icon.uID = TRAY_ICON_ID;
    if (action == 0) {
        icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        icon.uCallbackMessage = WM_TRAYNOTIFY;
        icon.hIcon = LoadIconA(AppInstance, MAKEINTRESOURCEA(IDI_APP));
        LoadText(IDS_TRAY_TIP, icon.szTip, 64);
        Shell_NotifyIconA(NIM_ADD, &icon);
        TrayIconShown = 1;
    } else {
        Shell_NotifyIconA(NIM_DELETE, &icon);
        TrayIconShown = 0;
    }
    return 1;
}

UINT TaskbarCreatedMessage()
{
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

// A restarted shell knows no icon of the old taskbar: without a new one the
// user could neither reach the program nor see that it watches.
void RestoreTrayIcon()
{
    if (TrayIconShown)
        UpdateTrayIcon(0);
}

// BuildTrayMenu: the ten items, with the autorun item checked as it is now.
HMENU BuildTrayMenu()
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    for (const TrayMenuItem &item : TrayMenuItems) {
        if (!item.textId) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        char text[256];
        LoadText(item.textId, text, sizeof(text));
        UINT flags = MF_STRING;
        if (item.command == IDM_AUTORUN && AutorunFlag)
            flags |= MF_CHECKED;
        AppendMenuA(menu, flags, item.command, text);
    }
    return menu;
}

// OnTrayNotify: a double click opens Startup Programs, a right click the menu.
void OnTrayNotify(UINT iconId, UINT mouseMessage)
{
    RefreshAutorunFlag();
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        ShowPropertySheet(MainWindow, PageStartup);
        return;
    }
    if (mouseMessage == WM_RBUTTONUP && iconId == TRAY_ICON_ID)
        ShowTrayMenu();
}
