// Report-view list helpers with the program's fixed column layouts, and the
// two small image lists that hold the rows' program icons.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "store/store.h"

#include <shellapi.h>

HIMAGELIST SmallImageLists[2] = {nullptr, nullptr};

namespace {

double ColumnFraction(int layout, int column)
{
    static const double startup[3] = {0.4, 0.45, 0.14};
    static const double tasks[3] = {0.3, 0.55, 0.14};
    if (column < 0 || column > 2)
        return 0.0;
    switch (layout) {
    case LayoutStartup: return startup[column];
    case LayoutTasks: return tasks[column];
    case LayoutCookies: return 1.0;
    default: return 0.0;
    }
}

} // namespace

BOOL InsertListColumn(HWND list, int column, const char *header, int layout)
{
    RECT rect = {};
    GetWindowRect(list, &rect);
    int usable = (rect.right - rect.left) - GetSystemMetrics(SM_CYVSCROLL);
    LVCOLUMNA info = {};
    info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    info.fmt = LVCFMT_LEFT;
    info.cx = (int)(ColumnFraction(layout, column) * usable);
    info.pszText = (char *)header;
    info.iSubItem = column;
    return SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)column, (LPARAM)&info) != -1;
}

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

int GetSelectedItem(HWND list)
{
    int rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < rows; ++row)
        if (SendMessageA(list, LVM_GETITEMSTATE, (WPARAM)row, LVIS_SELECTED) & LVIS_SELECTED)
            return row;
    return -1;
}

int CreateSmallImageList(HWND list, int slot)
{
    if (slot < 0 || slot > 1)
        return 0;
    HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), ILC_MASK | ILC_COLOR32, 1, 1);
    if (!images)
        return 0;
    SmallImageLists[slot] = images;
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);
    HICON icon = LoadIconA(AppInstance, MAKEINTRESOURCEA(IDI_APP));
    if (!icon)
        return 0;
    return ImageList_ReplaceIcon(images, -1, icon);
}

void DestroySmallImageList(int slot)
{
    if (slot < 0 || slot > 1 || !SmallImageLists[slot])
        return;
    ImageList_Destroy(SmallImageLists[slot]);
    SmallImageLists[slot] = nullptr;
}

int AddProgramIcon(const char *command, int iconNumber, int slot)
{
    if (slot < 0 || slot > 1 || !SmallImageLists[slot])
        return -1;
    char program[PathSize];
    ProgramFileFromCommand(command, program, sizeof(program));
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

int GetListCellText(HWND list, int row, int column, char *buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = '\0';
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = size;
    return (int)SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
}

void SetListCellText(HWND list, int row, int column, const char *text)
{
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = (char *)text;
    SendMessageA(list, LVM_SETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
}
