// The watch cycle: compares the startup programs, the restart file, the
// Internet Explorer start page and the cookies with what the data file
// remembers, and asks the user about every difference. What the user refuses
// is undone at once; what the user accepts is remembered.
#include "watch/watch.h"
#include "app/app.h"
#include "cookies/cookies.h"
#include "info/info.h"
#include "resource.h"
#include "restart/restart.h"
#include "startup/startup.h"
#include "store/store.h"

#include <string.h>

namespace {

enum : int { RunKeySize = 516, PromptSize = 1024 };

// The cycle's questions have no owner: the main window is hidden, and the
// box must come up above whatever the user is working in.
int AskYesNo(const char *text)
{
    return AppMessageBox(nullptr, text, MB_YESNO | MB_ICONEXCLAMATION | MB_SETFOREGROUND) == IDYES;
}

int AskText(int textId)
{
    char text[PromptSize];
    LoadText(textId, text, sizeof(text));
    return AskYesNo(text);
}

// Shows the alert about one entry; its result.
INT_PTR RunNewProgramAlert(const char *path)
{
    if (Sound) {
        PlayAppSound(SND_NOWAIT);
        PlayAppSound(SND_NOWAIT | SND_ASYNC);
    }
    CopyText(SelectedProgramPath, sizeof(SelectedProgramPath), path);
    return DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_ALERT), MainWindow, NewProgramAlert, 0);
}

void CheckStartupPrograms()
{
    CollectStartupEntries();
    ProfileSection approved;
    LoadProfileSection(&approved, "Run");
    for (int i = 0; i < EntryCount; ++i) {
        // A parked copy without its origin does not start with Windows, and an
        // entry with no key could never be remembered: neither is asked about.
        if (!IsWatchedEntry(i))
            continue;
        StartupEntry entry;
        ReadStartupEntry(i, &entry);
        char key[RunKeySize];
        MakeEntryRunKey(i, key);
        if (ProfileSectionInt(&approved, key) != 0)
            continue;
        INT_PTR answer = RunNewProgramAlert(entry.path);
        // The tray stays usable during the alert and a page opened from it
        // refills the table: the answer counts only for the same entry.
        if (!StartupEntryStillAt(i, &entry))
            continue;
        if (answer == IDNO) {
            // Exactly the value, token or file this entry was collected from;
            // a refused Startup-folder program file goes to the Removed folder.
            RemoveStartupEntryAt(i);
            WriteProfileSectionKey(&approved, key, nullptr);
        } else if (answer == IDYES) {
            char value[16];
            FormatText(value, sizeof(value), "%d", (int)entry.source);
            WriteProfileSectionKey(&approved, key, value);
        }
    }
}

void CheckRestartCommands()
{
    if (!CheckRestartFile(1))
        return;
    if (AskText(IDS_ASK_WININIT))
        CheckRestartFile(0);
    else
        WinInit = 0;  // in memory only: the data file keeps it until options are saved
}

// The start page as the data file can hold it: a line break in the value
// would end the profile line and let the rest forge sections of the file,
// and the blanks around a value are lost on reading. Comparisons use the
// same form, so a page stored this way is not asked about again.
void StoredPageForm(const char *page, char *buffer, size_t size)
{
    CopyText(buffer, size, page);
    for (char *p = buffer; *p; ++p)
        if ((unsigned char)*p < ' ')
            *p = ' ';
    char *start = buffer;
    while (*start == ' ')
        ++start;
    size_t length = strlen(start);
    while (length > 0 && start[length - 1] == ' ')
        --length;
    memmove(buffer, start, length);
    buffer[length] = '\0';
}

void CheckStartPage()
{
    char keyPath[TextSize];
    char valueName[TextSize];
    char current[TextSize];
    char stored[TextSize];
    char remembered[TextSize];
    LoadText(IDS_IE_MAIN_KEY, keyPath, sizeof(keyPath));
    LoadText(IDS_IE_START_PAGE, valueName, sizeof(valueName));
    RegReadString(HKEY_CURRENT_USER, keyPath, valueName, current);
    StoredPageForm(current, stored, sizeof(stored));
    // Only a missing key means nothing is remembered yet: a page remembered
    // as empty is a page like any other, and a change from it is asked about.
    const char missing[] = "\x01";
    GetPrivateProfileStringA("IExplorer", "StartPage", missing, remembered, sizeof(remembered), DataFilePath);
    if (strcmp(remembered, missing) == 0) {
        WritePrivateProfileStringA("IExplorer", "StartPage", stored, DataFilePath);
        return;
    }
    if (lstrcmpiA(stored, remembered) == 0)
        return;
    char format[PromptSize];
    char question[PromptSize];
    LoadText(IDS_ASK_STARTPAGE, format, sizeof(format));
    // The text may come from the registry: it is filled, never used as a format.
    const char *pages[2] = {current, remembered};
    FillTextPlaceholders(question, sizeof(question), format, pages, 2);
    if (AskYesNo(question))
        WritePrivateProfileStringA("IExplorer", "StartPage", stored, DataFilePath);
    else
        RegWriteString(HKEY_CURRENT_USER, keyPath, valueName, remembered);
}

void CheckCookies()
{
    if (!Cookies) {
        // The nuts are eaten even when nobody is to be asked about cookies.
        if (GetPrivateProfileIntA("Nuts", "count", 0, DataFilePath) > 0)
            CollectCookieEntries();
        return;
    }
    CollectCookieEntries();
    ProfileSection kept;
    LoadProfileSection(&kept, "Cookies");
    for (int i = 0; i < EntryCount; ++i) {
        // Keyed by the file's own name as the page keys it: a Title is cut
        // at 127 characters and would never match a longer name's mark.
        char path[PathSize];
        GetEntryPath(i, path);
        if (char key[CookieKeySize]; ProfileSectionInt(&kept, CookieKeepKey(path + FileNamePart(path), key)) != 0)
            continue;
        if (Sound)
            PlayAppSound(SND_NOWAIT);
        if (!AskText(IDS_ASK_COOKIES))
            return;
        ShowPropertySheet(MainWindow, PageCookies);
        // The page writes keep marks of its own.
        LoadProfileSection(&kept, "Cookies");
    }
}

// The cycle's dialogs leave holes in the notification area on some shells.
void RepaintTaskbar()
{
    HWND taskbar = FindWindowA("Shell_TrayWnd", "");
    if (taskbar)
        InvalidateRect(taskbar, nullptr, TRUE);
}

} // namespace

// WatchCycle: one look at everything the program watches.
int WatchCycle()
{
    if (AlertBusy || SheetPage != 0)
        return 1;
    // Every question of the cycle keeps a second cycle out, not only the
    // alert and the cookie question: the raised countdown runs out after ten
    // intervals, and a question left up while the user is away would then
    // get a second one stacked on it.
    AlertBusy = 1;
    if (Start)
        CheckStartupPrograms();
    if (WinInit)
        CheckRestartCommands();
    CheckStartPage();
    CheckCookies();
    AlertBusy = 0;
    RepaintTaskbar();
    return 1;
}
