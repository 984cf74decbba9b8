// The block grid: one color-table index per picture pixel, bottom picture row first (the surfaces'
// order), NO_BLOCK where the pixel is not opaque enough to become a block. The conversion makes it;
// the file formats write it.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace tesselbox {

inline constexpr std::int32_t NO_BLOCK = -1;

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
