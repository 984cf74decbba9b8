// ConvertToBlocks against the plain scan, on synthetic pictures and random color tables. Each case
// runs beside its baseline in the same process; the table printed at the end gives the medians and
// the ratios. The plain scan of a full-size picture runs on every k-th row and is scaled up. A second
// table times every match and dithering choice against the default one on the same pictures, with
// 1000 random colors and with the shipped modern table.
#include "convert/ConvertToBlocks.h"
#include "convert/Dither.h"
#include "convert/MapArt.h"
#include "palette/BlockChoice.h"
#include "palette/ColorMatch.h"
#include "palette/NearestColorIndex.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tesselbox;

// splitmix64: the same pictures and tables with every compiler and standard library.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

private:
    std::uint64_t state_;
};

ColorTable RandomTable(int count, std::uint64_t seed) {
    Random random(seed);
    ColorTable table;
    for (int i = 0; i < count; ++i) {
        const auto bits = static_cast<std::uint32_t>(random.Next());
        table.colors[static_cast<std::size_t>(i)] = 0xFF000000u | (bits & 0x00FFFFFFu);
    }
    table.count = count;
    return table;
}

// Smooth noise on a grid of `cells` across the picture's width, interpolated with smoothstep.
class ValueNoise {
public:
    ValueNoise(int cellsAcross, double aspect, Random& random)
        : across_(cellsAcross + 2),
          down_(static_cast<int>(cellsAcross * aspect) + 2),
          scale_(cellsAcross) {
        values_.resize(static_cast<std::size_t>(across_ * down_));
        for (double& v : values_) v = random.Unit() * 2.0 - 1.0;
    }
    // u across [0, 1), v down [0, aspect).
    double At(double u, double v) const {
        const double x = u * scale_, y = v * scale_;
        const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
        const double fx = Smooth(x - x0), fy = Smooth(y - y0);
        auto value = [&](int cx, int cy) {
            return values_[static_cast<std::size_t>(cy * across_ + cx)];
        };
        const double top = value(x0, y0) + (value(x0 + 1, y0) - value(x0, y0)) * fx;
        const double bottom = value(x0, y0 + 1) + (value(x0 + 1, y0 + 1) - value(x0, y0 + 1)) * fx;
        return top + (bottom - top) * fy;
    }

private:
    static double Smooth(double t) { return t * t * (3.0 - 2.0 * t); }
    int across_, down_;
    double scale_;
    std::vector<double> values_;
};

// Like a photo: brightness and tint vary smoothly at a few scales, the channels move together, and
// every pixel carries a few levels of grain, so neighbours rarely share an exact color.
void PaintPhotoLike(PixelSurface& surface, std::uint64_t seed) {
    Random random(seed);
    const double aspect = static_cast<double>(surface.height()) / surface.width();
    const ValueNoise light[] = {ValueNoise(3, aspect, random), ValueNoise(9, aspect, random),
                                ValueNoise(40, aspect, random)};
    const ValueNoise warm(4, aspect, random), green(5, aspect, random);
    for (std::uint32_t y = 0; y < surface.height(); ++y) {
        const double v = static_cast<double>(y) / surface.width();
        for (std::uint32_t x = 0; x < surface.width(); ++x) {
            const double u = static_cast<double>(x) / surface.width();
            const double l =
                128 + 90 * light[0].At(u, v) + 35 * light[1].At(u, v) + 12 * light[2].At(u, v);
            const double a = 45 * warm.At(u, v), b = 30 * green.At(u, v);
            const std::uint64_t grain = random.Next();
            auto channel = [&](double value, int shift) {
                const double noisy = value + static_cast<int>((grain >> shift) % 7) - 3;
                return static_cast<std::uint8_t>(std::clamp(noisy, 0.0, 255.0));
            };
            surface.At(x, y) = MakePixel(channel(l + a, 0), channel(l - 0.3 * a + b, 8),
                                         channel(l - a - 0.5 * b, 16));
        }
    }
}

void PaintNoise(PixelSurface& surface, std::uint64_t seed) {
    Random random(seed);
    Pixel* bits = surface.bits();
    for (std::uint64_t i = 0; i < surface.pixelCount(); ++i) {
        bits[i] = 0xFF000000u | static_cast<std::uint32_t>(random.Next());
    }
}

enum class Kind { Photo, Noise };

struct Scene {
    ColorTable table;
    PixelSurface source;
    PixelSurface preview;  // every source pixel is opaque, so each run overwrites all of it
    BlockGrid fastGrid;
    BlockGrid plainGrid;  // NO_BLOCK on the rows the sampled plain scan skipped
};

// entries 0: the shipped modern table.
Scene& SceneFor(Kind kind, std::uint32_t width, std::uint32_t height, int entries) {
    static std::map<std::string, std::unique_ptr<Scene>> scenes;
    const std::string key = std::to_string(static_cast<int>(kind)) + "/" + std::to_string(width) +
                            "x" + std::to_string(height) + "/" + std::to_string(entries);
    std::unique_ptr<Scene>& scene = scenes[key];
    if (!scene) {
        scene = std::make_unique<Scene>();
        if (entries > 0) {
            scene->table = RandomTable(entries, 1000 + static_cast<std::uint64_t>(entries));
        } else {
            MakeModernTable(scene->table);
        }
        scene->source.Create(width, height);
        scene->preview.Create(width, height);
        if (kind == Kind::Photo) {
            PaintPhotoLike(scene->source, 7);
        } else {
            PaintNoise(scene->source, 11);
        }
    }
    return *scene;
}

// The reference conversion: one thread, a full scan of the table per opaque pixel.
void PlainConvert(const ColorTable& table, const PixelSurface& source, PixelSurface& preview,
                  BlockGrid& grid, std::uint32_t rowStep) {
    const std::size_t width = source.width();
    grid.assign(static_cast<std::size_t>(source.pixelCount()), NO_BLOCK);
    for (std::size_t row = 0; row < source.height(); row += rowStep) {
        for (std::size_t i = row * width; i < (row + 1) * width; ++i) {
            const Pixel pixel = source.bits()[i];
            if (AlphaOf(pixel) < ALPHA_THRESHOLD) continue;
            const std::int32_t k = FindNearestColor(table, pixel);
            grid[i] = k;
            preview.bits()[i] = table.colors[static_cast<std::size_t>(k)];
        }
    }
}

void Plain(benchmark::State& state, Scene& scene, std::uint32_t rowStep) {
    const std::uint32_t rows = (scene.source.height() + rowStep - 1) / rowStep;
    const double scale = static_cast<double>(scene.source.height()) / rows;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        PlainConvert(scene.table, scene.source, scene.preview, scene.plainGrid, rowStep);
        benchmark::DoNotOptimize(scene.plainGrid.data());
        const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(spent.count() * scale);
    }
}

void Fast(benchmark::State& state, Scene& scene) {
    for (auto _ : state) {
        if (!ConvertToBlocks(scene.table, scene.source, scene.preview, scene.fastGrid)) {
            state.SkipWithError("no memory for the block grid");
            break;
        }
        benchmark::DoNotOptimize(scene.fastGrid.data());
    }
    // A fast result that differs from the plain scan's makes the whole run worthless.
    for (std::size_t i = 0; i < scene.plainGrid.size(); ++i) {
        if (scene.plainGrid[i] != NO_BLOCK && scene.plainGrid[i] != scene.fastGrid[i]) {
            state.SkipWithError("the fast conversion differs from the plain scan");
            break;
        }
    }
}

// One choice on a scene; a fresh index every run, as the window's menu makes one.
void Choice(benchmark::State& state, Scene& scene, ConversionChoice choice) {
    BlockGrid grid;
    for (auto _ : state) {
        if (!ConvertWithChoice(scene.table, scene.source, choice, scene.preview, grid)) {
            state.SkipWithError("no memory for the block grid");
            break;
        }
        benchmark::DoNotOptimize(grid.data());
    }
}

// Map art of a photo-like picture of W x H maps: the matching against the map colors, then every
// map's heights and blocks; beside it the matching alone, the same as block art's.
struct MapCase {
    MapMode mode;
    std::uint32_t maps;  // a side
    double targetMs;
};
struct MapScene {
    MapPalette palette;
    PixelSurface source, preview;
};

void MapBench(benchmark::State& state, const MapCase& c, bool build) {
    static std::map<std::string, std::unique_ptr<MapScene>> scenes;
    std::unique_ptr<MapScene>& scene = scenes[std::string(MapModeName(c.mode)) + std::to_string(c.maps)];
    if (!scene) {
        scene = std::make_unique<MapScene>();
        MapPaletteRequest request;
        request.mode = c.mode;
        if (MakeMapPalette(request, scene->palette)) state.SkipWithError("no map palette");
        scene->source.Create(c.maps * MAP_ART_SIDE, c.maps * MAP_ART_SIDE);
        scene->preview.Create(c.maps * MAP_ART_SIDE, c.maps * MAP_ART_SIDE);
        PaintPhotoLike(scene->source, 5);
    }
    const MapArtRequest request{c.mode, c.maps, c.maps, 0, nullptr};
    BlockGrid grid;
    MapArt art;
    for (auto _ : state) {
        if (!ConvertWithChoice(scene->palette.table, scene->source, {}, scene->preview, grid)) {
            state.SkipWithError("no memory for the block grid");
            break;
        }
        if (build) BuildMapArt(grid, scene->source.width(), scene->source.height(), scene->palette, request, art);
        benchmark::DoNotOptimize(art.pieces.data());
    }
}

std::string MapCaseName(const MapCase& c) {
    return "map " + std::to_string(c.maps) + "x" + std::to_string(c.maps) + " " + std::string(MapModeName(c.mode));
}

const MapCase MAP_CASES[] = {
    {MapMode::Flat, 1, 50}, {MapMode::Staircase, 1, 50}, {MapMode::Valley, 1, 50}, {MapMode::Staircase, 8, 1000},
};

struct Mode {
    const char* name;
    ConversionChoice choice;
};
const Mode MODES[] = {
    {"rgb", {MatchMode::Rgb, DitherMode::None}},
    {"perceptual", {MatchMode::Perceptual, DitherMode::None}},
    {"rgb + floyd-steinberg", {MatchMode::Rgb, DitherMode::FloydSteinberg}},
    {"perceptual + floyd-steinberg", {MatchMode::Perceptual, DitherMode::FloydSteinberg}},
    {"rgb + ordered", {MatchMode::Rgb, DitherMode::Ordered}},
    {"perceptual + ordered", {MatchMode::Perceptual, DitherMode::Ordered}},
};

// Every choice on a scene, named "mode NAME / CHOICE" for the second table.
void RegisterChoices(const std::string& name, Scene& scene) {
    for (const Mode& mode : MODES) {
        benchmark::RegisterBenchmark(("mode " + name + " / " + mode.name).c_str(),
                                     [&scene, choice = mode.choice](benchmark::State& state) {
                                         Choice(state, scene, choice);
                                     })
            ->UseRealTime()
            ->Iterations(1)
            ->Repetitions(5)
            ->ReportAggregatesOnly();
    }
}

struct Row {
    std::string name;
    std::uint64_t pixels = 0;
    double fastSeconds = 0;
    double plainSeconds = 0;
    bool plainSampled = false;
};

// Collects the median of every case and prints one table when all have run.
class RatioTable : public benchmark::BenchmarkReporter {
public:
    explicit RatioTable(std::vector<Row> rows) : rows_(std::move(rows)) {}

    bool ReportContext(const Context&) override { return true; }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.error_occurred) {
                std::fprintf(stderr, "%s: %s\n", name.c_str(), run.error_message.c_str());
                failed_ = true;
                continue;
            }
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") continue;
            const double seconds =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            for (Row& row : rows_) {
                if (name == row.name + " fast") row.fastSeconds = seconds;
                if (name == row.name + " plain") row.plainSeconds = seconds;
            }
            if (name.rfind("mode ", 0) == 0) modeSeconds_[name.substr(5)] = seconds;
            if (name.rfind("map ", 0) == 0) modeSeconds_[name] = seconds;
            std::fprintf(stderr, "  %-36s %10.3f ms\n", name.c_str(), seconds * 1e3);
        }
    }

    void Finalize() override {
        std::printf("search kernels: %s\n",
                    NearestColorIndex::Supports(SearchInstructions::Sse41)  ? "SSE4.1"
                    : NearestColorIndex::Supports(SearchInstructions::Sse2) ? "SSE2"
                                                                            : "plain C++");
        std::printf("%-30s %12s %12s %9s %10s\n", "case (median of runs)", "fast ms", "plain ms",
                    "speed-up", "fast ns/px");
        for (const Row& row : rows_) {
            if (row.fastSeconds <= 0 || row.plainSeconds <= 0) continue;
            std::printf("%-30s %12.3f %11.1f%s %8.0fx %10.2f\n", row.name.c_str(),
                        row.fastSeconds * 1e3, row.plainSeconds * 1e3, row.plainSampled ? "*" : " ",
                        row.plainSeconds / row.fastSeconds,
                        row.fastSeconds * 1e9 / static_cast<double>(row.pixels));
        }
        std::printf("* plain scan timed on a sample of rows and scaled to the whole picture\n");
        std::printf("\n%-30s %10s %10s %22s\n", "map art (median of runs)", "ms", "target", "x its matching alone");
        for (const MapCase& c : MAP_CASES) {
            const auto whole = modeSeconds_.find(MapCaseName(c)), matching = modeSeconds_.find(MapCaseName(c) + " matching");
            if (whole == modeSeconds_.end() || matching == modeSeconds_.end()) continue;
            std::printf("%-30s %10.2f %10.0f %22.2f\n", MapCaseName(c).c_str(), whole->second * 1e3, c.targetMs,
                        whole->second / matching->second);
        }
        if (modeSeconds_.empty()) return;
        std::printf("\n%-30s %-30s %10s %12s\n", "case (median of runs)", "match + dithering", "ms",
                    "x default");
        for (const Row& row : rows_) {
            const auto base = modeSeconds_.find(row.name + " / rgb");
            if (base == modeSeconds_.end()) continue;
            for (const Mode& mode : MODES) {
                const auto found = modeSeconds_.find(row.name + " / " + mode.name);
                if (found == modeSeconds_.end()) continue;
                std::printf("%-30s %-30s %10.2f %12.1f\n", row.name.c_str(), mode.name,
                            found->second * 1e3, found->second / base->second);
            }
        }
    }

    bool Failed() const { return failed_; }

private:
    std::vector<Row> rows_;
    std::map<std::string, double> modeSeconds_;
    bool failed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    struct Case {
        Kind kind;
        std::uint32_t width, height;
        int entries;
        std::uint32_t plainRowStep;  // 1: the whole picture
    };
    const Case cases[] = {
        {Kind::Photo, 300, 300, 16, 1},       {Kind::Photo, 300, 300, 256, 1},
        {Kind::Photo, 300, 300, 1000, 1},     {Kind::Noise, 300, 300, 16, 1},
        {Kind::Noise, 300, 300, 256, 1},      {Kind::Noise, 300, 300, 1000, 1},
        {Kind::Photo, 4000, 3000, 1000, 100}, {Kind::Noise, 4000, 3000, 1000, 100},
    };
    std::vector<Row> rows;
    for (const Case& c : cases) {
        Row row;
        row.name = std::string(c.kind == Kind::Photo ? "photo " : "noise ") +
                   std::to_string(c.width) + "x" + std::to_string(c.height) + " / " +
                   std::to_string(c.entries);
        row.pixels = std::uint64_t{c.width} * c.height;
        row.plainSampled = c.plainRowStep > 1;
        rows.push_back(row);
        Scene& scene = SceneFor(c.kind, c.width, c.height, c.entries);
        const double plainWork = static_cast<double>(row.pixels) * c.entries / c.plainRowStep;
        benchmark::RegisterBenchmark(
            (row.name + " plain").c_str(),
            [&scene, step = c.plainRowStep](benchmark::State& state) { Plain(state, scene, step); })
            ->UseManualTime()
            ->Iterations(plainWork > 1e7 ? 1 : 20)
            ->Repetitions(plainWork > 1e7 ? 3 : 5)
            ->ReportAggregatesOnly();
        benchmark::RegisterBenchmark((row.name + " fast").c_str(),
                                     [&scene](benchmark::State& state) { Fast(state, scene); })
            ->UseRealTime()
            ->MinTime(0.1)
            ->Repetitions(9)
            ->ReportAggregatesOnly();
        // The full-size choices are timed by bench/choices, beside ImageMagick.
        if (c.entries != 1000 || row.pixels > 1000000) continue;
        RegisterChoices(row.name, scene);
    }

    // The choices with the modern table, at the window's size.
    for (const Kind kind : {Kind::Photo, Kind::Noise}) {
        Row row;
        row.name = std::string(kind == Kind::Photo ? "photo " : "noise ") + "300x300 / modern";
        rows.push_back(row);
        Scene& scene = SceneFor(kind, 300, 300, 0);
        RegisterChoices(row.name, scene);
    }

    for (const MapCase& c : MAP_CASES) {
        for (const bool build : {true, false}) {
            benchmark::RegisterBenchmark((MapCaseName(c) + (build ? "" : " matching")).c_str(),
                                         [&c, build](benchmark::State& state) { MapBench(state, c, build); })
                ->UseRealTime()
                ->Iterations(c.maps > 1 ? 1 : 5)
                ->Repetitions(5)
                ->ReportAggregatesOnly();
        }
    }
    RatioTable table(rows);
    benchmark::RunSpecifiedBenchmarks(&table);
    benchmark::Shutdown();
    return table.Failed() ? 1 : 0;
}
