// The Cookies with Nuts dialog: the list of texts whose cookies are deleted
// without asking, with Add and Remove. Every change is written at once.
#include "cookies/cookies.h"
#include "app/app.h"
#include "resource.h"
#include "startup/startup.h"
#include "store/store.h"

namespace {

enum : int {
    IdList = 1000,
    IdEdit = 1004,
    IdAdd = 1064,
    IdRemove = 1003,
    IdHeader = 1060,
    IdText = 1061,
    IdAddHint = 1062,
    IdRemoveHint = 1063,
};

const int NutImageSlot = 0;
const int NutEditSize = 128;
// The slot's list of the page that had it when the dialog opened (the
// Startup Programs page keeps its icons there); it gets it back on closing.
HIMAGELIST SetAsideImages = nullptr;

HWND NutList(HWND dialog)
{
    return GetDlgItem(dialog, IdList);
}

// The typed text stays in the field whenever it was not stored.
void AddTypedNut(HWND dialog)
{
    char text[NutEditSize] = "";
    GetDlgItemTextA(dialog, IdEdit, text, sizeof(text));
    if (!text[0])
        return;
    // The table holds the listed nuts, up to its limit; one more could be
    // stored but never shown or removed here.
    if (EntryCount >= MaxEntries) {
        HelpBox(IDS_NUTS_FULL);
        return;
    }
    if (!AddNut(text)) {
        HelpBox(IDS_NUTS_UNSAVED);
        FillNutList(dialog);
        return;
    }
    SetDlgItemTextA(dialog, IdEdit, "");
    FillNutList(dialog);
}

void RemoveSelectedNut(HWND dialog)
{
    int row = GetSelectedItem(NutList(dialog));
    if (row < 0) {
        HelpBox(IDS_HELP_NOCOOKIE);
        return;
    }
    // Row k shows entry k of the last fill: the nut the user picked.
    int number = row < EntryCount && GetEntrySource(row) == SourceNut ? (int)GetEntryNumber(row) : 0;
    if (number > 0 && !RemoveNut(number))
        HelpBox(IDS_NUTS_UNSAVED);
    FillNutList(dialog);
}

BOOL OnInitNutsDialog(HWND dialog)
{
    const struct { int text; int control; } texts[] = {
        {IDS_NUTS_HEADER, IdHeader}, {IDS_NUTS_TEXT, IdText}, {IDS_NUTS_ADDHINT, IdAddHint},
        {IDS_NUTS_REMOVEHINT, IdRemoveHint}, {IDS_BTN_ADD, IdAdd}, {IDS_BTN_REMOVE, IdRemove},
        {IDS_BTN_CLOSE, IDCANCEL},
    };
    for (const auto &text : texts)
        SetDlgItemTextId(dialog, text.text, text.control);
    MakeOwnerDrawn(dialog, IdRemove);
    MakeOwnerDrawn(dialog, IDCANCEL);
    SendDlgItemMessageA(dialog, IdEdit, EM_LIMITTEXT, NutEditSize - 1, 0);
    HWND list = NutList(dialog);
    SetAsideImages = SmallImageLists[NutImageSlot];
    SmallImageLists[NutImageSlot] = nullptr;
    CreateSmallImageList(list, NutImageSlot);
    char header[TitleSize];
    LoadText(IDS_COL_NUTS, header, sizeof(header));
    InsertListColumn(list, 0, header, LayoutCookies);
    FillNutList(dialog);
    CenterWindow(dialog);
    return TRUE;
}

void OnNutsDialogGone(HWND dialog)
{
    SendMessageA(NutList(dialog), LVM_SETIMAGELIST, LVSIL_SMALL, 0);
    DestroySmallImageList(NutImageSlot);
    SmallImageLists[NutImageSlot] = SetAsideImages;
    SetAsideImages = nullptr;
}

} // namespace

// FillNutList: the stored nuts, one row each with the nut icon; row k is entry k.
void FillNutList(HWND dialog)
{
    HWND list = NutList(dialog);
    LoadNuts();
    DestroySmallImageList(NutImageSlot);
    CreateSmallImageList(list, NutImageSlot);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    HICON nut = LoadIconA(AppInstance, MAKEINTRESOURCEA(IDI_NUT));
    int image = nut ? ImageList_ReplaceIcon(SmallImageLists[NutImageSlot], -1, nut) : 0;
    for (int k = 0; k < EntryCount; ++k) {
        char title[TitleSize];
        GetEntryTitle(k, title);
        InsertListItem(list, title, k, image < 0 ? 0 : image);
    }
}

// NutsDialog: dialog procedure of Cookies with Nuts (template 122).
INT_PTR CALLBACK NutsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitNutsDialog(dialog);
    case WM_COMMAND:
        switch (CookieCommand(wParam, lParam)) {
        case IDOK:
        case IdAdd: AddTypedNut(dialog); return TRUE;
        case IdRemove: RemoveSelectedNut(dialog); return TRUE;
        case IDCANCEL: EndDialog(dialog, 0); return TRUE;
        default: return FALSE;
        }
    case WM_SETCURSOR:
        TrackLinkHover(wParam);
        return FALSE;
    case WM_DRAWITEM:
        return DrawLinkButton((const DRAWITEMSTRUCT *)lParam);
    case WM_DESTROY:
        OnNutsDialogGone(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}
