// Small file and text functions shared by many subsystems.
#include "store/store.h"

#include <string.h>

namespace {

typedef DWORD(WINAPI *FullPathNameW)(LPCWSTR, DWORD, LPWSTR, LPWSTR *);
typedef DWORD(WINAPI *FileAttributesW)(LPCWSTR);

// Appends a wide text within a buffer of TextSize + 8 characters.
void AppendWide(WCHAR *buffer, const WCHAR *text)
{
    int used = 0;
    while (buffer[used])
        ++used;
    while (*text && used < TextSize + 7)
        buffer[used++] = *text++;
    buffer[used] = L'\0';
}

// The attributes of a path too long for the "A" functions, asked through its
// "\\?\" form; INVALID_FILE_ATTRIBUTES when that cannot be done either. The
// wide functions are looked up, not imported: Windows 95 starts no program
// that imports one it lacks, and there they fail, which reads as "cannot tell".
DWORD LongPathAttributes(const char *path)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto fullPathName = kernel ? (FullPathNameW)(void *)GetProcAddress(kernel, "GetFullPathNameW")
                               : nullptr;
    auto fileAttributes = kernel ? (FileAttributesW)(void *)GetProcAddress(kernel, "GetFileAttributesW")
                                 : nullptr;
    if (!fullPathName || !fileAttributes)
        return INVALID_FILE_ATTRIBUTES;
    WCHAR wide[TextSize];
    WCHAR full[TextSize];
    WCHAR prefixed[TextSize + 8] = L"\\\\?\\";
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, wide, TextSize))
        return INVALID_FILE_ATTRIBUTES;
    DWORD length = fullPathName(wide, TextSize, full, nullptr);
    if (length == 0 || length >= TextSize)
        return INVALID_FILE_ATTRIBUTES;
    if (full[0] == L'\\' && full[1] == L'\\' && full[2] == L'?')
        return fileAttributes(full);
    // A share's path goes as \\?\UNC\server\share.
    const WCHAR *rest = full;
    if (full[0] == L'\\' && full[1] == L'\\') {
        AppendWide(prefixed, L"UNC");
        rest = full + 1;
    }
    AppendWide(prefixed, rest);
    return fileAttributes(prefixed);
}

} // namespace

int FileExists(const char *path)
{
    if (!path || !*path)
        return 0;
    // The attributes come from the folder's listing: a file that another
    // program holds open without sharing still has them, and the path may be
    // as long as any the program keeps.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES && strlen(path) >= MAX_PATH)
        attributes = LongPathAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return 0;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
}

int ForceDeleteFile(const char *path)
{
    // Read-only, hidden and system files refuse deletion until made normal;
    // an item that stays (a folder, a locked file) gets its flags back.
    DWORD attributes = GetFileAttributesA(path);
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path))
        return 1;
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & settable))
        SetFileAttributesA(path, attributes & settable);
    return 0;
}

int ContainsText(const char *text, const char *part)
{
    if (!text || !part)
        return 0;
    char work[TextSize];
    int textLength = CopyText(work, sizeof(work), text);
    int partLength = (int)strlen(part);
    // An empty part would match everywhere; a nut filter built on it would
    // delete every cookie.
    if (partLength == 0 || textLength == 0 || partLength > textLength)
        return 0;
    for (int start = 0; start + partLength <= textLength; ++start) {
        char saved = work[start + partLength];
        work[start + partLength] = '\0';
        int equal = lstrcmpiA(work + start, part) == 0;
        work[start + partLength] = saved;
        if (equal)
            return 1;
    }
    return 0;
}

HGLOBAL ReadTextFile(const char *path, int capacity)
{
    if (!path || capacity < 2)
        return nullptr;
    OFSTRUCT info = {};
    HFILE file = OpenFile(path, &info, OF_READ | OF_SHARE_DENY_NONE);
    if (file == HFILE_ERROR)
        return nullptr;
    GlobalBlock raw(GlobalAlloc(GMEM_ZEROINIT, (SIZE_T)capacity));
    if (!raw.block) {
        _lclose(file);
        return nullptr;
    }
    char *bytes = (char *)raw.block;  // GMEM_FIXED: the handle is the pointer
    UINT read = _lread(file, bytes, (UINT)capacity - 1);
    _lclose(file);
    if (read == 0 || read == (UINT)HFILE_ERROR)
        return nullptr;
    bytes[read] = '\0';

    GlobalBlock result(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (SIZE_T)read * 2 + 1));
    if (!result.block)
        return nullptr;
    GlobalLocked out(result.block);
    if (!out.data)
        return nullptr;
    char *dst = (char *)out.data;
    size_t n = 0;
    // Every LF gets a CR before it, also one a CR already precedes, so that the
    // edit controls that show these texts break every line.
    for (UINT i = 0; i < read && bytes[i]; ++i) {
        if (bytes[i] == '\n')
            dst[n++] = '\r';
        dst[n++] = bytes[i];
    }
    dst[n] = '\0';
    return result.release();
}
