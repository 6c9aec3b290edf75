// One section of the data file held in memory for a watch cycle. A profile
// read goes back to the file every time; with thousands of kept cookies one
// read per entry would make every cycle take seconds. The look-up answers
// exactly what GetPrivateProfileIntA answers for the same key.
#include "watch/watch.h"
#include "store/store.h"

#include <algorithm>
#include <string.h>

namespace {

// The profile functions work on the text turned into Unicode by the ANSI code
// page; blanks, case and digits are judged there, so the look-up does too.
std::wstring WideText(const char *text, size_t length)
{
    std::wstring wide;
    if (length == 0)
        return wide;
    int count = MultiByteToWideChar(CP_ACP, 0, text, (int)length, nullptr, 0);
    if (count <= 0)
        return wide;
    wide.resize((size_t)count);
    MultiByteToWideChar(CP_ACP, 0, text, (int)length, &wide[0], count);
    return wide;
}

// The profile functions' blanks: ASCII white space and the old end-of-file
// mark (a no-break space is text to them).
bool IsProfileBlank(wchar_t c)
{
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1a;
}

std::wstring TrimBlanks(const std::wstring &text)
{
    size_t first = 0, last = text.size();
    while (first < last && IsProfileBlank(text[first]))
        ++first;
    while (last > first && IsProfileBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// Key names match without regard to the case of ASCII letters, as the
// profile functions compare them; lower case is the form both sides get.
std::wstring FoldKeyName(const char *name, size_t length)
{
    std::wstring folded = TrimBlanks(WideText(name, length));
    for (wchar_t &c : folded)
        if (c >= 'A' && c <= 'Z')
            c = (wchar_t)(c - 'A' + 'a');
    return folded;
}

bool KeyBefore(const ProfileKey &a, const ProfileKey &b)
{
    return a.name < b.name;
}

} // namespace

// ProfileValueToInt: a value as GetPrivateProfileIntA turns it into a number:
// at most 29 characters of it, matching quotes taken off, leading blanks and
// one sign skipped, "0x", "0o" and "0b" prefixes, digits up to the first
// other character, arithmetic modulo 2^32.
int ProfileValueToInt(const wchar_t *value, int fallback)
{
    // The profile functions copy the value into 30 characters first, taking
    // off a quote pair on the way (a closing quote that did not fit costs the
    // last character that did).
    std::wstring text(value);
    bool quoted = text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0];
    if (quoted)
        text.erase(0, 1);
    size_t length = text.size();
    if (text.size() > 29)
        text.resize(29);
    if (quoted && length <= 30 && !text.empty())
        text.pop_back();
    if (text.empty())
        return fallback;
    const wchar_t *p = text.c_str();
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
    section->name = name;
    section->keys.clear();
    std::string buffer(32768, '\0');
    DWORD length;
    // A result of size - 2 means the section did not fit.
    while ((length = GetPrivateProfileSectionA(name, &buffer[0], (DWORD)buffer.size(),
                                               DataFilePath)) >= buffer.size() - 2)
        buffer.resize(buffer.size() * 2);
    for (const char *line = buffer.c_str(); *line && line < buffer.c_str() + length;
         line += strlen(line) + 1) {
        const char *equal = strchr(line, '=');
        size_t nameLength = equal ? (size_t)(equal - line) : strlen(line);
        std::wstring value = equal ? TrimBlanks(WideText(equal + 1, strlen(equal + 1))) : L"";
        section->keys.push_back({FoldKeyName(line, nameLength), value});
    }
    std::stable_sort(section->keys.begin(), section->keys.end(), KeyBefore);
    return (int)section->keys.size();
}

// ProfileSectionInt: GetPrivateProfileIntA of one key, default 0, from memory.
int ProfileSectionInt(const ProfileSection *section, const char *key)
{
    ProfileKey wanted = {FoldKeyName(key, strlen(key)), std::wstring()};
    auto found = std::lower_bound(section->keys.begin(), section->keys.end(), wanted, KeyBefore);
    if (found == section->keys.end() || found->name != wanted.name)
        return 0;
    return ProfileValueToInt(found->value.c_str(), 0);
}

// WriteProfileSectionKey: writes (or, without a value, deletes) one key in the
// data file and reads the section again, so that the rest of the cycle sees
// the file exactly as the profile functions now read it.
int WriteProfileSectionKey(ProfileSection *section, const char *key, const char *value)
{
    int written = WritePrivateProfileStringA(section->name.c_str(), key, value, DataFilePath);
    LoadProfileSection(section, section->name.c_str());
    return written != 0;
}
