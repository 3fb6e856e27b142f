// Pictures as the tool decodes and encodes them (straight alpha, top row first) and frames
// as the host stores them (premultiplied, bottom row first).
#pragma once

#include <vector>

#include "cli/media/picture.h"
#include "host/clip_frames.h"

namespace ruvovav::cli {

// A decoded picture as the host's frame.
kestrel::Frame hostFrameOf(const media::Picture& picture);
// The host's destination as a picture to encode. Fully transparent pixels come out black.
media::Picture pictureOf(const std::vector<float>& rgba, int width, int height);

}  // namespace ruvovav::cli
