// Refuses image files whose headers claim more data than the file holds, before an image
// library sees them. OpenEXR and OpenImageIO's DPX reader allocate (and copy) whatever size a
// header names while opening the file, so one damaged header costs gigabytes and seconds
// before any error; a user should get that error at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace ruvovav::media {

// Throws MediaError naming `file` when `start` (the file's first bytes) begins an OpenEXR or
// DPX header with a size field larger than `fileSize` allows. Other files pass unchecked.
void checkImageHeader(const std::filesystem::path& file, std::span<const uint8_t> start,
                      uint64_t fileSize);

// Reads the first bytes of `file` and checks them as above. Files it cannot read pass: the
// image library gives the better message for those.
void checkImageHeader(const std::filesystem::path& file);

}  // namespace ruvovav::media
