// Our stand-in for the Kestrel editor: one effect instance driven through the module's
// Notify, with the host's table of operations filled in at its exact offsets.
//
// Thread-safety: none; like the editor, it calls the module from one thread.
#pragma once

#include <cstdint>
#include <string>

#include "host/parameter_store.h"
#include "host/plugin_module.h"
#include "plugin/host_api.h"

namespace kestrel {

class Host {
public:
    explicit Host(const PluginModule& module);
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
    // Every operation the module called through the table, for "no further call" checks.
    int hostCalls() const { return hostCalls_; }
    // The value of hostCalls() when the first declaration was refused (0: none refused).
    int hostCallsAtRefusal() const { return callsAtRefusal_; }
    // Misuse by the module: unknown ids, unbalanced groups, bad values.
    int hostErrors() const { return parameters_.hostErrors() + ownErrors_; }

private:
    friend struct HostTable;

    void fillTable();

    const PluginModule& module_;
    HostApi api_{};
    RenderContext renderContext_{};
    CallArgs callArgs_{};
    std::string callParameterId_;
    std::wstring identifier_ = L"Kestrel";
    ParameterStore parameters_;
    int refuseAt_ = 0;
    int declarations_ = 0;
    int hostCalls_ = 0;
    int callsAtRefusal_ = 0;
    int ownErrors_ = 0;
};

}  // namespace kestrel
