// The settings store: the data file beside the program, the [Options]
// section, run keys, and the registry operations every subsystem relies on.
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

const char TestKey[] = "Software\\SentroviaSpineTest\\Store";
const char TestRoot[] = "Software\\SentroviaSpineTest";

// Private-profile reads may come from the system's cache of the file; after
// the bytes were changed behind its back the cache must go.
void FlushProfileCache()
{
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, DataFilePath);
}

void SetDataFile(const std::string &bytes)
{
    ASSERT_TRUE(WriteFileBytes(DataFilePath, bytes));
    FlushProfileCache();
}

// Keeps the data file, the option variables and the text override of the
// data file's name as they were before each test.
class DataFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(DataFilePath[0], '\0');
        FlushProfileCache();
        savedFile_ = ReadFileBytes(DataFilePath);
        saved_[0] = Minutes; saved_[1] = Start; saved_[2] = Cookies;
        saved_[3] = Sound; saved_[4] = WinInit; saved_[5] = AutorunFlag;
        savedAutorun_ = GetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle);
    }
    void TearDown() override
    {
        FlushProfileCache();
        if (savedFile_ == "<missing>")
            DeleteFileA(DataFilePath);
        else
            WriteFileBytes(DataFilePath, savedFile_);
        FlushProfileCache();
        Minutes = saved_[0]; Start = saved_[1]; Cookies = saved_[2];
        Sound = saved_[3]; WinInit = saved_[4]; AutorunFlag = saved_[5];
        if (savedAutorun_ == "<missing>") {
            HKEY key;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RunKeyPath, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, AppTitle);
                RegCloseKey(key);
            }
        } else {
            SetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, savedAutorun_.c_str());
        }
    }
    void ScrambleOptions()
    {
        Minutes = Start = Cookies = Sound = WinInit = 77;
    }

private:
    std::string savedFile_;
    std::string savedAutorun_;
    int saved_[6] = {};
};

// A text override that is gone again when the guard ends.
struct TextOverride {
    std::string name;
    TextOverride(int id, const char *text) : name("LString" + std::to_string(id))
    {
        EXPECT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, ProgramKeyPath, name.c_str(), text));
    }
    ~TextOverride() { RegDeleteValueName(HKEY_LOCAL_MACHINE, ProgramKeyPath, name.c_str()); }
};

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteRegTree(HKEY_CURRENT_USER, TestRoot); }
    void TearDown() override { EXPECT_TRUE(DeleteRegTree(HKEY_CURRENT_USER, TestRoot)); }
};

} // namespace

// ---------------------------------------------------------------------------
// The data file's path.

TEST_F(DataFileTest, LocateDataFileNamesTheFileBesideTheProgram)
{
    std::string expected = TestDir() + "\\Sentro.dat";
    char buffer[TextSize];

    SetDataFile("");
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(LocateDataFile(buffer), (int)expected.size());
    EXPECT_STRCASEEQ(buffer, expected.c_str());
    EXPECT_STRCASEEQ(DataFilePath, expected.c_str());

    // A missing file still gives its path, so that the first write creates it.
    ASSERT_TRUE(DeleteFileA(DataFilePath));
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(LocateDataFile(buffer), 0);
    EXPECT_STRCASEEQ(buffer, expected.c_str());
    EXPECT_STRCASEEQ(DataFilePath, expected.c_str());
}

TEST_F(DataFileTest, LocateDataFileDoesNotTakeAFolderForTheFile)
{
    char buffer[TextSize];
    FlushProfileCache();
    DeleteFileA(DataFilePath);
    ASSERT_TRUE(CreateDirectoryA(DataFilePath, nullptr));
    EXPECT_EQ(LocateDataFile(buffer), 0);
    EXPECT_TRUE(RemoveDirectoryA(DataFilePath));
}

TEST(DataFilePathTest, RootFolderKeepsOneBackslash)
{
    char buffer[TextSize];
    EXPECT_EQ(DataFileInFolder("C:", buffer), 13);
    EXPECT_STREQ(buffer, "C:\\Sentro.dat");
    EXPECT_EQ(DataFileInFolder("C:\\", buffer), 13);
    EXPECT_STREQ(buffer, "C:\\Sentro.dat");
    EXPECT_EQ(DataFileInFolder("D:\\Tools\\Sentrovia", buffer), 29);
    EXPECT_STREQ(buffer, "D:\\Tools\\Sentrovia\\Sentro.dat");
}

TEST(DataFilePathTest, OverLongFolderIsCutToTheBuffer)
{
    std::string folder = "C:\\" + std::string(600, 'f');
    char buffer[TextSize + 8];
    memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(DataFileInFolder(folder.c_str(), buffer), TextSize - 1);
    EXPECT_EQ(strlen(buffer), (size_t)TextSize - 1);
    EXPECT_EQ(buffer[TextSize], '#');
}

TEST_F(DataFileTest, DataFileNameFollowsItsTextOverride)
{
    // Text 4 is the file's name; like every text it can be replaced, and it
    // is read into 32 bytes.
    char buffer[TextSize];
    {
        TextOverride name(4, "Other.ini");
        EXPECT_EQ(DataFileInFolder("C:", buffer), 12);
        EXPECT_STREQ(buffer, "C:\\Other.ini");
    }
    {
        TextOverride name(4, std::string(40, 'n').c_str());
        DataFileInFolder("C:", buffer);
        EXPECT_EQ(std::string(buffer), "C:\\" + std::string(31, 'n'));
    }
    char restored[TextSize];
    LocateDataFile(restored);
    EXPECT_STRCASEEQ(restored, (TestDir() + "\\Sentro.dat").c_str());
}

// ---------------------------------------------------------------------------
// [Options].

TEST_F(DataFileTest, EmptyOrMissingDataFileGivesDefaults)
{
    SetDataFile("");
    ScrambleOptions();
    LoadOptions();
    EXPECT_EQ(Minutes, 3);
    EXPECT_EQ(Start, 1);
    EXPECT_EQ(Cookies, 0);
    EXPECT_EQ(Sound, 1);
    EXPECT_EQ(WinInit, 1);

    FlushProfileCache();
    ASSERT_TRUE(DeleteFileA(DataFilePath));
    ScrambleOptions();
    LoadOptions();
    EXPECT_EQ(Minutes, 3);
    EXPECT_EQ(Start, 1);
    EXPECT_EQ(Cookies, 0);
    EXPECT_EQ(Sound, 1);
    EXPECT_EQ(WinInit, 1);
    // Reading never creates the file.
    EXPECT_EQ(ReadFileBytes(DataFilePath), "<missing>");
}

TEST_F(DataFileTest, MissingKeysTakeTheirDefaultsOthersAreRead)
{
    SetDataFile("[Options]\r\nMinutes=0\r\nCookies=1\r\n[Run]\r\nSound=0\r\n");
    ScrambleOptions();
    LoadOptions();
    EXPECT_EQ(Minutes, 0);
    EXPECT_EQ(Start, 1);
    EXPECT_EQ(Cookies, 1);
    EXPECT_EQ(Sound, 1);  // a key of another section does not count
    EXPECT_EQ(WinInit, 1);
}

TEST_F(DataFileTest, MinutesWithoutDigitsReadsAsZero)
{
    SetDataFile("[Options]\r\nMinutes=abc\r\nStart=0\r\n");
    ScrambleOptions();
    LoadOptions();
    EXPECT_EQ(Minutes, 0);
    EXPECT_EQ(Start, 0);

    SetDataFile("[Options]\r\nMinutes=-2\r\n");
    LoadOptions();
    EXPECT_EQ(Minutes, -2);
}

TEST_F(DataFileTest, SaveOptionsWritesTheFiveKeysInOrder)
{
    FlushProfileCache();
    DeleteFileA(DataFilePath);
    Minutes = 12;
    Start = 0;
    Cookies = 1;
    Sound = 0;
    WinInit = -1;
    SaveOptions();
    FlushProfileCache();
    EXPECT_EQ(ReadFileBytes(DataFilePath),
              "[Options]\r\nMinutes=12\r\nStart=0\r\nCookies=1\r\nSound=0\r\nWinInit=-1\r\n");

    ScrambleOptions();
    LoadOptions();
    EXPECT_EQ(Minutes, 12);
    EXPECT_EQ(Start, 0);
    EXPECT_EQ(Cookies, 1);
    EXPECT_EQ(Sound, 0);
    EXPECT_EQ(WinInit, -1);
}

TEST_F(DataFileTest, SaveOptionsKeepsTheOtherSections)
{
    SetDataFile("[Run]\r\nC:\\APP\\RUN.EXE /opt:1=1\r\n[Options]\r\nMinutes=9\r\n"
                "[IExplorer]\r\nStartPage=about:blank\r\n");
    Minutes = 4;
    Start = Cookies = Sound = WinInit = 1;
    SaveOptions();
    EXPECT_EQ(GetPrivateProfileIntA("Run", "C:\\APP\\RUN.EXE /opt:1", 0, DataFilePath), 1);
    char page[TextSize];
    GetPrivateProfileStringA("IExplorer", "StartPage", "", page, sizeof(page), DataFilePath);
    EXPECT_STREQ(page, "about:blank");
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Minutes", 0, DataFilePath), 4);
    EXPECT_EQ(GetPrivateProfileIntA("Options", "WinInit", 0, DataFilePath), 1);
}

TEST_F(DataFileTest, AutorunFlagFollowsTheProgramsRunValue)
{
    SetDataFile("");
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, "C:\\Sentrovia\\Sentrovia.exe"));
    AutorunFlag = 0;
    LoadOptions();
    EXPECT_EQ(AutorunFlag, 1);

    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, RunKeyPath, AppTitle, ""));
    LoadOptions();
    EXPECT_EQ(AutorunFlag, 0);

    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, RunKeyPath, 0, KEY_WRITE, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, AppTitle);
    RegCloseKey(key);
    AutorunFlag = 1;
    LoadOptions();
    EXPECT_EQ(AutorunFlag, 0);
}

// ---------------------------------------------------------------------------
// Run keys.

TEST(MakeRunKeyTest, EqualSignsBecomeColons)
{
    char key[516];
    EXPECT_EQ(MakeRunKey("C:\\APP\\RUN.EXE /opt=1", key), 21);
    EXPECT_STREQ(key, "C:\\APP\\RUN.EXE /opt:1");
    EXPECT_EQ(MakeRunKey("a=b==c=", key), 7);
    EXPECT_STREQ(key, "a:b::c:");
    EXPECT_EQ(MakeRunKey("", key), 0);
    EXPECT_STREQ(key, "");
    EXPECT_EQ(MakeRunKey(nullptr, key), 0);
    EXPECT_STREQ(key, "");
}

TEST(MakeRunKeyTest, OverLongTextIsCutToTheWorkBuffer)
{
    std::string text(600, '=');
    char key[516 + 4];
    memset(key, '#', sizeof(key));
    EXPECT_EQ(MakeRunKey(text.c_str(), key), 515);
    EXPECT_EQ(std::string(key), std::string(515, ':'));
    EXPECT_EQ(key[516], '#');
}

TEST_F(DataFileTest, RunKeyCanBeWrittenAndReadBack)
{
    // A key with "=" would be cut at it when the file is read again.
    SetDataFile("");
    char key[516];
    MakeRunKey("C:\\APP\\RUN.EXE /opt=1", key);
    ASSERT_TRUE(WritePrivateProfileStringA("Run", key, "11", DataFilePath));
    FlushProfileCache();
    EXPECT_EQ(GetPrivateProfileIntA("Run", key, 0, DataFilePath), 11);
    EXPECT_NE(ReadFileBytes(DataFilePath).find("C:\\APP\\RUN.EXE /opt:1=11"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Registry operations.

TEST_F(RegistryTest, ReadStringGivesTheValueAndItsLength)
{
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, TestKey, "Plain", "C:\\Program Files\\App\\app.exe"));
    char buffer[TextSize];
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, TestKey, "Plain", buffer), 28);
    EXPECT_STREQ(buffer, "C:\\Program Files\\App\\app.exe");

    // Only the expandable type is expanded.
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, TestKey, "Plain", "%SystemRoot%\\x"));
    RegReadString(HKEY_CURRENT_USER, TestKey, "Plain", buffer);
    EXPECT_STREQ(buffer, "%SystemRoot%\\x");
}

TEST_F(RegistryTest, ReadStringExpandsExpandableValues)
{
    char root[TextSize] = "";
    ASSERT_GT(GetEnvironmentVariableA("SystemRoot", root, sizeof(root)), 0u);
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, TestKey, "Expand", "%SystemRoot%\\system32\\app.exe",
                             REG_EXPAND_SZ));
    char buffer[TextSize];
    std::string expected = std::string(root) + "\\system32\\app.exe";
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, TestKey, "Expand", buffer), (int)expected.size());
    EXPECT_STREQ(buffer, expected.c_str());
}

TEST_F(RegistryTest, ReadStringLimitIsFiveHundredElevenCharacters)
{
    char buffer[TextSize];
    std::string fits(511, 'a');
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, TestKey, "Fits", fits.c_str()));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, TestKey, "Fits", buffer), 511);
    EXPECT_EQ(std::string(buffer), fits);

    // 512 characters and the terminating zero are 513 bytes: too long.
    std::string over(512, 'b');
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, TestKey, "Over", over.c_str()));
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, TestKey, "Over", buffer), 0);
    EXPECT_STREQ(buffer, "");

    std::string large(599, 'c');  // a 600-byte value
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, TestKey, "Large", large.c_str()));
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, TestKey, "Large", buffer), 0);
    EXPECT_STREQ(buffer, "");
}

TEST_F(RegistryTest, ReadStringOfMissingOrEmptyValuesIsEmpty)
{
    char buffer[TextSize];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, TestKey, "Nothing", buffer), 0);
    EXPECT_STREQ(buffer, "");

    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, TestKey, "Empty", ""));
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, TestKey, "Empty", buffer), 0);
    EXPECT_STREQ(buffer, "");
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, TestKey, "Nothing", buffer), 0);
    EXPECT_STREQ(buffer, "");
}

TEST_F(RegistryTest, ReadStringTakesOtherTypesAsText)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, TestKey, &key), ERROR_SUCCESS);
    // Stored without a terminating zero: the text still ends after it.
    RegSetValueExA(key, "Binary", 0, REG_BINARY, (const BYTE *)"abc", 3);
    RegCloseKey(key);
    char buffer[TextSize];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, TestKey, "Binary", buffer), 3);
    EXPECT_STREQ(buffer, "abc");
}

TEST_F(RegistryTest, CreateKeyPathMakesEveryLevel)
{
    std::string deep = std::string(TestKey) + "\\One\\Two\\Three";
    EXPECT_EQ(RegCreateKeyPath(HKEY_CURRENT_USER, deep.c_str()), 1);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, deep.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    // An existing key counts as success.
    EXPECT_EQ(RegCreateKeyPath(HKEY_CURRENT_USER, deep.c_str()), 1);
    EXPECT_EQ(RegCreateKeyPath((HKEY)(ULONG_PTR)0x12345678, "Nowhere"), 0);
}

TEST_F(RegistryTest, WriteStringNeedsAnExistingKey)
{
    EXPECT_EQ(RegWriteString(HKEY_CURRENT_USER, TestKey, "Value", "text"), 0);
    HKEY key;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, TestKey, 0, KEY_READ, &key), ERROR_SUCCESS);

    ASSERT_EQ(RegCreateKeyPath(HKEY_CURRENT_USER, TestKey), 1);
    EXPECT_EQ(RegWriteString(HKEY_CURRENT_USER, TestKey, "Value", "C:\\APP\\APP.EXE /x"), 1);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, TestKey, "Value"), "C:\\APP\\APP.EXE /x");

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, TestKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Value", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, (DWORD)REG_SZ);
    EXPECT_EQ(size, 18u);  // the text and its terminating zero

    EXPECT_EQ(RegWriteString(HKEY_CURRENT_USER, TestKey, "Value", ""), 1);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, TestKey, "Value"), "");
}

TEST_F(RegistryTest, DeleteValueNameReportsWhetherAValueWent)
{
    EXPECT_EQ(RegDeleteValueName(HKEY_CURRENT_USER, TestKey, "Value"), 0);
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, TestKey, "Value", "x"));
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, TestKey, "Other", "y"));
    EXPECT_EQ(RegDeleteValueName(HKEY_CURRENT_USER, TestKey, "Value"), 1);
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, TestKey, "Value"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, TestKey, "Other"));
    EXPECT_EQ(RegDeleteValueName(HKEY_CURRENT_USER, TestKey, "Value"), 0);
}
