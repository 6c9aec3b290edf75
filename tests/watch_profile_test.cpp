// The in-memory section look-up of the watch cycle against the profile
// functions themselves: the same file, the same keys, the same answers.
#include "store/store.h"
#include "testutil.h"
#include "watch/watch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Points the data file at a scratch file for one test.
struct ProfileLookupTest : ::testing::Test {
    void SetUp() override { CopyText(DataFilePath, sizeof(DataFilePath), file_.c_str()); }
    void TearDown() override
    {
        CopyText(DataFilePath, sizeof(DataFilePath), saved_.c_str());
        RemoveTree(folder_);
    }
    // Every key asked of both; each must give GetPrivateProfileIntA's answer.
    void ExpectSameAnswers(const char *section, const std::vector<std::string> &keys)
    {
        ProfileSection lookup;
        LoadProfileSection(&lookup, section);
        for (const std::string &key : keys)
            EXPECT_EQ(ProfileSectionInt(&lookup, key.c_str()),
                      (int)GetPrivateProfileIntA(section, key.c_str(), 0, file_.c_str()))
                << "[" << section << "] '" << key << "'";
    }
    std::string saved_ = DataFilePath, folder_ = MakeScratchDir("watch_profile");
    std::string file_ = folder_ + "\\Sentro.dat";
};

} // namespace

TEST_F(ProfileLookupTest, AnswersAsTheProfileFunctionsForEveryKey)
{
    ASSERT_TRUE(WriteFileBytes(file_,
        "[Options]\r\nMinutes=5\r\n"
        "[run]\r\n"
        "C:\\Prog\\app.exe /opt:1=11\r\n"
        "  Padded Key  =  7  \r\n"
        "\tTabbed\t=\t8\t\r\n"
        "MiXeD CaSe=3\r\n"
        "dup=1\r\ndup=2\r\nDUP=3\r\n"
        "signed=-42\r\nplus=+9\r\nspace sign=- 4\r\n"
        "trailing=12abc\r\ntext=abc\r\nempty=\r\nbare\r\n"
        "hex=0x1F\r\nHEX=0X1F\r\noct=0o17\r\nbin=0b101\r\n"
        "big=4294967297\r\nnegbig=-2147483649\r\n"
        "quoted=\"15\"\r\nsquoted='16'\r\nhalfquote=\"17\r\nlonely=\"\r\n"
        "long=000000000000000000000000000005\r\nlongq=\"00000000000000000000000000009\"\r\n"
        "nbsp=\xa0" "21\xa0\r\n"
        "\xc9t\xe9=6\r\n"
        "eq=a=b\r\n=4\r\n"
        ";comment=5\r\n"
        "[Cookies]\r\nuser@site.example/=1\r\n"
        "[RUN]\r\nsecond section=9\r\n"));
    ExpectSameAnswers("Run", {
        "C:\\Prog\\app.exe /opt:1", "c:\\prog\\APP.EXE /OPT:1", "Padded Key", "  padded key  ",
        "Tabbed", "mixed case", "dup", "signed", "plus", "space sign", "trailing", "text",
        "empty", "bare", "hex", "oct", "bin", "big", "negbig", "quoted", "squoted", "halfquote",
        "lonely", "long", "longq", "nbsp", "\xc9t\xe9", "\xc9T\xe9", "\xe9t\xe9", "eq", "", "missing",
        "second section", "Minutes", "user@site.example/", "C:\\Prog\\app.exe",
    });
    ExpectSameAnswers("cookies", {"USER@SITE.EXAMPLE/", "user@site.example", "dup"});
    ExpectSameAnswers("Absent", {"dup", ""});
}

TEST_F(ProfileLookupTest, ReadsSectionsOfAnySizeAndSeesItsOwnWrites)
{
    // 6,000 keys of about 40 bytes: far more than one first read holds.
    std::string bytes = "[Cookies]\r\n";
    for (int i = 0; i < 6000; ++i)
        bytes += "user@cookie" + std::to_string(i) + ".site.example/path=" + std::to_string(i % 3) + "\r\n";
    ASSERT_TRUE(WriteFileBytes(file_, bytes));
    ProfileSection lookup;
    EXPECT_EQ(LoadProfileSection(&lookup, "Cookies"), 6000);
    for (int i : {0, 1, 2, 2999, 5998, 5999})
        EXPECT_EQ(ProfileSectionInt(&lookup, ("user@cookie" + std::to_string(i) + ".site.example/path").c_str()),
                  i % 3) << i;

    // A write, a deletion of the first of two duplicates, a new key: the
    // look-up keeps giving the file's answers.
    ASSERT_TRUE(WriteFileBytes(file_, "[Run]\r\na=1\r\nb=2\r\nB=3\r\n"));
    LoadProfileSection(&lookup, "Run");
    EXPECT_EQ(WriteProfileSectionKey(&lookup, "A", "5"), 1);
    EXPECT_EQ(WriteProfileSectionKey(&lookup, "b", nullptr), 1);
    EXPECT_EQ(WriteProfileSectionKey(&lookup, "new key", "200"), 1);
    ExpectSameAnswers("Run", {"a", "b", "new key"});
    EXPECT_EQ(ProfileSectionInt(&lookup, "a"), 5);
    EXPECT_EQ(ProfileSectionInt(&lookup, "new key"), 200);
}
