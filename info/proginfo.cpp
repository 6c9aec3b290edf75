// The program information dialog: what a program file's version resource
// says about it, its icon, and a More Info button that opens the product
// information page for it.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "startup/startup.h"
#include "store/store.h"

#include <shellapi.h>

namespace {

enum : int {
    IdIcon = 117,
    IdIntro = 1036,
    IdDescription = 1031,
    IdPath = 1026,
    IdSource = 1027,
    IdProduct = 100,
    IdVersion = 1029,
    IdCompany = 1030,
    IdCopyright = 1032,
    IdMoreInfo = 1067,
};

// The template's wording stays when the resource lacks the value.
void SetLineIfAny(HWND dialog, int control, const char *text)
{
    if (text[0])
        SetDlgItemTextA(dialog, control, text);
}

void ShowProgramIcon(HWND dialog)
{
    HICON icon = ExtractIconA(AppInstance, SelectedProgramPath, 0);
    // 1 means "not a file with icons"; the button keeps its "No Icon".
    if (!icon || icon == (HICON)1)
        return;
    SendDlgItemMessageA(dialog, IdIcon, BM_SETIMAGE, IMAGE_ICON, (LPARAM)icon);
}

BOOL OnInitProgramInfo(HWND dialog)
{
    VersionInfo info;
    ReadVersionInfo(SelectedProgramPath, &info);
    SetWindowTextA(dialog, SelectedProgramTitle);
    ShowProgramDetails(dialog, &info);
    SetDlgItemTextA(dialog, IdSource, SelectedProgramSource);
    SetDlgItemTextId(dialog, IDS_INFO_INTRO, IdIntro);
    SetDlgItemTextId(dialog, IDS_BTN_CLOSE, IDOK);
    MakeOwnerDrawn(dialog, IDOK);
    CenterWindow(dialog);
    return TRUE;
}

// More Info: the product information page, opened in the quoted form since
// the address carries query values.
void OpenMoreInfo(HWND dialog)
{
    char address[1024];
    MoreInfoUrl(SelectedProgramPath, CurrentPageIndex(dialog), address, sizeof(address));
    OpenWebPage(address, 1);
}

void CloseProgramInfo(HWND dialog)
{
    ClearSelectedProgram();
    EndDialog(dialog, 1);
}

BOOL OnProgramInfoCommand(HWND dialog, WPARAM wParam)
{
    switch (wParam) {
    case IDOK:
    case IDCANCEL:
        CloseProgramInfo(dialog);
        return TRUE;
    case IdMoreInfo:
        OpenMoreInfo(dialog);
        CloseProgramInfo(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

// ShowProgramDetails: the path, icon and version lines that the information
// dialog and the new-program alert share, by the controls both templates have.
void ShowProgramDetails(HWND dialog, const VersionInfo *info)
{
    SetDlgItemTextA(dialog, IdPath, SelectedProgramPath);
    ShowProgramIcon(dialog);
    SetLineIfAny(dialog, IdProduct, info->ProductName);
    SetLineIfAny(dialog, IdVersion, info->ProductVersion);
    SetLineIfAny(dialog, IdCompany, info->CompanyName);
    SetLineIfAny(dialog, IdDescription, info->FileDescription);
    SetLineIfAny(dialog, IdCopyright, info->LegalCopyright);
}

// ReleaseProgramIcon: the icon that ShowProgramDetails took from the file is ours.
void ReleaseProgramIcon(HWND dialog)
{
    HICON icon = (HICON)SendDlgItemMessageA(dialog, IdIcon, BM_GETIMAGE, IMAGE_ICON, 0);
    if (icon)
        DestroyIcon(icon);
}



// CurrentPageIndex: the selected tab of the sheet that owns a dialog.
int CurrentPageIndex(HWND dialog)
{
    HWND owner = GetParent(dialog);
    HWND tabs = owner ? FindWindowExA(owner, nullptr, "SysTabControl32", nullptr) : nullptr;
    if (!tabs)
        return 0;
    int index = (int)SendMessageA(tabs, TCM_GETCURSEL, 0, 0);
    return index < 0 || index >= 5 ? 0 : index;
}

// ProgramInfoDialog: the dialog procedure of template 121.
INT_PTR CALLBACK ProgramInfoDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitProgramInfo(dialog);
    case WM_COMMAND:
        return OnProgramInfoCommand(dialog, wParam);
    case WM_DRAWITEM:
        return DrawLinkButton((const DRAWITEMSTRUCT *)lParam);
    case WM_SETCURSOR:
        TrackLinkHover(wParam);
        return FALSE;
    case WM_DESTROY:
        ReleaseProgramIcon(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}

// EntryProgramFile: a running task's Path is its module path, a file name already, while
// every other entry holds a command line.
int EntryProgramFile(int entry, const char *path, char *buffer, size_t size)
{
    if (GetEntrySource(entry) == SourceTask)
        return ProgramFileFromModule(path, buffer, size);
    return FindProgramFile(path, buffer, size);
}

// ShowEntryProgramInfo: the three subjects from one entry, then the dialog.
void ShowEntryProgramInfo(HWND owner, int entry, const char *path)
{
    EntryProgramFile(entry, path, SelectedProgramPath, sizeof(SelectedProgramPath));
    char title[TitleSize];
    GetEntryTitle(entry, title);
    CopyText(SelectedProgramTitle, sizeof(SelectedProgramTitle), title);
    char label[TextSize] = "";
    GetSourceLabel(entry, label);
    CopyText(SelectedProgramSource, sizeof(SelectedProgramSource), label);
    DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_PROGINFO), owner, ProgramInfoDialog, 0);
}
