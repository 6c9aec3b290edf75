// The list-view helpers on a real comctl32 report view: the column layouts,
// rows, the selected row, and the two image lists with the program icons.
#include "app/app.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

namespace {

class ListViewTest : public testing::Test {
protected:
    ~ListViewTest() override { DestroyWindow(parent); }
    HWND MakeList(int width)
    {
        return CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0,
                               width, 200, parent, nullptr, AppInstance, nullptr);
    }
    HWND parent = CreateWindowExA(0, "STATIC", "lists", WS_POPUP, 0, 0, 600, 400, nullptr,
                                  nullptr, AppInstance, nullptr);
};

} // namespace

TEST_F(ListViewTest, ColumnsTakeTheirShareOfTheUsableWidth)
{
    // Of the window's width less the scroll-bar metric, cut toward zero.
    const struct { int layout, usable, widths[3]; } cases[] = {
        {LayoutStartup, 384, {153, 172, 53}}, {LayoutTasks, 384, {115, 211, 53}},
        {LayoutCookies, 284, {284, 284, 284}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.layout);
        HWND list = MakeList(c.usable + GetSystemMetrics(SM_CYVSCROLL));
        for (int column = 0; column < 3; ++column) {
            EXPECT_TRUE(InsertListColumn(list, column, "Column", c.layout));
            LVCOLUMNA info = {};
            info.mask = LVCF_FMT | LVCF_SUBITEM | LVCF_WIDTH;
            SendMessageA(list, LVM_GETCOLUMNA, (WPARAM)column, (LPARAM)&info);
            EXPECT_EQ(info.cx, c.widths[column]);
            EXPECT_EQ(info.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
            EXPECT_EQ(info.iSubItem, column);
        }
    }
}

TEST_F(ListViewTest, RowsTheSelectionAndTheImageListsThatOutliveTheirListView)
{
    HWND list = MakeList(400);
    InsertListColumn(list, 0, "Title", LayoutStartup);
    InsertListColumn(list, 1, "Command", LayoutStartup);
    EXPECT_EQ(GetSelectedItem(list), -1);
    char text[64];
    for (int row = 0; row < 4; ++row) {
        std::string name = "row " + std::to_string(row);
        EXPECT_EQ(InsertListItem(list, name.c_str(), row, row % 2), 1);
        SetListCellText(list, row, 1, (name + " cmd").c_str());
        LVITEMA item = {};
        item.mask = LVIF_PARAM | LVIF_IMAGE;
        item.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
        EXPECT_EQ(item.lParam, row);
        EXPECT_EQ(item.iImage, row % 2);
        GetListCellText(list, row, 0, text, sizeof(text));
        EXPECT_EQ(text, name);
        GetListCellText(list, row, 1, text, sizeof(text));
        EXPECT_EQ(text, name + " cmd");
        ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
        EXPECT_EQ(GetSelectedItem(list), row);
        ListView_SetItemState(list, row, 0, LVIS_SELECTED);
    }
    EXPECT_EQ(GetSelectedItem(list), -1);
    // A cell text is cut to the caller's buffer.
    EXPECT_EQ(GetListCellText(list, 3, 1, text, 4), 3);
    EXPECT_STREQ(text, "row");
    EXPECT_EQ(CreateSmallImageList(list, 0), 0);
    HIMAGELIST images = SmallImageLists[0];
    EXPECT_EQ((HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0), images);
    int cx = 0, cy = 0;
    EXPECT_TRUE(ImageList_GetIconSize(images, &cx, &cy) && cx == GetSystemMetrics(SM_CXSMICON) &&
                cy == GetSystemMetrics(SM_CYSMICON)) << cx << " x " << cy;
    // A program's icon (also through a command line), else the no-icon picture.
    std::string versioned = FixturePath("sheet_versioned.exe");
    const std::string commands[] = {versioned, "\"" + versioned + "\" /min",
                                    FixturePath("sheet_cmdline.exe"), "C:\\NO\\MISSING.EXE", ""};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(AddProgramIcon(commands[i].c_str(), 0, 0), i + 1) << commands[i];
    // Slot 1 is a list of its own; a slot without a list takes nothing.
    EXPECT_EQ(AddProgramIcon(versioned.c_str(), 0, 1), -1);
    EXPECT_EQ(CreateSmallImageList(MakeList(300), 1), 0);
    EXPECT_EQ(AddProgramIcon(versioned.c_str(), 0, 1), 1);
    EXPECT_EQ(AddProgramIcon(versioned.c_str(), 0, 2), -1);
    // The page that made a list destroys it, after its list view has gone.
    DestroyWindow(list);
    EXPECT_EQ(ImageList_GetImageCount(images), 6);
    DestroySmallImageList(1);
    EXPECT_EQ(SmallImageLists[1], nullptr);
    // A slot above 1, or one already empty, is left alone.
    DestroySmallImageList(2);
    DestroySmallImageList(1);
    EXPECT_EQ(SmallImageLists[0], images);
    DestroySmallImageList(0);
}
