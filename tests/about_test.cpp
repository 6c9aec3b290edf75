// The About page inside the real sheet: the title from the executable's own
// version, and the home page link that lights up under the pointer and opens
// the home page.
#include "app/app.h"
#include "sheet_fakeaol.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// Whether a window shows any pixel of a colour now.
bool ShowsColor(HWND window, COLORREF color)
{
    RECT rect;
    GetClientRect(window, &rect);
    BITMAPINFO info = {
        {sizeof(BITMAPINFOHEADER), rect.right, -rect.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    DWORD *bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr), screen = GetDC(window);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, (void **)&bits, nullptr, 0);
    SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, rect.right, rect.bottom, screen, 0, 0, SRCCOPY);
    GdiFlush();
    DWORD want = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    bool shown = std::any_of(bits, bits + rect.right * rect.bottom,
                             [&](DWORD pixel) { return (pixel & 0xFFFFFF) == want; });
    ReleaseDC(window, screen);
    DeleteDC(memory);
    DeleteObject(bitmap);
    return shown;
}

} // namespace

TEST(AboutPage, ShowsTheOwnVersionAndALinkToTheHomePage)
{
    const std::string home = "http://www.ostrelstudios.example/sentrovia/";
    FakeAol aol;
    EXPECT_TRUE(DriveSheet(nullptr, PageAbout, [&](HWND sheet) {
        HWND page = SheetCurrentPage(sheet), link = GetDlgItem(page, 1021);
        // The test program carries the program's own version resource.
        EXPECT_EQ(WindowText(GetDlgItem(page, 1041)), "Sentrovia v4.0.2.4");
        EXPECT_EQ((HFONT)SendDlgItemMessageA(page, 1041, WM_GETFONT, 0, 0), TitleFont);
        EXPECT_EQ(WindowText(link), home);
        ScreenshotPoint("about_page");
        // The pointer on the background, over the link, and on the background again.
        for (HWND under : {page, link, page}) {
            SendMessageA(page, WM_SETCURSOR, (WPARAM)under, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            UpdateWindow(link);
            PumpMessages(50);
            EXPECT_EQ(HotLink, under == link ? link : nullptr);
            EXPECT_EQ(ShowsColor(link, LinkHotColor), under == link);
            EXPECT_EQ(ShowsColor(link, LinkRestColor), under != link);
        }
        // The plain form: the address follows -u directly, without quotes.
        SendMessageA(link, BM_CLICK, 0, 0);
        EXPECT_EQ(aol.TakeCommandLine(), aol.folder + "\\WAOL.EXE -u" + home);
    }));
}
