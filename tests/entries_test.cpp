// The entry table: its limit, what AddEntry makes of paths, the cut fields,
// and the accessors' answers outside the table.
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

class EntryTableTest : public ::testing::Test {
protected:
    void SetUp() override { ClearEntries(); }
    void TearDown() override { ClearEntries(); }
};

std::string Title(int index)
{
    char buffer[TitleSize];
    GetEntryTitle(index, buffer);
    return buffer;
}

std::string Path(int index)
{
    char buffer[PathSize];
    GetEntryPath(index, buffer);
    return buffer;
}

std::string Link(int index)
{
    char buffer[PathSize];
    GetEntryLink(index, buffer);
    return buffer;
}

} // namespace

TEST_F(EntryTableTest, HoldsThreeHundredEntriesInOrderOfAdding)
{
    for (int i = 0; i < MaxEntries; ++i) {
        std::string title = "Entry " + std::to_string(i);
        ASSERT_EQ(AddEntry(title.c_str(), "C:\\APP.EXE", "", 1, (DWORD)i), 1) << i;
    }
    EXPECT_EQ(EntryCount, 300);
    EXPECT_EQ(AddEntry("One too many", "C:\\MORE.EXE", "", 1, 0), 0);
    EXPECT_EQ(EntryCount, 300);
    EXPECT_EQ(Title(0), "Entry 0");
    EXPECT_EQ(Title(299), "Entry 299");
    EXPECT_EQ(GetEntryNumber(299), 299u);
    char buffer[TitleSize];
    EXPECT_EQ(GetEntryTitle(300, buffer), 0);

    ClearEntries();
    EXPECT_EQ(EntryCount, 0);
    EXPECT_EQ(GetEntryTitle(0, buffer), 0);
    // A cleared table takes a full set again.
    EXPECT_EQ(AddEntry("Again", "C:\\APP.EXE", "", 1, 0), 1);
    EXPECT_EQ(Title(0), "Again");
}

TEST_F(EntryTableTest, FieldsComeBackWithTheirLengths)
{
    ASSERT_EQ(AddEntry("Title", "C:\\APP\\APP.EXE /x", "C:\\LINK.LNK", 14, 4242), 1);
    char title[TitleSize], path[PathSize], link[PathSize];
    EXPECT_EQ(GetEntryTitle(0, title), 5);
    EXPECT_STREQ(title, "Title");
    EXPECT_EQ(GetEntryPath(0, path), 17);
    EXPECT_STREQ(path, "C:\\APP\\APP.EXE /x");
    EXPECT_EQ(GetEntryLink(0, link), 11);
    EXPECT_STREQ(link, "C:\\LINK.LNK");
    EXPECT_EQ(GetEntrySource(0), 14u);
    EXPECT_EQ(GetEntryNumber(0), 4242u);

    SetEntrySource(0, 503);
    EXPECT_EQ(GetEntrySource(0), 503u);
    EXPECT_EQ(Title(0), "Title");
}

TEST_F(EntryTableTest, QuotesAreStrippedFromThePathOnly)
{
    AddEntry("\"Quoted\" title", "\"C:\\Program Files\\App\\app.exe\" /min", "", 1, 0);
    AddEntry("Middle", "C:\\App\\a\"b.exe", "", 1, 0);
    AddEntry("Only quotes", "\"\"\"", "", 1, 0);
    AddEntry("Quoted link", "x", "\"C:\\x.lnk\"", 200, 0);
    EXPECT_EQ(Path(0), "C:\\Program Files\\App\\app.exe /min");
    EXPECT_EQ(Title(0), "\"Quoted\" title");
    EXPECT_EQ(Path(1), "C:\\App\\ab.exe");
    EXPECT_EQ(Path(2), "");
    EXPECT_EQ(Link(3), "\"C:\\x.lnk\"");
}

TEST_F(EntryTableTest, ShortNameOfAnExistingFileIsStoredLong)
{
    std::string folder = MakeScratchDir("entries_long");
    std::string longPath = folder + "\\Long Program Name.exe";
    ASSERT_TRUE(WriteFileBytes(longPath, "MZ"));
    char shortPath[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA(longPath.c_str(), shortPath, sizeof(shortPath)), 0u);
    ASSERT_STRCASENE(shortPath, longPath.c_str()) << "Wine gave no short form";

    AddEntry("Short", shortPath, shortPath, 200, 0);
    EXPECT_STRCASEEQ(Path(0).c_str(), longPath.c_str());
    EXPECT_STRCASEEQ(Link(0).c_str(), longPath.c_str());

    // A command line names no file: it stays as it is, but for its quotes.
    std::string command = std::string("\"") + shortPath + "\" /run";
    AddEntry("Command", command.c_str(), "", 1, 0);
    EXPECT_EQ(Path(1), std::string(shortPath) + " /run");

    // Nor is the short name of a file that does not exist touched.
    AddEntry("Missing", "C:\\PROGRA~9\\NOWHERE\\NOPE~1.EXE", "", 1, 0);
    EXPECT_EQ(Path(2), "C:\\PROGRA~9\\NOWHERE\\NOPE~1.EXE");

    RemoveTree(folder);
}

TEST_F(EntryTableTest, EmptyAndMissingTextsGiveEmptyFields)
{
    ASSERT_EQ(AddEntry("", "", "", 0, 0), 1);
    ASSERT_EQ(AddEntry(nullptr, nullptr, nullptr, 0, 0), 1);
    char buffer[PathSize];
    for (int i = 0; i < 2; ++i) {
        memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(GetEntryTitle(i, buffer), 0);
        EXPECT_STREQ(buffer, "");
        memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(GetEntryPath(i, buffer), 0);
        EXPECT_STREQ(buffer, "");
        memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(GetEntryLink(i, buffer), 0);
        EXPECT_STREQ(buffer, "");
    }
}

TEST_F(EntryTableTest, OverLongTextsAreCutToTheirFields)
{
    std::string title(300, 'T');
    std::string path(511, 'p');
    std::string quoted = "\"" + std::string(600, 'q') + "\"";
    std::string link(400, 'l');
    ASSERT_EQ(AddEntry(title.c_str(), path.c_str(), link.c_str(), 1, 0), 1);
    ASSERT_EQ(AddEntry("Quoted", quoted.c_str(), "", 1, 0), 1);

    // Read into buffers of exactly the documented size with a fence behind.
    char titleBuffer[TitleSize + 4];
    memset(titleBuffer, '#', sizeof(titleBuffer));
    EXPECT_EQ(GetEntryTitle(0, titleBuffer), 127);
    EXPECT_EQ(std::string(titleBuffer), std::string(127, 'T'));
    EXPECT_EQ(titleBuffer[TitleSize], '#');

    char pathBuffer[PathSize + 4];
    memset(pathBuffer, '#', sizeof(pathBuffer));
    EXPECT_EQ(GetEntryPath(0, pathBuffer), 259);
    EXPECT_EQ(std::string(pathBuffer), std::string(259, 'p'));
    EXPECT_EQ(pathBuffer[PathSize], '#');

    memset(pathBuffer, '#', sizeof(pathBuffer));
    EXPECT_EQ(GetEntryLink(0, pathBuffer), 259);
    EXPECT_EQ(std::string(pathBuffer), std::string(259, 'l'));
    EXPECT_EQ(pathBuffer[PathSize], '#');

    EXPECT_EQ(Path(1), std::string(259, 'q'));
}

TEST_F(EntryTableTest, ClearingAnEmptyTableKeepsItEmpty)
{
    ClearEntries();
    EXPECT_EQ(EntryCount, 0);
    ClearEntries();
    EXPECT_EQ(EntryCount, 0);
}

TEST_F(EntryTableTest, AccessorsOutsideTheTableGiveNothing)
{
    ASSERT_EQ(AddEntry("Only", "C:\\ONLY.EXE", "C:\\ONLY.LNK", 7, 8), 1);
    const int bad[] = {-1, 1, 299, 300, 100000};
    for (int index : bad) {
        char buffer[PathSize];
        memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(GetEntryTitle(index, buffer), 0) << index;
        EXPECT_STREQ(buffer, "") << index;
        memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(GetEntryPath(index, buffer), 0) << index;
        EXPECT_STREQ(buffer, "") << index;
        memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(GetEntryLink(index, buffer), 0) << index;
        EXPECT_STREQ(buffer, "") << index;
        EXPECT_EQ(GetEntrySource(index), 0u) << index;
        EXPECT_EQ(GetEntryNumber(index), 0u) << index;
        SetEntrySource(index, 99);
    }
    EXPECT_EQ(EntryCount, 1);
    EXPECT_EQ(GetEntrySource(0), 7u);
    EXPECT_EQ(GetEntryNumber(0), 8u);
    EXPECT_EQ(Link(0), "C:\\ONLY.LNK");
}

TEST(EntryHelpersTest, StripQuotesCutsToItsBuffer)
{
    char buffer[8];
    EXPECT_EQ(StripQuotes(buffer, sizeof(buffer), "\"a\"b\"cdefghij"), 7);
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_EQ(StripQuotes(buffer, sizeof(buffer), nullptr), 0);
    EXPECT_STREQ(buffer, "");
}

TEST(EntryHelpersTest, ToLongPathNameLeavesNonFilesAlone)
{
    char buffer[PathSize];
    EXPECT_EQ(ToLongPathName(buffer, sizeof(buffer), "not a file at all"), 17);
    EXPECT_STREQ(buffer, "not a file at all");
    EXPECT_EQ(ToLongPathName(buffer, sizeof(buffer), ""), 0);
    EXPECT_STREQ(buffer, "");
    char small[6];
    EXPECT_EQ(ToLongPathName(small, sizeof(small), "C:\\NOPE\\X.EXE"), 5);
    EXPECT_STREQ(small, "C:\\NO");
}
