// The color cube is split into cells of 128, 64, 32 and finally 16 levels a side, each level built
// on first use from the one above. A cell keeps, in table order, the entries that can be nearest
// to some color inside it: an entry is dropped when the whole cell is strictly nearer to the cell's
// anchor (the entry whose farthest corner is nearest) than to it. That test is exact for the pair,
// because the colors nearer to one entry than to another form a half-space, and a half-space misses
// a box exactly when it misses all its corners. A search compares integer squared distances with
// the index in the low bits, so ties go to the lowest index as in the plain scan.
#include "palette/NearestColorIndex.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <limits>
#include <mutex>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TESSELBOX_SSE2 1
#endif

namespace tesselbox {
namespace {

constexpr int LEVELS = 4;  // cells of 128, 64, 32 and 16 levels a side
constexpr int INDEX_BITS = 10;
constexpr std::uint32_t INDEX_MASK = (1u << INDEX_BITS) - 1;
constexpr int LANES = 8;
static_assert(MAX_COLORS + LANES <= (1 << INDEX_BITS));

constexpr int SideOf(int level) { return 2 << level; }  // cells per side
constexpr int ShiftOf(int level) { return 7 - level; }  // log2 of a cell's width

// Eight candidates, channel by channel, in one cache line. A list's last group is filled up with
// copies of its first candidate, which tie with it and so never change a search.
struct alignas(64) Group {
    std::int16_t red[LANES];
    std::int16_t green[LANES];
    std::int16_t blue[LANES];
    std::int16_t index[LANES];
};

struct Candidate {
    std::int16_t red, green, blue, index;
};

struct List {
    const Group* groups;
    std::uint32_t count;  // candidates, not counting the fill
};

std::uint32_t GroupsFor(std::uint32_t count) { return (count + LANES - 1) / LANES; }

Candidate At(const Group* groups, std::uint32_t k) {
    const Group& g = groups[k / LANES];
    const std::uint32_t lane = k % LANES;
    return {g.red[lane], g.green[lane], g.blue[lane], g.index[lane]};
}

// The colors of one cell: [low, high] on every channel.
struct Box {
    int red0, green0, blue0, red1, green1, blue1;
};

#ifdef TESSELBOX_SSE2

__m128i Load(const std::int16_t* lanes) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
}

__m128i Minimum(__m128i a, __m128i b) {  // all values are below 2^31, so signed order is fine
    const __m128i aGreater = _mm_cmpgt_epi32(a, b);
    return _mm_or_si128(_mm_and_si128(aGreater, b), _mm_andnot_si128(aGreater, a));
}

std::uint32_t HorizontalMinimum(__m128i v) {
    v = Minimum(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = Minimum(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
}

__m128i Select(__m128i mask, __m128i ifSet, __m128i ifClear) {
    return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}

// x² + y² + z² of eight 16-bit lanes as 32-bit sums, lanes 0-3 and 4-7: pmaddwd squares and adds
// lane pairs, so (x, y) pairs give x² + y² and (z, 0) pairs give z².
void SquaredLengths(__m128i x, __m128i y, __m128i z, __m128i& low, __m128i& high) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i xyLow = _mm_unpacklo_epi16(x, y), xyHigh = _mm_unpackhi_epi16(x, y);
    const __m128i zLow = _mm_unpacklo_epi16(z, zero), zHigh = _mm_unpackhi_epi16(z, zero);
    low = _mm_add_epi32(_mm_madd_epi16(xyLow, xyLow), _mm_madd_epi16(zLow, zLow));
    high = _mm_add_epi32(_mm_madd_epi16(xyHigh, xyHigh), _mm_madd_epi16(zHigh, zHigh));
}

// The smallest (squared distance << INDEX_BITS | index) over a list.
std::uint32_t BestKey(List list, int red, int green, int blue) {
    const __m128i pixelRed = _mm_set1_epi16(static_cast<std::int16_t>(red));
    const __m128i pixelGreen = _mm_set1_epi16(static_cast<std::int16_t>(green));
    const __m128i pixelBlue = _mm_set1_epi16(static_cast<std::int16_t>(blue));
    const __m128i zero = _mm_setzero_si128();
    __m128i best = _mm_set1_epi32(std::numeric_limits<std::int32_t>::max());
    const Group* end = list.groups + GroupsFor(list.count);
    for (const Group* g = list.groups; g != end; ++g) {
        __m128i low, high;
        SquaredLengths(_mm_sub_epi16(Load(g->red), pixelRed), _mm_sub_epi16(Load(g->green), pixelGreen),
                       _mm_sub_epi16(Load(g->blue), pixelBlue), low, high);
        const __m128i index = Load(g->index);
        best = Minimum(best, _mm_or_si128(_mm_slli_epi32(low, INDEX_BITS), _mm_unpacklo_epi16(index, zero)));
        best = Minimum(best, _mm_or_si128(_mm_slli_epi32(high, INDEX_BITS), _mm_unpackhi_epi16(index, zero)));
    }
    return HorizontalMinimum(best);
}

// The position in the list of the candidate whose farthest corner of the box is nearest.
std::uint32_t AnchorOf(List list, const Box& box) {
    const __m128i red0 = _mm_set1_epi16(static_cast<std::int16_t>(box.red0));
    const __m128i green0 = _mm_set1_epi16(static_cast<std::int16_t>(box.green0));
    const __m128i blue0 = _mm_set1_epi16(static_cast<std::int16_t>(box.blue0));
    const __m128i red1 = _mm_set1_epi16(static_cast<std::int16_t>(box.red1));
    const __m128i green1 = _mm_set1_epi16(static_cast<std::int16_t>(box.green1));
    const __m128i blue1 = _mm_set1_epi16(static_cast<std::int16_t>(box.blue1));
    __m128i positionLow = _mm_setr_epi32(0, 1, 2, 3);
    __m128i positionHigh = _mm_setr_epi32(4, 5, 6, 7);
    const __m128i step = _mm_set1_epi32(LANES);
    __m128i best = _mm_set1_epi32(std::numeric_limits<std::int32_t>::max());
    const Group* end = list.groups + GroupsFor(list.count);
    for (const Group* g = list.groups; g != end; ++g) {
        const __m128i r = Load(g->red), gr = Load(g->green), b = Load(g->blue);
        __m128i low, high;
        SquaredLengths(_mm_max_epi16(_mm_sub_epi16(r, red0), _mm_sub_epi16(red1, r)),
                       _mm_max_epi16(_mm_sub_epi16(gr, green0), _mm_sub_epi16(green1, gr)),
                       _mm_max_epi16(_mm_sub_epi16(b, blue0), _mm_sub_epi16(blue1, b)), low, high);
        best = Minimum(best, _mm_or_si128(_mm_slli_epi32(low, INDEX_BITS), positionLow));
        best = Minimum(best, _mm_or_si128(_mm_slli_epi32(high, INDEX_BITS), positionHigh));
        positionLow = _mm_add_epi32(positionLow, step);
        positionHigh = _mm_add_epi32(positionHigh, step);
    }
    return HorizontalMinimum(best) & INDEX_MASK;
}

// Bit k set when candidate k of the group is at least as near as the anchor to some corner.
unsigned KeptLanes(const Group& g, const Box& box, Candidate anchor) {
    const __m128i anchorRed = _mm_set1_epi16(anchor.red);
    const __m128i anchorGreen = _mm_set1_epi16(anchor.green);
    const __m128i anchorBlue = _mm_set1_epi16(anchor.blue);
    const __m128i r = Load(g.red), gr = Load(g.green), b = Load(g.blue);
    // The corner that favours the candidate most: the high end where it lies above the anchor.
    const __m128i cornerRed = Select(_mm_cmpgt_epi16(r, anchorRed), _mm_set1_epi16(static_cast<std::int16_t>(box.red1)),
                                     _mm_set1_epi16(static_cast<std::int16_t>(box.red0)));
    const __m128i cornerGreen = Select(_mm_cmpgt_epi16(gr, anchorGreen), _mm_set1_epi16(static_cast<std::int16_t>(box.green1)),
                                       _mm_set1_epi16(static_cast<std::int16_t>(box.green0)));
    const __m128i cornerBlue = Select(_mm_cmpgt_epi16(b, anchorBlue), _mm_set1_epi16(static_cast<std::int16_t>(box.blue1)),
                                      _mm_set1_epi16(static_cast<std::int16_t>(box.blue0)));
    __m128i toCandidateLow, toCandidateHigh, toAnchorLow, toAnchorHigh;
    SquaredLengths(_mm_sub_epi16(cornerRed, r), _mm_sub_epi16(cornerGreen, gr), _mm_sub_epi16(cornerBlue, b),
                   toCandidateLow, toCandidateHigh);
    SquaredLengths(_mm_sub_epi16(cornerRed, anchorRed), _mm_sub_epi16(cornerGreen, anchorGreen),
                   _mm_sub_epi16(cornerBlue, anchorBlue), toAnchorLow, toAnchorHigh);
    const __m128i dropped = _mm_packs_epi32(_mm_cmpgt_epi32(toCandidateLow, toAnchorLow),
                                            _mm_cmpgt_epi32(toCandidateHigh, toAnchorHigh));
    const auto droppedBits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_packs_epi16(dropped, _mm_setzero_si128())));
    return ~droppedBits & 0xFFu;
}

#else  // plain code for other processors

std::uint32_t BestKey(List list, int red, int green, int blue) {
    std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
    for (std::uint32_t k = 0; k < list.count; ++k) {
        const Candidate c = At(list.groups, k);
        const int dr = red - c.red, dg = green - c.green, db = blue - c.blue;
        best = std::min(best, static_cast<std::uint32_t>(dr * dr + dg * dg + db * db) << INDEX_BITS |
                                  static_cast<std::uint32_t>(c.index));
    }
    return best;
}

std::uint32_t AnchorOf(List list, const Box& box) {
    std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
    for (std::uint32_t k = 0; k < list.count; ++k) {
        const Candidate c = At(list.groups, k);
        const int fr = std::max(c.red - box.red0, box.red1 - c.red);
        const int fg = std::max(c.green - box.green0, box.green1 - c.green);
        const int fb = std::max(c.blue - box.blue0, box.blue1 - c.blue);
        best = std::min(best, static_cast<std::uint32_t>(fr * fr + fg * fg + fb * fb) << INDEX_BITS | k);
    }
    return best & INDEX_MASK;
}

// (x - j)² - (x - a)² at whichever end x of [low, high] favours j most.
int Advantage(int j, int a, int low, int high) {
    const int x = j > a ? high : low;
    return (x - j) * (x - j) - (x - a) * (x - a);
}

unsigned KeptLanes(const Group& g, const Box& box, Candidate anchor) {
    unsigned kept = 0;
    for (int lane = 0; lane < LANES; ++lane) {
        const int advantage = Advantage(g.red[lane], anchor.red, box.red0, box.red1) +
                              Advantage(g.green[lane], anchor.green, box.green0, box.green1) +
                              Advantage(g.blue[lane], anchor.blue, box.blue0, box.blue1);
        if (advantage <= 0) kept |= 1u << lane;
    }
    return kept;
}

#endif

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
    GroupArena arena;
    List root{};  // the table without repeated colors
    std::vector<Slot> levels[LEVELS];

    List Store(const Candidate* list, std::uint32_t count) {
        Group* groups = arena.Allocate(GroupsFor(count));
        for (std::uint32_t k = 0; k < GroupsFor(count) * LANES; ++k) {
            const Candidate c = list[k < count ? k : 0];
            Group& g = groups[k / LANES];
            g.red[k % LANES] = c.red;
            g.green[k % LANES] = c.green;
            g.blue[k % LANES] = c.blue;
            g.index[k % LANES] = c.index;
        }
        return List{groups, count};
    }

    // The cell at (red, green, blue), counted in cells of `level`, built with its ancestors if new.
    List Get(int level, int red, int green, int blue) {
        const int side = SideOf(level);
        Slot& slot = levels[level][static_cast<std::size_t>((red * side + green) * side + blue)];
        if (const Group* groups = slot.groups.load(std::memory_order_acquire)) {
            return List{groups, slot.count.load(std::memory_order_relaxed)};
        }
        const List parent = level == 0 ? root : Get(level - 1, red >> 1, green >> 1, blue >> 1);

        const int shift = ShiftOf(level);
        const int width = (1 << shift) - 1;
        const Box box{red << shift, green << shift, blue << shift,
                      (red << shift) + width, (green << shift) + width, (blue << shift) + width};
        const Candidate anchor = At(parent.groups, AnchorOf(parent, box));
        Candidate kept[MAX_COLORS];
        std::uint32_t count = 0;
        for (std::uint32_t k = 0; k < GroupsFor(parent.count); ++k) {
            const std::uint32_t lanesInUse = std::min<std::uint32_t>(parent.count - k * LANES, LANES);
            unsigned lanes = KeptLanes(parent.groups[k], box, anchor) & ((1u << lanesInUse) - 1);
            for (; lanes != 0; lanes &= lanes - 1) {
                kept[count++] = At(parent.groups, k * LANES + static_cast<std::uint32_t>(std::countr_zero(lanes)));
            }
        }
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

NearestColorIndex::NearestColorIndex(const ColorTable& table) : cells_(std::make_unique<Cells>()) {
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
    std::vector<Candidate> distinct;
    distinct.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Pixel color = table.colors[i] & 0x00FFFFFFu;
        const auto at = static_cast<std::size_t>(
            std::lower_bound(sorted.begin(), sorted.end(), color) - sorted.begin());
        if (taken[at]) continue;
        taken[at] = true;
        distinct.push_back(Candidate{RedOf(color), GreenOf(color), BlueOf(color),
                                     static_cast<std::int16_t>(i)});
    }
    cells_->root = cells_->Store(distinct.data(), static_cast<std::uint32_t>(distinct.size()));
}

NearestColorIndex::~NearestColorIndex() = default;

std::int32_t NearestColorIndex::Find(Pixel pixel) const {
    const int r = RedOf(pixel);
    const int g = GreenOf(pixel);
    const int b = BlueOf(pixel);
    constexpr int finest = LEVELS - 1;
    constexpr int shift = ShiftOf(finest);
    constexpr int side = SideOf(finest);
    const Slot& slot = cells_->levels[finest][static_cast<std::size_t>(
        ((r >> shift) * side + (g >> shift)) * side + (b >> shift))];
    const Group* groups = slot.groups.load(std::memory_order_acquire);
    const List list = groups != nullptr
                          ? List{groups, slot.count.load(std::memory_order_relaxed)}
                          : cells_->Get(finest, r >> shift, g >> shift, b >> shift);
    return static_cast<std::int32_t>(BestKey(list, r, g, b) & INDEX_MASK);
}

}  // namespace tesselbox
