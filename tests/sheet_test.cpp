// The property sheet and what every page and dialog shares: the start page,
// the page bookkeeping, a second request while open, the tab titles and their
// registry overrides, the single Close button, centring, and the link buttons.
#include "app/app.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Checks that a window sits centred across the screen and a third down; its size.
SIZE ExpectPlacedAThirdDown(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    SIZE size = {rect.right - rect.left, rect.bottom - rect.top};
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 3);
    return size;
}

// A popup with a push button (1021) and a plain check box.
struct LinkWindows {
    HWND parent = CreateWindowExA(0, "STATIC", "links", WS_POPUP, 0, 0, 300, 100, nullptr,
                                  nullptr, AppInstance, nullptr);
    HWND button = CreateWindowExA(0, "BUTTON", "", WS_CHILD | BS_PUSHBUTTON, 5, 5, 200, 20,
                                  parent, (HMENU)1021, AppInstance, nullptr);
    HWND check = CreateWindowExA(0, "BUTTON", "check", WS_CHILD | BS_CHECKBOX, 5, 40, 200, 20,
                                 parent, (HMENU)1022, AppInstance, nullptr);
    ~LinkWindows() { DestroyWindow(parent); }
};

// DrawLinkButton's answer for a button drawn into a white W x H bitmap.
const int W = 300, H = 80;
int DrawLink(HWND button, std::vector<DWORD> &pixels, UINT type, UINT action)
{
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), W, -H, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    DWORD *bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, (void **)&bits, nullptr, 0);
    SelectObject(dc, bitmap);
    std::fill(bits, bits + W * H, 0xFFFFFFu);
    DRAWITEMSTRUCT item = {type, 1021, 0, action, 0, button, dc, {0, 0, W, H}, 0};
    int drawn = DrawLinkButton(&item);
    GdiFlush();
    pixels.assign(bits, bits + W * H);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return drawn;
}

// The box around the pixels of one colour; left > right when there are none.
RECT Box(const std::vector<DWORD> &pixels, COLORREF color)
{
    DWORD want = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    RECT box = {W, H, -1, -1};
    for (LONG i = 0; i < W * H; ++i)
        if ((pixels[i] & 0xFFFFFF) == want)
            box = {std::min(box.left, i % W), std::min(box.top, i / W),
                   std::max(box.right, i % W + 1), std::max(box.bottom, i / W + 1)};
    return box;
}

} // namespace

TEST(Sheet, OpensAtEachStartPageWithOnlyACloseButton)
{
    // Anything older would build the sheet from the first record layouts.
    EXPECT_GE(GetCommonControlsVersion(), 0x00040047u);
    const char *const titles[PageCount] = {"Startup Programs", "Active Tasks", "Cookies",
                                           "Domain Info", "Options", "About"};
    for (int page = 0; page < PageCount; ++page) {
        SCOPED_TRACE(page);
        HWND seen = nullptr;
        EXPECT_TRUE(DriveSheet(nullptr, page, [&](HWND sheet) {
            seen = sheet;
            // Only the start page was created, so its number is the one kept.
            EXPECT_EQ(SheetPage, page + 1);
            EXPECT_EQ(SheetWindow, sheet);
            EXPECT_EQ(SheetCurrentTab(sheet), page);
            EXPECT_EQ(SheetTabText(sheet, page), titles[page]);
            EXPECT_EQ(WindowText(sheet), AppTitle);
            ExpectPlacedAThirdDown(sheet);
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(sheet, IDOK)));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet, IDOK)));
            for (int hidden : {0x3021 /* Apply */, IDHELP})
                EXPECT_FALSE(IsWindowVisible(GetDlgItem(sheet, hidden)));
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(sheet, IDCANCEL)));
            EXPECT_EQ(WindowText(GetDlgItem(sheet, IDCANCEL)), "Close");
            EXPECT_FALSE(GetWindowLongA(sheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
            ScreenshotPoint(("sheet_" + std::to_string(page)).c_str());
        }));
        EXPECT_EQ(SheetPage, 0);
        EXPECT_EQ(SheetWindow, nullptr);
        EXPECT_FALSE(IsWindow(seen));
    }
}

TEST(Sheet, ASecondRequestKeepsTheOpenSheetAtItsPage)
{
    std::vector<int> numbers;
    EXPECT_TRUE(DriveSheet(nullptr, PageOptions, [&](HWND sheet) {
        numbers.push_back(SheetPage);
        EXPECT_EQ(ShowPropertySheet(nullptr, PageAbout), 0);
        EXPECT_EQ(FindThreadSheet(), sheet);
        EXPECT_EQ(SheetCurrentTab(sheet), PageOptions);
        // The number follows the page created last; going back creates nothing.
        for (int tab : {PageAbout, PageStartup, PageAbout, PageTasks}) {
            SendMessageA(sheet, PSM_SETCURSEL, (WPARAM)tab, 0);
            PumpMessages(50);
            numbers.push_back(SheetPage);
        }
        // With Active Tasks created last the request refreshes its list as well.
        EXPECT_EQ(ShowPropertySheet(nullptr, PageCookies), 0);
        PumpMessages(50);
        EXPECT_EQ(FindThreadSheet(), sheet);
        EXPECT_EQ(SheetCurrentTab(sheet), PageTasks);
    }));
    EXPECT_EQ(numbers, (std::vector<int>{5, 6, 1, 1, 2}));
    EXPECT_EQ(SheetPage, 0);
}

TEST(Sheet, RegistryOverridesRenameTabsAndTheAboutTitle)
{
    HKEY key;
    bool keyExisted = RegOpenKeyExA(HKEY_LOCAL_MACHINE, ProgramKeyPath, 0, KEY_READ, &key) == 0;
    if (keyExisted)
        RegCloseKey(key);
    // An empty override counts as none.
    const char *const overrides[][2] = {
        {"LString606", "Autostart"}, {"LString611", ""}, {"LString618", "Wuffle v"}};
    for (const auto &value : overrides)
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, ProgramKeyPath, value[0], value[1]));
    EXPECT_TRUE(DriveSheet(nullptr, PageAbout, [&](HWND sheet) {
        EXPECT_EQ(SheetTabText(sheet, 0), "Autostart");
        EXPECT_EQ(SheetTabText(sheet, 5), "About");
        EXPECT_EQ(SheetTabText(sheet, PageCount), "<none>");
        EXPECT_EQ(WindowText(GetDlgItem(SheetCurrentPage(sheet), 1041)), "Wuffle v4.0.2.4");
    }));
    for (const auto &value : overrides)
        RegDeleteValueName(HKEY_LOCAL_MACHINE, ProgramKeyPath, value[0]);
    if (!keyExisted)
        DeleteRegTree(HKEY_LOCAL_MACHINE, ProgramKeyPath);
}

TEST(Sheet, CenterWindowPlacesAThirdDownWithoutActivating)
{
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 5, 5, 50, 50,
                                 nullptr, nullptr, AppInstance, nullptr);
    for (SIZE size : {SIZE{300, 200}, SIZE{301, 203}, SIZE{GetSystemMetrics(SM_CXSCREEN), 301}}) {
        HWND window = CreateWindowExA(0, "STATIC", "centre", WS_POPUP | WS_VISIBLE, 17, 23,
                                      size.cx, size.cy, nullptr, nullptr, AppInstance, nullptr);
        SetActiveWindow(other);
        CenterWindow(window);
        SIZE placed = ExpectPlacedAThirdDown(window);
        EXPECT_EQ(placed.cx, size.cx);
        EXPECT_EQ(placed.cy, size.cy);
        EXPECT_NE(GetActiveWindow(), window);
        DestroyWindow(window);
    }
    DestroyWindow(other);
}

TEST(LinkButtons, HoverLightsOnlyALinkAndTheBackgroundPutsItOut)
{
    LinkWindows windows;
    MakeOwnerDrawn(windows.parent, 1021);
    EXPECT_EQ(GetWindowLongA(windows.button, GWL_STYLE) & BS_TYPEMASK, (LONG)BS_OWNERDRAW);
    EXPECT_EQ(HotLink, windows.parent);
    const struct { HWND under; COLORREF color; HWND hot; } steps[] = {
        {windows.button, LinkHotColor, windows.button},
        {windows.parent, LinkRestColor, nullptr},
        {windows.parent, LinkRestColor, nullptr},
        {windows.check, LinkRestColor, nullptr},  // a button, but style 2 is no link
        {windows.button, LinkHotColor, windows.button},
        {(HWND)(ULONG_PTR)0x7FFFFF0, LinkHotColor, windows.button},  // no window: ignored
        {windows.parent, LinkRestColor, nullptr},
    };
    for (size_t i = 0; i < sizeof(steps) / sizeof(steps[0]); ++i) {
        SCOPED_TRACE(i);
        TrackLinkHover((WPARAM)steps[i].under);
        EXPECT_EQ(LinkColor, steps[i].color);
        EXPECT_EQ(HotLink, steps[i].hot);
    }
}

TEST(LinkButtons, OneLineIsCentredAndALineBreakWrapsFromTheTopLeft)
{
    LinkWindows windows;
    std::vector<DWORD> pixels;
    for (bool wrapped : {false, true}) {
        SCOPED_TRACE(wrapped);
        SetWindowTextA(windows.button, wrapped ? "Remove\nUnchecked" : "Remove Unchecked");
        LinkColor = LinkHotColor;
        ASSERT_EQ(DrawLink(windows.button, pixels, ODT_BUTTON, ODA_DRAWENTIRE), 1);
        // The hover colour lasts for one drawing.
        EXPECT_EQ(LinkColor, (COLORREF)LinkRestColor);
        RECT face = Box(pixels, LinkHotColor), shadow = Box(pixels, LinkShadowColor);
        ASSERT_LT(face.left, face.right);
        EXPECT_EQ(shadow.right, face.right + 1);
        EXPECT_EQ(shadow.bottom, face.bottom + 1);
        if (wrapped) {
            EXPECT_LT(face.left, 4);
            EXPECT_LT(face.top, 6);
            EXPECT_GT(face.bottom - face.top, 20);
        } else {
            EXPECT_NEAR(face.left, W - face.right, 3);
            EXPECT_NEAR(face.top, H - face.bottom, 3);
            EXPECT_LT(face.bottom - face.top, 20);
        }
    }
    // Focus and selection changes and other controls draw nothing, so the
    // hover colour still waits for its drawing.
    LinkColor = LinkHotColor;
    EXPECT_EQ(DrawLink(windows.button, pixels, ODT_BUTTON, ODA_FOCUS), 0);
    EXPECT_EQ(DrawLink(windows.button, pixels, ODT_BUTTON, ODA_SELECT), 0);
    EXPECT_EQ(DrawLink(windows.button, pixels, ODT_STATIC, ODA_DRAWENTIRE), 0);
    EXPECT_EQ(DrawLinkButton(nullptr), 0);
    EXPECT_EQ(LinkColor, (COLORREF)LinkHotColor);
    LinkColor = LinkRestColor;
}
