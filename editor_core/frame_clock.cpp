#include "editor_core/frame_clock.h"

#include <algorithm>
#include <cmath>

namespace ruvovav::editor {
namespace {

// Editors compute times as frame index times period in floating point; steps between
// frames agree to far better than this share of a period.
constexpr double kStepTolerance = 0.01;

bool sameStep(double a, double b) {
    return std::abs(a - b) <= kStepTolerance * std::max(std::abs(a), std::abs(b));
}

}  // namespace

bool usableTime(double time) {
    return std::isfinite(time) && std::abs(time) < kUnusableTime;
}

FrameStep FrameClock::advance(double time) {
    if (!usableTime(time)) {
        const bool follows = counting_;
        forgetPrevious();
        counting_ = true;
        return follows ? FrameStep::Follows : FrameStep::Restart;
    }
    const std::optional<double> previous = previous_;
    counting_ = false;
    previous_ = time;
    if (!previous) {
        candidate_.reset();
        return FrameStep::Restart;
    }
    return stepOf(time - *previous, time);
}

void FrameClock::forgetPrevious() {
    previous_.reset();
    candidate_.reset();
    counting_ = false;
}

FrameStep FrameClock::stepOf(double delta, double time) {
    const double smallest = 1e-9 * std::max(1.0, std::abs(time));
    if (delta <= smallest) {  // a repeat or a step back
        candidate_.reset();
        return FrameStep::Restart;
    }
    if (period_) {
        if (sameStep(delta, *period_)) return FrameStep::Follows;
        if (delta > *period_) {  // a gap or a seek forward
            candidate_.reset();
            return FrameStep::Restart;
        }
        period_.reset();  // a shorter step: the period was learnt across a gap
    }
    if (candidate_ && sameStep(delta, *candidate_)) {
        period_ = delta;
        candidate_.reset();
        return FrameStep::Follows;
    }
    candidate_ = delta;
    return FrameStep::MayFollow;
}

}  // namespace ruvovav::editor
