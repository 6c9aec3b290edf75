// Texts by identifier with their registry overrides, controls filled from
// texts, and the program's two standard message boxes.
#include "app/app.h"
#include "resource.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

// A text override that is gone again when the guard ends.
struct TextOverride {
    std::string name;
    TextOverride(int id, const std::string &text, DWORD type = REG_SZ)
        : name("LString" + std::to_string(id))
    {
        EXPECT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, ProgramKeyPath, name.c_str(), text.c_str(), type));
    }
    ~TextOverride() { RegDeleteValueName(HKEY_LOCAL_MACHINE, ProgramKeyPath, name.c_str()); }
};

const int MissingText = 9999;

std::string Text(int id, int size = TextSize)
{
    char buffer[1024];
    LoadText(id, buffer, size);
    return buffer;
}

// A parent window with one static control (identifier 1001) that carries its
// own text, standing in for a dialog's template.
class ControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent_ = CreateWindowExA(0, "Static", "parent", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
        control_ = CreateWindowExA(0, "Static", "Template text", WS_CHILD, 0, 0, 90, 20, parent_,
                                   (HMENU)1001, nullptr, nullptr);
        ASSERT_NE(control_, nullptr);
    }
    void TearDown() override { DestroyWindow(parent_); }
    std::string ControlText()
    {
        char buffer[1024] = "";
        GetDlgItemTextA(parent_, 1001, buffer, sizeof(buffer));
        return buffer;
    }
    HWND parent_ = nullptr;
    HWND control_ = nullptr;
};

} // namespace

TEST(LoadTextTest, ResourceTextsWithTheirLengths)
{
    char buffer[TextSize];
    EXPECT_EQ(LoadText(IDS_APPTITLE, buffer, sizeof(buffer)), 9);
    EXPECT_STREQ(buffer, "Sentrovia");
    EXPECT_EQ(LoadText(IDS_HELP_CAPTION, buffer, sizeof(buffer)), 14);
    EXPECT_STREQ(buffer, "Sentrovia Help");
    EXPECT_EQ(LoadText(IDS_DATAFILE, buffer, sizeof(buffer)), 10);
    EXPECT_STREQ(buffer, "Sentro.dat");
}

TEST(LoadTextTest, MissingTextIsEmpty)
{
    char buffer[TextSize];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(LoadText(MissingText, buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "");
    // A buffer of no size is left alone.
    buffer[0] = 'x';
    EXPECT_EQ(LoadText(IDS_APPTITLE, buffer, 0), 0);
    EXPECT_EQ(buffer[0], 'x');
}

TEST(LoadTextTest, OverrideTakesPrecedenceOverTheResource)
{
    {
        TextOverride help(IDS_HELP_CAPTION, "Hilfe zu Sentrovia");
        char buffer[TextSize];
        EXPECT_EQ(LoadText(IDS_HELP_CAPTION, buffer, sizeof(buffer)), 18);
        EXPECT_STREQ(buffer, "Hilfe zu Sentrovia");
        // Texts that the program does not have can be supplied too.
        TextOverride extra(MissingText, "From the registry");
        EXPECT_EQ(Text(MissingText), "From the registry");
    }
    EXPECT_EQ(Text(IDS_HELP_CAPTION), "Sentrovia Help");
    EXPECT_EQ(Text(MissingText), "");
}

TEST(LoadTextTest, EmptyOrUnreadableOverrideIsIgnored)
{
    {
        TextOverride empty(IDS_HELP_CAPTION, "");
        EXPECT_EQ(Text(IDS_HELP_CAPTION), "Sentrovia Help");
    }
    {
        // Longer than the registry reader's 512 bytes: it reads as missing.
        TextOverride tooLong(IDS_HELP_CAPTION, std::string(600, 'L'));
        EXPECT_EQ(Text(IDS_HELP_CAPTION, 1024), "Sentrovia Help");
    }
    {
        char root[TextSize] = "";
        GetEnvironmentVariableA("SystemRoot", root, sizeof(root));
        TextOverride expand(MissingText, "%SystemRoot%\\help", REG_EXPAND_SZ);
        EXPECT_EQ(Text(MissingText), std::string(root) + "\\help");
    }
}

TEST(LoadTextTest, OverrideIsCutToTheBuffer)
{
    TextOverride text(IDS_HELP_CAPTION, "ABCDEFGHIJKLMNOP");
    char buffer[6 + 4];
    memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(LoadText(IDS_HELP_CAPTION, buffer, 6), 5);
    EXPECT_STREQ(buffer, "ABCDE");
    EXPECT_EQ(buffer[6], '#');
    EXPECT_EQ(LoadText(IDS_HELP_CAPTION, buffer, 1), 0);
    EXPECT_STREQ(buffer, "");
}

TEST(LoadTextTest, ResourceTextIsCutToTheBuffer)
{
    char buffer[6 + 4];
    memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(LoadText(IDS_HELP_CAPTION, buffer, 6), 5);
    EXPECT_STREQ(buffer, "Sentr");
    EXPECT_EQ(buffer[6], '#');
}

TEST(LoadTextTest, OverrideOf511CharactersComesWhole)
{
    char buffer[1024];
    TextOverride text(IDS_HELP_CAPTION, std::string(511, 'a'));
    EXPECT_EQ(LoadText(IDS_HELP_CAPTION, buffer, sizeof(buffer)), 511);
    EXPECT_EQ(std::string(buffer), std::string(511, 'a'));
}

TEST(LoadTextTest, LanguageTextDEChoosesGerman)
{
    WORD saved = LanguageId;
    EXPECT_EQ(Text(IDS_LANGUAGE), "us");
    {
        TextOverride language(IDS_LANGUAGE, "DE");
        ChooseLanguage();
        EXPECT_EQ(LanguageId, 7);
    }
    {
        TextOverride language(IDS_LANGUAGE, "de");
        ChooseLanguage();
        EXPECT_EQ(LanguageId, 7);
    }
    {
        TextOverride language(IDS_LANGUAGE, "deu");
        ChooseLanguage();
        EXPECT_EQ(LanguageId, 9);
    }
    {
        TextOverride language(IDS_LANGUAGE, "fr");
        ChooseLanguage();
        EXPECT_EQ(LanguageId, 9);
    }
    ChooseLanguage();
    EXPECT_EQ(LanguageId, 9);
    LanguageId = saved;
}

TEST_F(ControlTest, SetDlgItemTextIdKeepsTheTemplateTextWhenEmpty)
{
    SetDlgItemTextId(parent_, MissingText, 1001);
    EXPECT_EQ(ControlText(), "Template text");
    {
        TextOverride empty(MissingText, "");
        SetDlgItemTextId(parent_, MissingText, 1001);
        EXPECT_EQ(ControlText(), "Template text");
    }
    SetDlgItemTextId(parent_, IDS_HELP_CAPTION, 1001);
    EXPECT_EQ(ControlText(), "Sentrovia Help");
    {
        TextOverride text(IDS_HELP_CAPTION, "Replaced");
        SetDlgItemTextId(parent_, IDS_HELP_CAPTION, 1001);
        EXPECT_EQ(ControlText(), "Replaced");
    }
}

TEST_F(ControlTest, SetDlgItemTextIdFillsUpTo511Characters)
{
    TextOverride text(MissingText, std::string(511, 'w'));
    SetDlgItemTextId(parent_, MissingText, 1001);
    EXPECT_EQ(ControlText(), std::string(511, 'w'));
}

TEST(MessageBoxTest, ErrorBoxShowsTheTextUnderTheProgramsTitle)
{
    BoxAnswerer answer(IDOK);
    int result = ErrorBox(IDS_ERR_NOFILE);
    ASSERT_TRUE(answer.Wait());
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(answer.caption, "Sentrovia");
    EXPECT_EQ(answer.text, Text(IDS_ERR_NOFILE));
    EXPECT_FALSE(answer.text.empty());
}

TEST(MessageBoxTest, ErrorBoxOfAMissingTextIsEmpty)
{
    BoxAnswerer answer(IDOK);
    ErrorBox(MissingText);
    ASSERT_TRUE(answer.Wait());
    EXPECT_EQ(answer.caption, "Sentrovia");
    EXPECT_EQ(answer.text, "");
}

TEST(MessageBoxTest, HelpBoxAlwaysCarriesText31)
{
    {
        BoxAnswerer answer(IDOK);
        EXPECT_EQ(HelpBox(IDS_HELP_NOPROGRAM), IDOK);
        ASSERT_TRUE(answer.Wait());
        EXPECT_EQ(answer.caption, "Sentrovia Help");
        EXPECT_EQ(answer.text, Text(IDS_HELP_NOPROGRAM));
    }
    {
        BoxAnswerer answer(IDOK);
        HelpBox(MissingText);
        ASSERT_TRUE(answer.Wait());
        EXPECT_EQ(answer.caption, "Sentrovia Help");
        EXPECT_EQ(answer.text, "");
    }
    {
        TextOverride caption(IDS_HELP_CAPTION, "Sentrovia Hilfe");
        TextOverride body(MissingText, "Bitte zuerst ein Programm markieren.");
        BoxAnswerer answer(IDOK);
        HelpBox(MissingText);
        ASSERT_TRUE(answer.Wait());
        EXPECT_EQ(answer.caption, "Sentrovia Hilfe");
        EXPECT_EQ(answer.text, "Bitte zuerst ein Programm markieren.");
    }
}

TEST(MessageBoxTest, HelpBoxShowsA511CharacterOverrideWhole)
{
    TextOverride body(MissingText, std::string(511, 'h'));
    BoxAnswerer answer(IDOK);
    HelpBox(MissingText);
    ASSERT_TRUE(answer.Wait());
    EXPECT_EQ(answer.text, std::string(511, 'h'));
}

namespace {

BOOL CALLBACK FindIconControl(HWND child, LPARAM lParam)
{
    char cls[32] = "";
    GetClassNameA(child, cls, sizeof(cls));
    if (!lstrcmpiA(cls, "Static") && (GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *(HWND *)lParam = child;
        return FALSE;
    }
    return TRUE;
}

} // namespace

TEST(MessageBoxTest, BoxesShowTheirIconAndOneButton)
{
    const struct { const char *name; int (*show)(int); int text; LPCSTR icon; } boxes[] = {
        {"errorbox", ErrorBox, IDS_ERR_NOFILE, IDI_HAND},
        {"helpbox", HelpBox, IDS_HELP_NOPROGRAM, IDI_QUESTION},
    };
    for (const auto &box : boxes) {
        HICON shown = nullptr;
        bool cancel = true;
        bool seen = false;
        UINT_PTR wait = WhenWindowAppears(FindThreadDialog, [&](HWND window) {
            seen = true;
            HWND icon = nullptr;
            EnumChildWindows(window, FindIconControl, (LPARAM)&icon);
            if (icon)
                shown = (HICON)SendMessageA(icon, STM_GETICON, 0, 0);
            cancel = GetDlgItem(window, IDCANCEL) != nullptr;
            ScreenshotPoint(box.name);
            PostMessageA(window, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(box.show(box.text), IDOK) << box.name;
        CancelWindowWait(wait);
        ASSERT_TRUE(seen) << box.name;
        EXPECT_EQ(shown, LoadIconA(nullptr, box.icon)) << box.name;
        EXPECT_FALSE(cancel) << box.name;
    }
}
