// The inner loops of NearestColorIndex, once for each instruction set; every variant gives the same
// answers. Only the palette library and its tests include this.
#pragma once

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

// The position of the candidate nearest to the color; the first one among equals.
using NearestPositionFunction = std::uint32_t (*)(List list, int red, int green, int blue);
NearestPositionFunction NearestPosition(Instructions instructions);

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
