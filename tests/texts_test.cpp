// Texts by identifier with their registry overrides, controls filled from
// texts, the message-box language, and the program's two message boxes.
#include "app/app.h"
#include "resource.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

const int MissingText = 9999;
const std::string a511(511, 'a');

// The override of a text for the guard's life; a null text means none.
ScopedRegValue Override(int id, const char *text, DWORD type = REG_SZ)
{
    return ScopedRegValue(HKEY_LOCAL_MACHINE, ProgramKeyPath, ("LString" + std::to_string(id)).c_str(),
                          text, type);
}

// What a message box shows: caption, text, icon, and whether it can be cancelled.
struct BoxSeen {
    bool shown = false, cancel = false;
    std::string caption, text;
    HICON icon = nullptr;
};

BOOL CALLBACK ReadBoxControl(HWND child, LPARAM lParam)
{
    char cls[16] = "";
    GetClassNameA(child, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") != 0)
        return TRUE;
    if ((GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        ((BoxSeen *)lParam)->icon = (HICON)SendMessageA(child, STM_GETICON, 0, 0);
    ((BoxSeen *)lParam)->text += WindowText(child);
    return TRUE;
}

} // namespace

TEST(LoadTextTest, OverridesComeFirstAndEverythingIsCutToTheBuffer)
{
    char root[TextSize] = "";
    GetEnvironmentVariableA("SystemRoot", root, sizeof(root));
    const std::string l600(600, 'L');
    const struct { int id; const char *value; DWORD type; int size; std::string expected; } rows[] = {
        {IDS_APPTITLE, nullptr, REG_SZ, TextSize, "Sentrovia"},
        {IDS_HELP_CAPTION, nullptr, REG_SZ, 6, "Sentr"},
        {MissingText, nullptr, REG_SZ, TextSize, ""},
        {IDS_HELP_CAPTION, "Hilfe zu Sentrovia", REG_SZ, TextSize, "Hilfe zu Sentrovia"},
        {MissingText, "From the registry", REG_SZ, TextSize, "From the registry"},
        {IDS_HELP_CAPTION, "", REG_SZ, TextSize, "Sentrovia Help"},
        // Longer than the registry reader's 512 bytes: it reads as missing.
        {IDS_HELP_CAPTION, l600.c_str(), REG_SZ, 1024, "Sentrovia Help"},
        {IDS_HELP_CAPTION, a511.c_str(), REG_SZ, 1024, a511},
        {MissingText, "%SystemRoot%\\help", REG_EXPAND_SZ, TextSize, root + std::string("\\help")},
        {IDS_HELP_CAPTION, "ABCDEFGHIJKLMNOP", REG_SZ, 6, "ABCDE"},
        {IDS_HELP_CAPTION, "ABCDEFGHIJKLMNOP", REG_SZ, 1, ""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(::testing::Message() << row.id << " in " << row.size << ": " << row.expected);
        auto value = Override(row.id, row.value, row.type);
        char buffer[1024 + 4];
        memset(buffer, '#', sizeof(buffer));
        EXPECT_EQ(LoadText(row.id, buffer, row.size), (int)row.expected.size());
        EXPECT_EQ(std::string(buffer), row.expected);
        EXPECT_EQ(buffer[row.size], '#');
    }
    char buffer[4] = "x";  // a buffer of no size is left alone
    EXPECT_EQ(LoadText(IDS_APPTITLE, buffer, 0), 0);
    EXPECT_STREQ(buffer, "x");
}

TEST(LoadTextTest, LanguageTextDEChoosesGerman)
{
    WORD saved = LanguageId;
    const struct { const char *value; WORD language; } rows[] = {
        {nullptr, 9}, {"DE", 7}, {"de", 7}, {"deu", 9}, {"fr", 9}};
    for (const auto &row : rows) {
        auto value = Override(IDS_LANGUAGE, row.value);
        LanguageId = 0;
        ChooseLanguage();
        EXPECT_EQ(LanguageId, row.language) << (row.value ? row.value : "(resource text)");
    }
    LanguageId = saved;
}

TEST(SetDlgItemTextIdTest, EmptyTextKeepsTheTemplateText)
{
    HWND parent = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 99, 99, 0, 0, 0, 0);
    HWND control = CreateWindowExA(0, "Static", "", WS_CHILD, 0, 0, 90, 20, parent, (HMENU)1001, 0, 0);
    ASSERT_NE(control, nullptr);
    const struct { int id; const char *value; std::string expected; } rows[] = {
        {MissingText, nullptr, "Template text"},
        {MissingText, "", "Template text"},
        {IDS_HELP_CAPTION, nullptr, "Sentrovia Help"},
        {IDS_HELP_CAPTION, "Replaced", "Replaced"},
        {MissingText, a511.c_str(), a511},
    };
    for (const auto &row : rows) {
        auto value = Override(row.id, row.value);
        SetWindowTextA(control, "Template text");
        SetDlgItemTextId(parent, row.id, 1001);
        EXPECT_EQ(WindowText(control), row.expected) << row.id;
    }
    DestroyWindow(parent);
}

TEST(MessageBoxTest, BoxesShowTheirCaptionTextIconAndOneButton)
{
    const char german[] = "Bitte zuerst ein Programm markieren.", *hilfe = "Sentrovia Hilfe";
    const struct { const char *name; int (*show)(int); int id; const char *caption, *body;
                   std::string shownCaption, shownText; LPCSTR icon; } boxes[] = {
        {"errorbox", ErrorBox, IDS_ERR_NOFILE, 0, 0, "Sentrovia", LoadedText(IDS_ERR_NOFILE), IDI_HAND},
        {"errorbox-empty", ErrorBox, MissingText, 0, 0, "Sentrovia", "", IDI_HAND},
        {"helpbox", HelpBox, IDS_HELP_NOPROGRAM, 0, 0, "Sentrovia Help", LoadedText(IDS_HELP_NOPROGRAM),
         IDI_QUESTION},
        {"helpbox-empty", HelpBox, MissingText, 0, 0, "Sentrovia Help", "", IDI_QUESTION},
        {"helpbox-override", HelpBox, MissingText, hilfe, german, hilfe, german, IDI_QUESTION},
        {"helpbox-511", HelpBox, MissingText, 0, a511.c_str(), "Sentrovia Help", a511, IDI_QUESTION},
    };
    for (const auto &box : boxes) {
        SCOPED_TRACE(box.name);
        auto caption = Override(IDS_HELP_CAPTION, box.caption);
        auto body = Override(box.id, box.body);
        BoxSeen seen;
        UINT_PTR wait = WhenWindowAppears(FindThreadDialog, [&](HWND window) {
            seen.shown = true;
            seen.caption = WindowText(window);
            seen.cancel = GetDlgItem(window, IDCANCEL) != nullptr;
            EnumChildWindows(window, ReadBoxControl, (LPARAM)&seen);
            ScreenshotPoint(box.name);
            PostMessageA(window, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(box.show(box.id), IDOK);
        CancelWindowWait(wait);
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(seen.caption, box.shownCaption);
        EXPECT_EQ(seen.text, box.shownText);
        EXPECT_EQ(seen.icon, LoadIconA(nullptr, box.icon));
        EXPECT_FALSE(seen.cancel);
    }
}
