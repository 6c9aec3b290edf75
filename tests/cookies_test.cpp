// Cookie enumeration, the nuts filter and the text report, against real
// cookie folders, registry values and the data file of the test prefix.
#include "cookies/cookies.h"
#include "cookies/nutlist.h"
#include "info/info.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

// Names in the order the file system hands them out, plain subfolders
// entered where they are met: the order the list must keep.
void WalkOrder(const std::string &folder, std::vector<std::string> *names)
{
    WIN32_FIND_DATAA find;
    HANDLE h = FindFirstFileA((folder + "\\*.*").c_str(), &find);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if (find.cFileName[0] == '.')
            continue;
        if (find.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY)
            WalkOrder(folder + "\\" + find.cFileName, names);
        else
            names->push_back(find.cFileName);
    } while (FindNextFileA(h, &find));
    FindClose(h);
}

// The expected names in walk order, joined as EntryTitles joins them.
std::string InWalkOrder(const std::string &folder, const std::set<std::string> &expected)
{
    std::vector<std::string> names;
    WalkOrder(folder, &names);
    std::string joined;
    for (const std::string &name : names)
        if (expected.count(name))
            joined += (joined.empty() ? "" : "|") + name;
    return joined;
}

std::string EntryPathText(int index)
{
    char path[PathSize];
    GetEntryPath(index, path);
    return path;
}

} // namespace

TEST(CookieEnumeration, ListsFilesInWalkOrderWithTheFileRules)
{
    CookieSandbox box("cookies_rules");
    box.SetNuts({"NUTTY"});
    std::string plain = box.File("Cookies\\jo@example[1].txt");
    std::string index = box.File("Cookies\\index.DAT");
    std::string nutDat = box.File("Cookies\\nutty.dAt");
    std::string system = box.File("Cookies\\system nutty.txt");
    SetFileAttributesA(system.c_str(), FILE_ATTRIBUTE_SYSTEM);
    std::string deep = box.File("Cookies\\sub\\deeper\\jo@deep[1].txt");
    std::string hidden = box.folder + "\\hidden";
    CreateDirectoryA(hidden.c_str(), nullptr);
    box.File("Cookies\\hidden\\inside.txt");
    SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    std::string netscape = box.File("netscape\\cookies.txt");
    box.Set(HKEY_LOCAL_MACHINE, NetscapeAppKey, "Path", netscape.c_str());

    ASSERT_EQ(4, CollectCookieEntries());
    // The folder's files in walk order (subfolders at any depth, a folder
    // with more than the directory bit as a cookie), Netscape's last.
    EXPECT_EQ(InWalkOrder(box.folder, {"jo@example[1].txt", "jo@deep[1].txt", "hidden"}) +
                  "|Netscape Cookies",
              EntryTitles());
    std::map<std::string, std::string> paths = {{"jo@example[1].txt", plain}, {"jo@deep[1].txt", deep},
                                                {"hidden", hidden}, {"Netscape Cookies", netscape}};
    for (int i = 0; i < EntryCount; ++i) {
        char title[TitleSize], link[PathSize];
        GetEntryTitle(i, title);
        GetEntryLink(i, link);
        EXPECT_EQ(0, lstrcmpiA(paths[title].c_str(), EntryPathText(i).c_str())) << EntryPathText(i);
        EXPECT_EQ(500u, GetEntrySource(i));
        EXPECT_EQ(0u, GetEntryNumber(i));
        EXPECT_STREQ("", link);
    }
    // ".dat" skipped yet deleted for its nut; the system file never tested.
    EXPECT_TRUE(PathExists(index));
    EXPECT_FALSE(PathExists(nutDat));
    EXPECT_TRUE(PathExists(system));
    SetFileAttributesA(system.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Which folder is walked: the Shell Folders value, else the Windows folder's
// Cookies; User Shell Folders only when the first listed nothing.
TEST(CookieEnumeration, FallsBackToTheOtherFolders)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    std::string windowsCookies = std::string(windows) + "\\Cookies";
    bool madeWindowsCookies = CreateDirectoryA(windowsCookies.c_str(), nullptr) != FALSE;
    std::string windowsFile = windowsCookies + "\\sentrovia-test@win[1].txt";
    ASSERT_TRUE(WriteFileBytes(windowsFile, "w"));

    CookieSandbox box("cookies_fallback");
    std::string empty = box.scratch + "\\Empty";
    CreateDirectoryA(empty.c_str(), nullptr);
    box.File("Cookies\\first.txt");
    box.File("Other\\other.txt");
    std::string other = box.scratch + "\\Other";
    std::string emptyRecased = box.scratch + "\\EMPTY\\";
    const struct {
        const char *shell;      // Shell Folders value (null: none)
        const char *userShell;  // User Shell Folders value (null: none)
        const char *titles;
    } cases[] = {
        {box.folder.c_str(), other.c_str(), "first.txt"},
        {empty.c_str(), other.c_str(), "other.txt"},
        {empty.c_str(), emptyRecased.c_str(), "sentrovia-test@win[1].txt"},
        {nullptr, other.c_str(), "sentrovia-test@win[1].txt"},
        {empty.c_str(), nullptr, ""},
    };
    for (const auto &c : cases) {
        box.Set(HKEY_CURRENT_USER, ShellFoldersKey, "Cookies", c.shell);
        box.Set(HKEY_CURRENT_USER, UserShellFoldersKey, "Cookies", c.userShell);
        CollectCookieEntries();
        EXPECT_EQ(c.titles, EntryTitles()) << (c.shell ? c.shell : "-") << " / " << (c.userShell ? c.userShell : "-");
    }
    DeleteFileA(windowsFile.c_str());
    if (madeWindowsCookies)
        RemoveDirectoryA(windowsCookies.c_str());
}

TEST(CookieEnumeration, FindsTheNetscapeFileByEitherRoute)
{
    CookieSandbox box("cookies_netscape");
    box.SetNuts({"netscape"});
    std::string byUser = box.File("netscape\\user.txt");
    std::string byApp = box.File("netscape\\app.txt");
    std::string folder = box.scratch + "\\netscape";
    std::string longUser(32, 'u');
    const struct {
        const char *user, *dirRoot, *appPath;
        const char *expected;  // the Netscape entry's path, or "" for none
    } cases[] = {
        {"jo", byUser.c_str(), byApp.c_str(), byUser.c_str()},
        {nullptr, nullptr, byApp.c_str(), byApp.c_str()},
        {"jo", nullptr, byApp.c_str(), byApp.c_str()},
        // A folder is no file; the App Paths value is not asked then.
        {"jo", folder.c_str(), byApp.c_str(), ""},
        {nullptr, nullptr, folder.c_str(), ""},
        // A name of 32 characters would be cut: it counts as none.
        {longUser.c_str(), byUser.c_str(), byApp.c_str(), byApp.c_str()},
        {longUser.c_str() + 1, byUser.c_str(), byApp.c_str(), byUser.c_str()},
    };
    for (const auto &c : cases) {
        box.Set(HKEY_LOCAL_MACHINE, NetscapeUsersKey, "CurrentUser", c.user);
        if (c.user)
            box.Set(HKEY_LOCAL_MACHINE, (std::string(NetscapeUsersKey) + "\\" + c.user).c_str(), "DirRoot",
                    c.dirRoot);
        box.Set(HKEY_LOCAL_MACHINE, NetscapeAppKey, "Path", c.appPath);
        int count = CollectCookieEntries();
        if (!*c.expected) {
            EXPECT_EQ(0, count) << EntryTitles();
            continue;
        }
        ASSERT_EQ(1, count) << c.expected;
        EXPECT_EQ("Netscape Cookies", EntryTitles());
        EXPECT_EQ(0, lstrcmpiA(c.expected, EntryPathText(0).c_str())) << EntryPathText(0);
    }
    // Never filtered, though its path holds a nut.
    EXPECT_TRUE(PathExists(byUser) && PathExists(byApp));
}

TEST(CookieEnumeration, ListsThe300FirstAndFiltersOnToTheEnd)
{
    CookieSandbox box("cookies_limit");
    box.SetNuts({"walnut"});
    std::set<std::string> listed;
    for (int i = 0; i < 310; ++i) {
        char name[32];
        FormatText(name, sizeof(name), "c%03d.txt", i);
        box.File(std::string("Cookies\\") + name);
        listed.insert(name);
    }
    std::vector<std::string> nuts;
    for (const char *name : {"a walnut.txt", "m walnut.txt", "zz walnut.txt"})
        nuts.push_back(box.File(std::string("Cookies\\") + name));
    box.Set(HKEY_LOCAL_MACHINE, NetscapeAppKey, "Path", box.File("netscape.txt").c_str());
    std::vector<std::string> order;
    WalkOrder(box.folder, &order);
    std::string first300;
    int seen = 0;
    bool nutBeyond = false;
    for (const std::string &name : order) {
        if (!listed.count(name)) {
            nutBeyond = nutBeyond || seen >= 300;
            continue;
        }
        if (seen++ < 300)
            first300 += (first300.empty() ? "" : "|") + name;
    }
    ASSERT_TRUE(nutBeyond) << "a nut file must come after the 300th cookie";

    EXPECT_EQ(300, CollectCookieEntries());
    EXPECT_EQ(first300, EntryTitles());
    for (const std::string &nut : nuts)
        EXPECT_FALSE(PathExists(nut)) << nut;
}

// The filter on its own: which files the stored nuts delete.
TEST(NutsFilter, DeletesWhatANutMatchesOnTheWholePath)
{
    CookieSandbox box("cookies_nutty");
    std::string file = box.File("Cookies\\jo@Ads.Example[1].txt");
    const struct {
        const char *section;  // [Nuts] as written by hand, lines split by '|'
        int deleted;
    } cases[] = {
        {"", 0},
        {"Nut1=ads", 0},                               // no count
        {"count=0|Nut1=ads", 0},
        {"count=1|Nut1=ADS.EXAMPLE", 1},               // case ignored
        {"count=1|Nut1=cookies_nutty\\Cookies", 1},   // the folder part counts
        {"count=1|Nut1=", 0},                          // an empty nut matches nothing
        {"count=2|Nut2=example", 1},                   // a missing key is skipped
        {"count=1|Nut1=tracker|Nut2=example", 0},      // keys beyond count are stale
        {"count=2|Nut1=tracker|Nut01=example", 0},     // not the key of number 1 or 2
        {"count=1| nut1 = \"example\" ", 1},           // as the profile reads it
        {"count=2|Nut1=tracker|Nut1=example", 0},      // the first of two keys counts
        {"count=1|Nut1=jo@ads.example[1].txt.old", 0},
    };
    for (const auto &c : cases) {
        WriteFileBytes(file, "id=1\n");
        std::string lines = c.section;
        for (char &ch : lines)
            if (ch == '|')
                ch = '\0';
        lines += std::string(2, '\0');
        WritePrivateProfileSectionA("Nuts", lines.c_str(), DataFilePath);
        EXPECT_EQ(c.deleted, DeleteIfNut(file.c_str())) << c.section;
        EXPECT_EQ(c.deleted == 0, PathExists(file)) << c.section;
        // The list read at once holds what the profile gives key by key.
        NutList list;
        LoadNutList(&list, DataFilePath);
        std::string once, each;
        for (int i = 0; i < list.count; ++i)
            once += std::to_string(list.nuts[i].number) + "=" + list.nuts[i].text + ";";
        int count = (int)GetPrivateProfileIntA("Nuts", "count", 0, DataFilePath);
        for (int i = 1; i <= count; ++i) {
            std::string nut = DataFileValue("Nuts", ("Nut" + std::to_string(i)).c_str());
            if (nut != "<missing>")
                each += std::to_string(i) + "=" + nut + ";";
        }
        EXPECT_EQ(each, once) << c.section;
    }
}

// Printable ASCII goes through a quick test first; it must agree with the
// system's comparison everywhere.
TEST(NutsFilter, QuickMatchAgreesWithContainsText)
{
    CookieSandbox box("cookies_match");
    const char *paths[] = {"C:\\c\\jo@co-op[1].txt", "C:\\c\\it's@x.txt", "C:\\c\\caf\xe9@x.txt",
                           "C:\\c\\STRASSE@x.txt", "C:\\c\\a~b!c#d$.txt"};
    const char *nuts[] = {"co-op", "coop", "co'op", "it's", "its", "CAF\xc9", "cafe", "strasse",
                          "stra\xdf" "e", "~B!", "b!c#d$.txt", "x.txt.", "-"};
    std::vector<std::string> stored(std::begin(nuts), std::end(nuts));
    box.SetNuts(stored);
    NutList list;
    ASSERT_EQ((int)stored.size(), LoadNutList(&list, DataFilePath));
    for (const char *path : paths) {
        for (int i = 0; i < list.count; ++i) {
            bool quick = NutListMatches(&list, path, i) == i;
            EXPECT_EQ(ContainsText(path, nuts[i]) == 1, quick) << path << " / " << nuts[i];
        }
    }
}

// The report: each cookie's name on a line, its text right after, two empty lines at the end.
TEST(CookieTextReport, WritesNamesAndTexts)
{
    CookieSandbox box("cookies_report");
    std::string report = box.scratch + "\\Report.txt";
    const struct {
        std::vector<std::pair<std::string, std::string>> files;  // name, bytes
    } cases[] = {
        {{}},
        {{{"a.txt", "x=1\nhost\n"}, {"b.txt", "y=2\r\n"}}},
        {{{"zero.txt", std::string("ab\0cd\n", 6)}, {"empty.txt", ""}}},
        {{{"big.txt", std::string(5000, 'q')}}},
    };
    for (const auto &c : cases) {
        RemoveTree(box.folder);
        CreateDirectoryA(box.folder.c_str(), nullptr);
        std::map<std::string, std::string> shown;
        for (const auto &file : c.files) {
            box.File("Cookies\\" + file.first, file.second);
            std::string text = file.second.substr(0, std::min<size_t>(file.second.find('\0'), 4095));
            for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
                text.insert(at, "\r");
            shown[file.first] = text;
        }
        ASSERT_EQ(1, WriteCookieTextReportFile(report.c_str()));
        ASSERT_EQ(c.files.size(), (size_t)EntryCount);
        std::string expected;
        for (int i = 0; i < EntryCount; ++i) {
            char title[TitleSize];
            GetEntryTitle(i, title);
            expected += std::string(title) + "\r\n" + shown[title];
        }
        EXPECT_EQ(expected + "\r\n\r\n", ReadFileBytes(report));
    }
    // A report that cannot be created collects nothing: the table stays.
    LoadNuts();
    AddEntry("kept", "", "", 503, 0);
    EXPECT_EQ(0, WriteCookieTextReportFile((box.scratch + "\\missing\\Report.txt").c_str()));
    EXPECT_EQ("kept", EntryTitles());
}

// A name is its own key unless the data file could not hold it; encoded
// keys read back as one key each, and no two names share one.
TEST(CookieKeepKey, OrdinaryNamesStayAndOthersRoundTrip)
{
    CookieSandbox box("cookies_keys");
    const struct { const char *name, *key; } cases[] = {
        {"jo@site[1].txt", "jo@site[1].txt"}, {"50% off;[x]=.txt", "50% off;[x]%3D.txt"},
        {"a=b.txt", "a%3Db.txt"},             {"[x]", "%5Bx]"},
        {"[Nuts]", "%5BNuts]"},               {";c.txt", "%3Bc.txt"},
        {" \tlead.txt", "%20%09lead.txt"},    {"trail.txt ", "trail.txt%20"},
        {"a%3Db.txt", "a%253Db.txt"},         {"x%3db.txt", "x%253db.txt"},
        {"%25", "%2525"},                     {"%41.txt", "%41.txt"},
        {"%", "%"},                           {"%=", "%%3D"},
    };
    std::set<std::string> keys;
    for (const auto &c : cases) {
        char key[CookieKeySize];
        EXPECT_STREQ(c.key, CookieKeepKey(c.name, key)) << c.name;
        std::string folded = key;
        for (char &ch : folded)
            ch = (char)tolower((unsigned char)ch);
        keys.insert(folded);
        // As a key of the data file, it reads back as itself.
        WritePrivateProfileStringA("Cookies", key, "1", DataFilePath);
        EXPECT_EQ("1", DataFileValue("Cookies", key)) << c.name;
        char all[4096] = "";
        GetPrivateProfileStringA("Cookies", nullptr, "", all, sizeof(all), DataFilePath);
        EXPECT_STREQ(key, all) << c.name;
        WritePrivateProfileStringA("Cookies", nullptr, nullptr, DataFilePath);
    }
    EXPECT_EQ(sizeof(cases) / sizeof(cases[0]), keys.size());
    char longest[CookieKeySize];
    EXPECT_EQ(3u * 259, strlen(CookieKeepKey(std::string(259, '=').c_str(), longest)));
}

// An item that will not go keeps its flags; one that goes, goes.
TEST(ForceDeleteFile, AnItemThatStaysKeepsItsAttributes)
{
    CookieSandbox box("cookies_force");
    const DWORD hidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
    std::string folder = box.File("Cookies\\sub\\x.txt");
    folder.resize(folder.size() - 6);
    const struct { std::string path; bool lock; int deleted; } cases[] = {
        {folder, false, 0}, {box.File("Cookies\\locked.txt"), true, 0}, {box.File("Cookies\\plain.txt"), false, 1}};
    for (const auto &c : cases) {
        bool isFolder = GetFileAttributesA(c.path.c_str()) & FILE_ATTRIBUTE_DIRECTORY;
        SetFileAttributesA(c.path.c_str(), isFolder ? (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) : hidden);
        DWORD before = GetFileAttributesA(c.path.c_str());
        EXPECT_TRUE(before & FILE_ATTRIBUTE_HIDDEN) << c.path;
        HANDLE file = c.lock ? CreateFileA(c.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                             : INVALID_HANDLE_VALUE;
        EXPECT_EQ(c.deleted, ForceDeleteFile(c.path.c_str())) << c.path;
        EXPECT_EQ(c.deleted ? INVALID_FILE_ATTRIBUTES : before, GetFileAttributesA(c.path.c_str())) << c.path;
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        SetFileAttributesA(c.path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}
