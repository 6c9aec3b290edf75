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

int ToLongPathName(char *dst, size_t size, const char *text)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    // The first Windows 95 has no long-name function at all.
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && version.dwMinorVersion == 0)
        return CopyText(dst, size, text);

    typedef DWORD(WINAPI * LongPathFunc)(LPCSTR, LPSTR, DWORD);
    char longName[PathSize] = "";
    DWORD length = 0;
    if (text && *text) {
        Library kernel("KERNEL32.DLL");
        LongPathFunc getLong = (LongPathFunc)(void *)kernel.proc("GetLongPathNameA");
        if (getLong)
            length = getLong(text, longName, sizeof(longName));
    }
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
