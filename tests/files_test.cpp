// The shared file and text functions: existence, forced deletion, the
// case-blind substring test and the loading of short text files.
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct FilesTest : ::testing::Test {
    void TearDown() override { RemoveTree(folder_); }
    std::string File(const char *name, const std::string &bytes, DWORD attributes = 0)
    {
        std::string path = folder_ + "\\" + name;
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        EXPECT_TRUE(!attributes || SetFileAttributesA(path.c_str(), attributes));
        return path;
    }
    std::string folder_ = MakeScratchDir("files");
};

// The text of the block ReadTextFile gave; the block is freed.
std::string TakeText(HGLOBAL block)
{
    std::string text = block ? (const char *)GlobalLock(block) : "<none>";
    GlobalUnlock(block), GlobalFree(block);
    return text;
}

} // namespace

TEST_F(FilesTest, FileExistsOnlyForFilesAndForceDeleteRemovesProtectedOnes)
{
    std::string readOnly = File("readonly.txt", "x", FILE_ATTRIBUTE_READONLY);
    std::string guarded = File("A rather long file name.sys", "",
                               FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    std::string missing = folder_ + "\\missing.txt";
    for (std::string path : {folder_, missing, folder_ + "\\nofolder\\x.txt", std::string()})
        EXPECT_EQ(FileExists(path.c_str()), 0) << path;
    EXPECT_EQ(FileExists(nullptr), 0);

    ASSERT_FALSE(DeleteFileA(readOnly.c_str())) << "a read-only file should resist a plain delete";
    for (const std::string &path : {readOnly, guarded}) {
        EXPECT_EQ(FileExists(path.c_str()), 1) << path;
        EXPECT_NE(ForceDeleteFile(path.c_str()), 0) << path;
        EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
    }
    EXPECT_EQ(ForceDeleteFile(missing.c_str()), 0);
}

TEST_F(FilesTest, FileExistsForBusyFilesAndPathsOfAnyLength)
{
    // A file deep in folders (beyond the 128 characters of an OpenFile
    // record), one another program holds open without sharing, and one
    // whose path is too long for the "A" functions.
    std::string deep = MakeDeepFolder(folder_);
    std::string deepFile = File("x", ""), busy = File("busy.dat", "[Options]\r\n");
    ASSERT_TRUE(MoveFileA(deepFile.c_str(), (deep += "\\Sentro.dat").c_str()));
    std::string longFolder = MakeLongFolder(folder_, 300), longFile = longFolder + "\\Sentro.dat";
    ASSERT_TRUE(CopyFileToLongPath(busy, longFile));
    HANDLE holder = HoldFileOpen(busy);
    ASSERT_NE(holder, nullptr);
    for (const std::string &path : {deep, busy, longFile})
        EXPECT_EQ(FileExists(path.c_str()), 1) << path.size();
    EXPECT_EQ(FileExists(longFolder.c_str()), 0);
    EXPECT_EQ(FileExists((longFolder + "\\missing.dat").c_str()), 0);
    EndChildProcess(holder);
    RemoveLongTree(folder_ + "\\" + longFolder.substr(folder_.size() + 1, 60));
}

TEST(ContainsTextTest, CaseBlindWithinTheFirst511Characters)
{
    const std::string cookie = "C:\\Cookies\\j\xF6rg@caf\xE9.txt", late = std::string(508, 'a') + "needle";
    const struct { std::string text, part; int expected; } rows[] = {
        {"C:\\WINDOWS\\Cookies\\JOE.TXT", "joe", 1}, {"joe@ads.example[1].txt", "ADS.EXAMPLE", 1},
        {"abc", "abc", 1}, {"aaab", "aab", 1}, {"C:\\WINDOWS\\Cookies\\JOE.TXT", "jim", 0},
        // An empty nut would otherwise match, and delete, every cookie.
        {"joe.txt", "", 0}, {"", "", 0}, {"", "joe", 0}, {"joe", "joe.txt", 0},
        {cookie, "\xF6rg@caf\xE9", 1}, {cookie, "jorg", 0}, {"\xE9t\xE9", "x\xE9", 0},
        {late.substr(8), "NEEDLE", 1}, {late, "needle", 0}, {late, "aaane", 1},
    };
    for (const auto &row : rows)
        EXPECT_EQ(ContainsText(row.text.c_str(), row.part.c_str()), row.expected) << row.part;
    EXPECT_EQ(ContainsText(nullptr, "joe") + ContainsText("joe", nullptr), 0);
    // Western letters above 127 fold case like the others.
    EXPECT_TRUE(GetACP() != 1252 || ContainsText(cookie.c_str(), "J\xD6RG@CAF\xC9") == 1);
}

TEST_F(FilesTest, ReadTextFileCutsAtCapacityAndPutsACarriageReturnBeforeEveryLineFeed)
{
    std::string letters, feeds;
    for (int i = 0; i < 5000; ++i)
        letters += (char)('a' + i % 26), feeds += i < 4095 ? "\r\n" : "";
    const struct { std::string bytes, text; } rows[] = {
        {letters, letters.substr(0, 4095)},
        {"one\ntwo\n\nthree", "one\r\ntwo\r\n\r\nthree"},
        {"one\r\ntwo\r\n", "one\r\r\ntwo\r\r\n"},
        {std::string(5000, '\n'), feeds},  // the text doubles
        {"", "<none>"}, {std::string("\0text", 5), ""},
        {std::string("AB\nC\0DE\nF", 9), "AB\r\nC"},  // the text ends at a zero byte
    };
    for (const auto &row : rows) {
        // Others may hold the file open meanwhile.
        std::string path = File("read.txt", row.bytes);
        FileHandle held(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(TakeText(ReadTextFile(path.c_str(), 4096)), row.text) << row.bytes.size();
    }
    EXPECT_EQ(ReadTextFile((folder_ + "\\missing.txt").c_str(), 4096), nullptr);
    EXPECT_EQ(ReadTextFile(folder_.c_str(), 4096), nullptr);
}
