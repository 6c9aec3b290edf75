// The property sheet and what every page and dialog shares: opening at a
// page, the page bookkeeping, a second request while open, the tab titles
// with their registry override, the single Close button, centring, and the
// owner-drawn link buttons with their hover colour.
#include "app/app.h"
#include "resource.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

class SheetTest : public testing::Test {
protected:
    void SetUp() override
    {
        // The sheet's owner, as the hidden main window is in the program.
        owner = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "owner", 0, 0, 0, 0, 0, nullptr,
                                nullptr, AppInstance, nullptr);
        ASSERT_NE(owner, nullptr);
        SheetPage = 0;
        SheetWindow = nullptr;
    }
    void TearDown() override { DestroyWindow(owner); }
    HWND owner = nullptr;
};

int CountThreadSheets()
{
    struct Count {
        static BOOL CALLBACK Proc(HWND window, LPARAM lParam)
        {
            char cls[64] = "";
            GetClassNameA(window, cls, sizeof(cls));
            if (!strcmp(cls, "#32770") && IsWindowVisible(window) &&
                FindWindowExA(window, nullptr, "SysTabControl32", nullptr))
                ++*(int *)lParam;
            return TRUE;
        }
    };
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), Count::Proc, (LPARAM)&count);
    return count;
}

bool KeyExists(HKEY root, const char *subkey)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void SelectTab(HWND sheet, int index)
{
    SendMessageA(sheet, PSM_SETCURSEL, (WPARAM)index, 0);
    PumpMessages(50);
}

} // namespace

TEST_F(SheetTest, OpensAtEachStartPageAndForgetsItWhenClosed)
{
    static const char *const shots[PageCount] = {
        "sheet_0_startup", "sheet_1_tasks", "sheet_2_cookies",
        "sheet_3_domain", "sheet_4_options", "sheet_5_about",
    };
    for (int page = 0; page < PageCount; ++page) {
        SCOPED_TRACE(page);
        HWND seenSheet = nullptr;
        int seenPage = -1;
        bool opened = DriveSheet(owner, page, [&](HWND sheet) {
            seenSheet = sheet;
            seenPage = SheetPage;
            EXPECT_EQ(SheetCurrentTab(sheet), page);
            EXPECT_EQ(SheetWindow, sheet);
            EXPECT_EQ(WindowText(sheet), AppTitle);
            HWND tabs = FindWindowExA(sheet, nullptr, "SysTabControl32", nullptr);
            EXPECT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), PageCount);
            EXPECT_NE(SheetCurrentPage(sheet), nullptr);
            // Placed like every modal dialog of the program.
            RECT rect;
            GetWindowRect(sheet, &rect);
            EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2);
            EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 3);
            ScreenshotPoint(shots[page]);
        });
        EXPECT_TRUE(opened);
        EXPECT_NE(seenSheet, nullptr);
        // Only the start page has been created, so it is the one counted.
        EXPECT_EQ(seenPage, page + 1);
        EXPECT_EQ(SheetPage, 0);
        EXPECT_EQ(SheetWindow, nullptr);
        EXPECT_FALSE(IsWindow(seenSheet));
    }
}

TEST_F(SheetTest, PageNumberIsThatOfThePageCreatedLast)
{
    std::vector<int> numbers;
    DriveSheet(owner, PageOptions, [&](HWND sheet) {
        numbers.push_back(SheetPage);
        SelectTab(sheet, PageAbout);
        numbers.push_back(SheetPage);
        SelectTab(sheet, PageStartup);
        numbers.push_back(SheetPage);
        // Going back to a page that exists already creates nothing.
        SelectTab(sheet, PageAbout);
        numbers.push_back(SheetPage);
        EXPECT_EQ(SheetCurrentTab(sheet), PageAbout);
    });
    EXPECT_EQ(numbers, (std::vector<int>{5, 6, 1, 1}));
    EXPECT_EQ(SheetPage, 0);
}

TEST_F(SheetTest, SecondRequestWhileOpenKeepsTheCurrentPage)
{
    DriveSheet(owner, PageOptions, [&](HWND sheet) {
        EXPECT_EQ(ShowPropertySheet(owner, PageAbout), 0);
        EXPECT_EQ(ShowPropertySheet(owner, PageStartup), 0);
        PumpMessages(50);
        EXPECT_EQ(CountThreadSheets(), 1);
        EXPECT_EQ(SheetCurrentTab(sheet), PageOptions);
        EXPECT_EQ(SheetPage, 5);
        EXPECT_TRUE(IsWindowVisible(sheet));

        // With Active Tasks created last the request also asks for a refresh
        // of the task list; the sheet stays where it is.
        SelectTab(sheet, PageTasks);
        ASSERT_EQ(SheetPage, 2);
        EXPECT_EQ(ShowPropertySheet(owner, PageCookies), 0);
        PumpMessages(50);
        EXPECT_EQ(CountThreadSheets(), 1);
        EXPECT_EQ(SheetCurrentTab(sheet), PageTasks);
    });
    EXPECT_EQ(SheetPage, 0);
    // Closed, the sheet opens again.
    bool again = DriveSheet(owner, PageAbout, [&](HWND sheet) {
        EXPECT_EQ(SheetCurrentTab(sheet), PageAbout);
    });
    EXPECT_TRUE(again);
}

TEST_F(SheetTest, TabTitlesComeFromTheTextsAndTheirOverrides)
{
    static const char *const titles[PageCount] = {
        "Startup Programs", "Active Tasks", "Cookies", "Domain Info", "Options", "About",
    };
    DriveSheet(owner, PageStartup, [&](HWND sheet) {
        for (int i = 0; i < PageCount; ++i)
            EXPECT_EQ(SheetTabText(sheet, i), titles[i]) << i;
    });

    bool keyExisted = KeyExists(HKEY_LOCAL_MACHINE, ProgramKeyPath);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, ProgramKeyPath, "LString606", "Autostart"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, ProgramKeyPath, "LString611", ""));
    DriveSheet(owner, PageAbout, [&](HWND sheet) {
        EXPECT_EQ(SheetTabText(sheet, 0), "Autostart");
        EXPECT_EQ(SheetTabText(sheet, 1), "Active Tasks");
        // An empty override counts as none.
        EXPECT_EQ(SheetTabText(sheet, 5), "About");
    });

    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, ProgramKeyPath, 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    RegDeleteValueA(key, "LString606");
    RegDeleteValueA(key, "LString611");
    RegCloseKey(key);
    if (!keyExisted)
        DeleteRegTree(HKEY_LOCAL_MACHINE, ProgramKeyPath);
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, ProgramKeyPath, "LString606"));
}

TEST_F(SheetTest, ShowsOnlyACloseButtonAndNoHelpButton)
{
    DriveSheet(owner, PageDomain, [&](HWND sheet) {
        HWND ok = GetDlgItem(sheet, IDOK);
        ASSERT_NE(ok, nullptr);
        EXPECT_FALSE(IsWindowVisible(ok));
        EXPECT_FALSE(IsWindowEnabled(ok));
        HWND cancel = GetDlgItem(sheet, IDCANCEL);
        ASSERT_NE(cancel, nullptr);
        EXPECT_TRUE(IsWindowVisible(cancel));
        EXPECT_EQ(WindowText(cancel), "Close");
        EXPECT_FALSE(GetWindowLongA(sheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
        // Apply (0x3021) and Help are not shown either.
        HWND apply = GetDlgItem(sheet, 0x3021);
        EXPECT_TRUE(!apply || !IsWindowVisible(apply));
        HWND help = GetDlgItem(sheet, IDHELP);
        EXPECT_TRUE(!help || !IsWindowVisible(help));
        // Every page prepares the buttons the same way.
        SelectTab(sheet, PageOptions);
        EXPECT_FALSE(IsWindowVisible(ok));
        EXPECT_EQ(WindowText(cancel), "Close");
    });
}

TEST_F(SheetTest, EscapeClosesTheSheet)
{
    HWND closed = nullptr;
    UINT_PTR wait = WhenWindowAppears(FindThreadSheet, [&](HWND sheet) {
        closed = sheet;
        // What the dialog manager makes of the Escape key.
        PostMessageA(sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     (LPARAM)GetDlgItem(sheet, IDCANCEL));
    });
    EXPECT_EQ(ShowPropertySheet(owner, PageCookies), 0);
    CancelWindowWait(wait);
    EXPECT_NE(closed, nullptr);
    EXPECT_FALSE(IsWindow(closed));
    EXPECT_EQ(SheetPage, 0);
}

TEST(SheetPlumbing, CommonControlsAreNewEnoughForTheLargerRecords)
{
    DWORD version = GetCommonControlsVersion();
    EXPECT_GE(version, 0x00040047u) << std::hex << version;
}

TEST(SheetPlumbing, CenterWindowPlacesAThirdDown)
{
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const SIZE sizes[] = {{300, 200}, {301, 203}, {screenWidth, screenHeight / 2}};
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 5, 5, 50, 50,
                                 nullptr, nullptr, AppInstance, nullptr);
    for (const SIZE &size : sizes) {
        HWND window = CreateWindowExA(0, "STATIC", "centre", WS_POPUP | WS_VISIBLE, 17, 23,
                                      size.cx, size.cy, nullptr, nullptr, AppInstance, nullptr);
        ASSERT_NE(window, nullptr);
        SetForegroundWindow(other);
        SetActiveWindow(other);
        CenterWindow(window);
        RECT rect;
        GetWindowRect(window, &rect);
        EXPECT_EQ(rect.left, (screenWidth - size.cx) / 2);
        EXPECT_EQ(rect.top, (screenHeight - size.cy) / 3);
        EXPECT_EQ(rect.right - rect.left, size.cx);
        EXPECT_EQ(rect.bottom - rect.top, size.cy);
        // Placed, not activated.
        EXPECT_NE(GetActiveWindow(), window);
        DestroyWindow(window);
    }
    DestroyWindow(other);
}

// ---------------------------------------------------------------------------
// Link buttons.

namespace {

// A dialog-like parent with one push button and one plain check box.
struct LinkWindows {
    HWND parent = nullptr;
    HWND button = nullptr;
    HWND check = nullptr;
    LinkWindows()
    {
        parent = CreateWindowExA(0, "STATIC", "links", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr,
                                 AppInstance, nullptr);
        button = CreateWindowExA(0, "BUTTON", "http://link.example/", WS_CHILD | BS_PUSHBUTTON, 5,
                                 5, 200, 20, parent, (HMENU)1021, AppInstance, nullptr);
        check = CreateWindowExA(0, "BUTTON", "check", WS_CHILD | BS_CHECKBOX, 5, 40, 200, 20,
                                parent, (HMENU)1022, AppInstance, nullptr);
    }
    ~LinkWindows() { DestroyWindow(parent); }
};

// Draws a button's text with DrawLinkButton into a white 32-bit bitmap.
struct LinkPicture {
    int width, height;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    DWORD *bits = nullptr;

    LinkPicture(int w, int h) : width(w), height(h)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, (void **)&bits, nullptr, 0);
        old = SelectObject(dc, bitmap);
        for (int i = 0; i < w * h; ++i)
            bits[i] = 0xFFFFFF;
    }
    ~LinkPicture()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    int Draw(HWND button, UINT type = ODT_BUTTON, UINT action = ODA_DRAWENTIRE)
    {
        DRAWITEMSTRUCT item = {};
        item.CtlType = type;
        item.CtlID = (UINT)GetDlgCtrlID(button);
        item.itemAction = action;
        item.hwndItem = button;
        item.hDC = dc;
        item.rcItem = {0, 0, width, height};
        int result = DrawLinkButton(&item);
        GdiFlush();
        return result;
    }
    // A COLORREF as the bitmap stores it.
    static DWORD Pixel(COLORREF color)
    {
        return (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    }
    int Count(COLORREF color) const
    {
        int n = 0;
        for (int i = 0; i < width * height; ++i)
            n += (bits[i] & 0xFFFFFF) == Pixel(color);
        return n;
    }
    // Bounding box of the pixels of one colour; empty when there are none.
    RECT Box(COLORREF color) const
    {
        RECT box = {width, height, -1, -1};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if ((bits[y * width + x] & 0xFFFFFF) == Pixel(color)) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        return box;
    }
};

} // namespace

TEST(LinkButtons, MakeOwnerDrawnTurnsAButtonIntoALink)
{
    LinkWindows windows;
    HotLink = nullptr;
    MakeOwnerDrawn(windows.parent, 1021);
    EXPECT_EQ(GetWindowLongA(windows.button, GWL_STYLE) & BS_TYPEMASK, (LONG)BS_OWNERDRAW);
    EXPECT_EQ(HotLink, windows.parent);
    // The check box is left alone.
    EXPECT_EQ(GetWindowLongA(windows.check, GWL_STYLE) & BS_TYPEMASK, (LONG)BS_CHECKBOX);
    HotLink = nullptr;
}

TEST(LinkButtons, HoverLightsTheLinkAndTheBackgroundPutsItOut)
{
    LinkWindows windows;
    MakeOwnerDrawn(windows.parent, 1021);
    LinkColor = LinkRestColor;

    TrackLinkHover((WPARAM)windows.button);
    EXPECT_EQ(LinkColor, (COLORREF)0xFF0000);
    EXPECT_EQ(HotLink, windows.button);

    TrackLinkHover((WPARAM)windows.parent);
    EXPECT_EQ(LinkColor, (COLORREF)0x400000);
    EXPECT_EQ(HotLink, nullptr);

    // Nothing lit: the background changes nothing; a plain check box (type 2)
    // is no link; a handle that is no window is ignored.
    TrackLinkHover((WPARAM)windows.parent);
    EXPECT_EQ(LinkColor, (COLORREF)0x400000);
    TrackLinkHover((WPARAM)windows.check);
    EXPECT_EQ(LinkColor, (COLORREF)0x400000);
    EXPECT_EQ(HotLink, nullptr);
    TrackLinkHover((WPARAM)windows.button);
    TrackLinkHover((WPARAM)(HWND)(ULONG_PTR)0x7FFFFF0);
    EXPECT_EQ(LinkColor, (COLORREF)0xFF0000);
    EXPECT_EQ(HotLink, windows.button);
    TrackLinkHover((WPARAM)windows.parent);
    EXPECT_EQ(HotLink, nullptr);
}

TEST(LinkButtons, SingleLineIsCentredWithAShadow)
{
    LinkWindows windows;
    SetWindowTextA(windows.button, "Link");
    LinkPicture picture(300, 60);
    LinkColor = LinkHotColor;
    ASSERT_EQ(picture.Draw(windows.button), 1);
    // The hover colour is used once, then the rest colour is back.
    EXPECT_EQ(LinkColor, (COLORREF)LinkRestColor);

    ASSERT_GT(picture.Count(LinkHotColor), 0);
    ASSERT_GT(picture.Count(LinkShadowColor), 0);
    RECT face = picture.Box(LinkHotColor);
    RECT shadow = picture.Box(LinkShadowColor);
    // Centred both ways (a pixel or two of rounding), on one line.
    EXPECT_NEAR(face.left, 300 - face.right, 3);
    EXPECT_NEAR(face.top, 60 - face.bottom, 3);
    EXPECT_LT(face.bottom - face.top, 25);
    // The shadow lies one pixel right and down.
    EXPECT_EQ(shadow.right, face.right + 1);
    EXPECT_EQ(shadow.bottom, face.bottom + 1);

    LinkPicture rest(300, 60);
    ASSERT_EQ(rest.Draw(windows.button), 1);
    EXPECT_GT(rest.Count(LinkRestColor), 0);
    EXPECT_EQ(rest.Count(LinkHotColor), 0);
}

TEST(LinkButtons, TextWithALineBreakWrapsFromTheTopLeft)
{
    LinkWindows windows;
    SetWindowTextA(windows.button, "Remove\nUnchecked");
    LinkPicture picture(300, 80);
    LinkColor = LinkRestColor;
    ASSERT_EQ(picture.Draw(windows.button), 1);
    RECT face = picture.Box(LinkRestColor);
    ASSERT_LT(face.left, face.right);
    // Starts at the left edge and the top, and takes two lines.
    EXPECT_LT(face.left, 4);
    EXPECT_LT(face.top, 6);
    EXPECT_GT(face.bottom - face.top, 20);
    EXPECT_LT(face.right, 150);

    // The same words on one line sit in the middle.
    SetWindowTextA(windows.button, "Remove Unchecked");
    LinkPicture single(300, 80);
    ASSERT_EQ(single.Draw(windows.button), 1);
    RECT centred = single.Box(LinkRestColor);
    EXPECT_GT(centred.left, 40);
    EXPECT_GT(centred.top, 20);
}

TEST(LinkButtons, OnlyWholeButtonDrawingsAreDrawn)
{
    LinkWindows windows;
    LinkPicture picture(200, 30);
    LinkColor = LinkHotColor;
    EXPECT_EQ(picture.Draw(windows.button, ODT_BUTTON, ODA_FOCUS), 0);
    EXPECT_EQ(picture.Draw(windows.button, ODT_BUTTON, ODA_SELECT), 0);
    EXPECT_EQ(picture.Draw(windows.button, ODT_STATIC, ODA_DRAWENTIRE), 0);
    EXPECT_EQ(picture.Count(0xFFFFFF), 200 * 30);
    // Nothing drawn, so the hover colour is still waiting for its drawing.
    EXPECT_EQ(LinkColor, (COLORREF)LinkHotColor);
    EXPECT_EQ(DrawLinkButton(nullptr), 0);
    LinkColor = LinkRestColor;
}
