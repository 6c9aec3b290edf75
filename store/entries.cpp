// The entry table: up to 300 fixed records, each its own movable global block,
// addressed by index. No caller ever holds a pointer into an entry.
#include "store/store.h"

#include <string.h>

namespace {

struct Entry {
    char Title[TitleSize];
    char Path[PathSize];
    char Link[PathSize];
    DWORD Source;
    DWORD Number;
};

HGLOBAL Entries[MaxEntries];

// Kept apart from the records, whose five fields and size are fixed.
struct EntryOrigin {
    char Name[OriginNameSize];
    DWORD Kind;
};
EntryOrigin Origins[MaxEntries];

// Locks one entry for the guard's life; null data for a bad index.
struct EntryLock {
    HGLOBAL block = nullptr;
    Entry *entry = nullptr;
    explicit EntryLock(int index)
    {
        if (index < 0 || index >= EntryCount)
            return;
        block = Entries[index];
        entry = block ? (Entry *)GlobalLock(block) : nullptr;
    }
    EntryLock(const EntryLock &) = delete;
    EntryLock &operator=(const EntryLock &) = delete;
    ~EntryLock() { if (entry) GlobalUnlock(block); }
};

int CopyField(int index, size_t offset, size_t fieldSize, char *buffer)
{
    EntryLock lock(index);
    if (!lock.entry) {
        if (buffer)
            buffer[0] = '\0';
        return 0;
    }
    return CopyText(buffer, fieldSize, (const char *)lock.entry + offset);
}

} // namespace

int EntryCount = 0;

int StripQuotes(char *dst, size_t size, const char *src)
{
    if (!dst || size == 0)
        return 0;
    size_t n = 0;
    for (; src && *src && n + 1 < size; ++src)
        if (*src != '"')
            dst[n++] = *src;
    dst[n] = '\0';
    return (int)n;
}

namespace {

typedef DWORD(WINAPI *LongPathFunc)(LPCSTR, LPSTR, DWORD);

// Kernel32 stays loaded for the life of every process, so its long-name
// function is looked up once instead of on each of the table's entries.
LongPathFunc LongPathFunction()
{
    static bool looked = false;
    static LongPathFunc function = nullptr;
    if (!looked) {
        HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
        function = kernel ? (LongPathFunc)(void *)GetProcAddress(kernel, "GetLongPathNameA") : nullptr;
        looked = true;
    }
    return function;
}

// Set while AddFoundEntry hands AddEntry a path that is long already.
bool PathIsLong = false;

} // namespace

int ToLongPathName(char *dst, size_t size, const char *text)
{
    // The first Windows 95 has no long-name function at all.
    static int firstWindows95 = -1;
    if (firstWindows95 < 0) {
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof(version);
        GetVersionExA(&version);
        firstWindows95 =
            version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && version.dwMinorVersion == 0;
    }
    if (firstWindows95)
        return CopyText(dst, size, text);

    char longName[PathSize] = "";
    DWORD length = 0;
    LongPathFunc getLong = LongPathFunction();
    // The long-name function fails on a name that does not exist, and costs
    // twenty times what asking for the attributes does: most commands carry
    // arguments and never name a file as they stand.
    if (text && *text && getLong && GetFileAttributesA(text) != INVALID_FILE_ATTRIBUTES)
        length = getLong(text, longName, sizeof(longName));
    if (length >= 1 && length < PathSize)
        return CopyText(dst, size, longName);
    return CopyText(dst, size, text);
}

int AddEntry(const char *title, const char *path, const char *link, DWORD source, DWORD number)
{
    if (EntryCount >= MaxEntries)
        return 0;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(Entry));
    if (!block)
        return 0;
    Entry *entry = (Entry *)GlobalLock(block);
    if (!entry) {
        GlobalFree(block);
        return 0;
    }
    // Over-long texts are cut to their fields, so that the user still sees
    // that something is there.
    CopyText(entry->Title, sizeof(entry->Title), title);
    char unquoted[TextSize];
    StripQuotes(unquoted, sizeof(unquoted), path);
    if (PathIsLong)
        CopyText(entry->Path, sizeof(entry->Path), unquoted);
    else
        ToLongPathName(entry->Path, sizeof(entry->Path), unquoted);
    ToLongPathName(entry->Link, sizeof(entry->Link), link ? link : "");
    entry->Source = source;
    entry->Number = number;
    GlobalUnlock(block);
    Origins[EntryCount].Name[0] = '\0';
    Origins[EntryCount].Kind = 0;
    Entries[EntryCount++] = block;
    return 1;
}

int AddFoundEntry(const char *title, const char *path, DWORD source)
{
    PathIsLong = true;
    int added = AddEntry(title, path, "", source, 0);
    PathIsLong = false;
    return added;
}

int GetEntryTitle(int index, char *buffer)
{
    return CopyField(index, offsetof(Entry, Title), TitleSize, buffer);
}

int GetEntryPath(int index, char *buffer)
{
    return CopyField(index, offsetof(Entry, Path), PathSize, buffer);
}

int GetEntryLink(int index, char *buffer)
{
    return CopyField(index, offsetof(Entry, Link), PathSize, buffer);
}

DWORD GetEntrySource(int index)
{
    EntryLock lock(index);
    return lock.entry ? lock.entry->Source : 0;
}

DWORD GetEntryNumber(int index)
{
    EntryLock lock(index);
    return lock.entry ? lock.entry->Number : 0;
}

void SetEntrySource(int index, DWORD source)
{
    EntryLock lock(index);
    if (lock.entry)
        lock.entry->Source = source;
}

void SetEntryOrigin(int index, const char *name, DWORD kind)
{
    if (index < 0 || index >= EntryCount)
        return;
    CopyText(Origins[index].Name, OriginNameSize, name);
    Origins[index].Kind = kind;
}

DWORD GetEntryOrigin(int index, char *name)
{
    bool valid = index >= 0 && index < EntryCount;
    if (name)
        CopyText(name, OriginNameSize, valid ? Origins[index].Name : "");
    return valid ? Origins[index].Kind : 0;
}

void ClearEntries()
{
    for (int i = 0; i < EntryCount; ++i) {
        if (Entries[i])
            GlobalFree(Entries[i]);
        Entries[i] = nullptr;
        Origins[i].Name[0] = '\0';
        Origins[i].Kind = 0;
    }
    EntryCount = 0;
}
