// The list-view helpers on a real comctl32 report view: the three column
// layouts, rows with their item data, the selected row, and the two small
// image lists with the program icons and the no-icon stand-in.
#include "app/app.h"
#include "resource.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ListViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        parent = CreateWindowExA(0, "STATIC", "lists", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr,
                                 AppInstance, nullptr);
        list = MakeList(400);
    }
    void TearDown() override
    {
        DestroySmallImageList(0);
        DestroySmallImageList(1);
        DestroyWindow(parent);
    }
    HWND MakeList(int width)
    {
        return CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                               WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL, 0, 0, width,
                               200, parent, nullptr, AppInstance, nullptr);
    }
    int ColumnWidth(HWND view, int column)
    {
        return (int)SendMessageA(view, LVM_GETCOLUMNWIDTH, (WPARAM)column, 0);
    }
    HWND parent = nullptr;
    HWND list = nullptr;
};

LPARAM ItemData(HWND list, int row)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM | LVIF_IMAGE;
    item.iItem = row;
    SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
    return item.lParam;
}

int ItemImage(HWND list, int row)
{
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
    return item.iImage;
}

void Select(HWND list, int row, bool on)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = on ? LVIS_SELECTED : 0;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
}

} // namespace

TEST_F(ListViewTest, ColumnsTakeTheirShareOfTheUsableWidth)
{
    int usable = 400 - GetSystemMetrics(SM_CYVSCROLL);
    EXPECT_TRUE(InsertListColumn(list, 0, "Program Title", LayoutStartup));
    EXPECT_TRUE(InsertListColumn(list, 1, "Command", LayoutStartup));
    EXPECT_TRUE(InsertListColumn(list, 2, "Version", LayoutStartup));
    EXPECT_EQ(ColumnWidth(list, 0), usable * 40 / 100);
    EXPECT_EQ(ColumnWidth(list, 1), usable * 45 / 100);
    EXPECT_EQ(ColumnWidth(list, 2), usable * 14 / 100);
    if (GetSystemMetrics(SM_CYVSCROLL) == 16) {
        EXPECT_EQ(ColumnWidth(list, 0), 153);
        EXPECT_EQ(ColumnWidth(list, 1), 172);
        EXPECT_EQ(ColumnWidth(list, 2), 53);
    }

    // Fractions of a pixel are cut toward zero.
    HWND tasks = MakeList(10 + GetSystemMetrics(SM_CYVSCROLL));
    InsertListColumn(tasks, 0, "Module", LayoutTasks);
    InsertListColumn(tasks, 1, "Program Description", LayoutTasks);
    InsertListColumn(tasks, 2, "Version", LayoutTasks);
    EXPECT_EQ(ColumnWidth(tasks, 0), 3);
    EXPECT_EQ(ColumnWidth(tasks, 1), 5);
    EXPECT_EQ(ColumnWidth(tasks, 2), 1);

    HWND wide = MakeList(500);
    int wideUsable = 500 - GetSystemMetrics(SM_CYVSCROLL);
    InsertListColumn(wide, 0, "Module", LayoutTasks);
    InsertListColumn(wide, 1, "Program Description", LayoutTasks);
    InsertListColumn(wide, 2, "Version", LayoutTasks);
    EXPECT_EQ(ColumnWidth(wide, 0), wideUsable * 30 / 100);
    EXPECT_EQ(ColumnWidth(wide, 1), wideUsable * 55 / 100);
    EXPECT_EQ(ColumnWidth(wide, 2), wideUsable * 14 / 100);

    // The cookie layout gives every column the whole width; the header text
    // and alignment are the caller's and the left edge.
    HWND cookies = MakeList(300);
    InsertListColumn(cookies, 0, "Cookies", LayoutCookies);
    EXPECT_EQ(ColumnWidth(cookies, 0), 300 - GetSystemMetrics(SM_CYVSCROLL));
    char header[64] = "";
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM;
    column.pszText = header;
    column.cchTextMax = sizeof(header);
    SendMessageA(cookies, LVM_GETCOLUMNA, 0, (LPARAM)&column);
    EXPECT_STREQ(header, "Cookies");
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
    EXPECT_EQ(column.iSubItem, 0);
}

TEST_F(ListViewTest, RowsCarryTheirIndexAndTheSelectionIsFound)
{
    InsertListColumn(list, 0, "Title", LayoutStartup);
    InsertListColumn(list, 1, "Command", LayoutStartup);
    EXPECT_EQ(GetSelectedItem(list), -1);
    for (int row = 0; row < 4; ++row) {
        std::string text = "row " + std::to_string(row);
        EXPECT_EQ(InsertListItem(list, text.c_str(), row, row % 2), 1);
        SetListCellText(list, row, 1, ("cmd " + std::to_string(row)).c_str());
    }
    ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 4);
    char text[64];
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(ItemData(list, row), row);
        EXPECT_EQ(ItemImage(list, row), row % 2);
        GetListCellText(list, row, 0, text, sizeof(text));
        EXPECT_EQ(std::string(text), "row " + std::to_string(row));
        GetListCellText(list, row, 1, text, sizeof(text));
        EXPECT_EQ(std::string(text), "cmd " + std::to_string(row));
    }
    // A cell text is cut to the caller's buffer.
    char small[4];
    GetListCellText(list, 3, 1, small, sizeof(small));
    EXPECT_STREQ(small, "cmd");

    EXPECT_EQ(GetSelectedItem(list), -1);
    Select(list, 2, true);
    EXPECT_EQ(GetSelectedItem(list), 2);
    Select(list, 2, false);
    Select(list, 0, true);
    EXPECT_EQ(GetSelectedItem(list), 0);
    Select(list, 0, false);
    EXPECT_EQ(GetSelectedItem(list), -1);
}

TEST_F(ListViewTest, ImageListsHoldTheProgramIcons)
{
    EXPECT_EQ(CreateSmallImageList(list, 0), 0);
    HIMAGELIST images = SmallImageLists[0];
    ASSERT_NE(images, nullptr);
    EXPECT_EQ((HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0), images);
    EXPECT_EQ(ImageList_GetImageCount(images), 1);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(cy, GetSystemMetrics(SM_CYSMICON));

    // A program with an icon, also named by a command line; a file without
    // any icon and a missing file get the no-icon picture. Each is a new image.
    std::string versioned = FixturePath("sheet_versioned.exe");
    EXPECT_EQ(AddProgramIcon(versioned.c_str(), 0, 0), 1);
    EXPECT_EQ(AddProgramIcon(("\"" + versioned + "\" /min").c_str(), 0, 0), 2);
    EXPECT_EQ(AddProgramIcon(FixturePath("sheet_cmdline.exe").c_str(), 0, 0), 3);
    EXPECT_EQ(AddProgramIcon("C:\\NOWHERE\\MISSING.EXE", 0, 0), 4);
    EXPECT_EQ(AddProgramIcon("", 0, 0), 5);
    EXPECT_EQ(ImageList_GetImageCount(images), 6);

    // Slot 1 is a list of its own; a slot without a list takes nothing.
    EXPECT_EQ(AddProgramIcon(versioned.c_str(), 0, 1), -1);
    HWND tasks = MakeList(300);
    EXPECT_EQ(CreateSmallImageList(tasks, 1), 0);
    EXPECT_NE(SmallImageLists[1], images);
    EXPECT_EQ(AddProgramIcon(versioned.c_str(), 0, 1), 1);
    EXPECT_EQ(AddProgramIcon(versioned.c_str(), 0, 2), -1);

    DestroySmallImageList(1);
    EXPECT_EQ(SmallImageLists[1], nullptr);
    // A slot above 1, or one already empty, is left alone.
    DestroySmallImageList(2);
    DestroySmallImageList(1);
    EXPECT_EQ(SmallImageLists[0], images);
}

TEST_F(ListViewTest, TheSlotsListOutlivesItsListView)
{
    // The page that created a list destroys it; the list view must not have
    // destroyed it already when it went with its page.
    EXPECT_EQ(CreateSmallImageList(list, 0), 0);
    HIMAGELIST images = SmallImageLists[0];
    AddProgramIcon(FixturePath("sheet_versioned.exe").c_str(), 0, 0);
    DestroyWindow(list);
    list = nullptr;
    EXPECT_EQ(ImageList_GetImageCount(images), 2);
    DestroySmallImageList(0);
    EXPECT_EQ(SmallImageLists[0], nullptr);
}
