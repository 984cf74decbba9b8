// The color cube is split into cells of 128, 64, 32 and finally 16 levels a side, each level built
// on first use from the one above. A cell keeps, in table order, the entries that can be nearest
// to some color inside it: an entry is dropped when the whole cell is strictly nearer to the cell's
// anchor (the entry whose farthest corner is nearest) than to it. That test is exact for the pair,
// because the colors nearer to one entry than to another form a half-space, and a half-space misses
// a box exactly when it misses all its corners. Lists keep table order and a search takes the first
// of equally near candidates, so ties go to the lowest index as in the plain scan. Distances are
// compared as integer squares, which order exactly as their square roots do.
#include "palette/NearestColorIndex.h"

#include "palette/NearestColorKernels.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace tesselbox {
namespace {

using kernels::Box;
using kernels::Candidate;
using kernels::Columns;
using kernels::Group;
using kernels::GroupsFor;
using kernels::LANES;
using kernels::List;

static_assert(
    static_cast<int>(SearchInstructions::Plain) == static_cast<int>(kernels::Instructions::Plain) &&
    static_cast<int>(SearchInstructions::Sse2) == static_cast<int>(kernels::Instructions::Sse2) &&
    static_cast<int>(SearchInstructions::Sse41) == static_cast<int>(kernels::Instructions::Sse41));

static_assert(Columns::CAPACITY >= MAX_COLORS + LANES);

constexpr int LEVELS = 4;  // cells of 128, 64, 32 and 16 levels a side

constexpr int SideOf(int level) { return 2 << level; }  // cells per side
constexpr int ShiftOf(int level) { return 7 - level; }  // log2 of a cell's width

// Lists live in chunks that never move, so a published list stays valid for the index's life.
class GroupArena {
public:
    Group* Allocate(std::size_t groups) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (groups > free_) {
            const std::size_t size = std::max(groups, CHUNK_GROUPS);
            chunks_.push_back(std::unique_ptr<Group[]>(new Group[size]));
            next_ = chunks_.back().get();
            free_ = size;
        }
        Group* groupsAt = next_;
        next_ += groups;
        free_ -= groups;
        return groupsAt;
    }

private:
    static constexpr std::size_t CHUNK_GROUPS = 4096;  // 256 KiB
    std::mutex mutex_;
    std::vector<std::unique_ptr<Group[]>> chunks_;
    Group* next_ = nullptr;
    std::size_t free_ = 0;
};

// One cell. Whoever builds it first publishes it; a thread that loses the race drops its copy,
// which holds the same list.
struct Slot {
    std::atomic<const Group*> groups{nullptr};
    std::atomic<std::uint32_t> count{0};
};

}  // namespace

struct NearestColorIndex::Cells {
    kernels::Instructions instructions = kernels::Instructions::Plain;
    kernels::NearestPositionFunction nearestPosition = nullptr;
    GroupArena arena;
    List root{};  // the table without repeated colors
    std::vector<Slot> levels[LEVELS];

    // Copies a list into groups, filling the last one up with copies of the first candidate.
    List Store(const Columns& list, std::uint32_t count) {
        Group* groups = arena.Allocate(GroupsFor(count));
        for (std::uint32_t k = 0; k < GroupsFor(count); ++k) {
            std::memcpy(groups[k].red, list.red + std::size_t{k} * LANES, sizeof groups[k].red);
            std::memcpy(groups[k].green, list.green + std::size_t{k} * LANES, sizeof groups[k].green);
            std::memcpy(groups[k].blue, list.blue + std::size_t{k} * LANES, sizeof groups[k].blue);
            std::memcpy(groups[k].index, list.index + std::size_t{k} * LANES, sizeof groups[k].index);
        }
        Group& last = groups[GroupsFor(count) - 1];
        for (std::uint32_t lane = (count - 1) % LANES + 1; lane < LANES; ++lane) {
            last.red[lane] = list.red[0];
            last.green[lane] = list.green[0];
            last.blue[lane] = list.blue[0];
            last.index[lane] = list.index[0];
        }
        return List{groups, count};
    }

    // The cell at (red, green, blue), counted in cells of `level`, built with its ancestors if new.
    List Get(int level, int red, int green, int blue) {
        const int side = SideOf(level);
        Slot& slot = levels[level][(static_cast<std::size_t>(red) * side + green) * side + blue];
        if (const Group* groups = slot.groups.load(std::memory_order_acquire)) {
            return List{groups, slot.count.load(std::memory_order_relaxed)};
        }
        const List parent = level == 0 ? root : Get(level - 1, red >> 1, green >> 1, blue >> 1);

        const int shift = ShiftOf(level);
        const int red0 = red << shift, green0 = green << shift, blue0 = blue << shift;
        const int width = (1 << shift) - 1;
        const Box box{red0, green0, blue0, red0 + width, green0 + width, blue0 + width};
        const Candidate anchor =
            kernels::At(parent.groups, kernels::AnchorPosition(instructions, parent, box));
        Columns kept;
        const std::uint32_t count = kernels::Keep(instructions, parent, box, anchor, kept);
        const List list = count == parent.count ? parent : Store(kept, count);

        slot.count.store(list.count, std::memory_order_relaxed);
        const Group* expected = nullptr;
        if (!slot.groups.compare_exchange_strong(expected, list.groups, std::memory_order_release,
                                                 std::memory_order_acquire)) {
            return List{expected, list.count};
        }
        return list;
    }
};

bool NearestColorIndex::Supports(SearchInstructions instructions) {
    return instructions == SearchInstructions::Fastest ||
           kernels::Supported(static_cast<kernels::Instructions>(instructions));
}

NearestColorIndex::NearestColorIndex(const ColorTable& table, SearchInstructions instructions)
    : cells_(std::make_unique<Cells>()) {
    cells_->instructions = instructions == SearchInstructions::Fastest || !Supports(instructions)
                               ? kernels::Fastest()
                               : static_cast<kernels::Instructions>(instructions);
    cells_->nearestPosition = kernels::NearestPosition(cells_->instructions);
    for (int level = 0; level < LEVELS; ++level) {
        const int side = SideOf(level);
        cells_->levels[level] = std::vector<Slot>(static_cast<std::size_t>(side * side * side));
    }
    // A later entry with an earlier entry's color can never be chosen.
    const auto count = static_cast<std::size_t>(table.count);
    std::vector<Pixel> sorted(count);
    for (std::size_t i = 0; i < count; ++i) sorted[i] = table.colors[i] & 0x00FFFFFFu;
    std::sort(sorted.begin(), sorted.end());
    std::vector<bool> taken(count, false);
    Columns distinct;
    std::uint32_t distinctCount = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const Pixel color = table.colors[i] & 0x00FFFFFFu;
        const auto at = static_cast<std::size_t>(
            std::lower_bound(sorted.begin(), sorted.end(), color) - sorted.begin());
        if (taken[at]) continue;
        taken[at] = true;
        distinct.red[distinctCount] = RedOf(color);
        distinct.green[distinctCount] = GreenOf(color);
        distinct.blue[distinctCount] = BlueOf(color);
        distinct.index[distinctCount] = static_cast<std::int16_t>(i);
        ++distinctCount;
    }
    cells_->root = cells_->Store(distinct, distinctCount);
}

NearestColorIndex::~NearestColorIndex() = default;

std::int32_t NearestColorIndex::Find(Pixel pixel) const {
    const int r = RedOf(pixel);
    const int g = GreenOf(pixel);
    const int b = BlueOf(pixel);
    constexpr int finest = LEVELS - 1;
    constexpr int shift = ShiftOf(finest);
    constexpr int side = SideOf(finest);
    const Slot& slot = cells_->levels[finest][(static_cast<std::size_t>(r >> shift) * side +
                                                         (g >> shift)) * side + (b >> shift)];
    const Group* groups = slot.groups.load(std::memory_order_acquire);
    const List list = groups != nullptr ? List{groups, slot.count.load(std::memory_order_relaxed)}
                                        : cells_->Get(finest, r >> shift, g >> shift, b >> shift);
    const std::uint32_t position = cells_->nearestPosition(list, r, g, b);
    return kernels::At(list.groups, position).index;
}

}  // namespace tesselbox
