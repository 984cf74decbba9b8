#include "palette/NearestColorKernels.h"

#include <algorithm>
#include <bit>
#include <limits>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define TESSELBOX_SSE2 1
#include <emmintrin.h>
#if defined(__GNUC__)  // GCC and Clang build single functions for SSE4.1 and check the processor
#define TESSELBOX_SSE41 1
#include <smmintrin.h>  // with tmmintrin.h's pshufb
#endif
#endif

namespace tesselbox::kernels {
namespace {

// A position rides in the low bits of a key whose high bits order it.
constexpr int POSITION_BITS = 10;
constexpr std::uint32_t POSITION_MASK = (1u << POSITION_BITS) - 1;

// ---- Plain C++ ----------------------------------------------------------------------------------

std::uint32_t NearestPositionPlain(List list, int red, int green, int blue) {
    std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
    for (std::uint32_t k = 0; k < list.count; ++k) {
        const Candidate c = At(list.groups, k);
        const int dr = red - c.red, dg = green - c.green, db = blue - c.blue;
        best = std::min(
            best, static_cast<std::uint32_t>(dr * dr + dg * dg + db * db) << POSITION_BITS | k);
    }
    return best & POSITION_MASK;
}

std::uint32_t AnchorPositionPlain(List list, const Box& box) {
    std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
    for (std::uint32_t k = 0; k < list.count; ++k) {
        const Candidate c = At(list.groups, k);
        const int fr = std::max(c.red - box.red0, box.red1 - c.red);
        const int fg = std::max(c.green - box.green0, box.green1 - c.green);
        const int fb = std::max(c.blue - box.blue0, box.blue1 - c.blue);
        best = std::min(
            best, static_cast<std::uint32_t>(fr * fr + fg * fg + fb * fb) << POSITION_BITS | k);
    }
    return best & POSITION_MASK;
}

// (x - j)² - (x - a)² at whichever end x of [low, high] favours j most.
int Advantage(int j, int a, int low, int high) {
    const int x = j > a ? high : low;
    return (x - j) * (x - j) - (x - a) * (x - a);
}

unsigned KeptLanesPlain(const Group& g, const Box& box, Candidate anchor) {
    unsigned kept = 0;
    for (int lane = 0; lane < LANES; ++lane) {
        const int advantage = Advantage(g.red[lane], anchor.red, box.red0, box.red1) +
                              Advantage(g.green[lane], anchor.green, box.green0, box.green1) +
                              Advantage(g.blue[lane], anchor.blue, box.blue0, box.blue1);
        if (advantage <= 0) kept |= 1u << lane;
    }
    return kept;
}

// Copies the candidates whose bit `lanesOf` sets, skipping the fill of the last group.
template <typename LanesOf>
std::uint32_t KeepLanes(List list, Columns& kept, LanesOf lanesOf) {
    std::uint32_t count = 0;
    const std::uint32_t groups = GroupsFor(list.count);
    for (std::uint32_t k = 0; k < groups; ++k) {
        const std::uint32_t inUse = std::min<std::uint32_t>(list.count - k * LANES, LANES);
        for (unsigned lanes = lanesOf(list.groups[k]) & ((1u << inUse) - 1); lanes != 0;
             lanes &= lanes - 1) {
            const Candidate c =
                At(list.groups, k * LANES + static_cast<std::uint32_t>(std::countr_zero(lanes)));
            kept.red[count] = c.red;
            kept.green[count] = c.green;
            kept.blue[count] = c.blue;
            kept.index[count] = c.index;
            ++count;
        }
    }
    return count;
}

template <std::uint32_t (*NearestPosition)(List, int, int, int)>
void FindAllWith(const FinestCells& cells, const Pixel* colors, std::size_t count,
                 std::int32_t* indices) {
    Pixel lastColor = 0xFFFFFFFFu;  // no masked color equals it
    std::int32_t lastIndex = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const Pixel color = colors[i] & 0x00FFFFFFu;
        if (color != lastColor) {  // neighbouring pixels often share a color
            lastColor = color;
            const List list = cells.ListOf(ExpectedCells::CellOf(color));
            lastIndex =
                At(list.groups, NearestPosition(list, RedOf(color), GreenOf(color), BlueOf(color)))
                    .index;
        }
        indices[i] = lastIndex;
    }
}

// ---- SSE2 ---------------------------------------------------------------------------------------

#ifdef TESSELBOX_SSE2

__m128i Load(const std::int16_t* lanes) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
}

__m128i Broadcast(int value) { return _mm_set1_epi16(static_cast<std::int16_t>(value)); }

__m128i Minimum(__m128i a, __m128i b) {  // keys stay below 2^31, so signed order is fine
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

// The smallest (low or high << POSITION_BITS | position) over all groups, where `lengths` gives the
// two halves of a group.
template <typename Lengths>
std::uint32_t SmallestPosition(List list, Lengths lengths) {
    __m128i positionLow = _mm_setr_epi32(0, 1, 2, 3);
    __m128i positionHigh = _mm_setr_epi32(4, 5, 6, 7);
    const __m128i step = _mm_set1_epi32(LANES);
    __m128i best = _mm_set1_epi32(std::numeric_limits<std::int32_t>::max());
    const Group* end = list.groups + GroupsFor(list.count);
    for (const Group* g = list.groups; g != end; ++g) {
        __m128i low, high;
        lengths(*g, low, high);
        best = Minimum(best, _mm_or_si128(_mm_slli_epi32(low, POSITION_BITS), positionLow));
        best = Minimum(best, _mm_or_si128(_mm_slli_epi32(high, POSITION_BITS), positionHigh));
        positionLow = _mm_add_epi32(positionLow, step);
        positionHigh = _mm_add_epi32(positionHigh, step);
    }
    return HorizontalMinimum(best) & POSITION_MASK;
}

std::uint32_t NearestPositionSse2(List list, int red, int green, int blue) {
    const __m128i r = Broadcast(red), g = Broadcast(green), b = Broadcast(blue);
    return SmallestPosition(list, [&](const Group& group, __m128i& low, __m128i& high) {
        SquaredLengths(_mm_sub_epi16(Load(group.red), r), _mm_sub_epi16(Load(group.green), g),
                       _mm_sub_epi16(Load(group.blue), b), low, high);
    });
}

std::uint32_t AnchorPositionSse2(List list, const Box& box) {
    const __m128i red0 = Broadcast(box.red0), green0 = Broadcast(box.green0),
                  blue0 = Broadcast(box.blue0);
    const __m128i red1 = Broadcast(box.red1), green1 = Broadcast(box.green1),
                  blue1 = Broadcast(box.blue1);
    return SmallestPosition(list, [&](const Group& group, __m128i& low, __m128i& high) {
        const __m128i r = Load(group.red), g = Load(group.green), b = Load(group.blue);
        SquaredLengths(_mm_max_epi16(_mm_sub_epi16(r, red0), _mm_sub_epi16(red1, r)),
                       _mm_max_epi16(_mm_sub_epi16(g, green0), _mm_sub_epi16(green1, g)),
                       _mm_max_epi16(_mm_sub_epi16(b, blue0), _mm_sub_epi16(blue1, b)), low, high);
    });
}

unsigned KeptLanesSse2(const Group& group, const Box& box, Candidate anchor) {
    const __m128i anchorRed = Broadcast(anchor.red), anchorGreen = Broadcast(anchor.green),
                  anchorBlue = Broadcast(anchor.blue);
    const __m128i r = Load(group.red), g = Load(group.green), b = Load(group.blue);
    // The corner that favours the candidate most: the high end where it lies above the anchor.
    const __m128i cornerRed =
        Select(_mm_cmpgt_epi16(r, anchorRed), Broadcast(box.red1), Broadcast(box.red0));
    const __m128i cornerGreen =
        Select(_mm_cmpgt_epi16(g, anchorGreen), Broadcast(box.green1), Broadcast(box.green0));
    const __m128i cornerBlue =
        Select(_mm_cmpgt_epi16(b, anchorBlue), Broadcast(box.blue1), Broadcast(box.blue0));
    __m128i toCandidateLow, toCandidateHigh, toAnchorLow, toAnchorHigh;
    SquaredLengths(_mm_sub_epi16(cornerRed, r), _mm_sub_epi16(cornerGreen, g),
                   _mm_sub_epi16(cornerBlue, b), toCandidateLow, toCandidateHigh);
    SquaredLengths(_mm_sub_epi16(cornerRed, anchorRed), _mm_sub_epi16(cornerGreen, anchorGreen),
                   _mm_sub_epi16(cornerBlue, anchorBlue), toAnchorLow, toAnchorHigh);
    const __m128i dropped = _mm_packs_epi32(_mm_cmpgt_epi32(toCandidateLow, toAnchorLow),
                                            _mm_cmpgt_epi32(toCandidateHigh, toAnchorHigh));
    const auto droppedLanes =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(dropped, _mm_setzero_si128())));
    return ~droppedLanes & 0xFFu;
}

#endif

// ---- SSE4.1 ------------------------------------------------------------------------------------
// Distances in 16-bit lanes: every square fits (255² = 65025) and sums saturate at 65535, so any
// unsaturated result is exact. phminposuw then finds the smallest of eight lanes, and the first
// lane among equals, in one step.

#ifdef TESSELBOX_SSE41

#define TESSELBOX_TARGET_SSE41 __attribute__((target("sse4.1")))

// For each set of lanes, the pshufb control that moves those 16-bit lanes to the front in order,
// and how many they are (popcnt is not part of SSE4.1).
struct CompressTable {
    alignas(16) std::uint8_t bytes[256][16];
    std::uint8_t counts[256];
    constexpr CompressTable() : bytes(), counts() {
        for (unsigned lanes = 0; lanes < 256; ++lanes) {
            std::size_t to = 0;
            for (int lane = 0; lane < LANES; ++lane) {
                if ((lanes >> lane & 1u) == 0) continue;
                bytes[lanes][2 * to] = static_cast<std::uint8_t>(2 * lane);
                bytes[lanes][2 * to + 1] = static_cast<std::uint8_t>(2 * lane + 1);
                ++to;
            }
            counts[lanes] = static_cast<std::uint8_t>(to);
            for (; to < std::size_t{LANES}; ++to) bytes[lanes][2 * to] = bytes[lanes][2 * to + 1] = 0x80;
        }
    }
};
constexpr CompressTable COMPRESS_TABLE;

__m128i SaturatedSquaredLengths(__m128i x, __m128i y, __m128i z) {
    return _mm_adds_epu16(_mm_adds_epu16(_mm_mullo_epi16(x, x), _mm_mullo_epi16(y, y)),
                          _mm_mullo_epi16(z, z));
}

// Folds the smallest lane of group k into best, as (length << 16 | position).
TESSELBOX_TARGET_SSE41 std::uint32_t FoldSmallest(std::uint32_t best, __m128i lengths,
                                                  std::uint32_t k) {
    const auto found = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_minpos_epu16(lengths)));
    return std::min(best, (found & 0xFFFFu) << 16 | k * LANES | found >> 16);
}

constexpr std::uint32_t SATURATED = 0xFFFFu;

TESSELBOX_TARGET_SSE41 std::uint32_t NearestInGroup(std::uint32_t best, const Group& group,
                                                    std::uint32_t k, __m128i r, __m128i g,
                                                    __m128i b) {
    return FoldSmallest(best,
                        SaturatedSquaredLengths(_mm_sub_epi16(Load(group.red), r),
                                                _mm_sub_epi16(Load(group.green), g),
                                                _mm_sub_epi16(Load(group.blue), b)),
                        k);
}

// (length << 16 | position) of the nearest candidate, length saturated.
TESSELBOX_TARGET_SSE41 std::uint32_t NearestKeySse41(List list, __m128i r, __m128i g, __m128i b) {
    std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
    if (list.count <= 2 * LANES) {
        // Most lists: always two groups, the first twice when it is the only one (its second
        // reading comes later and so never wins), because a loop whose length changes from pixel
        // to pixel costs more in mispredicted branches than the extra group does.
        const std::uint32_t second = list.count > LANES ? 1 : 0;
        best = NearestInGroup(best, list.groups[0], 0, r, g, b);
        return NearestInGroup(best, list.groups[second], 1, r, g, b);
    }
    for (std::uint32_t k = 0; k < GroupsFor(list.count); ++k) {
        best = NearestInGroup(best, list.groups[k], k, r, g, b);
    }
    return best;
}

// FindAllWith's loop again: a function built for SSE4.1 inlines only what is built for it too.
TESSELBOX_TARGET_SSE41 void FindAllSse41(const FinestCells& cells, const Pixel* colors,
                                         std::size_t count, std::int32_t* indices) {
    // pshufb controls that spread one byte of a pixel over eight 16-bit lanes.
    const __m128i blueLanes = _mm_setr_epi8(0, -128, 0, -128, 0, -128, 0, -128, 0, -128, 0, -128,
                                            0, -128, 0, -128);
    const __m128i greenLanes = _mm_add_epi8(blueLanes, _mm_set1_epi16(1));
    const __m128i redLanes = _mm_add_epi8(blueLanes, _mm_set1_epi16(2));
    Pixel lastColor = 0xFFFFFFFFu;  // no masked color equals it
    std::int32_t lastIndex = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const Pixel color = colors[i] & 0x00FFFFFFu;
        if (color != lastColor) {  // neighbouring pixels often share a color
            lastColor = color;
            const List list = cells.ListOf(ExpectedCells::CellOf(color));
            const __m128i pixel = _mm_cvtsi32_si128(static_cast<int>(color));
            const std::uint32_t best =
                NearestKeySse41(list, _mm_shuffle_epi8(pixel, redLanes),
                                _mm_shuffle_epi8(pixel, greenLanes), _mm_shuffle_epi8(pixel, blueLanes));
            // Saturated: the order among the far candidates is lost, so take the 32-bit way.
            const std::uint32_t position =
                best >> 16 != SATURATED
                    ? best & 0xFFFFu
                    : NearestPositionSse2(list, RedOf(color), GreenOf(color), BlueOf(color));
            lastIndex = At(list.groups, position).index;
        }
        indices[i] = lastIndex;
    }
}

TESSELBOX_TARGET_SSE41 std::uint32_t AnchorPositionSse41(List list, const Box& box) {
    const __m128i red0 = Broadcast(box.red0), green0 = Broadcast(box.green0),
                  blue0 = Broadcast(box.blue0);
    const __m128i red1 = Broadcast(box.red1), green1 = Broadcast(box.green1),
                  blue1 = Broadcast(box.blue1);
    std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
    const std::uint32_t groups = GroupsFor(list.count);
    for (std::uint32_t k = 0; k < groups; ++k) {
        const Group& group = list.groups[k];
        const __m128i r = Load(group.red), g = Load(group.green), b = Load(group.blue);
        best = FoldSmallest(best,
                            SaturatedSquaredLengths(
                                _mm_max_epi16(_mm_sub_epi16(r, red0), _mm_sub_epi16(red1, r)),
                                _mm_max_epi16(_mm_sub_epi16(g, green0), _mm_sub_epi16(green1, g)),
                                _mm_max_epi16(_mm_sub_epi16(b, blue0), _mm_sub_epi16(blue1, b))),
                            k);
    }
    if (best >> 16 == SATURATED) return AnchorPositionSse2(list, box);
    return best & 0xFFFFu;
}

TESSELBOX_TARGET_SSE41 void StorePacked(std::int16_t* to, __m128i lanes, __m128i pack) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_shuffle_epi8(lanes, pack));
}

TESSELBOX_TARGET_SSE41 std::uint32_t KeepSse41(List list, const Box& box, Candidate anchor,
                                               Columns& kept) {
    const __m128i anchorRed = Broadcast(anchor.red), anchorGreen = Broadcast(anchor.green),
                  anchorBlue = Broadcast(anchor.blue);
    const __m128i red0 = Broadcast(box.red0), green0 = Broadcast(box.green0),
                  blue0 = Broadcast(box.blue0);
    const __m128i red1 = Broadcast(box.red1), green1 = Broadcast(box.green1),
                  blue1 = Broadcast(box.blue1);
    const __m128i zero = _mm_setzero_si128();
    std::uint32_t count = 0;
    const std::uint32_t groups = GroupsFor(list.count);
    for (std::uint32_t k = 0; k < groups; ++k) {
        const Group& group = list.groups[k];
        const __m128i r = Load(group.red), g = Load(group.green), b = Load(group.blue);
        // The corner that favours the candidate most: the high end where it lies above the anchor.
        const __m128i cornerRed = _mm_blendv_epi8(red0, red1, _mm_cmpgt_epi16(r, anchorRed));
        const __m128i cornerGreen =
            _mm_blendv_epi8(green0, green1, _mm_cmpgt_epi16(g, anchorGreen));
        const __m128i cornerBlue = _mm_blendv_epi8(blue0, blue1, _mm_cmpgt_epi16(b, anchorBlue));
        const __m128i toCandidate =
            SaturatedSquaredLengths(_mm_sub_epi16(cornerRed, r), _mm_sub_epi16(cornerGreen, g),
                                    _mm_sub_epi16(cornerBlue, b));
        const __m128i toAnchor = SaturatedSquaredLengths(_mm_sub_epi16(cornerRed, anchorRed),
                                                         _mm_sub_epi16(cornerGreen, anchorGreen),
                                                         _mm_sub_epi16(cornerBlue, anchorBlue));
        // Kept when not farther than the anchor. A saturated distance to the anchor keeps the
        // candidate whatever its own: keeping too many only costs time.
        const __m128i keep = _mm_cmpeq_epi16(_mm_subs_epu16(toCandidate, toAnchor), zero);
        const std::uint32_t inUse = std::min<std::uint32_t>(list.count - k * LANES, LANES);
        const unsigned lanes =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(keep, zero))) &
            ((1u << inUse) - 1);
        // Moves the kept lanes to the front of each channel and stores all eight; the lanes past
        // the kept ones are overwritten by the next group or lie beyond the count.
        const __m128i pack = _mm_load_si128(reinterpret_cast<const __m128i*>(COMPRESS_TABLE.bytes[lanes]));
        StorePacked(kept.red + count, r, pack);
        StorePacked(kept.green + count, g, pack);
        StorePacked(kept.blue + count, b, pack);
        StorePacked(kept.index + count, Load(group.index), pack);
        count += COMPRESS_TABLE.counts[lanes];
    }
    return count;
}

#endif

}  // namespace

bool Supported(Instructions instructions) {
#ifdef TESSELBOX_SSE2
    constexpr bool sse2Built = true;
#else
    constexpr bool sse2Built = false;
#endif
    switch (instructions) {
    case Instructions::Plain:
        return true;
    case Instructions::Sse2:
        return sse2Built;
    case Instructions::Sse41:
#ifdef TESSELBOX_SSE41
        return __builtin_cpu_supports("sse4.1");
#else
        return false;
#endif
    }
    return false;
}

Instructions Fastest() {
    for (const Instructions i : {Instructions::Sse41, Instructions::Sse2}) {
        if (Supported(i)) return i;
    }
    return Instructions::Plain;
}

FindAllFunction FindAll(Instructions instructions) {
    switch (instructions) {
#ifdef TESSELBOX_SSE41
    case Instructions::Sse41:
        return FindAllSse41;
#endif
#ifdef TESSELBOX_SSE2
    case Instructions::Sse2:
        return FindAllWith<NearestPositionSse2>;
#endif
    default:
        return FindAllWith<NearestPositionPlain>;
    }
}

std::uint32_t AnchorPosition(Instructions instructions, List list, const Box& box) {
#ifdef TESSELBOX_SSE41
    if (instructions == Instructions::Sse41) return AnchorPositionSse41(list, box);
#endif
#ifdef TESSELBOX_SSE2
    if (instructions != Instructions::Plain) return AnchorPositionSse2(list, box);
#endif
    (void)instructions;
    return AnchorPositionPlain(list, box);
}

std::uint32_t Keep(Instructions instructions, List list, const Box& box, Candidate anchor,
                   Columns& kept) {
#ifdef TESSELBOX_SSE41
    if (instructions == Instructions::Sse41) return KeepSse41(list, box, anchor, kept);
#endif
#ifdef TESSELBOX_SSE2
    if (instructions != Instructions::Plain) {
        return KeepLanes(list, kept,
                         [&](const Group& group) { return KeptLanesSse2(group, box, anchor); });
    }
#endif
    (void)instructions;
    return KeepLanes(list, kept,
                     [&](const Group& group) { return KeptLanesPlain(group, box, anchor); });
}

}  // namespace tesselbox::kernels
