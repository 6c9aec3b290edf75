// Finding the program file of a command line when the first extension-like
// dot in it belongs to a folder's name, when the command names its folder
// through environment variables, and when it names its program in quotes.
#include "info/info.h"
#include "store/store.h"

#include <string.h>

namespace {

enum : int { WorkSize = 1024 };
// Stands in for a dot that the walk is to pass over; no command holds it.
const char HiddenDot = '\x01';

bool IsExistingFile(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// True where the program-file walk ends the file name: a dot with an "X"
// two places on (.EXE) or an "L" right after it (.LNK).
bool EndsProgramName(const char *text, size_t i)
{
    if (text[i] != '.')
        return false;
    char next = text[i + 1];
    return next == 'L' || next == 'l' || (next && (text[i + 2] == 'X' || text[i + 2] == 'x'));
}

} // namespace

int FindProgramFile(const char *command, char *buffer, size_t size)
{
    if (!buffer || size == 0)
        return 0;
    // A quoted program is named whole, dots in folder names and all, and as
    // written: the caller expands what the command's type asks for.
    const char *close = command && command[0] == '"' ? strchr(command + 1, '"') : nullptr;
    if (close) {
        CopyTextPart(buffer, size, command + 1, (size_t)(close - command - 1));
        for (char *c = buffer; *c; ++c)
            if (*c >= 'a' && *c <= 'z')
                *c = (char)(*c - 'a' + 'A');
        return (int)strlen(buffer);
    }
    char work[WorkSize] = "";
    DWORD length = command ? ExpandEnvironmentStringsA(command, work, sizeof(work)) : 0;
    if (length == 0 || length > sizeof(work))
        CopyText(work, sizeof(work), command);
    char first[WorkSize];
    ProgramFileFromCommand(work, first, sizeof(first));
    if (!first[0] || IsExistingFile(first))
        return CopyText(buffer, size, first);
    // Each cut in turn is hidden from the walk, which then ends at the next.
    for (size_t i = 0; work[i]; ++i) {
        if (!EndsProgramName(work, i))
            continue;
        work[i] = HiddenDot;
        char later[WorkSize];
        ProgramFileFromCommand(work, later, sizeof(later));
        for (char *c = later; *c; ++c)
            if (*c == HiddenDot)
                *c = '.';
        if (IsExistingFile(later))
            return CopyText(buffer, size, later);
    }
    return CopyText(buffer, size, first);
}
