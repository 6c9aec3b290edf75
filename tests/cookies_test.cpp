// Cookie enumeration, the nuts filter, the Cookies page, the cookie viewer and
// the nuts dialog, against real cookie folders, registry values and the data
// file of the test prefix; the page and dialogs in the real property sheet,
// driven with the messages clicks send.
#include "app/app.h"
#include "cookies/cookies.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

enum : int { IdList = 1000, IdRemoveUnchecked = 1004, IdNuts = 1065 };
enum : int { IdNutEdit = 1004, IdNutAdd = 1064, IdNutRemove = 1003 };

std::string EntryPathText(int index)
{
    char path[PathSize] = "";
    GetEntryPath(index, path);
    return path;
}

// What a click on a row's check box does to it.
void SetCheck(HWND list, int row, bool checked)
{
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
}

// The rows as "name", or "name+" when checked, joined by "|".
std::string Rows(HWND list)
{
    std::string text;
    std::vector<ListRow> rows = ReadListRows(list);
    for (size_t k = 0; k < rows.size(); ++k) {
        UINT state = (UINT)SendMessageA(list, LVM_GETITEMSTATE, k, LVIS_STATEIMAGEMASK) >> 12;
        text += (k ? "|" : "") + rows[k].cells[0] + (state == 2 ? "+" : "");
    }
    return text;
}

// Values of the data file joined by "|": "Nuts" keys, or "Cookies" marks.
std::string Values(const char *section, std::initializer_list<const char *> keys)
{
    std::string text;
    for (const char *key : keys)
        text += (text.empty() ? "" : "|") + DataFileValue(section, key);
    return text;
}

} // namespace

// The folder of Shell Folders' value, else of User Shell Folders' when the
// first listed nothing; the file rules of the walk; the Netscape file last;
// the nuts filter.
TEST(CookieEnumeration, ListsTheCookieFilesWithTheFileRulesAndTheNuts)
{
    CookieSandbox box("cookies_rules");
    box.SetNuts({"NUTTY"});
    std::string index = box.File("Cookies\\index.DAT"), nutDat = box.File("Cookies\\nutty.dAt");
    std::string system = box.File("Cookies\\system nutty.txt"), other = box.scratch + "\\Other";
    std::string empty = box.scratch + "\\Empty", folder = box.scratch + "\\netscape";
    SetFileAttributesA(system.c_str(), FILE_ATTRIBUTE_SYSTEM);
    box.File("Cookies\\sub\\deeper\\deep.txt");
    box.File("Other\\other.txt");
    const struct { const char *shell, *userShell, *titles; } folders[] = {
        {box.folder.c_str(), other.c_str(), "deep.txt"},
        {empty.c_str(), other.c_str(), "other.txt"},
        {empty.c_str(), nullptr, ""},
    };
    for (const auto &c : folders) {
        box.Set(HKEY_CURRENT_USER, ShellFoldersKey, "Cookies", c.shell);
        box.Set(HKEY_CURRENT_USER, UserShellFoldersKey, "Cookies", c.userShell);
        CollectCookieEntries();
        EXPECT_EQ(c.titles, EntryTitles()) << c.shell;
    }
    // ".dat" is not listed, yet deleted for its nut; a system file is never tested.
    EXPECT_TRUE(PathExists(index) && PathExists(system) && !PathExists(nutDat));

    // The Netscape file by the user's folder, else by App Paths.
    box.SetNuts({"netscape"});
    std::string byUser = box.File("netscape\\user.txt"), byApp = box.File("netscape\\app.txt");
    std::string longUser(32, 'u');  // a name that would be cut counts as none
    const struct { const char *user, *dirRoot, *expected; } routes[] = {
        {"jo", byUser.c_str(), byUser.c_str()}, {"jo", folder.c_str(), ""},
        {longUser.c_str(), byUser.c_str(), byApp.c_str()}};
    box.Set(HKEY_LOCAL_MACHINE, NetscapeAppKey, "Path", byApp.c_str());
    for (const auto &c : routes) {
        box.Set(HKEY_LOCAL_MACHINE, NetscapeUsersKey, "CurrentUser", c.user);
        box.Set(HKEY_LOCAL_MACHINE, (std::string(NetscapeUsersKey) + "\\" + c.user).c_str(), "DirRoot", c.dirRoot);
        CollectCookieEntries();
        EXPECT_EQ(*c.expected ? "Netscape Cookies" : "", EntryTitles()) << c.expected;
        EXPECT_EQ(0, *c.expected ? lstrcmpiA(c.expected, EntryPathText(0).c_str()) : 0) << EntryPathText(0);
    }

    // Which files the stored nuts delete.
    std::string file = box.File("Cookies\\jo@Ads.Example[1].txt");
    const struct { const char *section; int deleted; } cases[] = {  // [Nuts] lines split by '|'
        {"count=1|Nut1=ADS.EXAMPLE", 1},              // case ignored
        {"count=1|Nut1=cookies_rules\\Cookies", 1},   // the folder part counts
        {"count=1|Nut1=tracker|Nut2=example", 0},     // keys beyond count are stale
    };
    for (const auto &c : cases) {
        WriteFileBytes(file, "id=1\n");
        std::string lines = std::string(c.section) + std::string(2, '\0');
        std::replace(lines.begin(), lines.end(), '|', '\0');
        WritePrivateProfileSectionA("Nuts", lines.c_str(), DataFilePath);
        EXPECT_EQ(c.deleted, DeleteIfNut(file.c_str())) << c.section;
        EXPECT_EQ(c.deleted == 0, PathExists(file)) << c.section;
    }
}

// Marks show as checks; the page keeps them on leaving it and on closing the
// sheet, under keys the data file can hold (a name like a section leaves the
// nuts alone). A double click opens the viewer.
TEST(CookiesPage, ShowsKeepMarksAndSavesThemOnLeaving)
{
    CookieSandbox box("cookies_page_marks");
    box.SetNuts({"zzz"});
    const struct { const char *name, *key, *after; } files[] = {
        {"a.txt", "a.txt", "1"},     {"b.txt", "b.txt", "<missing>"}, {"a=b.txt", "a%3Db.txt", "1"},
        {"[Nuts]", "%5BNuts]", "1"}, {";c.txt", "%3Bc.txt", "1"},     {" lead.txt", "%20lead.txt", "1"},
    };
    for (const auto &file : files)
        box.File(std::string("Cookies\\") + file.name);
    WritePrivateProfileStringA("Cookies", "B.TXT", "5", DataFilePath);  // any number, any case
    EXPECT_TRUE(DriveListPage(PageCookies, [&](HWND sheet, HWND page, HWND list) {
        std::string rows = Rows(list);
        EXPECT_EQ(1, std::count(rows.begin(), rows.end(), '+')) << rows;
        EXPECT_NE(std::string::npos, rows.find("b.txt+")) << rows;
        for (const auto &file : files)
            SetCheck(list, FindListRow(list, file.name), *file.after == '1');
        ScreenshotPoint("cookies_page");
        // The viewer shows the selected row's file, row 0 too.
        SelectListRow(list, 0);
        DialogSeen viewer = DialogShownBy(IDOK, [&] { DoubleClickRow(page, list, 0); });
        EXPECT_EQ("Sentrovia - Cookies|" + EntryPathText(0) + "|id=1\r\n",
                  viewer.caption + "|" + viewer.items[1005] + "|" + viewer.items[1004]);
        SendMessageA(sheet, PSM_SETCURSEL, PageOptions, 0);
        for (const auto &file : files)
            EXPECT_EQ(file.after, DataFileValue("Cookies", file.key)) << file.name;
        SendMessageA(sheet, PSM_SETCURSEL, PageCookies, 0);
        SetCheck(GetDlgItem(SheetCurrentPage(sheet), IdList), FindListRow(list, "b.txt"), true);
    }));
    EXPECT_EQ("1|1|zzz", Values("Cookies", {"b.txt"}) + "|" + Values("Nuts", {"count", "Nut1"}));
}

// Only unchecked rows' files go, read-only ones too; two files of one name
// share a mark, which a checked one holds.
TEST(CookiesPage, RemoveUncheckedDeletesExactlyTheUncheckedRowsFiles)
{
    CookieSandbox box("cookies_page_remove");
    std::string kept = box.File("Cookies\\kept.txt"), gone = box.File("Cookies\\gone.txt");
    std::string readOnly = box.File("Cookies\\sub\\readonly.txt"), dupKept, dupGone;
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    box.File("Cookies\\s1\\dup.txt");
    box.File("Cookies\\s2\\dup.txt");
    WritePrivateProfileStringA("Cookies", "gone.txt", "1", DataFilePath);
    EXPECT_TRUE(DriveListPage(PageCookies, [&](HWND, HWND page, HWND list) {
        SetCheck(list, FindListRow(list, "kept.txt"), true);
        SetCheck(list, FindListRow(list, "gone.txt"), false);
        LVFINDINFOA dup = {LVFI_STRING, "dup.txt", 0, {0, 0}, 0};
        int first = FindListRow(list, "dup.txt"), second = (int)SendMessageA(list, LVM_FINDITEM, first, (LPARAM)&dup);
        SetCheck(list, first, true);  // the unchecked one comes after it
        dupKept = EntryPathText(first);
        dupGone = EntryPathText(second);
        ClickButton(page, IdRemoveUnchecked);
        std::string rows = Rows(list);
        EXPECT_TRUE(rows == "kept.txt+|dup.txt+" || rows == "dup.txt+|kept.txt+") << rows;
    }));
    EXPECT_TRUE(PathExists(kept) && PathExists(dupKept));
    EXPECT_FALSE(PathExists(gone) || PathExists(readOnly) || PathExists(dupGone));
    EXPECT_EQ("1|<missing>|1", Values("Cookies", {"kept.txt", "gone.txt", "dup.txt"}));
}

TEST(CookiesPage, NutsDialogEditsTheListAndThePageFollows)
{
    CookieSandbox box("cookies_page_nuts");
    box.SetNuts({"first", "second", "third"});
    std::string plain = box.File("Cookies\\plain.txt"), nutty = box.File("Cookies\\jo@nutty[1].txt");
    EXPECT_TRUE(DriveListPage(PageCookies, [&](HWND, HWND page, HWND pageList) {
        SetCheck(pageList, FindListRow(pageList, "plain.txt"), true);
        std::vector<DialogSeen> seen = DialogsShownBy({IDCANCEL}, [&] { ClickButton(page, IdNuts); }, [&](HWND dialog) {
            HWND list = GetDlgItem(dialog, IdList);
            // The removed nut leaves a gap; "count" comes down past gaps at the end only.
            for (const char *stored : {"3|first|<missing>|third", "1|first|<missing>|<missing>"}) {
                SelectListRow(list, 1);
                ClickButton(dialog, IdNutRemove);
                EXPECT_EQ(stored, Values("Nuts", {"count", "Nut1", "Nut2", "Nut3"}));
            }
            SetDlgItemTextA(dialog, IdNutEdit, "NUTTY");
            ClickButton(dialog, IdNutAdd);
            EXPECT_EQ("2|first|NUTTY|", Values("Nuts", {"count", "Nut1", "Nut2"}) + "|" +
                                              WindowText(GetDlgItem(dialog, IdNutEdit)));
            EXPECT_EQ("first|NUTTY", Rows(list));
            ScreenshotPoint("nuts_dialog");
        });
        EXPECT_EQ("Cookies with Nuts", seen.at(0).caption);
        EXPECT_EQ("plain.txt+", Rows(pageList)) << "the mark set before the dialog stays";
    }));
    EXPECT_TRUE(PathExists(plain));
    EXPECT_FALSE(PathExists(nutty));
}
