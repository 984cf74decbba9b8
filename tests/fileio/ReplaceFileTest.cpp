#include "fileio/ReplaceFile.h"
#include "formats/BlockFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include <csignal>
#include <cstdlib>
#include <iterator>
#include <string>

namespace tesselbox {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

const std::function<bool(std::FILE*)> kWriteHello = [](std::FILE* f) {
    return std::fwrite("hello", 1, 5, f) == 5;
};

std::size_t EntriesIn(const fs::path& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++n;
    return n;
}

TEST(ReplaceFile, WritesANewFile) {
    TempFolder folder;
    EXPECT_TRUE(ReplaceFile(folder / "new.bin", kWriteHello).ok());
    EXPECT_EQ(ReadBytes(folder / "new.bin"), "hello");
    EXPECT_EQ(EntriesIn(folder.path()), 1u);
}

#ifndef _WIN32  // modes, symbolic links and device nodes are POSIX matters

TEST(ReplaceFile, ReplacesAnExistingFileKeepingItsMode) {
    TempFolder folder;
    WriteBytes(folder / "old.bin", "old content");
    fs::permissions(folder / "old.bin", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_TRUE(ReplaceFile(folder / "old.bin", kWriteHello).ok());
    EXPECT_EQ(ReadBytes(folder / "old.bin"), "hello");
    EXPECT_EQ(fs::status(folder / "old.bin").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(EntriesIn(folder.path()), 1u);
}

TEST(ReplaceFile, ReplacesTheFileALinkNamesNotTheLink) {
    TempFolder folder;
    WriteBytes(folder / "real.bin", "old");
    fs::create_symlink("real.bin", folder / "link.bin");
    EXPECT_TRUE(ReplaceFile(folder / "link.bin", kWriteHello).ok());
    EXPECT_TRUE(fs::is_symlink(folder / "link.bin"));
    EXPECT_EQ(ReadBytes(folder / "real.bin"), "hello");
}

#endif

// The temporary beside a file of the longest legal name must itself be a legal name.
TEST(ReplaceFile, NamesUpToTheLongestAFolderTakes) {
    TempFolder folder;
    std::string cjk84;
    for (int i = 0; i < 84; ++i) cjk84 += "\xE5\x9B\xBE";  // 图: three bytes each
    const std::string names[] = {std::string(243, 'a'), std::string(250, 'b'), std::string(255, 'c'),
                                 cjk84 + "\xE5\x9B\xBE", cjk84 + "xyz", cjk84 + "xy"};
    for (const std::string& name : names) {
        const fs::path target = folder.path() / fs::path(std::u8string(name.begin(), name.end()));
        WriteBytes(target, "old");
        const WriteOutcome outcome = ReplaceFile(target, kWriteHello);
        EXPECT_TRUE(outcome.ok()) << name.size() << " bytes: " << outcome.message;
        EXPECT_EQ(ReadBytes(target), "hello") << name.size();
    }
    EXPECT_EQ(EntriesIn(folder.path()), std::size(names));
}

#ifndef _WIN32
// Ctrl-C or a SIGTERM in the middle of a write: the old file stays, its temporary goes, and the
// process still ends by that signal.
TEST(ReplaceFileDeathTest, AnInterruptRemovesTheTemporaryAndEndsByTheSignal) {
    for (const int signal : {SIGINT, SIGTERM}) {
        TempFolder folder;
        WriteBytes(folder / "keep.bin", "old");
        EXPECT_EXIT(
            {
                RemoveTemporariesOnInterrupt();
                ReplaceFile(folder / "keep.bin", [signal, &folder](std::FILE* file) {
                    const std::string block(1 << 20, 'x');
                    const bool written = std::fwrite(block.data(), 1, block.size(), file) == block.size() &&
                                         std::fflush(file) == 0;
                    if (written && EntriesIn(folder.path()) == 2) raise(signal);
                    return written;
                });
                std::_Exit(0);
            },
            ::testing::KilledBySignal(signal), "");
        EXPECT_EQ(ReadBytes(folder / "keep.bin"), "old") << signal;
        EXPECT_EQ(EntriesIn(folder.path()), 1u) << signal;
    }
}
#endif

TEST(ReplaceFile, AFailingProducerLeavesTheOldFileAndNoTemporary) {
    TempFolder folder;
    WriteBytes(folder / "keep.bin", "precious");
    const WriteOutcome outcome = ReplaceFile(folder / "keep.bin", [](std::FILE* f) {
        std::fputs("partial", f);
        return false;
    });
    EXPECT_EQ(outcome.status, WriteStatus::WriteFailed);
    EXPECT_EQ(ReadBytes(folder / "keep.bin"), "precious");
    EXPECT_EQ(EntriesIn(folder.path()), 1u);
}


TEST(ReplaceFile, UnwritablePlacesAreReportedAndChangeNothing) {
    TempFolder folder;
    fs::create_directory(folder / "a folder");
    const struct {
        const char* name;
        fs::path target;
        WriteStatus expected;
    } cases[] = {
        {"target is a folder", folder / "a folder", WriteStatus::OpenFailed},
        {"folder does not exist", folder / "gone" / "x.schematic", WriteStatus::OpenFailed},
    };
    for (const auto& c : cases) {
        const WriteOutcome outcome = ReplaceFile(c.target, kWriteHello);
        EXPECT_EQ(outcome.status, c.expected) << c.name;
        EXPECT_NE(outcome.message.find(c.target.filename().string()), std::string::npos) << c.name;
    }
    EXPECT_TRUE(fs::is_empty(folder / "a folder"));
    EXPECT_EQ(EntriesIn(folder.path()), 1u);
}

#ifndef _WIN32

// A file or a folder the user may not write is reported and stays as it was. Root writes anything,
// so as root these cases skip here and run again as an unprivileged user (CTest entry
// ReplaceFile.ReadOnlyAsUnprivilegedUser).
TEST(ReplaceFile, ReadOnlyTargetsAreReported) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes anything";
    struct Case {
        const char* name;
        fs::perms folder;
        fs::perms file;
    };
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    for (const Case c : {Case{"read-only folder", fs::perms::owner_read | fs::perms::owner_exec,
                              fs::perms::owner_read | fs::perms::owner_write},
                         Case{"read-only file (0444)", fs::perms::owner_all, readOnly}}) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        WriteBytes(folder / "keep.bin", "precious");
        fs::permissions(folder / "keep.bin", c.file);
        fs::permissions(folder.path(), c.folder);
        const WriteOutcome outcome = ReplaceFile(folder / "keep.bin", kWriteHello);
        fs::permissions(folder.path(), fs::perms::owner_all);
        EXPECT_EQ(outcome.status, WriteStatus::OpenFailed);
        EXPECT_NE(outcome.message.find("keep.bin"), std::string::npos) << outcome.message;
        EXPECT_EQ(ReadBytes(folder / "keep.bin"), "precious");
        EXPECT_EQ(fs::status(folder / "keep.bin").permissions() & fs::perms::all, c.file);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
    }
}

// A "full" character device of our own (1, 7), so a mistake can never touch the system's.
TEST(ReplaceFile, FullDeviceIsWrittenInPlaceAndTheFailureReported) {
    TempFolder folder;
    const fs::path full = folder / "full";
    if (mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
        GTEST_SKIP() << "cannot make a device node here";
    }
    const ColorTable table;
    const std::vector<std::int32_t> grid(std::size_t{100} * 100, NO_BLOCK);
    const BlockFileOutcome outcome = WriteBlockFile(full, {100, 100, grid.data(), &table}, {});
    EXPECT_EQ(outcome.status, BlockFileStatus::WriteFailed);
    EXPECT_FALSE(outcome.message.empty());
    EXPECT_TRUE(fs::is_character_file(full)) << "the device must not be renamed over";
    EXPECT_EQ(EntriesIn(folder.path()), 1u);
}

TEST(ReplaceFile, NullDeviceIsWrittenInPlace) {
    TempFolder folder;
    const fs::path null = folder / "null";
    if (mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make a device node here";
    }
    EXPECT_TRUE(ReplaceFile(null, kWriteHello).ok());
    EXPECT_TRUE(fs::is_character_file(null));
}

TEST(ReplaceFile, FolderThatDisappearsMidWriteIsReported) {
    TempFolder folder;
    const fs::path inner = folder / "inner";
    fs::create_directory(inner);
    const WriteOutcome outcome = ReplaceFile(inner / "x.bin", [&](std::FILE* f) {
        std::error_code ignored;
        fs::remove_all(inner, ignored);  // the open temporary survives as an unlinked file
        return std::fwrite("x", 1, 1, f) == 1;
    });
    EXPECT_EQ(outcome.status, WriteStatus::WriteFailed);
    EXPECT_FALSE(fs::exists(inner));
}

#endif

}  // namespace
}  // namespace tesselbox
