// The Startup Programs page in the real property sheet, driven with the messages
// clicks send, against Run values, parked entries and Startup folder files.
#include "app/app.h"
#include "info/info.h"
#include "resource.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

namespace {

enum : int { IdProperties = 1008, IdEnable = 10, IdDisable = 11, IdRemove = 1003, IdFullReport = 9 };

const char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char ParkingRunKey[] = "Software\\Ostrel Studios\\Sentrovia\\Disabled\\Run";
const char DisabledKey[] = "Software\\Ostrel Studios\\Sentrovia\\Disabled";
const char CompanyKey[] = "Software\\Ostrel Studios";

std::string EntryText(int index, int (*get)(int, char *))
{
    char text[PathSize];
    get(index, text);
    return text;
}

// Row k shows entry k: its title and the file name part of its command.
void ExpectRowsMirrorEntries(HWND list)
{
    std::vector<ListRow> rows = ReadListRows(list);
    ASSERT_EQ((size_t)EntryCount, rows.size());
    for (int k = 0; k < EntryCount; ++k) {
        std::string path = EntryText(k, GetEntryPath);
        EXPECT_EQ(k, rows[k].data);
        EXPECT_EQ(EntryText(k, GetEntryTitle), rows[k].cells[0]);
        EXPECT_EQ(path.substr(FileNamePart(path.c_str())), rows[k].cells[1]);
    }
}

// Where a value of that name is: the user's Run key, the machine's, the
// parking key and the parked entry's marker.
std::string Places(const char *name)
{
    return GetRegString(HKEY_CURRENT_USER, RunKey, name) + " | " + GetRegString(HKEY_LOCAL_MACHINE, RunKey, name) +
           " | " + GetRegString(HKEY_LOCAL_MACHINE, ParkingRunKey, name) + " | " +
           GetRegString(HKEY_LOCAL_MACHINE, DisabledKey, name);
}

bool Shown(HWND page, int id)
{
    return IsWindowVisible(GetDlgItem(page, id)) != FALSE;
}

class StartupPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        RegKey key;
        companyExisted_ = RegOpenKeyExA(HKEY_LOCAL_MACHINE, CompanyKey, 0, KEY_READ, key.out()) == ERROR_SUCCESS;
    }

    void TearDown() override
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            RestoreRegValue(*it);
        if (!companyExisted_)
            DeleteRegTree(HKEY_LOCAL_MACHINE, CompanyKey);
        RemoveTree(TestDir() + "\\scratch\\startup_page");
        ClearEntries();
        EXPECT_EQ(0, SheetPage);
        EXPECT_EQ(nullptr, SmallImageLists[0]) << "the page released its icons";
    }

    void SetValue(HKEY root, const char *key, const char *name, const std::string &data,
                  DWORD type = REG_SZ)
    {
        saved_.push_back(SaveRegValue(root, key, name));
        ASSERT_TRUE(SetRegString(root, key, name, data.c_str(), type));
    }

    // A Run value; its parked copy and marker, should the test park it, go too.
    void AddRunValue(HKEY root, const char *name, const std::string &command)
    {
        saved_.push_back(SaveRegValue(HKEY_LOCAL_MACHINE, ParkingRunKey, name));
        saved_.push_back(SaveRegValue(HKEY_LOCAL_MACHINE, DisabledKey, name));
        SetValue(root, RunKey, name, command);
    }

    // A value of the user's Run key as a disable leaves it: parked, with its marker.
    void AddParkedValue(const char *name, const char *command)
    {
        SetValue(HKEY_LOCAL_MACHINE, ParkingRunKey, name, command);
        SetValue(HKEY_LOCAL_MACHINE, DisabledKey, name, "11");
    }

    bool companyExisted_ = false;
    std::vector<SavedRegValue> saved_;
};

} // namespace

TEST_F(StartupPageTest, RowsMirrorTheEntriesThroughEveryRefill)
{
    AddRunValue(HKEY_CURRENT_USER, "PageTest Spinner", "\"" + FixturePath("task_spin.exe") + "\" /quiet");
    AddRunValue(HKEY_CURRENT_USER, "PageTest Tool", "C:\\TOOLS\\APP.EXE /min");
    AddParkedValue("PageTest Parked", "C:\\TOOLS\\PARKED.EXE");
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof(folder), folder);
    std::string report = std::string(folder) + "\\Report.html";
    DeleteFileA(report.c_str());

    EXPECT_TRUE(DriveListPage(PageStartup, [&](HWND sheet, HWND page, HWND list) {
        EXPECT_EQ(1, SheetPage);
        // Each control's text (its start for the long ones); the link buttons draw themselves.
        const struct { int id; const char *text; bool link; } controls[] = {
            {1047, "\nWuffle the Windows Watch Dog reports", false},
            {1048, "\nSelect a program and press &Properties", false}, {IdProperties, "Properties", false},
            {IdRemove, "Remove", true}, {IdFullReport, "Full Report", true}, {IdEnable, "Enable", true},
            {IdDisable, "Disable", true}};
        for (const auto &control : controls) {
            EXPECT_EQ(0u, WindowText(GetDlgItem(page, control.id)).find(control.text)) << control.id;
            EXPECT_EQ(control.link, IsOwnerDrawn(page, control.id)) << control.id;
        }
        EXPECT_FALSE(Shown(page, IdEnable) || Shown(page, IdDisable)) << "nothing selected, no pair";
        EXPECT_EQ("Program Title|Command|Version",
                  ListColumnHeader(list, 0) + "|" + ListColumnHeader(list, 1) + "|" + ListColumnHeader(list, 2));

        ExpectRowsMirrorEntries(list);
        std::vector<ListRow> rows = ReadListRows(list);
        // Title, command from its file name on, program file's version or the parked mark.
        const char *expected[][3] = {
            {"PageTest Spinner", "task_spin.exe /quiet", "7.1.3"},
            {"PageTest Tool", "APP.EXE /min", "?"},
            {"PageTest Parked", "PARKED.EXE", "Disabled "},
        };
        for (const auto &row : expected) {
            int at = FindListRow(list, row[0]);
            ASSERT_GE(at, 0) << row[0];
            EXPECT_EQ(0, lstrcmpiA(row[1], rows[at].cells[1].c_str())) << rows[at].cells[1];
            EXPECT_EQ(row[2], rows[at].cells[2]) << row[0];
        }
        ExpectIconPerRow(list, SmallImageLists[0]);
        ScreenshotPoint("startup_page");

        PropSheet_SetCurSel(sheet, nullptr, PageAbout);
        PumpMessages(50);
        EXPECT_EQ(0, EntryCount) << "leaving the page emptied the table";
        AddRunValue(HKEY_CURRENT_USER, "PageTest After", "C:\\TOOLS\\AFTER.EXE");
        PropSheet_SetCurSel(sheet, nullptr, PageStartup);
        PumpMessages(50);
        EXPECT_GE(FindListRow(list, "PageTest After"), 0);
        ExpectRowsMirrorEntries(list);
        // A value that appears after the rows were filled comes first in the
        // report's collection, moving every user entry down by one.
        AddRunValue(HKEY_LOCAL_MACHINE, "PageTest Early", "C:\\TOOLS\\EARLY.EXE");
        ClickButton(page, IdFullReport);
        ExpectRowsMirrorEntries(list);
        EXPECT_GE(FindListRow(list, "PageTest Early"), 0);
    }));
    std::string written = ReadFileBytes(report);
    EXPECT_EQ(0u, written.find("<html><head><title>\r\nSentrovia Startup Programs</title>"));
    EXPECT_NE(std::string::npos, written.find("<li><b>PageTest Early</b>"));
    DeleteFileA(report.c_str());
}

TEST_F(StartupPageTest, CommandsActOnTheSelectedEntryOnly)
{
    std::string spin = FixturePath("task_spin.exe");
    AddRunValue(HKEY_CURRENT_USER, "PageTest Spinner", "\"" + spin + "\" /quiet");
    AddRunValue(HKEY_CURRENT_USER, "PageTest Remove", "C:\\TOOLS\\REMOVE.EXE -x");
    AddRunValue(HKEY_CURRENT_USER, "PageTest Toggle", "\"C:\\Program Files\\Toggle\\toggle.exe\" /start");
    AddParkedValue("PageTest Twin", "C:\\TWIN\\ONE.EXE");
    saved_.push_back(SaveRegValue(HKEY_CURRENT_USER, RunKey, "PageTest Twin"));  // where it comes back
    AddRunValue(HKEY_LOCAL_MACHINE, "PageTest Twin", "C:\\TWIN\\TWO.EXE");
    // A shortcut that cannot be read gives an entry with an empty path.
    std::string folder = MakeScratchDir("startup_page");
    const char *base = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    for (const char *key : {"Shell Folders", "User Shell Folders"})
        saved_.push_back(SaveRegValue(HKEY_CURRENT_USER, (std::string(base) + key).c_str(), "Startup"));
    ASSERT_TRUE(PointShellFolder(HKEY_CURRENT_USER, "Startup", folder));
    ASSERT_TRUE(WriteFileBytes(folder + "\\broken.lnk", "not a shortcut at all"));
    // A question text from the registry is never taken as a format.
    SetValue(HKEY_LOCAL_MACHINE, ProgramKeyPath, "LString15", "Drop %s (100%% sure)? %s %d %n");

    EXPECT_TRUE(DriveListPage(PageStartup, [&](HWND, HWND page, HWND list) {
        ASSERT_EQ(-1, GetSelectedItem(list));
        for (int command : {IdProperties, IdRemove, IdEnable}) {
            BoxAnswerer box(IDOK);
            ClickButton(page, command);
            EXPECT_TRUE(box.Wait()) << command;
            EXPECT_EQ(LoadedText(IDS_HELP_NOPROGRAM), box.text) << command;
            EXPECT_EQ("Sentrovia Help", box.caption) << command;
        }
        // Enter with nothing selected: no message, and the pair hides.
        EXPECT_FALSE(DialogShownBy(IDOK, [&] { ClickButton(page, IDOK); }).shown);
        EXPECT_FALSE(Shown(page, IdEnable) || Shown(page, IdDisable));

        // Properties, Enter and a double click show the selected entry.
        int row = FindListRow(list, "PageTest Spinner");
        SelectListRow(list, row);
        for (int way : {(int)IdProperties, IDOK, 0}) {
            auto click = [&] { way ? ClickButton(page, way) : DoubleClickRow(page, list, row); };
            DialogSeen info = DialogShownBy(IDOK, click);
            EXPECT_EQ("PageTest Spinner", info.caption) << way;
            EXPECT_EQ(0, lstrcmpiA(spin.c_str(), info.items[1026].c_str())) << info.items[1026];
            EXPECT_EQ("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", info.items[1027]);
            EXPECT_EQ("7.1.3", info.items[1029]);
        }
        for (int k = 0; k < EntryCount; ++k)
            if (EntryText(k, GetEntryLink).find("broken.lnk") != std::string::npos)
                row = k;
        ASSERT_EQ("", EntryText(row, GetEntryPath));
        SelectListRow(list, row);
        DialogSeen box = DialogShownBy(IDOK, [&] { ClickButton(page, IdProperties); });
        EXPECT_EQ(LoadedText(IDS_ERR_NOFILE), box.text);
        EXPECT_EQ("Sentrovia", box.caption);

        SelectListRow(list, row = FindListRow(list, "PageTest Remove"));
        box = DialogShownBy(IDNO, [&] { ClickButton(page, IdRemove); });
        EXPECT_EQ("Drop C:\\TOOLS\\REMOVE.EXE -x (100% sure)? %s %d %n", box.text);
        // Wine draws MB_TOPMOST boxes without WS_EX_TOPMOST: only the buttons show.
        EXPECT_TRUE(box.items.count(IDYES) && box.items.count(IDNO));
        EXPECT_EQ("C:\\TOOLS\\REMOVE.EXE -x | <missing> | <missing> | <missing>", Places("PageTest Remove"));
        RestoreRegValue(saved_.back());
        SelectListRow(list, row);
        box = DialogShownBy(IDYES, [&] { ClickButton(page, IdRemove); });
        EXPECT_EQ("Sentrovia", box.caption);
        EXPECT_EQ(0u, box.text.find("You've chosen to remove C:\\TOOLS\\REMOVE.EXE -x\n\nThis file will not "
                                    "be deleted from your hard drive")) << box.text;
        EXPECT_EQ("<missing> | <missing> | <missing> | <missing>", Places("PageTest Remove"));
        EXPECT_EQ(-1, FindListRow(list, "PageTest Remove")) << "the list was refilled";
        EXPECT_EQ(-1, GetSelectedItem(list));
        ExpectRowsMirrorEntries(list);

        // Disable parks the entry without a question, Enable brings it back;
        // the pair shows the one that fits.
        const std::string toggle = "\"C:\\Program Files\\Toggle\\toggle.exe\" /start";
        SelectListRow(list, row = FindListRow(list, "PageTest Toggle"));
        EXPECT_TRUE(Shown(page, IdDisable) && IsWindowEnabled(GetDlgItem(page, IdDisable)));
        EXPECT_FALSE(Shown(page, IdEnable) || IsWindowEnabled(GetDlgItem(page, IdEnable)));
        EXPECT_FALSE(DialogShownBy(IDOK, [&] { ClickButton(page, IdDisable); }).shown);
        EXPECT_EQ("<missing> | <missing> | " + toggle + " | 11", Places("PageTest Toggle"));
        ASSERT_GE(row = FindListRow(list, "PageTest Toggle"), 0);
        EXPECT_EQ("Disabled ", ReadListRows(list)[row].cells[2]);
        SelectListRow(list, row);
        EXPECT_TRUE(Shown(page, IdEnable) && IsWindowEnabled(GetDlgItem(page, IdEnable)));
        EXPECT_FALSE(Shown(page, IdDisable) || IsWindowEnabled(GetDlgItem(page, IdDisable)));
        ClickButton(page, IdEnable);
        EXPECT_EQ(toggle + " | <missing> | <missing> | <missing>", Places("PageTest Toggle"));
        ASSERT_GE(row = FindListRow(list, "PageTest Toggle"), 0);
        EXPECT_EQ("?", ReadListRows(list)[row].cells[2]);
        // Enter shows or hides the pair by the selection, without enabling.
        SelectListRow(list, row);
        EnableWindow(GetDlgItem(page, IdDisable), FALSE);
        DialogShownBy(IDOK, [&] { ClickButton(page, IDOK); });  // the information dialog
        EXPECT_TRUE(Shown(page, IdDisable) && !IsWindowEnabled(GetDlgItem(page, IdDisable)));

        // Disabling the live twin would overwrite the parked one's command.
        SelectListRow(list, FindListRow(list, "TWO.EXE", 1));
        int shown = Shown(page, IdEnable) ? IdEnable : IdDisable;
        box = DialogShownBy(IDOK, [&] { ClickButton(page, shown); });
        EXPECT_EQ("Sentrovia", box.caption);
        EXPECT_EQ("Another startup entry named \"PageTest Twin\" is already disabled.\n\nEnable or "
                  "remove that entry first, so that its parked command is kept.", box.text);
        EXPECT_EQ("<missing> | C:\\TWIN\\TWO.EXE | C:\\TWIN\\ONE.EXE | 11", Places("PageTest Twin")) << "nothing moved";
        // The parked one itself still comes back.
        SelectListRow(list, FindListRow(list, "ONE.EXE", 1));
        EXPECT_FALSE(DialogShownBy(IDOK, [&] { ClickButton(page, IdEnable); }).shown);
        EXPECT_EQ("C:\\TWIN\\ONE.EXE | C:\\TWIN\\TWO.EXE | <missing> | <missing>", Places("PageTest Twin"));
    }));
}

namespace {

// A box that `action` put up over the sheet: its owner and whether the
// sheet could still be used while it was up; answered with `button`.
struct BoxHold {
    bool shown = false, sheetEnabled = true;
    HWND owner = nullptr;
};

BoxHold HoldShownBy(HWND sheet, int button, const std::function<void()> &action)
{
    BoxHold hold;
    UINT_PTR wait = WhenWindowAppears(FindThreadDialog, [&](HWND box) {
        hold.shown = true;
        hold.owner = GetWindow(box, GW_OWNER);
        hold.sheetEnabled = IsWindowEnabled(sheet) != FALSE;
        PostMessageA(box, WM_COMMAND, button, 0);
    }, 5000);
    action();
    CancelWindowWait(wait);
    return hold;
}

std::string Filled(int id, const std::string &value)
{
    std::string text = LoadedText(id);
    return text.replace(text.find("%s"), 2, value);
}

} // namespace

TEST_F(StartupPageTest, LiveNamesakeOfAParkedEntryShowsAsEnabled)
{
    std::string spin = FixturePath("task_spin.exe");
    AddRunValue(HKEY_LOCAL_MACHINE, "Updater", "c:\\vendorA\\update.exe");
    saved_.push_back(SaveRegValue(HKEY_CURRENT_USER, RunKey, "Updater"));
    SetValue(HKEY_CURRENT_USER, RunKey, "Updater", spin);
    EXPECT_TRUE(DriveListPage(PageStartup, [&](HWND, HWND page, HWND list) {
        SelectListRow(list, FindListRow(list, "update.exe", 1));
        ClickButton(page, IdDisable);
        EXPECT_FALSE(Shown(page, IdEnable) || Shown(page, IdDisable)) << "no row, no pair";
        std::vector<ListRow> rows = ReadListRows(list);
        int live = FindListRow(list, "task_spin.exe", 1), parked = FindListRow(list, "update.exe", 1);
        ASSERT_GE(live, 0);
        ASSERT_GE(parked, 0);
        EXPECT_EQ("7.1.3", rows[live].cells[2]);
        EXPECT_EQ("Disabled ", rows[parked].cells[2]);
        ScreenshotPoint("startup_namesakes");
        const struct { int row, button; const char *label; } cases[] = {
            {live, IdDisable, "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
            {parked, IdEnable, "* Disabled HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
        };
        for (const auto &c : cases) {
            SelectListRow(list, c.row);
            EXPECT_TRUE(Shown(page, c.button) && !Shown(page, c.button == IdEnable ? IdDisable : IdEnable));
            EXPECT_EQ(c.label, DialogShownBy(IDOK, [&] { ClickButton(page, IdProperties); }).items[1027]);
        }
    }));
}

TEST_F(StartupPageTest, QuestionsHoldTheSheetAndEnterOpensTheSelectedRow)
{
    AddRunValue(HKEY_CURRENT_USER, "PageTest Spinner", "\"" + FixturePath("task_spin.exe") + "\" /quiet");
    EXPECT_TRUE(DriveListPage(PageStartup, [&](HWND sheet, HWND page, HWND list) {
        // Remove's question and the help notice belong to the sheet.
        EXPECT_EQ(-1, GetSelectedItem(list));
        for (int command : {(int)IdProperties, (int)IdRemove}) {
            if (command == IdRemove)
                SelectListRow(list, FindListRow(list, "PageTest Spinner"));
            BoxHold hold = HoldShownBy(sheet, IDNO, [&] { ClickButton(page, command); });
            EXPECT_TRUE(hold.shown) << command;
            EXPECT_EQ(sheet, hold.owner) << command;
            EXPECT_FALSE(hold.sheetEnabled) << command;
        }
        EXPECT_NE("<missing>", GetRegString(HKEY_CURRENT_USER, RunKey, "PageTest Spinner"));
        // Enter on a row, as the sheet's dialog manager takes it from the list.
        SelectListRow(list, FindListRow(list, "PageTest Spinner"));
        SetFocus(list);
        MSG enter = {list, WM_KEYDOWN, VK_RETURN, 0x001C0001, 0, {0, 0}};
        DialogSeen info = DialogShownBy(IDOK, [&] { PropSheet_IsDialogMessage(sheet, &enter); });
        EXPECT_EQ("PageTest Spinner", info.caption);
    }));
}

TEST_F(StartupPageTest, EntriesThatCannotMoveSaySoAndOfferNothing)
{
    std::string folder = MakeScratchDir("startup_page");
    const char *base = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    for (const char *key : {"Shell Folders", "User Shell Folders"})
        saved_.push_back(SaveRegValue(HKEY_CURRENT_USER, (std::string(base) + key).c_str(), "Startup"));
    ASSERT_TRUE(PointShellFolder(HKEY_CURRENT_USER, "Startup", folder));
    ASSERT_TRUE(WriteFileBytes(folder + "\\old.pif", "pif"));
    ASSERT_TRUE(WriteFileBytes(folder + "\\broken.lnk", "not a shortcut at all"));
    ScopedRegValue users(HKEY_USERS, RunKey, "PageTest Users", "C:\\TOOLS\\USERS.EXE");
    SetValue(HKEY_LOCAL_MACHINE, ParkingRunKey, "PageTest Orphan", "C:\\TOOLS\\ORPHAN.EXE");
    // A folder with a dot in its name, and a folder named by a variable.
    ASSERT_TRUE(CreateDirectoryA((folder + "\\john.lee").c_str(), nullptr));
    std::string tool = folder + "\\john.lee\\tool.exe";
    ASSERT_TRUE(CopyFileA(FixturePath("task_spin.exe").c_str(), tool.c_str(), FALSE));
    SetEnvironmentVariableA("ST_PAGE", folder.c_str());
    AddRunValue(HKEY_CURRENT_USER, "DotUser", tool);
    AddRunValue(HKEY_CURRENT_USER, "ExpandUser", "%ST_PAGE%\\john.lee\\tool.exe /x");
    SetValue(HKEY_CURRENT_USER, RunKey, "ExpandUser", "%ST_PAGE%\\john.lee\\tool.exe /x", REG_EXPAND_SZ);
    std::string upper = tool;
    CharUpperA(&upper[0]);
    // A quoted program in a folder whose name begins like another program.
    std::string real = folder + "\\Tools.exe dir\\real app.exe", realUpper = real;
    CharUpperA(&realUpper[0]);
    ASSERT_TRUE(CreateDirectoryA((folder + "\\Tools.exe dir").c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(FixturePath("startup_versioned.exe").c_str(), (folder + "\\Tools.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(FixturePath("task_spin.exe").c_str(), real.c_str(), FALSE));
    AddRunValue(HKEY_CURRENT_USER, "Fake", "\"" + real + "\" /x");
    AddRunValue(HKEY_CURRENT_USER, "FakeExpand", "");
    SetValue(HKEY_CURRENT_USER, RunKey, "FakeExpand", "\"%ST_PAGE%\\Tools.exe dir\\real app.exe\" /x",
             REG_EXPAND_SZ);
    // A command padded past what can be moved whole.
    AddRunValue(HKEY_CURRENT_USER, "PageTest Huge", "C:\\HUGE.EXE " + std::string(1 << 20, 'h'));

    EXPECT_TRUE(DriveListPage(PageStartup, [&](HWND, HWND page, HWND list) {
        // What Remove and the pair say for each; the orphan can only go, the
        // unreadable shortcut is named by itself.
        const struct { std::string cell; int removeText; std::string name; bool parked; } rows[] = {
            {"old.pif", IDS_ERR_CANNOT_REMOVE, folder + "\\old.pif", false},
            {"USERS.EXE", IDS_ERR_CANNOT_REMOVE, "PageTest Users", false},
            {"ORPHAN.EXE", IDS_ASK_REMOVE, "C:\\TOOLS\\ORPHAN.EXE", true},
            {"", IDS_ASK_REMOVE, folder + "\\broken.lnk", false},
        };
        for (const auto &row : rows) {
            SCOPED_TRACE(row.name);
            int at = FindListRow(list, row.cell, 1);
            ASSERT_GE(at, 0);
            EXPECT_EQ(row.parked ? "Disabled " : "?", ReadListRows(list)[at].cells[2]);
            SelectListRow(list, at);
            if (!row.cell.empty()) {
                EXPECT_FALSE(Shown(page, IdEnable) || Shown(page, IdDisable));
                const std::string named = row.parked ? "PageTest Orphan" : row.name;
                DialogSeen said = DialogShownBy(IDOK, [&] { ClickButton(page, IdDisable); });
                EXPECT_EQ(Filled(IDS_ERR_CANNOT_TOGGLE, named), said.text);
            }
            DialogSeen asked = DialogShownBy(IDNO, [&] { ClickButton(page, IdRemove); });
            EXPECT_EQ(Filled(row.removeText, row.name), asked.text);
        }
        SelectListRow(list, FindListRow(list, "ORPHAN.EXE", 1));
        DialogShownBy(IDYES, [&] { ClickButton(page, IdRemove); });
        EXPECT_EQ("<missing>", GetRegString(HKEY_LOCAL_MACHINE, ParkingRunKey, "PageTest Orphan"));
        EXPECT_EQ("C:\\TOOLS\\USERS.EXE", GetRegString(HKEY_USERS, RunKey, "PageTest Users"));
        EXPECT_TRUE(FileExists((folder + "\\old.pif").c_str()) && FileExists((folder + "\\broken.lnk").c_str()));

        // The program file behind a dotted folder, a variable and quotes.
        for (const char *title : {"DotUser", "ExpandUser", "Fake", "FakeExpand"}) {
            int at = FindListRow(list, title);
            ASSERT_GE(at, 0) << title;
            EXPECT_EQ("7.1.3", ReadListRows(list)[at].cells[2]) << title;
            SelectListRow(list, at);
            EXPECT_EQ(title[0] == 'F' ? realUpper : upper,
                      DialogShownBy(IDOK, [&] { ClickButton(page, IdProperties); }).items[1026]);
        }
        // Too long to move whole: the user is told so, and it stays.
        for (int command : {(int)IdRemove, (int)IdDisable}) {
            SelectListRow(list, FindListRow(list, "PageTest Huge"));
            DialogSeen said = DialogShownBy(IDOK, [&] { ClickButton(page, command); });
            EXPECT_EQ(Filled(IDS_ERR_VALUE_TOO_LONG, "PageTest Huge"), said.text);
        }
        DWORD size = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, RunKey, "PageTest Huge", RRF_RT_REG_SZ,
                                              nullptr, nullptr, &size));
        EXPECT_EQ(12u + (1u << 20) + 1, size);
    }));
    SetEnvironmentVariableA("ST_PAGE", nullptr);
}

TEST_F(StartupPageTest, EveryPlaceAndViewShowsWithItsState)
{
    const std::string current = "Software\\Microsoft\\Windows\\CurrentVersion\\";
    const char *winlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    AddRunValue(HKEY_LOCAL_MACHINE, "PageTest Native", "C:\\TOOLS\\NATIVE.EXE");
    AddRunValue(HKEY_CURRENT_USER, "PageTest Off", "C:\\TOOLS\\OFF.EXE");
    AddParkedValue("PageTest Parked", "C:\\TOOLS\\PARKED.EXE");
    ScopedRegValue values[] = {
        {HKEY_LOCAL_MACHINE, (current + "Policies\\Explorer\\Run").c_str(), "PageTest Policy",
         "C:\\TOOLS\\POLICY.EXE"},
        {HKEY_CURRENT_USER, winlogon, "Shell", "explorer.exe,C:\\TOOLS\\SHELLX.EXE"},
        {HKEY_LOCAL_MACHINE, winlogon, "Userinit",
         "C:\\windows\\system32\\userinit.exe,C:\\TOOLS\\USERX.EXE,"},
        {HKEY_CURRENT_USER, (current + "Explorer\\StartupApproved\\Run").c_str(), "PageTest Off",
         "\x03", REG_BINARY},
    };
    HKEY view;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, RunKey, 0, nullptr, 0,
                                             KEY_WRITE | KEY_WOW64_32KEY, nullptr, &view, nullptr));
    RegSetValueExA(view, "PageTest WOW64", 0, REG_SZ, (const BYTE *)"C:\\TOOLS\\WOW.EXE", 17);

    EXPECT_TRUE(DriveListPage(PageStartup, [&](HWND, HWND, HWND list) {
        ExpectRowsMirrorEntries(list);
        std::vector<ListRow> rows = ReadListRows(list);
        const char *expected[][3] = {
            {"PageTest Native", "NATIVE.EXE", "?"},      {"PageTest WOW64", "WOW.EXE", "?"},
            {"PageTest Policy", "POLICY.EXE", "?"},      {"Shell", "SHELLX.EXE", "?"},
            {"Userinit", "USERX.EXE", "?"},              {"PageTest Off", "OFF.EXE", "Off (Win)"},
            {"PageTest Parked", "PARKED.EXE", "Disabled "},
        };
        for (const auto &row : expected) {
            int at = FindListRow(list, row[0]);
            ASSERT_GE(at, 0) << row[0];
            EXPECT_EQ(row[1], rows[at].cells[1]) << row[0];
            EXPECT_EQ(row[2], rows[at].cells[2]) << row[0];
        }
        ScreenshotPoint("startup_views");
    }));
    RegDeleteValueA(view, "PageTest WOW64");
    RegCloseKey(view);
}
