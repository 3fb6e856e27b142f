// Whether a frame an editor hands over is the one after the frame before it.
//
// Editors pass a time with each frame, in units of their own: FFmpeg milliseconds,
// GStreamer and MLT seconds. None passes the frame rate. So the clock learns the frame
// period from the stream: a step between two frames becomes the period once the next step
// repeats it, and from then on a frame follows its predecessor when it comes one period
// later. Anything else starts the run of linked frames again: a step back (a seek), no
// step (MLT repeats the last frame at a clip's end), a longer step (a gap, or a seek
// forward). A shorter step means the period was learnt across a gap: it is learnt anew.
//
// Some times are unusable: FFmpeg passes a huge negative number at some frame widths, and
// GStreamer an unset timestamp as about 1.8e10 seconds. Such frames are counted instead:
// each follows the frame before it, since a filter graph that gives no time never seeks.
#pragma once

#include <optional>

namespace ruvovav::editor {

enum class FrameStep {
    Follows,    // one period after the previous frame: the run goes on
    MayFollow,  // a step not yet confirmed as the period: hold the frame, link nothing yet
    Restart,    // a seek, repeat or gap: the run starts again with this frame
};

// Times of larger magnitude (or not finite) are unusable; a day in milliseconds is 8.64e7.
inline constexpr double kUnusableTime = 1e9;

class FrameClock {
public:
    FrameStep advance(double time);
    // The time of the previous frame, when it had a usable one.
    std::optional<double> previousTime() const { return previous_; }
    // The confirmed period, in the editor's units.
    std::optional<double> period() const { return period_; }
    // Forgets the previous frame but keeps the period: the next frame restarts the run.
    void forgetPrevious();

private:
    FrameStep stepOf(double delta, double time);

    std::optional<double> previous_;
    std::optional<double> period_;
    std::optional<double> candidate_;  // the last step, waiting to be repeated
    bool counting_ = false;            // the previous frame had no usable time
};

bool usableTime(double time);

}  // namespace ruvovav::editor
