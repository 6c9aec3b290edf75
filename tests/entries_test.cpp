// The entry table: its limit, what AddEntry makes of paths, the cut fields,
// and the accessors' answers outside the table.
#include "store/store.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

struct EntryTableTest : ::testing::Test {
    void SetUp() override { ClearEntries(); }
    void TearDown() override { ClearEntries(); }
};

// One text field read into a buffer of its documented size, with a fence
// behind it that must stay untouched.
std::string Field(int (*get)(int, char *), int index, int size)
{
    char buffer[PathSize + 4];
    memset(buffer, '#', sizeof(buffer));
    int length = get(index, buffer);
    EXPECT_EQ(buffer[size], '#') << index;
    std::string text(buffer, strnlen(buffer, size));
    EXPECT_EQ(length, (int)text.size()) << index;
    return text;
}
std::string Title(int index) { return Field(GetEntryTitle, index, TitleSize); }
std::string Path(int index) { return Field(GetEntryPath, index, PathSize); }
std::string Link(int index) { return Field(GetEntryLink, index, PathSize); }

} // namespace

TEST_F(EntryTableTest, HoldsThreeHundredEntriesInOrderAndRefusesTheNext)
{
    for (int i = 0; i < MaxEntries; ++i)
        ASSERT_EQ(AddEntry(("Entry " + std::to_string(i)).c_str(), "C:\\APP.EXE", "", 1, (DWORD)i), 1);
    EXPECT_EQ(AddEntry("One too many", "C:\\MORE.EXE", "", 1, 0), 0);
    EXPECT_EQ(EntryCount, 300);
    EXPECT_EQ(Title(299), "Entry 299");

    ClearEntries();
    EXPECT_EQ(EntryCount, 0);
    ClearEntries();  // an empty table stays empty
    EXPECT_EQ(EntryCount, 0);
    EXPECT_EQ(AddEntry("Again", "C:\\APP.EXE", "", 1, 0), 1);
    EXPECT_EQ(Title(0), "Again");
}

TEST_F(EntryTableTest, PathsLoseTheirQuotesShortNamesBecomeLongAndTextsAreCut)
{
    std::string folder = MakeScratchDir("entries_long");
    std::string longPath = folder + "\\Long Program Name.exe";
    ASSERT_TRUE(WriteFileBytes(longPath, "MZ"));
    char shortPath[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA(longPath.c_str(), shortPath, sizeof(shortPath)), 0u);
    ASSERT_STRCASENE(shortPath, longPath.c_str()) << "Wine gave no short form";
    const std::string s = shortPath;

    const struct { std::string title, path, link, storedPath, storedLink; } rows[] = {
        {"\"Quoted\" title", "\"C:\\Program Files\\App\\app.exe\" /min", "",
         "C:\\Program Files\\App\\app.exe /min", ""},
        {"Middle", "C:\\App\\a\"b.exe", "\"C:\\x.lnk\"", "C:\\App\\ab.exe", "\"C:\\x.lnk\""},
        {"Only quotes", "\"\"\"", "", "", ""},
        {"Short", s, s, longPath, longPath},
        // A command line names no file, nor does a short name of a missing one.
        {"Command", "\"" + s + "\" /run", "", s + " /run", ""},
        {"Missing", "C:\\PROGRA~9\\NOWHERE\\NOPE~1.EXE", "", "C:\\PROGRA~9\\NOWHERE\\NOPE~1.EXE", ""},
        {std::string(300, 'T'), std::string(511, 'p'), std::string(400, 'l'), std::string(259, 'p'),
         std::string(259, 'l')},
        {"Cut after stripping", "\"" + std::string(600, 'q') + "\"", "", std::string(259, 'q'), ""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.title);
        ASSERT_EQ(AddEntry(row.title.c_str(), row.path.c_str(), row.link.c_str(), 14, 4242), 1);
        int i = EntryCount - 1;
        EXPECT_EQ(Title(i), row.title.substr(0, TitleSize - 1));
        EXPECT_STRCASEEQ(Path(i).c_str(), row.storedPath.c_str());
        EXPECT_STRCASEEQ(Link(i).c_str(), row.storedLink.c_str());
        EXPECT_EQ(GetEntrySource(i), 14u);
        EXPECT_EQ(GetEntryNumber(i), 4242u);
    }
    ASSERT_EQ(AddEntry(nullptr, nullptr, nullptr, 0, 0), 1);
    EXPECT_EQ(Title(EntryCount - 1) + Path(EntryCount - 1) + Link(EntryCount - 1), "");
    SetEntrySource(0, 503);
    EXPECT_EQ(GetEntrySource(0), 503u);
    RemoveTree(folder);
}

TEST_F(EntryTableTest, AccessorsOutsideTheTableGiveNothing)
{
    ASSERT_EQ(AddEntry("Only", "C:\\ONLY.EXE", "C:\\ONLY.LNK", 7, 8), 1);
    for (int index : {-1, 1, 299, 300, 100000}) {
        EXPECT_EQ(Title(index) + Path(index) + Link(index), "") << index;
        EXPECT_EQ(GetEntrySource(index) + GetEntryNumber(index), 0u) << index;
        SetEntrySource(index, 99);
    }
    EXPECT_EQ(EntryCount, 1);
    EXPECT_EQ(GetEntrySource(0), 7u);
    EXPECT_EQ(Link(0), "C:\\ONLY.LNK");
}
