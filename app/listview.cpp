// Report-view list helpers with the program's fixed column layouts, and the
// two small image lists that hold the rows' program icons.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "store/store.h"

#include <shellapi.h>
#include <string.h>

HIMAGELIST SmallImageLists[2] = {nullptr, nullptr};

namespace {

// A column's share of the usable width in thousandths; in whole numbers the
// cut toward zero needs no thought about rounding.
int ColumnShare(int layout, int column)
{
    static const int startup[3] = {400, 450, 140};
    static const int tasks[3] = {300, 550, 140};
    if (column < 0 || column > 2)
        return 0;
    switch (layout) {
    case LayoutStartup: return startup[column];
    case LayoutTasks: return tasks[column];
    case LayoutCookies: return 1000;
    default: return 0;
    }
}

} // namespace

// InsertListColumn: a left-aligned column with its layout's share of the width.
BOOL InsertListColumn(HWND list, int column, const char *header, int layout)
{
    RECT rect = {};
    GetWindowRect(list, &rect);
    int usable = (rect.right - rect.left) - GetSystemMetrics(SM_CYVSCROLL);
    LVCOLUMNA info = {};
    info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    info.fmt = LVCFMT_LEFT;
    info.cx = usable * ColumnShare(layout, column) / 1000;
    info.pszText = (char *)header;
    info.iSubItem = column;
    return SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)column, (LPARAM)&info) != -1;
}

// InsertListColumns: a page's columns of one layout, headers from the string table.
void InsertListColumns(HWND list, const int *headerIds, int count, int layout)
{
    for (int column = 0; column < count; ++column) {
        char header[TitleSize];
        LoadText(headerIds[column], header, sizeof(header));
        InsertListColumn(list, column, header, layout);
    }
}

// InsertListItem: a row whose item data is its own index (row k is entry k).
int InsertListItem(HWND list, const char *text, int row, int image)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = row;
    item.pszText = (char *)text;
    item.iImage = image;
    item.lParam = row;
    SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
    return 1;
}

// GetSelectedItem: the first selected row, -1 when none.
int GetSelectedItem(HWND list)
{
    int rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < rows; ++row)
        if (SendMessageA(list, LVM_GETITEMSTATE, (WPARAM)row, LVIS_SELECTED) & LVIS_SELECTED)
            return row;
    return -1;
}

// GetSelectedEntry: the selected row's entry, by the index the row carries.
int GetSelectedEntry(HWND list)
{
    int row = GetSelectedItem(list);
    if (row < 0)
        return -1;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item))
        return -1;
    int entry = (int)item.lParam;
    return entry >= 0 && entry < EntryCount ? entry : -1;
}

// CreateSmallImageList: a small-icon list in a slot, the program's icon as image 0.
int CreateSmallImageList(HWND list, int slot)
{
    if (slot < 0 || slot > 1)
        return 0;
    HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), ILC_MASK | ILC_COLOR32, 1, 1);
    if (!images)
        return 0;
    SmallImageLists[slot] = images;
    // The page that created the list destroys it; a list view left to its
    // default would destroy it as well when it goes, a second time.
    LONG style = GetWindowLongA(list, GWL_STYLE);
    SetWindowLongA(list, GWL_STYLE, style | LVS_SHAREIMAGELISTS);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);
    HICON icon = LoadIconA(AppInstance, MAKEINTRESOURCEA(IDI_APP));
    if (!icon)
        return 0;
    return ImageList_ReplaceIcon(images, -1, icon);
}

// DestroySmallImageList: releases a slot's list; empty slots and slots above 1 are left alone.
void DestroySmallImageList(int slot)
{
    if (slot < 0 || slot > 1 || !SmallImageLists[slot])
        return;
    ImageList_Destroy(SmallImageLists[slot]);
    SmallImageLists[slot] = nullptr;
}

// AddProgramIcon: the icon of a command line's program file, or the no-icon picture, as a new
// image.
int AddProgramIcon(const char *command, int iconNumber, int slot)
{
    char program[PathSize];
    FindProgramFile(command, program, sizeof(program));
    return AddProgramFileIcon(program, iconNumber, slot);
}

// AddProgramFileIcon: the same for a program file named whole.
int AddProgramFileIcon(const char *program, int iconNumber, int slot)
{
    if (slot < 0 || slot > 1 || !SmallImageLists[slot] || !program)
        return -1;
    HICON icon = program[0] ? ExtractIconA(AppInstance, program, (UINT)iconNumber) : nullptr;
    bool extracted = icon && icon != (HICON)1;
    if (!extracted)
        icon = LoadIconA(AppInstance, MAKEINTRESOURCEA(IDI_NOICON));
    if (!icon)
        return -1;
    int index = ImageList_ReplaceIcon(SmallImageLists[slot], -1, icon);
    // The image list keeps its own copy; an icon taken from a file is ours.
    if (extracted)
        DestroyIcon(icon);
    return index;
}

// GetListCellText: one cell's text, always ended within the buffer.
int GetListCellText(HWND list, int row, int column, char *buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = '\0';
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = size;
    SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
    // The control may hand back its own copy instead of filling ours, and a
    // cut text may come without its terminating zero.
    if (item.pszText && item.pszText != buffer && item.pszText != LPSTR_TEXTCALLBACKA)
        CopyText(buffer, (size_t)size, item.pszText);
    buffer[size - 1] = '\0';
    return (int)strlen(buffer);
}

// SetListCellText: replaces one cell's text.
void SetListCellText(HWND list, int row, int column, const char *text)
{
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = (char *)text;
    SendMessageA(list, LVM_SETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
}
