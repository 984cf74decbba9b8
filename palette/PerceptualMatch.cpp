// The entries sit in a k-d tree over (L, a, b). The search opens the nodes nearest first and skips a
// node whose box is surely farther than the best difference found, by a lower bound of CIEDE2000
// over the box. In a leaf, each entry is judged by the same cheap bound, then by a tighter one that
// needs no trigonometry: every term exact except the hue weighting T, taken at its largest, and the
// rotation term RT, taken at its most favorable sign and size. Only entries neither bound can rule
// out are measured exactly. Bounds are compared with a margin far above the rounding of either
// formula, so an entry is skipped only when it surely is farther, and equal differences go to the
// lower index: the answer is the plain scan's.
#include "palette/PerceptualMatch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>

namespace tesselbox {
namespace {

constexpr double POW25_7 = 6103515625.0;
constexpr double T_MAX = 1.58;  // the weighting T of CIEDE2000 stays below 1.5725 at every hue
constexpr double SIN_60 = 0.86602540378443865;  // |sin 2Δθ| with Δθ at most 30 degrees

double Pow7(double v) {
    const double v2 = v * v;
    return v2 * v2 * v2 * v;
}

double LightnessWeight(double lMean) {
    const double offset2 = (lMean - 50.0) * (lMean - 50.0);
    return 1.0 + 0.015 * offset2 / std::sqrt(20.0 + offset2);
}

struct HueBounds {
    double weight;    // at least the weighting T at the pair's mean hue
    double rotation;  // at least |sin 2Δθ| there
};

// T and the rotation's reach at the mean hue, found from the hue directions without an angle: the
// mean hue is the bisector of the shorter arc between the two hues, which is the direction of the sum
// of their unit vectors. Pairs with a gray, or hues nearly opposite, take the largest values.
HueBounds BoundsAt(double a1, double b1, double c1, double a2, double b2, double c2) {
    constexpr HueBounds ANY{T_MAX, SIN_60};
    if (c1 * c2 == 0.0) return ANY;
    const double sx = a1 / c1 + a2 / c2, sy = b1 / c1 + b2 / c2;
    const double length = std::sqrt(sx * sx + sy * sy);
    if (length < 1e-3) return ANY;
    const double c = sx / length, s = sy / length;
    // cos and sin of 2h, 3h and 4h from those of h.
    const double c2h = 2.0 * c * c - 1.0, s2h = 2.0 * s * c;
    const double c3h = c * (4.0 * c * c - 3.0), s3h = s * (3.0 - 4.0 * s * s);
    const double c4h = 2.0 * c2h * c2h - 1.0, s4h = 2.0 * s2h * c2h;
    constexpr double COS30 = 0.86602540378443865, SIN30 = 0.5;
    constexpr double COS6 = 0.99452189536827333, SIN6 = 0.10452846326765347;
    constexpr double COS63 = 0.45399049973954680, SIN63 = 0.89100652418836786;
    const double t = 1.0 - 0.17 * (c * COS30 + s * SIN30) + 0.24 * c2h +
                     0.32 * (c3h * COS6 - s3h * SIN6) - 0.20 * (c4h * COS63 + s4h * SIN63);
    // The angle to 275 degrees around the circle is at most the one CIEDE2000 takes, so its Δθ is
    // at most 30·exp(-(angle/25)²): beyond 75, 45 and 30 degrees, sin 2Δθ stays below these.
    constexpr double COS275 = 0.087155742747658166, SIN275 = -0.99619469809174553;
    const double toBlue = c * COS275 + s * SIN275;  // cos of that angle
    const double rotation = toBlue < 0.2588190 ? 1.3e-4 : toBlue < 0.7071067 ? 0.0411
                            : toBlue < 0.8660254 ? 0.246 : SIN_60;
    return {t * (1.0 + 1e-9) + 1e-9, rotation};
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

private:
    static constexpr int SLICES = 1024;
    static constexpr double WIDTH = 200.0 / SLICES;
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
// Δa' = G·Δa.
class ChromaTable {
public:
    struct Slice {
        double inverseWidest2;  // 1 / SC² at its least
        double rotationFloor;   // 1 - |RT|/2 at its least
        double gLeast;          // G at its least
    };
    ChromaTable() {
        for (int i = 0; i < SLICES; ++i) {
            const double low = i * WIDTH, high = (i + 1) * WIDTH;
            const double low7 = Pow7(low);
            const double g = 1.0 + 0.5 * (1.0 - std::sqrt(low7 / (low7 + POW25_7)));
            const double high7 = Pow7(high);
            const double gLeast = 1.0 + 0.5 * (1.0 - std::sqrt(high7 / (high7 + POW25_7)));
            slices_[static_cast<std::size_t>(i)] = Bounds(g * high, gLeast * (1.0 - 1e-12));
        }
    }
    const Slice& At(double chromaMean) const {
        if (!(chromaMean < SLICES * WIDTH)) return beyond_;
        return slices_[static_cast<std::size_t>(chromaMean / WIDTH)];
    }

private:
    static Slice Bounds(double chromaMeanPrime, double gLeast) {
        const double c = chromaMeanPrime * (1.0 + 1e-12);
        const double widest = (1.0 + 0.045 * c) * (1.0 + 1e-12);
        const double c7 = Pow7(c);
        const double halfRc = std::sqrt(c7 / (c7 + POW25_7));
        return {1.0 / (widest * widest), 1.0 - SIN_60 * halfRc * (1.0 + 1e-9) - 1e-12, gLeast};
    }
    static constexpr int SLICES = 1024;
    static constexpr double WIDTH = 0.25;
    std::array<Slice, SLICES> slices_{};
    // Chromas beyond any sRGB color's: C̄' <= 1.5·C̄ is not bounded, so SC is taken as infinite.
    Slice beyond_{0.0, 1.0 - SIN_60, 1.0};
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
// in BoundsAt; likewise 45 and 30 degrees. With RC <= 2, 1 - |RT|/2 is at least 1 - that sine.
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

// True when the squared bound surely exceeds the squared best (or equals it only by rounding).
bool Beyond(double bound2, double best2) { return bound2 > best2 * (1.0 + 1e-9) + 1e-9; }

Pixel ColorOnly(Pixel pixel) { return pixel & 0x00FFFFFFu; }

std::uint32_t BlockOf(Pixel p) { return (p >> 12 & 0xF00u) | (p >> 8 & 0xF0u) | (p >> 4 & 0xFu); }
std::uint32_t SlotOf(Pixel p) { return (p >> 8 & 0xF00u) | (p >> 4 & 0xF0u) | (p & 0xFu); }

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

std::int32_t FindNearestPerceptual(const ColorTable& table, Pixel pixel) {
    return FindNearestPerceptual(table, LabOf(pixel));
}

// The answers for one block, each stored plus one so that zero means not searched yet.
struct PerceptualIndex::Block {
    std::atomic<std::uint16_t> answers[4096] = {};
};

PerceptualIndex::PerceptualIndex(const ColorTable& table)
    : blocks_(new std::atomic<Block*>[4096]) {
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
        Node box{lab(distinct[begin]).L, lab(distinct[begin]).L, lab(distinct[begin]).a,
                 lab(distinct[begin]).a, lab(distinct[begin]).b, lab(distinct[begin]).b, 0.0,
                 static_cast<std::int32_t>(begin), static_cast<std::int32_t>(end), -1};
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
            box.children = static_cast<std::int32_t>(nodes_.size());
            nodes_.resize(nodes_.size() + 2);
            self(self, static_cast<std::size_t>(box.children), begin, middle);
            self(self, static_cast<std::size_t>(box.children) + 1, middle, end);
        }
        nodes_[node] = box;
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
        tableIndex_.push_back(i);
    }
    for (std::size_t i = 0; i < 4096; ++i) blocks_[i].store(nullptr, std::memory_order_relaxed);
}

PerceptualIndex::~PerceptualIndex() {
    for (std::size_t i = 0; i < 4096; ++i) delete blocks_[i].load(std::memory_order_relaxed);
}

std::int32_t PerceptualIndex::Search(const Lab& color, std::int32_t hint) const {
    const double chroma = std::sqrt(color.a * color.a + color.b * color.b);
    const auto at = [](std::ptrdiff_t k) { return static_cast<std::size_t>(k); };
    std::ptrdiff_t bestAt = hint >= 0 ? sortedAt_[static_cast<std::size_t>(hint)] : -1;
    double best = std::numeric_limits<double>::infinity();
    if (bestAt >= 0) best = Ciede2000(color, Lab{lightness_[at(bestAt)], a_[at(bestAt)], b_[at(bestAt)]});
    double best2 = best * best;
    const std::array<HalfPlane, REACH_COUNT> planes = HalfPlanesAround(color.a, color.b);
    const LightnessTable& lightnessWeights = LightnessWeights();
    const ChromaTable& chromaWeights = ChromaWeights();

    // A lower bound of entry e's difference, squared, that needs no square root.
    const auto cheapBound = [&](std::size_t e) {
        const double deltaL = lightness_[e] - color.L;
        const double l2 = deltaL * deltaL * lightnessWeights.InverseSquareAt(lightness_[e] + color.L);
        // Cheaper first: SC and RT at their largest for the chroma, SH <= SC, and G at its least.
        const double da = a_[e] - color.a, db = b_[e] - color.b;
        const ChromaTable::Slice& slice = chromaWeights.At((chroma + chroma_[e]) / 2.0);
        const double daPrime = da * slice.gLeast;
        const double ab = (daPrime * daPrime + db * db) * slice.inverseWidest2;
        // With a gray the hue difference, and so RT·ΔC'·ΔH', is zero. The half-planes only when the
        // plain floor does not already rule the entry out.
        double floor = chroma == 0.0 || chroma_[e] == 0.0 ? 1.0 : slice.rotationFloor;
        if (Beyond(l2 + floor * ab, best2)) return l2 + floor * ab;
        for (const HalfPlane& plane : planes) {
            if (plane.floor > floor && plane.Holds(a_[e], b_[e])) {
                floor = plane.floor;
                break;
            }
        }
        return l2 + floor * ab;
    };

    // Measures entry e exactly unless a tighter lower bound rules it out.
    const auto measure = [&](std::size_t e) {
        const double deltaL = lightness_[e] - color.L;
        const double l2 = deltaL * deltaL * lightnessWeights.InverseSquareAt(lightness_[e] + color.L);
        const double cMean7 = Pow7((chroma + chroma_[e]) / 2.0);
        const double g = 1.0 + 0.5 * (1.0 - std::sqrt(cMean7 / (cMean7 + POW25_7)));
        const double a1 = g * color.a, a2 = g * a_[e];
        const double c1 = std::sqrt(a1 * a1 + color.b * color.b);
        const double c2 = std::sqrt(a2 * a2 + b_[e] * b_[e]);
        const double cMean = (c1 + c2) / 2.0;
        const double x = (c2 - c1) / (1.0 + 0.045 * cMean);
        const double deltaH2 = std::max(0.0, 2.0 * (c1 * c2 - a1 * a2 - color.b * b_[e]));
        const double cMean7p = Pow7(cMean);
        const double rc = 2.0 * std::sqrt(cMean7p / (cMean7p + POW25_7));
        const HueBounds hue = BoundsAt(a1, color.b, c1, a2, b_[e], c2);
        const double y = std::sqrt(deltaH2) / (1.0 + 0.015 * cMean * hue.weight);
        const double rotation = rc * hue.rotation;
        // x² + y² + RT·x·y at its least over |RT| <= rotation.
        const double q = x * x + y * y - rotation * std::fabs(x) * y;
        if (Beyond(l2 + q, best2)) return;
        const double d = Ciede2000(color, Lab{lightness_[e], a_[e], b_[e]});
        if (bestAt < 0 || d < best || (d == best && tableIndex_[e] < tableIndex_[at(bestAt)])) {
            best = d;
            best2 = d * d;
            bestAt = static_cast<std::ptrdiff_t>(e);
        }
    };

    // The entry's bound above taken over a node's box: the distance to the box in each term, the
    // lightness weight at its least over the lightness sums the box allows (SL is largest at one end
    // of any range), the widest SC for the box's largest chroma, and a rotation floor that holds for
    // all of the box.
    const auto nodeBound = [&](const Node& node) {
        const double deltaL = std::max({0.0, node.lLow - color.L, color.L - node.lHigh});
        const double l2 = deltaL == 0.0 ? 0.0
                                        : deltaL * deltaL *
                                              std::min(lightnessWeights.InverseSquareAt(node.lLow + color.L),
                                                       lightnessWeights.InverseSquareAt(node.lHigh + color.L));
        const double da = std::max({0.0, node.aLow - color.a, color.a - node.aHigh});
        const double db = std::max({0.0, node.bLow - color.b, color.b - node.bHigh});
        const ChromaTable::Slice& slice = chromaWeights.At((chroma + node.chromaHigh) / 2.0);
        const double daPrime = da * slice.gLeast;
        const double ab = (daPrime * daPrime + db * db) * slice.inverseWidest2;
        double floor = chroma == 0.0 ? 1.0 : slice.rotationFloor;
        if (ab == 0.0 || Beyond(l2 + floor * ab, best2)) return l2 + floor * ab;
        for (const HalfPlane& plane : planes) {
            if (plane.floor > floor && plane.HoldsAll(node.aLow, node.aHigh, node.bLow, node.bHigh)) {
                floor = plane.floor;
                break;
            }
        }
        return l2 + floor * ab;
    };

    // Depth first, the nearer child first; a node is opened only while its bound may beat the best.
    struct Pending {
        std::int32_t node;
        double bound;
    };
    // Each node opened adds one to the stack, so it never holds more than the tree's depth plus
    // one: 8 for a table of 1000 entries.
    std::array<Pending, 64> stack;
    std::size_t depth = 0;
    stack[depth++] = {0, 0.0};
    while (depth > 0) {
        const Pending pending = stack[--depth];
        if (Beyond(pending.bound, best2)) continue;
        const Node& node = nodes_[static_cast<std::size_t>(pending.node)];
        if (node.children < 0) {
            // The leaf's entries from the least cheap bound up, so that the nearest one, measured
            // first, rules out the others.
            std::array<double, LEAF_SIZE> bounds{};
            const auto first = static_cast<std::size_t>(node.begin);
            const auto size = static_cast<std::size_t>(node.end - node.begin);
            for (std::size_t k = 0; k < size; ++k) bounds[k] = cheapBound(first + k);
            for (std::size_t round = 0; round < size; ++round) {
                std::size_t least = 0;
                for (std::size_t k = 1; k < size; ++k) {
                    if (bounds[k] < bounds[least]) least = k;
                }
                if (Beyond(bounds[least], best2)) break;
                bounds[least] = std::numeric_limits<double>::infinity();
                measure(first + least);
            }
            continue;
        }
        const double first = nodeBound(nodes_[static_cast<std::size_t>(node.children)]);
        const double second = nodeBound(nodes_[static_cast<std::size_t>(node.children) + 1]);
        const bool firstNearer = first <= second;
        stack[depth++] = {node.children + (firstNearer ? 1 : 0), firstNearer ? second : first};
        stack[depth++] = {node.children + (firstNearer ? 0 : 1), firstNearer ? first : second};
    }
    return tableIndex_[at(bestAt)];
}

std::int32_t PerceptualIndex::Find(Pixel pixel, std::int32_t hint) const {
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
    const std::int32_t found = Search(LabOf(pixel), hint);
    answer.store(static_cast<std::uint16_t>(found + 1), std::memory_order_relaxed);
    return found;
}

void PerceptualIndex::FindAll(const Pixel* colors, std::size_t count, std::int32_t* indices) const {
    std::int32_t previous = -1;
    for (std::size_t i = 0; i < count; ++i) {
        previous = Find(colors[i], previous);
        indices[i] = previous;
    }
}

}  // namespace tesselbox
