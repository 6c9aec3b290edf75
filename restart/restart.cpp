// Commands that WININIT.INI holds for the next restart: whether there are
// any, and the Restart Commands dialog that shows them and can delete the
// whole file so that none of them runs.
#include "restart/restart.h"
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "store/store.h"

namespace {

enum : int { IdCommands = 1004, IdDelete = 1003 };

// The Windows folder joined with a file name, cut to 512 bytes.
void WindowsFile(const char *name, char *buffer, size_t size)
{
    char folder[TextSize] = "";
    UINT length = GetWindowsDirectoryA(folder, 451);
    if (length == 0 || length > 450)
        folder[0] = '\0';
    CopyText(buffer, size, folder);
    AppendText(buffer, size, "\\");
    AppendText(buffer, size, name);
}

// Size of a file opened for reading; 0 when it cannot be opened.
DWORD ReadableFileSize(const char *path)
{
    OFSTRUCT info = {};
    HFILE file = OpenFile(path, &info, OF_READ);
    if (file == HFILE_ERROR)
        return 0;
    DWORD size = GetFileSize((HANDLE)(INT_PTR)file, nullptr);
    _lclose(file);
    return size == INVALID_FILE_SIZE ? 0 : size;
}

BOOL OnInitRestartDialog(HWND dialog)
{
    HGLOBAL text = ReadTextFile(SelectedProgramPath, 4096);
    if (text) {
        GlobalBlock block(text);
        GlobalLocked locked(text);
        if (locked.data)
            SetDlgItemTextA(dialog, IdCommands, (const char *)locked.data);
    }
    SetWindowTextA(dialog, SelectedProgramTitle);
    SetDlgItemTextId(dialog, IDS_BTN_DELETE, IdDelete);
    SetDlgItemTextId(dialog, IDS_BTN_CLOSE, IDOK);
    MakeOwnerDrawn(dialog, IdDelete);
    MakeOwnerDrawn(dialog, IDOK);
    CenterWindow(dialog);
    // Shown from the watch cycle over whatever the user is working in.
    SetForegroundWindow(dialog);
    return TRUE;
}

BOOL OnRestartCommand(HWND dialog, WPARAM wParam)
{
    switch (wParam) {
    case IDOK:
    case IDCANCEL:
        EndDialog(dialog, 1);
        return TRUE;
    case IdDelete:
        ForceDeleteFile(SelectedProgramPath);
        EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

// RestartCommandsDialog: the dialog procedure of template 130.
INT_PTR CALLBACK RestartCommandsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitRestartDialog(dialog);
    case WM_COMMAND:
        return OnRestartCommand(dialog, wParam);
    case WM_DRAWITEM:
        return DrawLinkButton((const DRAWITEMSTRUCT *)lParam);
    case WM_SETCURSOR:
        TrackLinkHover(wParam);
        return FALSE;
    default:
        return FALSE;
    }
}

// CheckRestartFile: 1 when WININIT.INI holds commands; not quiet, shows them
// (or says there are none).
int CheckRestartFile(int quiet)
{
    LoadText(IDS_RESTART_CAPTION, SelectedProgramTitle, sizeof(SelectedProgramTitle));
    char path[TextSize];
    // Where the system has no program to carry the commands out, the file
    // means nothing.
    WindowsFile("wininit.exe", path, sizeof(path));
    if (!FileExists(path))
        return 0;
    WindowsFile("wininit.ini", path, sizeof(path));
    if (ReadableFileSize(path) > 0) {
        if (quiet)
            return 1;
        CopyText(SelectedProgramPath, sizeof(SelectedProgramPath), path);
        DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_RESTART), MainWindow,
                        RestartCommandsDialog, 0);
        return 1;
    }
    if (!quiet) {
        char text[TextSize];
        LoadText(IDS_NO_RESTART_CMDS, text, sizeof(text));
        AppMessageBox(MainWindow, text, MB_ICONINFORMATION);
    }
    return 0;
}
