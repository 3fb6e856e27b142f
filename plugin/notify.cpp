// The module's message entry point: decodes the host's message, runs its handler and turns
// every failure into a result code. No exception crosses the C boundary.
#include "plugin/notify.h"

#include <exception>

#include "gl/denoise_instance.h"
#include "gl/fx_glsl_exception.h"
#include "gl/gpu_setup.h"
#include "params/brightness_edit.h"
#include "params/declare_parameters.h"
#include "params/plugin_exception.h"
#include "plugin/exports.h"
#include "plugin/notify_message.h"
#include "plugin/parameter_changed.h"
#include "render/program_table.h"
#include "render/render_effect.h"

namespace Plugin {
namespace {

int32_t createInstance(HostApi* api) {
    // The previous value is not looked at: a fresh instance always starts empty.
    api->instanceData = new DenoiseInstance();  // owned by the host's table until message 1
    return kHandled;
}

int32_t destroyInstance(HostApi* api) {
    DenoiseInstance* instance = instanceOf(api);
    if (instance != nullptr) {
        try {
            delete instance;  // paired with createInstance; the table is the owner
        } catch (...) {
            return kNotHandled;  // the table keeps its pointer, as the host handed it
        }
    }
    api->instanceData = nullptr;
    return kHandled;
}

int32_t dispatch(HostHandle host, HostApi* api, NotifyMessage message) {
    switch (message) {
        case NotifyMessage::CreateInstance:
            return createInstance(api);
        case NotifyMessage::DestroyInstance:
            return destroyInstance(api);
        case NotifyMessage::DeclareParameters:
            return declareParameters(host, api);
        case NotifyMessage::Reserved3:
        case NotifyMessage::Reserved4:
            return kHandled;
        case NotifyMessage::GpuSetUp:
            initialiseGlEntryPoints();
            return setUpGpu(host, api, programTable());
        case NotifyMessage::ParameterChanged:
            return parameterChanged(HostCall{host, api});
        case NotifyMessage::Render:
            return renderEffect({host, api});
        case NotifyMessage::BrightnessEditNoUndo:
            return brightnessEdited(HostCall{host, api}, true);
        case NotifyMessage::BrightnessEdit:
            return brightnessEdited(HostCall{host, api}, false);
    }
    return kNotHandled;
}

}  // namespace

int32_t notify(HostHandle host, HostApi* api, int32_t message) {
    // Negative codes wrap to huge unsigned values and fall out here too.
    const auto code = static_cast<uint32_t>(message);
    if (code > kLastNotifyMessage) return kNotHandled;
    try {
        return dispatch(host, api, static_cast<NotifyMessage>(code));
    } catch (const PluginException&) {
        return kFailed;
    } catch (const gl::FXGLSLexception&) {
        return kFailed;
    } catch (const std::exception&) {
        // Out of memory, a length error, or an exception thrown by the host's own table
        // while a handler called it: unwinding on into the editor's C caller would end the
        // editor's process, so these fail the message like the plug-in's own failures do.
        return kFailed;
    } catch (...) {
        return kFailed;
    }
}

}  // namespace Plugin

extern "C" RUVOVAV_EXPORT int32_t Notify(HostHandle host, HostApi* api, int32_t message) {
    return Plugin::notify(host, api, message);
}
