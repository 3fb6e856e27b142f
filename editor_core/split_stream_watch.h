// Frames of one stream shared out between instances of the filter.
//
// MLT's parallel rendering gives each of its worker threads an instance of its own and
// hands the threads frames in turn, so an instance may get every other frame: times that
// step evenly by two periods, like a stream of half the rate. Linking those would combine
// frames two periods apart as if they were neighbours. So instances of one frame size note
// the times they are given in a table shared by the process, and a frame is linked to the
// previous one only when no other instance was given a time between the two. Such frames
// are rendered alone; runs of true neighbours that one thread happens to get still link.
#pragma once

#include <optional>

namespace ruvovav::editor {

class SplitStreamWatch {
public:
    SplitStreamWatch(int width, int height);
    ~SplitStreamWatch();
    SplitStreamWatch(const SplitStreamWatch&) = delete;
    SplitStreamWatch& operator=(const SplitStreamWatch&) = delete;

    // Notes `time` and tells whether another instance of this frame size was given a time
    // strictly between `previous` and `time`.
    bool splitBetween(std::optional<double> previous, double time);

private:
    int width_;
    int height_;
};

}  // namespace ruvovav::editor
