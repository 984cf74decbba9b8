// tesselbox-cli palette: the table exactly as the program reads it, and where the default is found.
#include "tests/cli/CliTestSupport.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tesselbox::cli {
namespace {

using testing::CurrentFolder;
using testing::RunCli;
using testing::TempFolder;
using testing::WriteBytes;

TEST(PaletteCommand, PrintsTheEntriesAsRead) {
    TempFolder folder;
    WriteBytes(folder / "t.txt",
               "1,0,125,125,125\n"
               "\n"
               "block,data,red,green,blue\n"
               "35,14,150,52,48 red wool\n"
               "  35, 15, 25, 22, 22\n"
               "35 ,1,234,130,55\n"
               "35,1,234,130\n"
               "+12,-1,256,300,-2\n");
    const auto result = RunCli({"palette", (folder / "t.txt").string()});
    EXPECT_EQ(result.code, EXIT_DONE) << result.err;
    EXPECT_EQ(result.out,
              "1,0,125,125,125\n"
              "35,14,150,52,48\n"
              "35,15,25,22,22\n"
              "12,255,0,44,254\n");
    EXPECT_NE(result.err.find("4 entries"), std::string::npos) << result.err;
    EXPECT_EQ(RunCli({"palette", "-q", (folder / "t.txt").string()}).err, "");

    std::ostream lost(nullptr);  // every write fails, as on a full disk
    std::ostringstream err;
    EXPECT_EQ(run(std::vector<std::string>{"palette", (folder / "t.txt").string()}, lost, err,
                  Environment{}),
              EXIT_FILE_FAILED);
    EXPECT_NE(err.str().find("cannot write to standard output"), std::string::npos) << err.str();
}

TEST(PaletteCommand, FailsWhenNothingCanBeRead) {
    TempFolder folder;
    WriteBytes(folder / "words.txt", "red wool, 35, 14\n");
    struct Case {
        std::filesystem::path file;
        const char* reason;
    };
    for (const Case& c :
         {Case{folder / "words.txt", "no line starts with five numbers"},
          Case{folder / "missing.txt", "cannot be opened"}, Case{folder.path(), "is a folder"}}) {
        const auto result = RunCli({"palette", c.file.string()});
        EXPECT_EQ(result.code, EXIT_FILE_FAILED) << c.file;
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    }
}

// Colors.txt in the current folder comes first, then the table installed with the program at
// PREFIX/share/tesselbox/Colors.txt for a program at PREFIX/bin.
TEST(PaletteCommand, FindsTheDefaultTable) {
    TempFolder prefix;
    std::filesystem::create_directories(prefix / "share/tesselbox");
    std::filesystem::create_directories(prefix / "bin");
    WriteBytes(prefix / "share/tesselbox/Colors.txt", "1,0,1,1,1\n");
    TempFolder work;
    CurrentFolder inWork(work.path());
    Environment installed;
    installed.executable = prefix / "bin/tesselbox-cli";

    auto result = RunCli({"palette"}, installed);
    EXPECT_EQ(result.code, EXIT_DONE);
    EXPECT_EQ(result.out, "1,0,1,1,1\n");
    EXPECT_NE(result.err.find("comes with the program"), std::string::npos) << result.err;

    WriteBytes(work / "Colors.txt", "2,0,2,2,2\n");
    result = RunCli({"palette"}, installed);
    EXPECT_EQ(result.out, "2,0,2,2,2\n");
    EXPECT_NE(result.err.find("from the current folder"), std::string::npos) << result.err;

    std::filesystem::remove(work / "Colors.txt");
    result = RunCli({"palette"}, Environment{});
    EXPECT_EQ(result.code, EXIT_FILE_FAILED);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("--palette FILE"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace tesselbox::cli
