// The tray icon and its menu: the icon added and deleted, the ten menu items
// with the autorun check mark read afresh on every notification, the real
// menu shown on a right click, a chosen item reaching the main window, and a
// double click opening Startup Programs (or bringing the open sheet forward).
#include "app/app.h"
#include "resource.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

// A stand-in for the main window: the program's own window procedure, but
// closing it must not end the test's message loops.
LRESULT CALLBACK TestMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        return 0;
    return MainWindowProc(window, message, wParam, lParam);
}

class TrayTest : public testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA windowClass = {};
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = TestMainProc;
        windowClass.hInstance = AppInstance;
        windowClass.lpszClassName = "SentroviaTrayTest";
        RegisterClassA(&windowClass);
        MainWindow = CreateWindowExA(WS_EX_TOOLWINDOW, "SentroviaTrayTest", AppTitle, 0, 0, 0, 0,
                                     0, nullptr, nullptr, AppInstance, nullptr);
        ASSERT_NE(MainWindow, nullptr);
        savedRun = GetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
        SheetPage = 0;
    }
    void TearDown() override
    {
        if (savedRun == "<missing>")
            RegDeleteValueName(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
        else
            SetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, savedRun.c_str());
        UpdateTrayIcon(2);
        DestroyWindow(MainWindow);
        MainWindow = nullptr;
        UnregisterClassA("SentroviaTrayTest", AppInstance);
    }
    void SetRunValue(bool present)
    {
        if (present)
            ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, "C:\\S\\Sentrovia.exe"));
        else
            RegDeleteValueName(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
    }
    std::string savedRun;
};

struct MenuItem {
    std::string text;
    UINT id;
    UINT state;
    bool separator;
};

std::vector<MenuItem> ReadMenu(HMENU menu)
{
    std::vector<MenuItem> items;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof(text);
        GetMenuItemInfoA(menu, (UINT)i, TRUE, &info);
        items.push_back({text, info.wID, info.fState, (info.fType & MFT_SEPARATOR) != 0});
    }
    return items;
}

void ExpectTheTenItems(const std::vector<MenuItem> &items, bool autorun)
{
    struct Want {
        const char *text;
        UINT id;
    };
    const Want want[10] = {
        {"About &Sentrovia...", IDM_ABOUT},
        {"Always &Run Sentrovia", IDM_AUTORUN},
        {nullptr, 0},
        {"Display &Startup Info...", IDM_STARTUP},
        {"Display Active &Tasks...", IDM_TASKS},
        {"Display Internet &Cookies...", IDM_COOKIES},
        {"Identify Domain name...", IDM_DOMAIN},
        {"Display Restart Commands...", IDM_RESTART},
        {nullptr, 0},
        {"E&xit Program", IDM_EXIT},
    };
    ASSERT_EQ(items.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        if (!want[i].text) {
            EXPECT_TRUE(items[i].separator);
            continue;
        }
        EXPECT_FALSE(items[i].separator);
        EXPECT_EQ(items[i].text, want[i].text);
        EXPECT_EQ(items[i].id, want[i].id);
        bool checked = (items[i].state & MFS_CHECKED) != 0;
        EXPECT_EQ(checked, want[i].id == IDM_AUTORUN && autorun);
    }
}

HWND FindThreadMenu()
{
    struct Search {
        static BOOL CALLBACK Proc(HWND window, LPARAM lParam)
        {
            char cls[64] = "";
            GetClassNameA(window, cls, sizeof(cls));
            if (!strcmp(cls, "#32768") && IsWindowVisible(window)) {
                *(HWND *)lParam = window;
                return FALSE;
            }
            return TRUE;
        }
    };
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), Search::Proc, (LPARAM)&found);
    return found;
}

void PressKey(HWND window, UINT key)
{
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

} // namespace

TEST_F(TrayTest, MenuHasTheTenItemsAndTheAutorunMark)
{
    AutorunFlag = 0;
    HMENU menu = BuildTrayMenu();
    ASSERT_NE(menu, nullptr);
    ExpectTheTenItems(ReadMenu(menu), false);
    DestroyMenu(menu);

    AutorunFlag = 1;
    menu = BuildTrayMenu();
    ExpectTheTenItems(ReadMenu(menu), true);
    DestroyMenu(menu);
}

TEST_F(TrayTest, EveryNotificationReadsTheAutorunValueAgain)
{
    SetRunValue(true);
    AutorunFlag = 0;
    // A mouse movement over the icon does nothing else.
    OnTrayNotify(TRAY_ICON_ID, WM_MOUSEMOVE);
    EXPECT_EQ(AutorunFlag, (int)strlen("C:\\S\\Sentrovia.exe"));
    SetRunValue(false);
    OnTrayNotify(TRAY_ICON_ID, WM_MOUSEMOVE);
    EXPECT_EQ(AutorunFlag, 0);
    // Whatever the icon identifier.
    SetRunValue(true);
    OnTrayNotify(1, WM_LBUTTONDOWN);
    EXPECT_NE(AutorunFlag, 0);
}

TEST_F(TrayTest, RightClickShowsTheMenuWithTheMarkOfTheMoment)
{
    for (bool autorun : {true, false}) {
        SCOPED_TRACE(autorun);
        // Another program changed the value behind the flag's back.
        SetRunValue(autorun);
        AutorunFlag = autorun ? 0 : 1;
        bool seen = false;
        UINT_PTR wait = WhenWindowAppears(FindThreadMenu, [&](HWND popup) {
            seen = true;
            HMENU menu = (HMENU)SendMessageA(popup, MN_GETHMENU, 0, 0);
            ExpectTheTenItems(ReadMenu(menu), autorun);
            if (autorun)
                ScreenshotPoint("tray_menu");
            PressKey(popup, VK_ESCAPE);
        });
        OnTrayNotify(TRAY_ICON_ID, WM_RBUTTONUP);
        CancelWindowWait(wait);
        EXPECT_TRUE(seen);
        EXPECT_FALSE(IsWindowVisible(FindThreadMenu()));
        PumpMessages(50);
    }
}

TEST_F(TrayTest, RightClickOnAnotherIconShowsNoMenu)
{
    bool seen = false;
    UINT_PTR wait = WhenWindowAppears(FindThreadMenu, [&](HWND popup) {
        seen = true;
        PressKey(popup, VK_ESCAPE);
    }, 1000);
    OnTrayNotify(TRAY_ICON_ID + 1, WM_RBUTTONUP);
    PumpMessages(200);
    CancelWindowWait(wait);
    EXPECT_FALSE(seen);
}

TEST_F(TrayTest, AChosenItemReachesTheMainWindow)
{
    // The first item, About, opens the sheet at its last page.
    int tab = -1;
    UINT_PTR sheetWait = WhenWindowAppears(FindThreadSheet, [&](HWND sheet) {
        tab = SheetCurrentTab(sheet);
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    });
    UINT_PTR menuWait = WhenWindowAppears(FindThreadMenu, [&](HWND popup) {
        PressKey(popup, VK_DOWN);
        PressKey(popup, VK_RETURN);
    });
    OnTrayNotify(TRAY_ICON_ID, WM_RBUTTONUP);
    CancelWindowWait(menuWait);
    // The command arrives through the message queue.
    DWORD start = GetTickCount();
    while (tab < 0 && GetTickCount() - start < 10000)
        PumpMessages(50);
    CancelWindowWait(sheetWait);
    EXPECT_EQ(tab, PageAbout);
    EXPECT_EQ(SheetPage, 0);
}

TEST_F(TrayTest, DoubleClickOpensStartupProgramsOrBringsTheSheetForward)
{
    std::vector<int> tabs;
    int sheets = 0;
    UINT_PTR wait = WhenWindowAppears(FindThreadSheet, [&](HWND sheet) {
        ++sheets;
        tabs.push_back(SheetCurrentTab(sheet));
        SendMessageA(sheet, PSM_SETCURSEL, PageOptions, 0);
        // A second double click while the sheet is open keeps its page.
        OnTrayNotify(TRAY_ICON_ID, WM_LBUTTONDBLCLK);
        PumpMessages(50);
        tabs.push_back(SheetCurrentTab(sheet));
        EXPECT_EQ(FindThreadSheet(), sheet);
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    });
    // Whatever the icon identifier.
    OnTrayNotify(0, WM_LBUTTONDBLCLK);
    CancelWindowWait(wait);
    EXPECT_EQ(sheets, 1);
    EXPECT_EQ(tabs, (std::vector<int>{PageStartup, PageOptions}));
    EXPECT_EQ(SheetPage, 0);
}

TEST_F(TrayTest, IconIsAddedAndDeleted)
{
    // The shell knows the icon while it exists: only then can it be changed.
    NOTIFYICONDATAA probe = {};
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
    probe.hWnd = MainWindow;
    probe.uID = TRAY_ICON_ID;
    probe.uFlags = NIF_TIP;
    CopyText(probe.szTip, 64, "probe");
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &probe));

    EXPECT_EQ(UpdateTrayIcon(0), 1);
    PumpMessages(100);
    ScreenshotPoint("tray_icon");
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &probe));

    EXPECT_EQ(UpdateTrayIcon(2), 1);
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &probe));
    // Deleting what is gone is harmless.
    EXPECT_EQ(UpdateTrayIcon(2), 1);
}
