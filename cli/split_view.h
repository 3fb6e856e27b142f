// The before/after picture people compare denoisers with: the left half of the input beside
// the right half of the result, split by a white line, each half labelled.
#pragma once

#include "cli/media/picture.h"

namespace ruvovav::cli {

// Both pictures must have one size.
media::Picture splitBeforeAfter(const media::Picture& before, const media::Picture& after);

}  // namespace ruvovav::cli
