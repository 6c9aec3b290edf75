// The subjects handed to the modal dialogs, and the product-information
// address that the dialogs and the full report link to.
#include "info/info.h"
#include "store/store.h"

#include <string.h>

char SelectedProgramPath[512];
char SelectedProgramTitle[512];
char SelectedProgramSource[512];

namespace {

const char MoreInfoBase[] = "http://www.ostrelstudios.example/cgi-bin/proginfo.pl?program=";
const size_t MoreInfoQuerySize = 512;

// Appends one query value, percent-encoding everything but unreserved
// characters: a company such as "AT&T Labs" must reach the server as one
// value, not as a new key. An escape is never cut in half.
void AppendQueryValue(char *buffer, size_t size, const char *value)
{
    static const char hex[] = "0123456789ABCDEF";
    size_t used = strnlen(buffer, size - 1);
    for (const unsigned char *p = (const unsigned char *)value; p && *p; ++p) {
        unsigned char c = *p;
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '.' || c == '_' || c == '~';
        size_t need = plain ? 1 : 3;
        if (used + need + 1 > size)
            break;
        if (plain) {
            buffer[used++] = (char)c;
        } else {
            buffer[used++] = '%';
            buffer[used++] = hex[c >> 4];
            buffer[used++] = hex[c & 15];
        }
    }
    buffer[used] = '\0';
}

// Appends a value taken from someone else's file, cut at a whole escape so
// that `reserved` characters stay free for what must follow it whole.
void AppendCutValue(char *buffer, size_t size, const char *value, size_t reserved)
{
    size_t used = strnlen(buffer, size);
    if (used + reserved < size)
        AppendQueryValue(buffer, size - reserved, value);
}

} // namespace

void ClearSelectedProgram()
{
    SelectedProgramPath[0] = '\0';
    SelectedProgramTitle[0] = '\0';
    SelectedProgramSource[0] = '\0';
}

int UserIdentifier(char *buffer, size_t size)
{
    // Nothing that identifies the user or the machine leaves it: "0" unless
    // the user set an identifier of their own in the data file.
    char value[SmallTextSize] = "";
    GetPrivateProfileStringA("Options", "UserId", "", value, sizeof(value), DataFilePath);
    if (!value[0])
        CopyText(value, sizeof(value), "0");
    return CopyText(buffer, size, value);
}

int BuildMoreInfoUrl(const char *program, const VersionInfo *info, int type, char *buffer,
                     size_t size)
{
    char user[SmallTextSize];
    char build[VersionFieldSize];
    UserIdentifier(user, sizeof(user));
    OwnProductVersion(build, sizeof(build));
    return BuildMoreInfoUrlAs(user, build, program, info, type, buffer, size);
}

int BuildMoreInfoUrlAs(const char *user, const char *build, const char *program,
                       const VersionInfo *info, int type, char *buffer, size_t size)
{
    if (!buffer || size == 0)
        return 0;
    char tail[64];
    FormatText(tail, sizeof(tail), "&Type=%d&Loc=%s", type, LanguageId == 7 ? "de" : "en");

    // What ends the query is ours and short, and the server needs it: it goes
    // whole, and a long program name, company or version is cut instead.
    char own[MoreInfoQuerySize] = "&userid=";
    AppendQueryValue(own, sizeof(own), user);
    AppendText(own, sizeof(own), "&build=");
    AppendQueryValue(own, sizeof(own), build);
    AppendText(own, sizeof(own), tail);

    // The query has a limit of its own, so long version texts cannot push
    // the address past what the server accepts.
    static const char versionKey[] = "&version=";
    char query[MoreInfoQuerySize] = "&vendor=";
    AppendCutValue(query, sizeof(query), info ? info->CompanyName : "",
                   strlen(versionKey) + strlen(own));
    AppendText(query, sizeof(query), versionKey);
    AppendCutValue(query, sizeof(query), info ? info->ProductVersion : "", strlen(own));
    AppendText(query, sizeof(query), own);

    CopyText(buffer, size, MoreInfoBase);
    AppendCutValue(buffer, size, program, strlen(query));
    return AppendText(buffer, size, query);
}

int MoreInfoUrl(const char *programPath, int type, char *buffer, size_t size)
{
    // The subject is a program file already; for a running program it is the
    // whole module path, which the command-line rule would cut at a folder
    // such as MY.LIB. Only a text that names no file is a command line.
    char program[PathSize];
    DWORD attributes = programPath ? GetFileAttributesA(programPath) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        ProgramFileFromModule(programPath, program, sizeof(program));
    else
        ProgramFileFromCommand(programPath, program, sizeof(program));
    // Read from the program file, so that a command line with arguments
    // gives the same address as the file it starts.
    VersionInfo info;
    ReadVersionInfo(program, &info);
    return BuildMoreInfoUrl(program + FileNamePart(program), &info, type, buffer, size);
}

int HtmlEscape(const char *text, char *buffer, size_t size)
{
    if (!buffer || size == 0)
        return 0;
    buffer[0] = '\0';
    size_t used = 0;
    for (const char *p = text; p && *p; ++p) {
        const char *piece;
        char single[2] = {*p, '\0'};
        switch (*p) {
        case '<': piece = "&lt;"; break;
        case '>': piece = "&gt;"; break;
        case '&': piece = "&amp;"; break;
        case '"': piece = "&quot;"; break;
        case '\'': piece = "&#39;"; break;
        default: piece = single; break;
        }
        size_t n = strlen(piece);
        // An entity is never cut in half.
        if (used + n + 1 > size)
            break;
        memcpy(buffer + used, piece, n);
        used += n;
    }
    buffer[used] = '\0';
    return (int)used;
}
