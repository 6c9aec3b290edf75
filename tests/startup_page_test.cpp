// The Startup Programs page in the real property sheet, driven with the
// messages that clicks send, against Run values, parked entries and Startup
// folder files prepared in the test prefix.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "startup/startup.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

enum : int {
    IdList = 1000,
    IdProperties = 1008,
    IdEnable = 10,
    IdDisable = 11,
    IdRemove = 1003,
    IdFullReport = 9,
};

const char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char UserRunLabel[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char ParkingRunKey[] = "Software\\Ostrel Studios\\Sentrovia\\Disabled\\Run";
const char DisabledKey[] = "Software\\Ostrel Studios\\Sentrovia\\Disabled";
const char CompanyKey[] = "Software\\Ostrel Studios";
const char ShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

const char HelpNoProgram[] =
    "No Program has been selected.\n\nJust click on the line that represents the program you'd "
    "like to learn more about.\nThen click on the  Properties button or just press the Enter key.";

struct Row {
    std::string cells[3];
    LPARAM data;
    int image;
};

std::vector<Row> ReadRows(HWND list)
{
    std::vector<Row> rows;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < count; ++row) {
        Row r;
        for (int column = 0; column < 3; ++column) {
            char text[512];
            GetListCellText(list, row, column, text, sizeof(text));
            r.cells[column] = text;
        }
        LVITEMA item = {};
        item.mask = LVIF_PARAM | LVIF_IMAGE;
        item.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
        r.data = item.lParam;
        r.image = item.iImage;
        rows.push_back(r);
    }
    return rows;
}

std::string EntryText(int index, int (*get)(int, char *))
{
    char text[PathSize];
    get(index, text);
    return text;
}

// The row of the entry with this title (and path, when given); -1 for none.
int FindRow(HWND list, const std::string &title, const std::string &path = "")
{
    std::vector<Row> rows = ReadRows(list);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].cells[0] != title)
            continue;
        if (path.empty() || lstrcmpiA(EntryText((int)rows[i].data, GetEntryPath).c_str(), path.c_str()) == 0)
            return (int)i;
    }
    return -1;
}

void SelectRow(HWND list, int row)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
}

void Click(HWND page, int id)
{
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(page, id));
}

std::string ColumnHeader(HWND list, int column)
{
    char text[128] = "";
    LVCOLUMNA info = {};
    info.mask = LVCF_TEXT;
    info.pszText = text;
    info.cchTextMax = sizeof(text);
    SendMessageA(list, LVM_GETCOLUMNA, (WPARAM)column, (LPARAM)&info);
    return text;
}

bool Shown(HWND page, int id)
{
    return IsWindowVisible(GetDlgItem(page, id)) != FALSE;
}

bool Enabled(HWND page, int id)
{
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}

// Row k shows entry k: its title, the command's file name part, the version.
void ExpectRowsMirrorEntries(HWND list)
{
    std::vector<Row> rows = ReadRows(list);
    ASSERT_EQ((size_t)EntryCount, rows.size());
    for (int k = 0; k < EntryCount; ++k) {
        EXPECT_EQ(k, rows[k].data);
        EXPECT_EQ(EntryText(k, GetEntryTitle), rows[k].cells[0]);
        std::string path = EntryText(k, GetEntryPath);
        EXPECT_EQ(path.substr(FileNamePart(path.c_str())), rows[k].cells[1]);
    }
}

// Everything a box or dialog showed, captured while the action runs; the
// box is answered with `button`.
struct BoxSeen {
    bool shown = false;
    std::string caption, text;
    bool yesNo = false;
};

BOOL CALLBACK CollectStatic(HWND child, LPARAM lParam)
{
    char cls[32] = "";
    GetClassNameA(child, cls, sizeof(cls));
    std::string text = WindowText(child);
    if (lstrcmpiA(cls, "Static") == 0 && !text.empty())
        *(std::string *)lParam += text;
    return TRUE;
}

BoxSeen BoxShownBy(int button, const std::function<void()> &action)
{
    BoxSeen seen;
    UINT_PTR wait = WhenWindowAppears(FindThreadDialog, [&](HWND box) {
        seen.shown = true;
        seen.caption = WindowText(box);
        EnumChildWindows(box, CollectStatic, (LPARAM)&seen.text);
        seen.yesNo = GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO);
        PostMessageA(box, WM_COMMAND, button, 0);
    }, 5000);
    action();
    CancelWindowWait(wait);
    return seen;
}

class StartupPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        HKEY key;
        companyExisted_ = RegOpenKeyExA(HKEY_LOCAL_MACHINE, CompanyKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (companyExisted_)
            RegCloseKey(key);
    }

    void TearDown() override
    {
        for (const auto &value : values_) {
            DeleteValue(value.first, RunKey, value.second.c_str());
            DeleteValue(HKEY_LOCAL_MACHINE, ParkingRunKey, value.second.c_str());
            DeleteValue(HKEY_LOCAL_MACHINE, DisabledKey, value.second.c_str());
        }
        if (!companyExisted_)
            DeleteRegTree(HKEY_LOCAL_MACHINE, CompanyKey);
        for (const SavedRegValue &saved : folders_)
            RestoreRegValue(saved);
        if (!scratch_.empty())
            RemoveTree(scratch_);
        ClearEntries();
        EXPECT_EQ(0, SheetPage);
        EXPECT_EQ(nullptr, SmallImageLists[0]) << "the page released its icons";
    }

    static void DeleteValue(HKEY root, const char *key, const char *name)
    {
        HKEY handle;
        if (RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, &handle) == ERROR_SUCCESS) {
            RegDeleteValueA(handle, name);
            RegCloseKey(handle);
        }
    }

    void AddRunValue(HKEY root, const char *name, const std::string &command)
    {
        ASSERT_TRUE(SetRegString(root, RunKey, name, command.c_str()));
        values_.push_back({root, name});
    }

    // Parks a Run value through the parking code itself, as a disable would.
    void Park(const char *title)
    {
        CollectStartupEntries();
        for (int i = 0; i < EntryCount; ++i) {
            if (EntryText(i, GetEntryTitle) != title)
                continue;
            ASSERT_EQ(1, ToggleStartupEntry(title, EntryText(i, GetEntryPath).c_str(),
                                            EntryText(i, GetEntryLink).c_str(), GetEntrySource(i)));
            ClearEntries();
            return;
        }
        FAIL() << "no entry " << title;
    }

    // Points the user's Startup folder at a scratch folder of the test.
    std::string UseStartupFolder()
    {
        folders_.push_back(SaveRegValue(HKEY_CURRENT_USER, ShellFolders, "Startup"));
        scratch_ = MakeScratchDir("startup_page");
        EXPECT_TRUE(SetRegString(HKEY_CURRENT_USER, ShellFolders, "Startup", scratch_.c_str()));
        return scratch_;
    }

    // Opens the sheet at Startup Programs and runs body(sheet, page, list).
    void OnStartupPage(const std::function<void(HWND, HWND, HWND)> &body)
    {
        bool shown = DriveSheet(nullptr, PageStartup, [&](HWND sheet) {
            HWND page = SheetCurrentPage(sheet);
            ASSERT_TRUE(page != nullptr);
            body(sheet, page, GetDlgItem(page, IdList));
        });
        EXPECT_TRUE(shown);
    }

    bool companyExisted_ = false;
    std::vector<std::pair<HKEY, std::string>> values_;
    std::vector<SavedRegValue> folders_;
    std::string scratch_;
};

} // namespace

TEST_F(StartupPageTest, RowsMirrorTheEntries)
{
    std::string spin = FixturePath("task_spin.exe");
    AddRunValue(HKEY_CURRENT_USER, "PageTest Spinner", "\"" + spin + "\" /quiet");
    AddRunValue(HKEY_CURRENT_USER, "PageTest Tool", "C:\\TOOLS\\APP.EXE /min");
    AddRunValue(HKEY_CURRENT_USER, "PageTest Bare", "nothere.exe /x");
    AddRunValue(HKEY_CURRENT_USER, "PageTest Parked", "C:\\TOOLS\\PARKED.EXE");
    Park("PageTest Parked");

    OnStartupPage([&](HWND, HWND page, HWND list) {
        EXPECT_EQ(1, SheetPage);
        EXPECT_EQ("\nWuffle the Windows Watch Dog reports that your computer loads and runs the "
                  "following programs anytime you reboot your Windows system.",
                  WindowText(GetDlgItem(page, 1047)));
        EXPECT_EQ("\nSelect a program and press &Properties, or double click an item to verify any "
                  "available product information",
                  WindowText(GetDlgItem(page, 1048)));
        EXPECT_EQ("Properties", WindowText(GetDlgItem(page, IdProperties)));
        EXPECT_EQ("Remove", WindowText(GetDlgItem(page, IdRemove)));
        EXPECT_EQ("Full Report", WindowText(GetDlgItem(page, IdFullReport)));
        EXPECT_EQ("Enable", WindowText(GetDlgItem(page, IdEnable)));
        EXPECT_EQ("Disable", WindowText(GetDlgItem(page, IdDisable)));
        EXPECT_TRUE(Shown(page, IdEnable)) << "the pair starts with Enable";
        EXPECT_FALSE(Shown(page, IdDisable));
        for (int id : {(int)IdRemove, (int)IdFullReport, (int)IdEnable, (int)IdDisable})
            EXPECT_EQ(BS_OWNERDRAW, GetWindowLongA(GetDlgItem(page, id), GWL_STYLE) & BS_TYPEMASK) << id;
        EXPECT_NE(BS_OWNERDRAW, GetWindowLongA(GetDlgItem(page, IdProperties), GWL_STYLE) & BS_TYPEMASK);
        EXPECT_EQ("Program Title", ColumnHeader(list, 0));
        EXPECT_EQ("Command", ColumnHeader(list, 1));
        EXPECT_EQ("Version", ColumnHeader(list, 2));

        ExpectRowsMirrorEntries(list);
        std::vector<Row> rows = ReadRows(list);

        int row = FindRow(list, "PageTest Spinner");
        ASSERT_GE(row, 0);
        EXPECT_EQ(0, lstrcmpiA((spin.substr(FileNamePart(spin.c_str())) + " /quiet").c_str(),
                               rows[row].cells[1].c_str()));
        EXPECT_EQ("7.1.3", rows[row].cells[2]) << "version of the program file, arguments aside";

        row = FindRow(list, "PageTest Tool");
        ASSERT_GE(row, 0);
        EXPECT_EQ("APP.EXE /min", rows[row].cells[1]);
        EXPECT_EQ("?", rows[row].cells[2]);

        row = FindRow(list, "PageTest Bare");
        ASSERT_GE(row, 0);
        EXPECT_EQ("nothere.exe /x", rows[row].cells[1]) << "no backslash: the whole command";

        row = FindRow(list, "PageTest Parked");
        ASSERT_GE(row, 0);
        EXPECT_EQ("PARKED.EXE", rows[row].cells[1]);
        EXPECT_EQ("Disabled ", rows[row].cells[2]);

        // Image 0 is the program's icon; each row's icon follows in order.
        HIMAGELIST images = (HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0);
        EXPECT_EQ(SmallImageLists[0], images);
        EXPECT_EQ((int)rows.size() + 1, ImageList_GetImageCount(images));
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ((int)i + 1, rows[i].image);
        ScreenshotPoint("startup_page");
    });
}

TEST_F(StartupPageTest, WithoutSelectionTheCommandsExplain)
{
    AddRunValue(HKEY_CURRENT_USER, "PageTest Keep", "C:\\TOOLS\\KEEP.EXE");
    OnStartupPage([&](HWND, HWND page, HWND list) {
        ASSERT_EQ(-1, GetSelectedItem(list));
        for (int command : {(int)IdProperties, (int)IdRemove, (int)IdEnable}) {
            BoxSeen box = BoxShownBy(IDOK, [&] { Click(page, command); });
            EXPECT_EQ(HelpNoProgram, box.text) << command;
            EXPECT_EQ("Sentrovia Help", box.caption) << command;
        }
        // Enter with nothing selected: no message at all.
        EXPECT_FALSE(BoxShownBy(IDOK, [&] { Click(page, IDOK); }).shown);
        EXPECT_FALSE(Shown(page, IdEnable)) << "Enter updated the pair: nothing selected";
        EXPECT_FALSE(BoxShownBy(IDOK, [&] { Click(page, IDCANCEL); }).shown);
        EXPECT_GE(FindRow(list, "PageTest Keep"), 0);
    });
    EXPECT_EQ("C:\\TOOLS\\KEEP.EXE", GetRegString(HKEY_CURRENT_USER, RunKey, "PageTest Keep"));
}

TEST_F(StartupPageTest, EntryWithoutFileShowsTheError)
{
    // A shortcut that cannot be read gives an entry with an empty path.
    std::string folder = UseStartupFolder();
    ASSERT_TRUE(WriteFileBytes(folder + "\\broken.lnk", "not a shortcut at all"));
    OnStartupPage([&](HWND, HWND page, HWND list) {
        int row = -1;
        for (int k = 0; k < EntryCount; ++k)
            if (EntryText(k, GetEntryLink).find("broken.lnk") != std::string::npos)
                row = k;
        ASSERT_GE(row, 0);
        ASSERT_EQ("", EntryText(row, GetEntryPath));
        SelectRow(list, row);
        BoxSeen box = BoxShownBy(IDOK, [&] { Click(page, IdProperties); });
        EXPECT_EQ("There is no file associated with this entry.\n It may be removed.\n", box.text);
        EXPECT_EQ("Sentrovia", box.caption);
    });
}

TEST_F(StartupPageTest, RemoveAsksWithTheCommandAndActsOnYes)
{
    AddRunValue(HKEY_CURRENT_USER, "PageTest Remove", "C:\\TOOLS\\REMOVE.EXE -x");
    OnStartupPage([&](HWND, HWND page, HWND list) {
        int row = FindRow(list, "PageTest Remove");
        ASSERT_GE(row, 0);
        SelectRow(list, row);
        BoxSeen no = BoxShownBy(IDNO, [&] { Click(page, IdRemove); });
        ASSERT_TRUE(no.shown);
        EXPECT_EQ("Sentrovia", no.caption);
        EXPECT_EQ(0u, no.text.find("You've chosen to remove C:\\TOOLS\\REMOVE.EXE -x\n\nThis file will not "
                                   "be deleted from your hard drive"))
            << no.text;
        // Yes and No; Wine draws MB_TOPMOST boxes without WS_EX_TOPMOST, so
        // that part of the style cannot be seen here.
        EXPECT_TRUE(no.yesNo);
        EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, RunKey, "PageTest Remove")) << "No keeps it";
        EXPECT_EQ(row, FindRow(list, "PageTest Remove"));

        SelectRow(list, row);
        BoxSeen yes = BoxShownBy(IDYES, [&] { Click(page, IdRemove); });
        ASSERT_TRUE(yes.shown);
        EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, RunKey, "PageTest Remove"));
        EXPECT_EQ(-1, FindRow(list, "PageTest Remove")) << "the list was refilled";
        EXPECT_EQ(-1, GetSelectedItem(list));
        ExpectRowsMirrorEntries(list);
    });
}

TEST_F(StartupPageTest, ReplacedQuestionTextIsNeverTakenAsAFormat)
{
    // A text from the registry with more directives than the one value.
    const char programKey[] = "Software\\Ostrel Studios\\Sentrovia";
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, programKey, "LString15", "Drop %s (100%% sure)? %s %d %n"));
    AddRunValue(HKEY_CURRENT_USER, "PageTest Format", "C:\\TOOLS\\FORMAT.EXE");
    OnStartupPage([&](HWND, HWND page, HWND list) {
        int row = FindRow(list, "PageTest Format");
        ASSERT_GE(row, 0);
        SelectRow(list, row);
        BoxSeen box = BoxShownBy(IDNO, [&] { Click(page, IdRemove); });
        EXPECT_EQ("Drop C:\\TOOLS\\FORMAT.EXE (100% sure)? %s %d %n", box.text);
    });
    DeleteValue(HKEY_LOCAL_MACHINE, programKey, "LString15");
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, RunKey, "PageTest Format"));
}

TEST_F(StartupPageTest, DisableThenEnableSwitchesThePair)
{
    AddRunValue(HKEY_CURRENT_USER, "PageTest Toggle", "\"C:\\Program Files\\Toggle\\toggle.exe\" /start");
    OnStartupPage([&](HWND, HWND page, HWND list) {
        int row = FindRow(list, "PageTest Toggle");
        ASSERT_GE(row, 0);
        SelectRow(list, row);
        EXPECT_TRUE(Shown(page, IdDisable));
        EXPECT_TRUE(Enabled(page, IdDisable));
        EXPECT_FALSE(Shown(page, IdEnable));
        EXPECT_FALSE(Enabled(page, IdEnable));

        EXPECT_FALSE(BoxShownBy(IDOK, [&] { Click(page, IdDisable); }).shown) << "no question";
        EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, RunKey, "PageTest Toggle"));
        EXPECT_EQ("C:\\Program Files\\Toggle\\toggle.exe /start",
                  GetRegString(HKEY_LOCAL_MACHINE, ParkingRunKey, "PageTest Toggle"));
        EXPECT_EQ("11", GetRegString(HKEY_LOCAL_MACHINE, DisabledKey, "PageTest Toggle"));
        row = FindRow(list, "PageTest Toggle");
        ASSERT_GE(row, 0);
        EXPECT_EQ("Disabled ", ReadRows(list)[row].cells[2]);
        ExpectRowsMirrorEntries(list);

        SelectRow(list, row);
        EXPECT_TRUE(Shown(page, IdEnable));
        EXPECT_TRUE(Enabled(page, IdEnable));
        EXPECT_FALSE(Shown(page, IdDisable));
        EXPECT_FALSE(Enabled(page, IdDisable));

        Click(page, IdEnable);
        EXPECT_EQ("C:\\Program Files\\Toggle\\toggle.exe /start",
                  GetRegString(HKEY_CURRENT_USER, RunKey, "PageTest Toggle"));
        EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, DisabledKey, "PageTest Toggle"));
        EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, ParkingRunKey, "PageTest Toggle"));
        row = FindRow(list, "PageTest Toggle");
        ASSERT_GE(row, 0);
        EXPECT_EQ("?", ReadRows(list)[row].cells[2]);

        // Enter shows or hides the pair by the selection, without enabling.
        SelectRow(list, row);
        EnableWindow(GetDlgItem(page, IdDisable), FALSE);
        BoxShownBy(IDOK, [&] { Click(page, IDOK); });  // the information dialog
        EXPECT_TRUE(Shown(page, IdDisable));
        EXPECT_FALSE(Enabled(page, IdDisable));
    });
}

TEST_F(StartupPageTest, DisableOfATitleAlreadyParkedIsRefused)
{
    AddRunValue(HKEY_CURRENT_USER, "PageTest Twin", "C:\\TWIN\\ONE.EXE");
    Park("PageTest Twin");
    AddRunValue(HKEY_LOCAL_MACHINE, "PageTest Twin", "C:\\TWIN\\TWO.EXE");

    OnStartupPage([&](HWND, HWND page, HWND list) {
        int row = FindRow(list, "PageTest Twin", "C:\\TWIN\\TWO.EXE");
        ASSERT_GE(row, 0);
        SelectRow(list, row);
        int shown = Shown(page, IdEnable) ? IdEnable : IdDisable;
        BoxSeen box = BoxShownBy(IDOK, [&] { Click(page, shown); });
        ASSERT_TRUE(box.shown);
        EXPECT_EQ("Sentrovia", box.caption);
        EXPECT_EQ("Another startup entry named \"PageTest Twin\" is already disabled.\n\nEnable or "
                  "remove that entry first, so that its parked command is kept.",
                  box.text);
        // Nothing moved: the live value, the parked one and its marker stay.
        EXPECT_EQ("C:\\TWIN\\TWO.EXE", GetRegString(HKEY_LOCAL_MACHINE, RunKey, "PageTest Twin"));
        EXPECT_EQ("C:\\TWIN\\ONE.EXE", GetRegString(HKEY_LOCAL_MACHINE, ParkingRunKey, "PageTest Twin"));
        EXPECT_EQ("11", GetRegString(HKEY_LOCAL_MACHINE, DisabledKey, "PageTest Twin"));
        EXPECT_EQ(row, FindRow(list, "PageTest Twin", "C:\\TWIN\\TWO.EXE"));

        // The parked one itself still comes back.
        row = FindRow(list, "PageTest Twin", "C:\\TWIN\\ONE.EXE");
        ASSERT_GE(row, 0);
        SelectRow(list, row);
        EXPECT_FALSE(BoxShownBy(IDOK, [&] { Click(page, IdEnable); }).shown);
        EXPECT_EQ("C:\\TWIN\\ONE.EXE", GetRegString(HKEY_CURRENT_USER, RunKey, "PageTest Twin"));
        EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, DisabledKey, "PageTest Twin"));
    });
}

TEST_F(StartupPageTest, PropertiesAndDoubleClickShowTheSelectedEntry)
{
    std::string spin = FixturePath("task_spin.exe");
    AddRunValue(HKEY_CURRENT_USER, "PageTest Info", "\"" + spin + "\" /quiet");
    OnStartupPage([&](HWND, HWND page, HWND list) {
        int row = FindRow(list, "PageTest Info");
        ASSERT_GE(row, 0);
        SelectRow(list, row);
        char program[PathSize];
        ProgramFileFromCommand(EntryText(row, GetEntryPath).c_str(), program, sizeof(program));

        auto expectInfoDialog = [&](const std::function<void()> &action) {
            std::string caption, path, source, version;
            UINT_PTR wait = WhenWindowAppears(FindThreadDialog, [&](HWND dialog) {
                caption = WindowText(dialog);
                path = WindowText(GetDlgItem(dialog, 1026));
                source = WindowText(GetDlgItem(dialog, 1027));
                version = WindowText(GetDlgItem(dialog, 1029));
                PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            });
            action();
            CancelWindowWait(wait);
            EXPECT_EQ("PageTest Info", caption);
            EXPECT_EQ(program, path);
            EXPECT_EQ(UserRunLabel, source);
            EXPECT_EQ("7.1.3", version);
        };
        expectInfoDialog([&] { Click(page, IdProperties); });
        expectInfoDialog([&] { Click(page, IDOK); });
        NMITEMACTIVATE activate = {};
        activate.hdr.hwndFrom = list;
        activate.hdr.idFrom = IdList;
        activate.hdr.code = NM_DBLCLK;
        activate.iItem = row;
        expectInfoDialog([&] { SendMessageA(page, WM_NOTIFY, IdList, (LPARAM)&activate); });
    });
}

TEST_F(StartupPageTest, LeavingEmptiesTheTableAndReturningRefills)
{
    AddRunValue(HKEY_CURRENT_USER, "PageTest Before", "C:\\TOOLS\\BEFORE.EXE");
    OnStartupPage([&](HWND sheet, HWND, HWND list) {
        ASSERT_GE(FindRow(list, "PageTest Before"), 0);
        PropSheet_SetCurSel(sheet, nullptr, PageAbout);
        PumpMessages(50);
        EXPECT_EQ(0, EntryCount) << "leaving the page emptied the table";
        AddRunValue(HKEY_CURRENT_USER, "PageTest After", "C:\\TOOLS\\AFTER.EXE");
        PropSheet_SetCurSel(sheet, nullptr, PageStartup);
        PumpMessages(50);
        EXPECT_GE(FindRow(list, "PageTest After"), 0);
        ExpectRowsMirrorEntries(list);
    });
}

TEST_F(StartupPageTest, FullReportKeepsRowsInStep)
{
    AddRunValue(HKEY_CURRENT_USER, "PageTest Report", "C:\\TOOLS\\REPORT.EXE");
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof(folder), folder);
    std::string report = std::string(folder) + "\\Report.html";
    DeleteFileA(report.c_str());
    OnStartupPage([&](HWND, HWND page, HWND list) {
        // A value that appears after the rows were filled comes first in the
        // report's collection, moving every user entry down by one.
        AddRunValue(HKEY_LOCAL_MACHINE, "PageTest Early", "C:\\TOOLS\\EARLY.EXE");
        Click(page, IdFullReport);
        ExpectRowsMirrorEntries(list);
        EXPECT_GE(FindRow(list, "PageTest Early"), 0);
    });
    std::string written = ReadFileBytes(report);
    EXPECT_EQ(0u, written.find("<html><head><title>\r\nSentrovia Startup Programs</title>"));
    EXPECT_NE(std::string::npos, written.find("<li><b>PageTest Early</b>"));
    DeleteFileA(report.c_str());
}
