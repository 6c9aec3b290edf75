// One section of the data file held in memory for a watch cycle. A profile
// read goes back to the file every time; with thousands of kept cookies one
// read per entry would make every cycle take seconds. The look-up answers
// exactly what GetPrivateProfileIntA answers for the same key.
//
// Plain heap blocks rather than the library's strings and vectors: those pull
// runtime pieces into the program that the oldest systems cannot load.
#include "watch/watch.h"
#include "store/store.h"

#include <stdlib.h>
#include <string.h>

namespace {

void *HeapBlock(size_t bytes)
{
    return HeapAlloc(GetProcessHeap(), 0, bytes ? bytes : 1);
}

void FreeHeapBlock(void *block)
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}

// The profile functions' blanks: ASCII white space and the old end-of-file
// mark (a no-break space is text to them).
bool IsProfileBlank(wchar_t c)
{
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1a;
}

// Trims the text [*start, end) in place: moves *start past leading blanks,
// ends the text after its last non-blank; the trimmed start.
wchar_t *TrimInPlace(wchar_t *start, wchar_t *end)
{
    while (start < end && IsProfileBlank(*start))
        ++start;
    while (end > start && IsProfileBlank(end[-1]))
        --end;
    *end = L'\0';
    return start;
}

// Key names match without regard to the case of ASCII letters, as the
// profile functions compare them; lower case is the form both sides get.
void FoldInPlace(wchar_t *name)
{
    for (; *name; ++name)
        if (*name >= 'A' && *name <= 'Z')
            *name = (wchar_t)(*name - 'A' + 'a');
}

int CompareKeys(const void *a, const void *b)
{
    const ProfileKey *x = (const ProfileKey *)a, *y = (const ProfileKey *)b;
    int byName = wcscmp(x->name, y->name);
    return byName ? byName : x->order - y->order;
}

// The section's bytes as the profile functions return them, in a heap block
// that grows until the section fits; their length.
char *ReadSectionBytes(const char *name, DWORD *length)
{
    DWORD size = 32768;
    for (;;) {
        char *bytes = (char *)HeapBlock(size);
        if (!bytes)
            return nullptr;
        *length = GetPrivateProfileSectionA(name, bytes, size, DataFilePath);
        // A result of size - 2 means the section did not fit.
        if (*length < size - 2)
            return bytes;
        FreeHeapBlock(bytes);
        if (size > 0x40000000)
            return nullptr;
        size *= 2;
    }
}

void EmptySection(ProfileSection *section)
{
    FreeHeapBlock(section->text);
    FreeHeapBlock(section->keys);
    section->text = nullptr;
    section->keys = nullptr;
    section->count = 0;
}

} // namespace

ProfileSection::~ProfileSection()
{
    EmptySection(this);
}

// ProfileValueToInt: a value as GetPrivateProfileIntA turns it into a number:
// at most 29 characters of it, matching quotes taken off, leading blanks and
// one sign skipped, "0x", "0o" and "0b" prefixes, digits up to the first
// other character, arithmetic modulo 2^32.
int ProfileValueToInt(const wchar_t *value, int fallback)
{
    // The profile functions copy the value into 30 characters first, taking
    // off a quote pair on the way (a closing quote that did not fit costs the
    // last character that did).
    size_t length = wcslen(value);
    bool quoted = length >= 2 && (value[0] == '"' || value[0] == '\'') && value[length - 1] == value[0];
    if (quoted)
        ++value, --length;
    size_t kept = length > 29 ? 29 : length;
    if (quoted && length <= 30 && kept > 0)
        --kept;
    if (kept == 0)
        return fallback;
    wchar_t text[30];
    memcpy(text, value, kept * sizeof(wchar_t));
    text[kept] = L'\0';
    const wchar_t *p = text;
    while (*p && *p <= ' ')
        ++p;
    bool minus = false;
    if (*p == '+' || *p == '-')
        minus = *p++ == '-';
    unsigned base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'o' || p[1] == 'b')) {
        base = p[1] == 'x' ? 16 : p[1] == 'o' ? 8 : 2;
        p += 2;
    }
    unsigned total = 0;
    for (;; ++p) {
        unsigned digit = 99;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (*p >= 'a' && *p <= 'z')
            digit = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'Z')
            digit = *p - 'A' + 10;
        if (digit >= base)
            break;
        total = total * base + digit;
    }
    return (int)(minus ? 0u - total : total);
}

// LoadProfileSection: reads one section of the data file whole, whatever its
// size, and indexes its keys; the first of duplicate keys is the one found.
int LoadProfileSection(ProfileSection *section, const char *name)
{
    EmptySection(section);
    CopyText(section->name, sizeof(section->name), name);
    DWORD length = 0;
    char *bytes = ReadSectionBytes(name, &length);
    if (!bytes)
        return 0;
    // The profile functions judge blanks, case and digits on the text turned
    // into Unicode by the ANSI code page, so the look-up does too. The lines'
    // zero separators come through the conversion as they are.
    int wide = length ? MultiByteToWideChar(CP_ACP, 0, bytes, (int)length, nullptr, 0) : 0;
    section->text = (wchar_t *)HeapBlock(((size_t)(wide > 0 ? wide : 0) + 1) * sizeof(wchar_t));
    if (section->text && wide > 0)
        MultiByteToWideChar(CP_ACP, 0, bytes, (int)length, section->text, wide);
    FreeHeapBlock(bytes);
    if (!section->text)
        return 0;
    section->text[wide > 0 ? wide : 0] = L'\0';

    wchar_t *end = section->text + (wide > 0 ? wide : 0);
    int lines = 0;
    for (wchar_t *line = section->text; line < end && *line; line += wcslen(line) + 1)
        ++lines;
    section->keys = (ProfileKey *)HeapBlock((size_t)lines * sizeof(ProfileKey));
    if (!section->keys) {
        EmptySection(section);
        return 0;
    }
    for (wchar_t *line = section->text; line < end && *line;) {
        wchar_t *lineEnd = line + wcslen(line);
        wchar_t *equal = wcschr(line, L'=');
        ProfileKey &key = section->keys[section->count];
        key.order = section->count;
        key.value = equal ? TrimInPlace(equal + 1, lineEnd) : L"";
        wchar_t *nameStart = TrimInPlace(line, equal ? equal : lineEnd);
        FoldInPlace(nameStart);
        key.name = nameStart;
        ++section->count;
        line = lineEnd + 1;
    }
    qsort(section->keys, (size_t)section->count, sizeof(ProfileKey), CompareKeys);
    return section->count;
}

// ProfileSectionInt: GetPrivateProfileIntA of one key, default 0, from memory.
int ProfileSectionInt(const ProfileSection *section, const char *key)
{
    size_t bytes = strlen(key);
    int wide = bytes ? MultiByteToWideChar(CP_ACP, 0, key, (int)bytes, nullptr, 0) : 0;
    wchar_t *wanted = (wchar_t *)HeapBlock(((size_t)(wide > 0 ? wide : 0) + 1) * sizeof(wchar_t));
    if (!wanted)
        return 0;
    if (wide > 0)
        MultiByteToWideChar(CP_ACP, 0, key, (int)bytes, wanted, wide);
    wanted[wide > 0 ? wide : 0] = L'\0';
    const wchar_t *name = TrimInPlace(wanted, wanted + (wide > 0 ? wide : 0));
    FoldInPlace(const_cast<wchar_t *>(name));

    // The first key not below the wanted name: the first of any duplicates.
    int low = 0, high = section->count;
    while (low < high) {
        int middle = low + (high - low) / 2;
        if (wcscmp(section->keys[middle].name, name) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    int result = 0;
    if (low < section->count && wcscmp(section->keys[low].name, name) == 0)
        result = ProfileValueToInt(section->keys[low].value, 0);
    FreeHeapBlock(wanted);
    return result;
}

// WriteProfileSectionKey: writes (or, without a value, deletes) one key in the
// data file and reads the section again, so that the rest of the cycle sees
// the file exactly as the profile functions now read it.
int WriteProfileSectionKey(ProfileSection *section, const char *key, const char *value)
{
    char name[sizeof(section->name)];
    CopyText(name, sizeof(name), section->name);
    int written = WritePrivateProfileStringA(name, key, value, DataFilePath);
    LoadProfileSection(section, name);
    return written != 0;
}
