// Dithering works in linear light (or CIELAB, to compare), where mixing colors adds up as light
// does; each adjusted color is rounded to 8-bit sRGB and its nearest entry asked of the active
// match's index, which remembers it. The diffused color is kept inside the box the table's colors
// span, so error that no entry can pay back is dropped instead of piling up. Error diffusion's
// choices may then be refined against the picture as it looks from a step back.
#include "convert/Dither.h"

#include "palette/Lab.h"
#include "palette/NearestColorIndex.h"
#include "palette/PerceptualMatch.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <type_traits>
#include <vector>

namespace tesselbox {
namespace {

// Colors on a lattice of a channel's levels 0, step, 2 step, ... and 255 (step 4 or 8: 6 or 5 bits a
// channel), and each lattice color's slot. The diffused value is matched on the lattice: the
// diffusion pays back the rounding like any other error, and the index then meets at most 65³ or
// 33³ distinct colors instead of millions. A channel's level is min(255, (SrgbLevelOf(v) + step / 2)
// rounded down to a multiple of step): step times the number of k >= 1 with SrgbLevelOf(v) >=
// k step - step / 2, that is with v at or above LevelSteps()[k step - step / 2 - 1], found by halving
// among those steps, without the 8-bit level.
class CoarseLevels {
public:
    explicit CoarseLevels(unsigned step) : step_(step), count_(256 / step + 1) {
        const std::array<double, 255>& steps = LevelSteps();
        std::fill(steps_.begin(), steps_.end(), std::numeric_limits<double>::infinity());
        for (std::size_t k = 1; k < count_; ++k) steps_[k - 1] = steps[k * step - step / 2 - 1];
    }
    std::uint8_t Of(double linear) const {
        std::size_t below = 0;  // steps at or below; none for NaN
        for (std::size_t half = 64; half > 0; half /= 2) {
            below += linear >= steps_[below + half - 1] ? half : 0;
        }
        return static_cast<std::uint8_t>(std::min<std::size_t>(255, step_ * below));
    }
    Pixel Of(const LinearRgb& color) const { return MakePixel(Of(color.red), Of(color.green), Of(color.blue)); }
    // A color of 8 bits a channel on the lattice.
    Pixel Rounded(Pixel pixel) const {
        const auto level = [this](std::uint8_t v) {
            return static_cast<std::uint8_t>(std::min<std::size_t>(255, (std::size_t{v} + step_ / 2) / step_ * step_));
        };
        return MakePixel(level(RedOf(pixel)), level(GreenOf(pixel)), level(BlueOf(pixel)));
    }
    // How many lattice colors there are, and the slot of one.
    std::size_t Slots() const { return count_ * count_ * count_; }
    std::size_t SlotOf(Pixel coarse) const {
        const auto level = [this](std::uint8_t v) { return (std::size_t{v} + step_ / 2) / step_; };
        return (level(RedOf(coarse)) * count_ + level(GreenOf(coarse))) * count_ + level(BlueOf(coarse));
    }

private:
    std::size_t step_, count_;
    std::array<double, 128> steps_{};  // padded, so that every probe is in bounds
};

const CoarseLevels& SixBits() {
    static const CoarseLevels levels(4);
    return levels;
}
const CoarseLevels& FiveBits() {
    static const CoarseLevels levels(8);
    return levels;
}

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
    // The lattice a diffused value is matched on: 5 bits a channel for the perceptual match, whose
    // search costs a few thousand instructions a color, where 6 bits meet three times as many.
    const CoarseLevels& Lattice() const { return perceptual_ ? FiveBits() : SixBits(); }
    // The same for a color of the lattice, from one thread only: their few answers are all kept.
    std::int32_t FindCoarse(Pixel coarse, std::int32_t hint) const {
        if (!perceptual_) return Find(coarse, hint);
        if (coarse_.empty()) coarse_.assign(Lattice().Slots(), 0);
        std::uint16_t& known = coarse_[Lattice().SlotOf(coarse)];
        if (known == 0) known = static_cast<std::uint16_t>(perceptual_->FindOnce(coarse, hint) + 1);
        return known - 1;
    }
    // Whether several threads may ask at once.
    bool Shared() const { return perceptual_ != nullptr; }
    // Find without remembering, which any thread may ask.
    std::int32_t FindShared(Pixel pixel, std::int32_t hint) const {
        return perceptual_ ? perceptual_->Find(pixel, hint) : rgb_->Find(pixel);
    }
    // The same for a caller that keeps every answer it asks for itself.
    std::int32_t FindOnce(Pixel pixel, std::int32_t hint) const {
        return perceptual_ ? perceptual_->FindOnce(pixel, hint) : rgb_->Find(pixel);
    }
    // Readies the index for colors near this one; only for a shared matcher.
    void Prepare(Pixel pixel) const { perceptual_->Prepare(pixel); }
    // Readies the answer for a color asked a few pixels later.
    void Prefetch(Pixel pixel) const {
        if (perceptual_) perceptual_->Prefetch(pixel);
    }

private:
    struct Answer {
        Pixel color = 0;  // opaque when filled
        std::int32_t index = 0;
    };
    std::unique_ptr<PerceptualIndex> perceptual_;
    std::unique_ptr<NearestColorIndex> rgb_;
    // Used by one thread only: the RGB index is asked from one thread.
    mutable std::array<Answer, 256> recent_{};
    mutable std::vector<std::uint16_t> coarse_;  // each answer plus one, zero for none yet
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

// The error space: a pixel's color in it, and the color a value in it is matched as.
struct LinearSpace {
    static Triple Of(Pixel pixel) { return ToTriple(LinearOf(pixel)); }
    static Triple Of(const LinearRgb& color) { return ToTriple(color); }
    static Pixel Rounded(const Triple& v, const CoarseLevels& lattice) { return lattice.Of(LinearRgb{v.x, v.y, v.z}); }
};
struct LabSpace {
    static Triple Of(Pixel pixel) { return ToTriple(LabOf(pixel)); }
    static Triple Of(const LinearRgb& color) { return ToTriple(LabOf(color)); }
    static Pixel Rounded(const Triple& v, const CoarseLevels& lattice) {
        return lattice.Of(LinearOf(Lab{v.x, v.y, v.z}));
    }
};

// The faces of the polytope Reach keeps: 64 directions and the entries' extent along each.
constexpr std::size_t DIRECTIONS = 64;
struct Faces {
    std::array<float, DIRECTIONS> x{}, y{}, z{}, low{}, high{};
};

// Whether every point of the box [r0, r1] x [g0, g1] x [b0, b1] lies within every face. Along each
// direction the corner least far and the one farthest are chosen by the signs: each product, and so
// each rounded sum, is monotone in every channel, so these two bound what the eight corners give.
// Every direction is checked, without branches, so that the loop runs on vectors; no fused
// multiply-add, so that every processor rounds alike.
[[gnu::always_inline]] inline bool BoxInsideLoop(const Faces& faces, float r0, float r1, float g0, float g1,
                                                 float b0, float b1) {
    int outside = 0;
    for (std::size_t j = 0; j < DIRECTIONS; ++j) {
        const bool x = faces.x[j] >= 0, y = faces.y[j] >= 0, z = faces.z[j] >= 0;
        const float least = faces.x[j] * (x ? r0 : r1) + faces.y[j] * (y ? g0 : g1) + faces.z[j] * (z ? b0 : b1);
        const float most = faces.x[j] * (x ? r1 : r0) + faces.y[j] * (y ? g1 : g0) + faces.z[j] * (z ? b1 : b0);
        outside |= static_cast<int>(least < faces.low[j]) | static_cast<int>(most > faces.high[j]);
    }
    return outside == 0;
}
[[gnu::always_inline]] inline bool PointInsideLoop(const Faces& faces, float r, float g, float b) {
    int outside = 0;
    for (std::size_t j = 0; j < DIRECTIONS; ++j) {
        const float t = faces.x[j] * r + faces.y[j] * g + faces.z[j] * b;
        outside |= static_cast<int>(t < faces.low[j]) | static_cast<int>(t > faces.high[j]);
    }
    return outside == 0;
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TESSELBOX_AVX2_FACES
// Eight directions at a time where the processor can.
[[gnu::target("avx2")]] bool BoxInsideAvx2(const Faces& faces, float r0, float r1, float g0, float g1, float b0,
                                           float b1) {
    return BoxInsideLoop(faces, r0, r1, g0, g1, b0, b1);
}
[[gnu::target("avx2")]] bool PointInsideAvx2(const Faces& faces, float r, float g, float b) {
    return PointInsideLoop(faces, r, g, b);
}
bool Avx2Faces() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#endif

bool BoxInside(const Faces& faces, float r0, float r1, float g0, float g1, float b0, float b1) {
#ifdef TESSELBOX_AVX2_FACES
    if (Avx2Faces()) return BoxInsideAvx2(faces, r0, r1, g0, g1, b0, b1);
#endif
    return BoxInsideLoop(faces, r0, r1, g0, g1, b0, b1);
}
bool PointInside(const Faces& faces, float r, float g, float b) {
#ifdef TESSELBOX_AVX2_FACES
    if (Avx2Faces()) return PointInsideAvx2(faces, r, g, b);
#endif
    return PointInsideLoop(faces, r, g, b);
}

// What mixes of the table's entries can show, in linear light: the entries' extent along 64
// directions spread evenly over the sphere, a polytope that holds every mix and hugs the table
// closely enough to tell a color no mix comes near.
class Reach {
public:
    explicit Reach(const ColorTable& table) {
        for (std::size_t j = 0; j < DIRECTIONS; ++j) {
            const double z = 1 - 2 * (static_cast<double>(j) + 0.5) / DIRECTIONS;
            const double radius = std::sqrt(1 - z * z), angle = 2.399963229728653 * static_cast<double>(j);
            faces_.x[j] = static_cast<float>(radius * std::cos(angle));
            faces_.y[j] = static_cast<float>(radius * std::sin(angle));
            faces_.z[j] = static_cast<float>(z);
            faces_.low[j] = 1e9f;
            faces_.high[j] = -1e9f;
            for (std::int32_t i = 0; i < table.count; ++i) {
                const float t = Along(j, LinearOf(table.colors[static_cast<std::size_t>(i)]));
                faces_.low[j] = std::min(faces_.low[j], t);
                faces_.high[j] = std::max(faces_.high[j], t);
            }
            faces_.low[j] -= 1e-6f;  // a mix of entries on a face stays on it, rounding aside
            faces_.high[j] += 1e-6f;
        }
        LinearRgb mean;
        for (std::int32_t i = 0; i < table.count; ++i) {
            const LinearRgb c = LinearOf(table.colors[static_cast<std::size_t>(i)]);
            mean = {mean.red + c.red / table.count, mean.green + c.green / table.count,
                    mean.blue + c.blue / table.count};
        }
        middle_ = LabOf(mean);
        for (int step = 0; step <= 200; ++step) {
            const double lightness = step / 2.0;
            if (!Holds(LinearOf(Lab{lightness, 0, 0}))) continue;
            if (!grays_) darkest_ = lightness;
            grays_ = true;
            lightest_ = lightness;
        }
    }

    // What a thread remembers of the cells beyond reach it met.
    struct Mapped {
        std::size_t cell = 0;  // its index + 1 once filled
        LinearRgb color;
    };
    using Memory = std::vector<Mapped>;
    static Memory NewMemory() { return Memory(8191); }

    // The color itself when a mix may show it; else, in CIELAB, of the farthest points a mix may
    // show on the way from it to each gray a mix may show, the one nearest to it by CIEDE2000: the
    // hue is kept, chroma and lightness given up as the eye minds them least. Two threads may ask
    // at once, each with its own memory: what they work out for the cells and the lattice is the
    // same whoever does it first.
    LinearRgb Of(Pixel pixel, Memory& memory) {
        const LinearRgb color = LinearOf(pixel);
        // A mix may show every color of a cell whose corners it may show (the cell is a box in
        // linear light, the reach convex), which most cells of a picture are.
        const std::size_t index = (std::size_t{RedOf(pixel)} >> 2 << 12) |
                                  (std::size_t{GreenOf(pixel)} >> 2 << 6) | (BlueOf(pixel) >> 2);
        std::uint8_t cell = cells_[index].load(std::memory_order_relaxed);
        if (cell == UNKNOWN) {
            cell = CornersHeld(pixel) ? HELD : NOT_ALL;
            cells_[index].store(cell, std::memory_order_relaxed);
        }
        if (cell == HELD || Holds(color)) return color;
        // Colors beyond reach give up chroma by cells: the middle of the cell stands for them all.
        Mapped& mapped = memory[(index * 0x9E3779B1u) % memory.size()];
        if (mapped.cell != index + 1) {
            const auto middle = [](std::uint8_t level) { return (level & ~3) | 2; };
            mapped = {index + 1, Interpolated(middle(RedOf(pixel)), middle(GreenOf(pixel)), middle(BlueOf(pixel)))};
        }
        return mapped.color;
    }

private:
    // Giving up chroma is smooth across the colors, and costly: it is worked out on a lattice, when
    // first needed, and blended between its points in linear light. The lattice has a point every
    // 8 levels a channel up to 64, where a level is a larger step to the eye, and every 16 above.
    static constexpr int POINTS = 9 + 12;
    static int LevelAt(int point) { return point <= 8 ? point * 8 : std::min(255, 64 + (point - 8) * 16); }
    static int PointBelow(int level) { return level < 64 ? level / 8 : std::min(POINTS - 2, 8 + (level - 64) / 16); }
    LinearRgb Interpolated(int red, int green, int blue) {
        const int levels[3] = {red, green, blue};
        int at[3];
        double t[3];
        for (int c = 0; c < 3; ++c) {
            at[c] = PointBelow(levels[c]);
            t[c] = static_cast<double>(levels[c] - LevelAt(at[c])) / (LevelAt(at[c] + 1) - LevelAt(at[c]));
        }
        LinearRgb sum;
        for (int corner = 0; corner < 8; ++corner) {
            const int i = at[0] + (corner & 1), j = at[1] + (corner >> 1 & 1), k = at[2] + (corner >> 2 & 1);
            const double weight = ((corner & 1) != 0 ? t[0] : 1 - t[0]) * ((corner & 2) != 0 ? t[1] : 1 - t[1]) *
                                  ((corner & 4) != 0 ? t[2] : 1 - t[2]);
            if (weight == 0) continue;
            const auto index = [](int point) { return static_cast<std::size_t>(point); };
            Lattice& point = lattice_[(index(i) * POINTS + index(j)) * POINTS + index(k)];
            LinearRgb value;
            if (point.state.load(std::memory_order_acquire) == Lattice::FILLED) {
                value = point.color;
            } else {
                value = Toward(LinearOf(MakePixel(static_cast<std::uint8_t>(LevelAt(i)),
                                                  static_cast<std::uint8_t>(LevelAt(j)),
                                                  static_cast<std::uint8_t>(LevelAt(k)))));
                // The first to take the point stores it; one that finds it taken keeps its own.
                std::uint8_t empty = Lattice::EMPTY;
                if (point.state.compare_exchange_strong(empty, Lattice::TAKEN, std::memory_order_acq_rel)) {
                    point.color = value;
                    point.state.store(Lattice::FILLED, std::memory_order_release);
                }
            }
            sum = {sum.red + weight * value.red, sum.green + weight * value.green, sum.blue + weight * value.blue};
        }
        return sum;
    }
    struct Lattice {
        enum : std::uint8_t { EMPTY, TAKEN, FILLED };
        std::atomic<std::uint8_t> state{EMPTY};
        LinearRgb color;  // once FILLED
    };
    std::vector<Lattice> lattice_ = std::vector<Lattice>(std::size_t{POINTS} * POINTS * POINTS);
    LinearRgb Toward(const LinearRgb& color) const {
        if (Holds(color)) return color;
        const Lab seen = LabOf(color);
        if (!grays_) return LinearOf(Edge(middle_, seen));
        // The hue kept, the point nearest by CIEDE2000 on the way to some gray: near white or black
        // the eye minds lost lightness less than lost chroma (a pale yellow stays yellow, darker).
        Lab best = Edge(Lab{std::clamp(seen.L, darkest_, lightest_), 0, 0}, seen);
        double least = Ciede2000(seen, best);
        // Seventeen grays from the darkest to the lightest, sought coarse to fine: every fourth,
        // then around the best so far.
        constexpr int GRAYS = 16;
        std::uint32_t tried = 0;  // a bit for each gray
        int nearest = -1;
        const auto tryGray = [&](int k) {
            if (k < 0 || k > GRAYS || (tried >> k & 1u) != 0) return;
            tried |= 1u << k;
            const Lab found = Edge(Lab{darkest_ + (lightest_ - darkest_) * k / GRAYS, 0, 0}, seen);
            const double difference = Ciede2000(seen, found);
            if (difference < least) {
                least = difference;
                best = found;
                nearest = k;
            }
        };
        for (int k = 0; k <= GRAYS; k += 4) tryGray(k);
        for (const int step : {2, 1}) {
            const int around = nearest;
            if (around < 0) break;
            tryGray(around - step);
            tryGray(around + step);
        }
        return LinearOf(best);
    }
    // The farthest point a mix may show on the way from `inside`, which one may show, to `color`.
    Lab Edge(const Lab& inside, const Lab& color) const {
        double kept = 0, lost = 1;
        for (int step = 0; step < 10; ++step) {
            const double share = (kept + lost) / 2;
            (Holds(LinearOf(Toward(inside, color, share))) ? kept : lost) = share;
        }
        return Toward(inside, color, kept);
    }
    enum : std::uint8_t { UNKNOWN, HELD, NOT_ALL };
    bool CornersHeld(Pixel pixel) const {
        const std::array<double, 256>& levels = LinearLevels();
        const auto lowest = [&](std::uint8_t level) { return static_cast<float>(levels[level & ~3u]); };
        const auto highest = [&](std::uint8_t level) { return static_cast<float>(levels[level | 3u]); };
        return BoxInside(faces_, lowest(RedOf(pixel)), highest(RedOf(pixel)), lowest(GreenOf(pixel)),
                         highest(GreenOf(pixel)), lowest(BlueOf(pixel)), highest(BlueOf(pixel)));
    }
    static Lab Toward(const Lab& from, const Lab& to, double share) {
        return {from.L + (to.L - from.L) * share, from.a + (to.a - from.a) * share,
                from.b + (to.b - from.b) * share};
    }
    float Along(std::size_t j, const LinearRgb& c) const {
        return faces_.x[j] * static_cast<float>(c.red) + faces_.y[j] * static_cast<float>(c.green) +
               faces_.z[j] * static_cast<float>(c.blue);
    }
    bool Holds(const LinearRgb& color) const {
        return PointInside(faces_, static_cast<float>(color.red), static_cast<float>(color.green),
                           static_cast<float>(color.blue));
    }
    Faces faces_;
    std::vector<std::atomic<std::uint8_t>> cells_ = std::vector<std::atomic<std::uint8_t>>(std::size_t{1} << 18);
    bool grays_ = false;  // whether a mix may show some gray, from darkest_ to lightest_
    double darkest_ = 0, lightest_ = 0;
    Lab middle_;  // the entries' mean in linear light, which a mix may always show
};

// While a pass that must ask in order runs, works out on another thread, in the same order, what
// the picture's colors give within the table's reach, and readies a shared matcher for them. The
// diffused colors stay near the picture's, so the pass mostly finds their neighborhoods made.
class PreparedAhead {
public:
    PreparedAhead(const SourceRows& source, const Matcher& matcher, Reach& reach) {
        helper_ = SecondThreadFor(std::uint64_t{source.width} * source.height,
                                  [this, &source, &matcher, &reach] { Run(source, matcher, reach); });
    }
    ~PreparedAhead() {
        done_ = true;
        if (helper_.joinable()) helper_.join();
    }
    PreparedAhead(const PreparedAhead&) = delete;
    PreparedAhead& operator=(const PreparedAhead&) = delete;

private:
    void Run(const SourceRows& source, const Matcher& matcher, Reach& reach) {
        try {
            Reach::Memory memory = Reach::NewMemory();
            // The matcher, for one color of each box of 4 levels a channel: the others of the box
            // nearly always fall in the same neighborhood, and any that does not is readied by the
            // pass itself.
            std::vector<bool> seen(matcher.Shared() ? std::size_t{1} << 18 : 0);
            for (std::size_t r = 0; r < source.height && !done_; ++r) {
                const Pixel* row = source.Row(source.height - 1 - r);
                for (std::size_t x = 0; x < source.width; ++x) {
                    if (!source.IsOpaque(row[x]) || (x > 0 && row[x] == row[x - 1])) continue;
                    reach.Of(row[x] | 0xFF000000u, memory);
                    if (!matcher.Shared()) continue;
                    const std::size_t box = (std::size_t{RedOf(row[x])} >> 2 << 12) |
                                            (std::size_t{GreenOf(row[x])} >> 2 << 6) | (BlueOf(row[x]) >> 2);
                    if (seen[box]) continue;
                    seen[box] = true;
                    matcher.Prepare(row[x]);
                }
            }
        } catch (const std::bad_alloc&) {  // the pass makes what it needs itself
        }
    }
    std::atomic<bool> done_{false};
    std::thread helper_;
};

// How far apart two nearby colors look, near a color, as a quadratic form in linear light: CIELAB's
// distance through the color's Jacobian, with chroma and hue differences shrunk as CIE94 and
// CIEDE2000 shrink them for saturated colors. Symmetric: xx, yy, zz, xy, xz, yz.
struct Metric {
    float m[6] = {0, 0, 0, 0, 0, 0};
    float Of(const Triple& a, const Triple& b) const {  // a' M b
        return a.x * (m[0] * b.x + m[3] * b.y + m[4] * b.z) + a.y * (m[3] * b.x + m[1] * b.y + m[5] * b.z) +
               a.z * (m[4] * b.x + m[5] * b.y + m[2] * b.z);
    }
    Triple Times(const Triple& a) const {
        return {m[0] * a.x + m[3] * a.y + m[4] * a.z, m[3] * a.x + m[1] * a.y + m[5] * a.z,
                m[4] * a.x + m[5] * a.y + m[2] * a.z};
    }
};

Metric MetricAt(const LinearRgb& color) {
    const Lab at = LabOf(color);
    // Columns of the Jacobian, by differences a little way into the cube.
    constexpr double H = 1e-3;
    double j[3][3];  // j[lab][rgb]
    for (int c = 0; c < 3; ++c) {
        LinearRgb moved = color;
        double* channel = c == 0 ? &moved.red : c == 1 ? &moved.green : &moved.blue;
        const double step = *channel + H <= 1 ? H : -H;
        *channel += step;
        const Lab there = LabOf(moved);
        j[0][c] = (there.L - at.L) / step;
        j[1][c] = (there.a - at.a) / step;
        j[2][c] = (there.b - at.b) / step;
    }
    const double chroma = std::sqrt(at.a * at.a + at.b * at.b);
    const double sc = 1 + 0.045 * chroma, sh = 1 + 0.015 * chroma;
    // The form in CIELAB: lightness as it is, chroma along the radius, hue across it.
    double d[3][3] = {{1, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    const double ra = chroma > 1e-6 ? at.a / chroma : 1, rb = chroma > 1e-6 ? at.b / chroma : 0;
    const double wc = 1 / (sc * sc), wh = 1 / (sh * sh);
    d[1][1] = wc * ra * ra + wh * rb * rb;
    d[2][2] = wc * rb * rb + wh * ra * ra;
    d[1][2] = d[2][1] = (wc - wh) * ra * rb;
    const auto entry = [&](int p, int q) {
        double sum = 0;
        for (int u = 0; u < 3; ++u)
            for (int v = 0; v < 3; ++v) sum += j[u][p] * d[u][v] * j[v][q];
        return static_cast<float>(sum);
    };
    return {{entry(0, 0), entry(1, 1), entry(2, 2), entry(0, 1), entry(0, 2), entry(1, 2)}};
}

// Error diffusion decides each pixel once, looking only ahead; seen from a step back a few of its
// choices are then plainly not the best. This pass revisits every pixel and takes another entry
// where that brings the picture, blurred as the eye blurs it from a step back (a Gaussian of 1.5
// pixels in linear light), closer to the wanted colors by the metric above: the entries of its
// neighbors, or the entry nearest to the color that would cancel the blurred error around it,
// which is how a field reaches an entry far from every color in it (a pale blue ground mixing snow
// with blue ice). A transparent pixel is no part of the picture, and the blur stays on its side of
// it, so parts that transparency splits are refined as pictures of their own. A large picture is
// refined in bands of rows, each with the rows around it that its blur reaches, to bound memory.
class Refinement {
public:
    Refinement() {
        double total = 0;
        for (int dy = -RADIUS; dy <= RADIUS; ++dy)
            for (int dx = -RADIUS; dx <= RADIUS; ++dx) total += Gauss(dx, dy);
        for (std::size_t k = 0; k < TAPS; ++k) {
            taps_[k] = static_cast<float>(Gauss(DxOf(k), DyOf(k)) / total);
            squares_ += taps_[k] * taps_[k];
            rows_taps_[(k / SIDE) * SIDE_LANES + k % SIDE] = taps_[k];
        }
        for (std::size_t k = 0; k < TAPS; ++k)
            for (std::size_t l = 0; l < TAPS; ++l)
                twice_[(static_cast<std::size_t>(DyOf(k) + DyOf(l) + 2 * RADIUS)) * LANES +
                       static_cast<std::size_t>(DxOf(k) + DxOf(l) + 2 * RADIUS)] += taps_[k] * taps_[l];
    }

    // Refines grid rows begin to end (exclusive). wanted(x, y) gives the color wanted at an opaque
    // grid place and is asked under `reading`; find(pixel, hint) the entry nearest to a color, from
    // any thread.
    template <typename Wanted, typename Find>
    void Band(std::size_t width, std::size_t height, std::size_t begin, std::size_t end,
              const std::vector<Triple>& entries, const Wanted& wanted, std::mutex& reading, const Find& find,
              std::int32_t* grid) {
        const std::size_t top = begin >= CONTEXT ? begin - CONTEXT : 0;
        Load(width, top, std::min(height, end + CONTEXT), entries, wanted, reading, grid);
        const auto nearest = [&](const Triple& v) {
            const auto unit = [](float c) { return std::clamp(c, 0.0f, 1.0f); };
            const Pixel pixel = LinearSpace::Rounded({unit(v.x), unit(v.y), unit(v.z)}, SixBits()) | 0xFF000000u;
            Answer& slot = answers_[(pixel * 0x9E3779B1u) >> 22];
            if (slot.color != pixel) slot = {pixel, hint_ = find(pixel, hint_)};
            return slot.index;
        };
        for (int sweep = 0; sweep < SWEEPS; ++sweep) {
            for (std::size_t y = begin; y < end; ++y) {
                const bool forward = (y + static_cast<std::size_t>(sweep)) % 2 == 0;
                for (std::size_t k = 0; k < width; ++k) {
                    const std::size_t x = forward ? k : width - 1 - k;
                    Visit(At(x, y - top), entries, nearest);
                }
            }
        }
        for (std::size_t y = begin; y < end; ++y)
            for (std::size_t x = 0; x < width; ++x)
                if (chosen_[At(x, y - top)] >= 0) grid[y * width + x] = chosen_[At(x, y - top)];
    }

private:
    static constexpr int RADIUS = 3;  // the blur's taps beyond cost time and change nothing seen

public:
    // The rows around a band that its pixels' twice blurred error reaches.
    static constexpr std::size_t CONTEXT = std::size_t{2} * RADIUS;

private:
    static constexpr int SWEEPS = 3;
    static constexpr std::size_t SIDE = std::size_t{2} * RADIUS + 1, TAPS = SIDE * SIDE;
    // The blur done twice reaches twice as far; the margin around the rows held is that wide.
    static constexpr std::size_t WIDE = std::size_t{4} * RADIUS + 1, PAD = std::size_t{2} * RADIUS;
    static constexpr std::size_t LANES = 16, SIDE_LANES = 8;
    static int DxOf(std::size_t k) { return static_cast<int>(k % SIDE) - RADIUS; }
    static int DyOf(std::size_t k) { return static_cast<int>(k / SIDE) - RADIUS; }
    static double Gauss(int dx, int dy) { return std::exp(-(dx * dx + dy * dy) / (2 * 1.5 * 1.5)); }
    std::size_t At(std::size_t x, std::size_t y) const { return (y + PAD) * stride_ + x + PAD; }
    std::size_t Near(std::size_t i, std::size_t k) const {
        return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(i) + offsets_[k]);
    }

    // Rows top to bottom (exclusive) of the grid, with a margin that is no part of it.
    template <typename Wanted>
    void Load(std::size_t width, std::size_t top, std::size_t bottom, const std::vector<Triple>& entries,
              const Wanted& wanted, std::mutex& reading, const std::int32_t* grid) {
        width_ = width;
        rows_ = bottom - top;
        stride_ = width + 2 * PAD;
        for (std::size_t k = 0; k < TAPS; ++k) {
            offsets_[k] = static_cast<std::ptrdiff_t>(DyOf(k)) * static_cast<std::ptrdiff_t>(stride_) + DxOf(k);
        }
        const std::size_t size = (rows_ + 2 * PAD) * stride_;
        wanted_.assign(size, Triple{});
        metric_.assign(size, Metric{});
        // The loops over a row of taps run over whole vectors, a little past the margin.
        for (std::vector<float>* b : {&bx_, &by_, &bz_, &cx_, &cy_, &cz_}) b->assign(size + LANES, 0.0f);
        chosen_.assign(size, -1);
        part_.assign(size, -1);
        interior_.assign(size, 0);
        settled_.assign(size, 0);
        bool split = false;
        const std::lock_guard<std::mutex> lock(reading);
        for (std::size_t y = 0; y < rows_; ++y) {
            for (std::size_t x = 0; x < width_; ++x) {
                const std::int32_t block = grid[(top + y) * width + x];
                if (block == NO_BLOCK) {
                    split = true;
                    continue;
                }
                chosen_[At(x, y)] = block;
                wanted_[At(x, y)] = wanted(x, top + y);
            }
        }
        Parts(split);
        // How far each pixel is from the edge of its part: 2 when its twice blur stays inside.
        const auto r = static_cast<std::ptrdiff_t>(RADIUS);
        for (std::size_t y = 0; y < rows_; ++y) {
            for (std::size_t x = 0; x < width_; ++x) {
                const std::size_t i = At(x, y);
                if (part_[i] < 0) continue;
                const auto inside = [&](std::ptrdiff_t reach) {
                    if (!split) {
                        const auto sx = static_cast<std::ptrdiff_t>(x), sy = static_cast<std::ptrdiff_t>(y);
                        return sx >= reach && sy >= reach && sx + reach < static_cast<std::ptrdiff_t>(width_) &&
                               sy + reach < static_cast<std::ptrdiff_t>(rows_);
                    }
                    for (std::ptrdiff_t dy = -reach; dy <= reach; ++dy)
                        for (std::ptrdiff_t dx = -reach; dx <= reach; ++dx)
                            if (part_[static_cast<std::size_t>(static_cast<std::ptrdiff_t>(i) +
                                                               dy * static_cast<std::ptrdiff_t>(stride_) + dx)] !=
                                part_[i])
                                return false;
                    return true;
                };
                interior_[i] = inside(2 * r) ? 2 : inside(r) ? 1 : 0;
            }
        }
        Metrics(split);
        if (split) {
            for (std::size_t y = 0; y < rows_; ++y) {
                for (std::size_t x = 0; x < width_; ++x) {
                    const std::size_t i = At(x, y);
                    if (part_[i] < 0) continue;
                    const Triple& c = entries[static_cast<std::size_t>(chosen_[i])];
                    Spread(i, {c.x - wanted_[i].x, c.y - wanted_[i].y, c.z - wanted_[i].z});
                }
            }
        } else {
            for (std::size_t i = 0; i < chosen_.size(); ++i) {
                if (chosen_[i] < 0) continue;
                const Triple& c = entries[static_cast<std::size_t>(chosen_[i])];
                bx_[i] = c.x - wanted_[i].x;
                by_[i] = c.y - wanted_[i].y;
                bz_[i] = c.z - wanted_[i].z;
            }
            for (std::vector<float>* b : {&bx_, &by_, &bz_}) Blur(*b);
        }
        if (!split) {  // read only where interior_ is 2, which the blur of the blurred error is there
            cx_ = bx_;
            cy_ = by_;
            cz_ = bz_;
            for (std::vector<float>* c : {&cx_, &cy_, &cz_}) Blur(*c);
            return;
        }
        for (std::size_t y = 0; y < rows_; ++y) {
            for (std::size_t x = 0; x < width_; ++x) {
                const std::size_t i = At(x, y);
                if (interior_[i] != 2) continue;
                const Triple c = BlurredAround(i);
                cx_[i] = c.x;
                cy_[i] = c.y;
                cz_[i] = c.z;
            }
        }
    }

    // Labels each opaque pixel with its part: the opaque pixels reachable from it without crossing
    // a transparent one. Without transparency all are one part.
    void Parts(bool split) {
        if (!split) {
            for (std::size_t y = 0; y < rows_; ++y)
                for (std::size_t x = 0; x < width_; ++x) part_[At(x, y)] = 0;
            return;
        }
        std::vector<std::size_t> stack;
        std::int32_t next = 0;
        const auto across = static_cast<std::ptrdiff_t>(stride_);
        for (std::size_t y = 0; y < rows_; ++y) {
            for (std::size_t x = 0; x < width_; ++x) {
                const std::size_t start = At(x, y);
                if (chosen_[start] < 0 || part_[start] >= 0) continue;
                part_[start] = next;
                stack.push_back(start);
                while (!stack.empty()) {
                    const std::size_t i = stack.back();
                    stack.pop_back();
                    for (const std::ptrdiff_t d : {std::ptrdiff_t{1}, std::ptrdiff_t{-1}, across, -across}) {
                        const auto j = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(i) + d);
                        if (chosen_[j] >= 0 && part_[j] < 0) {
                            part_[j] = next;
                            stack.push_back(j);
                        }
                    }
                }
                ++next;
            }
        }
    }

    // The metric at each pixel is taken at the wanted colors blurred there, as they are seen: the
    // dark ground between two stars is seen lit by them, and minds their light as little.
    void Metrics(bool split) {
        std::vector<Known>& known = known_;
        // Without transparency the blur is the same everywhere and goes by rows, then columns.
        std::vector<float> blurred[4];
        if (!split) {
            for (std::vector<float>& channel : blurred) channel.assign(chosen_.size(), 0.0f);
            for (std::size_t i = 0; i < chosen_.size(); ++i) {
                if (chosen_[i] < 0) continue;
                blurred[0][i] = wanted_[i].x;
                blurred[1][i] = wanted_[i].y;
                blurred[2][i] = wanted_[i].z;
                blurred[3][i] = 1;
            }
            for (std::vector<float>& channel : blurred) Blur(channel);
        }
        for (std::size_t y = 0; y < rows_; ++y) {
            for (std::size_t x = 0; x < width_; ++x) {
                const std::size_t i = At(x, y);
                if (part_[i] < 0) continue;
                Triple sum;
                float weight = 0;
                if (!split) {
                    sum = {blurred[0][i], blurred[1][i], blurred[2][i]};
                    weight = blurred[3][i];
                } else {
                    for (std::size_t k = 0; k < TAPS; ++k) {
                        const std::size_t j = Near(i, k);
                        if (part_[j] != part_[i]) continue;
                        const float t = taps_[k];
                        sum = {sum.x + t * wanted_[j].x, sum.y + t * wanted_[j].y, sum.z + t * wanted_[j].z};
                        weight += t;
                    }
                }
                const Pixel seen = SixBits().Of(LinearRgb{sum.x / weight, sum.y / weight, sum.z / weight});
                Known& slot = known[(seen * 0x9E3779B1u) >> (32 - KNOWN_BITS)];
                if (slot.color != (seen | 0xFF000000u)) slot = {seen | 0xFF000000u, MetricAt(LinearOf(seen))};
                metric_[i] = slot.metric;
            }
        }
    }

    // The blur of one channel held over the whole margin, zero outside the rows held: by rows,
    // then by columns, the Gaussian being the product of its two.
    void Blur(std::vector<float>& channel) const {
        std::array<float, SIDE> line{};
        float total = 0;
        for (std::size_t k = 0; k < SIDE; ++k) total += line[k] = static_cast<float>(Gauss(DxOf(k), 0));
        for (float& t : line) t /= total;
        std::vector<float> across(channel.size(), 0.0f);
        const std::size_t rows = chosen_.size() / stride_;
        for (std::size_t y = 0; y < rows; ++y) {
            for (std::size_t x = RADIUS; x + RADIUS < stride_; ++x) {
                const std::size_t i = y * stride_ + x;
                float sum = 0;
                for (std::size_t k = 0; k < SIDE; ++k) sum += line[k] * channel[i + k - RADIUS];
                across[i] = sum;
            }
        }
        std::fill(channel.begin(), channel.end(), 0.0f);
        for (std::size_t y = RADIUS; y + RADIUS < rows; ++y) {
            for (std::size_t x = 0; x < stride_; ++x) {
                const std::size_t i = y * stride_ + x;
                float sum = 0;
                for (std::size_t k = 0; k < SIDE; ++k) sum += line[k] * across[i + (k - RADIUS) * stride_];
                channel[i] = sum;
            }
        }
    }

    // Adds a change of a pixel's color to the blurred error of the pixels its blur reaches, and to
    // the twice blurred error of those deep inside its part, the only ones that read it.
    void Changed(std::size_t i, const Triple& change) {
        Spread(i, change);
        const std::size_t corner = i - PAD * stride_ - PAD;
        for (std::size_t row = 0; row < WIDE; ++row) {
            const std::size_t j = corner + row * stride_;
            AddRow<LANES>(twice_.data() + row * LANES, change, cx_.data() + j, cy_.data() + j, cz_.data() + j);
            std::fill_n(settled_.begin() + static_cast<std::ptrdiff_t>(j), WIDE, std::uint8_t{0});
        }
    }

    // A row of taps times a change, added to the three channels; they never overlap.
    template <std::size_t N>
    static void AddRow(const float* __restrict taps, const Triple& change, float* __restrict x,
                       float* __restrict y, float* __restrict z) {
        for (std::size_t k = 0; k < N; ++k) {
            x[k] += taps[k] * change.x;
            y[k] += taps[k] * change.y;
            z[k] += taps[k] * change.z;
        }
    }

    // Adds a change of a pixel's color to the blurred error of the pixels its blur reaches.
    void Spread(std::size_t i, const Triple& change) {
        if (interior_[i] != 0) {
            for (std::size_t row = 0; row < SIDE; ++row) {
                const std::size_t j = Near(i, row * SIDE);
                AddRow<SIDE_LANES>(rows_taps_.data() + row * SIDE_LANES, change, bx_.data() + j, by_.data() + j,
                                   bz_.data() + j);
            }
            return;
        }
        for (std::size_t k = 0; k < TAPS; ++k) {
            const std::size_t j = Near(i, k);
            if (part_[j] != part_[i]) continue;
            bx_[j] += taps_[k] * change.x;
            by_[j] += taps_[k] * change.y;
            bz_[j] += taps_[k] * change.z;
        }
    }

    // The blurred error around a pixel, blurred once more: how the error seen near it changes as
    // its own color does.
    Triple Around(std::size_t i) const {
        if (interior_[i] == 2) return {cx_[i], cy_[i], cz_[i]};
        return BlurredAround(i);
    }
    Triple BlurredAround(std::size_t i) const {
        float x = 0, y = 0, z = 0;
        if (interior_[i] != 0) {
            for (std::size_t row = 0; row < SIDE; ++row) {
                const std::size_t j = Near(i, row * SIDE);
                for (std::size_t k = 0; k < SIDE_LANES; ++k) {
                    const float t = rows_taps_[row * SIDE_LANES + k];
                    x += t * bx_[j + k];
                    y += t * by_[j + k];
                    z += t * bz_[j + k];
                }
            }
            return {x, y, z};
        }
        for (std::size_t k = 0; k < TAPS; ++k) {
            const std::size_t j = Near(i, k);
            if (part_[j] != part_[i]) continue;
            x += taps_[k] * bx_[j];
            y += taps_[k] * by_[j];
            z += taps_[k] * bz_[j];
        }
        return {x, y, z};
    }

    template <typename Find>
    void Visit(std::size_t i, const std::vector<Triple>& entries, const Find& find) {
        if (part_[i] < 0 || settled_[i] != 0) return;
        settled_[i] = 1;
        // Moving this pixel's color by a changes the sum of the blurred errors' squares, each by
        // the metric at its place (taken as this pixel's, which varies slowly), by
        // 2 a'M g + s a'M a, g the blurred error around it and s the sum of the taps' squares.
        const Metric& m = metric_[i];
        const Triple around = Around(i);
        const Triple g = m.Times(around);
        // No change gains more than the best color would, around'M around / s: when that is under
        // the least gain taken below, no entry needs asking about.
        if (around.x * g.x + around.y * g.y + around.z * g.z < 0.999f * squares_) return;
        const std::int32_t current = chosen_[i];
        const Triple& now = entries[static_cast<std::size_t>(current)];
        std::int32_t best = current;
        // A change must gain at least a unit of squared CIELAB difference, summed over the blur:
        // smaller gains are mostly a pixel trading places with its neighbor, back and forth.
        float least = -1.0f;
        const auto consider = [&](std::int32_t candidate) {
            if (candidate < 0 || candidate == best || candidate == current) return;
            const Triple& c = entries[static_cast<std::size_t>(candidate)];
            const Triple a{c.x - now.x, c.y - now.y, c.z - now.z};
            const float change = 2 * (a.x * g.x + a.y * g.y + a.z * g.z) + squares_ * m.Of(a, a);
            if (change < least) {
                least = change;
                best = candidate;
            }
        };
        const auto across = static_cast<std::ptrdiff_t>(stride_);
        for (const std::ptrdiff_t d : {std::ptrdiff_t{1}, std::ptrdiff_t{-1}, across, -across}) {
            const auto j = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(i) + d);
            if (part_[j] == part_[i]) consider(chosen_[j]);
        }
        // The change that cancels the error best, -g/s through M's inverse, is the blurred error
        // around the pixel scaled up: the color to look for.
        const float scale = -1 / squares_;
        consider(find(Triple{now.x + scale * around.x, now.y + scale * around.y, now.z + scale * around.z}));
        if (best == current) return;
        const Triple& c = entries[static_cast<std::size_t>(best)];
        chosen_[i] = best;
        Changed(i, {c.x - now.x, c.y - now.y, c.z - now.z});
    }

    struct Answer {
        Pixel color = 0;  // opaque when filled
        std::int32_t index = 0;
    };
    std::array<Answer, 1024> answers_{};  // the last few searches
    // The metrics met so far, by the color seen at 6 bits a channel: a photo meets tens of
    // thousands, each costing a few CIELAB conversions.
    struct Known {
        Pixel color = 0;  // opaque when filled
        Metric metric;
    };
    static constexpr int KNOWN_BITS = 15;
    std::vector<Known> known_ = std::vector<Known>(std::size_t{1} << KNOWN_BITS);
    std::int32_t hint_ = -1;
    std::size_t width_ = 0, rows_ = 0, stride_ = 0;
    std::vector<Triple> wanted_;
    std::vector<Metric> metric_;
    std::vector<float> bx_, by_, bz_;  // the blurred error, channel by channel
    std::vector<float> cx_, cy_, cz_;  // the same blurred again, where interior_ is 2
    std::vector<std::int32_t> chosen_, part_;
    // 1 where all a pixel's blur reaches is of its part, 2 where all its blur done twice reaches.
    std::vector<std::uint8_t> interior_;
    // Whether a pixel was visited since the last change within its reach: it would choose as then.
    std::vector<std::uint8_t> settled_;
    std::array<float, TAPS> taps_{};
    std::array<float, WIDE * LANES> twice_{};  // each row padded with zeros to LANES
    std::array<float, SIDE * SIDE_LANES> rows_taps_{};  // taps_, each row padded to SIDE_LANES
    std::array<std::ptrdiff_t, TAPS> offsets_{};
    float squares_ = 0;
};

// Refines the grid in bands of rows, two bands apart on two threads: a band reads the rows of its
// neighbors but writes only its own, so bands of one parity never meet and the result does not
// depend on the order they run in. A picture worth two threads has at least four bands.
template <typename Wanted, typename Find>
void Refine(std::size_t width, std::size_t height, const std::vector<Triple>& entries, const Wanted& wanted,
            const Find& find, std::int32_t* grid) {
    constexpr std::size_t BAND_PIXELS = std::size_t{1} << 18, LEAST_ROWS = 2 * Refinement::CONTEXT;
    const std::uint64_t pixels = std::uint64_t{width} * height;
    std::size_t rows = std::max(LEAST_ROWS, BAND_PIXELS / std::max<std::size_t>(1, width));
    if (pixels >= PARALLEL_CONVERSION_PIXELS) rows = std::min(rows, std::max(LEAST_ROWS, (height + 3) / 4));
    const std::size_t bands = (height + rows - 1) / rows;
    std::mutex reading;
    Refinement first, second;
    for (std::size_t parity = 0; parity < 2; ++parity) {
        std::atomic<std::size_t> next{parity};
        std::exception_ptr failed;
        const auto work = [&](Refinement& refinement) {
            for (std::size_t band; (band = next.fetch_add(2)) < bands;) {
                refinement.Band(width, height, band * rows, std::min(height, (band + 1) * rows), entries, wanted,
                                reading, find, grid);
            }
        };
        std::thread helper = SecondThreadFor(pixels, [&] {
            try {
                work(second);
            } catch (...) {
                failed = std::current_exception();
                next = bands;
            }
        });
        try {
            work(first);
        } catch (...) {
            next = bands;
            if (helper.joinable()) helper.join();
            throw;
        }
        if (helper.joinable()) helper.join();
        if (failed) std::rethrow_exception(failed);
    }
}

// Grid row y holds picture row height - 1 - y; rows go top to bottom, every other one backwards.
// refine: the choices are then refined (in linear light only).
template <typename Space>
void FloydSteinberg(const ColorTable& table, const SourceRows& source, const Matcher& matcher, bool refine,
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
    // Error that no mix of entries can pay back, carried on, drags whole regions off hue (a
    // saturated red bowl turns orange) and roams into grain. So a source color beyond every mix
    // gives up chroma until a mix may show it, and is then brought into the box the entries span;
    // the diffused value may leave the box by half the widest gap between neighboring entry levels
    // of its channel: enough for the two entries around any color to mix, no more.
    Triple margin;
    for (float Triple::*channel : {&Triple::x, &Triple::y, &Triple::z}) {
        std::vector<float> levels(count);
        for (std::size_t i = 0; i < count; ++i) levels[i] = entries[i].*channel;
        std::sort(levels.begin(), levels.end());
        for (std::size_t i = 1; i < count; ++i) {
            margin.*channel = std::max(margin.*channel, (levels[i] - levels[i - 1]) / 2);
        }
    }
    const auto diffused = [](float color, float error, float from, float to, float room) {
        return std::clamp(std::clamp(color, from, to) + error, from - room, to + room);
    };
    Reach reach(table);
    const CoarseLevels& lattice = matcher.Lattice();
    // Neighboring pixels repeat their colors: the last few answers save most of the work.
    struct Reachable {
        Pixel color = 0;  // opaque when filled
        Triple value;
    };
    constexpr bool REFINED = std::is_same_v<Space, LinearSpace>;
    std::vector<Reachable> recent(4096);
    // Errors for this row and the next, with a pixel of room at either end.
    std::vector<Triple> here(width + 2), below(width + 2);
    Reach::Memory memory = Reach::NewMemory();
    std::int32_t hint = -1;
    {
    const PreparedAhead prepared(source, matcher, reach);
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
            const Pixel color = row[x] | 0xFF000000u;
            Reachable& slot = recent[(color * 0x9E3779B1u) >> 20];
            if (slot.color != color) slot = {color, Space::Of(reach.Of(color, memory))};
            const Triple& pixel = slot.value;
            const Triple& carried = here[at];
            const Triple value{diffused(pixel.x, carried.x, low.x, high.x, margin.x),
                               diffused(pixel.y, carried.y, low.y, high.y, margin.y),
                               diffused(pixel.z, carried.z, low.z, high.z, margin.z)};
            const std::int32_t chosen = matcher.FindCoarse(Space::Rounded(value, lattice), hint);
            hint = chosen;
            grid[y * width + x] = chosen;
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
    if constexpr (REFINED) {
        if (refine) {
            const auto wanted = [&](std::size_t x, std::size_t y) {
                const Pixel color = source.Row(y)[x] | 0xFF000000u;
                Reachable& slot = recent[(color * 0x9E3779B1u) >> 20];
                if (slot.color != color) slot = {color, Space::Of(reach.Of(color, memory))};
                return slot.value;
            };
            const auto find = [&](Pixel pixel, std::int32_t near) { return matcher.FindShared(pixel, near); };
            Refine(width, source.height, entries, wanted, find, grid);
        }
    } else {
        (void)refine;  // the error carried in CIELAB, kept only to compare, is not refined
    }
    if (preview != nullptr) {
        for (std::size_t i = 0; i < width * source.height; ++i) {
            if (grid[i] != NO_BLOCK) preview[i] = table.colors[static_cast<std::size_t>(grid[i])];
        }
    }
}

// Calls rows(begin, end, thread) over the picture's rows in runs of about 4096 pixels, handed out
// one at a time, on two threads (0 and 1) for a large picture when `shared` (the matcher must then
// allow it); false when memory ran out.
template <typename Rows>
bool InRuns(const SourceRows& source, bool shared, const Rows& rows) {
    const std::size_t width = source.width, height = source.height;
    const std::size_t rowsPerRun = std::max<std::size_t>(1, 4096 / std::max<std::size_t>(1, width));
    std::atomic<std::size_t> nextRow{0};
    std::atomic<bool> outOfMemory{false};
    const auto work = [&](std::size_t thread) {
        try {
            for (std::size_t begin; (begin = nextRow.fetch_add(rowsPerRun)) < height;) {
                rows(begin, std::min(begin + rowsPerRun, height), thread);
            }
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            nextRow = height;
        }
    };
    std::thread helper =
        shared ? SecondThreadFor(std::uint64_t{width} * height, [&work] { work(1); }) : std::thread();
    work(0);
    if (helper.joinable()) helper.join();
    return !outOfMemory;
}

// Cells of colors that ordered dithering treats alike: 4 levels a channel in the dark, where a
// level is a larger step to the eye, each about a multiple of 4; 8 levels from 62 up.
constexpr std::size_t CELL_LEVELS = 41;
std::size_t CellOf(std::uint8_t level) {
    return level < 62 ? (std::size_t{level} + 2) >> 2 : 16 + ((std::size_t{level} - 62) >> 3);
}
std::size_t CellOf(Pixel pixel) {
    return (CellOf(RedOf(pixel)) * CELL_LEVELS + CellOf(GreenOf(pixel))) * CELL_LEVELS + CellOf(BlueOf(pixel));
}
// The color standing for a pixel's cell.
Pixel MiddleOfCell(Pixel pixel) {
    const auto middle = [](std::uint8_t v) {
        return static_cast<std::uint8_t>(v < 62 ? (v + 2) & ~3 : std::min(255, 66 + ((v - 62) & ~7)));
    };
    return MakePixel(middle(RedOf(pixel)), middle(GreenOf(pixel)), middle(BlueOf(pixel)));
}

// Ordered dithering gives each cell of colors a list of entries whose mean in linear light comes
// close to the cell's color, and the pattern's threshold at a pixel picks one of them, the list
// sorted by luminance. The list is error diffusion along itself: each entry is the nearest to the
// color plus the error of those before it. Where that sum leaves the cube of colors, the color lies
// beyond the entries (a near-black sky darker than every black), and the entry stays only if the
// list's mean then looks closer by CIEDE2000 than with the first entry instead: it would otherwise
// take in entries of another tint, which suit the sky's noisy pixels one by one but not the sky
// seen from a step back.
constexpr std::size_t LIST = 4;
using EntryList = std::array<std::int32_t, LIST>;

class EntryLists {
public:
    EntryLists(const ColorTable& table, const Matcher& matcher)
        : matcher_(matcher) {
        const auto count = static_cast<std::size_t>(table.count);
        linear_.resize(count);
        lab_.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            linear_[i] = LinearOf(table.colors[i]);
            lab_[i] = LabOf(linear_[i]);
        }
    }

    EntryList For(Pixel coarse, std::int32_t hint) const {
        const LinearRgb color = LinearOf(coarse);
        const Lab seen = LabOf(color);
        EntryList list{};
        LinearRgb sum, error;
        for (std::size_t i = 0; i < LIST; ++i) {
            const LinearRgb wanted{color.red + error.red, color.green + error.green, color.blue + error.blue};
            const LinearRgb goal{std::clamp(wanted.red, 0.0, 1.0), std::clamp(wanted.green, 0.0, 1.0),
                                 std::clamp(wanted.blue, 0.0, 1.0)};
            std::int32_t entry = matcher_.FindShared(PixelOf(goal), hint);
            const bool beyond = goal.red != wanted.red || goal.green != wanted.green || goal.blue != wanted.blue;
            if (beyond && entry != list[0]) {
                const auto meanWith = [&](std::int32_t e) {
                    const LinearRgb& v = At(e);
                    const double k = 1.0 / static_cast<double>(i + 1);
                    return LabOf(
                        LinearRgb{(sum.red + v.red) * k, (sum.green + v.green) * k, (sum.blue + v.blue) * k});
                };
                if (FartherOrAsFar(seen, meanWith(entry), meanWith(list[0]))) entry = list[0];
            }
            list[i] = hint = entry;
            const LinearRgb& v = At(entry);
            sum = {sum.red + v.red, sum.green + v.green, sum.blue + v.blue};
            error = {error.red + color.red - v.red, error.green + color.green - v.green,
                     error.blue + color.blue - v.blue};
        }
        // A list that, seen from a step back, looks no closer than its first entry alone is not used.
        if (std::any_of(list.begin(), list.end(), [&](std::int32_t e) { return e != list[0]; })) {
            constexpr double K = 1.0 / LIST;
            if (FartherOrAsFar(seen, LabOf(LinearRgb{sum.red * K, sum.green * K, sum.blue * K}),
                               lab_[static_cast<std::size_t>(list[0])])) {
                list.fill(list[0]);
            }
        }
        const auto luminance = [&](std::int32_t e) {
            const LinearRgb& v = At(e);
            return 0.2126 * v.red + 0.7152 * v.green + 0.0722 * v.blue;
        };
        std::sort(list.begin(), list.end(), [&](std::int32_t x, std::int32_t y) {
            const double lx = luminance(x), ly = luminance(y);
            return lx < ly || (lx == ly && x < y);
        });
        return list;
    }

    // The nearest entry to a pixel's color rounded to 6 bits a channel: the pixels that stand out
    // are many but their colors at that depth are few, and the matcher remembers recent answers.
    std::int32_t NearestOf(Pixel pixel, std::int32_t hint) const {
        return matcher_.FindShared(SixBits().Rounded(pixel), hint);
    }

private:
    const LinearRgb& At(std::int32_t e) const { return linear_[static_cast<std::size_t>(e)]; }

    const Matcher& matcher_;
    std::vector<LinearRgb> linear_;
    std::vector<Lab> lab_;
};

// Squared distance of two colors in 8-bit sRGB.
int SrgbApart2(Pixel x, Pixel y) {
    const int r = RedOf(x) - RedOf(y), g = GreenOf(x) - GreenOf(y), b = BlueOf(x) - BlueOf(y);
    return r * r + g * g + b * b;
}

// A pixel's list is its cell's by the mean of the 3 x 3 pixels around that become blocks, so that a
// picture's noise does not pick lists. Where those pixels may lie farther from it (by the extremes
// of each channel among them) than 1.4 times the span of the list, a star or an edge, a pattern
// cannot show the detail and the pixel takes the entry nearest its own color (at 6 bits a
// channel). Each pixel is decided by the source around it and its place, so rows go to two threads.
bool Ordered(const ColorTable& table, const SourceRows& source, const Matcher& matcher,
             Pixel* preview, std::int32_t* grid) {
    static constexpr int BAYER[8][8] = {
        {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
        {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
        {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
        {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    const EntryLists entryLists(table, matcher);
    const std::size_t width = source.width, height = source.height;
    // The list of every cell met, shared by the threads: a list depends on its cell alone, so a
    // thread that finds none yet works it out and stores it, and two that race store the same.
    // Zero for none; else the top bit and each entry in 15 bits.
    constexpr std::size_t CELLS = CELL_LEVELS * CELL_LEVELS * CELL_LEVELS;
    static_assert(MAX_COLORS <= 0x8000);
    std::vector<std::atomic<std::uint64_t>> lists(CELLS);
    const auto packed = [](const EntryList& list) {
        std::uint64_t bits = std::uint64_t{1} << 63;
        for (std::size_t k = 0; k < LIST; ++k) {
            bits |= std::uint64_t{static_cast<std::uint16_t>(list[k])} << (15 * k);
        }
        return bits;
    };
    // Per column, over the pixels above, at and below a row that become blocks: the sums of red,
    // green and blue, their count, and the least and the largest of each channel. One row of them
    // for each thread, with an empty column at either end.
    struct Column {
        int sum[3], count, least[3], largest[3];
    };
    const std::vector<Column> empty(width + 2, Column{{0, 0, 0}, 0, {255, 255, 255}, {0, 0, 0}});
    std::array<std::vector<Column>, 2> rowsOfColumns{empty, empty};
    return InRuns(source, true, [&](std::size_t begin, std::size_t end, std::size_t thread) {
        std::int32_t hint = -1;
        std::vector<Column>& columns = rowsOfColumns[thread];
        for (std::size_t y = begin; y < end; ++y) {
            // The pattern is tied to the picture's own rows and columns, counted from its top left.
            const std::size_t r = height - 1 - y;
            const Pixel* row = source.Row(y);
            const Pixel* lines[3] = {y > 0 ? source.Row(y - 1) : nullptr, row,
                                     y + 1 < height ? source.Row(y + 1) : nullptr};
            for (std::size_t x = 0; x < width; ++x) {
                Column column{{0, 0, 0}, 0, {255, 255, 255}, {0, 0, 0}};
                for (const Pixel* line : lines) {
                    if (line == nullptr || !source.IsOpaque(line[x])) continue;
                    const int channels[3] = {RedOf(line[x]), GreenOf(line[x]), BlueOf(line[x])};
                    for (std::size_t c = 0; c < 3; ++c) {
                        column.sum[c] += channels[c];
                        column.least[c] = std::min(column.least[c], channels[c]);
                        column.largest[c] = std::max(column.largest[c], channels[c]);
                    }
                    ++column.count;
                }
                columns[x + 1] = column;
            }
            for (std::size_t x = 0; x < width; ++x) {
                const Pixel pixel = row[x];
                if (!source.IsOpaque(pixel)) {
                    grid[y * width + x] = NO_BLOCK;
                    continue;
                }
                const Column& left = columns[x];
                const Column& middle = columns[x + 1];
                const Column& right = columns[x + 2];
                const int count = left.count + middle.count + right.count;
                std::uint8_t mean[3];
                // How far a pixel around may lie from this one, squared: at most this.
                int detail = 0;
                const int channels[3] = {RedOf(pixel), GreenOf(pixel), BlueOf(pixel)};
                for (std::size_t c = 0; c < 3; ++c) {
                    const int sum = left.sum[c] + middle.sum[c] + right.sum[c];
                    mean[c] = static_cast<std::uint8_t>(count == 9 ? (sum + 4) / 9 : (sum + count / 2) / count);
                    const int least = std::min({left.least[c], middle.least[c], right.least[c]});
                    const int largest = std::max({left.largest[c], middle.largest[c], right.largest[c]});
                    const int far = std::max(channels[c] - least, largest - channels[c]);
                    detail += far * far;
                }
                const Pixel average = MakePixel(mean[0], mean[1], mean[2]);
                std::atomic<std::uint64_t>& slot = lists[CellOf(average)];
                std::uint64_t bits = slot.load(std::memory_order_relaxed);
                if (bits == 0) {
                    bits = packed(entryLists.For(MiddleOfCell(average), hint));
                    slot.store(bits, std::memory_order_relaxed);
                }
                const auto entryAt = [bits](std::size_t k) {
                    return static_cast<std::int32_t>(bits >> (15 * k) & 0x7FFFu);
                };
                std::int32_t chosen = entryAt(static_cast<std::size_t>(BAYER[r % 8][x % 8]) * LIST / 64);
                const int span = SrgbApart2(table.colors[static_cast<std::size_t>(entryAt(0))],
                                            table.colors[static_cast<std::size_t>(entryAt(LIST - 1))]);
                if (span > 0 && 25 * detail > 49 * span) {
                    chosen = entryLists.NearestOf(pixel, chosen);
                }
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
    return InRuns(source, matcher.Shared(), [&](std::size_t begin, std::size_t end, std::size_t) {
        for (std::size_t y = begin; y < end; ++y) {
            const Pixel* row = source.Row(y);
            std::int32_t hint = -1;
            constexpr std::size_t AHEAD = 4;
            for (std::size_t x = 0; x < std::min(AHEAD, width); ++x) matcher.Prefetch(row[x]);
            for (std::size_t x = 0; x < width; ++x) {
                if (x + AHEAD < width) matcher.Prefetch(row[x + AHEAD]);
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
                    FloydSteinberg<LabSpace>(table, source, matcher, choice.refine, previewBits, next.data());
                } else {
                    FloydSteinberg<LinearSpace>(table, source, matcher, choice.refine, previewBits, next.data());
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
