// The Cookies page, the cookie viewer and the nuts dialog, in the real
// property sheet, driven with the messages clicks send, against real cookie
// files and the data file.
#include "app/app.h"
#include "cookies/cookies.h"
#include "resource.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string.h>

namespace {

enum : int { IdList = 1000, IdProperties = 1008, IdRemoveUnchecked = 1004, IdNuts = 1065, IdFullReport = 9 };
enum : int { IdNutEdit = 1004, IdNutAdd = 1064, IdNutRemove = 1003 };

// What a click on a row's check box does to it.
void SetCheck(HWND list, const char *name, bool checked)
{
    int row = FindListRow(list, name);
    ASSERT_GE(row, 0) << name;
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
}

// The rows as "name" or "name+" for a checked one, joined by "|".
std::string RowsWithChecks(HWND list)
{
    std::string text;
    std::vector<ListRow> rows = ReadListRows(list);
    for (size_t row = 0; row < rows.size(); ++row) {
        UINT state = (UINT)SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) >> 12;
        text += (row ? "|" : "") + rows[row].cells[0] + (state == 2 ? "+" : "");
    }
    return text;
}

// The rows must name the entries: row k shows the file name of entry k.
void ExpectRowsMirrorEntries(HWND list)
{
    std::vector<ListRow> rows = ReadListRows(list);
    ASSERT_EQ((size_t)EntryCount, rows.size());
    for (int k = 0; k < EntryCount; ++k) {
        char path[PathSize];
        GetEntryPath(k, path);
        EXPECT_STREQ(strrchr(path, '\\') + 1, rows[k].cells[0].c_str());
        EXPECT_EQ(k, rows[k].data);
    }
}

// The viewer as it came up: caption, path line, the whole text, Close.
struct ViewerSeen {
    bool shown = false;
    std::string caption, path, text, close;
    bool closeOwnerDrawn = false;
};

ViewerSeen ViewerShownBy(const std::function<void()> &action)
{
    ViewerSeen seen;
    UINT_PTR wait = WhenWindowAppears(FindThreadDialog, [&](HWND dialog) {
        seen.shown = true;
        seen.caption = WindowText(dialog);
        seen.path = WindowText(GetDlgItem(dialog, 1005));
        std::vector<char> text(20000);
        GetDlgItemTextA(dialog, 1004, text.data(), (int)text.size());
        seen.text = text.data();
        seen.close = WindowText(GetDlgItem(dialog, IDOK));
        seen.closeOwnerDrawn = IsOwnerDrawn(dialog, IDOK);
        ScreenshotPoint("cookie_viewer");
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }, 3000);
    action();
    CancelWindowWait(wait);
    return seen;
}

// Runs body(dialog, list) inside the nuts dialog that `open` brings up, then closes it.
bool DriveNutsDialog(const std::function<void()> &open, const std::function<void(HWND, HWND)> &body)
{
    bool ran = false;
    UINT_PTR wait = WhenWindowAppears(FindThreadDialog, [&](HWND dialog) {
        ran = true;
        body(dialog, GetDlgItem(dialog, IdList));
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    open();
    CancelWindowWait(wait);
    return ran;
}

void TypeAndAdd(HWND dialog, const char *text)
{
    SetDlgItemTextA(dialog, IdNutEdit, text);
    ClickButton(dialog, IdNutAdd);
}

// Notepad, started by the report, is closed again.
void CloseNotepad()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        HWND notepad = FindWindowA("Notepad", nullptr);
        if (notepad) {
            PostMessageA(notepad, WM_CLOSE, 0, 0);
            return;
        }
        PumpMessages(50);
    }
}

} // namespace

TEST(CookiesPage, ShowsKeepMarksAndSavesThemOnSwitchingPages)
{
    CookieSandbox box("cookies_page_marks");
    for (const char *name : {"a.txt", "b.txt", "c.txt"})
        box.File(std::string("Cookies\\") + name);
    // Any non-zero number counts, whatever the case of the name.
    WritePrivateProfileStringA("Cookies", "B.TXT", "5", DataFilePath);

    EXPECT_TRUE(DriveListPage(PageCookies, [&](HWND sheet, HWND page, HWND list) {
        EXPECT_EQ(3, SheetPage);
        const struct { int id; const char *text; bool link; } controls[] = {
            {1045, "\nWuffle the Windows Watch Dog reports that your computer has the following cookies.", false},
            {1046, "\n* Click the check box to mark the cookies", false}, {IdProperties, "Properties", false},
            {IdRemoveUnchecked, "Remove\nUnchecked", true}, {IdNuts, "&Nuts", true},
            {IdFullReport, "Full Report", true}};
        for (const auto &control : controls) {
            EXPECT_EQ(0u, WindowText(GetDlgItem(page, control.id)).find(control.text)) << control.id;
            EXPECT_EQ(control.link, IsOwnerDrawn(page, control.id)) << control.id;
        }
        EXPECT_EQ("Cookies", ListColumnHeader(list, 0));
        EXPECT_EQ((LRESULT)LVS_EX_CHECKBOXES, SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        ExpectRowsMirrorEntries(list);
        std::string checks = RowsWithChecks(list);
        EXPECT_EQ(1, std::count(checks.begin(), checks.end(), '+')) << checks;
        EXPECT_NE(std::string::npos, checks.find("b.txt+")) << checks;

        SetCheck(list, "a.txt", true);
        SetCheck(list, "c.txt", true);
        SetCheck(list, "b.txt", false);
        ScreenshotPoint("cookies_page");
        SendMessageA(sheet, PSM_SETCURSEL, PageOptions, 0);
        EXPECT_EQ(PageOptions, SheetCurrentTab(sheet));
        EXPECT_EQ("1|<missing>|1", DataFileValue("Cookies", "a.txt") + "|" + DataFileValue("Cookies", "b.txt") +
                                       "|" + DataFileValue("Cookies", "c.txt"));
        EXPECT_EQ(0, EntryCount) << "the page leaves no entries behind";
    }));
    EXPECT_EQ(0, SheetPage);
}

// Closing the sheet from the page keeps the marks set since the last switch.
namespace {

bool SheetOutlivedItsClose = false;

void CALLBACK CloseLeftoverSheet(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    SheetOutlivedItsClose = true;
    if (HWND sheet = FindThreadSheet())
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
}

} // namespace

TEST(CookiesPage, SavesKeepMarksWhenTheSheetClosesFromThePage)
{
    CookieSandbox box("cookies_page_close");
    box.File("Cookies\\keep.txt");
    const struct {
        const char *how;
        void (*close)(HWND sheet, HWND list);
    } ways[] = {
        {"Close", [](HWND sheet, HWND) { PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0); }},
        {"close box", [](HWND sheet, HWND) { PostMessageA(sheet, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Escape", [](HWND, HWND list) { PostMessageA(list, WM_KEYDOWN, VK_ESCAPE, 0); }},
        // Exit from the tray destroys the main window and the sheet with it.
        {"owner gone", [](HWND sheet, HWND) { DestroyWindow(sheet); }},
    };
    for (const auto &way : ways) {
        WritePrivateProfileStringA("Cookies", nullptr, nullptr, DataFilePath);
        SheetOutlivedItsClose = false;
        // Only this way closes the sheet; a sheet still up after 5 s is closed
        // for it, and the test fails.
        UINT_PTR wait = WhenWindowAppears(FindThreadSheet, [&](HWND sheet) {
            HWND list = GetDlgItem(SheetCurrentPage(sheet), IdList);
            SetCheck(list, "keep.txt", true);
            way.close(sheet, list);
        });
        UINT_PTR leftover = SetTimer(nullptr, 0, 5000, CloseLeftoverSheet);
        ShowPropertySheet(nullptr, PageCookies);
        KillTimer(nullptr, leftover);
        CancelWindowWait(wait);
        EXPECT_FALSE(SheetOutlivedItsClose) << way.how;
        EXPECT_EQ("1", DataFileValue("Cookies", "keep.txt")) << way.how;
    }
}

TEST(CookiesPage, RemoveUncheckedDeletesExactlyTheUncheckedRowsFiles)
{
    CookieSandbox box("cookies_page_remove");
    std::string kept = box.File("Cookies\\kept.txt");
    std::string gone = box.File("Cookies\\gone.txt");
    std::string readOnly = box.File("Cookies\\sub\\readonly.txt");
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    WritePrivateProfileStringA("Cookies", "gone.txt", "1", DataFilePath);

    EXPECT_TRUE(DriveListPage(PageCookies, [&](HWND, HWND page, HWND list) {
        SetCheck(list, "kept.txt", true);
        SetCheck(list, "gone.txt", false);
        // An owner-drawn button tells of being pressed with code 2: no command.
        DialogSeen pressed = DialogShownBy(IDOK, [&] {
            SendMessageA(page, WM_COMMAND, MAKEWPARAM(IdRemoveUnchecked, 2),
                         (LPARAM)GetDlgItem(page, IdRemoveUnchecked));
        }, 500);
        EXPECT_FALSE(pressed.shown);
        EXPECT_TRUE(PathExists(gone));

        ClickButton(page, IdRemoveUnchecked);
        EXPECT_EQ("kept.txt+", RowsWithChecks(list));
        ExpectRowsMirrorEntries(list);
        // With every row checked, nothing more goes.
        ClickButton(page, IdRemoveUnchecked);
        EXPECT_EQ("kept.txt+", RowsWithChecks(list));
    }));
    EXPECT_TRUE(PathExists(kept));
    EXPECT_FALSE(PathExists(gone));
    EXPECT_FALSE(PathExists(readOnly));
    EXPECT_EQ("1|<missing>", DataFileValue("Cookies", "kept.txt") + "|" + DataFileValue("Cookies", "gone.txt"));
}

// The report collects the cookies again; rows must still name their own files.
TEST(CookiesPage, RowsActOnTheirOwnFilesAfterAFullReport)
{
    CookieSandbox box("cookies_page_report");
    std::string b = box.File("Cookies\\b.txt");
    std::string d = box.File("Cookies\\d.txt");
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof(folder), folder);
    std::string report = std::string(folder) + "\\Report.txt";

    EXPECT_TRUE(DriveListPage(PageCookies, [&](HWND, HWND page, HWND list) {
        SetCheck(list, "d.txt", true);
        std::string a = box.File("Cookies\\a.txt");
        std::string c = box.File("Cookies\\c.txt");
        ClickButton(page, IdFullReport);
        CloseNotepad();
        ExpectRowsMirrorEntries(list);
        EXPECT_EQ(4u, ReadListRows(list).size());
        EXPECT_NE(std::string::npos, RowsWithChecks(list).find("d.txt+")) << "the mark set before the report stays";
        ClickButton(page, IdRemoveUnchecked);
        EXPECT_EQ("d.txt+", RowsWithChecks(list));
        for (const std::string &file : {a, b, c})
            EXPECT_FALSE(PathExists(file)) << file;
    }));
    EXPECT_TRUE(PathExists(d));
    EXPECT_NE(std::string::npos, ReadFileBytes(report).find("d.txt\r\n"));
    DeleteFileA(report.c_str());
}

TEST(CookiesPage, ViewerShowsTheSelectedCookie)
{
    CookieSandbox box("cookies_page_viewer");
    std::string bytes;
    for (int i = 0; bytes.size() < 5000; ++i)
        bytes += "line" + std::to_string(i) + "\n";
    std::string big = box.File("Cookies\\big.txt", bytes);
    std::string shown = bytes.substr(0, 4095);
    for (size_t at = 0; (at = shown.find('\n', at)) != std::string::npos; at += 2)
        shown.insert(at, "\r");

    EXPECT_TRUE(DriveListPage(PageCookies, [&](HWND, HWND page, HWND list) {
        DialogSeen help = DialogShownBy(IDOK, [&] { ClickButton(page, IdProperties); });
        EXPECT_TRUE(help.shown);
        EXPECT_NE(std::string::npos, help.text.find("No Cookie has been selected.")) << help.text;

        SelectListRow(list, 0);
        const struct { const char *how; std::function<void()> open; } ways[] = {
            {"Properties", [&] { ClickButton(page, IdProperties); }},
            {"double click", [&] { DoubleClickRow(page, list, 0); }},
        };
        for (const auto &way : ways) {
            ViewerSeen viewer = ViewerShownBy(way.open);
            ASSERT_TRUE(viewer.shown) << way.how;
            EXPECT_EQ("Sentrovia - Cookies", viewer.caption);
            EXPECT_EQ(0, lstrcmpiA(big.c_str(), viewer.path.c_str())) << viewer.path;
            EXPECT_EQ(shown, viewer.text);
            EXPECT_EQ("Close", viewer.close);
            EXPECT_TRUE(viewer.closeOwnerDrawn);
        }
        // A cookie gone since the list was filled opens nothing.
        DeleteFileA(big.c_str());
        EXPECT_FALSE(ViewerShownBy([&] { ClickButton(page, IdProperties); }).shown);
    }));
}

TEST(CookiesPage, NutsDialogEditsTheListAndThePageFollows)
{
    CookieSandbox box("cookies_page_nuts");
    box.SetNuts({"first", "second", "third"});
    std::string plain = box.File("Cookies\\plain.txt");
    std::string nutty = box.File("Cookies\\jo@nutty[1].txt");

    EXPECT_TRUE(DriveSheet(nullptr, PageStartup, [&](HWND sheet) {
        // The Startup Programs page keeps its icons in the slot the dialog uses.
        HIMAGELIST startupImages = SmallImageLists[0];
        ASSERT_NE(nullptr, startupImages);
        SendMessageA(sheet, PSM_SETCURSEL, PageCookies, 0);
        HWND page = SheetCurrentPage(sheet);
        HWND pageList = GetDlgItem(page, IdList);
        EXPECT_EQ(2u, ReadListRows(pageList).size());
        SetCheck(pageList, "plain.txt", true);

        EXPECT_TRUE(DriveNutsDialog([&] { ClickButton(page, IdNuts); }, [&](HWND dialog, HWND list) {
            EXPECT_EQ("Cookies with Nuts", WindowText(dialog));
            EXPECT_EQ("Cookie with Nuts Filter", ListColumnHeader(list, 0));
            EXPECT_TRUE(IsOwnerDrawn(dialog, IdNutRemove) && IsOwnerDrawn(dialog, IDCANCEL));
            EXPECT_FALSE(IsOwnerDrawn(dialog, IdNutAdd));
            std::vector<ListRow> rows = ReadListRows(list);
            ASSERT_EQ(3u, rows.size());
            EXPECT_EQ(1, rows[0].image) << "the nut icon";

            DialogSeen help = DialogShownBy(IDOK, [&] { ClickButton(dialog, IdNutRemove); });
            EXPECT_NE(std::string::npos, help.text.find("No Cookie has been selected.")) << help.text;

            // Every other nut keeps its key and text: the removed one leaves a gap.
            SelectListRow(list, 1);
            ClickButton(dialog, IdNutRemove);
            EXPECT_EQ("3|first|<missing>|third",
                      DataFileValue("Nuts", "count") + "|" + DataFileValue("Nuts", "Nut1") + "|" +
                          DataFileValue("Nuts", "Nut2") + "|" + DataFileValue("Nuts", "Nut3"));
            TypeAndAdd(dialog, "");
            TypeAndAdd(dialog, "NUTTY");
            EXPECT_EQ("4|NUTTY", DataFileValue("Nuts", "count") + "|" + DataFileValue("Nuts", "Nut4"));
            EXPECT_EQ("", WindowText(GetDlgItem(dialog, IdNutEdit)));
            rows = ReadListRows(list);
            ASSERT_EQ(3u, rows.size());
            EXPECT_EQ("first|third|NUTTY", rows[0].cells[0] + "|" + rows[1].cells[0] + "|" + rows[2].cells[0]);
            ScreenshotPoint("nuts_dialog");
        }));
        EXPECT_EQ("plain.txt+", RowsWithChecks(pageList)) << "the mark set before the dialog stays";
        ExpectRowsMirrorEntries(pageList);
        EXPECT_EQ(startupImages, SmallImageLists[0]) << "the Startup Programs page has its icons back";
        EXPECT_GT(ImageList_GetImageCount(SmallImageLists[0]), 0);
    }));
    EXPECT_TRUE(PathExists(plain));
    EXPECT_FALSE(PathExists(nutty));
}

// The dialog holds at most 300 nuts; a hand-edited long one is cut in its
// list only, and no Add or Remove rewrites it.
TEST(NutsDialog, AddAndRemoveLeaveTheOtherNutsAsStored)
{
    CookieSandbox box("cookies_nuts_full");
    std::vector<std::string> nuts;
    const std::string longNut(200, 'n');
    nuts.push_back(longNut);
    for (int i = 2; i <= 300; ++i)
        nuts.push_back("nut" + std::to_string(i));
    box.SetNuts(nuts);
    auto stored = [] { return DataFileValue("Nuts", "count") + "|" + DataFileValue("Nuts", "Nut1").substr(0, 3) +
                              std::to_string(DataFileValue("Nuts", "Nut1").size()); };
    EXPECT_TRUE(DriveNutsDialog(
        [] { DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_NUTS), nullptr, NutsDialog, 0); },
        [&](HWND dialog, HWND list) {
            std::vector<ListRow> rows = ReadListRows(list);
            ASSERT_EQ(300u, rows.size());
            EXPECT_EQ(std::string(127, 'n'), rows[0].cells[0]);
            DialogSeen full = DialogShownBy(IDOK, [&] { TypeAndAdd(dialog, "extra"); });
            EXPECT_EQ(LoadedText(IDS_NUTS_FULL), full.text);
            EXPECT_EQ("extra", WindowText(GetDlgItem(dialog, IdNutEdit))) << "what was typed stays";
            EXPECT_EQ("300|nnn200|<missing>", stored() + "|" + DataFileValue("Nuts", "Nut301"));
            // The last row, then one in the middle.
            const struct { int row; const char *after; } removals[] = {{299, "299|nnn200"}, {1, "299|nnn200"}};
            for (const auto &removal : removals) {
                SelectListRow(list, removal.row);
                ClickButton(dialog, IdNutRemove);
                EXPECT_EQ(removal.after, stored());
            }
            EXPECT_EQ("<missing>|nut3", DataFileValue("Nuts", "Nut2") + "|" + DataFileValue("Nuts", "Nut3"));
            ClickButton(dialog, IdNutAdd);
            EXPECT_EQ("300|nnn200|extra", stored() + "|" + DataFileValue("Nuts", "Nut300"));
            EXPECT_EQ(299u, ReadListRows(list).size());
        }));
    EXPECT_EQ(longNut, DataFileValue("Nuts", "Nut1"));
    EXPECT_EQ(nullptr, SmallImageLists[0]);
}

// Names the data file could not hold as keys keep their marks, and a name
// like a section leaves the nuts list alone.
TEST(CookiesPage, OddNamesKeepTheirMarks)
{
    CookieSandbox box("cookies_page_odd");
    box.SetNuts({"zzz"});
    const struct { const char *name, *key; } files[] = {
        {"a=b.txt", "a%3Db.txt"}, {"[x]", "%5Bx]"}, {"[Nuts]", "%5BNuts]"},
        {";c.txt", "%3Bc.txt"},   {" lead.txt", "%20lead.txt"}, {"jo@site[1].txt", "jo@site[1].txt"},
    };
    for (const auto &file : files)
        box.File(std::string("Cookies\\") + file.name);
    EXPECT_TRUE(DriveListPage(PageCookies, [&](HWND sheet, HWND, HWND list) {
        for (const auto &file : files)
            SetCheck(list, file.name, true);
        SendMessageA(sheet, PSM_SETCURSEL, PageOptions, 0);
    }));
    for (const auto &file : files)
        EXPECT_EQ("1", DataFileValue("Cookies", file.key)) << file.name;
    EXPECT_EQ("1|zzz", DataFileValue("Nuts", "count") + "|" + DataFileValue("Nuts", "Nut1"));
    std::string nutty = box.File("Cookies\\zzz.txt");
    EXPECT_TRUE(DriveListPage(PageCookies, [&](HWND, HWND page, HWND list) {
        ClickButton(page, IdRemoveUnchecked);
        std::string checks = RowsWithChecks(list);
        EXPECT_EQ((long)(sizeof(files) / sizeof(files[0])), (long)std::count(checks.begin(), checks.end(), '+'))
            << checks;
        EXPECT_EQ(sizeof(files) / sizeof(files[0]), ReadListRows(list).size());
    }));
    EXPECT_FALSE(PathExists(nutty)) << "the nuts filter still works";
}

// Two files of one name share a mark; a checked one holds it.
TEST(CookiesPage, ACheckedFileHoldsTheMarkOfItsName)
{
    CookieSandbox box("cookies_page_dup");
    for (bool firstChecked : {true, false}) {
        SCOPED_TRACE(firstChecked);
        std::string files[] = {box.File("Cookies\\s1\\dup.txt"), box.File("Cookies\\s2\\dup.txt")};
        WritePrivateProfileStringA("Cookies", nullptr, nullptr, DataFilePath);
        EXPECT_TRUE(DriveListPage(PageCookies, [&](HWND, HWND page, HWND list) {
            ASSERT_EQ("dup.txt|dup.txt", RowsWithChecks(list));
            for (int row = 0; row < 2; ++row) {
                char path[PathSize];
                GetEntryPath(row, path);
                LVITEMA item = {};
                item.stateMask = LVIS_STATEIMAGEMASK;
                item.state = INDEXTOSTATEIMAGEMASK((lstrcmpiA(files[0].c_str(), path) == 0) == firstChecked ? 2 : 1);
                SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
            }
            ClickButton(page, IdRemoveUnchecked);
            EXPECT_EQ("dup.txt+", RowsWithChecks(list));
            ClickButton(page, IdRemoveUnchecked);
        }));
        EXPECT_EQ(firstChecked, PathExists(files[0]));
        EXPECT_EQ(!firstChecked, PathExists(files[1]));
        EXPECT_EQ("1", DataFileValue("Cookies", "dup.txt"));
        DeleteFileA(files[0].c_str());
        DeleteFileA(files[1].c_str());
    }
}

// Clicks queued during a pass were aimed at the old list: they are dropped.
TEST(CookiesPage, ClicksMadeDuringAPassAreDropped)
{
    CookieSandbox box("cookies_page_queued");
    std::string gone = box.File("Cookies\\gone.txt");
    EXPECT_TRUE(DriveListPage(PageCookies, [&](HWND, HWND page, HWND list) {
        HWND button = GetDlgItem(page, IdRemoveUnchecked);
        auto queueClick = [&] {
            PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
            PostMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        };
        queueClick();
        PostMessageA(list, WM_KEYDOWN, VK_SPACE, 0);
        // Written while the pass ran: the refilled list shows it unchecked.
        std::string late = box.File("Cookies\\late.txt");
        ClickButton(page, IdRemoveUnchecked);
        PumpMessages(200);
        EXPECT_FALSE(PathExists(gone));
        EXPECT_TRUE(PathExists(late));
        EXPECT_TRUE(IsWindowEnabled(button));
        EXPECT_EQ("late.txt", RowsWithChecks(list));
        // A click made once the list is shown does act.
        queueClick();
        PumpMessages(200);
        EXPECT_FALSE(PathExists(late));
    }));
}
