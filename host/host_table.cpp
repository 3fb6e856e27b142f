// The C operations behind the host's table. Each one finds its Host from the handle the
// module passes back, counts the call, and forwards to the parameter store. An exception
// inside an operation is caught there and answered with its error result.
#include <cstring>

#include "host/callback_guard.h"
#include "host/host.h"
#include "host/wide_text.h"

namespace kestrel {

struct HostTable {
    static Host& host(HostHandle handle) { return Host::calledThrough(handle); }

    // A refused declaration stores nothing and answers non-zero, as an editor out of room
    // for more controls would. The throwing seam stores nothing either: it stands for a
    // failing editor, so its exception is left to unwind through the module, before the
    // store is touched. Our own failures are caught and refuse the declaration.
    template <typename Make>
    static int32_t declare(Host& h, Make make) {
        ++h.declarations_;
        if (h.throwAt_ > 0 && h.declarations_ == h.throwAt_ && h.thrower_) h.thrower_();
        return CallbackGuard::run(h, int32_t(1), [&]() -> int32_t {
            if (h.refuseAt_ > 0 && h.declarations_ >= h.refuseAt_) {
                if (h.callsAtRefusal_ == 0) h.callsAtRefusal_ = h.hostCalls_;
                return 1;
            }
            if (!h.parameters_.declare(make())) {
                ++h.ownErrors_;
                return 1;
            }
            return 0;
        });
    }

    static const wchar_t* getHostIdentifier(HostHandle handle) {
        return host(handle).identifier_.c_str();
    }
    static int32_t beginParameterGroup(HostHandle handle, const wchar_t* label) {
        Host& h = host(handle);
        return CallbackGuard::run(h, int32_t(1), [&] {
            h.parameters_.beginGroup(label);
            return int32_t(0);
        });
    }
    static int32_t endParameterGroup(HostHandle handle) {
        Host& h = host(handle);
        // An unbalanced end is counted by the store as the module's mistake.
        return CallbackGuard::run(h, int32_t(1),
                                  [&] { return h.parameters_.endGroup() ? int32_t(0) : 1; });
    }
    static int32_t declareFloat(HostHandle handle, const wchar_t* label, const wchar_t* unit,
                                const char* id, int32_t flags, float min, float max, float def,
                                int32_t precision) {
        return declare(host(handle), [&] {
            return ParameterDeclaration{.id = id,
                                        .kind = ParameterKind::Float,
                                        .label = label,
                                        .unit = unit,
                                        .flags = flags,
                                        .min = min,
                                        .max = max,
                                        .defaultValue = {def},
                                        .precision = precision};
        });
    }
    static int32_t declareInt(HostHandle handle, const wchar_t* label, const wchar_t* unit,
                              const char* id, int32_t flags, int32_t min, int32_t max,
                              int32_t def) {
        return declare(host(handle), [&] {
            return ParameterDeclaration{.id = id,
                                        .kind = ParameterKind::Int,
                                        .label = label,
                                        .unit = unit,
                                        .flags = flags,
                                        .min = double(min),
                                        .max = double(max),
                                        .defaultValue = {double(def)}};
        });
    }
    static int32_t declareBool(HostHandle handle, const wchar_t* label, const char* id,
                               int32_t flags, bool def) {
        return declare(host(handle), [&] {
            return ParameterDeclaration{.id = id,
                                        .kind = ParameterKind::Bool,
                                        .label = label,
                                        .flags = flags,
                                        .defaultValue = {def ? 1.0 : 0.0}};
        });
    }
    static int32_t declareChoice(HostHandle handle, const wchar_t* label, const char* id,
                                 int32_t flags, const wchar_t* entries, const int32_t* values,
                                 int32_t defaultIndex) {
        return declare(host(handle), [&] {
            ParameterDeclaration d{.id = id,
                                   .kind = ParameterKind::Choice,
                                   .label = label,
                                   .flags = flags,
                                   .defaultValue = {double(defaultIndex)}};
            d.entries = splitWide(entries, L'|');
            // One value per entry: the module may pass a longer array, never a shorter one.
            d.entryValues.assign(values, values + d.entries.size());
            return d;
        });
    }
    static int32_t declarePoint(HostHandle handle, const wchar_t* label, const char* id,
                                int32_t flags, double x, double y) {
        return declare(host(handle), [&] {
            return ParameterDeclaration{.id = id,
                                        .kind = ParameterKind::Point,
                                        .label = label,
                                        .flags = flags,
                                        .defaultValue = {x, y}};
        });
    }
    static int32_t declareButton(HostHandle handle, const wchar_t* label, const char* id,
                                 int32_t flags) {
        return declare(host(handle), [&] {
            return ParameterDeclaration{
                .id = id, .kind = ParameterKind::Button, .label = label, .flags = flags};
        });
    }
    static int32_t declareLabel(HostHandle handle, const wchar_t* label, const char* id,
                                int32_t flags, const wchar_t* text) {
        return declare(host(handle), [&] {
            ParameterDeclaration d{
                .id = id, .kind = ParameterKind::Label, .label = label, .flags = flags};
            d.text = text;
            return d;
        });
    }

    static void setParameterEnabled(HostHandle handle, const char* id, const bool* enabled) {
        Host& h = host(handle);
        CallbackGuard::run(h, [&] { h.parameters_.setEnabled(id, *enabled); });
    }
    // Reads answer 0 when the store fails, as for an unknown parameter.
    static int32_t getInt(HostHandle handle, const char* id, int32_t time) {
        Host& h = host(handle);
        return CallbackGuard::run(h, int32_t(0),
                                  [&] { return int32_t(h.parameters_.value(id, time).x); });
    }
    static float getFloat(HostHandle handle, const char* id, int32_t time) {
        Host& h = host(handle);
        return CallbackGuard::run(h, 0.0f, [&] { return float(h.parameters_.value(id, time).x); });
    }
    static bool getBool(HostHandle handle, const char* id, int32_t time) {
        Host& h = host(handle);
        return CallbackGuard::run(h, false, [&] { return h.parameters_.value(id, time).x != 0.0; });
    }
    static int32_t getChoice(HostHandle handle, const char* id, int32_t time) {
        Host& h = host(handle);
        return CallbackGuard::run(h, int32_t(0),
                                  [&] { return h.parameters_.choiceValue(id, time); });
    }
    static void getPoint(HostHandle handle, const char* id, int32_t time, double* x, double* y) {
        Host& h = host(handle);
        *x = *y = 0.0;
        CallbackGuard::run(h, [&] {
            const ParameterValue v = h.parameters_.value(id, time);
            *x = v.x;
            *y = v.y;
        });
    }
    static void setFloat(HostHandle handle, const char* id, int32_t time, float value,
                         int32_t mode) {
        Host& h = host(handle);
        CallbackGuard::run(h, [&] { h.parameters_.set(id, time, {value}, mode); });
    }
    static void setBool(HostHandle handle, const char* id, int32_t time, bool value, int32_t mode) {
        Host& h = host(handle);
        CallbackGuard::run(h, [&] { h.parameters_.set(id, time, {value ? 1.0 : 0.0}, mode); });
    }
    static void setChoice(HostHandle handle, const char* id, int32_t time, int32_t value,
                          int32_t mode) {
        Host& h = host(handle);
        CallbackGuard::run(h, [&] { h.parameters_.setChoiceByValue(id, time, value, mode); });
    }
    static void beginUndoGroup(HostHandle handle, const char* name) {
        Host& h = host(handle);
        CallbackGuard::run(h, [&] { h.parameters_.beginUndoGroup(name); });
    }
    static void endUndoGroup(HostHandle handle) {
        Host& h = host(handle);
        CallbackGuard::run(h, [&] { h.parameters_.endUndoGroup(); });
    }
    static void setLabelText(HostHandle handle, const char* id, int32_t, const wchar_t* text,
                             int32_t) {
        Host& h = host(handle);
        CallbackGuard::run(h, [&] { h.parameters_.setLabelText(id, text); });
    }
};

void Host::fillTable() {
    api_.GetHostIdentifier = &HostTable::getHostIdentifier;
    api_.BeginParameterGroup = &HostTable::beginParameterGroup;
    api_.EndParameterGroup = &HostTable::endParameterGroup;
    api_.DeclareFloatParameter = &HostTable::declareFloat;
    api_.DeclareIntParameter = &HostTable::declareInt;
    api_.DeclareBoolParameter = &HostTable::declareBool;
    api_.DeclareChoiceParameter = &HostTable::declareChoice;
    api_.DeclarePointParameter = &HostTable::declarePoint;
    api_.SetParameterEnabled = &HostTable::setParameterEnabled;
    api_.GetIntParameter = &HostTable::getInt;
    api_.GetFloatParameter = &HostTable::getFloat;
    api_.GetBoolParameter = &HostTable::getBool;
    api_.GetChoiceParameter = &HostTable::getChoice;
    api_.GetPointParameter = &HostTable::getPoint;
    api_.SetFloatParameter = &HostTable::setFloat;
    api_.SetBoolParameter = &HostTable::setBool;
    api_.SetChoiceParameter = &HostTable::setChoice;
    api_.BeginUndoGroup = &HostTable::beginUndoGroup;
    api_.EndUndoGroup = &HostTable::endUndoGroup;
    api_.DeclareButtonParameter = &HostTable::declareButton;
    api_.DeclareLabelParameter = &HostTable::declareLabel;
    api_.SetLabelText = &HostTable::setLabelText;
}

}  // namespace kestrel
