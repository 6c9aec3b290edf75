// Small file and text functions shared by many subsystems.
#include "store/store.h"

#include <string.h>

int FileExists(const char *path)
{
    if (!path || !*path)
        return 0;
    char shortPath[TextSize];
    DWORD n = GetShortPathNameA(path, shortPath, sizeof(shortPath));
    if (n == 0 || n >= sizeof(shortPath))
        return 0;
    // OpenFile opens the path as a file, so a folder does not count.
    OFSTRUCT info = {};
    return OpenFile(shortPath, &info, OF_EXIST) == 1;
}

int ForceDeleteFile(const char *path)
{
    // Read-only, hidden and system files refuse deletion until made normal.
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path);
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
