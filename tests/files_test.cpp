// The shared file and text functions: existence, forced deletion, the
// case-blind substring test and the loading of short text files.
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { folder_ = MakeScratchDir("files"); }
    void TearDown() override { RemoveTree(folder_); }
    std::string File(const char *name) const { return folder_ + "\\" + name; }
    std::string folder_;
};

// The text of a block that ReadTextFile returned; frees the block.
std::string TakeText(HGLOBAL block)
{
    if (!block)
        return "<none>";
    std::string text;
    const char *data = (const char *)GlobalLock(block);
    if (data)
        text = data;
    GlobalUnlock(block);
    GlobalFree(block);
    return text;
}

} // namespace

TEST_F(FilesTest, FileExistsOnlyForFiles)
{
    ASSERT_TRUE(WriteFileBytes(File("plain.txt"), "x"));
    ASSERT_TRUE(WriteFileBytes(File("A rather long file name.data"), ""));
    EXPECT_EQ(FileExists(File("plain.txt").c_str()), 1);
    EXPECT_EQ(FileExists(File("A rather long file name.data").c_str()), 1);
    // Folders are not files.
    EXPECT_EQ(FileExists(folder_.c_str()), 0);
    EXPECT_EQ(FileExists(File("missing.txt").c_str()), 0);
    EXPECT_EQ(FileExists(File("nofolder\\plain.txt").c_str()), 0);
    EXPECT_EQ(FileExists(""), 0);
    EXPECT_EQ(FileExists(nullptr), 0);
}

TEST_F(FilesTest, FileExistsForReadOnlyAndHiddenFiles)
{
    std::string path = File("guarded.sys");
    ASSERT_TRUE(WriteFileBytes(path, "x"));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                     FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(FileExists(path.c_str()), 1);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FilesTest, ForceDeleteFileRemovesProtectedFiles)
{
    std::string readOnly = File("readonly.txt");
    ASSERT_TRUE(WriteFileBytes(readOnly, "x"));
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_FALSE(DeleteFileA(readOnly.c_str())) << "a read-only file should resist a plain delete";
    EXPECT_NE(ForceDeleteFile(readOnly.c_str()), 0);
    EXPECT_EQ(GetFileAttributesA(readOnly.c_str()), INVALID_FILE_ATTRIBUTES);

    std::string hidden = File("hidden.txt");
    ASSERT_TRUE(WriteFileBytes(hidden, "x"));
    ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                       FILE_ATTRIBUTE_SYSTEM));
    EXPECT_NE(ForceDeleteFile(hidden.c_str()), 0);
    EXPECT_EQ(GetFileAttributesA(hidden.c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_EQ(ForceDeleteFile(File("missing.txt").c_str()), 0);
}

TEST(ContainsTextTest, FindsPartsWhateverTheirCase)
{
    EXPECT_EQ(ContainsText("C:\\WINDOWS\\Cookies\\JOE.TXT", "joe"), 1);
    EXPECT_EQ(ContainsText("joe@ads.example[1].txt", "ADS.EXAMPLE"), 1);
    EXPECT_EQ(ContainsText("abc", "abc"), 1);
    EXPECT_EQ(ContainsText("abc", "c"), 1);
    EXPECT_EQ(ContainsText("aaab", "aab"), 1);
    EXPECT_EQ(ContainsText("C:\\WINDOWS\\Cookies\\JOE.TXT", "jim"), 0);
    EXPECT_EQ(ContainsText("abc", "abd"), 0);
}

TEST(ContainsTextTest, EmptyOrLongerPartsAreNeverContained)
{
    EXPECT_EQ(ContainsText("", "joe"), 0);
    // An empty nut would otherwise match, and delete, every cookie.
    EXPECT_EQ(ContainsText("joe.txt", ""), 0);
    EXPECT_EQ(ContainsText("", ""), 0);
    EXPECT_EQ(ContainsText("joe", "joe.txt"), 0);
    EXPECT_EQ(ContainsText(nullptr, "joe"), 0);
    EXPECT_EQ(ContainsText("joe", nullptr), 0);
}

TEST(ContainsTextTest, HighByteNamesAreCompared)
{
    EXPECT_EQ(ContainsText("C:\\Cookies\\j\xF6rg@caf\xE9.txt", "\xF6rg@caf\xE9"), 1);
    EXPECT_EQ(ContainsText("C:\\Cookies\\j\xF6rg@caf\xE9.txt", "jorg"), 0);
    EXPECT_EQ(ContainsText("\xE9t\xE9", "x\xE9"), 0);
    if (GetACP() == 1252) {
        // Western letters above 127 fold case like the others.
        EXPECT_EQ(ContainsText("C:\\Cookies\\j\xF6rg@caf\xE9.txt", "J\xD6RG@CAF\xC9"), 1);
    }
}

TEST(ContainsTextTest, OnlyTheFirst511CharactersAreSearched)
{
    std::string text = std::string(500, 'a') + "needle";
    EXPECT_EQ(ContainsText(text.c_str(), "NEEDLE"), 1);
    text = std::string(508, 'a') + "needle";
    EXPECT_EQ(ContainsText(text.c_str(), "needle"), 0);
    EXPECT_EQ(ContainsText(text.c_str(), "aaane"), 1);
}

TEST_F(FilesTest, ReadTextFileGivesAtMostCapacityLessOneBytes)
{
    std::string bytes;
    for (int i = 0; i < 5000; ++i)
        bytes += (char)('a' + i % 26);
    ASSERT_TRUE(WriteFileBytes(File("big.txt"), bytes));
    std::string text = TakeText(ReadTextFile(File("big.txt").c_str(), 4096));
    EXPECT_EQ(text.size(), 4095u);
    EXPECT_EQ(text, bytes.substr(0, 4095));
}

TEST_F(FilesTest, ReadTextFilePutsACarriageReturnBeforeEveryLineFeed)
{
    ASSERT_TRUE(WriteFileBytes(File("unix.txt"), "one\ntwo\n\nthree"));
    EXPECT_EQ(TakeText(ReadTextFile(File("unix.txt").c_str(), 4096)), "one\r\ntwo\r\n\r\nthree");
    ASSERT_TRUE(WriteFileBytes(File("dos.txt"), "one\r\ntwo\r\n"));
    EXPECT_EQ(TakeText(ReadTextFile(File("dos.txt").c_str(), 4096)), "one\r\r\ntwo\r\r\n");

    // The result doubles when every byte read is a line feed.
    ASSERT_TRUE(WriteFileBytes(File("feeds.txt"), std::string(5000, '\n')));
    std::string text = TakeText(ReadTextFile(File("feeds.txt").c_str(), 4096));
    EXPECT_EQ(text.size(), 8190u);
    EXPECT_EQ(text.find_first_not_of("\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(0, 4), "\r\n\r\n");
}

TEST_F(FilesTest, ReadTextFileOfEmptyMissingOrBinaryFiles)
{
    ASSERT_TRUE(WriteFileBytes(File("empty.txt"), ""));
    EXPECT_EQ(ReadTextFile(File("empty.txt").c_str(), 4096), nullptr);
    EXPECT_EQ(ReadTextFile(File("missing.txt").c_str(), 4096), nullptr);
    EXPECT_EQ(ReadTextFile(folder_.c_str(), 4096), nullptr);

    // The text ends at the first zero byte.
    ASSERT_TRUE(WriteFileBytes(File("binary.dat"), std::string("AB\nC\0DE\nF", 9)));
    EXPECT_EQ(TakeText(ReadTextFile(File("binary.dat").c_str(), 4096)), "AB\r\nC");
    ASSERT_TRUE(WriteFileBytes(File("zero.dat"), std::string("\0text", 5)));
    EXPECT_EQ(TakeText(ReadTextFile(File("zero.dat").c_str(), 4096)), "");
}

TEST_F(FilesTest, ReadTextFileReadsAFileOthersHoldOpen)
{
    std::string path = File("open.txt");
    ASSERT_TRUE(WriteFileBytes(path, "held\n"));
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(TakeText(ReadTextFile(path.c_str(), 4096)), "held\r\n");
    CloseHandle(held);
}

TEST_F(FilesTest, ReadTextFileBlockIsMovableAndOwnedByTheCaller)
{
    ASSERT_TRUE(WriteFileBytes(File("small.txt"), "abc"));
    HGLOBAL block = ReadTextFile(File("small.txt").c_str(), 4096);
    ASSERT_NE(block, nullptr);
    // A movable block's handle is not its address; callers must lock it.
    void *data = GlobalLock(block);
    EXPECT_NE(data, nullptr);
    EXPECT_NE(data, (void *)block);
    GlobalUnlock(block);
    EXPECT_GE(GlobalSize(block), 7u);  // twice the bytes read and a zero
    EXPECT_EQ(TakeText(block), "abc");
}
