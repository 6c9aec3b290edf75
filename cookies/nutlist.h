// The nuts list as one enumeration holds it (inside the cookies area only).
#pragma once

#include <windows.h>

struct Nut {
    int number;          // its "Nut%d" number
    const char *text;    // as stored, at most 255 characters
    int length;
    bool ascii;          // printable ASCII only, folded below
    char folded[256];
};

struct NutList {
    HGLOBAL section = nullptr;
    Nut *nuts = nullptr;
    int count = 0;
    NutList() = default;
    NutList(const NutList &) = delete;
    NutList &operator=(const NutList &) = delete;
    ~NutList();
};

// Reads "count" and the nuts 1 to count of [Nuts]; returns how many there are.
int LoadNutList(NutList *list, const char *dataFile);
// Index of the first nut from `start` whose text the path contains, or -1.
int NutListMatches(const NutList *list, const char *path, int start);
// Deletes the file when a nut matches it; 1 when it was deleted.
int DeleteWithNutList(const NutList *list, const char *path);
