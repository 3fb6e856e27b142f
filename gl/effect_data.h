// Per-instance registry of the plug-in's GL programs.
//
// The GL half (compiling, linking and looking programs up by name) arrives with the GPU
// set-up; until then an instance holds an empty registry and touches no GL.
#pragma once

#include <cstdint>

namespace Plugin {

class EffectData {
public:
    EffectData() = default;
    EffectData(const EffectData&) = delete;
    EffectData& operator=(const EffectData&) = delete;
    virtual ~EffectData() = default;

    int32_t count() const { return count_; }

private:
    int32_t count_ = 0;
};

}  // namespace Plugin
