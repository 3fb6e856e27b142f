// Short labels burnt into preview pictures ("BEFORE", "AFTER", view names), in a built-in
// 5 x 7 pixel font, so that a preview explains itself without a font library.
#pragma once

#include <string>

#include "cli/media/picture.h"

namespace ruvovav::cli {

// Draws `text` (A-Z, 0-9, space, '-' and '.'; anything else as a blank) with its top-left
// corner at (x, y), each font pixel `scale` x `scale` picture pixels, white on a dark box.
void drawLabel(media::Picture& picture, const std::string& text, int x, int y, int scale);

}  // namespace ruvovav::cli
