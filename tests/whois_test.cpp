// The Domain Info page and its WHOIS client against a server of the test's
// own on 127.0.0.1: the bytes sent, the answer as list lines, the bounds on
// silent and endless servers, failures, and the stored server.
#include "app/app.h"
#include "store/store.h"
#include "testutil.h"
#include "whois/whois.h"

#include <gtest/gtest.h>

namespace {

enum Manner { Answers, Silent, Trickles, NeverAccepts };

bool Readable(SOCKET s, long ms)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval limit = {ms / 1000, ms % 1000 * 1000};
    return select(0, &set, nullptr, nullptr, &limit) > 0;
}

// A server for one request, on the port the client is pointed at. It notes
// the request (up to its CR LF), then answers and notes a client that does
// not close, stays silent, or sends a line every 50 ms until it ends.
// NeverAccepts fills its queue so that the next connect hangs. It runs while
// the page is open, which holds Winsock.
struct LoopbackServer {
    LoopbackServer(Manner manner, std::string answer) : manner(manner), answer(std::move(answer))
    {
        sockaddr_in address = ListenOnLoopback(sockets[0]);
        WhoisPort = ntohs(address.sin_port);
        for (int i = 1; manner == NeverAccepts && i < 4; ++i) {
            u_long nonBlocking = 1;
            ioctlsocket(sockets[i] = socket(AF_INET, SOCK_STREAM, 0), FIONBIO, &nonBlocking);
            connect(sockets[i], (sockaddr *)&address, sizeof(address));
        }
        Sleep(100);
        thread = std::thread([this] { Serve(); });
    }
    ~LoopbackServer() { Finish(); }
    std::string Finish()  // what it noted
    {
        stop = true;
        if (thread.joinable())
            thread.join();
        for (SOCKET &s : sockets)
            s = (closesocket(s), INVALID_SOCKET);
        return noted;
    }
    void Serve()
    {
        SOCKET client = INVALID_SOCKET;
        for (int wait = 0; manner != NeverAccepts && wait < 250 && !stop && client == INVALID_SOCKET; ++wait)
            client = Readable(sockets[0], 20) ? accept(sockets[0], nullptr, nullptr) : INVALID_SOCKET;
        char buffer[1024];
        for (int got = 1; client != INVALID_SOCKET && got > 0 && noted.find("\r\n") == std::string::npos;) {
            got = Readable(client, 5000) ? recv(client, buffer, sizeof(buffer), 0) : 0;
            noted.append(buffer, got > 0 ? got : 0);
        }
        if (manner == Answers) {
            for (int sent = 0, n = 1; n > 0 && sent < (int)answer.size(); sent += n)
                n = send(client, &answer[sent], (int)answer.size() - sent, 0);
            shutdown(client, 1);  // no more sends (SD_SEND of Winsock 2)
            if (!(Readable(client, 3000) && recv(client, buffer, sizeof(buffer), 0) <= 0))
                noted += " (left open)";
        }
        for (; manner != Answers && !stop; Sleep(50))
            if (manner == Trickles)
                send(client, "line\r\n", 6, 0);
        closesocket(client);
    }
    Manner manner;
    std::string answer, noted;
    SOCKET sockets[4] = {socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET, INVALID_SOCKET, INVALID_SOCKET};
    std::atomic<bool> stop{false};
    std::thread thread;
};

// What the user sees after a request: the result lines joined by "|", the
// status, and whether a button stayed off. The lines are read wide: Wine's
// ANSI LB_GETTEXT overflows the stack on a line of some 32,000 characters.
std::string Shown(HWND page)
{
    HWND list = GetDlgItem(page, IdWhoisResults);
    std::string shown;
    for (int i = 0; i < (int)SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
        std::vector<WCHAR> text((size_t)SendMessageW(list, LB_GETTEXTLEN, i, 0) + 1);
        SendMessageW(list, LB_GETTEXT, i, (LPARAM)text.data());
        shown += (i ? "|" : "") + std::string(text.begin(), text.end() - 1);  // plain ASCII here
    }
    bool on = IsWindowEnabled(GetDlgItem(page, IdWhoisFind)) && IsWindowEnabled(GetDlgItem(page, IdWhoisListServers));
    return shown + " / " + WindowText(GetDlgItem(page, IdWhoisStatus)) + (on ? "" : " / buttons off");
}

// Runs body on the Domain Info page, its fields set for a loopback server and
// the result list holding "old", with short waits so that bounded requests end
// soon (every test of this program comes here); the server stored when the
// page closed. The data file is put back.
std::string OnPage(const std::function<void(HWND)> &body)
{
    std::string saved = ReadFileBytes(DataFilePath);
    DeleteFileA(DataFilePath);
    WhoisIdleLimit = 300;
    WhoisRequestLimit = 3000;
    WhoisListHost = "127.0.0.1";
    EXPECT_TRUE(DriveSheet(nullptr, PageDomain, [&](HWND sheet) {
        HWND page = SheetCurrentPage(sheet);
        EXPECT_EQ(InitialWhoisServer, WindowText(GetDlgItem(page, IdWhoisServer)));
        SetDlgItemTextA(page, IdDomainName, "  example.com ");
        SetDlgItemTextA(page, IdWhoisServer, "127.0.0.1");
        SendDlgItemMessageA(page, IdWhoisResults, LB_ADDSTRING, 0, (LPARAM) "old");
        body(page);
    }));
    std::string stored = DataFileValue("Server", "Server");
    DeleteFileA(DataFilePath);
    if (saved != "<missing>")
        WriteFileBytes(DataFilePath, saved);
    return stored;
}

const std::string UnknownHost = std::string(70, 'x') + ".invalid";  // refused before any lookup

} // namespace

// Find, Enter (IDOK from the sheet) and List Servers send their request as
// typed and show the answer's lines; a server that never connects, never
// answers or never stops ends the request by its bound.
TEST(Whois, AnswersBecomeListLinesAndEveryWaitEnds)
{
    const std::string find = "  example.com \r\n", list = "whois-servers\r\n";
    const struct { int button; Manner manner; std::string answer, shown; DWORD atLeast, below; } cases[] = {
        {IdWhoisFind, Answers, "", "old / Done", 0, 4500},  // an empty answer keeps the list
        {IdWhoisFind, NeverAccepts, "", "old / Done", 300, 2200},  // no connection within the idle limit
        {IdWhoisFind, Silent, "", "old / Done", 300, 2200},        // no byte within the idle limit
        {IdWhoisFind, Trickles, "", "line|line|", 3000, 6000},     // progress until the request's limit
        {IDOK, Answers, "a\r\nb\r\n", "a|b| / Done", 0, 4500},
        {IdWhoisListServers, Answers, "a\nb\n\nc", "a|b||c / List Complete", 0, 4500},
        // A line feed before the next carriage return stays in its line.
        {IdWhoisFind, Answers, "a\nb\rc\r\nd\r\re", "a\nb|c|d||e / Done", 0, 4500},
        {IdWhoisFind, Answers, std::string("ab\0cd\r\nef", 9), "abcd|ef / Done", 0, 4500},
        {IdWhoisFind, Answers, "h\r\n" + std::string(40000, 'y'), "h|" + std::string(32764, 'y') + " / Done", 0, 4500},
    };
    std::string stored = OnPage([&](HWND page) {
        for (const auto &c : cases) {
            // Room for a slow machine wherever the idle limit is not what is tried.
            WhoisIdleLimit = c.manner == Answers ? 5000 : c.manner == Trickles ? 1000 : 300;
            LoopbackServer server(c.manner, c.answer);
            DWORD start = GetTickCount();
            ClickButton(page, c.button);
            DWORD took = GetTickCount() - start;
            EXPECT_TRUE(took + 50 >= c.atLeast && took < c.below) << took << " ms for case " << &c - cases;
            EXPECT_EQ(c.shown, c.manner == Trickles ? Shown(page).substr(0, 10) : Shown(page));
            // The name and its CR LF go in two sends, which TCP may join.
            EXPECT_EQ(c.manner == NeverAccepts ? "" : c.button == IdWhoisListServers ? list : find, server.Finish());
        }
        ScreenshotPoint("domain_page_answer");
    });
    EXPECT_EQ("127.0.0.1", stored) << "the field is stored on closing";
}

TEST(Whois, FailuresLeaveTheListAndTheButtonsUsable)
{
    const struct { int button; const char *name, *server; int box; const char *shown; } cases[] = {
        {IdWhoisFind, "", "127.0.0.1", 50, "old / "},
        {IdWhoisFind, "example.com", "", 51, "old / "},
        {IdWhoisFind, "example.com", UnknownHost.c_str(), 52, "old / "},
        {IdWhoisListServers, "", "", 0, "old / List Complete"},      // refused
        {IdWhoisListServers, "", "", 0, "old / "},  // unknown list host: nothing happens
    };
    OnPage([&](HWND page) {
        LoopbackServer(Answers, "").Finish();  // nobody listens on its port any more
        for (const auto &c : cases) {
            SetDlgItemTextA(page, IdDomainName, c.name);
            SetDlgItemTextA(page, IdWhoisServer, c.server);
            SetDlgItemTextA(page, IdWhoisStatus, "");
            WhoisListHost = &c == std::end(cases) - 1 ? UnknownHost.c_str() : "127.0.0.1";
            DialogSeen box = DialogShownBy(IDOK, [&] { ClickButton(page, c.button); });
            EXPECT_EQ(c.box ? LoadedText(c.box) : "", box.text) << &c - cases;
            EXPECT_EQ(c.shown, Shown(page));
        }
        // Default Server offers the data file's "Default" key; Cancel reaching
        // the page stores the field at once.
        WritePrivateProfileStringA("Server", "Default", "whois.example.net", DataFilePath);
        ClickButton(page, IdWhoisDefaultServer);
        SendMessageA(page, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ("whois.example.net", DataFileValue("Server", "Server"));
    });
}
