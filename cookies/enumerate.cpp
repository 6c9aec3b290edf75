// Cookie enumeration: every file of the browser's cookie folder and the
// Netscape cookie file, with the nuts filter applied on the way, and the
// nuts list as the dialog keeps it.
#include "cookies/cookies.h"
#include "cookies/nutlist.h"
#include "info/info.h"
#include "resource.h"
#include "startup/startup.h"
#include "store/store.h"

#include <string.h>

namespace {

const char ExplorerPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const char NetscapeUsersPath[] = "SOFTWARE\\Netscape\\Netscape Navigator\\Users";
const char NetscapeAppPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Netscape.exe";
const char NutsSection[] = "Nuts";
const char CookiesSection[] = "Cookies";

// The folder named by the user's "Cookies" value under Explorer's key (Shell
// Folders or User Shell Folders); its length, 0 when there is none.
int ReadCookieFolderValue(const char *keyName, char *folder)
{
    char key[TextSize];
    FormatText(key, sizeof(key), "%s\\%s", ExplorerPath, keyName);
    return RegReadString(HKEY_CURRENT_USER, key, "Cookies", folder);
}

int WindowsCookieFolder(char *folder)
{
    char windows[TextSize] = "";
    UINT length = GetWindowsDirectoryA(windows, sizeof(windows));
    if (length == 0 || length >= sizeof(windows))
        windows[0] = '\0';
    CopyText(folder, TextSize, windows);
    return AppendText(folder, TextSize, "\\Cookies");
}

// Set while the folder being walked is its own long form: every path the walk
// then hands over is long already (the rest of it comes from FindFirstFileA).
bool WalkingLongFolder = false;

// Walks one cookie folder. The walk works in path-sized buffers; a longer
// folder text would be cut into the name of some other folder, so such a
// folder is left out.
void WalkCookieFolder(const char *folder, const NutList *nuts)
{
    char walk[PathSize];
    if (!folder[0] || strlen(folder) >= sizeof(walk) - 1)
        return;
    CopyText(walk, sizeof(walk), folder);
    char longFolder[TextSize];
    ToLongPathName(longFolder, sizeof(longFolder), walk);
    WalkingLongFolder = strcmp(longFolder, walk) == 0;
    WalkFolder(walk, AddFolderFile, 0, (LPARAM)nuts);
    WalkingLongFolder = false;
}

// The two texts name one folder: case ignored, and one final backslash too.
bool SameFolder(const char *first, const char *second)
{
    char a[TextSize];
    char b[TextSize];
    int lengthA = CopyText(a, sizeof(a), first);
    int lengthB = CopyText(b, sizeof(b), second);
    if (lengthA > 0 && a[lengthA - 1] == '\\')
        a[lengthA - 1] = '\0';
    if (lengthB > 0 && b[lengthB - 1] == '\\')
        b[lengthB - 1] = '\0';
    return lstrcmpiA(a, b) == 0;
}

// The Netscape cookie file that the registry names; its length, 0 for none.
int NetscapeCookieFile(char *path)
{
    path[0] = '\0';
    char user[TextSize];
    // A user name of 32 characters or more does not fit its buffer; cut, it
    // could name another user's folder, so it counts as no name at all.
    int userLength = RegReadString(HKEY_LOCAL_MACHINE, NetscapeUsersPath, "CurrentUser", user);
    if (userLength > 0 && userLength < SmallTextSize) {
        char key[TextSize];
        FormatText(key, sizeof(key), "%s\\%s", NetscapeUsersPath, user);
        RegReadString(HKEY_LOCAL_MACHINE, key, "DirRoot", path);
    }
    if (!path[0])
        RegReadString(HKEY_LOCAL_MACHINE, NetscapeAppPath, "Path", path);
    return (int)strlen(path);
}

void AddNetscapeCookies()
{
    char path[TextSize];
    // An entry keeps 259 characters of a path; a cut one names another file,
    // one that Remove Unchecked would then delete.
    if (NetscapeCookieFile(path) == 0 || strlen(path) >= PathSize || !FileExists(path))
        return;
    char title[TitleSize];
    LoadText(IDS_NETSCAPE_COOKIES, title, sizeof(title));
    AddEntry(title, path, "", SourceCookie, 0);
}

bool EndsWithDat(const char *path)
{
    size_t length = strlen(path);
    return length >= 4 && lstrcmpiA(path + length - 4, ".dat") == 0;
}

// Writes (or with a null text removes) one nut; 0 when the file refused.
int WriteNut(int number, const char *text)
{
    char key[SmallTextSize];
    FormatText(key, sizeof(key), "Nut%d", number);
    return WritePrivateProfileStringA(NutsSection, key, text, DataFilePath) != 0;
}

} // namespace

// CollectCookieEntries: the cookie files of the browser's folder, then Netscape's.
int CollectCookieEntries()
{
    if (EntryCount != 0)
        ClearEntries();
    FolderWalkMode = 2;
    // One read of the nuts serves every file of this enumeration.
    NutList nuts;
    LoadNutList(&nuts, DataFilePath);

    char first[TextSize];
    if (!ReadCookieFolderValue("Shell Folders", first))
        WindowsCookieFolder(first);
    WalkCookieFolder(first, &nuts);

    if (EntryCount == 0) {
        char second[TextSize];
        if (ReadCookieFolderValue("User Shell Folders", second)) {
            if (SameFolder(first, second))
                WindowsCookieFolder(second);
            WalkCookieFolder(second, &nuts);
        }
    }
    AddNetscapeCookies();
    return EntryCount;
}

// AddCookieFolderItem: lists one item of a cookie folder, or skips or deletes it.
void AddCookieFolderItem(const char *path, const WIN32_FIND_DATAA *find, LPARAM tag)
{
    (void)find;
    // The failure value has the system bit set as well: an item whose
    // attributes cannot be read is skipped.
    if (GetFileAttributesA(path) & FILE_ATTRIBUTE_SYSTEM)
        return;
    const NutList *nuts = (const NutList *)tag;
    if (nuts ? DeleteWithNutList(nuts, path) : DeleteIfNut(path))
        return;
    // The browser's index file.
    if (EndsWithDat(path))
        return;
    if (WalkingLongFolder)
        AddFoundEntry(path + FileNamePart(path), path, SourceCookie);
    else
        AddEntry(path + FileNamePart(path), path, "", SourceCookie, 0);
}

// IsCookieKept: the keep mark of a list name in [Cookies].
int IsCookieKept(const char *name)
{
    char key[CookieKeySize];
    return GetPrivateProfileIntA(CookiesSection, CookieKeepKey(name, key), 0, DataFilePath) != 0;
}

// CookieKeepKey: a file name as a key of [Cookies]; every ordinary name is
// its own key, as marks always were.
char *CookieKeepKey(const char *name, char *buffer)
{
    CodeProfileKey(name, buffer, CookieKeySize, 0);
    return buffer;
}

// DeleteIfNut: the nuts filter for one path, with the nuts read afresh.
int DeleteIfNut(const char *path)
{
    NutList nuts;
    if (!LoadNutList(&nuts, DataFilePath))
        return 0;
    return DeleteWithNutList(&nuts, path);
}

// LoadNuts: the stored nuts as entries of source 503, empty keys left out;
// an entry's number is its key's number. The section is read once: a key
// per number with its own read made a "count" of a million cost minutes.
int LoadNuts()
{
    if (EntryCount != 0)
        ClearEntries();
    NutList nuts;
    LoadNutList(&nuts, DataFilePath);
    for (int i = 0; i < nuts.count && EntryCount < MaxEntries; ++i)
        if (nuts.nuts[i].length > 0)
            AddEntry(nuts.nuts[i].text, "", "", SourceNut, (DWORD)nuts.nuts[i].number);
    return EntryCount;
}

// AddNut: the next number after "count". The other nuts are not rewritten:
// read back and written again, a long or quoted one could change and with
// it what the filter deletes.
int AddNut(const char *text)
{
    int count = (int)GetPrivateProfileIntA(NutsSection, "count", 0, DataFilePath);
    if (count < 0)
        count = 0;
    char number[SmallTextSize];
    FormatText(number, sizeof(number), "%d", count + 1);
    return WriteNut(count + 1, text) &&
           WritePrivateProfileStringA(NutsSection, "count", number, DataFilePath);
}

// RemoveNut: the key goes and leaves a gap, which the nuts' readers skip;
// "count" comes down only past gaps at the end.
int RemoveNut(int number)
{
    if (!WriteNut(number, nullptr))
        return 0;
    int count = (int)GetPrivateProfileIntA(NutsSection, "count", 0, DataFilePath);
    int last = count;
    for (; last > 0; --last) {
        char key[SmallTextSize];
        char text[SmallTextSize];
        FormatText(key, sizeof(key), "Nut%d", last);
        if (GetPrivateProfileStringA(NutsSection, key, "", text, sizeof(text), DataFilePath) > 0)
            break;
    }
    if (last == count)
        return 1;
    char text[SmallTextSize];
    FormatText(text, sizeof(text), "%d", last);
    return WritePrivateProfileStringA(NutsSection, "count", text, DataFilePath);
}
