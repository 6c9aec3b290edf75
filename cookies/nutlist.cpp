// The nuts as the filter uses them: [Nuts] read once into memory, and a match
// against a path that costs little when, as usual, nothing matches.
#include "cookies/nutlist.h"
#include "store/store.h"

#include <stdlib.h>
#include <string.h>

namespace {

const char NutsSection[] = "Nuts";
// The profile functions read a nut with room for 255 characters.
const int NutTextSize = 256;
// A section larger than this is not a list anyone typed; it is left unread.
const DWORD LargestSection = 1u << 24;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

char *Trim(char *text)
{
    while (IsBlank(*text))
        ++text;
    size_t length = strlen(text);
    while (length > 0 && IsBlank(text[length - 1]))
        text[--length] = '\0';
    return text;
}

// The number of a key made with "Nut%d", as the profile functions would
// find it for that number: case ignored, no sign, no leading zero.
int NutKeyNumber(const char *key)
{
    if ((key[0] | 0x20) != 'n' || (key[1] | 0x20) != 'u' || (key[2] | 0x20) != 't')
        return 0;
    const char *digits = key + 3;
    if (*digits < '1' || *digits > '9' || strlen(digits) > 9)
        return 0;
    int number = 0;
    for (const char *p = digits; *p; ++p) {
        if (*p < '0' || *p > '9')
            return 0;
        number = number * 10 + (*p - '0');
    }
    return number;
}

// A value as GetPrivateProfileStringA hands it out: one pair of matching
// quotes around it removed, cut to 255 characters.
void CutNutValue(char *value)
{
    size_t length = strlen(value);
    if (length >= 2 && (value[0] == '"' || value[0] == '\'') && value[length - 1] == value[0]) {
        memmove(value, value + 1, length - 2);
        value[length - 2] = '\0';
    }
    if (strlen(value) >= (size_t)NutTextSize)
        value[NutTextSize - 1] = '\0';
}

int CompareNuts(const void *a, const void *b)
{
    const Nut *left = (const Nut *)a;
    const Nut *right = (const Nut *)b;
    if (left->number != right->number)
        return left->number < right->number ? -1 : 1;
    // The first of two keys with one number is the one the profile finds.
    return left->text < right->text ? -1 : (left->text > right->text ? 1 : 0);
}

// Lower case of printable ASCII; false when the text holds anything else,
// for which only the system's own comparison knows the answer.
bool FoldAscii(const char *text, char *folded, size_t size)
{
    size_t n = 0;
    for (; text[n]; ++n) {
        unsigned char c = (unsigned char)text[n];
        if (c < 0x20 || c > 0x7E || n + 1 >= size)
            return false;
        folded[n] = (char)(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    folded[n] = '\0';
    return true;
}

// Pairs of neighbouring characters of a folded text, hashed into bits: a nut
// whose first pair is missing cannot be in the text. A shared bit only
// sends a nut on to the full search.
struct PairBits {
    unsigned char bits[512];
    static unsigned Hash(const char *pair) { return ((unsigned char)pair[0] * 31u + (unsigned char)pair[1]) & 4095u; }
    explicit PairBits(const char *folded)
    {
        memset(bits, 0, sizeof(bits));
        for (const char *p = folded; p[0] && p[1]; ++p)
            bits[Hash(p) >> 3] |= (unsigned char)(1u << (Hash(p) & 7));
    }
    bool Has(const char *pair) const { return (bits[Hash(pair) >> 3] >> (Hash(pair) & 7)) & 1; }
};

// The section's text in a block of its own; none when it is empty or too large.
HGLOBAL ReadNutsSection(const char *dataFile)
{
    for (DWORD size = 4096; size <= LargestSection; size *= 2) {
        GlobalBlock block(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size));
        if (!block.block)
            return nullptr;
        DWORD used = GetPrivateProfileSectionA(NutsSection, (char *)block.block, size, dataFile);
        if (used == 0)
            return nullptr;
        // A full buffer comes back as size - 2: try again with more room.
        if (used < size - 2)
            return block.release();
    }
    return nullptr;
}

} // namespace

NutList::~NutList()
{
    if (nuts)
        GlobalFree((HGLOBAL)nuts);
    if (section)
        GlobalFree(section);
}

// LoadNutList: "count" and the nuts 1 to count, with one read of the section.
int LoadNutList(NutList *list, const char *dataFile)
{
    int count = (int)GetPrivateProfileIntA(NutsSection, "count", 0, dataFile);
    if (count < 1)
        return 0;
    list->section = ReadNutsSection(dataFile);
    if (!list->section)
        return 0;
    char *text = (char *)list->section;
    int lines = 0;
    for (char *line = text; *line; line += strlen(line) + 1)
        ++lines;
    list->nuts = (Nut *)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, (SIZE_T)lines * sizeof(Nut));
    if (!list->nuts)
        return 0;

    int found = 0;
    for (char *line = text; *line;) {
        char *next = line + strlen(line) + 1;
        char *equals = strchr(line, '=');
        if (equals) {
            *equals = '\0';
            int number = NutKeyNumber(Trim(line));
            if (number >= 1 && number <= count) {
                char *value = Trim(equals + 1);
                CutNutValue(value);
                Nut &nut = list->nuts[found++];
                nut.number = number;
                nut.text = value;
                nut.length = (int)strlen(value);
            }
        }
        line = next;
    }
    qsort(list->nuts, (size_t)found, sizeof(Nut), CompareNuts);
    int kept = 0;
    for (int i = 0; i < found; ++i) {
        if (kept > 0 && list->nuts[kept - 1].number == list->nuts[i].number)
            continue;
        list->nuts[kept++] = list->nuts[i];
    }
    for (int i = 0; i < kept; ++i) {
        Nut &nut = list->nuts[i];
        nut.ascii = FoldAscii(nut.text, nut.folded, sizeof(nut.folded));
    }
    list->count = kept;
    return kept;
}

// NutListMatches: ContainsText of the path and each nut, in nut order; the
// index of the first nut that matches and may delete, from `start`, or -1.
int NutListMatches(const NutList *list, const char *path, int start)
{
    char folded[TextSize];
    bool asciiPath = FoldAscii(path, folded, sizeof(folded));
    size_t pathLength = asciiPath ? strlen(folded) : 0;
    PairBits pairs(asciiPath ? folded : "");
    for (int i = start; i < list->count; ++i) {
        const Nut &nut = list->nuts[i];
        if (nut.length == 0)
            continue;
        // Printable ASCII compares equal only when equal but for case, so a
        // miss here is a miss for the system's comparison too; a hit is
        // confirmed by it, since a locale may tell some letters apart.
        if (asciiPath && nut.ascii) {
            if ((size_t)nut.length > pathLength)
                continue;
            if (nut.length >= 2 && !pairs.Has(nut.folded))
                continue;
            if (!strstr(folded, nut.folded))
                continue;
        }
        if (ContainsText(path, nut.text))
            return i;
    }
    return -1;
}

// DeleteWithNutList: deletes a file that a nut matches; a file that will
// not go is tried against the remaining nuts, as each would try again.
int DeleteWithNutList(const NutList *list, const char *path)
{
    for (int i = NutListMatches(list, path, 0); i >= 0; i = NutListMatches(list, path, i + 1))
        if (ForceDeleteFile(path))
            return 1;
    return 0;
}
