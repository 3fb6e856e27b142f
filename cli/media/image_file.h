// One picture as one image file via OpenImageIO, written under a temporary name and renamed
// when complete.
#pragma once

#include <filesystem>

#include "output_format.h"
#include "picture.h"

namespace ruvovav::media {

// Writes `picture` to `file` as `target` says, with alpha when `withAlpha` and the type keeps
// it. Without `replace`, an existing file is kept and MediaError thrown. Throws MediaError;
// a failure leaves neither `file` changed nor a temporary file behind.
void writeImageFile(const std::filesystem::path& file, const Picture& picture,
                    const SequenceTarget& target, bool withAlpha, bool replace);

}  // namespace ruvovav::media
