// The frei0r entry points. Hosts are C programs: nothing may throw out of here.
#include "frei0r/frei0r_api.h"

#include <cstring>

#include "frei0r/frei0r_instance.h"

namespace {

using ruvovav::frei0r::Instance;

Instance* instanceOf(f0r_instance_t instance) {
    return static_cast<Instance*>(instance);
}

// Runs `work`; what it throws (memory running out) ends at this boundary.
template <typename Work>
bool guarded(Work&& work) {
    try {
        work();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

extern "C" {

int f0r_init() {
    return 1;
}

// Instances own the effect and the GL thread; there is nothing to undo here (and MLT calls
// this before it destroys its instances).
void f0r_deinit() {}

void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    info->name = "ruvovav";
    info->author = "Ruvovav";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = 0;
    info->minor_version = 2;
    info->num_params = ruvovav::frei0r::kParameterCount;
    info->explanation = "Grain and noise removal over several frames, with OpenGL";
}

void f0r_get_param_info(f0r_param_info_t* info, int index) {
    const ruvovav::frei0r::ParameterInfo* known = ruvovav::frei0r::parameterInfo(index);
    if (known == nullptr) return;
    info->name = known->name;
    info->type = known->type;
    info->explanation = known->explanation;
}

// Cheap on purpose: hosts build instances they never use (GStreamer, to read defaults).
f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    Instance* made = nullptr;
    if (width > 0 && height > 0) guarded([&] { made = new Instance(width, height); });
    return made;
}

void f0r_destruct(f0r_instance_t instance) {
    delete instanceOf(instance);
}

void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
    guarded([&] { instanceOf(instance)->parameters.set(index, param); });
}

void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
    instanceOf(instance)->parameters.get(index, param);
}

void f0r_update(f0r_instance_t instance, double time, const uint32_t* inframe, uint32_t* outframe) {
    const bool done = guarded([&] { instanceOf(instance)->update(time, inframe, outframe); });
    if (!done && inframe != outframe) {
        const Instance& i = *instanceOf(instance);
        std::memcpy(outframe, inframe,
                    sizeof(uint32_t) * size_t(i.effect.width()) * size_t(i.effect.height()));
    }
}

}  // extern "C"
