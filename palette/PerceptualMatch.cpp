// Most colors never see the whole table. CIELAB is cut into cubes, and a cube, when a color first
// falls in it, lists the entries that may be nearest to some color inside: all but those whose
// lower bound of CIEDE2000 over the cube surely exceeds a reach a little beyond the difference at
// its middle. The list runs from the least bound up, so a color reads it only while the rest may
// still win. Each candidate is judged by a cheap bound with the cube's weights (and SH's larger
// weight for the part of the difference that must be hue), then by a tight one
// (every term exact but T and RT, taken over their possible ranges), computed several entries at a
// time; only then is the difference itself computed. A color whose nearest candidate lies beyond
// the reach falls back to a k-d tree over (L, a, b), which skips whole boxes by the same kind of
// bounds.
//
// Bounds are compared with a margin far above the rounding of either formula, so an entry is skipped
// only when it surely is farther; differences too close to call go to Ciede2000 itself, equal ones
// to the lower index. The answer is the plain scan's.
#include "palette/PerceptualMatch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <new>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TESSELBOX_AVX2
#include <immintrin.h>
#endif

namespace tesselbox {
namespace {

// Whether the loops written for AVX2 and fused multiply-add may run here.
bool Avx2WithFma() {
#ifdef TESSELBOX_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return avx2;
#else
    return false;
#endif
}

constexpr double POW25_7 = 6103515625.0;
// The weighting T of CIEDE2000 stays between 0.3620 and 1.5725 at every hue.
constexpr double T_MIN = 0.36, T_MAX = 1.58;
constexpr double SIN_60 = 0.86602540378443865;  // |sin 2Δθ| with Δθ at most 30 degrees

[[gnu::always_inline]] inline double Pow7(double v) {
    const double v2 = v * v;
    return v2 * v2 * v2 * v;
}

[[gnu::always_inline]] inline double LightnessWeight(double lMean) {
    const double offset2 = (lMean - 50.0) * (lMean - 50.0);
    return 1.0 + 0.015 * offset2 / std::sqrt(20.0 + offset2);
}

// The mean hue CIEDE2000 takes for two chromatic colors is the bisector of the shorter arc between
// their hues: the direction of the sum of their unit vectors. Its length tells how far the hues are
// from opposite, where CIEDE2000's own conventions decide instead.
struct MeanHue {
    double cos, sin;
    // 1 when known, 0 for a gray or hues within about 6 degrees of opposite: a number, so that a
    // loop over many pairs needs no branch.
    double known;
};
[[gnu::always_inline]] inline MeanHue MeanHueOf(double a1, double b1, double c1, double a2, double b2,
                                                double c2) {
    const double gray = c1 * c2 == 0.0 ? 1.0 : 0.0;
    const double inverse1 = 1.0 / (c1 + gray), inverse2 = 1.0 / (c2 + gray);
    const double sx = a1 * inverse1 + a2 * inverse2, sy = b1 * inverse1 + b2 * inverse2;
    const double length2 = sx * sx + sy * sy;
    const double known = (1.0 - gray) * (length2 > 0.01 ? 1.0 : 0.0);
    const double inverseLength = 1.0 / std::sqrt(length2 + (1.0 - known));
    return {sx * inverseLength, sy * inverseLength, known};
}

// The weighting T at a hue, from its cos and sin through those of 2h, 3h and 4h.
[[gnu::always_inline]] inline double WeightT(double c, double s) {
    const double c2h = 2.0 * c * c - 1.0, s2h = 2.0 * s * c;
    const double c3h = c * (4.0 * c * c - 3.0), s3h = s * (3.0 - 4.0 * s * s);
    const double c4h = 2.0 * c2h * c2h - 1.0, s4h = 2.0 * s2h * c2h;
    constexpr double COS30 = 0.86602540378443865, SIN30 = 0.5;
    constexpr double COS6 = 0.99452189536827333, SIN6 = 0.10452846326765347;
    constexpr double COS63 = 0.45399049973954680, SIN63 = 0.89100652418836786;
    return 1.0 - 0.17 * (c * COS30 + s * SIN30) + 0.24 * c2h + 0.32 * (c3h * COS6 - s3h * SIN6) -
           0.20 * (c4h * COS63 + s4h * SIN63);
}

// At least |sin 2Δθ| at a hue. The angle to 275 degrees around the circle is at most the one
// CIEDE2000 takes, so its Δθ is at most 30·exp(-(angle/25)²): beyond 75, 45 and 30 degrees,
// sin 2Δθ stays below these.
[[gnu::always_inline]] inline double RotationReachAt(double c, double s) {
    constexpr double COS275 = 0.087155742747658166, SIN275 = -0.99619469809174553;
    const double toBlue = c * COS275 + s * SIN275;  // cos of that angle
    // One choice at a time, which compilers turn into selects.
    double reach = SIN_60;
    reach = toBlue < 0.8660254 ? 0.246 : reach;
    reach = toBlue < 0.7071067 ? 0.0411 : reach;
    return toBlue < 0.2588190 ? 1.3e-4 : reach;
}

// 1 / SL² at its least over each of 1024 slices of L1 + L2 in [0, 200]: SL grows with the distance
// of the mean lightness from 50, so its largest value in a slice is at one end.
class LightnessTable {
public:
    LightnessTable() {
        for (int i = 0; i < SLICES; ++i) {
            const double low = LightnessWeight(i * WIDTH / 2.0);
            const double high = LightnessWeight((i + 1) * WIDTH / 2.0);
            const double largest = std::max(low, high) * (1.0 + 1e-12);
            inverseSquares_[static_cast<std::size_t>(i)] = 1.0 / (largest * largest);
        }
    }
    double InverseSquareAt(double lightnessSum) const {
        // A product may round across a slice's edge, where both slices' values hold (to their
        // margin).
        const double slice = std::clamp(lightnessSum * (1.0 / WIDTH), 0.0, SLICES - 1.0);
        return inverseSquares_[static_cast<std::size_t>(slice)];
    }
    const double* Data() const { return inverseSquares_.data(); }
    static constexpr int SLICES = 1024;
    static constexpr double WIDTH = 200.0 / SLICES;

private:
    std::array<double, SLICES> inverseSquares_{};
};

const LightnessTable& LightnessWeights() {
    static const LightnessTable table;
    return table;
}

// What the mean chroma C̄ = (C1 + C2) / 2 of a pair allows, in slices of C̄: C' = sqrt((G·a)² + b²)
// <= G·C, so C̄' <= G·C̄, and G falls as C̄ grows, so over a slice [low, high) C̄' <= G(low)·high.
// From that, SC at its largest, and 1 - |RT|/2 at its least: RT is at most sin 60° times
// RC = 2 sqrt(C̄'^7 / (C̄'^7 + 25^7)), which grows with C̄'. And G at its least, at the slice's top:
// Δa' = G·Δa; SH at its largest, with T at its largest; and G at its largest, at the slice's foot.
class ChromaTable {
public:
    struct Slice {
        double inverseWidest2;  // 1 / SC² at its least
        double rotationFloor;   // 1 - |RT|/2 at its least
        double gLeast;          // G at its least
        double inverseHue2;     // 1 / SH² at its least
    };
    ChromaTable() {
        for (int i = 0; i < SLICES; ++i) {
            const double low = i * WIDTH, high = (i + 1) * WIDTH;
            const double low7 = Pow7(low);
            const double g = 1.0 + 0.5 * (1.0 - std::sqrt(low7 / (low7 + POW25_7)));
            const double high7 = Pow7(high);
            const double gLeast = 1.0 + 0.5 * (1.0 - std::sqrt(high7 / (high7 + POW25_7)));
            Slice slice = Bounds(g * high, gLeast * (1.0 - 1e-12));
            gMost_[static_cast<std::size_t>(i)] = g * (1.0 + 1e-12);
            // Never above the slice below, which holds for every chroma above it too, so that a
            // larger chroma never gets larger weights (MakeCell relies on it).
            if (i > 0) {
                const Slice& below = slices_[static_cast<std::size_t>(i - 1)];
                slice = {std::min(slice.inverseWidest2, below.inverseWidest2),
                         std::min(slice.rotationFloor, below.rotationFloor), std::min(slice.gLeast, below.gLeast),
                         std::min(slice.inverseHue2, below.inverseHue2)};
            }
            slices_[static_cast<std::size_t>(i)] = slice;
        }
        slices_[SLICES] = {0.0, 1.0 - SIN_60, 1.0, 0.0};
        const double end7 = Pow7(SLICES * WIDTH);
        gMost_[SLICES] = (1.0 + 0.5 * (1.0 - std::sqrt(end7 / (end7 + POW25_7)))) * (1.0 + 1e-12);
    }
    const Slice& At(double chromaMean) const { return slices_[SliceOf(chromaMean)]; }
    // G at its largest for mean chromas from this one up.
    double GMostFrom(double chromaMean) const { return gMost_[SliceOf(chromaMean)]; }
    const Slice* Data() const { return slices_.data(); }

    static constexpr int SLICES = 1024;
    static constexpr double WIDTH = 0.25;

private:
    static std::size_t SliceOf(double chromaMean) {
        // One choice, which a loop over several entries makes without a branch.
        return static_cast<std::size_t>(chromaMean < SLICES * WIDTH ? chromaMean * (1.0 / WIDTH) : SLICES);
    }
    static Slice Bounds(double chromaMeanPrime, double gLeast) {
        const double c = chromaMeanPrime * (1.0 + 1e-12);
        const double widest = (1.0 + 0.045 * c) * (1.0 + 1e-12);
        const double widestHue = (1.0 + 0.015 * T_MAX * c) * (1.0 + 1e-12);
        const double c7 = Pow7(c);
        const double halfRc = std::sqrt(c7 / (c7 + POW25_7));
        return {1.0 / (widest * widest), 1.0 - SIN_60 * halfRc * (1.0 + 1e-9) - 1e-12, gLeast,
                1.0 / (widestHue * widestHue)};
    }
    // The last for chromas beyond any sRGB color's: C̄' <= 1.5·C̄ is not bounded, so SC is taken
    // as infinite.
    std::array<Slice, SLICES + 1> slices_{};
    std::array<double, SLICES + 1> gMost_{};
};

const ChromaTable& ChromaWeights() {
    static const ChromaTable table;
    return table;
}

// Half-planes through the origin of the (a, b) plane, one for each reach of the rotation term. Two
// hues strictly inside one have the bisector of their shorter arc, the mean hue CIEDE2000 takes,
// inside it too; and a' = G·a with 1 <= G <= 1.5 keeps a color inside when its images at G = 1 and
// G = 1.5 both are (the half-plane is convex). Every hue within 90 degrees of a normal in
// [75 + 5, 185 - 75] lies at least 75 degrees from 275 around the circle, where sin 2Δθ <= 1.3e-4 as
// in RotationReachAt; likewise 45 and 30 degrees. With RC <= 2, 1 - |RT|/2 is at least 1 - that sine.
struct HalfPlane {
    double x = 0, y = 0;  // the normal, a unit vector
    double floor = 0;     // 1 - |RT|/2 at its least for two colors inside
    bool Holds(double a, double b) const {
        const double along = b * y;
        return along + a * x > 0.0 && along + 1.5 * a * x > 0.0;
    }
    // Whether it holds every point of the box: each test is linear, least at a corner, and the
    // least corner takes each coordinate's end by the sign of its factor.
    bool HoldsAll(double aLow, double aHigh, double bLow, double bHigh) const {
        const double along = y >= 0.0 ? bLow * y : bHigh * y;
        const double across = x >= 0.0 ? aLow * x : aHigh * x;
        return along + across > 0.0 && along + 1.5 * across > 0.0;
    }
};

struct RotationReach {
    double lowest, highest;  // the normals, in degrees
    double floor;
};
constexpr RotationReach REACHES[] = {{80.0, 110.0, 1.0 - 1.3e-4}, {50.0, 140.0, 1.0 - 0.0411},
                                     {35.0, 155.0, 1.0 - 0.246}};
constexpr std::size_t REACH_COUNT = std::size(REACHES);

// For each reach, the half-plane whose normal is nearest the color's hue, or none (floor 0) when the
// color itself is not inside it: a search meets mostly entries of hues near its color's.
std::array<HalfPlane, REACH_COUNT> HalfPlanesAround(double a, double b) {
    constexpr double DEGREES = 180.0 / 3.14159265358979323846;
    // The unit normals at the ends of each range, made once.
    static const std::array<std::array<HalfPlane, 2>, REACH_COUNT> ENDS = [] {
        std::array<std::array<HalfPlane, 2>, REACH_COUNT> ends{};
        for (std::size_t i = 0; i < REACH_COUNT; ++i) {
            const double low = REACHES[i].lowest / DEGREES, high = REACHES[i].highest / DEGREES;
            ends[i] = {HalfPlane{std::cos(low), std::sin(low), REACHES[i].floor},
                       HalfPlane{std::cos(high), std::sin(high), REACHES[i].floor}};
        }
        return ends;
    }();
    std::array<HalfPlane, REACH_COUNT> planes{};
    if (a == 0.0 && b == 0.0) return planes;
    double hue = std::atan2(b, a) * DEGREES;
    if (hue < -85.0) hue += 360.0;  // nearer the highest normals than the lowest
    const double chroma = std::sqrt(a * a + b * b);
    for (std::size_t i = 0; i < REACH_COUNT; ++i) {
        const HalfPlane plane = hue < REACHES[i].lowest    ? ENDS[i][0]
                                : hue > REACHES[i].highest ? ENDS[i][1]
                                                           : HalfPlane{a / chroma, b / chroma, REACHES[i].floor};
        if (plane.Holds(a, b)) planes[i] = plane;
    }
    return planes;
}

// Where the primed hue h' = atan2(b, G·a) of colors may lie, for G from 1 to 1.5: an arc of less
// than a half turn, in degrees, or any hue. CIEDE2000's mean hue lies on the shorter arc between two
// hues, so for two arcs whose hull is less than a half turn, within that hull; the farther that lies
// from 275 degrees around the circle, the smaller the rotation term can be.
struct HueArc {
    double from = 0.0, span = 360.0;
};

// The arc of points (a, b) and (1.5 a, b): hue moves monotonically with G, and over a box, to its
// corners. Widened by far more than atan2's rounding.
HueArc HueArcOf(const double* as, const double* bs, std::size_t count) {
    constexpr double DEGREES = 180.0 / 3.14159265358979323846;
    double x = 0.0, y = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double length = std::sqrt(as[i] * as[i] + bs[i] * bs[i]);
        if (length == 0.0) return {};
        x += as[i] / length;
        y += bs[i] / length;
    }
    if (x * x + y * y < 1e-6) return {};
    const double toward = std::atan2(y, x) * DEGREES;
    double low = 0.0, high = 0.0;
    for (std::size_t i = 0; i < 2 * count; ++i) {
        const double a = as[i % count] * (i < count ? 1.0 : 1.5), b = bs[i % count];
        double offset = std::atan2(b, a) * DEGREES - toward;
        offset = offset > 180.0 ? offset - 360.0 : offset <= -180.0 ? offset + 360.0 : offset;
        low = std::min(low, offset);
        high = std::max(high, offset);
    }
    if (high - low >= 170.0) return {};
    double from = toward + low - 1e-6;
    from = from < 0.0 ? from + 360.0 : from >= 360.0 ? from - 360.0 : from;
    return {from, high - low + 2e-6};
}

// The angle around the circle from 275 degrees to the hull of two arcs, or 0 when the hull is not
// less than a half turn. With the cube's arc at 0, the entry's starts r degrees on: before or after.
[[gnu::always_inline]] inline double AngleFrom275(const HueArc& cube, double from, double span) {
    double r = from - cube.from;
    r = r < 0.0 ? r + 360.0 : r;
    const double entryStart = r <= 180.0 ? r : r - 360.0;
    const double start = std::min(0.0, entryStart), end = std::max(cube.span, entryStart + span);
    double t = 275.0 - cube.from;
    t = t < 0.0 ? t + 360.0 : t;
    const bool inside = (t >= start && t <= end) || (t - 360.0 >= start && t - 360.0 <= end);
    const auto around = [](double x) {
        x = std::fabs(x);
        x = x >= 360.0 ? x - 360.0 : x;
        return std::min(x, 360.0 - x);
    };
    const bool known = cube.span < 180.0 && span < 180.0 && end - start < 180.0;
    return known && !inside ? std::min(around(t - start), around(t - end)) : 0.0;
}

// At least |sin 2Δθ| / sin 60° for mean hues at least d whole degrees from 275 around the circle:
// Δθ is at most 30·exp(-(d/25)²) there, as in RotationReachAt.
class RotationTable {
public:
    RotationTable() {
        for (std::size_t d = 0; d < reach_.size(); ++d) {
            const double x = static_cast<double>(d) / 25.0;
            const double theta = 30.0 * std::exp(-x * x) / (180.0 / 3.14159265358979323846);
            reach_[d] = std::min(1.0, (std::sin(2.0 * theta) * (1.0 + 1e-9) + 1e-12) / SIN_60);
        }
    }
    double At(double angle) const { return reach_[static_cast<std::size_t>(std::min(angle, 180.0))]; }
    const double* Data() const { return reach_.data(); }

private:
    std::array<double, 181> reach_{};
};

const RotationTable& RotationReaches() {
    static const RotationTable table;
    return table;
}

// A squared best with the margin for rounding: a squared bound above it surely exceeds the best.
double BeyondLimit(double best2) { return best2 * (1.0 + 1e-9) + 1e-9; }
// True when the squared bound surely exceeds the squared best (or equals it only by rounding).
bool Beyond(double bound2, double best2) { return bound2 > BeyondLimit(best2); }

using Box = PerceptualIndex::Box;

// Entries' coordinates, one array each.
struct EntryColumns {
    const double* lightness;
    const double* a;
    const double* b;
    const double* chroma;
};

// Planes that do not hold all of the box are left without a floor.
std::array<HalfPlane, REACH_COUNT> HalfPlanesAround(const Box& box) {
    std::array<HalfPlane, REACH_COUNT> planes =
        HalfPlanesAround((box.aLow + box.aHigh) / 2.0, (box.bLow + box.bHigh) / 2.0);
    for (HalfPlane& plane : planes) {
        if (!plane.HoldsAll(box.aLow, box.aHigh, box.bLow, box.bHigh)) plane = HalfPlane{};
    }
    return planes;
}

// The factors of a lower bound of the difference, squared, between any color of `query` and any of
// `target`, taken over the gaps between the boxes: the lightness weight at its least over the
// lightness sums the boxes allow (SL is largest at one end of any range), the widest SC and the
// least G for their largest chromas, and a rotation floor that holds for both boxes (1 where either
// is all gray, whose hue difference is zero). `planes` must hold all of `query`.
struct Weights {
    double l, a, b;
    double hue;  // for the hue difference, which SH weighs, with the same floor as b
};
// The planes hold floors from the highest down (or none), so the first that holds the target and
// raises the floor is the highest that does: the floor is the largest of those that hold, computed
// without branches.
// `reach`, at most 1, bounds |sin 2Δθ| / sin 60° for the pair where their hues tell more.
[[gnu::always_inline]] inline Weights WeightsBetween(const Box& query, const Box& target,
                                                     const std::array<HalfPlane, REACH_COUNT>& planes,
                                                     double reach = 1.0) {
    const LightnessTable& lightnessWeights = LightnessWeights();
    const double l = std::min(lightnessWeights.InverseSquareAt(target.lLow + query.lLow),
                              lightnessWeights.InverseSquareAt(target.lHigh + query.lHigh));
    const ChromaTable::Slice& slice = ChromaWeights().At((query.chromaHigh + target.chromaHigh) / 2.0);
    double floor = query.chromaHigh == 0.0 || target.chromaHigh == 0.0 ? 1.0 : slice.rotationFloor;
    floor = std::max(floor, 1.0 - (1.0 - slice.rotationFloor) * reach);
    for (const HalfPlane& plane : planes) {
        const bool holds = plane.HoldsAll(target.aLow, target.aHigh, target.bLow, target.bHigh);
        floor = std::max(floor, holds ? plane.floor : 0.0);
    }
    const double b = floor * slice.inverseWidest2;
    return {l, b * slice.gLeast * slice.gLeast, b, floor * slice.inverseHue2};
}

[[gnu::always_inline]] inline double Gap(double low, double high, double otherLow, double otherHigh) {
    return std::max({0.0, otherLow - high, low - otherHigh});
}

[[gnu::always_inline]] inline double BoundOver(const Weights& weights, const Box& query, const Box& target) {
    const double l = Gap(query.lLow, query.lHigh, target.lLow, target.lHigh);
    const double a = Gap(query.aLow, query.aHigh, target.aLow, target.aHigh);
    const double b = Gap(query.bLow, query.bHigh, target.bLow, target.bHigh);
    return weights.l * l * l + weights.a * a * a + weights.b * b * b;
}

double BoundBetween(const Box& query, const Box& target, const std::array<HalfPlane, REACH_COUNT>& planes) {
    return BoundOver(WeightsBetween(query, target, planes), query, target);
}

// Each entry's bound over a cube, BoundOver(WeightsBetween(cube, entry, planes), cube, entry), and
// the weights behind it, column by column.
struct CubeColumns {
    double* bound;
    double* weightL;
    double* weightA;
    double* weightB;
    double* weightHue;
    double* atMiddle;  // the bound by those weights at the cube's middle
};

// The entries' arcs of primed hue, one array each.
struct ArcColumns {
    const double* from;
    const double* span;
};

[[gnu::always_inline]] inline void CubeBoundsLoop(const Box& cube, const std::array<HalfPlane, REACH_COUNT>& planes,
                                                 const HueArc& cubeArc, const EntryColumns& entries,
                                                 const ArcColumns& arcs, std::size_t begin, std::size_t end,
                                                 const CubeColumns& out) {
    const RotationTable& rotation = RotationReaches();
    for (std::size_t k = begin; k < end; ++k) {
        const Box entry{entries.lightness[k], entries.lightness[k], entries.a[k], entries.a[k],
                        entries.b[k],         entries.b[k],         entries.chroma[k]};
        const Weights weights =
            WeightsBetween(cube, entry, planes, rotation.At(AngleFrom275(cubeArc, arcs.from[k], arcs.span[k])));
        out.bound[k] = BoundOver(weights, cube, entry);
        out.weightL[k] = weights.l;
        out.weightA[k] = weights.a;
        out.weightB[k] = weights.b;
        out.weightHue[k] = weights.hue;
        const double dl = entry.lLow - (cube.lLow + cube.lHigh) / 2.0, da = entry.aLow - (cube.aLow + cube.aHigh) / 2.0,
                     db = entry.bLow - (cube.bLow + cube.bHigh) / 2.0;
        out.atMiddle[k] = weights.l * dl * dl + weights.a * da * da + weights.b * db * db;
    }
}

#ifdef TESSELBOX_AVX2
// Four values of a table; all lanes read, from a defined start.
[[gnu::target("avx2,fma"), gnu::always_inline]] inline __m256d GatherAt(const double* table, __m128i at) {
    return _mm256_mask_i32gather_pd(_mm256_setzero_pd(), table, at, _mm256_castsi256_pd(_mm256_set1_epi64x(-1)), 8);
}

[[gnu::target("avx2,fma"), gnu::always_inline]] inline __m256d LightnessWeightsAt(const double* inverseSquares,
                                                                              __m256d sum) {
    const __m256d slice = _mm256_min_pd(
        _mm256_max_pd(_mm256_mul_pd(sum, _mm256_set1_pd(1.0 / LightnessTable::WIDTH)), _mm256_setzero_pd()),
        _mm256_set1_pd(LightnessTable::SLICES - 1.0));
    return GatherAt(inverseSquares, _mm256_cvttpd_epi32(slice));
}

[[gnu::target("avx2,fma"), gnu::always_inline]] inline __m256d GapsOf(__m256d v, __m256d low, __m256d high) {
    return _mm256_max_pd(_mm256_max_pd(_mm256_setzero_pd(), _mm256_sub_pd(v, high)), _mm256_sub_pd(low, v));
}

// The angle around the circle for a difference of angles within a turn and a half.
[[gnu::target("avx2,fma"), gnu::always_inline]] inline __m256d AroundTheCircle(__m256d x) {
    const __m256d turn = _mm256_set1_pd(360.0);
    x = _mm256_andnot_pd(_mm256_set1_pd(-0.0), x);
    x = _mm256_sub_pd(x, _mm256_and_pd(_mm256_cmp_pd(x, turn, _CMP_GE_OQ), turn));
    return _mm256_min_pd(x, _mm256_sub_pd(turn, x));
}

// AngleFrom275, four entries at a time.
[[gnu::target("avx2,fma"), gnu::always_inline]] inline __m256d AnglesFrom275(const HueArc& cube, __m256d from,
                                                                         __m256d span) {
    const __m256d zero = _mm256_setzero_pd(), half = _mm256_set1_pd(180.0), turn = _mm256_set1_pd(360.0);
    const __m256d cubeSpan = _mm256_set1_pd(cube.span);
    __m256d r = _mm256_sub_pd(from, _mm256_set1_pd(cube.from));
    r = _mm256_add_pd(r, _mm256_and_pd(_mm256_cmp_pd(r, zero, _CMP_LT_OQ), turn));
    const __m256d entryStart = _mm256_sub_pd(r, _mm256_and_pd(_mm256_cmp_pd(r, half, _CMP_GT_OQ), turn));
    const __m256d start = _mm256_min_pd(zero, entryStart);
    const __m256d end = _mm256_max_pd(cubeSpan, _mm256_add_pd(entryStart, span));
    double t = 275.0 - cube.from;
    t = t < 0.0 ? t + 360.0 : t;
    const __m256d at = _mm256_set1_pd(t), before = _mm256_set1_pd(t - 360.0);
    const __m256d inside = _mm256_or_pd(
        _mm256_and_pd(_mm256_cmp_pd(at, start, _CMP_GE_OQ), _mm256_cmp_pd(at, end, _CMP_LE_OQ)),
        _mm256_and_pd(_mm256_cmp_pd(before, start, _CMP_GE_OQ), _mm256_cmp_pd(before, end, _CMP_LE_OQ)));
    const __m256d angle =
        _mm256_min_pd(AroundTheCircle(_mm256_sub_pd(at, start)), AroundTheCircle(_mm256_sub_pd(at, end)));
    const __m256d known = _mm256_and_pd(_mm256_cmp_pd(span, half, _CMP_LT_OQ),
                                        _mm256_cmp_pd(_mm256_sub_pd(end, start), half, _CMP_LT_OQ));
    return _mm256_and_pd(_mm256_andnot_pd(inside, known), angle);
}

// Four entries at a time: the same arithmetic, the weights' tables read by gathers.
[[gnu::target("avx2,fma")]] void CubeBoundsAvx2(const Box& cube, const std::array<HalfPlane, REACH_COUNT>& planes,
                                                const HueArc& cubeArc, const EntryColumns& entries,
                                                const ArcColumns& arcs, std::size_t count,
                                                const CubeColumns& out) {
    const double* reaches = RotationReaches().Data();
    const double* inverseSquares = LightnessWeights().Data();
    const auto* slices = reinterpret_cast<const double*>(ChromaWeights().Data());
    static_assert(sizeof(ChromaTable::Slice) == 4 * sizeof(double));
    const __m256d zero = _mm256_setzero_pd(), one = _mm256_set1_pd(1.0);
    const __m256d lLow = _mm256_set1_pd(cube.lLow), lHigh = _mm256_set1_pd(cube.lHigh);
    const __m256d aLow = _mm256_set1_pd(cube.aLow), aHigh = _mm256_set1_pd(cube.aHigh);
    const __m256d bLow = _mm256_set1_pd(cube.bLow), bHigh = _mm256_set1_pd(cube.bHigh);
    const __m256d chromaHigh = _mm256_set1_pd(cube.chromaHigh);
    const __m256d middleL = _mm256_set1_pd((cube.lLow + cube.lHigh) / 2.0);
    const __m256d middleA = _mm256_set1_pd((cube.aLow + cube.aHigh) / 2.0);
    const __m256d middleB = _mm256_set1_pd((cube.bLow + cube.bHigh) / 2.0);
    const __m256d chromaEnd = _mm256_set1_pd(ChromaTable::SLICES * ChromaTable::WIDTH);
    const __m256d chromaBeyond = _mm256_set1_pd(ChromaTable::SLICES);
    const __m256d cubeGray = _mm256_set1_pd(cube.chromaHigh == 0.0 ? 1.0 : 0.0);
    std::size_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m256d lightness = _mm256_loadu_pd(entries.lightness + k), a = _mm256_loadu_pd(entries.a + k);
        const __m256d b = _mm256_loadu_pd(entries.b + k), chroma = _mm256_loadu_pd(entries.chroma + k);
        const __m256d l = _mm256_min_pd(LightnessWeightsAt(inverseSquares, _mm256_add_pd(lightness, lLow)),
                                        LightnessWeightsAt(inverseSquares, _mm256_add_pd(lightness, lHigh)));
        const __m256d mean = _mm256_div_pd(_mm256_add_pd(chromaHigh, chroma), _mm256_set1_pd(2.0));
        const __m256d slice = _mm256_blendv_pd(
            chromaBeyond, _mm256_mul_pd(mean, _mm256_set1_pd(1.0 / ChromaTable::WIDTH)),
            _mm256_cmp_pd(mean, chromaEnd, _CMP_LT_OQ));
        const __m128i at = _mm_slli_epi32(_mm256_cvttpd_epi32(slice), 2);
        const __m256d inverseWidest2 = GatherAt(slices, at);
        const __m256d rotationFloor = GatherAt(slices + 1, at);
        const __m256d gLeast = GatherAt(slices + 2, at);
        const __m256d inverseHue2 = GatherAt(slices + 3, at);
        const __m256d gray =
            _mm256_or_pd(_mm256_cmp_pd(cubeGray, one, _CMP_EQ_OQ), _mm256_cmp_pd(chroma, zero, _CMP_EQ_OQ));
        __m256d floor = _mm256_blendv_pd(rotationFloor, one, gray);
        for (const HalfPlane& plane : planes) {
            const __m256d along = _mm256_mul_pd(b, _mm256_set1_pd(plane.y));
            const __m256d across = _mm256_mul_pd(a, _mm256_set1_pd(plane.x));
            const __m256d farther = _mm256_add_pd(along, _mm256_mul_pd(_mm256_set1_pd(1.5), across));
            const __m256d holds = _mm256_and_pd(_mm256_cmp_pd(_mm256_add_pd(along, across), zero, _CMP_GT_OQ),
                                                _mm256_cmp_pd(farther, zero, _CMP_GT_OQ));
            floor = _mm256_max_pd(floor, _mm256_and_pd(holds, _mm256_set1_pd(plane.floor)));
        }
        // The hues' arcs, where the half-planes left a floor below the best they give.
        if (cubeArc.span < 180.0 &&
            _mm256_movemask_pd(_mm256_cmp_pd(floor, _mm256_set1_pd(REACHES[0].floor), _CMP_LT_OQ)) != 0) {
            const __m256d angle = _mm256_min_pd(
                AnglesFrom275(cubeArc, _mm256_loadu_pd(arcs.from + k), _mm256_loadu_pd(arcs.span + k)),
                _mm256_set1_pd(180.0));
            const __m256d reach = GatherAt(reaches, _mm256_cvttpd_epi32(angle));
            floor = _mm256_max_pd(floor, _mm256_fnmadd_pd(_mm256_sub_pd(one, rotationFloor), reach, one));
        }
        const __m256d weightB = _mm256_mul_pd(floor, inverseWidest2);
        const __m256d weightA = _mm256_mul_pd(_mm256_mul_pd(weightB, gLeast), gLeast);
        const __m256d gapL = GapsOf(lightness, lLow, lHigh), gapA = GapsOf(a, aLow, aHigh);
        const __m256d gapB = GapsOf(b, bLow, bHigh);
        const __m256d bound = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_mul_pd(l, gapL), gapL),
                                                          _mm256_mul_pd(_mm256_mul_pd(weightA, gapA), gapA)),
                                            _mm256_mul_pd(_mm256_mul_pd(weightB, gapB), gapB));
        _mm256_storeu_pd(out.bound + k, bound);
        _mm256_storeu_pd(out.weightL + k, l);
        _mm256_storeu_pd(out.weightA + k, weightA);
        _mm256_storeu_pd(out.weightB + k, weightB);
        _mm256_storeu_pd(out.weightHue + k, _mm256_mul_pd(floor, inverseHue2));
        const __m256d dl = _mm256_sub_pd(lightness, middleL), da = _mm256_sub_pd(a, middleA),
                      db = _mm256_sub_pd(b, middleB);
        _mm256_storeu_pd(out.atMiddle + k, _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_mul_pd(l, dl), dl),
                                                                      _mm256_mul_pd(_mm256_mul_pd(weightA, da), da)),
                                                        _mm256_mul_pd(_mm256_mul_pd(weightB, db), db)));
    }
    CubeBoundsLoop(cube, planes, cubeArc, entries, arcs, k, count, out);
}
#endif

// Each of these runs the AVX2 loop when `avx2` (which only Avx2WithFma() may allow), else the plain one.
void CubeBounds(bool avx2, const Box& cube, const std::array<HalfPlane, REACH_COUNT>& planes, const HueArc& cubeArc,
                const EntryColumns& entries, const ArcColumns& arcs, std::size_t count, const CubeColumns& out) {
#ifdef TESSELBOX_AVX2
    if (avx2) {
        CubeBoundsAvx2(cube, planes, cubeArc, entries, arcs, count, out);
        return;
    }
#endif
    (void)avx2;
    CubeBoundsLoop(cube, planes, cubeArc, entries, arcs, 0, count, out);
}

// The terms of CIEDE2000 for a pair that need no angle: ΔL/SL squared, G, C1', C2', ΔC'/SC, the
// dot and cross products of (a', b), RC, and the mean hue's direction.
struct PairTerms {
    double l2, a1, a2, c1, c2, cMean, x, dot, cross, rc;
    MeanHue hue;
};
[[gnu::always_inline]] inline PairTerms TermsOf(double lightness1, double a1, double b1, double chroma1,
                                                double lightness2, double a2, double b2, double chroma2) {
    PairTerms terms{};
    const double deltaL = lightness2 - lightness1;
    const double sl = LightnessWeight((lightness1 + lightness2) / 2.0);
    terms.l2 = deltaL * deltaL / (sl * sl);
    const double cMean7 = Pow7((chroma1 + chroma2) / 2.0);
    const double g = 1.0 + 0.5 * (1.0 - std::sqrt(cMean7 / (cMean7 + POW25_7)));
    terms.a1 = g * a1;
    terms.a2 = g * a2;
    terms.c1 = std::sqrt(terms.a1 * terms.a1 + b1 * b1);
    terms.c2 = std::sqrt(terms.a2 * terms.a2 + b2 * b2);
    terms.cMean = (terms.c1 + terms.c2) / 2.0;
    terms.x = (terms.c2 - terms.c1) / (1.0 + 0.045 * terms.cMean);
    terms.dot = terms.a1 * terms.a2 + b1 * b2;
    terms.cross = terms.a1 * b2 - b1 * terms.a2;
    const double cMean7p = Pow7(terms.cMean);
    terms.rc = 2.0 * std::sqrt(cMean7p / (cMean7p + POW25_7));
    terms.hue = MeanHueOf(terms.a1, b1, terms.c1, terms.a2, b2, terms.c2);
    return terms;
}

// Bounds of the difference, squared, from `color` to `count` entries, with every term exact except
// the hue weighting T and the rotation term RT. T is known to within rounding where the mean hue is,
// and lies in [T_MIN, T_MAX] where it is not; |RT| is at most k = RC times RotationReachAt. With
// x = ΔC'/SC and y = |ΔH'|/SH, x² + y² + RT·x·y is least over those ranges at the y nearest the
// vertex k|x|/2 of the parabola, and largest at the largest y with RT·x·y = k|x|y. But RT is never
// positive (it is -sin 2Δθ·RC, with 2Δθ within 60 degrees), so where the mean hue is known and with
// it the sign of ΔH' (the cross product's), the term has the opposite sign of ΔC'·ΔH': where that is
// positive the largest is x² + y² itself, where negative the least. (Where either is a rounding
// error from zero, so is the term.) One loop without branches, so that the compiler can run it on
// several entries at once.
[[gnu::always_inline]] inline void BoundsLoop(const Lab& color, double chroma, const EntryColumns& entries,
                                             std::size_t count, double* lows, double* highs) {
    const double* lightness = entries.lightness;
    const double* as = entries.a;
    const double* bs = entries.b;
    const double* chromas = entries.chroma;
    const double colorL = color.L, colorA = color.a, colorB = color.b;
    for (std::size_t k = 0; k < count; ++k) {
        const PairTerms terms = TermsOf(colorL, colorA, colorB, chroma, lightness[k], as[k], bs[k], chromas[k]);
        const double l2 = terms.l2, x = terms.x, cMean = terms.cMean;
        const MeanHue& hue = terms.hue;
        // Where the mean hue is unknown, its ranges, blended in by arithmetic.
        const double known = hue.known, unknown = 1.0 - known;
        // |ΔH'| from the cross product where the hues are not nearly opposite, since 2(C1'C2' - dot)
        // loses its digits as the hues meet; from that where they are.
        const double cc = terms.c1 * terms.c2;
        const double deltaH2 = 2.0 * (cc - terms.dot);
        const double deltaH = known * std::fabs(terms.cross) * std::sqrt(2.0 / (cc + terms.dot + unknown)) +
                              unknown * std::sqrt(deltaH2 > 0.0 ? deltaH2 : 0.0);
        const double rc = terms.rc;
        const double t = WeightT(hue.cos, hue.sin);
        const double tLow = known * (t * (1.0 - 1e-9) - 1e-9) + unknown * T_MIN;
        const double tHigh = known * (t * (1.0 + 1e-9) + 1e-9) + unknown * T_MAX;
        const double reach = rc * (known * RotationReachAt(hue.cos, hue.sin) + unknown * SIN_60);
        const double yLow = deltaH / (1.0 + 0.015 * cMean * tHigh);
        const double yHigh = deltaH / (1.0 + 0.015 * cMean * tLow);
        const double y = std::min(std::max(reach * std::fabs(x) / 2.0, yLow), yHigh);
        const double lowers = known * (x * terms.cross > 0.0 ? 1.0 : 0.0);  // the term is at most 0
        const double raises = known * (x * terms.cross < 0.0 ? 1.0 : 0.0);  // at least 0
        lows[k] = l2 + x * x + (1.0 - raises) * (y * y - reach * std::fabs(x) * y) + raises * yLow * yLow;
        highs[k] = l2 + x * x + yHigh * yHigh + (1.0 - lowers) * reach * std::fabs(x) * yHigh;
    }
}

#ifdef TESSELBOX_AVX2
// Four entries at a time where the processor can.
[[gnu::target("avx2,fma")]] void BoundsAvx2(const Lab& color, double chroma, const EntryColumns& entries,
                                           std::size_t count, double* lows, double* highs) {
    BoundsLoop(color, chroma, entries, count, lows, highs);
}
#endif

void Bounds(bool avx2, const Lab& color, double chroma, const EntryColumns& entries, std::size_t count, double* lows,
            double* highs) {
#ifdef TESSELBOX_AVX2
    if (avx2) {
        BoundsAvx2(color, chroma, entries, count, lows, highs);
        return;
    }
#endif
    (void)avx2;
    BoundsLoop(color, chroma, entries, count, lows, highs);
}

// A group of a cube's candidates: their coordinates and the weights of their cheap bound.
constexpr std::size_t GROUP = 16;
struct GroupColumns {
    const float* lightness;
    const float* a;
    const float* b;
    const float* weightL;
    const float* weightA;
    const float* weightB;
    const float* weightHue;
    const float* chroma;
    const float* gMost;
};

// The cheap bound weighs the difference in (a, b) by SC, which holds for chroma and hue alike; but
// SH is smaller, and where two colors differ in hue more than in chroma, the hue difference weighs
// more. With D = Δa'² + Δb² = ΔC'² + ΔH'² and |ΔC'| <= M, ΔH'² >= D - M², and that part of D may take
// the larger weight of SH. Δa'² >= Δa², and C' lies between C and G·C, so M is the larger of
// G·C1 - C2 and G·C2 - C1, with G at its largest, and a little more for the entry's chroma rounded to
// a float (under 8e-6 below 256).
constexpr double CHROMA_ROUNDING = 2e-5;
// The candidates' coordinates are floats too, each within 4e-6 of its value (all lie below 128), so
// every difference is taken as that much less.
constexpr double COORDINATE_ROUNDING = 1e-5;

[[gnu::always_inline]] inline double AtLeast(double coordinate, double from) {
    return std::max(0.0, std::fabs(coordinate - from) - COORDINATE_ROUNDING);
}

// Each candidate's cheap bound, infinite from `size` up; returns the first of the least.
inline std::size_t CheapBoundsLoop(const GroupColumns& group, std::size_t size, const Lab& color, double chroma,
                                   double* bounds) {
    std::size_t least = 0;
    for (std::size_t k = 0; k < GROUP; ++k) {
        const double dl = AtLeast(group.lightness[k], color.L), da = AtLeast(group.a[k], color.a),
                     db = AtLeast(group.b[k], color.b);
        const double g = group.gMost[k], other = group.chroma[k];
        const double most = std::max({g * chroma - other, g * other - chroma, 0.0}) + CHROMA_ROUNDING;
        const double hue = std::max(0.0, da * da + db * db - most * most);
        bounds[k] = k < size ? group.weightL[k] * dl * dl + group.weightA[k] * da * da + group.weightB[k] * db * db +
                                   group.weightHue[k] * hue
                             : std::numeric_limits<double>::infinity();
        least = bounds[k] < bounds[least] ? k : least;
    }
    return least;
}

#ifdef TESSELBOX_AVX2
// Four floats as doubles.
[[gnu::target("avx2,fma"), gnu::always_inline]] inline __m256d Wide(const float* v) {
    return _mm256_cvtps_pd(_mm_loadu_ps(v));
}

// AtLeast, four at a time.
[[gnu::target("avx2,fma"), gnu::always_inline]] inline __m256d AtLeast(const float* coordinates, __m256d from) {
    const __m256d difference = _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_sub_pd(Wide(coordinates), from));
    return _mm256_max_pd(_mm256_setzero_pd(), _mm256_sub_pd(difference, _mm256_set1_pd(COORDINATE_ROUNDING)));
}

[[gnu::target("avx2,fma")]] std::size_t CheapBoundsAvx2(const GroupColumns& group, std::size_t size, const Lab& color,
                                                        double chroma, double* bounds) {
    const __m256d l = _mm256_set1_pd(color.L), a = _mm256_set1_pd(color.a), b = _mm256_set1_pd(color.b);
    const __m256d c = _mm256_set1_pd(chroma), zero = _mm256_setzero_pd();
    const __m256d infinite = _mm256_set1_pd(std::numeric_limits<double>::infinity());
    const __m256i sizes = _mm256_set1_epi64x(static_cast<long long>(size));
    __m256d least = infinite;
    for (std::size_t k = 0; k < GROUP; k += 4) {
        const __m256d dl = AtLeast(group.lightness + k, l), da = AtLeast(group.a + k, a), db = AtLeast(group.b + k, b);
        __m256d bound = _mm256_mul_pd(_mm256_mul_pd(Wide(group.weightL + k), dl), dl);
        bound = _mm256_fmadd_pd(_mm256_mul_pd(Wide(group.weightA + k), da), da, bound);
        bound = _mm256_fmadd_pd(_mm256_mul_pd(Wide(group.weightB + k), db), db, bound);
        const __m256d g = Wide(group.gMost + k), other = Wide(group.chroma + k);
        const __m256d most = _mm256_add_pd(
            _mm256_max_pd(_mm256_max_pd(_mm256_fmsub_pd(g, c, other), _mm256_fmsub_pd(g, other, c)), zero),
            _mm256_set1_pd(CHROMA_ROUNDING));
        const __m256d hue = _mm256_max_pd(
            zero, _mm256_sub_pd(_mm256_fmadd_pd(da, da, _mm256_mul_pd(db, db)), _mm256_mul_pd(most, most)));
        bound = _mm256_fmadd_pd(Wide(group.weightHue + k), hue, bound);
        const __m256i lanes =
            _mm256_add_epi64(_mm256_set1_epi64x(static_cast<long long>(k)), _mm256_setr_epi64x(0, 1, 2, 3));
        bound = _mm256_blendv_pd(infinite, bound, _mm256_castsi256_pd(_mm256_cmpgt_epi64(sizes, lanes)));
        _mm256_storeu_pd(bounds + k, bound);
        least = _mm256_min_pd(least, bound);
    }
    least = _mm256_min_pd(least, _mm256_permute4x64_pd(least, 0x4E));
    least = _mm256_min_pd(least, _mm256_permute_pd(least, 0x5));
    const double smallest = _mm256_cvtsd_f64(least);
    for (std::size_t k = 0;; ++k) {
        if (bounds[k] == smallest) return k;
    }
}
#endif

// Bit k set where bounds[k], k < size, is not Beyond best2: a branch for each would be a guess the
// processor often gets wrong.
std::uint32_t MayWinLoop(const double* bounds, std::size_t size, double best2) {
    std::uint32_t may = 0;
    for (std::size_t k = 0; k < GROUP; ++k) may |= (k < size && !Beyond(bounds[k], best2) ? 1u : 0u) << k;
    return may;
}

#ifdef TESSELBOX_AVX2
[[gnu::target("avx2,fma")]] std::uint32_t MayWinAvx2(const double* bounds, std::size_t size, double best2) {
    const __m256d limit = _mm256_set1_pd(BeyondLimit(best2));
    std::uint32_t may = 0;
    for (std::size_t k = 0; k < GROUP; k += 4) {
        const int lanes = _mm256_movemask_pd(_mm256_cmp_pd(_mm256_loadu_pd(bounds + k), limit, _CMP_LE_OQ));
        may |= static_cast<std::uint32_t>(lanes) << k;
    }
    return may & ((std::uint32_t{1} << size) - 1);
}
#endif

std::uint32_t MayWin(bool avx2, const double* bounds, std::size_t size, double best2) {
#ifdef TESSELBOX_AVX2
    if (avx2) return MayWinAvx2(bounds, size, best2);
#endif
    (void)avx2;
    return MayWinLoop(bounds, size, best2);
}

std::size_t CheapBounds(bool avx2, const GroupColumns& group, std::size_t size, const Lab& color, double chroma,
                        double* bounds) {
#ifdef TESSELBOX_AVX2
    if (avx2) return CheapBoundsAvx2(group, size, color, chroma, bounds);
#endif
    (void)avx2;
    return CheapBoundsLoop(group, size, color, chroma, bounds);
}

Pixel ColorOnly(Pixel pixel) { return pixel & 0x00FFFFFFu; }

constexpr std::size_t BLOCKS = 4096;
constexpr unsigned RECENT_BITS = 16;
constexpr std::size_t RECENT = std::size_t{1} << RECENT_BITS;

// Where a color's recent answer is kept.
std::size_t RecentSlotOf(Pixel p) { return (ColorOnly(p) * 0x9E3779B1u) >> (32 - RECENT_BITS); }

std::uint32_t BlockOf(Pixel p) { return (p >> 12 & 0xF00u) | (p >> 8 & 0xF0u) | (p >> 4 & 0xFu); }
std::uint32_t SlotOf(Pixel p) { return (p >> 8 & 0xF00u) | (p >> 4 & 0xF0u) | (p & 0xFu); }

// The cubes' grid covers every 8-bit sRGB color's CIELAB (L 0..100, a -86.2..98.3, b -107.9..94.5).
// Cubes of 9 units: a cube's list costs one pass over the table, so on saturated photos fewer,
// larger cubes pay; larger still (10) lengthen the lists where the table is sparse (a blue sky
// without some blocks) more than they save.
constexpr double CELL_SIZE = 9.0;
constexpr double GRID_L = 0.0, GRID_A = -90.0, GRID_B = -110.0;
constexpr std::size_t CELLS_L = 12, CELLS_A = 22, CELLS_B = 23;
static_assert(GRID_L + CELLS_L * CELL_SIZE > 100.0 && GRID_A + CELLS_A * CELL_SIZE > 100.0 &&
              GRID_B + CELLS_B * CELL_SIZE > 96.0);
// How far beyond the difference at a cube's middle its list reaches. Wider lists more entries for
// every color; narrower sends more colors to the tree. Measured on photographs and on noise.
constexpr double CELL_REACH = 0.5 * CELL_SIZE;

}  // namespace

std::int32_t FindNearestPerceptual(const ColorTable& table, const Lab& color) {
    std::int32_t best = 0;
    double bestDifference = Ciede2000(color, LabOf(table.colors[0]));
    for (std::int32_t i = 1; i < table.count; ++i) {
        const double d = Ciede2000(color, LabOf(table.colors[static_cast<std::size_t>(i)]));
        if (d < bestDifference) {
            best = i;
            bestDifference = d;
        }
    }
    return best;
}

bool FartherOrAsFar(const Lab& from, const Lab& x, const Lab& y) {
    const std::array<double, 2> lightness{x.L, y.L}, as{x.a, y.a}, bs{x.b, y.b},
        chromas{std::sqrt(x.a * x.a + x.b * x.b), std::sqrt(y.a * y.a + y.b * y.b)};
    std::array<double, 2> lows{}, highs{};
    Bounds(Avx2WithFma(), from, std::sqrt(from.a * from.a + from.b * from.b),
           {lightness.data(), as.data(), bs.data(), chromas.data()}, 2, lows.data(), highs.data());
    if (Beyond(lows[0], highs[1])) return true;
    if (Beyond(lows[1], highs[0])) return false;
    return Ciede2000(from, x) >= Ciede2000(from, y);
}

std::int32_t FindNearestPerceptual(const ColorTable& table, Pixel pixel) {
    return FindNearestPerceptual(table, LabOf(pixel));
}

// The answers for one block, each stored plus one so that zero means not searched yet.
struct PerceptualIndex::Block {
    std::atomic<std::uint16_t> answers[4096] = {};
};

// The entries that a color of the cube may be nearest to: all but those whose bound over the cube
// surely exceeds `reach2`. With each, the weights of its bound for one color of the cube: the
// lightness weight at its least over the cube's lightnesses, and SC, G and the rotation floor for
// the cube's largest chroma. A color whose nearest candidate lies within the reach has its answer
// among them; any other entry is farther than the reach.
struct PerceptualIndex::Cell {
    // The candidates in groups of GROUP, so that a color reads one stretch of memory a group. All is
    // kept in floats, the weights rounded down and the rest allowed for, so that a cube's memory stays
    // small: a photo makes a thousand cubes, and fresh memory costs more to touch than to compute.
    static constexpr std::size_t GROUP = tesselbox::GROUP;
    struct Group {
        double least;  // no bound over the cube of this group's candidates or later ones is lower
        std::array<float, GROUP> lightness, a, b;
        std::array<float, GROUP> weightL, weightA, weightB;
        // What the hue difference adds: its weight beyond weightB, the entry's chroma and G at its
        // largest for the cube and the entry.
        std::array<float, GROUP> weightHue, chroma, gMost;
        std::array<std::int32_t, GROUP> at;  // in the index's arrays
    };
    double reach2 = 0;
    std::size_t count = 0;
    std::unique_ptr<Group[]> groups;
    // How many groups that many candidates fill.
    static std::size_t GroupsFor(std::size_t candidates) { return (candidates + GROUP - 1) / GROUP; }
};

// The best entry so far, whose difference, squared, lies in [low2, high2]: bounds at first, one
// value once the entry has been measured.
struct PerceptualIndex::Best {
    enum class Known { Bounds, Value, Exact };
    double low2 = std::numeric_limits<double>::infinity();
    double high2 = std::numeric_limits<double>::infinity();
    double exact = 0;  // Ciede2000's own difference, when Known::Exact
    std::ptrdiff_t at = -1;
    Known known = Known::Bounds;
};

// The atomics start empty: make_unique value-initializes them.
PerceptualIndex::PerceptualIndex(const ColorTable& table, std::uint64_t colorsToAsk,
                                 PerceptualInstructions instructions)
    : avx2_(instructions == PerceptualInstructions::Fastest && Avx2WithFma()),
      cells_(std::make_unique<std::atomic<Cell*>[]>(CELLS_L * CELLS_A * CELLS_B)) {
    if (colorsToAsk >= REMEMBER_FROM) {
        blocks_ = std::make_unique<std::atomic<Block*>[]>(BLOCKS);
    } else {
        recent_ = std::make_unique<std::atomic<std::uint64_t>[]>(RECENT);
    }
    const auto count = static_cast<std::size_t>(table.count);
    labOfTable_.resize(count);
    sortedAt_.assign(count, -1);
    std::vector<std::int32_t> distinct;
    std::vector<Pixel> seen;
    for (std::size_t i = 0; i < count; ++i) {
        labOfTable_[i] = LabOf(table.colors[i]);
        const Pixel color = ColorOnly(table.colors[i]);
        // A later entry with an earlier entry's color can never be chosen.
        if (std::find(seen.begin(), seen.end(), color) != seen.end()) continue;
        seen.push_back(color);
        distinct.push_back(static_cast<std::int32_t>(i));
    }
    // A k-d tree over (L, a, b): each node splits its entries at the median of its box's widest
    // side, down to a few entries a leaf. The entries are stored in the leaves' order.
    const auto lab = [&](std::int32_t i) -> const Lab& { return labOfTable_[static_cast<std::size_t>(i)]; };
    const auto build = [&](auto& self, std::size_t node, std::size_t begin, std::size_t end) -> void {
        const Lab& first = lab(distinct[begin]);
        Node made{{first.L, first.L, first.a, first.a, first.b, first.b, 0.0},
                  static_cast<std::int32_t>(begin),
                  static_cast<std::int32_t>(end),
                  -1};
        Box& box = made.box;
        for (std::size_t k = begin; k < end; ++k) {
            const Lab& c = lab(distinct[k]);
            box.lLow = std::min(box.lLow, c.L);
            box.lHigh = std::max(box.lHigh, c.L);
            box.aLow = std::min(box.aLow, c.a);
            box.aHigh = std::max(box.aHigh, c.a);
            box.bLow = std::min(box.bLow, c.b);
            box.bHigh = std::max(box.bHigh, c.b);
            box.chromaHigh = std::max(box.chromaHigh, std::sqrt(c.a * c.a + c.b * c.b));
        }
        if (end - begin > LEAF_SIZE) {
            const double spanL = box.lHigh - box.lLow, spanA = box.aHigh - box.aLow,
                         spanB = box.bHigh - box.bLow;
            const int axis = spanL >= spanA && spanL >= spanB ? 0 : spanA >= spanB ? 1 : 2;
            const auto key = [&](std::int32_t i) {
                return axis == 0 ? lab(i).L : axis == 1 ? lab(i).a : lab(i).b;
            };
            const std::size_t middle = begin + (end - begin) / 2;
            std::nth_element(distinct.begin() + static_cast<std::ptrdiff_t>(begin),
                             distinct.begin() + static_cast<std::ptrdiff_t>(middle),
                             distinct.begin() + static_cast<std::ptrdiff_t>(end),
                             [&](std::int32_t x, std::int32_t y) {
                                 return key(x) < key(y) || (key(x) == key(y) && x < y);
                             });
            made.children = static_cast<std::int32_t>(nodes_.size());
            nodes_.resize(nodes_.size() + 2);
            self(self, static_cast<std::size_t>(made.children), begin, middle);
            self(self, static_cast<std::size_t>(made.children) + 1, middle, end);
        }
        nodes_[node] = made;
    };
    nodes_.resize(1);
    build(build, 0, 0, distinct.size());
    for (std::int32_t i : distinct) {
        const Lab& c = lab(i);
        sortedAt_[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(tableIndex_.size());
        lightness_.push_back(c.L);
        a_.push_back(c.a);
        b_.push_back(c.b);
        chroma_.push_back(std::sqrt(c.a * c.a + c.b * c.b));
        const HueArc arc = HueArcOf(&c.a, &c.b, 1);
        hueFrom_.push_back(arc.from);
        hueSpan_.push_back(arc.span);
        tableIndex_.push_back(i);
    }
}

PerceptualIndex::~PerceptualIndex() {
    if (blocks_) {
        for (std::size_t i = 0; i < BLOCKS; ++i) delete blocks_[i].load(std::memory_order_relaxed);
    }
    for (std::size_t i = 0; i < CELLS_L * CELLS_A * CELLS_B; ++i) delete cells_[i].load(std::memory_order_relaxed);
}

// The difference from `color` to entry e, squared, within rounding of Ciede2000's, from the same
// quantities with no angle but the mean hue's: T and RT at its direction, and ΔH' = 2 sqrt(C1'C2')
// sin(Δh'/2), signed, from the cross and dot products. Rounding keeps it within about 1e-13 of
// Ciede2000's, relative to the difference, far below the margin of Beyond. False for a pair with a
// gray or hues nearly opposite, where CIEDE2000's own conventions for the mean hue decide.
bool PerceptualIndex::Value(const Lab& color, double chroma, std::size_t e, double& difference2) const {
    const PairTerms terms = TermsOf(color.L, color.a, color.b, chroma, lightness_[e], a_[e], b_[e], chroma_[e]);
    const MeanHue& hue = terms.hue;
    if (hue.known == 0.0) return false;
    const double h = terms.cross * std::sqrt(2.0 / (terms.c1 * terms.c2 + terms.dot)) /
                     (1.0 + 0.015 * terms.cMean * WeightT(hue.cos, hue.sin));
    constexpr double DEGREES = 180.0 / 3.14159265358979323846;
    double hMean = std::atan2(hue.sin, hue.cos) * DEGREES;
    if (hMean < 0.0) hMean += 360.0;
    const double offset = (hMean - 275.0) / 25.0;
    const double rt = -std::sin(2.0 * 30.0 * std::exp(-offset * offset) / DEGREES) * terms.rc;
    difference2 = std::max(0.0, terms.l2 + terms.x * terms.x + h * h + rt * terms.x * h);
    return true;
}

void PerceptualIndex::Offer(const Lab& color, double chroma, std::size_t e, double low2, double high2,
                            Best& best) const {
    if (Beyond(low2, best.high2)) return;  // surely farther
    if (best.at < 0 || Beyond(best.low2, high2)) {  // surely nearer
        best = {low2, high2, 0.0, static_cast<std::ptrdiff_t>(e), Best::Known::Bounds};
        return;
    }
    // Too close to call by bounds: the values, and where even those are, Ciede2000's own
    // differences, equal ones going to the lower table index.
    const auto exactOf = [&](std::size_t k) { return Ciede2000(color, Lab{lightness_[k], a_[k], b_[k]}); };
    const auto at = static_cast<std::size_t>(best.at);
    const auto makeBestExact = [&] {
        best.exact = exactOf(at);
        best.low2 = best.high2 = best.exact * best.exact;
        best.known = Best::Known::Exact;
    };
    if (best.known == Best::Known::Bounds) {
        double value = 0;
        if (Value(color, chroma, at, value)) {
            best.low2 = best.high2 = value;
            best.known = Best::Known::Value;
        } else {
            makeBestExact();
        }
    }
    double value = 0;
    if (Value(color, chroma, e, value)) {
        if (Beyond(value, best.high2)) return;
        if (Beyond(best.low2, value)) {
            best = {value, value, 0.0, static_cast<std::ptrdiff_t>(e), Best::Known::Value};
            return;
        }
    }
    const double exact = exactOf(e);
    if (best.known != Best::Known::Exact) makeBestExact();
    if (exact < best.exact || (exact == best.exact && tableIndex_[e] < tableIndex_[at])) {
        best = {exact * exact, exact * exact, exact, static_cast<std::ptrdiff_t>(e), Best::Known::Exact};
    }
}

std::int32_t PerceptualIndex::Search(const Lab& color, std::int32_t hint) const {
    const double chroma = std::sqrt(color.a * color.a + color.b * color.b);
    const Box point{color.L, color.L, color.a, color.a, color.b, color.b, chroma};
    Best best;
    if (hint >= 0 && sortedAt_[static_cast<std::size_t>(hint)] >= 0) {
        const auto e = static_cast<std::size_t>(sortedAt_[static_cast<std::size_t>(hint)]);
        double low2 = 0, high2 = 0;
        Bounds(avx2_, color, chroma, {&lightness_[e], &a_[e], &b_[e], &chroma_[e]}, 1, &low2, &high2);
        Offer(color, chroma, e, low2, high2, best);
    }
    const std::array<HalfPlane, REACH_COUNT> planes = HalfPlanesAround(color.a, color.b);

    // Depth first, the nearer child first; a node is opened only while its bound may beat the best.
    struct Pending {
        std::int32_t node;
        double bound;
    };
    // Each node opened adds one to the stack, so it never holds more than the tree's depth plus
    // one: 7 for a table of 1000 entries.
    std::array<Pending, 64> stack;
    std::size_t depth = 0;
    stack[depth++] = {0, 0.0};
    while (depth > 0) {
        const Pending pending = stack[--depth];
        if (Beyond(pending.bound, best.high2)) continue;
        const Node& node = nodes_[static_cast<std::size_t>(pending.node)];
        if (node.children < 0) {
            // The leaf's entries from the least bound up, so that the nearest one, measured first,
            // rules out the others.
            std::array<double, LEAF_SIZE> lows{}, highs{};
            const auto first = static_cast<std::size_t>(node.begin);
            const auto size = static_cast<std::size_t>(node.end - node.begin);
            const EntryColumns leaf{lightness_.data() + first, a_.data() + first, b_.data() + first,
                                    chroma_.data() + first};
            Bounds(avx2_, color, chroma, leaf, size, lows.data(), highs.data());
            for (std::size_t round = 0; round < size; ++round) {
                std::size_t least = 0;
                for (std::size_t k = 1; k < size; ++k) {
                    if (lows[k] < lows[least]) least = k;
                }
                if (Beyond(lows[least], best.high2)) break;
                Offer(color, chroma, first + least, lows[least], highs[least], best);
                lows[least] = std::numeric_limits<double>::infinity();
            }
            continue;
        }
        const auto children = static_cast<std::size_t>(node.children);
        const double first = BoundBetween(point, nodes_[children].box, planes);
        const double second = BoundBetween(point, nodes_[children + 1].box, planes);
        const bool firstNearer = first <= second;
        stack[depth++] = {node.children + (firstNearer ? 1 : 0), firstNearer ? second : first};
        stack[depth++] = {node.children + (firstNearer ? 0 : 1), firstNearer ? first : second};
    }
    return tableIndex_[static_cast<std::size_t>(best.at)];
}

std::unique_ptr<PerceptualIndex::Cell> PerceptualIndex::MakeCell(std::size_t l, std::size_t a,
                                                                 std::size_t b) const {
    // A hair wider than the cube, so that a color rounded onto its edge is inside.
    constexpr double EDGE = 1e-6;
    Box cube{GRID_L + static_cast<double>(l) * CELL_SIZE - EDGE, GRID_L + static_cast<double>(l + 1) * CELL_SIZE + EDGE,
             GRID_A + static_cast<double>(a) * CELL_SIZE - EDGE, GRID_A + static_cast<double>(a + 1) * CELL_SIZE + EDGE,
             GRID_B + static_cast<double>(b) * CELL_SIZE - EDGE, GRID_B + static_cast<double>(b + 1) * CELL_SIZE + EDGE,
             0.0};
    const double farA = std::max(std::fabs(cube.aLow), std::fabs(cube.aHigh));
    const double farB = std::max(std::fabs(cube.bLow), std::fabs(cube.bHigh));
    cube.chromaHigh = std::sqrt(farA * farA + farB * farB);
    const double nearA = std::max({cube.aLow, -cube.aHigh, 0.0}), nearB = std::max({cube.bLow, -cube.bHigh, 0.0});
    const double chromaLow = std::sqrt(nearA * nearA + nearB * nearB) * (1.0 - 1e-12);
    const Lab middle{(cube.lLow + cube.lHigh) / 2.0, (cube.aLow + cube.aHigh) / 2.0, (cube.bLow + cube.bHigh) / 2.0};
    const std::array<HalfPlane, REACH_COUNT> planes = HalfPlanesAround(cube);
    // Every entry's bound over the cube, with its weights: a few passes over the table's columns
    // cost less than pruning the tree's boxes by their own bounds.
    const std::size_t count = lightness_.size();
    const auto columns = std::make_unique_for_overwrite<double[]>(7 * count);  // and the keys below
    const CubeColumns bounds{columns.get(),         columns.get() + count,     columns.get() + 2 * count,
                             columns.get() + 3 * count, columns.get() + 4 * count, columns.get() + 5 * count};
    HueArc cubeArc;
    if (!(cube.aLow <= 0.0 && cube.aHigh >= 0.0 && cube.bLow <= 0.0 && cube.bHigh >= 0.0)) {
        const double as[] = {cube.aLow, cube.aLow, cube.aHigh, cube.aHigh};
        const double bs[] = {cube.bLow, cube.bHigh, cube.bLow, cube.bHigh};
        cubeArc = HueArcOf(as, bs, 4);
    }
    CubeBounds(avx2_, cube, planes, cubeArc, {lightness_.data(), a_.data(), b_.data(), chroma_.data()},
               {hueFrom_.data(), hueSpan_.data()}, count, bounds);
    // The weights hold at the middle too: the entry least by them is near, and the difference to it
    // a first reach. The middle's nearest is then among the entries listed for it, and the list,
    // from the least bound up, ends where the reach from the nearest does.
    std::size_t guess = 0;
    for (std::size_t e = 1; e < count; ++e) guess = bounds.atMiddle[e] < bounds.atMiddle[guess] ? e : guess;
    const double firstReach = Ciede2000(middle, Lab{lightness_[guess], a_[guess], b_[guess]}) + CELL_REACH;

    auto cell = std::make_unique<Cell>();
    cell->reach2 = firstReach * firstReach;
    // The listed entries in the order of their bounds, least first, ties by place: a bound's bits
    // keep its order, and those left out below the place only ever round it down.
    static_assert(MAX_COLORS <= 0x10000);
    std::uint64_t* keys = reinterpret_cast<std::uint64_t*>(columns.get() + 6 * count);
    std::size_t listed = 0;
    for (std::size_t e = 0; e < count; ++e) {
        keys[listed] = (std::bit_cast<std::uint64_t>(bounds.bound[e]) & ~std::uint64_t{0xFFFF}) | e;
        listed += Beyond(bounds.bound[e], cell->reach2) ? 0 : 1;
    }
    std::sort(keys, keys + listed);
    const auto boundOf = [keys](std::size_t k) { return std::bit_cast<double>(keys[k] & ~std::uint64_t{0xFFFF}); };
    const auto floatBelow = [](double v) {  // v >= 0: a float rounded up is positive, one step less
        const auto f = static_cast<float>(v);
        return std::bit_cast<float>(std::bit_cast<std::uint32_t>(f) - (static_cast<double>(f) > v ? 1u : 0u));
    };
    const auto floatAbove = [](double v) {  // v > 0: a float rounded down is one step short
        const auto f = static_cast<float>(v);
        return std::bit_cast<float>(std::bit_cast<std::uint32_t>(f) + (static_cast<double>(f) < v ? 1u : 0u));
    };
    const ChromaTable& chromaWeights = ChromaWeights();
    cell->count = listed;
    cell->groups = std::make_unique_for_overwrite<Cell::Group[]>(Cell::GroupsFor(listed));
    for (std::size_t k = 0; k < listed; ++k) {
        const std::size_t e = keys[k] & 0xFFFF;
        Cell::Group& group = cell->groups[k / Cell::GROUP];
        const std::size_t lane = k % Cell::GROUP;
        if (lane == 0) group.least = boundOf(k);
        group.lightness[lane] = static_cast<float>(lightness_[e]);
        group.a[lane] = static_cast<float>(a_[e]);
        group.b[lane] = static_cast<float>(b_[e]);
        group.weightL[lane] = floatBelow(bounds.weightL[e]);
        group.weightA[lane] = floatBelow(bounds.weightA[e]);
        group.weightB[lane] = floatBelow(bounds.weightB[e]);
        group.weightHue[lane] = floatBelow(std::max(0.0, bounds.weightHue[e] - bounds.weightB[e]));
        group.chroma[lane] = static_cast<float>(chroma_[e]);
        group.gMost[lane] = floatAbove(chromaWeights.GMostFrom((chromaLow + chroma_[e]) / 2.0));
        group.at[lane] = static_cast<std::int32_t>(e);
    }
    // The last group's lanes past the list are read, whatever they hold, and then left out.
    for (std::size_t k = listed; k % Cell::GROUP != 0; ++k) {
        Cell::Group& group = cell->groups[k / Cell::GROUP];
        const std::size_t lane = k % Cell::GROUP;
        group.lightness[lane] = group.a[lane] = group.b[lane] = 0.0f;
        group.weightL[lane] = group.weightA[lane] = group.weightB[lane] = 0.0f;
        group.weightHue[lane] = group.chroma[lane] = group.gMost[lane] = 0.0f;
        group.at[lane] = 0;
    }
    std::int32_t near = -1;
    std::int32_t nearest = SearchIn(*cell, middle, near);
    if (nearest < 0) nearest = Search(middle, near);  // rounding aside, the guess is listed
    const double reach = Ciede2000(middle, labOfTable_[static_cast<std::size_t>(nearest)]) + CELL_REACH;
    if (reach < firstReach) {
        cell->reach2 = reach * reach;
        std::size_t kept = 0;
        while (kept < cell->count && !Beyond(boundOf(kept), cell->reach2)) ++kept;
        cell->count = kept;
        // Kept in memory of its own size: the first list was often half as long again, and the
        // memory it frees serves the next cube's first list.
        const std::size_t groups = Cell::GroupsFor(kept);
        if (groups < Cell::GroupsFor(listed)) {
            auto exact = std::make_unique_for_overwrite<Cell::Group[]>(groups);
            std::copy(cell->groups.get(), cell->groups.get() + groups, exact.get());
            cell->groups = std::move(exact);
        }
    }
    return cell;
}

const PerceptualIndex::Cell* PerceptualIndex::CellOf(const Lab& color) const {
    const double l = (color.L - GRID_L) / CELL_SIZE, a = (color.a - GRID_A) / CELL_SIZE,
                 b = (color.b - GRID_B) / CELL_SIZE;
    if (!(l >= 0.0 && l < CELLS_L && a >= 0.0 && a < CELLS_A && b >= 0.0 && b < CELLS_B)) return nullptr;
    const auto cl = static_cast<std::size_t>(l), ca = static_cast<std::size_t>(a), cb = static_cast<std::size_t>(b);
    std::atomic<Cell*>& slot = cells_[(cl * CELLS_A + ca) * CELLS_B + cb];
    Cell* cell = slot.load(std::memory_order_acquire);
    if (cell == nullptr) {
        std::unique_ptr<Cell> fresh = MakeCell(cl, ca, cb);
        if (slot.compare_exchange_strong(cell, fresh.get(), std::memory_order_acq_rel,
                                         std::memory_order_acquire)) {
            cell = fresh.release();
        }
    }
    return cell;
}

void PerceptualIndex::Prepare(Pixel pixel) const { CellOf(LabOf(pixel)); }

std::int32_t PerceptualIndex::SearchCell(const Lab& color, std::int32_t& hint) const {
    const Cell* cell = CellOf(color);
    return cell == nullptr ? -1 : SearchIn(*cell, color, hint);
}

std::int32_t PerceptualIndex::SearchIn(const Cell& cell, const Lab& color, std::int32_t& hint) const {
    const std::size_t count = cell.count;
    if (count == 0) return -1;
    // A group at a time from the nearest over the cube, until even that is too far: in each, the
    // cheap bound with the cube's weights for all, then the tight bounds of those it cannot rule
    // out, offered to the best.
    std::array<double, GROUP> bounds, lows, highs, lightness, as, bs, chromas;
    std::array<std::size_t, GROUP> entries;
    const double chroma = std::sqrt(color.a * color.a + color.b * color.b);
    Best best;
    for (std::size_t begin = 0; begin < count && !Beyond(cell.groups[begin / GROUP].least, best.high2);
         begin += GROUP) {
        const std::size_t size = std::min(GROUP, count - begin);
        const Cell::Group& group = cell.groups[begin / GROUP];
        const std::size_t least =
            CheapBounds(avx2_, {group.lightness.data(), group.a.data(), group.b.data(), group.weightL.data(),
                         group.weightA.data(), group.weightB.data(), group.weightHue.data(), group.chroma.data(),
                         group.gMost.data()},
                        size, color, chroma, bounds.data());
        if (Beyond(bounds[least], best.high2)) continue;
        // The least first, so that the others meet a close best; then the others that may still win.
        std::size_t opened = 0;
        const auto open = [&](std::size_t k) {
            const auto e = static_cast<std::size_t>(group.at[k]);
            lightness[opened] = lightness_[e];
            as[opened] = a_[e];
            bs[opened] = b_[e];
            chromas[opened] = chroma_[e];
            entries[opened++] = e;
        };
        const auto offerOpened = [&] {
            Bounds(avx2_, color, chroma, {lightness.data(), as.data(), bs.data(), chromas.data()}, opened, lows.data(),
                   highs.data());
            for (std::size_t k = 0; k < opened; ++k) {
                if (!Beyond(lows[k], best.high2)) Offer(color, chroma, entries[k], lows[k], highs[k], best);
            }
            opened = 0;
        };
        open(least);
        offerOpened();
        std::uint32_t others = MayWin(avx2_, bounds.data(), size, best.high2) & ~(std::uint32_t{1} << least);
        for (; others != 0; others &= others - 1) open(static_cast<std::size_t>(std::countr_zero(others)));
        offerOpened();
    }
    if (best.at < 0) return -1;
    // Every entry left out is farther than the reach: the answer holds only within it. Beyond, the
    // nearest candidate still makes the tree's search short.
    hint = tableIndex_[static_cast<std::size_t>(best.at)];
    return best.high2 > cell.reach2 ? -1 : hint;
}

std::int32_t PerceptualIndex::Answer(Pixel pixel, std::int32_t hint) const {
    const Lab color = LabOf(pixel);
    const std::int32_t found = SearchCell(color, hint);
    return found >= 0 ? found : Search(color, hint);
}

std::int32_t PerceptualIndex::Find(Pixel pixel, std::int32_t hint) const {
    if (!blocks_) {
        std::atomic<std::uint64_t>& slot = recent_[RecentSlotOf(pixel)];
        const std::uint64_t seen = slot.load(std::memory_order_relaxed);
        const std::uint64_t color = ColorOnly(pixel);
        if (seen >> 16 == color && (seen & 0xFFFFu) != 0) return static_cast<std::int32_t>(seen & 0xFFFFu) - 1;
        const std::int32_t found = Answer(pixel, hint);
        slot.store(color << 16 | static_cast<std::uint64_t>(found + 1), std::memory_order_relaxed);
        return found;
    }
    std::atomic<Block*>& slot = blocks_[BlockOf(pixel)];
    Block* block = slot.load(std::memory_order_acquire);
    if (block == nullptr) {
        auto fresh = std::make_unique<Block>();
        if (slot.compare_exchange_strong(block, fresh.get(), std::memory_order_acq_rel,
                                         std::memory_order_acquire)) {
            block = fresh.release();
        }
    }
    std::atomic<std::uint16_t>& answer = block->answers[SlotOf(pixel)];
    const std::uint16_t known = answer.load(std::memory_order_relaxed);
    if (known != 0) return known - 1;
    const std::int32_t found = Answer(pixel, hint);
    answer.store(static_cast<std::uint16_t>(found + 1), std::memory_order_relaxed);
    return found;
}

std::int32_t PerceptualIndex::FindOnce(Pixel pixel, std::int32_t hint) const { return Answer(pixel, hint); }

void PerceptualIndex::Prefetch(Pixel pixel) const {
    if (!blocks_) {
        __builtin_prefetch(&recent_[RecentSlotOf(pixel)]);
        return;
    }
    if (const Block* block = blocks_[BlockOf(pixel)].load(std::memory_order_acquire)) {
        __builtin_prefetch(&block->answers[SlotOf(pixel)]);
    }
}

void PerceptualIndex::FindAll(const Pixel* colors, std::size_t count, std::int32_t* indices) const {
    std::int32_t previous = -1;
    for (std::size_t i = 0; i < count; ++i) {
        previous = Find(colors[i], previous);
        indices[i] = previous;
    }
}

}  // namespace tesselbox
