// The color cube is cut into cells; each cell keeps, in table order, only the entries that can be
// nearest to some color inside it (their distance to the cell's box is at most the smallest
// farthest-corner distance of any entry). Scanning those with strict "<" on integer squared
// distances gives the plain scan's index, ties included. Cells are built on first use.
#include "palette/NearestColorIndex.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace tesselbox {
namespace {

constexpr int CELL_BITS = 3;                      // a cell spans 8 levels per channel
constexpr int CELLS_PER_SIDE = 256 >> CELL_BITS;  // 32
constexpr int CELL_COUNT = CELLS_PER_SIDE * CELLS_PER_SIDE * CELLS_PER_SIDE;

int SquaredDistance(int r1, int g1, int b1, Pixel c) {
    const int dr = r1 - RedOf(c);
    const int dg = g1 - GreenOf(c);
    const int db = b1 - BlueOf(c);
    return dr * dr + dg * dg + db * db;
}

// Distance along one channel from value v to the interval [low, high].
int GapTo(int v, int low, int high) { return v < low ? low - v : (v > high ? v - high : 0); }
int FarthestFrom(int v, int low, int high) { return std::max(v - low, high - v); }

}  // namespace

struct NearestColorIndex::Cells {
    std::vector<std::vector<std::int16_t>> candidates = std::vector<std::vector<std::int16_t>>(CELL_COUNT);
    std::vector<bool> built = std::vector<bool>(CELL_COUNT, false);
    Pixel lastColor = 0;
    std::int32_t lastIndex = -1;
};

NearestColorIndex::NearestColorIndex(const ColorTable& table)
    : table_(table), cells_(std::make_unique<Cells>()) {}

NearestColorIndex::~NearestColorIndex() = default;

std::int32_t NearestColorIndex::Find(Pixel pixel) {
    const Pixel color = pixel & 0x00FFFFFFu;
    if (cells_->lastIndex >= 0 && color == cells_->lastColor) return cells_->lastIndex;

    const int r = RedOf(color);
    const int g = GreenOf(color);
    const int b = BlueOf(color);
    const int cr = r >> CELL_BITS;
    const int cg = g >> CELL_BITS;
    const int cb = b >> CELL_BITS;
    const int cellNumber = (cr * CELLS_PER_SIDE + cg) * CELLS_PER_SIDE + cb;  // below CELL_COUNT
    const auto cell = static_cast<std::size_t>(cellNumber);
    std::vector<std::int16_t>& list = cells_->candidates[cell];
    if (!cells_->built[cell]) {
        const int span = (1 << CELL_BITS) - 1;
        const int r0 = cr << CELL_BITS, g0 = cg << CELL_BITS, b0 = cb << CELL_BITS;
        const auto count = static_cast<std::size_t>(table_.count);
        std::vector<int> nearest(count);
        int bound = std::numeric_limits<int>::max();
        for (std::size_t i = 0; i < count; ++i) {
            const Pixel c = table_.colors[i];
            const int gr = GapTo(RedOf(c), r0, r0 + span);
            const int gg = GapTo(GreenOf(c), g0, g0 + span);
            const int gb = GapTo(BlueOf(c), b0, b0 + span);
            const int fr = FarthestFrom(RedOf(c), r0, r0 + span);
            const int fg = FarthestFrom(GreenOf(c), g0, g0 + span);
            const int fb = FarthestFrom(BlueOf(c), b0, b0 + span);
            nearest[i] = gr * gr + gg * gg + gb * gb;
            bound = std::min(bound, fr * fr + fg * fg + fb * fb);
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (nearest[i] <= bound) list.push_back(static_cast<std::int16_t>(i));
        }
        cells_->built[cell] = true;
    }

    std::int32_t best = list.front();
    int bestDistance = SquaredDistance(r, g, b, table_.colors[static_cast<std::size_t>(best)]);
    for (std::size_t k = 1; k < list.size(); ++k) {
        const int d = SquaredDistance(r, g, b, table_.colors[static_cast<std::size_t>(list[k])]);
        if (d < bestDistance) {
            best = list[k];
            bestDistance = d;
        }
    }
    cells_->lastColor = color;
    cells_->lastIndex = best;
    return best;
}

}  // namespace tesselbox
