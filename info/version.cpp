// Version resources of program files, and the path functions that turn what
// the system reports into the program file to read.
#include "info/info.h"
#include "store/store.h"

#include <string.h>

namespace {

const char *const VersionKeys[5] = {
    "ProductName", "ProductVersion", "CompanyName", "FileDescription", "LegalCopyright",
};

char *VersionField(VersionInfo *info, int key)
{
    switch (key) {
    case 0: return info->ProductName;
    case 1: return info->ProductVersion;
    case 2: return info->CompanyName;
    case 3: return info->FileDescription;
    default: return info->LegalCopyright;
    }
}

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

// A resource states the lengths of its values itself, and any file may carry
// one that lies: a value is only taken when it lies wholly within the bytes
// read.
bool InsideBlock(const char *block, DWORD size, const void *value, UINT bytes)
{
    const char *start = (const char *)value;
    return start >= block && start <= block + size && bytes <= (UINT)(block + size - start);
}

// The walk shared by command lines and module paths: upper case, everything
// before the drive letter of the last colon dropped (kernel paths such as
// \??\C:\...), \SystemRoot\ made the Windows folder. Only a command line
// ends at the first extension: a module path is a file name already, and a
// folder such as MY.LIB must not end it.
int MakeProgramFile(const char *text, char *buffer, size_t size, bool endAtExtension)
{
    if (!buffer || size == 0)
        return 0;
    buffer[0] = '\0';
    if (!text)
        return 0;

    char work[1024];
    if (ContainsText(text, "SYSTEMROOT")) {
        // \SystemRoot\... names the Windows folder in kernel-style paths.
        char windows[1024] = "";
        GetWindowsDirectoryA(windows, sizeof(windows));
        CopyText(work, sizeof(work), windows);
        if (strlen(text) > 11)
            AppendText(work, sizeof(work), text + 11);
    } else {
        CopyText(work, sizeof(work), text);
    }

    char result[1024];
    size_t n = 0;
    size_t start = 0;
    size_t length = strlen(work);
    for (size_t i = 0; i < length && n + 1 < sizeof(result); ++i) {
        char c = work[i];
        if (c == '.' && endAtExtension) {
            bool exeLike = i + 2 < length && (work[i + 2] == 'X' || work[i + 2] == 'x');
            bool lnkLike = i + 1 < length && (work[i + 1] == 'L' || work[i + 1] == 'l');
            if (exeLike || lnkLike) {
                for (size_t j = i; j < i + 4 && j < length && n + 1 < sizeof(result); ++j)
                    result[n++] = UpperAscii(work[j]);
                break;
            }
        }
        result[n++] = UpperAscii(c);
        if (c == ':')
            start = i == 0 ? 0 : i - 1;
    }
    result[n] = '\0';
    if (start > n)
        start = n;
    return CopyText(buffer, size, result + start);
}

} // namespace

bool ReadVersionInfo(const char *path, VersionInfo *info)
{
    memset(info, 0, sizeof(*info));
    if (!path || !*path)
        return false;
    // A full path names one file only. When that is not there the version
    // functions fail too, after trying several ways to load it; a command
    // line with arguments is the common case. Other texts, relative folders
    // included, are looked for as Windows looks for programs.
    bool full = (path[0] && path[1] == ':' && path[2] == '\\') || path[0] == '\\';
    if (full && !FileExists(path))
        return false;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0 || size >= VersionBufferSize)
        return false;
    char block[VersionBufferSize];
    if (!GetFileVersionInfoA(path, 0, size, block))
        return false;

    WORD *pairs = nullptr;
    UINT pairBytes = 0;
    if (!VerQueryValueA(block, "\\VarFileInfo\\Translation", (void **)&pairs, &pairBytes) ||
        !InsideBlock(block, size, pairs, pairBytes))
        return false;

    // Every pair that has a ProductName overwrites all five fields: the last
    // such pair in the resource decides them.
    for (UINT p = 0; p < pairBytes / 4; ++p) {
        WORD language = pairs[p * 2];
        WORD codePage = pairs[p * 2 + 1];
        char query[128];
        char *values[5] = {};
        UINT lengths[5] = {};
        bool found[5] = {};
        for (int k = 0; k < 5; ++k) {
            FormatText(query, sizeof(query), "\\StringFileInfo\\%04x%04x\\%s", language, codePage,
                       VersionKeys[k]);
            found[k] = VerQueryValueA(block, query, (void **)&values[k], &lengths[k]) &&
                       InsideBlock(block, size, values[k], lengths[k]);
        }
        if (!found[0])
            continue;
        for (int k = 0; k < 5; ++k) {
            char *field = VersionField(info, k);
            if (found[k] && lengths[k] < VersionFieldSize)
                CopyTextPart(field, VersionFieldSize, values[k], lengths[k]);
            else
                field[0] = '\0';
        }
    }
    return info->ProductName[0] != '\0';
}

int ProgramFileFromCommand(const char *text, char *buffer, size_t size)
{
    return MakeProgramFile(text, buffer, size, true);
}

int ProgramFileFromModule(const char *moduleName, char *buffer, size_t size)
{
    return MakeProgramFile(moduleName, buffer, size, false);
}

int FileNamePart(const char *path)
{
    if (!path)
        return 0;
    int length = (int)strlen(path);
    for (int p = length - 1; p >= 1; --p)
        if (path[p] == '\\')
            return p + 1;
    return 0;
}

int OwnProductVersion(char *buffer, size_t size)
{
    char self[PathSize] = "";
    GetModuleFileNameA(nullptr, self, sizeof(self));
    VersionInfo info;
    ReadVersionInfo(self, &info);
    return CopyText(buffer, size, info.ProductVersion);
}
