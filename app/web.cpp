// Opening web pages: through a running AOL client, which has a browser of its
// own, or else through the shell's handler for web addresses.
#include "app/app.h"
#include "store/store.h"

#include <shellapi.h>

namespace {

struct AolWindowName {
    const char *className;
    const char *title;
};

// The client's main window, in the order the names are tried.
const AolWindowName AolWindowNames[] = {
    {"AOL Frame25", "America  Online"},
    {"AOL Frame25", "America Online"},
    {"AOL Frame25", "AOL"},
    {"AOL Frame25", "AOL Canada"},
    {"AOL Frame", "America  Online"},
};

// Room for a 511-character AppPath, the prefix, a 1023-character address
// and the quotes.
const size_t AolCommandSize = 1600;

} // namespace

// FindAolWindow: the running AOL client's main window, or none.
HWND FindAolWindow()
{
    for (const AolWindowName &name : AolWindowNames) {
        HWND window = FindWindowA(name.className, name.title);
        if (window)
            return window;
    }
    return nullptr;
}

// BuildAolCommand: the client's command line that opens an address.
int BuildAolCommand(const char *address, int quoted, char *buffer, size_t size)
{
    if (!buffer || size == 0)
        return 0;
    char folder[TextSize] = "";
    GetProfileStringA("WAOL", "AppPath", "", folder, sizeof(folder));
    if (folder[0]) {
        CopyText(buffer, size, folder);
        AppendText(buffer, size, "\\WAOL.EXE -u");
    } else {
        // Found through the search path, if at all.
        CopyText(buffer, size, "waol.exe -u");
    }
    if (quoted)
        AppendText(buffer, size, "\"");
    int length = AppendText(buffer, size, address);
    if (quoted)
        length = AppendText(buffer, size, "\"");
    return length;
}

// OpenWebPage: hands an address over; a result above 31 means it went.
INT_PTR OpenWebPage(const char *address, int quoted)
{
    if (FindAolWindow()) {
        char command[AolCommandSize];
        BuildAolCommand(address, quoted, command, sizeof(command));
        return (INT_PTR)WinExec(command, SW_SHOWNORMAL);
    }
    return (INT_PTR)ShellExecuteA(MainWindow, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
}
