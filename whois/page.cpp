// The Domain Info page: a domain name, the WHOIS server to ask, and the
// answer. The page owns the program's use of Winsock and remembers the last
// server in the data file.
#include "whois/whois.h"
#include "app/app.h"
#include "resource.h"
#include "store/store.h"

namespace {

enum : int {
    IdHint = 1054,
    IdNameLabel = 1055,
    IdServerLabel = 1056,
    IdOnlineNote = 1057,
};

const int FieldLimit = 255;
const int ResultExtent = 700;
const int DomainSheetPage = 4;

// Set while the page holds a WSAStartup it has not matched with WSACleanup.
int WinsockStarted = 0;

void StopWinsock()
{
    if (WinsockStarted) {
        WSACleanup();
        WinsockStarted = 0;
    }
}

// A text of section [Server] of the data file, or the fallback when the key
// is absent (an empty value stays empty).
void ReadServerSetting(const char *key, const char *fallback, char *buffer, DWORD size)
{
    GetPrivateProfileStringA("Server", key, fallback, buffer, size, DataFilePath);
}

// Even an empty field is written: the built-in server stands in only for a
// key that is absent.
void SaveServerField(HWND page)
{
    char server[FieldLimit + 1] = "";
    GetDlgItemTextA(page, IdWhoisServer, server, sizeof(server));
    WritePrivateProfileStringA("Server", "Server", server, DataFilePath);
}

// Find is disabled for exactly as long as a request runs.
int RequestRunning(HWND page)
{
    return !IsWindowEnabled(GetDlgItem(page, IdWhoisFind));
}

BOOL OnInitDomainPage(HWND page)
{
    SetDlgItemTextId(page, IDS_DOMAIN_HINT, IdHint);
    SetDlgItemTextId(page, IDS_DOMAIN_NAME, IdNameLabel);
    SetDlgItemTextId(page, IDS_DOMAIN_SERVER, IdServerLabel);
    SetDlgItemTextId(page, IDS_DOMAIN_ONLINE, IdOnlineNote);
    SetDlgItemTextId(page, IDS_BTN_LISTSERVERS, IdWhoisListServers);
    SetDlgItemTextId(page, IDS_BTN_FIND, IdWhoisFind);
    SetDlgItemTextId(page, IDS_BTN_DEFAULTSERVER, IdWhoisDefaultServer);
    MakeOwnerDrawn(page, IdWhoisListServers);
    MakeOwnerDrawn(page, IdWhoisDefaultServer);
    PreparePageButtons(page);
    // What is typed is what is sent and stored: no longer than the client reads.
    SendDlgItemMessageA(page, IdDomainName, EM_LIMITTEXT, FieldLimit, 0);
    SendDlgItemMessageA(page, IdWhoisServer, EM_LIMITTEXT, FieldLimit, 0);

    WSADATA winsock;
    if (WSAStartup(MAKEWORD(1, 1), &winsock) != 0) {
        ErrorBox(IDS_ERR_WINSOCK);
        return TRUE;
    }
    WinsockStarted = 1;
    char server[FieldLimit + 1] = "";
    ReadServerSetting("Server", InitialWhoisServer, server, sizeof(server));
    if (server[0])
        SetDlgItemTextA(page, IdWhoisServer, server);
    SendDlgItemMessageA(page, IdWhoisResults, LB_SETHORIZONTALEXTENT, ResultExtent, 0);
    SendMessageA(page, DM_SETDEFID, IdWhoisFind, 0);
    SheetPage = DomainSheetPage;
    return TRUE;
}

// Find and List Servers: the request runs to its end under the wait cursor.
void RunRequest(HWND page, int (*request)(HWND))
{
    SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
    request(page);
    SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
    // Clicks on Find made while the request waited would each start another
    // one, and the page would stay deaf for many times the bound.
    DiscardQueuedInput();
    // An error box lets the sheet close while the request still runs; the
    // page then kept Winsock for the request, which lets it go now.
    if (!IsWindow(page))
        StopWinsock();
}

void PutDefaultServer(HWND page)
{
    char server[FieldLimit + 1] = "";
    ReadServerSetting("Default", DefaultWhoisServer, server, sizeof(server));
    SetDlgItemTextA(page, IdWhoisServer, server);
}

// The page closing: Winsock stops and the Server field is kept, except while
// a request runs, which still needs Winsock. A page whose Winsock never
// started never showed the stored server, so it must not write over it.
void LeaveDomainPage(HWND page)
{
    if (RequestRunning(page) || !WinsockStarted)
        return;
    StopWinsock();
    SaveServerField(page);
}

// Cancel reaching the page ends the sheet it belongs to.
BOOL OnDomainCancel(HWND page)
{
    if (RequestRunning(page))
        return FALSE;
    LeaveDomainPage(page);
    PostMessageA(GetParent(page), WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

BOOL OnDomainCommand(HWND page, WPARAM wParam)
{
    switch (wParam) {
    // Enter in a field reaches the page as IDOK from the sheet.
    case IDOK:
        if (!RequestRunning(page))
            RunRequest(page, WhoisQuery);
        return TRUE;
    case IdWhoisFind: RunRequest(page, WhoisQuery); return TRUE;
    case IdWhoisListServers: RunRequest(page, ListWhoisServers); return TRUE;
    case IdWhoisDefaultServer: PutDefaultServer(page); return TRUE;
    case IDCANCEL: return OnDomainCancel(page);
    default: return FALSE;
    }
}

} // namespace

// DomainInfoPage: the dialog procedure of template 112.
INT_PTR CALLBACK DomainInfoPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDomainPage(page);
    case WM_COMMAND:
        return OnDomainCommand(page, wParam);
    case WM_SETCURSOR:
        TrackLinkHover(wParam);
        return FALSE;
    case WM_DRAWITEM:
        return DrawLinkButton((const DRAWITEMSTRUCT *)lParam);
    case WM_CLOSE:
    case WM_DESTROY:
        SheetPage = 0;
        LeaveDomainPage(page);
        return FALSE;
    default:
        return FALSE;
    }
}
