// The new-program alert: names a startup program the user has not approved,
// shows what its version resource says, and reports the user's answer. What
// happens to the entry is the watch cycle's business.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "store/store.h"
#include "watch/watch.h"

namespace {

enum : int { IdIntro = 1036, IdMoreInfo = 1067 };

// The alert comes from a timer while the user works in another program: it
// must not open hidden behind that program's window.
void BringAlertToFront(HWND dialog)
{
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(dialog);
}

BOOL OnInitAlert(HWND dialog)
{
    VersionInfo info = {};
    ReadVersionInfo(SelectedProgramPath, &info);
    char caption[TitleSize];
    if (LoadText(IDS_ALERT_CAPTION, caption, sizeof(caption)))
        SetWindowTextA(dialog, caption);
    ShowProgramDetails(dialog, &info);
    SetDlgItemTextId(dialog, IDS_ALERT_TEXT, IdIntro);
    MakeOwnerDrawn(dialog, IDYES);
    MakeOwnerDrawn(dialog, IDNO);
    MakeOwnerDrawn(dialog, IdMoreInfo);
    CenterWindow(dialog);
    BringAlertToFront(dialog);
    return TRUE;
}

// More Info only informs: the dialog closes without an answer, so the entry
// is neither kept nor removed from its source.
void OpenAlertMoreInfo()
{
    char address[1024];
    MoreInfoUrl(SelectedProgramPath, InfoTypeAlert, address, sizeof(address));
    OpenWebPage(address, 1);
}

void EndAlert(HWND dialog, int result)
{
    ClearSelectedProgram();
    EndDialog(dialog, result);
}

BOOL OnAlertCommand(HWND dialog, WPARAM wParam)
{
    switch (wParam) {
    case IDYES:
    case IDCANCEL:
        EndAlert(dialog, IDYES);
        return TRUE;
    case IDNO:
        EndAlert(dialog, IDNO);
        return TRUE;
    case IdMoreInfo:
        OpenAlertMoreInfo();
        EndAlert(dialog, AlertMoreInfo);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

// NewProgramAlert: the dialog procedure of template 131.
INT_PTR CALLBACK NewProgramAlert(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitAlert(dialog);
    case WM_COMMAND:
        return OnAlertCommand(dialog, wParam);
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
