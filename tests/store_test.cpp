// The entry table, the data file beside the program, run keys and the
// restart commands, against real files, keys and dialogs.
#include "resource.h"
#include "restart/restart.h"
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

const std::string Missing = "<missing>";

// What a reader put into a buffer of `size` bytes: the byte behind it stays
// untouched, and the answer is the text's length.
std::string Fenced(size_t size, const std::function<int(char *)> &read)
{
    char buffer[1024];
    memset(buffer, '#', sizeof(buffer));
    int length = read(buffer);
    EXPECT_EQ(buffer[size], '#');
    std::string text(buffer, strnlen(buffer, size));
    EXPECT_EQ(length, (int)text.size());
    return text;
}

// Profile reads and writes may go through the system's cache of the file.
void Flush() { WritePrivateProfileStringA(nullptr, nullptr, nullptr, DataFilePath); }

void SetDataFile(const std::string &bytes)
{
    Flush();
    EXPECT_TRUE(bytes == Missing ? (DeleteFileA(DataFilePath), true) : WriteFileBytes(DataFilePath, bytes));
}

typedef std::tuple<int, int, int, int, int> Values;
Values Options() { return std::tie(Minutes, Start, Cookies, Sound, WinInit); }
void SetOptions(const Values &values) { std::tie(Minutes, Start, Cookies, Sound, WinInit) = values; }

// The data file, the options, the entry table and a scratch folder are put
// back after each test.
struct StoreTest : ::testing::Test {
    void TearDown() override
    {
        SelectDataFile(path_.c_str());
        SetDataFile(file_), SetOptions(options_), AutorunFlag = flag_, OptionsFromFile = fromFile_;
        ClearEntries(), RemoveTree(folder_);
    }
    std::string path_ = DataFilePath, file_ = (Flush(), ReadFileBytes(DataFilePath));
    Values options_ = Options();
    int flag_ = AutorunFlag, fromFile_ = OptionsFromFile;
    std::string folder_ = MakeScratchDir("store");
};

} // namespace

TEST_F(StoreTest, EntriesLoseTheirQuotesAreCutAndEndAtThreeHundred)
{
    const struct { std::string title, path, link, stored; } rows[] = {
        {"\"Quoted\" title", "\"C:\\Program Files\\App\\app.exe\" /min", "C:\\x.lnk",
         "\"Quoted\" title|C:\\Program Files\\App\\app.exe /min|C:\\x.lnk"},
        {std::string(300, 'T'), std::string(511, 'p'), std::string(400, 'l'),
         std::string(127, 'T') + "|" + std::string(259, 'p') + "|" + std::string(259, 'l')},
        {"", "\"" + std::string(600, 'q') + "\"", "", "|" + std::string(259, 'q') + "|"},
    };
    auto entry = [](int i) {
        return Fenced(TitleSize, [&](char *b) { return GetEntryTitle(i, b); }) + "|" +
               Fenced(PathSize, [&](char *b) { return GetEntryPath(i, b); }) + "|" +
               Fenced(PathSize, [&](char *b) { return GetEntryLink(i, b); }) + "|" +
               std::to_string(GetEntrySource(i) + GetEntryNumber(i));
    };
    for (const auto &row : rows) {
        ASSERT_EQ(AddEntry(row.title.c_str(), row.path.c_str(), row.link.c_str(), 14, 4242), 1);
        EXPECT_EQ(entry(EntryCount - 1), row.stored + "|4256");
    }
    while (EntryCount < MaxEntries)
        ASSERT_EQ(AddEntry("Fill", "C:\\APP.EXE", "", 1, 0), 1);
    EXPECT_EQ(AddEntry("One too many", "C:\\MORE.EXE", "", 1, 0), 0);
    EXPECT_EQ(entry(MaxEntries - 1) + "|" + entry(MaxEntries) + "|" + entry(-1), "Fill|C:\\APP.EXE||1||||0||||0");
}

TEST_F(StoreTest, DataFileIsMadeOnlyWhenKnownToBeMissing)
{
    std::string deep = "C:\\" + std::string(500, 'f');  // cut within the name
    const struct { std::string folder, path; } folders[] = {
        {"C:", "C:\\Sentro.dat"}, {"C:\\", "C:\\Sentro.dat"}, {"D:\\Tools", "D:\\Tools\\Sentro.dat"},
        {deep, deep + "\\Sentro."}};
    for (const auto &row : folders)
        EXPECT_EQ(Fenced(TextSize, [&](char *b) { return DataFileInFolder(row.folder.c_str(), b); }), row.path);

    // One held by another program may well be there; a folder or a path too
    // long for the profile functions is unusable. A first start writes the
    // defaults at once; where it cannot, the file is unusable.
    const struct { std::string path; int found, unusable, created; } rows[] = {
        {folder_ + "\\busy.dat", 1, 0, 0}, {folder_ + "\\dir.dat", 0, 1, 0},
        {folder_ + "\\" + std::string(300, 'x') + "\\Sentro.dat", 0, 1, 0}, {folder_ + "\\none\\Sentro.dat", 0, 0, 0},
        {folder_ + "\\new.dat", 0, 0, 1},
    };
    ASSERT_TRUE(WriteFileBytes(rows[0].path, "[Options]\r\n") && CreateDirectoryA(rows[1].path.c_str(), nullptr));
    HANDLE holder = HoldFileOpen(rows[0].path);
    for (const auto &row : rows) {
        DataFileUnusable = !row.unusable;
        EXPECT_EQ(SelectDataFile(row.path.c_str()), row.found ? (int)row.path.size() : 0) << row.path;
        EXPECT_EQ(DataFileUnusable, row.unusable) << row.path;
        EXPECT_TRUE(row.found || row.unusable || CreateDataFile() * 10 + DataFileUnusable == (row.created ? 10 : 1));
    }
    EndChildProcess(holder);
    EXPECT_EQ(ReadFileBytes(DataFilePath), "[Options]\r\nMinutes=3\r\nStart=1\r\nCookies=0\r\nSound=1\r\nWinInit=1\r\n");
}

TEST_F(StoreTest, OptionsTakeDefaultsKeepOtherSectionsAndAFileHeldElsewhere)
{
    SetDataFile("[Run]\r\nC:\\APP.EXE /o:1=1\r\n[Options]\r\nMinutes=0\r\nCookies=1\r\n[IE]\r\nSound=0\r\n");
    LoadOptions();
    EXPECT_EQ(Options(), Values(0, 1, 1, 1, 1));
    SetOptions({12, 0, 1, 0, -1});
    EXPECT_EQ(SaveOptions(), 1);
    Flush();
    EXPECT_EQ(ReadFileBytes(DataFilePath), "[Run]\r\nC:\\APP.EXE /o:1=1\r\n[Options]\r\nMinutes=12\r\nCookies=1\r\n"
                                           "Start=0\r\nSound=0\r\nWinInit=-1\r\n[IE]\r\nSound=0\r\n");

    // Held without sharing: nothing is read, so nothing is written over it.
    const std::string stored = "[Options]\r\nMinutes=9\r\n";
    SetDataFile(stored);
    OptionsFromFile = 0;
    {
        FileHandle held(CreateFileA(DataFilePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(LoadOptions(), 0);
        EXPECT_EQ(Options(), Values(12, 0, 1, 0, -1));
    }
    EXPECT_EQ(KeepOptions(), 0);
    EXPECT_EQ(ReadFileBytes(DataFilePath), stored);
    EXPECT_EQ(LoadOptions(), 1);
    EXPECT_EQ(Options(), Values(9, 1, 0, 1, 1));
    EXPECT_EQ(KeepOptions(), 1);
}

TEST(RunKeyTest, CodesWhatWouldBreakTheDataFileAndFitsItsBuffer)
{
    const struct { std::string text, key; } rows[] = {
        {"C:\\APP\\RUN.EXE /opt=1", "C:\\APP\\RUN.EXE /opt:1"}, {std::string(600, '='), std::string(515, ':')},
        {"C:\\x\\nl.exe\r\n[Run]", "C:\\x\\nl.exe%0D%0A[Run]"}, {";C:\\x.exe ", "%3BC:\\x.exe%20"},
        {"%SystemRoot%\\a.exe %0A", "%SystemRoot%\\a.exe %250A"}, {std::string(514, 'a') + "\n", std::string(514, 'a')},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Fenced(516, [&](char *key) { return MakeRunKey(row.text.c_str(), key); }), row.key);
}

TEST_F(StoreTest, RestartCommandsAreShownAndOnlyDeleteRemovesThem)
{
    // The dialog shows the first 4095 bytes, every line feed after a carriage return.
    std::string bytes, shown;
    for (int line = 0; bytes.size() < 5000; ++line)
        bytes += "NUL=C:\\TEMP\\PENDING" + std::to_string(line) + (line % 2 ? ".TMP\n" : ".TMP\r\n");
    for (char c : bytes.substr(0, 4095))
        shown += c == '\n' ? std::string("\r\n") : std::string(1, c);
    // Not quiet: 59 is the "no commands" box, 130 the dialog, left by Close,
    // the close box or Delete; the file is read-only.
    const struct { bool marker; std::string ini; int button, answer, shows; } rows[] = {
        {false, bytes, IDOK, 0, 0}, {true, Missing, IDOK, 0, 59}, {true, "", IDOK, 0, 59},
        {true, bytes, IDOK, 1, 130}, {true, bytes, IDCANCEL, 1, 130}, {true, bytes, 1003, 1, 130},
    };
    for (const auto &row : rows) {
        RestartFiles files(row.marker, row.ini == Missing ? nullptr : row.ini.c_str());
        SetFileAttributesA(files.ini.c_str(), FILE_ATTRIBUTE_READONLY);
        EXPECT_EQ(CheckRestartFile(1), row.answer);
        std::string text(8192, '\0');
        std::vector<DialogSeen> seen = DialogsShownBy({row.button}, [&] { EXPECT_EQ(CheckRestartFile(0), row.answer); },
                                                      [&](HWND dialog) {
            text.resize(GetDlgItemTextA(dialog, 1004, &text[0], 8192)), ScreenshotPoint("restart_commands");
        });
        ASSERT_EQ(seen.size(), row.shows ? 1u : 0u);
        std::string told = row.shows == 59 ? seen[0].caption + "|" + seen[0].text : row.shows ? seen[0].caption + "|" +
                           text + "|" + seen[0].items[1003] + "|" + seen[0].items[IDOK] : "";
        EXPECT_TRUE(told == (row.shows == 59 ? "Sentrovia|" + LoadedText(IDS_NO_RESTART_CMDS) : row.shows ?
                             "Sentrovia - Windows Restart Commands|" + shown + "|Delete|Close" : "")) << told;
        EXPECT_EQ(ReadFileBytes(files.ini), row.button == 1003 ? Missing : row.ini);
    }
}
