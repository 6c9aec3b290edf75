// The restart-file check and the Restart Commands dialog: the wininit.exe
// marker, the file's size as the only judge, the dialog's text, Close and
// Delete.
#include "app/app.h"
#include "resource.h"
#include "restart/restart.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

TEST(RestartFileTest, AnswersFromTheMarkerAndTheFilesSize)
{
    // Not quiet: 0 shows nothing, 59 the "no commands" box, 130 the dialog.
    const struct { bool marker; const char *ini; int answer, shows; } rows[] = {
        {false, "NUL=C:\\A.TMP\r\n", 0, 0},
        {true, nullptr, 0, 59},
        {true, "", 0, 59},
        {true, "NUL=C:\\A.TMP\r\n", 1, 130},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::to_string(row.marker) + (row.ini ? row.ini : "(none)"));
        RestartFiles files(row.marker, row.ini);
        int answer = -1;
        EXPECT_TRUE(DialogsShownBy({}, [&] { answer = CheckRestartFile(1); }).empty());
        EXPECT_EQ(answer, row.answer);
        std::vector<DialogSeen> seen = DialogsShownBy({IDOK}, [&] { answer = CheckRestartFile(0); });
        EXPECT_EQ(answer, row.answer);
        ASSERT_EQ(seen.size(), row.shows ? 1u : 0u);
        if (row.shows == 59) {
            EXPECT_EQ(seen[0].caption, "Sentrovia");
            EXPECT_EQ(seen[0].text, LoadedText(IDS_NO_RESTART_CMDS));
        } else if (row.shows == 130) {
            EXPECT_EQ(seen[0].caption, "Sentrovia - Windows Restart Commands");
        }
        EXPECT_EQ(ReadFileBytes(files.ini), row.ini ? row.ini : "<missing>");
    }
}

TEST(RestartFileTest, DialogShowsTheFirst4095BytesAndOnlyDeleteRemovesTheFile)
{
    std::string bytes;
    for (int line = 0; bytes.size() < 5000; ++line)
        bytes += "NUL=C:\\WINDOWS\\TEMP\\PENDING" + std::to_string(line) + ".TMP\n";
    std::string shown;
    for (char c : bytes.substr(0, 4095))
        shown += c == '\n' ? std::string("\r\n") : std::string(1, c);

    // Close, the close box and Delete; the file is read-only.
    for (int button : {IDOK, IDCANCEL, 1003}) {
        SCOPED_TRACE(button);
        RestartFiles files(true, bytes.c_str());
        SetFileAttributesA(files.ini.c_str(), FILE_ATTRIBUTE_READONLY);
        bool links = false;
        std::string text(8192, '\0');
        std::vector<DialogSeen> seen = DialogsShownBy({button}, [] { CheckRestartFile(0); }, [&](HWND dialog) {
            links = IsOwnerDrawn(dialog, 1003) && IsOwnerDrawn(dialog, IDOK);
            text.resize(GetDlgItemTextA(dialog, 1004, &text[0], (int)text.size()));
            ScreenshotPoint("restart_commands");
        });
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_TRUE(links);
        EXPECT_EQ(text.size(), shown.size());
        EXPECT_TRUE(text == shown);
        EXPECT_EQ(seen[0].items[1003], "Delete");
        EXPECT_EQ(seen[0].items[IDOK], "Close");
        EXPECT_EQ(ReadFileBytes(files.ini), button == 1003 ? "<missing>" : bytes);
    }
}

TEST(RestartFileTest, TheRestartCommandShowsTheCommands)
{
    RestartFiles files(true, "REN=C:\\NEW.DLL,C:\\OLD.DLL\r\n");
    static const WNDCLASSA windowClass = {0, MainWindowProc, 0, 0, GetModuleHandleA(nullptr), nullptr,
                                          nullptr, nullptr, nullptr, "SentroviaRestartTest"};
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    std::vector<DialogSeen> seen = DialogsShownBy({IDCANCEL}, [&] {
        SendMessageA(window, WM_COMMAND, IDM_RESTART, 0);
    });
    DestroyWindow(window);
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // left by the window's end
    ASSERT_EQ(seen.size(), 1u);
    // A CR LF file gets CR CR LF, which the edit control breaks as one line.
    EXPECT_EQ(seen[0].items[1004], "REN=C:\\NEW.DLL,C:\\OLD.DLL\r\r\n");
    EXPECT_EQ(ReadFileBytes(files.ini), "REN=C:\\NEW.DLL,C:\\OLD.DLL\r\n");
}
