// The EXIF orientation of a JPEG file, read from its own bytes: GDI+ does not turn pictures
// upright, and not every GDI+ hands out a JPEG's EXIF tags as property items.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>

namespace tesselbox::win32 {

// 1 to 8 as EXIF numbers them; 1 (as stored) when the bytes are no JPEG, have no EXIF block,
// no orientation tag or an invalid one.
int JpegOrientation(std::span<const std::byte> head);
// The same for the file's first bytes (the EXIF block comes before the picture data).
int JpegOrientation(const std::filesystem::path& path);

}  // namespace tesselbox::win32
