// The inner loops of NearestColorIndex, once for each instruction set; every variant gives the same
// answers. Only the palette library and its tests include this.
#pragma once

#include "palette/NearestColorIndex.h"
#include "palette/Pixel.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tesselbox::kernels {

enum class Instructions { Plain, Sse2, Sse41 };

bool Supported(Instructions instructions);
Instructions Fastest();

inline constexpr int LANES = 8;

// Eight candidates, channel by channel, in one cache line. A list's last group is filled up with
// copies of its first candidate, which tie with it and come later, so they never win.
struct alignas(64) Group {
    std::int16_t red[LANES];
    std::int16_t green[LANES];
    std::int16_t blue[LANES];
    std::int16_t index[LANES];  // into the color table
};

struct Candidate {
    std::int16_t red, green, blue, index;
};

struct List {
    const Group* groups;
    std::uint32_t count;  // candidates, not counting the fill
};

inline std::uint32_t GroupsFor(std::uint32_t count) { return (count + LANES - 1) / LANES; }

inline Candidate At(const Group* groups, std::uint32_t position) {
    const Group& g = groups[position / LANES];
    const std::uint32_t lane = position % LANES;
    return {g.red[lane], g.green[lane], g.blue[lane], g.index[lane]};
}

// The colors of one cell: [low, high] on every channel.
struct Box {
    int red0, green0, blue0, red1, green1, blue1;
};

// One cell. Whoever builds it first publishes it; a thread that loses the race drops its copy,
// which holds the same list.
struct Slot {
    std::atomic<const Group*> groups{nullptr};
    std::atomic<std::uint32_t> count{0};
};

// Slots a cache line at a time, so that threads building cells of different parts of the cube
// never write to the same line.
struct alignas(64) SlotLine {
    static constexpr std::uint32_t SLOTS = 4;
    Slot slots[SLOTS];
};
static_assert(sizeof(SlotLine) == 64);

// Builds the list of a finest cell that has none yet.
struct CellBuilder {
    List (*build)(void* context, std::uint32_t cell);
    void* context;
};

// The finest cells, numbered as ExpectedCells::CellOf numbers them.
struct FinestCells {
    const SlotLine* lines;
    CellBuilder builder;

    List ListOf(std::uint32_t cell) const {
        const Slot& slot = lines[cell / SlotLine::SLOTS].slots[cell % SlotLine::SLOTS];
        const Group* groups = slot.groups.load(std::memory_order_acquire);
        if (groups == nullptr) return builder.build(builder.context, cell);
        return List{groups, slot.count.load(std::memory_order_relaxed)};
    }
};

// For each color, its alpha ignored, the table index of the nearest candidate in its cell's list:
// the first one among equals.
using FindAllFunction = void (*)(const FinestCells& cells, const Pixel* colors, std::size_t count,
                                 std::int32_t* indices);
FindAllFunction FindAll(Instructions instructions);

// The position of the candidate whose farthest corner of the box is nearest.
std::uint32_t AnchorPosition(Instructions instructions, List list, const Box& box);

// A list being built, channel by channel, with room for a full table and the spill of a last
// eight-lane store.
struct Columns {
    static constexpr std::uint32_t CAPACITY = 1000 + LANES;
    std::int16_t red[CAPACITY];
    std::int16_t green[CAPACITY];
    std::int16_t blue[CAPACITY];
    std::int16_t index[CAPACITY];
};

// Copies to `kept`, in order, the candidates that are at least as near as the anchor to some
// corner of the box, that is, all but those to which the anchor is strictly nearer everywhere in
// it. Returns how many.
std::uint32_t Keep(Instructions instructions, List list, const Box& box, Candidate anchor,
                   Columns& kept);

}  // namespace tesselbox::kernels
