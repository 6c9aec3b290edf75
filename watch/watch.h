// The watch cycle, the new-program alert, and the in-memory look-up of a
// data-file section that the cycle compares against.
#pragma once

#include <windows.h>

// Runs one watch cycle (guards, startup programs, restart file, start page,
// cookies, taskbar repaint); always 1.
int WatchCycle();

// Dialog procedure of the new-program alert (template 131) about
// SelectedProgramPath: IDYES allows, IDNO refuses, AlertMoreInfo gives no answer.
INT_PTR CALLBACK NewProgramAlert(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The alert's result when the user only asked for the product page: the entry
// is neither kept nor removed and comes up again on the next cycle.
enum : int { AlertMoreInfo = 1067 };

// One section of the data file read into memory: its text turned into
// Unicode once, and an index of its keys. Released when it goes out of scope.
struct ProfileKey {
    const wchar_t *name;   // trimmed, ASCII letters in lower case
    const wchar_t *value;  // trimmed, as written
    int order;             // place in the file, so duplicates keep file order
};
struct ProfileSection {
    char name[32] = "";
    wchar_t *text = nullptr;
    ProfileKey *keys = nullptr;  // sorted by name, duplicates in file order
    int count = 0;
    ProfileSection() = default;
    ProfileSection(const ProfileSection &) = delete;
    ProfileSection &operator=(const ProfileSection &) = delete;
    ~ProfileSection();
};
// Reads a section of any size; the number of keys.
int LoadProfileSection(ProfileSection *section, const char *name);
// What GetPrivateProfileIntA would give for key in the section (default 0).
int ProfileSectionInt(const ProfileSection *section, const char *key);
// Writes one key (a null value deletes it) and reads the section again; 1 on success.
int WriteProfileSectionKey(ProfileSection *section, const char *key, const char *value);
// A profile value as GetPrivateProfileIntA turns it into a number.
int ProfileValueToInt(const wchar_t *value, int fallback);
