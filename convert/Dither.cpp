// Dithering works in linear light (or CIELAB, to compare), where mixing colors adds up as light
// does; each adjusted color is rounded to 8-bit sRGB and its nearest entry asked of the active
// match's index, which remembers it. The diffused color is kept inside the box the table's colors
// span, so error that no entry can pay back is dropped instead of piling up.
#include "convert/Dither.h"

#include "palette/Lab.h"
#include "palette/NearestColorIndex.h"
#include "palette/PerceptualMatch.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace tesselbox {
namespace {

// The active match's index.
class Matcher {
public:
    // `pixels`: how many it will be asked about.
    Matcher(const ColorTable& table, MatchMode mode, std::uint64_t pixels) {
        if (mode == MatchMode::Perceptual) {
            perceptual_ = std::make_unique<PerceptualIndex>(table, pixels);
        } else {
            rgb_ = std::make_unique<NearestColorIndex>(table);
        }
    }
    std::int32_t Find(Pixel pixel, std::int32_t hint) const {
        if (perceptual_) return perceptual_->Find(pixel, hint);
        // The diffused colors repeat: the last few answers save most searches.
        const std::size_t slot = (pixel * 0x9E3779B1u) >> 24;
        if (recent_[slot].color == (pixel | 0xFF000000u)) return recent_[slot].index;
        const std::int32_t index = rgb_->Find(pixel);
        recent_[slot] = {pixel | 0xFF000000u, index};
        return index;
    }
    // Whether several threads may ask at once.
    bool Shared() const { return perceptual_ != nullptr; }
    // Readies the index for colors near this one; only for a shared matcher.
    void Prepare(Pixel pixel) const { perceptual_->Prepare(pixel); }

private:
    struct Answer {
        Pixel color = 0;  // opaque when filled
        std::int32_t index = 0;
    };
    std::unique_ptr<PerceptualIndex> perceptual_;
    std::unique_ptr<NearestColorIndex> rgb_;
    // Used by one thread only: the RGB index is asked from one thread.
    mutable std::array<Answer, 256> recent_{};
};

struct Triple {
    float x = 0, y = 0, z = 0;
};

Triple ToTriple(const LinearRgb& c) {
    return {static_cast<float>(c.red), static_cast<float>(c.green), static_cast<float>(c.blue)};
}
Triple ToTriple(const Lab& c) {
    return {static_cast<float>(c.L), static_cast<float>(c.a), static_cast<float>(c.b)};
}

// The diffused value is matched at 6 bits a channel: the diffusion pays back the rounding like any
// other error, and the index then meets at most 65³ distinct colors instead of millions.
Pixel Coarse(Pixel pixel) {
    const auto level = [](std::uint8_t v) {
        return static_cast<std::uint8_t>(std::min(255, (v + 2) & ~3));
    };
    return MakePixel(level(RedOf(pixel)), level(GreenOf(pixel)), level(BlueOf(pixel)));
}

// The error space: a pixel's color in it, and the color a value in it is matched as.
struct LinearSpace {
    static Triple Of(Pixel pixel) { return ToTriple(LinearOf(pixel)); }
    static Pixel Rounded(const Triple& v) { return Coarse(PixelOf(LinearRgb{v.x, v.y, v.z})); }
};
struct LabSpace {
    static Triple Of(Pixel pixel) { return ToTriple(LabOf(pixel)); }
    static Pixel Rounded(const Triple& v) { return Coarse(PixelOf(LinearOf(Lab{v.x, v.y, v.z}))); }
};

// While a pass that must ask in order runs, readies a shared matcher for the picture's colors on
// another thread, in the same order. The diffused colors stay near the picture's, so the pass
// mostly finds their neighborhoods made.
class PreparedAhead {
public:
    PreparedAhead(const SourceRows& source, const Matcher& matcher) {
        if (matcher.Shared()) {
            helper_ = SecondThreadFor(std::uint64_t{source.width} * source.height,
                                      [this, &source, &matcher] { Run(source, matcher); });
        }
    }
    ~PreparedAhead() {
        done_ = true;
        if (helper_.joinable()) helper_.join();
    }
    PreparedAhead(const PreparedAhead&) = delete;
    PreparedAhead& operator=(const PreparedAhead&) = delete;

private:
    void Run(const SourceRows& source, const Matcher& matcher) {
        try {
            for (std::size_t r = 0; r < source.height && !done_; ++r) {
                const Pixel* row = source.Row(source.height - 1 - r);
                for (std::size_t x = 0; x < source.width; ++x) {
                    if (source.IsOpaque(row[x]) && (x == 0 || row[x] != row[x - 1])) matcher.Prepare(row[x]);
                }
            }
        } catch (const std::bad_alloc&) {  // the pass makes what it needs itself
        }
    }
    std::atomic<bool> done_{false};
    std::thread helper_;
};

// Grid row y holds picture row height - 1 - y; rows go top to bottom, every other one backwards.
template <typename Space>
void FloydSteinberg(const ColorTable& table, const SourceRows& source, const Matcher& matcher,
                    Pixel* preview, std::int32_t* grid) {
    const std::size_t width = source.width;
    const auto count = static_cast<std::size_t>(table.count);
    std::vector<Triple> entries(count);
    Triple low{1e9f, 1e9f, 1e9f}, high{-1e9f, -1e9f, -1e9f};
    for (std::size_t i = 0; i < count; ++i) {
        entries[i] = Space::Of(table.colors[i]);
        low = {std::min(low.x, entries[i].x), std::min(low.y, entries[i].y),
               std::min(low.z, entries[i].z)};
        high = {std::max(high.x, entries[i].x), std::max(high.y, entries[i].y),
                std::max(high.z, entries[i].z)};
    }
    // The source color is first brought into the box; the diffused value may leave it by half the
    // box's size, enough for any mix of entries, not enough to pile up.
    const Triple size{high.x - low.x, high.y - low.y, high.z - low.z};
    const Triple outerLow{low.x - size.x / 2, low.y - size.y / 2, low.z - size.z / 2};
    const Triple outerHigh{high.x + size.x / 2, high.y + size.y / 2, high.z + size.z / 2};
    // Errors for this row and the next, with a pixel of room at either end.
    std::vector<Triple> here(width + 2), below(width + 2);
    const PreparedAhead prepared(source, matcher);
    std::int32_t hint = -1;
    for (std::size_t r = 0; r < source.height; ++r) {
        const std::size_t y = source.height - 1 - r;
        const Pixel* row = source.Row(y);
        const bool forward = r % 2 == 0;
        const std::ptrdiff_t step = forward ? 1 : -1;
        std::fill(below.begin(), below.end(), Triple{});
        for (std::size_t k = 0; k < width; ++k) {
            const std::size_t x = forward ? k : width - 1 - k;
            const std::size_t at = x + 1;  // in the error rows
            if (!source.IsOpaque(row[x])) {
                grid[y * width + x] = NO_BLOCK;
                continue;  // takes no error and passes none on
            }
            const Triple pixel = Space::Of(row[x]);
            const Triple& carried = here[at];
            const Triple value{
                std::clamp(std::clamp(pixel.x, low.x, high.x) + carried.x, outerLow.x, outerHigh.x),
                std::clamp(std::clamp(pixel.y, low.y, high.y) + carried.y, outerLow.y, outerHigh.y),
                std::clamp(std::clamp(pixel.z, low.z, high.z) + carried.z, outerLow.z, outerHigh.z)};
            const std::int32_t chosen = matcher.Find(Space::Rounded(value), hint);
            hint = chosen;
            grid[y * width + x] = chosen;
            if (preview != nullptr) preview[y * width + x] = table.colors[static_cast<std::size_t>(chosen)];
            const Triple& entry = entries[static_cast<std::size_t>(chosen)];
            const Triple error{value.x - entry.x, value.y - entry.y, value.z - entry.z};
            const auto spread = [&](Triple& to, float weight) {
                to.x += error.x * weight;
                to.y += error.y * weight;
                to.z += error.z * weight;
            };
            const auto ahead = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(at) + step);
            const auto behind = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(at) - step);
            spread(here[ahead], 7.0f / 16);
            spread(below[behind], 3.0f / 16);
            spread(below[at], 5.0f / 16);
            spread(below[ahead], 1.0f / 16);
        }
        here.swap(below);
    }
}

// The mean distance, in linear light, from each distinct entry to the nearest other one: how far
// the ordered threshold has to reach to mix neighboring entries.
float TypicalSpacing(const ColorTable& table) {
    const auto count = static_cast<std::size_t>(table.count);
    std::vector<LinearRgb> colors(count);
    for (std::size_t i = 0; i < count; ++i) colors[i] = LinearOf(table.colors[i]);
    double sum = 0;
    std::size_t measured = 0;
    for (std::size_t i = 0; i < count; ++i) {
        double nearest = -1;
        for (std::size_t j = 0; j < count; ++j) {
            const double dr = colors[i].red - colors[j].red, dg = colors[i].green - colors[j].green,
                         db = colors[i].blue - colors[j].blue;
            const double d = dr * dr + dg * dg + db * db;
            if (d > 0 && (nearest < 0 || d < nearest)) nearest = d;
        }
        if (nearest > 0) {
            sum += std::sqrt(nearest);
            ++measured;
        }
    }
    return measured == 0 ? 0.0f : static_cast<float>(sum / static_cast<double>(measured));
}

// Calls rows(begin, end) over the picture's rows in runs of about 4096 pixels, handed out one at a
// time, on two threads for a large picture when `shared` (the matcher must then allow it); false
// when memory ran out.
template <typename Rows>
bool InRuns(const SourceRows& source, bool shared, const Rows& rows) {
    const std::size_t width = source.width, height = source.height;
    const std::size_t rowsPerRun = std::max<std::size_t>(1, 4096 / std::max<std::size_t>(1, width));
    std::atomic<std::size_t> nextRow{0};
    std::atomic<bool> outOfMemory{false};
    const auto work = [&] {
        try {
            for (std::size_t begin; (begin = nextRow.fetch_add(rowsPerRun)) < height;) {
                rows(begin, std::min(begin + rowsPerRun, height));
            }
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            nextRow = height;
        }
    };
    std::thread helper = shared ? SecondThreadFor(std::uint64_t{width} * height, work) : std::thread();
    work();
    if (helper.joinable()) helper.join();
    return !outOfMemory;
}

// Each pixel is matched by itself, so rows may go to two threads when the matcher allows it.
bool Ordered(const ColorTable& table, const SourceRows& source, const Matcher& matcher,
             Pixel* preview, std::int32_t* grid) {
    static constexpr int BAYER[8][8] = {
        {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
        {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
        {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
        {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    const float spacing = TypicalSpacing(table);
    const std::size_t width = source.width;
    return InRuns(source, matcher.Shared(), [&](std::size_t begin, std::size_t end) {
        std::int32_t hint = -1;
        for (std::size_t y = begin; y < end; ++y) {
            // The pattern is tied to the picture's own rows and columns, counted from its top left.
            const std::size_t r = source.height - 1 - y;
            const Pixel* row = source.Row(y);
            for (std::size_t x = 0; x < width; ++x) {
                if (!source.IsOpaque(row[x])) {
                    grid[y * width + x] = NO_BLOCK;
                    continue;
                }
                const float offset = (static_cast<float>(BAYER[r % 8][x % 8]) + 0.5f) / 64.0f - 0.5f;
                const LinearRgb color = LinearOf(row[x]);
                const double shift = static_cast<double>(offset * spacing);
                const std::int32_t chosen = matcher.Find(
                    PixelOf(LinearRgb{color.red + shift, color.green + shift, color.blue + shift}),
                    hint);
                hint = chosen;
                grid[y * width + x] = chosen;
                if (preview != nullptr) {
                    preview[y * width + x] = table.colors[static_cast<std::size_t>(chosen)];
                }
            }
        }
    });
}

// Every pixel by itself.
bool MatchEach(const ColorTable& table, const SourceRows& source, const Matcher& matcher,
               Pixel* preview, std::int32_t* grid) {
    const std::size_t width = source.width;
    return InRuns(source, matcher.Shared(), [&](std::size_t begin, std::size_t end) {
        for (std::size_t y = begin; y < end; ++y) {
            const Pixel* row = source.Row(y);
            std::int32_t hint = -1;
            for (std::size_t x = 0; x < width; ++x) {
                if (!source.IsOpaque(row[x])) {
                    grid[y * width + x] = NO_BLOCK;
                    continue;
                }
                hint = matcher.Find(row[x], hint);
                grid[y * width + x] = hint;
                if (preview != nullptr) {
                    preview[y * width + x] = table.colors[static_cast<std::size_t>(hint)];
                }
            }
        }
    });
}

}  // namespace

bool ConvertWithChoice(const ColorTable& table, const SourceRows& source,
                       const ConversionChoice& choice, PixelSurface& preview, BlockGrid& grid,
                       ErrorSpace space) {
    if (choice == ConversionChoice{}) return ConvertToBlocks(table, source, preview, grid);
    BlockGrid next;
    try {
        next.resize(std::size_t{source.width} * source.height);
        if (!next.empty()) {
            const Matcher matcher(table, choice.match, next.size());
            Pixel* previewBits = preview.bits();
            switch (choice.dither) {
            case DitherMode::None:
                if (!MatchEach(table, source, matcher, previewBits, next.data())) return false;
                break;
            case DitherMode::FloydSteinberg:
                if (space == ErrorSpace::Lab) {
                    FloydSteinberg<LabSpace>(table, source, matcher, previewBits, next.data());
                } else {
                    FloydSteinberg<LinearSpace>(table, source, matcher, previewBits, next.data());
                }
                break;
            case DitherMode::Ordered:
                if (!Ordered(table, source, matcher, previewBits, next.data())) return false;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    grid.swap(next);
    return true;
}

bool ConvertWithChoice(const ColorTable& table, const PixelSurface& source,
                       const ConversionChoice& choice, PixelSurface& preview, BlockGrid& grid,
                       ErrorSpace space) {
    return ConvertWithChoice(table,
                             SourceRows{source.bits(), std::ptrdiff_t{source.width()},
                                        source.width(), source.height()},
                             choice, preview, grid, space);
}

}  // namespace tesselbox
