// The Domain Info page and its WHOIS client against a server of the test's
// own on 127.0.0.1: the bytes sent, the answer as list lines, the bounds on
// silent and endless servers, failures, and the stored server.
#include "app/app.h"
#include "store/store.h"
#include "testutil.h"
#include "whois/whois.h"

#include <gtest/gtest.h>

namespace {

enum Manner { Answers, Silent, Trickles };

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
// not close, stays silent, or sends a line every 50 ms until it ends. It runs
// while the page is open, which holds Winsock.
struct LoopbackServer {
    LoopbackServer(Manner manner, std::string answer) : manner(manner), answer(std::move(answer))
    {
        WhoisPort = ntohs(ListenOnLoopback(listener).sin_port);
        thread = std::thread([this] { Serve(); });
    }
    ~LoopbackServer() { Finish(); }
    std::string Finish()  // what it noted
    {
        stop = true;
        if (thread.joinable())
            thread.join();
        closesocket(listener);
        listener = INVALID_SOCKET;
        return noted;
    }
    void Serve()
    {
        SOCKET client = INVALID_SOCKET;
        for (int wait = 0; wait < 250 && !stop && client == INVALID_SOCKET; ++wait)
            client = Readable(listener, 20) ? accept(listener, nullptr, nullptr) : INVALID_SOCKET;
        char buffer[1024];
        for (int got = 1; client != INVALID_SOCKET && got > 0 && noted.find("\r\n") == std::string::npos;) {
            got = Readable(client, 5000) ? recv(client, buffer, sizeof(buffer), 0) : 0;
            noted.append(buffer, got > 0 ? got : 0);
        }
        if (manner == Answers) {
            send(client, answer.data(), (int)answer.size(), 0);
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
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
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
// page closed. The data file is set aside meanwhile (by the cookie sandbox).
std::string OnPage(const std::function<void(HWND)> &body)
{
    CookieSandbox box("whois_data");
    WhoisIdleLimit = 300;
    WhoisRequestLimit = 3000;
    WhoisListHost = "127.0.0.1";
    EXPECT_TRUE(DriveSheet(nullptr, PageDomain, [&](HWND sheet) {
        HWND page = SheetCurrentPage(sheet);
        SetDlgItemTextA(page, IdDomainName, "  example.com ");
        SetDlgItemTextA(page, IdWhoisServer, "127.0.0.1");
        SendDlgItemMessageA(page, IdWhoisResults, LB_ADDSTRING, 0, (LPARAM) "old");
        body(page);
    }));
    return DataFileValue("Server", "Server");
}

const std::string UnknownHost = std::string(70, 'x') + ".invalid";  // refused before any lookup

} // namespace

// Find, Enter (IDOK from the sheet) and List Servers send their request as
// typed and show the answer's lines; a server that never answers or never
// stops ends the request by its bound. Failures leave the list and the
// buttons usable.
TEST(Whois, AnswersBecomeListLinesEveryWaitEndsAndFailuresLeaveThePageUsable)
{
    const std::string find = "  example.com \r\n", list = "whois-servers\r\n";
    const struct { int button; Manner manner; std::string answer, shown; DWORD atLeast, below; } cases[] = {
        {IdWhoisFind, Answers, "", "old / Done", 0, 4500},  // an empty answer keeps the list
        {IdWhoisFind, Silent, "", "old / Done", 300, 2200},        // no byte within the idle limit
        {IdWhoisFind, Trickles, "", "line|line|", 3000, 6000},     // progress until the request's limit
        {IDOK, Answers, "a\r\nb\r\n", "a|b| / Done", 0, 4500},
        {IdWhoisListServers, Answers, "a\nb\n\nc", "a|b||c / List Complete", 0, 4500},
        // A line feed before the next carriage return stays in its line.
        {IdWhoisFind, Answers, "a\nb\rc\r\nd\r\re", "a\nb|c|d||e / Done", 0, 4500},
        {IdWhoisFind, Answers, "h\r\n" + std::string(40000, 'y'), "h|" + std::string(32764, 'y') + " / Done", 0, 4500},
    };
    OnPage([&](HWND page) {
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
            EXPECT_EQ(c.button == IdWhoisListServers ? list : find, server.Finish());
        }
        ScreenshotPoint("domain_page_answer");
    });
    const struct { int button; const char *name, *server; int box; const char *shown; } failures[] = {
        {IdWhoisFind, "", "127.0.0.1", 50, "old / "},
        {IdWhoisFind, "example.com", "", 51, "old / "},
        {IdWhoisFind, "example.com", UnknownHost.c_str(), 52, "old / "},
        {IdWhoisListServers, "", "", 0, "old / List Complete"},      // refused
    };
    std::string stored = OnPage([&](HWND page) {
        LoopbackServer(Answers, "").Finish();  // nobody listens on its port any more
        for (const auto &c : failures) {
            SetDlgItemTextA(page, IdDomainName, c.name);
            SetDlgItemTextA(page, IdWhoisServer, c.server);
            DialogSeen box = DialogShownBy(IDOK, [&] { ClickButton(page, c.button); });
            EXPECT_EQ(c.box ? LoadedText(c.box) : "", box.text) << &c - failures;
            EXPECT_EQ(c.shown, Shown(page));
        }
        // Default Server offers the data file's "Default" key.
        WritePrivateProfileStringA("Server", "Default", "whois.example.net", DataFilePath);
        ClickButton(page, IdWhoisDefaultServer);
    });
    EXPECT_EQ("whois.example.net", stored) << "the field is stored on closing";
}
