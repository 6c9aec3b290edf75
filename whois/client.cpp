// The WHOIS client: one TCP exchange per request (the request line, then the
// server's answer until it closes), shown in the page's result list line by
// line. Everything runs on the user-interface thread, so every wait on the
// network is bounded: a server that accepts and then says nothing, or never
// stops talking, must not hold the whole program, watch timer included.
#include "whois/whois.h"
#include "app/app.h"
#include "resource.h"
#include "store/store.h"

#include <string.h>

// The registry of .com and .net answers for most names users look up; a
// registrar's server answers for the names it sold; IANA's server knows
// which server holds each top-level domain.
const char InitialWhoisServer[] = "whois.verisign-grs.com";
const char DefaultWhoisServer[] = "whois.networksolutions.com";
const char ServerListHost[] = "whois.iana.org";

unsigned short WhoisPort = 43;
const char *WhoisListHost = ServerListHost;
DWORD WhoisIdleLimit = 20000;
DWORD WhoisRequestLimit = 60000;

namespace {

// At most this much of an answer is kept; the block is larger and zero-filled,
// so the answer is always a zero-ended text.
const int AnswerLimit = 32767;
const SIZE_T AnswerBlockSize = 32780;
const int FieldSize = 256;

// Closes a socket on every path.
struct SocketHandle {
    SOCKET socket;
    explicit SocketHandle(SOCKET s) : socket(s) {}
    SocketHandle(const SocketHandle &) = delete;
    SocketHandle &operator=(const SocketHandle &) = delete;
    ~SocketHandle() { if (socket != INVALID_SOCKET) closesocket(socket); }
};

// How long the next wait may last: never longer than the idle limit, nor
// past the end of the request. 0 when the request has used its time.
DWORD NextWaitLimit(DWORD started)
{
    DWORD spent = GetTickCount() - started;
    if (spent >= WhoisRequestLimit)
        return 0;
    DWORD left = WhoisRequestLimit - spent;
    return left < WhoisIdleLimit ? left : WhoisIdleLimit;
}

// Waits until a connect has finished (writing) or something can be read;
// 0 when time ran out or the connect failed.
int WaitForSocket(SOCKET s, int writing, DWORD started)
{
    DWORD wait = NextWaitLimit(started);
    if (!wait)
        return 0;
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_SET(s, &ready);
    FD_ZERO(&failed);
    FD_SET(s, &failed);
    timeval limit = {(long)(wait / 1000), (long)(wait % 1000) * 1000};
    // A failed connect is reported among the exceptions; for reading they
    // would only mean urgent data, which recv does not ask for.
    int count = select(0, writing ? nullptr : &ready, writing ? &ready : nullptr,
                       writing ? &failed : nullptr, &limit);
    return count > 0 && FD_ISSET(s, &ready) && !(writing && FD_ISSET(s, &failed));
}

// Connects without blocking, so that the wait for an answer to the
// connection request has a bound; 1 when connected.
int ConnectWithLimit(SOCKET s, const in_addr &address, DWORD started)
{
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0)
        return 0;
    sockaddr_in server = {};
    server.sin_family = AF_INET;
    server.sin_port = htons(WhoisPort);
    server.sin_addr = address;
    if (connect(s, (const sockaddr *)&server, sizeof(server)) == 0)
        return 1;
    if (WSAGetLastError() != WSAEWOULDBLOCK)
        return 0;
    return WaitForSocket(s, 1, started);
}

// Receives until the server closes, the answer is full, an error, or the
// request runs out of time; what arrived stays. The length kept.
int ReceiveAnswer(SOCKET s, char *answer, DWORD started)
{
    int length = 0;
    while (length < AnswerLimit && WaitForSocket(s, 0, started)) {
        char *chunk = answer + length;
        int got = recv(s, chunk, AnswerLimit - length, 0);
        if (got == 0)
            break;
        if (got == SOCKET_ERROR) {
            if (WSAGetLastError() == WSAEWOULDBLOCK)
                continue;
            break;
        }
        // Zero bytes are dropped as they come: the answer stays one text, and
        // nothing after such a byte is hidden or written over.
        int kept = 0;
        for (int i = 0; i < got; ++i)
            if (chunk[i])
                chunk[kept++] = chunk[i];
        for (int i = kept; i < got; ++i)
            chunk[i] = '\0';
        length += kept;
    }
    return length;
}

// The first address of a host name (or dotted address); 0 when unknown.
int ResolveHost(const char *host, in_addr *address)
{
    hostent *found = gethostbyname(host);
    if (!found || found->h_addrtype != AF_INET || !found->h_addr_list || !found->h_addr_list[0])
        return 0;
    memcpy(address, found->h_addr_list[0], sizeof(*address));
    return 1;
}

// One exchange: the request in one send and, when given, its line end in a
// second; an answer that is not empty replaces the result list.
void RunExchange(HWND page, const in_addr &address, const char *request, const char *lineEnd)
{
    DWORD started = GetTickCount();
    SocketHandle s(socket(AF_INET, SOCK_STREAM, 0));
    if (s.socket == INVALID_SOCKET || !ConnectWithLimit(s.socket, address, started))
        return;
    GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, AnswerBlockSize));
    GlobalLocked locked(block.block);
    char *answer = (char *)locked.data;
    if (!answer)
        return;
    send(s.socket, request, (int)strlen(request), 0);
    if (lineEnd)
        send(s.socket, lineEnd, (int)strlen(lineEnd), 0);
    ReceiveAnswer(s.socket, answer, started);
    if (!answer[0])
        return;
    HWND list = GetDlgItem(page, IdWhoisResults);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    AddAnswerLines(list, answer);
}

void EnableRequestButtons(HWND page, BOOL enable)
{
    EnableWindow(GetDlgItem(page, IdWhoisFind), enable);
    EnableWindow(GetDlgItem(page, IdWhoisListServers), enable);
}

// Puts a text on the status line (0: empty) and shows the page as it is now:
// it cannot repaint while a request waits on the network.
void ShowRequestStatus(HWND page, int textId)
{
    char text[FieldSize] = "";
    if (textId)
        LoadText(textId, text, sizeof(text));
    SendDlgItemMessageA(page, IdWhoisStatus, WM_SETTEXT, 0, (LPARAM)text);
    RedrawWindow(page, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

} // namespace

// AddAnswerLines: a carriage return ends a line wherever the next one stands;
// only a text without one is cut at line feeds.
int AddAnswerLines(HWND list, char *text)
{
    int count = 0;
    for (char *line = text; line;) {
        char *end = strchr(line, '\r');
        if (!end)
            end = strchr(line, '\n');
        char *next = nullptr;
        if (end) {
            next = end + 1;
            if (*end == '\r' && *next == '\n')
                ++next;
            *end = '\0';
        }
        SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)line);
        ++count;
        line = next;
    }
    return count;
}

// WhoisQuery: the name exactly as typed goes to the server in the Server field.
int WhoisQuery(HWND page)
{
    char name[FieldSize] = "";
    SendDlgItemMessageA(page, IdDomainName, WM_GETTEXT, sizeof(name), (LPARAM)name);
    if (!name[0]) {
        ErrorBox(IDS_ERR_NONAME);
        return 0;
    }
    char server[FieldSize] = "";
    SendDlgItemMessageA(page, IdWhoisServer, WM_GETTEXT, sizeof(server), (LPARAM)server);
    if (!server[0]) {
        ErrorBox(IDS_ERR_NOSERVER);
        return 0;
    }
    EnableRequestButtons(page, FALSE);
    ShowRequestStatus(page, IDS_WHOIS_QUERYING);
    in_addr address;
    if (!ResolveHost(server, &address)) {
        ErrorBox(IDS_ERR_SERVERDOWN);
        EnableRequestButtons(page, TRUE);
        ShowRequestStatus(page, 0);
        return 0;
    }
    RunExchange(page, address, name, "\r\n");
    EnableRequestButtons(page, TRUE);
    ShowRequestStatus(page, IDS_WHOIS_DONE);
    return 1;
}

// ListWhoisServers: the list host's answer to "whois-servers".
int ListWhoisServers(HWND page)
{
    in_addr address;
    if (!ResolveHost(WhoisListHost, &address))
        return 0;
    EnableRequestButtons(page, FALSE);
    ShowRequestStatus(page, IDS_WHOIS_LISTING);
    RunExchange(page, address, "whois-servers\r\n", nullptr);
    EnableRequestButtons(page, TRUE);
    ShowRequestStatus(page, IDS_WHOIS_LISTDONE);
    return 1;
}
