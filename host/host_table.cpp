// The C operations behind the host's table. Each one finds its Host from the handle the
// module passes back, counts the call, and forwards to the parameter store.
#include <cstring>

#include "host/host.h"
#include "host/wide_text.h"

namespace kestrel {

struct HostTable {
    static Host& host(HostHandle handle) { return Host::calledThrough(handle); }

    // A refused declaration stores nothing and answers non-zero, as an editor out of room
    // for more controls would. The throwing one stores nothing either: the exception leaves
    // before the store is touched.
    static int32_t declare(Host& h, ParameterDeclaration declaration) {
        ++h.declarations_;
        if (h.throwAt_ > 0 && h.declarations_ == h.throwAt_ && h.thrower_) h.thrower_();
        if (h.refuseAt_ > 0 && h.declarations_ >= h.refuseAt_) {
            if (h.callsAtRefusal_ == 0) h.callsAtRefusal_ = h.hostCalls_;
            return 1;
        }
        if (!h.parameters_.declare(std::move(declaration))) {
            ++h.ownErrors_;
            return 1;
        }
        return 0;
    }

    static const wchar_t* getHostIdentifier(HostHandle handle) {
        return host(handle).identifier_.c_str();
    }
    static int32_t beginParameterGroup(HostHandle handle, const wchar_t* label) {
        host(handle).parameters_.beginGroup(label);
        return 0;
    }
    static int32_t endParameterGroup(HostHandle handle) {
        // An unbalanced end is counted by the store as the module's mistake.
        return host(handle).parameters_.endGroup() ? 0 : 1;
    }
    static int32_t declareFloat(HostHandle handle, const wchar_t* label, const wchar_t* unit,
                                const char* id, int32_t flags, float min, float max, float def,
                                int32_t precision) {
        return declare(host(handle), {.id = id,
                                      .kind = ParameterKind::Float,
                                      .label = label,
                                      .unit = unit,
                                      .flags = flags,
                                      .min = min,
                                      .max = max,
                                      .defaultValue = {def},
                                      .precision = precision});
    }
    static int32_t declareInt(HostHandle handle, const wchar_t* label, const wchar_t* unit,
                              const char* id, int32_t flags, int32_t min, int32_t max,
                              int32_t def) {
        return declare(host(handle), {.id = id,
                                      .kind = ParameterKind::Int,
                                      .label = label,
                                      .unit = unit,
                                      .flags = flags,
                                      .min = double(min),
                                      .max = double(max),
                                      .defaultValue = {double(def)}});
    }
    static int32_t declareBool(HostHandle handle, const wchar_t* label, const char* id,
                               int32_t flags, bool def) {
        return declare(host(handle), {.id = id,
                                      .kind = ParameterKind::Bool,
                                      .label = label,
                                      .flags = flags,
                                      .defaultValue = {def ? 1.0 : 0.0}});
    }
    static int32_t declareChoice(HostHandle handle, const wchar_t* label, const char* id,
                                 int32_t flags, const wchar_t* entries, const int32_t* values,
                                 int32_t defaultIndex) {
        ParameterDeclaration d{.id = id,
                               .kind = ParameterKind::Choice,
                               .label = label,
                               .flags = flags,
                               .defaultValue = {double(defaultIndex)}};
        d.entries = splitWide(entries, L'|');
        // One value per entry: the module may pass a longer array, never a shorter one.
        d.entryValues.assign(values, values + d.entries.size());
        return declare(host(handle), std::move(d));
    }
    static int32_t declarePoint(HostHandle handle, const wchar_t* label, const char* id,
                                int32_t flags, double x, double y) {
        return declare(host(handle), {.id = id,
                                      .kind = ParameterKind::Point,
                                      .label = label,
                                      .flags = flags,
                                      .defaultValue = {x, y}});
    }
    static int32_t declareButton(HostHandle handle, const wchar_t* label, const char* id,
                                 int32_t flags) {
        return declare(host(handle),
                       {.id = id, .kind = ParameterKind::Button, .label = label, .flags = flags});
    }
    static int32_t declareLabel(HostHandle handle, const wchar_t* label, const char* id,
                                int32_t flags, const wchar_t* text) {
        ParameterDeclaration d{
            .id = id, .kind = ParameterKind::Label, .label = label, .flags = flags};
        d.text = text;
        return declare(host(handle), std::move(d));
    }

    static void setParameterEnabled(HostHandle handle, const char* id, const bool* enabled) {
        host(handle).parameters_.setEnabled(id, *enabled);
    }
    static int32_t getInt(HostHandle handle, const char* id, int32_t time) {
        return int32_t(host(handle).parameters_.value(id, time).x);
    }
    static float getFloat(HostHandle handle, const char* id, int32_t time) {
        return float(host(handle).parameters_.value(id, time).x);
    }
    static bool getBool(HostHandle handle, const char* id, int32_t time) {
        return host(handle).parameters_.value(id, time).x != 0.0;
    }
    static int32_t getChoice(HostHandle handle, const char* id, int32_t time) {
        return host(handle).parameters_.choiceValue(id, time);
    }
    static void getPoint(HostHandle handle, const char* id, int32_t time, double* x, double* y) {
        const ParameterValue v = host(handle).parameters_.value(id, time);
        *x = v.x;
        *y = v.y;
    }
    static void setFloat(HostHandle handle, const char* id, int32_t time, float value,
                         int32_t mode) {
        host(handle).parameters_.set(id, time, {value}, mode);
    }
    static void setBool(HostHandle handle, const char* id, int32_t time, bool value, int32_t mode) {
        host(handle).parameters_.set(id, time, {value ? 1.0 : 0.0}, mode);
    }
    static void setChoice(HostHandle handle, const char* id, int32_t time, int32_t value,
                          int32_t mode) {
        host(handle).parameters_.setChoiceByValue(id, time, value, mode);
    }
    static void beginUndoGroup(HostHandle handle, const char* name) {
        host(handle).parameters_.beginUndoGroup(name);
    }
    static void endUndoGroup(HostHandle handle) { host(handle).parameters_.endUndoGroup(); }
    static void setLabelText(HostHandle handle, const char* id, int32_t, const wchar_t* text,
                             int32_t) {
        host(handle).parameters_.setLabelText(id, text);
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
