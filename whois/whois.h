// The WHOIS client and the Domain Info page.
#pragma once

#include <windows.h>

// Controls of the Domain Info page that the client reads and fills.
enum : int {
    IdDomainName = 100,
    IdWhoisServer = 102,
    IdWhoisResults = 1000,
    IdWhoisStatus = 1010,
    IdWhoisFind = 1011,
    IdWhoisListServers = 1013,
    IdWhoisDefaultServer = 1014,
};

// Hosts built into the program: the Server field's first value, what Default
// Server offers when the data file names none, and the host asked for the
// list of WHOIS servers.
extern const char InitialWhoisServer[];
extern const char DefaultWhoisServer[];
extern const char ServerListHost[];

// Where and how long the client talks. The program keeps port 43, the
// built-in list host, 20 s without progress and 60 s for a whole request;
// the tests point them at a server of their own and shorten the waits.
extern unsigned short WhoisPort;
extern const char *WhoisListHost;
extern DWORD WhoisIdleLimit;     // milliseconds a connect or receive may wait for progress
extern DWORD WhoisRequestLimit;  // milliseconds one request may take from its connect on

// Asks the server in the page's Server field about the name in its Name field
// and shows the answer line by line; 1 when a request was made, 0 when it
// stopped before (an empty field, an unknown server).
int WhoisQuery(HWND page);
// Asks the list host for its WHOIS servers; 0 when that host is unknown.
int ListWhoisServers(HWND page);
// Adds the lines of a zero-ended answer to a list box (the text is cut into
// its lines in place); the number of lines added.
int AddAnswerLines(HWND list, char *text);

INT_PTR CALLBACK DomainInfoPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
