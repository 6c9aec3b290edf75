// The About page inside the real sheet: the title from the executable's own
// version, the texts, the home page link drawn as a link that lights up under
// the pointer, and the link opening the home page.
#include "app/app.h"
#include "resource.h"
#include "store/store.h"
#include "sheet_fakeaol.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void OnAboutPage(const std::function<void(HWND page)> &body)
{
    bool opened = DriveSheet(nullptr, PageAbout, [&](HWND sheet) {
        HWND page = SheetCurrentPage(sheet);
        ASSERT_NE(page, nullptr);
        body(page);
    });
    EXPECT_TRUE(opened);
}

// Counts the pixels of one colour that a window shows now.
int CountWindowPixels(HWND window, COLORREF color)
{
    RECT rect;
    GetClientRect(window, &rect);
    int width = rect.right, height = rect.bottom;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    DWORD *bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, (void **)&bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HDC screen = GetDC(window);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    ReleaseDC(window, screen);
    GdiFlush();
    DWORD want = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    int count = 0;
    for (int i = 0; i < width * height; ++i)
        count += (bits[i] & 0xFFFFFF) == want;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return count;
}

void PointerOver(HWND page, HWND window)
{
    SendMessageA(page, WM_SETCURSOR, (WPARAM)window, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

} // namespace

TEST(AboutPage, ShowsTheOwnVersionAndTheTexts)
{
    OnAboutPage([](HWND page) {
        EXPECT_EQ(SheetPage, 6);
        // The test program carries the program's own version resource.
        EXPECT_EQ(WindowText(GetDlgItem(page, 1041)), "Sentrovia v4.0.2.4");
        EXPECT_EQ((HFONT)SendDlgItemMessageA(page, 1041, WM_GETFONT, 0, 0), TitleFont);
        EXPECT_EQ(WindowText(GetDlgItem(page, 1042)),
                  "The security of your system is important.\nWuffle the Windows Watch Dog is here to help.");
        EXPECT_EQ(WindowText(GetDlgItem(page, 1043)),
                  "For online help and product news, click the link below.");
        HWND link = GetDlgItem(page, 1021);
        EXPECT_EQ(WindowText(link), HomePageAddress);
        EXPECT_EQ(GetWindowLongA(link, GWL_STYLE) & BS_TYPEMASK, (LONG)BS_OWNERDRAW);
        ScreenshotPoint("about_page");
    });
    EXPECT_EQ(SheetPage, 0);
    EXPECT_STREQ(HomePageAddress, "http://www.ostrelstudios.example/sentrovia/");
}

TEST(AboutPage, TheTitlePrefixIsAText)
{
    HKEY key = nullptr;
    bool keyExisted =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, ProgramKeyPath, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (key)
        RegCloseKey(key);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, ProgramKeyPath, "LString618", "Wuffle v"));
    OnAboutPage([](HWND page) {
        EXPECT_EQ(WindowText(GetDlgItem(page, 1041)), "Wuffle v4.0.2.4");
    });
    RegDeleteValueName(HKEY_LOCAL_MACHINE, ProgramKeyPath, "LString618");
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, ProgramKeyPath, "LString618"));
    if (!keyExisted)
        DeleteRegTree(HKEY_LOCAL_MACHINE, ProgramKeyPath);
}

TEST(AboutPage, TheLinkLightsUpUnderThePointer)
{
    OnAboutPage([](HWND page) {
        HWND link = GetDlgItem(page, 1021);
        UpdateWindow(page);
        PumpMessages(50);
        EXPECT_GT(CountWindowPixels(link, LinkRestColor), 0);
        EXPECT_EQ(CountWindowPixels(link, LinkHotColor), 0);

        PointerOver(page, link);
        EXPECT_EQ(HotLink, link);
        UpdateWindow(link);
        EXPECT_GT(CountWindowPixels(link, LinkHotColor), 0);
        // Drawn once in the hover colour, the link colour is at rest again.
        EXPECT_EQ(LinkColor, (COLORREF)LinkRestColor);

        // The pointer moves on to the page's background.
        PointerOver(page, page);
        EXPECT_EQ(HotLink, nullptr);
        UpdateWindow(page);
        PumpMessages(50);
        EXPECT_EQ(CountWindowPixels(link, LinkHotColor), 0);
        EXPECT_GT(CountWindowPixels(link, LinkRestColor), 0);
        ScreenshotPoint("about_link_rest");
    });
}

TEST(AboutPage, TheLinkOpensTheHomePage)
{
    FakeAol aol;
    OnAboutPage([&](HWND page) {
        SendMessageA(GetDlgItem(page, 1021), BM_CLICK, 0, 0);
        // The plain form: the address follows -u directly, without quotes.
        EXPECT_EQ(aol.TakeCommandLine(), aol.folder + "\\WAOL.EXE -u" + HomePageAddress);
    });
}
