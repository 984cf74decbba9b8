// The search walks the entries outward in lightness from the color's own, and stops on a side once
// the lightness term alone (exact, and growing with the distance in lightness) exceeds the best
// difference found. Each entry on the way is first judged by a lower bound of CIEDE2000 that needs
// no trigonometry: every term exact except the hue weighting T, taken at its largest, and the
// rotation term RT, taken at its most favorable sign and size. Only entries the bound cannot rule
// out are measured exactly. Bounds are compared with a margin far above the rounding of either
// formula, so an entry is skipped only when it surely is farther, and equal differences go to the
// lower index: the answer is the plain scan's.
#include "palette/PerceptualMatch.h"

#include <algorithm>
#include <array>
#include <cmath>
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
        const double slice = std::clamp(lightnessSum / WIDTH, 0.0, SLICES - 1.0);
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

// 1 - |RT|/2 at its least for mean chromas C̄' up to `chromaMean`: RT is at most 2 sin 60° times
// RC = 2 sqrt(C̄'^7 / (C̄'^7 + 25^7)), which grows with C̄'.
double RotationFloor(double chromaMean) {
    return chromaMean <= 10.0 ? 0.9649 : chromaMean <= 20.0 ? 0.6392
           : chromaMean <= 30.0 ? 0.2342 : 1.0 - SIN_60;
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
    std::stable_sort(distinct.begin(), distinct.end(), [&](std::int32_t x, std::int32_t y) {
        return labOfTable_[static_cast<std::size_t>(x)].L < labOfTable_[static_cast<std::size_t>(y)].L;
    });
    for (std::int32_t i : distinct) {
        const Lab& lab = labOfTable_[static_cast<std::size_t>(i)];
        sortedAt_[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(tableIndex_.size());
        lightness_.push_back(lab.L);
        a_.push_back(lab.a);
        b_.push_back(lab.b);
        chroma_.push_back(std::sqrt(lab.a * lab.a + lab.b * lab.b));
        tableIndex_.push_back(i);
    }
    for (std::size_t i = 0; i < 4096; ++i) blocks_[i].store(nullptr, std::memory_order_relaxed);
}

PerceptualIndex::~PerceptualIndex() {
    for (std::size_t i = 0; i < 4096; ++i) delete blocks_[i].load(std::memory_order_relaxed);
}

std::int32_t PerceptualIndex::Search(const Lab& color, std::int32_t hint) const {
    const auto n = static_cast<std::ptrdiff_t>(lightness_.size());
    const double chroma = std::sqrt(color.a * color.a + color.b * color.b);
    std::ptrdiff_t bestAt = hint >= 0 ? sortedAt_[static_cast<std::size_t>(hint)] : -1;
    if (bestAt < 0) bestAt = 0;
    const auto at = [&](std::ptrdiff_t k) { return static_cast<std::size_t>(k); };
    double best = Ciede2000(color, Lab{lightness_[at(bestAt)], a_[at(bestAt)], b_[at(bestAt)]});
    double best2 = best * best;

    // Whether entry k may beat the best; measures it exactly when it may. False when even its
    // lightness term is too far, which ends the walk on its side.
    const auto consider = [&](std::ptrdiff_t k) {
        const std::size_t e = at(k);
        const double deltaL = lightness_[e] - color.L;
        const double l2 = deltaL * deltaL * LightnessWeights().InverseSquareAt(lightness_[e] + color.L);
        if (Beyond(l2, best2)) return false;
        // Cheaper first: C' <= 1.5 C, SH <= SC, the distance in (a', b) is at least the one in (a, b),
        // and RT at its largest for the chroma.
        const double da = a_[e] - color.a, db = b_[e] - color.b;
        const double chromaMean = 0.75 * (chroma + chroma_[e]);  // at least C̄'
        const double widest = 1.0 + 0.045 * chromaMean;
        // Two hues in the upper half-plane (b > 0, which a' keeps) have their mean there too,
        // at least 95 degrees from 275, where RT is below 1e-6.
        const double floor = color.b > 0.0 && b_[e] > 0.0 ? 1.0 - 1e-6 : RotationFloor(chromaMean);
        if (Beyond(l2 + floor * (da * da + db * db) / (widest * widest), best2)) {
            return true;
        }
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
        if (Beyond(l2 + q, best2)) return true;
        const double d = Ciede2000(color, Lab{lightness_[e], a_[e], b_[e]});
        if (d < best || (d == best && tableIndex_[e] < tableIndex_[at(bestAt)])) {
            best = d;
            best2 = d * d;
            bestAt = k;
        }
        return true;
    };

    const std::ptrdiff_t start =
        std::lower_bound(lightness_.begin(), lightness_.end(), color.L) - lightness_.begin();
    std::ptrdiff_t down = start - 1, up = start;
    bool downOpen = down >= 0, upOpen = up < n;
    while (downOpen || upOpen) {
        const bool goUp = !downOpen || (upOpen && lightness_[at(up)] - color.L <=
                                                      color.L - lightness_[at(down)]);
        if (goUp) {
            upOpen = consider(up) && ++up < n;
        } else {
            downOpen = consider(down) && --down >= 0;
        }
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
