// Our stand-in for the Kestrel editor: one effect instance driven through the module's
// Notify, with the host's table of operations filled in at its exact offsets.
//
// Thread-safety: none; like the editor, it calls the module from one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/host_gl.h"
#include "host/parameter_store.h"
#include "host/plugin_module.h"
#include "plugin/host_api.h"

namespace kestrel {

class Host {
public:
    // A host without GL: enough to create instances and declare parameters.
    explicit Host(const PluginModule& module);
    // A host with its own headless OpenGL context; every call is framed by it.
    Host(const PluginModule& module, const GlOptions& gl);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // --- driving the module ---
    int32_t notify(int32_t message);
    // Message with a parameter id in the call arguments (messages 7, 13 and 14).
    int32_t notify(int32_t message, const std::string& parameterId);
    int32_t createInstance() { return notify(0); }
    int32_t destroyInstance() { return notify(1); }
    int32_t declareParameters() { return notify(2); }
    int32_t setUpGpu() { return notify(8); }
    // Loads the frame as the source and sends message 10 at time = frame index.
    int32_t renderFrame(int frameIndex);
    // Undo as the editor does it: undoes the last step, then sends message 7 for every
    // parameter the step changed, in panel order. False (nothing sent) when nothing to undo.
    bool undoAndNotify();

    // --- what the module sees ---
    HostApi& api() { return api_; }
    RenderContext& renderContext() { return renderContext_; }
    HostHandle handle() const;
    void setHostIdentifier(std::wstring identifier) { identifier_ = std::move(identifier); }
    void setDiagnostics(bool on) { api_.diagnosticsFlag = on ? 1 : 0; }
    void setImageTemplateMode(uint32_t mode) { api_.imageTemplateMode = mode; }

    // --- what tests observe and arrange ---
    ParameterStore& parameters() { return parameters_; }
    const ParameterStore& parameters() const { return parameters_; }
    // Refuses the n-th parameter declaration (1-based; 0 refuses none) and every one after.
    void refuseDeclarationAt(int n) { refuseAt_ = n; }
    // Makes the n-th parameter declaration (1-based, counted over this host's life, like
    // refuseDeclarationAt; 0 throws at none) call `thrower` instead of answering. The
    // thrower is meant to throw: the exception then unwinds out of the table and through
    // the module's own code, as a failing editor's would. Nothing is stored for that
    // declaration; only that one throws.
    void throwAtDeclaration(int n, std::function<void()> thrower) {
        throwAt_ = n;
        thrower_ = std::move(thrower);
    }
    // Makes the n-th CreateImage request (1-based over this host's life; 0: none) call
    // `thrower` inside the operation, as a failing allocation would. Unlike the declaration
    // seam, the host catches this one: the module sees a refused image.
    void throwAtImageRequest(int n, std::function<void()> thrower) {
        throwAtImage_ = n;
        imageThrower_ = std::move(thrower);
    }
    // Exceptions the table's operations caught and answered with their error result instead,
    // and the text of the last one (empty: none).
    int callbackFailures() const { return callbackFailures_; }
    const std::string& lastCallbackFailure() const { return lastCallbackFailure_; }
    // Every operation the module called through the table, for "no further call" checks.
    int hostCalls() const { return hostCalls_; }
    // The value of hostCalls() when the first declaration was refused (0: none refused).
    int hostCallsAtRefusal() const { return callsAtRefusal_; }
    // Misuse by the module: unknown ids, unbalanced groups, bad values, unknown images.
    int hostErrors() const;

    // --- GL (null without GL) ---
    HostGl* gl() { return gl_.get(); }
    // Every ReportProgress call, in order; the n-th call and later ones ask to stop.
    const std::vector<std::pair<int32_t, int32_t>>& progressReports() const { return progress_; }
    void askStopAtProgressReport(int n) { stopAtReport_ = n; }

private:
    friend struct HostTable;
    friend struct HostGlTable;
    friend struct CallbackGuard;

    // The host behind a handle the module passed back; counts the call.
    static Host& calledThrough(HostHandle handle);
    void noteCallbackFailure(const char* what) noexcept;
    void fillTable();
    void fillGlTable();
    int32_t callModule(int32_t message);

    const PluginModule& module_;
    HostApi api_{};
    RenderContext renderContext_{};
    CallArgs callArgs_{};
    std::string callParameterId_;
    std::wstring identifier_ = L"Kestrel";
    ParameterStore parameters_;
    int refuseAt_ = 0;
    int throwAt_ = 0;
    std::function<void()> thrower_;
    int throwAtImage_ = 0;
    int imageRequests_ = 0;
    std::function<void()> imageThrower_;
    int callbackFailures_ = 0;
    std::string lastCallbackFailure_;
    int declarations_ = 0;
    int hostCalls_ = 0;
    int callsAtRefusal_ = 0;
    int ownErrors_ = 0;
    std::vector<std::pair<int32_t, int32_t>> progress_;
    int stopAtReport_ = 0;
    std::unique_ptr<HostGl> gl_;  // last: torn down after the instance is destroyed
};

}  // namespace kestrel
