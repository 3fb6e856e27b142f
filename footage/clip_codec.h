// The encode round trip of a clip: what a delivery codec does to noise.
#pragma once

#include <vector>

#include "cli/media/picture.h"

namespace ruvovav::footage {

// The frames as H.264 (8-bit 4:2:0, libx264 at `crf`) encodes and decodes them, through the
// tool's own writer and reader. Throws media::MediaError when either fails.
std::vector<media::Picture> h264RoundTrip(const std::vector<media::Picture>& frames, int crf);

}  // namespace ruvovav::footage
