// The block grid: one color-table index per picture pixel, bottom picture row first (the surfaces'
// order), NO_BLOCK where the pixel is not opaque enough to become a block. The conversion makes it;
// the file formats write it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <memory>
#include <utility>
#include <vector>

namespace tesselbox {

inline constexpr std::int32_t NO_BLOCK = -1;

// The longest side of a grid, and so of a picture's working size: NBT stores a schematic's Width and
// Length as signed 16-bit numbers.
inline constexpr std::uint32_t MAX_PICTURE_SIDE = 32767;

// Blocks of this size and more come from calloc, which takes them as fresh pages that are zero
// already: zero at no cost (the C library maps anything this large).
inline constexpr std::size_t ZERO_FOR_FREE_BYTES = std::size_t{1} << 25;

// Leaves new elements uninitialized, so a grid about to be filled costs no pass of zeros first.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <typename U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    T* allocate(std::size_t count) {
        if (count < ZERO_FOR_FREE_BYTES / sizeof(T)) return std::allocator<T>::allocate(count);
        if (count > std::size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
        void* memory = std::calloc(count, sizeof(T));
        if (memory == nullptr) throw std::bad_alloc();
        return static_cast<T*>(memory);
    }
    void deallocate(T* memory, std::size_t count) noexcept {
        if (count < ZERO_FOR_FREE_BYTES / sizeof(T)) return std::allocator<T>::deallocate(memory, count);
        std::free(memory);
    }
    template <typename U>
    void construct(U* at) noexcept {
        ::new (static_cast<void*>(at)) U;
    }
    template <typename U, typename... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};

using BlockGrid = std::vector<std::int32_t, UninitializedAllocator<std::int32_t>>;

// Blocks at several heights, as map art stands: x × y × z table entries or NO_BLOCK, x fastest,
// then z, then y (the order of a .schem's and a .litematic's cells).
struct BlockVolume {
    std::uint32_t x = 0, y = 0, z = 0;
    const std::int32_t* cells = nullptr;
};

// Resizes grid to count zero elements, with a pass of zeros only where the memory does not come
// zero: for memory that a decoder may leave partly unwritten in a damaged picture.
inline void ResizeZeroed(BlockGrid& grid, std::size_t count) {
    grid = BlockGrid();
    grid.resize(count);
    if (count < ZERO_FOR_FREE_BYTES / sizeof(std::int32_t)) std::fill(grid.begin(), grid.end(), 0);
}

}  // namespace tesselbox
