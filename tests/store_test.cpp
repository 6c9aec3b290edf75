// The settings store: the data file beside the program, the [Options]
// section, run keys, and the registry operations every subsystem relies on.
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <tuple>

namespace {

const char TestKey[] = "Software\\SentroviaSpineTest";
const std::string Missing = "<missing>";

// Private-profile reads may come from the system's cache of the file; after
// its bytes changed behind the cache's back the cache must go.
void FlushProfileCache() { WritePrivateProfileStringA(nullptr, nullptr, nullptr, DataFilePath); }

void SetDataFile(const std::string &bytes)
{
    FlushProfileCache();
    if (bytes == Missing)
        DeleteFileA(DataFilePath);
    else
        EXPECT_TRUE(WriteFileBytes(DataFilePath, bytes));
    FlushProfileCache();
}

typedef std::tuple<int, int, int, int, int> Values;
Values Options() { return std::tie(Minutes, Start, Cookies, Sound, WinInit); }
void SetOptions(const Values &values) { std::tie(Minutes, Start, Cookies, Sound, WinInit) = values; }

// The data file, the option variables and the program's own Run value are
// put back as they were after each test.
struct DataFileTest : ::testing::Test {
    void TearDown() override
    {
        SelectDataFile(path_.c_str());
        SetDataFile(file_), SetOptions(options_), AutorunFlag = flag_, OptionsFromFile = fromFile_;
    }
    std::string path_ = DataFilePath;
    std::string file_ = (FlushProfileCache(), ReadFileBytes(DataFilePath));
    Values options_ = Options();
    int flag_ = AutorunFlag, fromFile_ = OptionsFromFile;
    ScopedRegValue autorun_{HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, nullptr};
};

struct RegistryTest : ::testing::Test {
    void TearDown() override { EXPECT_TRUE(DeleteRegTree(HKEY_CURRENT_USER, TestKey)); }
};

} // namespace

TEST_F(DataFileTest, LocateDataFileNamesTheFileBesideTheProgramEvenWhenMissing)
{
    std::string expected = TestDir() + "\\Sentro.dat";
    for (bool exists : {true, false}) {
        SCOPED_TRACE(exists);
        SetDataFile(exists ? "" : Missing);
        char buffer[TextSize];
        memset(buffer, 'x', sizeof(buffer));
        // A missing file still gives its path: the first write creates it.
        EXPECT_EQ(LocateDataFile(buffer), exists ? (int)expected.size() : 0);
        EXPECT_STRCASEEQ(buffer, expected.c_str());
        EXPECT_STRCASEEQ(DataFilePath, expected.c_str());
    }
}

TEST_F(DataFileTest, OnlyAFileKnownToBeMissingMakesAFirstStart)
{
    // A file deep in folders, one held open by another program, a folder
    // of the file's name, a path too long for the profile functions, and
    // files that are missing (in a folder that is there, or is not).
    std::string folder = MakeScratchDir("datafile"), deep = MakeDeepFolder(folder);
    std::string longFolder = MakeLongFolder(folder, 300);
    const struct { std::string path; int found, unusable; } rows[] = {
        {deep + "\\Sentro.dat", 1, 0}, {folder + "\\busy.dat", 1, 0},
        {folder + "\\dir.dat", 0, 1}, {longFolder + "\\Sentro.dat", 0, 1},
        {folder + "\\missing.dat", 0, 0}, {folder + "\\none\\Sentro.dat", 0, 0},
    };
    ASSERT_TRUE(WriteFileBytes(rows[0].path, "[Options]\r\nMinutes=0\r\n"));
    ASSERT_TRUE(WriteFileBytes(rows[1].path, "[Options]\r\nMinutes=0\r\n"));
    ASSERT_TRUE(CreateDirectoryA(rows[2].path.c_str(), nullptr));
    ASSERT_TRUE(CopyFileToLongPath(rows[0].path, rows[3].path));
    HANDLE holder = HoldFileOpen(rows[1].path);
    ASSERT_NE(holder, nullptr);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.path.substr(folder.size()));
        DataFileUnusable = !row.unusable;
        EXPECT_EQ(SelectDataFile(row.path.c_str()), row.found ? (int)row.path.size() : 0);
        EXPECT_EQ(DataFileUnusable, row.unusable);
        EXPECT_EQ(std::string(DataFilePath), row.path.substr(0, TextSize - 1));
    }
    EndChildProcess(holder);
    // The first start puts the file on disk at once, with the defaults; where
    // it cannot, the file is unusable.
    for (int row : {4, 5}) {
        SelectDataFile(rows[row].path.c_str());
        SetOptions({0, 0, 0, 1, 1});
        EXPECT_EQ(CreateDataFile(), row == 4 ? 1 : 0);
        EXPECT_EQ(DataFileUnusable, row == 4 ? 0 : 1);
    }
    EXPECT_EQ(ReadFileBytes(rows[4].path),
              "[Options]\r\nMinutes=3\r\nStart=1\r\nCookies=0\r\nSound=1\r\nWinInit=1\r\n");
    RemoveLongTree(folder + "\\" + longFolder.substr(folder.size() + 1, 60));
    RemoveTree(folder);
}

TEST(EntryRunKeyTest, PathOrElseLinkAndNoQuestionAboutParkedCopiesOfUnknownOrigin)
{
    // The key of an entry with a Path is the one earlier versions wrote.
    const struct { const char *path, *link; DWORD source; const char *key; int watched; } rows[] = {
        {"C:\\APP\\RUN.EXE /opt=1", "", 1, "C:\\APP\\RUN.EXE /opt:1", 1},
        {"C:\\Tools\\t.exe", "C:\\Startup\\t.lnk", 200, "C:\\Tools\\t.exe", 1},
        {"", "C:\\Startup\\lost=1.lnk", 200, "C:\\Startup\\lost:1.lnk", 1},
        {"C:\\Parked\\p.exe", "", 0, "C:\\Parked\\p.exe", 0},
        {"", "", 200, "", 0},
    };
    ClearEntries();
    for (const auto &row : rows)
        ASSERT_TRUE(AddEntry("Title", row.path, row.link, row.source, 0));
    for (int i = 0; i < EntryCount; ++i) {
        char key[516 + 4];
        EXPECT_EQ(MakeEntryRunKey(i, key), (int)strlen(rows[i].key)) << i;
        EXPECT_STREQ(key, rows[i].key);
        EXPECT_EQ(IsWatchedEntry(i), rows[i].watched) << i;
    }
    ClearEntries();
}

TEST(DataFileInFolderTest, RootFolderKeepsOneBackslashAndLongFoldersAreCut)
{
    std::string deep = "C:\\" + std::string(600, 'f');
    const struct { std::string folder, expected; } rows[] = {
        {"C:", "C:\\Sentro.dat"}, {"C:\\", "C:\\Sentro.dat"},
        {"D:\\Tools\\Sentrovia", "D:\\Tools\\Sentrovia\\Sentro.dat"},
        {deep, deep.substr(0, TextSize - 1)},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.folder);
        char buffer[TextSize + 8];
        memset(buffer, '#', sizeof(buffer));
        EXPECT_EQ(DataFileInFolder(row.folder.c_str(), buffer), (int)row.expected.size());
        EXPECT_EQ(std::string(buffer), row.expected);
        EXPECT_EQ(buffer[TextSize], '#');
    }
}

TEST_F(DataFileTest, LoadOptionsTakesDefaultsForWhatIsMissing)
{
    const struct { std::string file; Values expected; } rows[] = {
        {Missing, {3, 1, 0, 1, 1}}, {"", {3, 1, 0, 1, 1}},
        // A key of another section does not count.
        {"[Options]\r\nMinutes=0\r\nCookies=1\r\n[Run]\r\nSound=0\r\n", {0, 1, 1, 1, 1}},
        {"[Options]\r\nMinutes=abc\r\nStart=0\r\n", {0, 0, 0, 1, 1}},
        {"[Options]\r\nMinutes=-2\r\n", {-2, 1, 0, 1, 1}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.file);
        SetDataFile(row.file);
        SetOptions({77, 77, 77, 77, 77});
        LoadOptions();
        EXPECT_EQ(Options(), row.expected);
        EXPECT_TRUE(row.file != Missing || ReadFileBytes(DataFilePath) == Missing);  // never creates it
    }
}

TEST_F(DataFileTest, SaveOptionsWritesTheFiveKeysInOrderAndKeepsTheOtherSections)
{
    SetDataFile(Missing);
    SetOptions({12, 0, 1, 0, -1});
    SaveOptions();
    FlushProfileCache();
    EXPECT_EQ(ReadFileBytes(DataFilePath),
              "[Options]\r\nMinutes=12\r\nStart=0\r\nCookies=1\r\nSound=0\r\nWinInit=-1\r\n");
    SetOptions({77, 77, 77, 77, 77});
    LoadOptions();
    EXPECT_EQ(Options(), Values(12, 0, 1, 0, -1));

    SetDataFile("[Run]\r\nC:\\APP\\RUN.EXE /opt:1=1\r\n[Options]\r\nMinutes=9\r\n"
                "[IExplorer]\r\nStartPage=about:blank\r\n");
    SetOptions({4, 1, 1, 1, 1});
    SaveOptions();
    FlushProfileCache();
    EXPECT_EQ(ReadFileBytes(DataFilePath),
              "[Run]\r\nC:\\APP\\RUN.EXE /opt:1=1\r\n[Options]\r\nMinutes=4\r\nStart=1\r\nCookies=1\r\n"
              "Sound=1\r\nWinInit=1\r\n[IExplorer]\r\nStartPage=about:blank\r\n");
}

TEST_F(DataFileTest, FileHeldByAnotherProgramKeepsTheOptionsAndNoDefaultsGoOverIt)
{
    const std::string stored = "[Options]\r\nMinutes=9\r\nStart=0\r\n";
    SetDataFile(stored);
    SetOptions({3, 1, 0, 1, 1});
    OptionsFromFile = 0;
    {
        FileHandle held(CreateFileA(DataFilePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.valid());
        EXPECT_EQ(LoadOptions(), 0);
        EXPECT_EQ(Options(), Values(3, 1, 0, 1, 1)) << "the memory is kept";
    }
    // Never read: exit and session end write nothing over the stored ones.
    EXPECT_EQ(KeepOptions(), 0);
    FlushProfileCache();
    EXPECT_EQ(ReadFileBytes(DataFilePath), stored);
    // Read once, they are the program's to keep.
    EXPECT_EQ(LoadOptions(), 1);
    EXPECT_EQ(Options(), Values(9, 0, 0, 1, 1));
    Minutes = 4;
    EXPECT_EQ(KeepOptions(), 1);
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Minutes", 0, DataFilePath), 4);
}

TEST_F(DataFileTest, AutorunFlagFollowsTheProgramsRunValue)
{
    SetDataFile("");
    const struct { const char *value; int flag; } rows[] = {
        {"C:\\Sentrovia\\Sentrovia.exe", 1}, {"", 0}, {nullptr, 0}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.value ? row.value : "(missing)");
        ScopedRegValue value(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, row.value);
        AutorunFlag = !row.flag;
        LoadOptions();
        EXPECT_EQ(AutorunFlag, row.flag);
    }
}

TEST(MakeRunKeyTest, EqualSignsBecomeColonsLineBreaksAreCodedCutToTheWorkBuffer)
{
    const struct { std::string text, key; } rows[] = {
        {"C:\\APP\\RUN.EXE /opt=1", "C:\\APP\\RUN.EXE /opt:1"},
        {"a=b==c=", "a:b::c:"},
        {"", ""},
        {std::string(600, '='), std::string(515, ':')},
        // What would break the data file's lines is coded, so the key can be
        // remembered and can forge no section; "%" only before such a code.
        {"C:\\x\\nl.exe\r\n[Run]\r\nC:\\x\\g.exe", "C:\\x\\nl.exe%0D%0A[Run]%0D%0AC:\\x\\g.exe"},
        {"[C:\\x\\brk.exe]", "%5BC:\\x\\brk.exe]"},
        {";C:\\x\\semi.exe", "%3BC:\\x\\semi.exe"},
        {" C:\\x\\b.exe\t", "%20C:\\x\\b.exe%09"},
        {"%SystemRoot%\\a.exe %0A %41", "%SystemRoot%\\a.exe %250A %41"},
        {std::string(514, 'a') + "\n", std::string(514, 'a')},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        char key[516 + 4];
        memset(key, '#', sizeof(key));
        EXPECT_EQ(MakeRunKey(row.text.c_str(), key), (int)row.key.size());
        EXPECT_EQ(std::string(key), row.key);
        EXPECT_EQ(key[516], '#');
    }
}

TEST_F(RegistryTest, ReadStringLimitsAndExpandsValues)
{
    char root[TextSize] = "";
    ASSERT_GT(GetEnvironmentVariableA("SystemRoot", root, sizeof(root)), 0u);
    const std::string z(1, '\0');
    const struct { DWORD type; std::string stored, expected; } rows[] = {
        {REG_SZ, "C:\\Program Files\\App\\app.exe" + z, "C:\\Program Files\\App\\app.exe"},
        {REG_SZ, "%SystemRoot%\\x" + z, "%SystemRoot%\\x"},
        {REG_EXPAND_SZ, "%SystemRoot%\\system32\\app.exe" + z, root + std::string("\\system32\\app.exe")},
        {REG_SZ, std::string(511, 'a') + z, std::string(511, 'a')},
        // 512 characters and the zero are 513 bytes: too long, as is a 600-byte value.
        {REG_SZ, std::string(512, 'b') + z, ""},
        {REG_SZ, std::string(599, 'c') + z, ""},
        {REG_SZ, z, ""},
        // Stored without a terminating zero: the text still ends after it.
        {REG_BINARY, "abc", "abc"},
        {REG_NONE, "<not written>", ""},
    };
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, TestKey, &key), ERROR_SUCCESS);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.stored.substr(0, 40));
        RegDeleteValueA(key, "Value");
        if (row.type != REG_NONE)
            RegSetValueExA(key, "Value", 0, row.type, (const BYTE *)row.stored.data(),
                           (DWORD)row.stored.size());
        char buffer[TextSize];
        memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, TestKey, "Value", buffer), (int)row.expected.size());
        EXPECT_EQ(std::string(buffer), row.expected);
    }
    RegCloseKey(key);
    char buffer[TextSize] = "x";
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\SentroviaSpineTest\\None", "Value", buffer), 0);
    EXPECT_STREQ(buffer, "");
}

TEST_F(RegistryTest, CreateKeyPathWriteStringAndDeleteValueName)
{
    std::string deep = std::string(TestKey) + "\\One\\Two";
    // Writing never creates the key.
    EXPECT_EQ(RegWriteString(HKEY_CURRENT_USER, deep.c_str(), "Value", "text"), 0);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, deep.c_str(), "Value"), Missing);
    EXPECT_EQ(RegCreateKeyPath(HKEY_CURRENT_USER, deep.c_str()), 1);
    EXPECT_EQ(RegCreateKeyPath(HKEY_CURRENT_USER, deep.c_str()), 1);  // an existing key counts
    EXPECT_EQ(RegCreateKeyPath((HKEY)(ULONG_PTR)0x12345678, "Nowhere"), 0);

    EXPECT_EQ(RegWriteString(HKEY_CURRENT_USER, deep.c_str(), "Value", "C:\\APP\\APP.EXE /x"), 1);
    SavedRegValue written = SaveRegValue(HKEY_CURRENT_USER, deep.c_str(), "Value");
    EXPECT_EQ(written.type, (DWORD)REG_SZ);
    EXPECT_EQ(written.data, std::string("C:\\APP\\APP.EXE /x", 18));  // with its zero
    EXPECT_EQ(RegWriteString(HKEY_CURRENT_USER, deep.c_str(), "Value", ""), 1);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, deep.c_str(), "Value"), "");

    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, deep.c_str(), "Other", "y"));
    EXPECT_EQ(RegDeleteValueName(HKEY_CURRENT_USER, deep.c_str(), "Value"), 1);
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, deep.c_str(), "Value"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, deep.c_str(), "Other"));
    EXPECT_EQ(RegDeleteValueName(HKEY_CURRENT_USER, deep.c_str(), "Value"), 0);
}
