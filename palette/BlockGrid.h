// The block grid: one color-table index per picture pixel, bottom picture row first (the surfaces'
// order), NO_BLOCK where the pixel is not opaque enough to become a block. The conversion makes it;
// the file formats write it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <new>
#include <memory>
#include <utility>
#include <vector>

namespace tesselbox {

inline constexpr std::int32_t NO_BLOCK = -1;

// New elements are zero without a pass of zeros: the memory comes from calloc, which takes large
// blocks as fresh pages that are zero already. A grid about to be filled costs nothing more, and a
// decoder that leaves part of a damaged picture unwritten leaves zeros there, not stale memory.
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
        if (count > std::size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
        void* memory = std::calloc(count, sizeof(T));
        if (memory == nullptr) throw std::bad_alloc();
        return static_cast<T*>(memory);
    }
    void deallocate(T* memory, std::size_t) noexcept { std::free(memory); }
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

}  // namespace tesselbox
