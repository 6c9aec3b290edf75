// The Domain Info page and its WHOIS client against a real server on
// 127.0.0.1 run by the test on a thread: the bytes sent, the answer cut into
// list lines, servers that never answer or never stop, failures, [Server].
#include "app/app.h"
#include "store/store.h"
#include "testutil.h"
#include "whois/whois.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

enum Manner { Answers, Silent, Trickles, NeverAccepts };

bool Readable(SOCKET s, long ms = 20)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval limit = {ms / 1000, ms % 1000 * 1000};
    return select(0, &set, nullptr, nullptr, &limit) > 0;
}

// A server for one request. It notes the request (up to its CR LF) with
// what the page shows meanwhile, then answers and closes, stays silent, or
// sends a line every 50 ms until destroyed. NeverAccepts fills its queue so
// that the next connect hangs.
struct LoopbackServer {
    LoopbackServer(Manner manner, std::string answer, HWND page = nullptr)
        : manner(manner), answer(std::move(answer)), page(page)
    {
        sockaddr_in address = ListenOnLoopback(listener);
        port = ntohs(address.sin_port);
        for (int i = 0; manner == NeverAccepts && i < 3; ++i) {
            u_long nonBlocking = 1;
            fillers.push_back(socket(AF_INET, SOCK_STREAM, 0));
            ioctlsocket(fillers.back(), FIONBIO, &nonBlocking);
            connect(fillers.back(), (sockaddr *)&address, sizeof(address));
        }
        Sleep(100);
        if (manner != NeverAccepts)
            thread = std::thread([this] { Serve(); });
    }
    ~LoopbackServer()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
        for (SOCKET s : fillers)
            closesocket(s);
        closesocket(listener);
    }
    void Serve()
    {
        SOCKET client = INVALID_SOCKET;
        for (int wait = 0; wait < 250 && !stop && client == INVALID_SOCKET; ++wait)
            client = Readable(listener) ? accept(listener, nullptr, nullptr) : INVALID_SOCKET;
        if (client == INVALID_SOCKET)
            return;
        std::string request;
        char buffer[1024];
        for (int got = 1; got > 0 && request.find("\r\n") == std::string::npos;) {
            got = Readable(client, 5000) ? recv(client, buffer, sizeof(buffer), 0) : 0;
            request.append(buffer, got > 0 ? got : 0);
        }
        // Reads that send no message: the page's thread is inside the request.
        WCHAR status[128] = L"";
        InternalGetWindowText(GetDlgItem(page, IdWhoisStatus), status, 128);
        {
            std::lock_guard<std::mutex> lock(mutex);
            noted = request + "|" + std::to_string(IsWindowEnabled(GetDlgItem(page, IdWhoisFind))) +
                    std::to_string(IsWindowEnabled(GetDlgItem(page, IdWhoisListServers))) + " " +
                    std::string(status, status + lstrlenW(status));
        }
        if (manner == Answers)
            for (int sent = 0, n = 1; n > 0 && sent < (int)answer.size(); sent += n)
                n = send(client, &answer[sent], (int)answer.size() - sent, 0);
        for (int line = 0; manner != Answers && !stop; ++line, Sleep(50)) {
            std::string text = "line " + std::to_string(line) + "\r\n";
            if (manner == Trickles)
                send(client, text.data(), (int)text.size(), 0);
        }
        closesocket(client);
    }
    std::string Noted()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return noted;
    }

    struct Winsock {
        Winsock() { WSADATA data; WSAStartup(MAKEWORD(1, 1), &data); }
        ~Winsock() { WSACleanup(); }
    } winsock;  // first in, last out
    Manner manner;
    std::string answer;
    HWND page;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    std::vector<SOCKET> fillers;
    unsigned short port = 0;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::string noted;  // request|Find and List Servers enabled, status line
    std::thread thread;
};

std::vector<std::string> ResultLines(HWND page)
{
    // Wide reads: Wine's ANSI LB_GETTEXT overflows the stack on a line of
    // 32,761 characters. The answers here are plain ASCII.
    HWND list = GetDlgItem(page, IdWhoisResults);
    std::vector<std::string> lines;
    for (int i = 0; i < (int)SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
        std::vector<WCHAR> text((size_t)SendMessageW(list, LB_GETTEXTLEN, i, 0) + 1);
        SendMessageW(list, LB_GETTEXT, i, (LPARAM)text.data());
        lines.emplace_back(text.begin(), text.end() - 1);
    }
    return lines;
}

std::string Text(HWND page, int id) { return WindowText(GetDlgItem(page, id)); }
bool BothEnabled(HWND page)
{
    return IsWindowEnabled(GetDlgItem(page, IdWhoisFind)) &&
           IsWindowEnabled(GetDlgItem(page, IdWhoisListServers));
}
std::string StoredServer()
{
    char text[300];
    GetPrivateProfileStringA("Server", "Server", "<missing>", text, sizeof(text), DataFilePath);
    return text;
}

// A label over 63 characters: refused by the resolver before anything is sent.
const std::string UnknownHost = std::string(70, 'x') + ".invalid";

// Keeps the data file and the client's port, list host and waits as they
// were; the waits are short here so that the bounded requests end quickly.
class WhoisTest : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteFileA(DataFilePath);
        WhoisIdleLimit = 500;
        WhoisRequestLimit = 1500;
        WhoisListHost = "127.0.0.1";
    }
    void TearDown() override
    {
        if (savedFile == "<missing>")
            DeleteFileA(DataFilePath);
        else
            WriteFileBytes(DataFilePath, savedFile);
        WhoisPort = 43;
        WhoisListHost = ServerListHost;
        WhoisIdleLimit = 20000;
        WhoisRequestLimit = 60000;
    }
    // Runs body on the Domain Info page, its fields set for a loopback server,
    // the result list holding "old".
    void OnPage(const std::function<void(HWND)> &body)
    {
        EXPECT_TRUE(DriveSheet(nullptr, PageDomain, [&](HWND sheet) {
            HWND page = SheetCurrentPage(sheet);
            SetDlgItemTextA(page, IdDomainName, "  example.com ");
            SetDlgItemTextA(page, IdWhoisServer, "127.0.0.1");
            SendDlgItemMessageA(page, IdWhoisResults, LB_ADDSTRING, 0, (LPARAM) "old");
            body(page);
        }));
    }
    std::string savedFile = ReadFileBytes(DataFilePath);
};

} // namespace

TEST_F(WhoisTest, AnswersBecomeListLinesAndRequestsGoAsTyped)
{
    const std::string find = "  example.com \r\n|00 " + LoadedText(601);
    const std::string list = "whois-servers\r\n|00 " + LoadedText(603);
    const struct { int button; std::string answer; std::vector<std::string> lines; } cases[] = {
        {IdWhoisFind, "", {"old"}},  // an empty answer keeps the list
        {IdWhoisFind, "a\r\nb\r\n", {"a", "b", ""}},
        {IdWhoisListServers, "a\nb\n\nc", {"a", "b", "", "c"}},
        // A line feed before the next carriage return stays in its line.
        {IdWhoisFind, "a\nb\rc\r\nd\r\re", {"a\nb", "c", "d", "", "e"}},
        {IdWhoisFind, std::string("ab\0cd\r\nef", 9), {"abcd", "ef"}},
        {IdWhoisFind, "head\r\n" + std::string(40000, 'y'), {"head", std::string(32761, 'y')}},
        {IdWhoisFind, "Domain Name: EXAMPLE.COM\r\n   Registrar: Loopback\tRegistry\r\n"
                      "Name Server: A.IANA-SERVERS.NET\r\nName Server: B.IANA-SERVERS.NET",
         {"Domain Name: EXAMPLE.COM", "   Registrar: Loopback\tRegistry",
          "Name Server: A.IANA-SERVERS.NET", "Name Server: B.IANA-SERVERS.NET"}},
    };
    WhoisIdleLimit = 5000;  // room for a slow machine: these servers all answer
    OnPage([&](HWND page) {
        for (const auto &c : cases) {
            SCOPED_TRACE(&c - cases);
            LoopbackServer server(Answers, c.answer, page);
            WhoisPort = server.port;
            ClickButton(page, c.button);
            EXPECT_EQ(ResultLines(page), c.lines);
            EXPECT_EQ(Text(page, IdWhoisStatus), c.button == IdWhoisFind ? "Done" : "List Complete");
            EXPECT_TRUE(BothEnabled(page));
            // The name and its CR LF go in two sends, which TCP may join.
            EXPECT_EQ(server.Noted(), c.button == IdWhoisFind ? find : list);
        }
        ScreenshotPoint("domain_page_answer");
    });
}

TEST_F(WhoisTest, SilentAndEndlessServersEndByTheirBound)
{
    const struct { Manner manner; DWORD atLeast; const char *first; } cases[] = {
        {NeverAccepts, 500, "old"},  // no connection within the idle limit
        {Silent, 500, "old"},        // no byte within the idle limit
        {Trickles, 1500, "line 0"},  // progress until the request's limit
    };
    OnPage([&](HWND page) {
        for (const auto &c : cases) {
            SCOPED_TRACE(c.manner);
            LoopbackServer server(c.manner, "", page);
            WhoisPort = server.port;
            DWORD start = GetTickCount();
            ClickButton(page, IdWhoisFind);
            DWORD took = GetTickCount() - start;
            EXPECT_TRUE(took >= c.atLeast - 50 && took < 4500) << took;
            EXPECT_EQ(ResultLines(page)[0], c.first);
            EXPECT_EQ(Text(page, IdWhoisStatus), "Done");
            EXPECT_TRUE(BothEnabled(page));
        }
        LoopbackServer server(Answers, "again", page);
        WhoisPort = server.port;
        ClickButton(page, IdWhoisFind);
        EXPECT_EQ(ResultLines(page), std::vector<std::string>{"again"});
    });
}

TEST_F(WhoisTest, FailuresLeaveTheListAndTheButtonsUsable)
{
    WhoisPort = LoopbackServer(Answers, "").port;  // nobody listens there any more
    const struct { int button; const char *name, *server; int box; const char *status; } cases[] = {
        {IdWhoisFind, "", "127.0.0.1", 50, ""},
        {IdWhoisFind, "example.com", "", 51, ""},
        {IdWhoisFind, "example.com", UnknownHost.c_str(), 52, ""},
        {IdWhoisFind, "example.com", "127.0.0.1", 0, "Done"},  // refused
        {IdWhoisListServers, "", "", 0, "List Complete"},      // refused
        {IdWhoisListServers, "", "", 0, ""},  // unknown list host: nothing happens
    };
    OnPage([&](HWND page) {
        for (const auto &c : cases) {
            SCOPED_TRACE(&c - cases);
            SetDlgItemTextA(page, IdDomainName, c.name);
            SetDlgItemTextA(page, IdWhoisServer, c.server);
            SetDlgItemTextA(page, IdWhoisStatus, "");
            if (&c == std::end(cases) - 1)
                WhoisListHost = UnknownHost.c_str();
            DialogSeen box = DialogShownBy(IDOK, [&] { ClickButton(page, c.button); });
            EXPECT_EQ(box.text, c.box ? LoadedText(c.box) : "");
            EXPECT_EQ(ResultLines(page), std::vector<std::string>{"old"});
            EXPECT_EQ(Text(page, IdWhoisStatus), c.status);
            EXPECT_TRUE(BothEnabled(page));
        }
    });
}

TEST_F(WhoisTest, ServerSettingsAndTheCloseRules)
{
    // Without a [Server] section the built-in servers stand in.
    EXPECT_TRUE(DriveSheet(nullptr, PageDomain, [&](HWND sheet) {
        HWND page = SheetCurrentPage(sheet);
        EXPECT_EQ(Text(page, IdWhoisServer), InitialWhoisServer);
        ClickButton(page, IdWhoisDefaultServer);
        EXPECT_EQ(Text(page, IdWhoisServer), DefaultWhoisServer);
        EXPECT_EQ(SheetPage, 4);
        EXPECT_TRUE(IsOwnerDrawn(page, IdWhoisListServers) && IsOwnerDrawn(page, IdWhoisDefaultServer));
        EXPECT_FALSE(IsOwnerDrawn(page, IdWhoisFind));
        EXPECT_EQ(LOWORD(SendMessageA(page, DM_GETDEFID, 0, 0)), IdWhoisFind);
        EXPECT_EQ(SendDlgItemMessageA(page, IdWhoisResults, LB_GETHORIZONTALEXTENT, 0, 0), 700);
        // While a request runs (Find disabled) closing keeps nothing.
        EnableWindow(GetDlgItem(page, IdWhoisFind), FALSE);
        SendMessageA(page, WM_CLOSE, 0, 0);
        SendMessageA(page, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(StoredServer(), "<missing>");
        EnableWindow(GetDlgItem(page, IdWhoisFind), TRUE);
        SetDlgItemTextA(page, IdWhoisServer, "");
    }));
    // The emptied field is stored empty and comes back empty; Default Server
    // offers the "Default" key; Cancel reaching the page keeps the field at once.
    EXPECT_EQ(StoredServer(), "");
    WritePrivateProfileStringA("Server", "Default", "whois.example.net", DataFilePath);
    EXPECT_TRUE(DriveSheet(nullptr, PageDomain, [&](HWND sheet) {
        HWND page = SheetCurrentPage(sheet);
        EXPECT_EQ(Text(page, IdWhoisServer), "");
        ClickButton(page, IdWhoisDefaultServer);
        SendMessageA(page, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(StoredServer(), "whois.example.net");
    }));
}

// Enter in a field reaches the page as IDOK: it finds, unless a request runs.
// Clicks made while a request waited are dropped with it.
TEST_F(WhoisTest, EnterFindsAndClicksDuringARequestAreDropped)
{
    OnPage([&](HWND page) {
        LoopbackServer server(Answers, "a", page);
        WhoisPort = server.port;
        HWND find = GetDlgItem(page, IdWhoisFind);
        for (int i = 0; i < 3; ++i) {
            PostMessageA(find, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
            PostMessageA(find, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        }
        SendMessageA(page, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(ResultLines(page), std::vector<std::string>{"a"});
        EXPECT_EQ(server.Noted(), "  example.com \r\n|00 " + LoadedText(601));
        SetDlgItemTextA(page, IdWhoisStatus, "");
        PumpMessages(100);
        EXPECT_EQ(Text(page, IdWhoisStatus), "") << "a queued click started another request";
        // While a request runs (Find disabled) Enter starts none.
        EnableWindow(find, FALSE);
        SendMessageA(page, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(Text(page, IdWhoisStatus), "");
        EnableWindow(find, TRUE);
    });
}

// A disabled link is drawn grey and does not light up under the pointer.
TEST_F(WhoisTest, ADisabledLinkIsGrey)
{
    OnPage([&](HWND page) {
        HWND button = GetDlgItem(page, IdWhoisListServers);
        const struct { BOOL enabled; COLORREF seen; } cases[] = {
            {TRUE, LinkHotColor}, {FALSE, GetSysColor(COLOR_GRAYTEXT)}};
        for (const auto &c : cases) {
            EnableWindow(button, c.enabled);
            TrackLinkHover((WPARAM)button);
            RECT rect;
            GetClientRect(button, &rect);
            HDC screen = GetDC(nullptr);
            HDC dc = CreateCompatibleDC(screen);
            HBITMAP bitmap = CreateCompatibleBitmap(screen, rect.right, rect.bottom);
            HGDIOBJ old = SelectObject(dc, bitmap);
            FillRect(dc, &rect, (HBRUSH)GetStockObject(WHITE_BRUSH));
            DRAWITEMSTRUCT item = {ODT_BUTTON, IdWhoisListServers, 0, ODA_DRAWENTIRE,
                                   c.enabled ? 0u : (UINT)ODS_DISABLED, button, dc, rect, 0};
            EXPECT_EQ(1, DrawLinkButton(&item));
            std::set<COLORREF> colors;
            for (int x = 0; x < rect.right; ++x)
                for (int y = 0; y < rect.bottom; ++y)
                    colors.insert(GetPixel(dc, x, y));
            SelectObject(dc, old);
            DeleteObject(bitmap);
            DeleteDC(dc);
            ReleaseDC(nullptr, screen);
            EXPECT_TRUE(colors.count(c.seen)) << c.enabled;
            EXPECT_EQ(c.enabled != FALSE, colors.count(LinkHotColor) > 0) << c.enabled;
        }
        EnableWindow(button, TRUE);
    });
}
