// The command line: what each spelling of an option means, and lines that are refused.
#include "cli/Options.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace tesselbox::cli {
namespace {

using testing::RunCli;

struct SpellingCase {
    const char* name;
    std::vector<std::string> args;
    ConvertOptions expected;
};
void PrintTo(const SpellingCase& c, std::ostream* os) { *os << c.name; }

class ConvertSpelling : public ::testing::TestWithParam<SpellingCase> {};

TEST_P(ConvertSpelling, MeansWhatItSays) {
    const ParsedArguments parsed = ParseArguments(GetParam().args);
    ASSERT_EQ(parsed.usageError, "");
    ASSERT_EQ(parsed.command, Command::Convert);
    EXPECT_TRUE(parsed.convert == GetParam().expected);
}

using Paths = std::vector<std::filesystem::path>;

INSTANTIATE_TEST_SUITE_P(
    Cli, ConvertSpelling,
    ::testing::Values(
        SpellingCase{"Defaults", {"convert", "a.png"}, {.pictures = {"a.png"}}},
        SpellingCase{
            "ShortOutput", {"convert", "-o", "x", "a.png"}, {.pictures = {"a.png"}, .output = "x"}},
        SpellingCase{"ShortOutputAttached",
                     {"convert", "-ox", "a.png"},
                     {.pictures = {"a.png"}, .output = "x"}},
        SpellingCase{"LongOutputWithEquals",
                     {"convert", "a.png", "--output=x"},
                     {.pictures = {"a.png"}, .output = "x"}},
        SpellingCase{"LastFitWins",
                     {"convert", "--no-fit", "a.png", "--fit"},
                     {.pictures = {"a.png"}, .fit = true}},
        SpellingCase{"LastNoFitWins",
                     {"convert", "--fit", "--no-fit", "a.png"},
                     {.pictures = {"a.png"}, .fit = false}},
        SpellingCase{
            "PicturesAroundOptions",
            {"convert", "a.png", "--materials", "b.bmp", "--preview", "p.png", "c.jpg"},
            {.pictures = Paths{"a.png", "b.bmp", "c.jpg"}, .preview = "p.png", .materials = true}},
        SpellingCase{"DashDashEndsOptions",
                     {"convert", "--", "--fit", "-o"},
                     {.pictures = Paths{"--fit", "-o"}}},
        SpellingCase{"EveryOtherOption",
                     {"convert", "-j", "3", "--palette=t.txt", "a.png", "-q", "--jobs=4"},
                     {.pictures = {"a.png"}, .palette = "t.txt", .quiet = true, .jobs = 4}},
        SpellingCase{"MatchAndDither",
                     {"convert", "--match", "perceptual", "a.png", "--dither=floyd-steinberg"},
                     {.pictures = {"a.png"},
                      .choice = {MatchMode::Perceptual, DitherMode::FloydSteinberg}}},
        SpellingCase{"RefinedDither",
                     {"convert", "--refine", "--dither", "floyd-steinberg", "a.png"},
                     {.pictures = {"a.png"}, .choice = {MatchMode::Rgb, DitherMode::FloydSteinberg, true}}},
        SpellingCase{"StructureOptions",
                     {"convert", "--format=mcstructure", "--orientation", "wall", "--split=48",
                      "--bedrock-version", "1.19.1", "a.png"},
                     {.pictures = {"a.png"},
                      .format = BlockFileFormat::McStructure,
                      .bedrockVersion = FindBedrockVersion("1.19.1"),
                      .orientation = Orientation::Wall,
                      .split = 48}},
        SpellingCase{"LastChoiceWins",
                     {"convert", "--dither=ordered", "--match=perceptual", "--match", "rgb",
                      "--dither", "none", "a.png"},
                     {.pictures = {"a.png"}}}),
    [](const auto& test) { return std::string(test.param.name); });

struct RefusedCase {
    const char* name;
    std::vector<std::string> args;
    const char* reason;  // part of the message
};
void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedLine : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedLine, IsAUsageErrorWithNothingOnStdout) {
    const auto result = RunCli(GetParam().args);
    EXPECT_EQ(result.code, EXIT_USAGE);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find(GetParam().reason), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Usage: tesselbox-cli convert"), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cli, RefusedLine,
    ::testing::Values(
        RefusedCase{"NoCommand", {}, "no command given"},
        RefusedCase{"UnknownCommand", {"paint", "a.png"}, "unknown command \"paint\""},
        RefusedCase{"UnknownTopOption", {"--verbose"}, "unknown option --verbose"},
        RefusedCase{"NoPicture", {"convert", "--fit"}, "at least one picture"},
        RefusedCase{"UnknownOption", {"convert", "--shrink", "a.png"}, "unknown option --shrink"},
        RefusedCase{
            "OptionLookalike", {"convert", "--fitting", "a.png"}, "unknown option --fitting"},
        RefusedCase{"OutputWithoutValue", {"convert", "a.png", "-o"}, "-o needs a value"},
        RefusedCase{"EmptyPalette", {"convert", "--palette=", "a.png"}, "--palette needs a value"},
        RefusedCase{"PreviewWithoutValue", {"convert", "a.png", "--preview"}, "--preview needs"},
        RefusedCase{"JobsZero", {"convert", "-j", "0", "a.png"}, "from 1 to 256"},
        RefusedCase{"JobsNotANumber", {"convert", "--jobs=two", "a.png"}, "not \"two\""},
        RefusedCase{"UnknownMatch", {"convert", "--match=lab", "a.png"},
                    "--match takes rgb or perceptual, not \"lab\""},
        RefusedCase{"UnknownDither", {"convert", "a.png", "--dither", "fs"},
                    "--dither takes none, floyd-steinberg or ordered, not \"fs\""},
        RefusedCase{"DitherWithoutValue", {"convert", "a.png", "--dither"}, "--dither needs a value"},
        RefusedCase{"RefineWithoutDiffusion", {"convert", "--refine", "--dither=ordered", "a.png"},
                    "--refine refines Floyd-Steinberg's choices: add --dither floyd-steinberg"},
        RefusedCase{"SplitZero", {"convert", "--split=0", "a.png"}, "--split takes a number of blocks from 1"},
        RefusedCase{"SplitNegative", {"convert", "--split", "-48", "a.png"}, "not \"-48\""},
        RefusedCase{"UnknownOrientation", {"convert", "--orientation=up", "a.png"}, "floor or wall, not \"up\""},
        RefusedCase{"UnknownBedrockVersion", {"convert", "--bedrock-version=1.2", "a.png"}, "1.19.1, 1.20.71"},
        RefusedCase{"UnknownFormat", {"convert", "--format=nbtx", "a.png"}, "nbt or mcstructure, not \"nbtx\""},
        RefusedCase{"TwoPalettes", {"palette", "a.txt", "b.txt"}, "one file, not several"},
        RefusedCase{"PaletteOption", {"palette", "--fit"}, "unknown option --fit for palette"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Cli, HelpAndVersionGoToStdout) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"help"}, {"convert", "a.png", "--help"}, {"palette", "-h"}}) {
        const auto result = RunCli(args);
        EXPECT_EQ(result.code, EXIT_DONE) << args.front();
        EXPECT_NE(result.out.find("--no-fit"), std::string::npos);
        EXPECT_EQ(result.err, "");
    }
    const auto version = RunCli({"--version"});
    EXPECT_EQ(version.code, EXIT_DONE);
    EXPECT_EQ(version.out, "tesselbox-cli 1.0.0.0\n");
}

}  // namespace
}  // namespace tesselbox::cli
