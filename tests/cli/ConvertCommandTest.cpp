// tesselbox-cli convert, run in-process on pictures written by the tests.
#include "convert/Dither.h"
#include "palette/ColorTable.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/cli/PictureBytes.h"
#include "tests/support/BlockFileReading.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include <map>
#include <random>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tesselbox::cli {
namespace {

namespace fs = std::filesystem;
using testing::CurrentFolder;
using testing::MakeImage;
using testing::ReadBytes;
using testing::ReadSchematic;
using testing::SchematicFields;
using testing::RunCli;
using testing::SavePicture;
using testing::TempFolder;
using testing::WriteBytes;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

QImage LoadImage(const fs::path& path) {
    return QImage(QString::fromStdString(path.string())).convertToFormat(QImage::Format_ARGB32);
}

// The exact file for a schematic, field by field, as MCEdit reads it (big-endian NBT).
std::string ExpectedSchematic(std::uint16_t width, std::uint16_t length, const std::string& blocks,
                              const std::string& data) {
    auto u16 = [](unsigned v) { return std::string{char(v >> 8), char(v & 0xFF)}; };
    auto u32 = [](unsigned v) {
        return std::string{char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF),
                           char(v & 0xFF)};
    };
    const auto cells = static_cast<unsigned>(blocks.size());
    std::string file;
    auto put = [&](const auto&... parts) { (file.append(parts), ...); };
    put("\x0A", u16(9), "Schematic");                 // root compound
    put("\x02", u16(6), "Height", u16(1));            // short Height = 1
    put("\x02", u16(6), "Length", u16(length));       // short Length
    put("\x02", u16(5), "Width", u16(width));         // short Width
    put("\x09", u16(8), "Entities", "\x0A", u32(0));  // empty list of compounds
    put("\x09", u16(12), "TileEntities", "\x0A", u32(0));
    put("\x08", u16(9), "Materials", u16(5), "Alpha");  // string
    put("\x07", u16(6), "Blocks", u32(cells), blocks);  // byte array
    put("\x07", u16(4), "Data", u32(cells), data);      // byte array
    file.push_back('\0');                               // end of the root
    return file;
}

// Three pixels on top (alpha 229 and 230, and one halfway between two entries), a transparent
// one and two exact matches below, in a PNG that keeps every byte.
QImage SixPixelPicture() {
    const QRgb pixels[2][3] = {{qRgba(255, 0, 0, 229), qRgba(255, 0, 0, 230), qRgba(10, 0, 0, 255)},
                               {qRgba(0, 0, 0, 0), qRgba(20, 0, 0, 255), qRgba(0, 0, 0, 255)}};
    return MakeImage(3, 2, [&](int x, int y) { return pixels[y][x]; });
}

struct ExactCase {
    const char* name;
    const char* palette;
    std::string blocks;  // top row first
    std::string data;
};
void PrintTo(const ExactCase& c, std::ostream* os) { *os << c.name; }

class ConvertExactly : public ::testing::TestWithParam<ExactCase> {};

TEST_P(ConvertExactly, WritesTheExpectedBytes) {
    TempFolder folder;
    SavePicture(SixPixelPicture(), folder / "six.png");
    WriteBytes(folder / "t.txt", GetParam().palette);
    const auto result =
        RunCli({"convert", (folder / "six.png").string(), "--palette", (folder / "t.txt").string(),
                "-o", (folder / "out.schematic").string()});
    ASSERT_EQ(result.code, EXIT_DONE) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(ReadBytes(folder / "out.schematic"),
              ExpectedSchematic(3, 2, GetParam().blocks, GetParam().data));
}

// Alpha 229 is no block, 230 is; the color matched is the premultiplied one (255 at alpha 230
// is 230); (10,0,0) is as far from (0,0,0) as from (20,0,0) and goes to the earlier entry.
INSTANTIATE_TEST_SUITE_P(
    Cli, ConvertExactly,
    ::testing::Values(ExactCase{"BlackListedFirst", "1,0,0,0,0\n2,3,20,0,0\n35,14,230,0,0\n",
                                std::string("\x00\x23\x01\x00\x02\x01", 6),
                                std::string("\x00\x0E\x00\x00\x03\x00", 6)},
                      ExactCase{"DarkListedFirst", "2,3,20,0,0\n1,0,0,0,0\n35,14,230,0,0\n",
                                std::string("\x00\x23\x02\x00\x02\x01", 6),
                                std::string("\x00\x0E\x03\x00\x03\x00", 6)}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ConvertCommand, PreviewShowsTheBlockColorsAndNothingElse) {
    TempFolder folder;
    SavePicture(SixPixelPicture(), folder / "six.png");
    WriteBytes(folder / "t.txt", "1,0,0,0,0\n2,3,20,0,0\n35,14,230,0,0\n");
    const auto result =
        RunCli({"convert", (folder / "six.png").string(), "--palette", (folder / "t.txt").string(),
                "--preview", (folder / "six-preview.png").string()});
    ASSERT_EQ(result.code, EXIT_DONE) << result.err;
    EXPECT_TRUE(fs::exists(folder / "six.schematic"));  // the default: beside the picture
    const QImage preview = LoadImage(folder / "six-preview.png");
    ASSERT_EQ(preview.size(), QSize(3, 2));
    const QRgb expected[2][3] = {{0, qRgba(230, 0, 0, 255), qRgba(0, 0, 0, 255)},
                                 {0, qRgba(20, 0, 0, 255), qRgba(0, 0, 0, 255)}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(preview.pixel(x, y), expected[y][x]) << x << "," << y;
        }
    }
}

// 600 × 400: the left half a one-pixel checker of black and white, the right half red.
TEST(ConvertCommand, FitShrinksByAveragingAndNoFitKeepsEveryPixel) {
    TempFolder folder;
    SavePicture(MakeImage(600, 400,
                          [](int x, int y) {
                              if (x >= 300) return qRgb(200, 40, 40);
                              return (x + y) % 2 == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
                          }),
                folder / "wide.png");
    WriteBytes(folder / "t.txt", "1,0,0,0,0\n1,1,128,128,128\n1,2,255,255,255\n35,14,200,40,40\n");
    struct Case {
        std::vector<std::string> options;
        std::uint32_t width, length;
    };
    for (const Case& c : {Case{{}, 300, 200}, Case{{"--fit"}, 300, 200},
                          Case{{"--no-fit"}, 600, 400}, Case{{"--no-fit", "--fit"}, 300, 200}}) {
        std::vector<std::string> args = {"convert",   (folder / "wide.png").string(),
                                         "--palette", (folder / "t.txt").string(),
                                         "--preview", (folder / "preview.png").string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto result = RunCli(args);
        ASSERT_EQ(result.code, EXIT_DONE) << result.err;
        const auto fields = ReadSchematic(folder / "wide.schematic");
        ASSERT_EQ(fields.width, c.width);
        ASSERT_EQ(fields.length, c.length);
        EXPECT_EQ(LoadImage(folder / "preview.png").size(), QSize(int(c.width), int(c.length)));
        int wrong = 0;
        for (std::uint32_t z = 0; z < c.length; ++z) {
            // Columns next to the middle may mix both halves when shrinking.
            for (std::uint32_t x = 0; x < c.width; ++x) {
                const std::size_t cell = std::size_t{z} * c.width + x;
                const bool left = x < c.width / 2 - 2, right = x >= c.width / 2 + 2;
                if (!left && !right) continue;
                const char block = fields.blocks[cell], data = fields.data[cell];
                if (right) {
                    wrong += block != 35 || data != 14;
                } else if (c.width == 300) {
                    wrong += block != 1 || data != 1;  // gray, never black or white
                } else {
                    wrong += block != 1 || data != ((x + z) % 2 == 0 ? 0 : 2);
                }
            }
        }
        EXPECT_EQ(wrong, 0) << c.width << " x " << c.length;
    }
}

// Fitting 1000 × 3 into 300 × 300 leaves 300 × 0: like the window, an empty schematic; a preview
// of no pixels cannot be written. Kept at 40000 × 1 it is beyond what a schematic can hold.
TEST(ConvertCommand, PicturesThatFitToNothingOrAreTooWide) {
    TempFolder folder;
    WriteBytes(folder / "t.txt", "1,0,0,0,0\n");
    SavePicture(MakeImage(1000, 3, [](int, int) { return qRgb(0, 0, 0); }), folder / "thin.png");
    auto result = RunCli({"convert", (folder / "thin.png").string(), "--palette",
                          (folder / "t.txt").string(), "--preview", (folder / "p.png").string()});
    EXPECT_EQ(result.code, EXIT_FILE_FAILED);
    EXPECT_TRUE(Has(result.err, "300 x 0")) << result.err;
    EXPECT_FALSE(fs::exists(folder / "p.png"));
    EXPECT_EQ(ReadBytes(folder / "thin.schematic"), ExpectedSchematic(300, 0, "", ""));
    result = RunCli({"convert", (folder / "thin.png").string(), "--palette", (folder / "t.txt").string()});
    EXPECT_EQ(result.code, EXIT_DONE);
    EXPECT_TRUE(Has(result.err, "note: " + (folder / "thin.png").string() + ": " +
                                    (folder / "thin.schematic").string() +
                                    " holds no block: the picture is 300 x 0 blocks"))
        << result.err;
    // The modern files cannot hold a side of 0: refused, and nothing written.
    for (const char* name : {"thin.schem", "thin.litematic"}) {
        result = RunCli({"convert", (folder / "thin.png").string(), "--palette",
                         (folder / "t.txt").string(), "-o", (folder / name).string()});
        EXPECT_EQ(result.code, EXIT_FILE_FAILED) << name;
        EXPECT_TRUE(Has(result.err, "needs at least one block each way; this picture is 300 x 0"))
            << result.err;
        EXPECT_FALSE(fs::exists(folder / name)) << name;
    }

    SavePicture(MakeImage(40000, 1, [](int, int) { return qRgb(0, 0, 0); }), folder / "line.png");
    result = RunCli({"convert", (folder / "line.png").string(), "--palette",
                     (folder / "t.txt").string(), "--no-fit"});
    EXPECT_EQ(result.code, EXIT_FILE_FAILED);
    EXPECT_TRUE(
        Has(result.err, "line.png: the picture is 40000 x 1 pixels; a side may be at most 32767"))
        << result.err;
    EXPECT_TRUE(Has(result.err, "--fit would make it 300 x 0")) << result.err;
    EXPECT_FALSE(fs::exists(folder / "line.schematic"));

    // Refused by its header: this one holds no pixels at all, so a decode would call it unreadable.
    WriteBytes(folder / "wide.png", testing::PngHeaderClaiming(40000, 6000));
    result = RunCli({"convert", (folder / "wide.png").string(), "--palette",
                     (folder / "t.txt").string(), "--no-fit"});
    EXPECT_EQ(result.code, EXIT_FILE_FAILED);
    EXPECT_TRUE(Has(result.err, "wide.png: the picture is 40000 x 6000 pixels; a side may be at most "
                                "32767 (--fit would make it 300 x 45)"))
        << result.err;
}

#ifndef _WIN32
// A FIFO would block the open forever: pictures and tables must be regular files.
TEST(ConvertCommand, PicturesAndTablesThatAreNoRegularFilesAreRefused) {
    TempFolder folder;
    WriteBytes(folder / "t.txt", "1,0,0,0,0\n");
    SavePicture(MakeImage(2, 2, [](int, int) { return qRgb(1, 1, 1); }), folder / "a.png");
    ASSERT_EQ(mkfifo((folder / "fifo.png").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((folder / "fifo.txt").c_str(), 0600), 0);
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{(folder / "fifo.png").string(), "--palette", (folder / "t.txt").string()},
         (folder / "fifo.png").string() + ": cannot open the file: it is a FIFO, not a regular file"},
        {{(folder / "a.png").string(), "--palette", (folder / "fifo.txt").string()},
         (folder / "fifo.txt").string() + ": cannot be opened for reading: it is a FIFO"},
        {{(folder / "a.png").string(), "--palette", "/dev/zero"}, "/dev/zero: cannot be opened for reading: it is a device"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"convert", "-o", (folder / "out.schematic").string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto result = RunCli(args);
        EXPECT_EQ(result.code, EXIT_FILE_FAILED) << c.message;
        EXPECT_TRUE(Has(result.err, c.message)) << result.err;
        EXPECT_FALSE(fs::exists(folder / "out.schematic")) << c.message;
    }
}
#endif

TEST(ConvertCommand, BatchGoesOnPastBrokenPicturesAndNamesThem) {
    TempFolder folder;
    WriteBytes(folder / "t.txt", "1,0,0,0,0\n");
    SavePicture(MakeImage(2, 2, [](int, int) { return qRgb(9, 9, 9); }), folder / "first.png");
    WriteBytes(folder / "broken.jpg", "this is not a picture");
    WriteBytes(folder / "huge.png", testing::PngHeaderClaiming(100000, 100000));
    WriteBytes(folder / "last.bmp", testing::Bmp24(3, 1, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}));
    const auto result = RunCli({"convert", "--palette", (folder / "t.txt").string(),
                                (folder / "first.png").string(), (folder / "broken.jpg").string(),
                                (folder / "huge.png").string(), (folder / "missing.png").string(),
                                (folder / "last.bmp").string()});
    EXPECT_EQ(result.code, EXIT_FILE_FAILED);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(ReadSchematic(folder / "first.schematic").blocks, std::string(4, '\x01'));
    EXPECT_EQ(ReadSchematic(folder / "last.schematic").blocks, std::string(3, '\x01'));
    for (const char* failed : {"broken", "huge", "missing"}) {
        EXPECT_FALSE(fs::exists(folder / (std::string(failed) + ".schematic"))) << failed;
    }
    const auto broken = result.err.find("broken.jpg: the picture cannot be read");
    const auto huge = result.err.find(
        "huge.png: the picture is 100000 x 100000 pixels; at most "
        "268435456 pixels are allowed");
    const auto missing = result.err.find("missing.png: cannot open the file");
    EXPECT_TRUE(broken != std::string::npos && huge != std::string::npos &&
                missing != std::string::npos)
        << result.err;
    EXPECT_TRUE(broken < huge && huge < missing) << "failures out of order:\n" << result.err;
    EXPECT_TRUE(Has(result.err, "3 of 5 pictures failed")) << result.err;
}

// "p3.png" (built by appending: GCC 12 warns wrongly on "literal" + std::string).
std::string Numbered(int i, const char* ending) {
    std::string name = "p";
    name += std::to_string(i);
    name += ending;
    return name;
}

// Several workers, one result: the files and everything printed are the same with one job or
// three, in the order the pictures were given.
TEST(ConvertCommand, JobsChangeNothingButTheSpeed) {
    TempFolder folder;
    WriteBytes(folder / "t.txt",
               "1,0,0,0,0,Black\n2,0,255,255,255,White\n3,0,255,0,0,Red\n"
               "4,0,0,0,255,Blue\n");
    std::vector<std::string> pictures;
    std::mt19937 random(7);
    for (int i = 0; i < 8; ++i) {
        const fs::path path = folder / Numbered(i, ".png");
        if (i == 3) {
            WriteBytes(path, "broken");
        } else {
            // Sizes from tiny to one that the core converts on two threads.
            const int side = i == 5 ? 700 : 5 + i * 9;
            SavePicture(MakeImage(side, side, [&](int, int) { return random() | 0xFF000000u; }),
                        path);
        }
        pictures.push_back(path.string());
    }
    // The memory budget too: of 1 byte, every picture needs more than all of it and runs alone;
    // of 80 MiB, two or three small ones fit at a time (each needs 32 MiB and its pixels).
    struct Run {
        const char* jobs;
        std::uint64_t memory;
    };
    const Run runs[] = {{"1", 0}, {"3", 0}, {"3", 1}, {"4", std::uint64_t{80} << 20}};
    std::vector<testing::CliResult> results;
    for (const Run& run : runs) {
        const fs::path out = folder / ("jobs" + std::to_string(&run - runs));
        fs::create_directory(out);
        std::vector<std::string> args = {
            "convert", "-q",        "--no-fit",  "--materials",
            "-j",      run.jobs,    "--palette", (folder / "t.txt").string(),
            "-o",      out.string()};
        args.insert(args.end(), pictures.begin(), pictures.end());
        cli::Environment environment;
        environment.memory = run.memory;
        results.push_back(RunCli(args, environment));
        EXPECT_EQ(results.back().code, EXIT_FILE_FAILED);
    }
    for (std::size_t r = 1; r < std::size(runs); ++r) {
        EXPECT_EQ(results[0].out, results[r].out) << r;
        EXPECT_EQ(results[0].err, results[r].err) << r;
        for (int i = 0; i < 8; ++i) {
            if (i == 3) continue;
            const std::string name = Numbered(i, ".schematic");
            EXPECT_EQ(ReadBytes(folder / "jobs0" / name), ReadBytes(folder / ("jobs" + std::to_string(r)) / name))
                << r << " " << name;
        }
    }
    std::size_t at = 0;
    for (int i = 0; i < 8; ++i) {
        if (i == 3) continue;
        at = results[2].out.find(Numbered(i, ".png ("), at);
        ASSERT_NE(at, std::string::npos) << "p" << i << " missing or out of order";
    }
}

TEST(ConvertCommand, MaterialsCountEachBlockOnce) {
    TempFolder folder;
    // 35:14 twice (two shades of red wool): one material, named after the earlier entry.
    WriteBytes(folder / "t.txt",
               "2,3,20,0,0,Dark\n1,0,0,0,0,Black\n35,14,230,0,0, Red Wool \n"
               "35,14,100,0,0,Dim red\n7,0,0,0,255\n9,9,0,255,0,Unused\n");
    const char* rows[3] = {"RRRB", "DdK.", "K.RD"};
    auto color = [](char c) {
        switch (c) {
            case 'R': return qRgb(230, 0, 0);
            case 'd': return qRgb(100, 0, 0);
            case 'K': return qRgb(0, 0, 0);
            case 'D': return qRgb(20, 0, 0);
            case 'B': return qRgb(0, 0, 255);
        }
        return qRgba(0, 0, 0, 0);
    };
    SavePicture(MakeImage(4, 3, [&](int x, int y) { return color(rows[y][x]); }), folder / "a.png");
    fs::copy_file(folder / "a.png", folder / "b.png");
    const std::string bill =
        " 5  35:14    Red Wool\n"
        " 2  1:0      Black\n"
        " 2  2:3      Dark\n"
        " 1  7:0\n"
        "10  blocks in total, 4 kinds\n"
        " 2  places without a block\n";
    auto result = RunCli({"convert", "--materials", "--palette", (folder / "t.txt").string(),
                          (folder / "a.png").string()});
    ASSERT_EQ(result.code, EXIT_DONE) << result.err;
    EXPECT_EQ(result.out, bill);

    result = RunCli({"convert", "--materials", "--palette", (folder / "t.txt").string(),
                     (folder / "a.png").string(), (folder / "b.png").string()});
    ASSERT_EQ(result.code, EXIT_DONE) << result.err;
    EXPECT_EQ(result.out, (folder / "a.png").string() + " (4 x 3):\n" + bill + "\n" +
                              (folder / "b.png").string() + " (4 x 3):\n" + bill + "\n" +
                              "all 2 pictures:\n"
                              "10  35:14    Red Wool\n"
                              " 4  1:0      Black\n"
                              " 4  2:3      Dark\n"
                              " 2  7:0\n"
                              "20  blocks in total, 4 kinds\n"
                              " 4  places without a block\n");
}

// --match and --dither reach every output by every road a picture takes (kept at its own size, or
// drawn smaller with --fit): the schematic, the preview and --materials all show the blocks that
// the conversion with that choice gives for the decoded picture.
TEST(ConvertCommand, MatchAndDitherReachEveryOutput) {
    TempFolder folder;
    // Entry i has block id i + 1 and data i - 1 (0 for the first), so a block names its entry.
    const std::string palette = "1,0,0,0,0\n2,0,255,255,255\n3,1,200,40,30\n4,2,30,60,190\n5,3,90,160,60\n";
    WriteBytes(folder / "t.txt", palette);
    ColorTable table;
    ASSERT_TRUE(ParseColorTable(palette, table).ok());
    // Smooth color everywhere, and a transparent square.
    const auto pixel = [](int x, int y) {
        if (x >= 10 && x < 16 && y >= 8 && y < 14) return qRgba(0, 0, 0, 0);
        return qRgb(40 + x * 3, 20 + y * 4, 200 - x * 2);
    };
    SavePicture(MakeImage(64, 48, pixel), folder / "small.png");
    SavePicture(MakeImage(640, 480, [&](int x, int y) { return pixel(x / 10, y / 10); }),
                folder / "large.png");
    struct Case {
        const char* name;
        std::vector<std::string> options;
        const char* picture;
        ConversionChoice choice;
    };
    const Case cases[] = {
        {"perceptual, own size", {"--match", "perceptual"}, "small.png", {MatchMode::Perceptual}},
        {"floyd-steinberg, own size", {"--dither=floyd-steinberg"}, "small.png",
         {MatchMode::Rgb, DitherMode::FloydSteinberg}},
        {"both, own size, --no-fit", {"--no-fit", "--match=perceptual", "--dither", "floyd-steinberg"},
         "small.png", {MatchMode::Perceptual, DitherMode::FloydSteinberg}},
        {"ordered, drawn smaller", {"--fit", "--dither=ordered"}, "large.png",
         {MatchMode::Rgb, DitherMode::Ordered}},
        {"perceptual, drawn smaller", {"--match=perceptual"}, "large.png", {MatchMode::Perceptual}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"convert", "-q", "--materials", "--palette",
                                         (folder / "t.txt").string(), "-o",
                                         (folder / "out.schematic").string(), "--preview",
                                         (folder / "out.png").string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back((folder / c.picture).string());
        const auto result = RunCli(args);
        ASSERT_EQ(result.code, EXIT_DONE) << c.name << ": " << result.err;

        // Every output shows the same blocks.
        const SchematicFields schematic = ReadSchematic(folder / "out.schematic");
        const QImage written = LoadImage(folder / "out.png");
        ASSERT_EQ(written.size(), QSize(static_cast<int>(schematic.width),
                                        static_cast<int>(schematic.length))) << c.name;
        std::map<std::string, int> counts;
        for (int y = 0; y < written.height(); ++y) {
            for (int x = 0; x < written.width(); ++x) {
                const auto at = static_cast<std::size_t>(y) * static_cast<std::size_t>(written.width()) +
                                static_cast<std::size_t>(x);
                const auto id = static_cast<unsigned char>(schematic.blocks[at]);
                const QRgb shown = written.pixel(x, y);
                ASSERT_EQ(shown, id == 0 ? 0u : table.colors[id - 1u]) << c.name << " " << x << "," << y;
                if (id != 0) ++counts[std::to_string(id) + ":" + std::to_string(id == 1 ? 0 : id - 2)];
            }
        }
        for (const auto& [id, count] : counts) {
            EXPECT_TRUE(Has(result.out, std::to_string(count) + "  " + id)) << c.name << ": " << id;
        }

        // At its own size the blocks are those the conversion with that choice gives.
        const QImage source = LoadImage(folder / c.picture);
        if (source.width() > 300) {
            const auto plain = RunCli({"convert", "-q", "--palette", (folder / "t.txt").string(), "-o",
                                       (folder / "plain.schematic").string(),
                                       (folder / c.picture).string()});
            ASSERT_EQ(plain.code, EXIT_DONE) << plain.err;
            EXPECT_NE(ReadSchematic(folder / "plain.schematic").blocks, schematic.blocks) << c.name;
            continue;
        }
        const auto width = static_cast<std::uint32_t>(source.width());
        const auto height = static_cast<std::uint32_t>(source.height());
        std::vector<Pixel> topFirst;
        for (int y = 0; y < source.height(); ++y)
            for (int x = 0; x < source.width(); ++x) topFirst.push_back(source.pixel(x, y));
        PixelSurface preview;
        ASSERT_TRUE(preview.Create(width, height));
        BlockGrid grid;
        const SourceRows rows{topFirst.data() + std::size_t{height - 1} * width,
                              -std::ptrdiff_t{width}, width, height};
        ASSERT_TRUE(ConvertWithChoice(table, rows, c.choice, preview, grid));
        std::string blocks;
        for (std::uint32_t y = 0; y < height; ++y) {
            for (std::uint32_t x = 0; x < width; ++x) {
                const std::int32_t block = grid[std::size_t{height - 1 - y} * width + x];
                blocks.push_back(block == NO_BLOCK ? '\0' : static_cast<char>(block + 1));
            }
        }
        EXPECT_EQ(schematic.blocks, blocks) << c.name;
    }
}

struct PlanCase {
    const char* name;
    std::vector<std::string> args;  // "@" stands for the test's folder
    const char* reason;
    bool defaultTable = false;  // Colors.txt of the current folder, not --palette t.txt
};
void PrintTo(const PlanCase& c, std::ostream* os) { *os << c.name; }

class RefusedOutputs : public ::testing::TestWithParam<PlanCase> {};

TEST_P(RefusedOutputs, AreUsageErrorsBeforeAnythingIsWritten) {
    TempFolder folder;
    WriteBytes(folder / "t.txt", "1,0,0,0,0\n");
    WriteBytes(folder / "Colors.txt", "1,0,0,0,0\n");
    for (const char* name : {"a.png", "a.bmp", "b.png"}) {
        SavePicture(MakeImage(1, 1, [](int, int) { return qRgb(1, 1, 1); }), folder / name);
    }
    fs::create_directory(folder / "out");
    CurrentFolder inFolder(folder.path());
    std::vector<std::string> args = {"convert"};
    if (!GetParam().defaultTable) args.insert(args.end(), {"--palette", "t.txt"});
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const auto result = RunCli(args);
    EXPECT_EQ(result.code, EXIT_USAGE);
    EXPECT_TRUE(Has(result.err, GetParam().reason)) << result.err;
    for (const auto& entry : fs::recursive_directory_iterator(folder.path())) {
        EXPECT_NE(entry.path().extension(), ".schematic") << entry.path();
    }
    EXPECT_EQ(ReadBytes(folder / "t.txt"), "1,0,0,0,0\n");
    EXPECT_EQ(ReadBytes(folder / "Colors.txt"), "1,0,0,0,0\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cli, RefusedOutputs,
    ::testing::Values(
        PlanCase{"SeveralIntoOneFile", {"a.png", "b.png", "-o", "x.schematic"}, "is not a folder"},
        PlanCase{"SeveralPreviewsIntoOneFile",
                 {"a.png", "b.png", "--preview", "p.png"},
                 "--preview p.png is not a folder"},
        PlanCase{"SameNameBesideEachOther",
                 {"a.png", "b.png", "a.bmp"},
                 "a.schematic would be written twice"},
        PlanCase{"SameNameInAFolder",
                 {"a.png", "./out/../a.bmp", "-o", "out"},
                 "would be written twice"},
        PlanCase{"OverTheInput", {"a.png", "-o", "./a.png"}, "it is the picture a.png"},
        PlanCase{"OverTheNamedTable", {"a.png", "-o", "t.txt"}, "it is the color table t.txt"},
        PlanCase{"PreviewOverTheNamedTable",
                 {"a.png", "--preview", "out/../t.txt"},
                 "it is the color table t.txt"},
        PlanCase{"OverTheDefaultTable",
                 {"a.png", "-o", "./Colors.txt"},
                 "it is the color table Colors.txt",
                 true},
        PlanCase{"PreviewOverTheSchematic",
                 {"a.png", "--preview", "a.schematic"},
                 "would be written twice"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ConvertCommand, OutputFoldersAndWriteFailures) {
    TempFolder folder;
    WriteBytes(folder / "t.txt", "1,0,0,0,0\n");
    fs::create_directory(folder / "pictures");
    fs::create_directory(folder / "out");
    for (const char* name : {"a.png", "b.jpg"}) {
        SavePicture(MakeImage(2, 1, [](int, int) { return qRgb(1, 1, 1); }),
                    folder / "pictures" / name);
    }
    auto result =
        RunCli({"convert", "--palette", (folder / "t.txt").string(), "-o",
                (folder / "out").string(), "--preview", (folder / "out").string(),
                (folder / "pictures/a.png").string(), (folder / "pictures/b.jpg").string()});
    ASSERT_EQ(result.code, EXIT_DONE) << result.err;
    for (const char* name : {"a.schematic", "b.schematic", "a-blocks.png", "b-blocks.png"}) {
        EXPECT_TRUE(fs::exists(folder / "out" / name)) << name;
    }

    const fs::path nowhere = folder / "no-such-folder" / "a.schematic";
    result = RunCli({"convert", "--palette", (folder / "t.txt").string(), "-o", nowhere.string(),
                     (folder / "pictures/a.png").string()});
    EXPECT_EQ(result.code, EXIT_FILE_FAILED);
    EXPECT_TRUE(Has(result.err, "a.png: cannot open " + nowhere.string() + " for writing"))
        << result.err;
}

TEST(ConvertCommand, ProgressOnlyOnATerminalAndNotesOnlyWhenNotQuiet) {
    TempFolder folder;
    WriteBytes(folder / "t.txt", "1,0,0,0,0\n");
    SavePicture(MakeImage(2, 2, [](int, int) { return qRgb(1, 1, 1); }), folder / "a.png");
    SavePicture(MakeImage(2, 2, [](int, int) { return qRgb(1, 1, 1); }), folder / "b.png");
    // b.png gets a text chunk with a wrong checksum after its header, which libpng warns about and
    // skips: a remark on the picture, not a failure.
    std::string bytes = ReadBytes(folder / "b.png");
    bytes.insert(33, std::string("\0\0\0\3tEXtk\0v\0\0\0\0", 15));
    WriteBytes(folder / "b.png", bytes);
    const std::vector<std::string> batch = {"convert", "--palette", (folder / "t.txt").string(),
                                            (folder / "a.png").string(),
                                            (folder / "b.png").string()};
    Environment terminal;
    terminal.errorIsTerminal = true;

    auto result = RunCli(batch, terminal);
    EXPECT_EQ(result.code, EXIT_DONE);
    EXPECT_TRUE(Has(result.err, "\r\033[K[2/2] " + (folder / "b.png").string())) << result.err;
    EXPECT_TRUE(result.err.ends_with("\r\033[K")) << "the progress line is left behind";

    result = RunCli(batch, Environment{});
    EXPECT_EQ(result.code, EXIT_DONE);
    EXPECT_FALSE(Has(result.err, "\r")) << result.err;
    EXPECT_TRUE(Has(result.err, "color table")) << result.err;
    EXPECT_TRUE(Has(result.err, "tesselbox-cli: note: " + (folder / "b.png").string() + ": libpng warning: tEXt: CRC error\n"))
        << result.err;
    EXPECT_FALSE(Has(result.err, "a.png: libpng")) << result.err;

    auto quiet = batch;
    quiet.emplace_back("-q");
    result = RunCli(quiet, terminal);
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace tesselbox::cli

namespace tesselbox::cli {
namespace {

// The block file formats from the command line: which file each line writes, and in what form.
struct FormatCase {
    const char* name;
    std::vector<std::string> args;  // after "convert six.png --palette t.txt"; "@" is the folder
    const char* file;               // what must then exist in the folder
    const char* kind;               // "plain", "gzip", "schem2", "schem3", "litematic"
    const char* version;            // the game version whose DataVersion the file carries
};
void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class ConvertFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ConvertFormats, WriteTheChosenFormat) {
    const FormatCase& c = GetParam();
    TempFolder folder;
    SavePicture(SixPixelPicture(), folder / "six.png");
    WriteBytes(folder / "t.txt", "1,0,0,0,0\n2,0,20,0,0\n35,14,230,0,0\n");
    fs::create_directory(folder / "out");
    std::vector<std::string> args = {"convert", (folder / "six.png").string(), "--palette", (folder / "t.txt").string()};
    for (const std::string& arg : c.args) args.push_back(arg[0] == '@' ? (folder / arg.substr(1)).string() : arg);
    const auto result = RunCli(args);
    ASSERT_EQ(result.code, EXIT_DONE) << result.err;
    const std::string bytes = ReadBytes(folder / c.file);
    const std::string kind = c.kind;
    std::string nbt;
    ASSERT_EQ(testing::Gunzip(bytes, nbt), kind != "plain");
    if (kind == "plain" || kind == "gzip") {
        ASSERT_EQ(RunCli({"convert", (folder / "six.png").string(), "--palette", (folder / "t.txt").string(),
                          "-o", (folder / "plain.schematic").string()}).code, EXIT_DONE);
        EXPECT_EQ(kind == "plain" ? bytes : nbt, ReadBytes(folder / "plain.schematic"));
        return;
    }
    std::string error;
    const testing::NbtNode root = testing::ReadNbt(nbt, error);
    ASSERT_EQ(error, "");
    const testing::DecodedFile file = kind == "litematic" ? testing::DecodeLitematic(root) : testing::DecodeSchem(root);
    ASSERT_EQ(file.error, "");
    EXPECT_EQ(root.name == "" && kind != "litematic", kind == "schem3");
    EXPECT_EQ(file.dataVersion, FindGameVersion(c.version)->dataVersion);
    // The six-pixel picture: red wool, grass, stone over air, grass, stone (top row first).
    EXPECT_EQ(file.cells, (std::vector<std::string>{"minecraft:air", "minecraft:red_wool", "minecraft:stone",
                                                    "minecraft:air", "minecraft:grass_block[snowy=false]",
                                                    "minecraft:stone"}));
}

INSTANTIATE_TEST_SUITE_P(
    Cli, ConvertFormats,
    ::testing::Values(
        FormatCase{"SchematicStaysPlain", {"-o", "@a.schematic"}, "a.schematic", "plain", "26.1"},
        FormatCase{"GzipSchematic", {"--gzip", "-o", "@a.schematic"}, "a.schematic", "gzip", "26.1"},
        FormatCase{"SchemByExtension", {"-o", "@a.schem"}, "a.schem", "schem2", "26.1"},
        FormatCase{"SchemVersion3ForAVersion", {"-o", "@a.schem", "--schem-version=3", "--mc-version", "1.16.5"},
                   "a.schem", "schem3", "1.16.5"},
        FormatCase{"FormatOverridesTheExtension", {"--format", "litematic", "-o", "@a.schem"}, "a.schem",
                   "litematic", "26.1"},
        FormatCase{"FormatNamesTheExtensionInAFolder", {"--format=litematic", "--mc-version=1.20.4", "-o", "@out"},
                   "out/six.litematic", "litematic", "1.20.4"},
        FormatCase{"FormatBesideThePicture", {"--format", "schem"}, "six.schem", "schem2", "26.1"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ConvertCommand, ModernFormatsRefuseABlockWithoutANameAndWriteNothing) {
    TempFolder folder;
    SavePicture(SixPixelPicture(), folder / "six.png");
    WriteBytes(folder / "t.txt", "1,0,0,0,0\n# a remark\n253,0,20,0,0\n");
    const std::string picture = (folder / "six.png").string();
    const std::string table = (folder / "t.txt").string();
    auto result = RunCli({"convert", picture, "--palette", table, "-o", (folder / "a.litematic").string()});
    EXPECT_EQ(result.code, EXIT_FILE_FAILED);
    EXPECT_TRUE(Has(result.err, "t.txt: color table line 3: block 253:0 has no block name in Minecraft 26.1"))
        << result.err;
    EXPECT_FALSE(fs::exists(folder / "a.litematic"));
    result = RunCli({"convert", picture, "--palette", table, "--materials", "--mc-version", "1.13.2"});
    EXPECT_EQ(result.code, EXIT_DONE) << result.err;  // the .schematic needs no name
    EXPECT_TRUE(Has(result.out, "253:0    -")) << result.out;
    EXPECT_TRUE(Has(result.out, "1:0      minecraft:stone")) << result.out;
    for (const char* wrong : {"--mc-version=1.12.2", "--schem-version=1", "--format=structure"}) {
        EXPECT_EQ(RunCli({"convert", picture, wrong}).code, EXIT_USAGE) << wrong;
    }
}

}  // namespace
}  // namespace tesselbox::cli
