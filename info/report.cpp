// The full report: the startup programs or the running tasks, freshly
// collected, as a small HTML document that the system's browser opens.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "startup/startup.h"
#include "store/store.h"
#include "tasks/tasks.h"

#include <shellapi.h>
#include <string.h>

namespace {

const int LineSize = 512;
const int AddressSize = 512;

// Every piece is formatted into one line buffer of LineSize bytes. The texts
// come from other people's files and registry values: each is escaped, and
// given only the room the line leaves beside the piece's own markup, so a
// long text is cut while the markup around it stays whole.
struct ReportFile {
    HANDLE handle;
    // Read once for every link line of the report.
    char user[SmallTextSize];
    char build[VersionFieldSize];
    // Lines are gathered and written a block at a time: one system call per
    // line made the file the report's slowest part.
    char pending[16384];
    size_t used;

    void Flush()
    {
        DWORD written = 0;
        if (used)
            WriteFile(handle, pending, (DWORD)used, &written, nullptr);
        used = 0;
    }

    void Write(const char *text)
    {
        size_t length = strlen(text);
        if (used + length > sizeof(pending))
            Flush();
        if (length > sizeof(pending)) {
            DWORD written = 0;
            WriteFile(handle, text, (DWORD)length, &written, nullptr);
            return;
        }
        memcpy(pending + used, text, length);
        used += length;
    }

    // A piece with one "%s", filled with the escaped text.
    void WriteEscaped(const char *format, const char *text)
    {
        int room = LineSize - ((int)strlen(format) - 2);
        char escaped[LineSize];
        HtmlEscape(text, escaped, (size_t)room);
        char line[LineSize];
        FormatText(line, sizeof(line), format, escaped);
        Write(line);
    }
};

// The first line of an item: its title (or the stand-in text) and its file
// name, sharing the room of one line.
void WriteItemHeading(ReportFile &file, const char *title, const char *fileName)
{
    static const char format[] = "<li><b>%s</b>\r\n\t<ol>%s<br>\r\n";
    int room = (LineSize - ((int)strlen(format) - 4)) / 2;
    char heading[TitleSize];
    if (title[0])
        CopyText(heading, sizeof(heading), title);
    else
        LoadText(IDS_NO_DESCRIPTION, heading, sizeof(heading));
    char escapedTitle[LineSize];
    char escapedName[LineSize];
    HtmlEscape(heading, escapedTitle, (size_t)room);
    HtmlEscape(fileName, escapedName, (size_t)room);
    char line[LineSize];
    FormatText(line, sizeof(line), format, escapedTitle, escapedName);
    file.Write(line);
}

// The link line. The address is built short enough that, escaped for the
// attribute, the whole line fits: it is then cut only where the address
// builder cuts, at a whole %-escape, and keeps its Type and Loc.
void WriteMoreInfoLink(ReportFile &file, const char *fileName, const VersionInfo *info, int kind)
{
    static const char format[] = "\t<A href='%s'>Click for More Info</A>\r\n\r\n";
    const int room = LineSize - ((int)strlen(format) - 2);
    char address[AddressSize];
    char escaped[2 * LineSize];
    int size = AddressSize;
    for (;;) {
        BuildMoreInfoUrlAs(file.user, file.build, fileName, info, kind, address, (size_t)size);
        int length = HtmlEscape(address, escaped, sizeof(escaped));
        if (length < room || size <= 1)
            break;
        size = (int)strlen(address) + 1 - (length - (room - 1));
        if (size < 1)
            size = 1;
    }
    char line[LineSize];
    FormatText(line, sizeof(line), format, escaped);
    file.Write(line);
}

void WriteHead(ReportFile &file, const char *heading)
{
    file.Write("<html><head><title>\r\n");
    char escaped[LineSize];
    HtmlEscape(heading, escaped, sizeof(escaped));
    file.Write(escaped);
    file.Write("</title></head>\r\n<body bgcolor=FloralWhite>\r\n");
    file.WriteEscaped("<H2 align='center'> %s </H2>\r\n", heading);

    SYSTEMTIME now = {};
    GetSystemTime(&now);
    char line[LineSize];
    // The minute is padded with a blank, not a zero: 21: 7.
    FormatText(line, sizeof(line), "<i>%d/%d/%4d  %d:%2d</i><br><br>\r\n", now.wMonth, now.wDay,
               now.wYear, now.wHour, now.wMinute);
    file.Write(line);
}

void WriteItem(ReportFile &file, int index, int kind)
{
    char title[TitleSize];
    char path[PathSize];
    GetEntryTitle(index, title);
    GetEntryPath(index, path);
    if (!title[0] && !path[0])
        return;
    const char *fileName = path + FileNamePart(path);
    WriteItemHeading(file, title, fileName);

    // The path as stored: a command line with arguments names no file and so
    // has no version lines.
    VersionInfo info;
    ReadVersionInfo(path, &info);
    if (info.FileDescription[0])
        file.WriteEscaped("\t%s<br>", info.FileDescription);
    if (info.ProductVersion[0])
        file.WriteEscaped("\tVersion: %s<br>\r\n", info.ProductVersion);
    if (info.LegalCopyright[0])
        file.WriteEscaped("\t%s<br>\r\n", info.LegalCopyright);
    char label[TextSize];
    if (GetSourceLabel(index, label) > 0 && label[0])
        file.WriteEscaped("\tLocation: %s<br>\r\n", label);
    if (path[0])
        file.WriteEscaped("\tPath:     %s<br>\r\n", path);

    WriteMoreInfoLink(file, fileName, &info, kind);
    file.Write("\t</ol><br><br>\r\n\r\n");
}

} // namespace

// WriteFullReportFile: collects the list of one kind and writes it as an HTML document.
int WriteFullReportFile(int kind, const char *fileName)
{
    if (kind != ReportStartup && kind != ReportTasks)
        return 0;
    FileHandle handle(CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_ARCHIVE, nullptr));
    // A file that cannot be created leaves everything as it was: nothing is
    // collected, so the calling page keeps its table too.
    if (!handle.valid())
        return 0;

    const char *heading;
    if (kind == ReportStartup) {
        CollectStartupEntries();
        heading = "Sentrovia Startup Programs";
    } else {
        CollectTaskEntries();
        heading = "Sentrovia Active Tasks";
    }

    static ReportFile file;
    file.handle = handle.handle;
    file.used = 0;
    UserIdentifier(file.user, sizeof(file.user));
    OwnProductVersion(file.build, sizeof(file.build));
    WriteHead(file, heading);
    for (int i = 0; i < EntryCount; ++i)
        WriteItem(file, i, kind);
    file.Write("</body></html>\r\n");
    file.Flush();
    return 1;
}

void TellReportNotCreated(const char *fileName)
{
    // The whole path: the current folder is nowhere to be seen.
    char path[TextSize];
    DWORD length = GetFullPathNameA(fileName, sizeof(path), path, nullptr);
    TextBox(MessageBoxOwner(), IDS_ERR_REPORT_FILE,
            length && length < sizeof(path) ? path : fileName, MB_ICONHAND);
}

// WriteFullReport: writes "Report.html" into the current folder and opens it.
int WriteFullReport(int kind)
{
    if (!WriteFullReportFile(kind, "Report.html")) {
        TellReportNotCreated("Report.html");
        return 0;
    }
    ShellExecuteA(MainWindow, "open", "Report.html", nullptr, nullptr, SW_SHOWNORMAL);
    return 1;
}
