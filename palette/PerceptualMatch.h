// Perceptual nearest-color matching: the table entry nearest by CIEDE2000 (see palette/Lab.h), ties
// to the lowest index. The index always answers what the plain scan answers.
#pragma once

#include "palette/ColorTable.h"
#include "palette/Lab.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tesselbox {

// The reference: CIEDE2000 to every entry, the first of the least. Needs table.count >= 1.
std::int32_t FindNearestPerceptual(const ColorTable& table, Pixel pixel);
std::int32_t FindNearestPerceptual(const ColorTable& table, const Lab& color);

// Ciede2000(from, x) >= Ciede2000(from, y), exactly, with Ciede2000 itself only where bounds of
// both differences cannot tell.
bool FartherOrAsFar(const Lab& from, const Lab& x, const Lab& y);

// The index's loops: AVX2 with fused multiply-add where the processor has them, or plain ones
// (for tests, which check that both give the same answers).
enum class PerceptualInstructions { Plain, Fastest };

class PerceptualIndex {
public:
    static constexpr std::uint64_t REMEMBER_FROM = 1u << 20;

    // Copies what it needs of the table. count >= 1. `colorsToAsk`, about how many colors it will be
    // asked, decides whether remembering every answer pays, as it does for a full-size picture; with
    // fewer, only recent answers are kept.
    explicit PerceptualIndex(const ColorTable& table, std::uint64_t colorsToAsk = REMEMBER_FROM,
                             PerceptualInstructions instructions = PerceptualInstructions::Fastest);
    ~PerceptualIndex();
    PerceptualIndex(const PerceptualIndex&) = delete;
    PerceptualIndex& operator=(const PerceptualIndex&) = delete;

    // Several threads may ask at once. `hint`, a table index likely to be near (a neighbor's
    // answer), only makes a search faster.
    std::int32_t Find(Pixel pixel, std::int32_t hint = -1) const;
    // The same for a caller that remembers its answers itself: nothing is looked up or kept.
    std::int32_t FindOnce(Pixel pixel, std::int32_t hint = -1) const;
    void FindAll(const Pixel* colors, std::size_t count, std::int32_t* indices) const;
    // Makes ready what searches for colors near this one need, so that another thread can do it
    // ahead of one that must ask in order.
    void Prepare(Pixel pixel) const;
    // Starts loading where the answer for this color is remembered, for a Find a few colors later:
    // the memory of a small picture's answers is larger than the processor's nearest caches.
    void Prefetch(Pixel pixel) const;
    // The k-d tree's search alone, without the cubes or the memory.
    std::int32_t Search(const Lab& color, std::int32_t hint = -1) const;

    // A box of CIELAB, with the largest chroma of any color in it: the tree's nodes and the cubes.
    struct Box {
        double lLow, lHigh, aLow, aHigh, bLow, bHigh;
        double chromaHigh;
    };

private:
    struct Block;
    struct Cell;
    struct Best;
    struct Node {
        Box box;                  // around its entries
        std::int32_t begin, end;  // its entries
        std::int32_t children;    // the first of two, or -1 for a leaf
    };
    static constexpr std::size_t LEAF_SIZE = 16;

    // Entry e's difference, squared, to within rounding, when no convention of CIEDE2000 decides it.
    bool Value(const Lab& color, double chroma, std::size_t e, double& difference2) const;
    // Takes entry e, whose difference, squared, lies in [low2, high2], as the best when it is
    // nearer, or as near with a lower table index.
    void Offer(const Lab& color, double chroma, std::size_t e, double low2, double high2, Best& best) const;
    // The answer from the candidates of the color's cell, or -1 when they cannot tell; then `hint`
    // becomes their nearest, when there was one.
    std::int32_t SearchCell(const Lab& color, std::int32_t& hint) const;
    // The same within one cell, which must hold the color.
    std::int32_t SearchIn(const Cell& cell, const Lab& color, std::int32_t& hint) const;
    // The color's cell, made if need be; null outside the grid.
    const Cell* CellOf(const Lab& color) const;
    std::unique_ptr<Cell> MakeCell(std::size_t l, std::size_t a, std::size_t b) const;
    // The search behind Find.
    std::int32_t Answer(Pixel pixel, std::int32_t hint) const;

    bool avx2_;  // whether to run the AVX2 loops
    // The distinct colors of the table, in the order of the tree's leaves.
    std::vector<double> lightness_, a_, b_, chroma_;
    std::vector<double> hueFrom_, hueSpan_;  // where each entry's primed hue may lie, in degrees
    std::vector<Node> nodes_;
    std::vector<std::int32_t> tableIndex_;
    std::vector<Lab> labOfTable_;      // every table entry, by table index
    std::vector<std::int32_t> sortedAt_;  // table index -> position in the arrays above, or -1
    // Every answer: 4096 blocks of 4096 colors (the high and the low four bits of each channel), made
    // on first use. Only for many colors; touching them all costs more than a small picture's search.
    std::unique_ptr<std::atomic<Block*>[]> blocks_;
    // Otherwise recent answers, by a hash of the color: the color above 16 bits, the answer plus one
    // below, zero for none.
    std::unique_ptr<std::atomic<std::uint64_t>[]> recent_;
    // A grid of CIELAB cubes, each with the entries that may be nearest to a color inside it, made
    // on first use.
    std::unique_ptr<std::atomic<Cell*>[]> cells_;
};

}  // namespace tesselbox
