// The text report: the name and the raw text of every cookie file, freshly
// collected, in one plain-text file that Notepad opens.
#include "cookies/cookies.h"
#include "info/info.h"
#include "store/store.h"

#include <string.h>

namespace {

const int LineSize = 512;
const int CookieCapacity = 4096;

void WriteText(HANDLE file, const char *text)
{
    DWORD written = 0;
    WriteFile(file, text, (DWORD)strlen(text), &written, nullptr);
}

void WriteCookie(HANDLE file, int index)
{
    char path[PathSize];
    if (!GetEntryPath(index, path))
        return;
    char title[TitleSize];
    GetEntryTitle(index, title);
    char line[LineSize];
    FormatText(line, sizeof(line), "%s\r\n", title);
    WriteText(file, line);
    // The text ends at its first zero byte; an unreadable or empty file
    // leaves just the name.
    HGLOBAL text = ReadTextFile(path, CookieCapacity);
    if (!text)
        return;
    {
        GlobalLocked locked(text);
        if (locked.data)
            WriteText(file, (const char *)locked.data);
    }
    GlobalFree(text);
}

} // namespace

// WriteCookieTextReportFile: collects the cookies and writes them into a named file.
int WriteCookieTextReportFile(const char *fileName)
{
    FileHandle file(CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_ARCHIVE, nullptr));
    // Nothing is collected when the file cannot be made: the calling page
    // keeps its table.
    if (!file.valid())
        return 0;
    int count = CollectCookieEntries();
    for (int i = 0; i < count; ++i)
        WriteCookie(file.handle, i);
    WriteText(file.handle, "\r\n\r\n");
    return 1;
}

// WriteCookieTextReport: writes "Report.txt" into the current folder and opens it in Notepad.
int WriteCookieTextReport()
{
    if (!WriteCookieTextReportFile("Report.txt")) {
        TellReportNotCreated("Report.txt");
        return 0;
    }
    WinExec("notepad.exe Report.txt", SW_SHOW);
    return 1;
}
