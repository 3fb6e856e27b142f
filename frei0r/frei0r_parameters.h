// The plug-in's parameters as frei0r hosts see them, and what each value means.
//
// frei0r numbers are doubles in 0..1, so each setting maps a range of them; 0, the value a
// host starts with, always means "as the profile says":
//   0 profile   string  path of a profile saved by `ruvovav analyze --profile-out`; empty:
//                       analyse the first usable frame automatically and keep the result
//   1 frames    double  0.25: 1 frame, 0.5: 2, 0.75: 4, 1: 8 (other values: the nearest)
//   2 tracking  double  below 0.5: off, 0.5 and above: on
//   3 strength  double  removal amounts times 2 x strength: 0.5 as the profile, 1 double,
//                       each capped at its maximum
// FFmpeg passes them in this order: filter_params=PROFILE|FRAMES|TRACKING|STRENGTH.
#pragma once

#include <optional>
#include <string>

#include "editor_core/session_settings.h"

namespace ruvovav::frei0r {

enum ParameterIndex : int { kProfile = 0, kFrames, kTracking, kStrength, kParameterCount };

struct ParameterInfo {
    const char* name;
    int type;  // F0R_PARAM_*
    const char* explanation;
};

// Null for an index outside 0 .. kParameterCount - 1.
const ParameterInfo* parameterInfo(int index);

// The mappings above; NaN and values at or below 0 mean "as the profile says".
int framesOf(double value);                    // 0: as the profile says
std::optional<bool> trackingOf(double value);  // none: as the profile says
double strengthOf(double value);               // 0: as the profile says

class Parameters {
public:
    // Copies the value `value` points at, as frei0r passes it (a double*, or a char** for
    // the profile). Unknown indices and null pointers are ignored.
    void set(int index, const void* value);
    // Writes the value where `value` points; the profile's text stays valid until the next
    // set of the profile.
    void get(int index, void* value) const;
    editor::EditorSettings settings() const;

private:
    std::string profile_;
    double frames_ = 0;
    double tracking_ = 0;
    double strength_ = 0;
};

}  // namespace ruvovav::frei0r
