#include "frei0r/frei0r_parameters.h"

#include "frei0r/frei0r_api.h"

#include <algorithm>
#include <cmath>

namespace ruvovav::frei0r {
namespace {

constexpr ParameterInfo kInfo[kParameterCount] = {
    {"profile", F0R_PARAM_STRING,
     "Profile saved by `ruvovav analyze --profile-out`; empty: analyse the first frame"},
    {"frames", F0R_PARAM_DOUBLE,
     "Frames combined: 0 as the profile, 0.25 one, 0.5 two, 0.75 four, 1 eight"},
    {"tracking", F0R_PARAM_DOUBLE,
     "Motion tracking: 0 as the profile, below 0.5 off, 0.5 and above on"},
    {"strength", F0R_PARAM_DOUBLE,
     "Removal amounts times 2 x strength: 0 as the profile, 0.5 unchanged, 1 double"},
};

bool asProfile(double value) {
    return !(value > 0.0);  // NaN as well
}

}  // namespace

const ParameterInfo* parameterInfo(int index) {
    return index >= 0 && index < kParameterCount ? &kInfo[index] : nullptr;
}

int framesOf(double value) {
    if (asProfile(value)) return 0;
    const long quarter = std::clamp(std::lround(value * 4.0), 1L, 4L);
    return 1 << (quarter - 1);
}

std::optional<bool> trackingOf(double value) {
    if (asProfile(value)) return std::nullopt;
    return value >= 0.5;
}

double strengthOf(double value) {
    return asProfile(value) ? 0.0 : 2.0 * std::min(value, 1.0);
}

void Parameters::set(int index, const void* value) {
    if (value == nullptr) return;
    if (index == kProfile) {
        const char* text = *static_cast<const char* const*>(value);
        profile_ = text != nullptr ? text : "";
        return;
    }
    const double number = *static_cast<const double*>(value);
    if (index == kFrames) frames_ = number;
    if (index == kTracking) tracking_ = number;
    if (index == kStrength) strength_ = number;
}

void Parameters::get(int index, void* value) const {
    if (value == nullptr) return;
    if (index == kProfile) {
        *static_cast<const char**>(value) = profile_.c_str();
        return;
    }
    double* number = static_cast<double*>(value);
    if (index == kFrames) *number = frames_;
    if (index == kTracking) *number = tracking_;
    if (index == kStrength) *number = strength_;
}

editor::EditorSettings Parameters::settings() const {
    return {.profile = profile_,
            .frames = framesOf(frames_),
            .tracking = trackingOf(tracking_),
            .strength = strengthOf(strength_)};
}

}  // namespace ruvovav::frei0r
