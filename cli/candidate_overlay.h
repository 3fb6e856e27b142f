// The picture to choose an analysis box from: every candidate box of the automatic analysis
// drawn over the frame with its detail ratio, and the boxes it chose drawn bold.
#pragma once

#include <vector>

#include "cli/analysis/box_candidates.h"
#include "cli/analysis_runner.h"
#include "cli/media/picture.h"

namespace ruvovav::cli {

// Candidates are outlined green when flat, yellow when usable but not clearly flat, red when
// they hold picture; the ratio is written at each box's centre (boxes on the half-box grid
// overlap, their centres do not). The boxes pressed are outlined white, three pixels wide,
// and labelled "ANALYZE" or "BRIGHTNESS".
media::Picture drawCandidates(const media::Picture& frame, const analysis::BoxSurvey& survey,
                              const std::vector<PressedBox>& pressed);

}  // namespace ruvovav::cli
