// The tray icon and its menu: the icon added and deleted, the ten items with
// the autorun mark read afresh on every notification, a chosen item reaching
// the main window, and a double click opening Startup Programs.
#include "app/app.h"
#include "startup/sources.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

// A main window with the program's own window procedure.
class TrayTest : public testing::Test {
protected:
    void SetUp() override
    {
        MainWindow = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", AppTitle, 0, 0, 0, 0, 0, nullptr,
                                     nullptr, AppInstance, nullptr);
        SetWindowLongPtrA(MainWindow, GWLP_WNDPROC, (LONG_PTR)MainWindowProc);
    }
    void TearDown() override
    {
        RestoreRegValue(savedRun);
        UpdateTrayIcon(2);
        // Its WM_DESTROY would post the quit that ends the program.
        SetWindowLongPtrA(MainWindow, GWLP_WNDPROC, (LONG_PTR)DefWindowProcA);
        DestroyWindow(MainWindow);
    }
    SavedRegValue savedRun = SaveRegValue(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
};

void ExpectTheTenItems(HMENU menu, bool autorun)
{
    const struct { const char *text; UINT id; } want[] = {
        {"About &Sentrovia...", IDM_ABOUT}, {"Always &Run Sentrovia", IDM_AUTORUN}, {"", 0},
        {"Display &Startup Info...", IDM_STARTUP}, {"Display Active &Tasks...", IDM_TASKS},
        {"Display Internet &Cookies...", IDM_COOKIES}, {"Identify Domain name...", IDM_DOMAIN},
        {"Display Restart Commands...", IDM_RESTART}, {"", 0}, {"E&xit Program", IDM_EXIT}};
    ASSERT_EQ(GetMenuItemCount(menu), 10);
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        char text[256] = "";
        GetMenuStringA(menu, (UINT)i, text, sizeof(text), MF_BYPOSITION);
        UINT state = GetMenuState(menu, (UINT)i, MF_BYPOSITION);
        EXPECT_EQ((state & MF_SEPARATOR) != 0, !want[i].id);
        EXPECT_EQ(std::string(text), want[i].text);
        EXPECT_EQ(GetMenuItemID(menu, i), want[i].id);
        EXPECT_EQ((state & MF_CHECKED) != 0, want[i].id == IDM_AUTORUN && autorun);
    }
}

// The popup menu on screen (the test is the only program that shows one).
HWND FindShownMenu()
{
    HWND menu = FindWindowA("#32768", nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

} // namespace

TEST_F(TrayTest, EveryNotificationReadsTheAutorunMarkAfresh)
{
    // The value as written now (quoted) and as earlier versions wrote it.
    const char quoted[] = "\"C:\\Program Files\\S\\Sentrovia.exe\"", bare[] = "C:\\S\\Sentrovia.exe";
    // Only the program's own icon has a menu.
    const struct { const char *value; UINT icon; bool autorun; } cases[] = {
        {quoted, TRAY_ICON_ID, true}, {nullptr, TRAY_ICON_ID, false}, {bare, TRAY_ICON_ID, true},
        {bare, TRAY_ICON_ID + 1, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.autorun << " " << c.icon);
        // Another program changed the value behind the flag's back.
        if (c.autorun)
            SetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, c.value);
        else
            RegDeleteValueName(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
        AutorunFlag = !c.autorun;
        OnTrayNotify(1, WM_MOUSEMOVE);
        EXPECT_EQ(AutorunFlag, c.autorun ? (int)strlen(c.value) : 0);
        AutorunFlag = !c.autorun;
        bool seen = false;
        UINT_PTR wait = WhenWindowAppears(FindShownMenu, [&](HWND popup) {
            seen = true;
            ExpectTheTenItems((HMENU)SendMessageA(popup, MN_GETHMENU, 0, 0), c.autorun);
            ScreenshotPoint(c.autorun ? "tray_menu" : "tray_menu_unchecked");
            PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 1);
        });
        OnTrayNotify(c.icon, WM_RBUTTONUP);
        CancelWindowWait(wait);
        EXPECT_EQ(seen, c.icon == TRAY_ICON_ID);
        EXPECT_EQ(FindShownMenu(), nullptr);
    }
}

TEST_F(TrayTest, DoubleClickAndTheMenuOpenTheSheetOrBringItForward)
{
    std::vector<int> tabs;
    auto atSheet = [&](HWND sheet) {
        tabs.push_back(SheetCurrentTab(sheet));
        OnTrayNotify(TRAY_ICON_ID, WM_LBUTTONDBLCLK);
        PumpMessages(50);
        tabs.push_back(SheetCurrentTab(sheet));
        EXPECT_EQ(FindThreadSheet(), sheet);
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    };
    UINT_PTR wait = WhenWindowAppears(FindThreadSheet, atSheet);
    OnTrayNotify(0, WM_LBUTTONDBLCLK);  // whatever the icon identifier
    CancelWindowWait(wait);
    // The first menu item, About, reaches the main window through its queue.
    wait = WhenWindowAppears(FindThreadSheet, atSheet);
    UINT_PTR menuWait = WhenWindowAppears(FindShownMenu, [](HWND popup) {
        PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 1);
        PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 1);
    });
    OnTrayNotify(TRAY_ICON_ID, WM_RBUTTONUP);
    CancelWindowWait(menuWait);
    for (DWORD start = GetTickCount(); tabs.size() < 4 && GetTickCount() - start < 10000;)
        PumpMessages(50);
    CancelWindowWait(wait);
    // Open, the sheet keeps its page whatever is asked for.
    EXPECT_EQ(tabs, (std::vector<int>{PageStartup, PageStartup, PageAbout, PageAbout}));
    EXPECT_EQ(SheetPage, 0);
}

TEST_F(TrayTest, IconIsAddedAndDeleted)
{
    // The shell lets only an icon that exists be changed.
    NOTIFYICONDATAA probe = {};
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
    probe.hWnd = MainWindow;
    probe.uID = TRAY_ICON_ID;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &probe));
    EXPECT_EQ(UpdateTrayIcon(0), 1);
    ScreenshotPoint("tray_icon");
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &probe));
    EXPECT_EQ(UpdateTrayIcon(2), 1);
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &probe));
}

TEST_F(TrayTest, IconComesBackWhenTheTaskbarIsMadeAnew)
{
    NOTIFYICONDATAA probe = {};
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
    probe.hWnd = MainWindow;
    probe.uID = TRAY_ICON_ID;
    UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    ASSERT_EQ(TaskbarCreatedMessage(), taskbarCreated);
    UpdateTrayIcon(0);
    // A restarted shell knows nothing of the icons of the old taskbar.
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &probe));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &probe));
    SendMessageA(MainWindow, taskbarCreated, 0, 0);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &probe));
    // An icon the program has taken away stays away.
    UpdateTrayIcon(2);
    SendMessageA(MainWindow, taskbarCreated, 0, 0);
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &probe));
}

TEST_F(TrayTest, SwitchingOffTakesTheOwnValueEvenWithAParkedCopyBeside)
{
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof(self));
    const std::string quoted = "\"" + std::string(self) + "\"";
    char parking[PathSize];
    ASSERT_TRUE(ParkingKeyOfSource(SourceMachineRun, parking, sizeof(parking)));
    const struct { const char *live, *parked; bool liveAfter, parkedAfter; } rows[] = {
        // The live value goes, quoted or bare; the parked copy beside it stays.
        {quoted.c_str(), self, false, true},
        {self, self, false, true},
        // Only the parked copy: it goes with its marker.
        {nullptr, self, false, false},
        // The value is the program's by its name, whatever folder it names:
        // the mark shows it as on.
        {"\"C:\\Other\\Sentrovia.exe\"", "C:\\Other\\Sentrovia.exe", false, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.live ? row.live : "(no live value)");
        ScopedRegValue live(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, row.live);
        ScopedRegValue parked(HKEY_LOCAL_MACHINE, parking, AppTitle, row.parked);
        ScopedRegValue marker(HKEY_LOCAL_MACHINE, DisabledKeyPath, AppTitle, row.parked ? "1" : nullptr);
        AutorunFlag = 1;
        SendMessageA(MainWindow, WM_COMMAND, IDM_AUTORUN, 0);
        EXPECT_EQ(RegValueExists(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle), row.liveAfter);
        EXPECT_EQ(RegValueExists(HKEY_LOCAL_MACHINE, parking, AppTitle), row.parkedAfter);
        EXPECT_EQ(RegValueExists(HKEY_LOCAL_MACHINE, DisabledKeyPath, AppTitle), row.parkedAfter);
        HMENU menu = BuildTrayMenu();
        EXPECT_EQ((GetMenuState(menu, IDM_AUTORUN, MF_BYCOMMAND) & MF_CHECKED) != 0, row.liveAfter);
        DestroyMenu(menu);
    }
}
