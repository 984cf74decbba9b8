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
#include <new>
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
using kernels::Slot;
using kernels::SlotLine;

static_assert(
    static_cast<int>(SearchInstructions::Plain) == static_cast<int>(kernels::Instructions::Plain) &&
    static_cast<int>(SearchInstructions::Sse2) == static_cast<int>(kernels::Instructions::Sse2) &&
    static_cast<int>(SearchInstructions::Sse41) == static_cast<int>(kernels::Instructions::Sse41));

static_assert(Columns::CAPACITY >= MAX_COLORS + LANES);

constexpr int LEVELS = 4;  // cells of 128, 64, 32 and 16 levels a side

constexpr int SideOf(int level) { return 2 << level; }  // cells per side
constexpr int ShiftOf(int level) { return 7 - level; }  // log2 of a cell's width

// Lists live in chunks that never move, so a published list stays valid for the index's life.
// Threads take room with one atomic add and no lock: both threads of a conversion build cells at
// the same time, and a lock here would make them queue for each other.
class GroupArena {
public:
    GroupArena() = default;
    GroupArena(const GroupArena&) = delete;
    GroupArena& operator=(const GroupArena&) = delete;
    ~GroupArena() {
        for (std::atomic<Group*>& chunk : chunks_) delete[] chunk.load(std::memory_order_relaxed);
    }

    // groups <= CHUNK_GROUPS.
    Group* Allocate(std::size_t groups) {
        for (;;) {
            const std::size_t at = next_.fetch_add(groups, std::memory_order_relaxed);
            const std::size_t chunk = at / CHUNK_GROUPS;
            if (chunk >= MAX_CHUNKS) throw std::bad_alloc();
            if ((at + groups - 1) / CHUNK_GROUPS != chunk) continue;  // would straddle: skip it
            return ChunkAt(chunk) + at % CHUNK_GROUPS;
        }
    }

private:
    static constexpr std::size_t CHUNK_GROUPS = 1024;  // 64 KiB
    // Every cell of every level with a full table of lists take 72 chunks; the rest is room for
    // copies dropped in races and for the ends of chunks skipped.
    static constexpr std::size_t MAX_CHUNKS = 4096;

    Group* ChunkAt(std::size_t chunk) {
        Group* groups = chunks_[chunk].load(std::memory_order_acquire);
        if (groups != nullptr) return groups;
        std::unique_ptr<Group[]> fresh(new Group[CHUNK_GROUPS]);  // untouched pages cost nothing
        if (chunks_[chunk].compare_exchange_strong(groups, fresh.get(), std::memory_order_acq_rel,
                                                   std::memory_order_acquire)) {
            return fresh.release();
        }
        return groups;
    }

    std::atomic<std::size_t> next_{0};
    std::atomic<Group*> chunks_[MAX_CHUNKS] = {};
};

// Room taken from the arena a block at a time, for one thread building many cells in a row: an
// atomic add on a counter that another thread is adding to costs more than building a small cell.
class GroupCursor {
public:
    explicit GroupCursor(GroupArena& arena) : arena_(arena) {}

    Group* Allocate(std::size_t groups) {
        if (groups > free_) {
            if (groups > BLOCK_GROUPS) return arena_.Allocate(groups);
            next_ = arena_.Allocate(BLOCK_GROUPS);
            free_ = BLOCK_GROUPS;
        }
        Group* groupsAt = next_;
        next_ += groups;
        free_ -= groups;
        return groupsAt;
    }

private:
    static constexpr std::size_t BLOCK_GROUPS = 64;  // 4 KiB
    GroupArena& arena_;
    Group* next_ = nullptr;
    std::size_t free_ = 0;
};


}  // namespace

struct NearestColorIndex::Cells {
    kernels::Instructions instructions = kernels::Instructions::Plain;
    kernels::FindAllFunction findAll = nullptr;
    GroupArena arena;
    List root{};  // the table without repeated colors
    std::vector<SlotLine> levels[LEVELS];

    Slot& SlotAt(int level, int red, int green, int blue) {
        const int side = SideOf(level);
        const auto at = (static_cast<std::size_t>(red) * side + green) * side + blue;
        return levels[level][at / SlotLine::SLOTS].slots[at % SlotLine::SLOTS];
    }

    // Copies a list into groups, filling the last one up with copies of the first candidate.
    List Store(const Columns& list, std::uint32_t count, GroupCursor* cursor) {
        Group* groups = cursor != nullptr ? cursor->Allocate(GroupsFor(count))
                                          : arena.Allocate(GroupsFor(count));
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

    // The SSE4.1 search reads two groups for every list of up to two groups, so narrowing such a
    // list down further gains nothing; the cell takes its parent's.
    bool ShortEnough(const List& parent) const {
        return instructions == kernels::Instructions::Sse41 && parent.count <= 2 * LANES;
    }

    // The parent's candidates that can be nearest to some color of the cell.
    List Narrowed(int level, int red, int green, int blue, const List& parent,
                  GroupCursor* cursor) {
        const int shift = ShiftOf(level);
        const int red0 = red << shift, green0 = green << shift, blue0 = blue << shift;
        const int width = (1 << shift) - 1;
        const Box box{red0, green0, blue0, red0 + width, green0 + width, blue0 + width};
        const Candidate anchor =
            kernels::At(parent.groups, kernels::AnchorPosition(instructions, parent, box));
        Columns kept;
        const std::uint32_t count = kernels::Keep(instructions, parent, box, anchor, kept);
        return count == parent.count ? parent : Store(kept, count, cursor);
    }

    // The cell at (red, green, blue), counted in cells of `level`, built with its ancestors if new.
    // New lists take their room through the cursor when there is one.
    List Get(int level, int red, int green, int blue, GroupCursor* cursor) {
        Slot& slot = SlotAt(level, red, green, blue);
        if (const Group* groups = slot.groups.load(std::memory_order_acquire)) {
            return List{groups, slot.count.load(std::memory_order_relaxed)};
        }
        const List parent =
            level == 0 ? root : Get(level - 1, red >> 1, green >> 1, blue >> 1, cursor);

        const List list = ShortEnough(parent) ? parent : Narrowed(level, red, green, blue, parent,
                                                                   cursor);

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
    cells_->findAll = kernels::FindAll(cells_->instructions);
    for (int level = 0; level < LEVELS; ++level) {
        const int side = SideOf(level);
        cells_->levels[level] = std::vector<SlotLine>(
            static_cast<std::size_t>(side * side * side / SlotLine::SLOTS));
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
    cells_->root = cells_->Store(distinct, distinctCount, nullptr);
}

NearestColorIndex::~NearestColorIndex() = default;

// A part is a cell of 64 levels a side, so the parts share only the eight largest cells.
static_assert(NearestColorIndex::PARTS == SideOf(1) * SideOf(1) * SideOf(1));
static_assert(ExpectedCells::COUNT == SideOf(LEVELS - 1) * SideOf(LEVELS - 1) * SideOf(LEVELS - 1));

void NearestColorIndex::BuildAhead(const ExpectedCells& cells, int part) const {
    constexpr int finest = LEVELS - 1;
    constexpr int side = SideOf(finest);
    constexpr int across = side / SideOf(1);  // finest cells across a part
    const int red0 = (part >> 4) * across, green0 = (part >> 2 & 3) * across,
              blue0 = (part & 3) * across;
    GroupCursor cursor(cells_->arena);
    for (int red = red0; red < red0 + across; ++red) {
        for (int green = green0; green < green0 + across; ++green) {
            for (int blue = blue0; blue < blue0 + across; ++blue) {
                if (cells.Has(static_cast<std::uint32_t>((red * side + green) * side + blue))) {
                    cells_->Get(finest, red, green, blue, &cursor);
                }
            }
        }
    }
}

std::int32_t NearestColorIndex::Find(Pixel pixel) const {
    std::int32_t index = 0;
    FindAll(&pixel, 1, &index);
    return index;
}

void NearestColorIndex::FindAll(const Pixel* colors, std::size_t count, std::int32_t* indices) const {
    constexpr int finest = LEVELS - 1;
    const kernels::CellBuilder builder{
        [](void* context, std::uint32_t cell) {
            constexpr int side = SideOf(finest);
            return static_cast<Cells*>(context)->Get(finest, static_cast<int>(cell) / (side * side),
                                                     static_cast<int>(cell) / side % side,
                                                     static_cast<int>(cell) % side, nullptr);
        },
        cells_.get()};
    cells_->findAll(kernels::FinestCells{cells_->levels[finest].data(), builder}, colors, count,
                    indices);
}

}  // namespace tesselbox
