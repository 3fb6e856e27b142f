// Ctrl-C during a long job: the first one asks the job to stop after the frame in hand, so
// that the output is finished properly; a second one ends the process at once.
#pragma once

namespace ruvovav::cli {

void catchInterrupts();
bool interrupted();

}  // namespace ruvovav::cli
