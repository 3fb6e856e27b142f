#include "host/parameter_store.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace kestrel {

namespace {

ParameterValue interpolate(const ParameterValue& from, const ParameterValue& to, double fraction) {
    return {from.x + (to.x - from.x) * fraction, from.y + (to.y - from.y) * fraction};
}

// Keys are sorted by time, so the neighbours of `time` are found by one upper_bound.
ParameterValue keyedValue(const std::map<int32_t, ParameterValue>& keys, ParameterKind kind,
                          int32_t time) {
    auto next = keys.upper_bound(time);
    if (next == keys.begin()) return next->second;
    auto previous = std::prev(next);
    if (next == keys.end() || previous->first == time || kind != ParameterKind::Float) {
        return previous->second;
    }
    // Widen before subtracting: key times may span the whole int32 range.
    const double span = static_cast<double>(next->first) - previous->first;
    const double offset = static_cast<double>(time) - previous->first;
    return interpolate(previous->second, next->second, offset / span);
}

}  // namespace

const char* parameterKindName(ParameterKind kind) {
    switch (kind) {
        case ParameterKind::Float:
            return "Float";
        case ParameterKind::Int:
            return "Int";
        case ParameterKind::Bool:
            return "Bool";
        case ParameterKind::Choice:
            return "Choice";
        case ParameterKind::Point:
            return "Point";
        case ParameterKind::Button:
            return "Button";
        case ParameterKind::Label:
            return "Label";
    }
    return "Unknown";
}

// --- declarations ---

void ParameterStore::beginGroup(const std::wstring& label) {
    openGroups_.push_back(label);
}

bool ParameterStore::endGroup() {
    if (openGroups_.empty()) {
        countHostError();
        return false;
    }
    openGroups_.pop_back();
    return true;
}

bool ParameterStore::declare(ParameterDeclaration declaration) {
    if (indexById_.contains(declaration.id)) return false;
    // The open groups are the truth about nesting; whatever the caller filled in is stale.
    declaration.groupPath = openGroups_;
    indexById_[declaration.id] = declarations_.size();
    values_[declaration.id] = Stored{declaration.defaultValue, {}};
    declarations_.push_back(std::move(declaration));
    return true;
}

const ParameterDeclaration* ParameterStore::find(const std::string& id) const {
    auto it = indexById_.find(id);
    return it == indexById_.end() ? nullptr : &declarations_[it->second];
}

ParameterDeclaration* ParameterStore::declarationOrError(const std::string& id) {
    auto it = indexById_.find(id);
    if (it == indexById_.end()) {
        countHostError();
        return nullptr;
    }
    return &declarations_[it->second];
}

ParameterStore::Stored* ParameterStore::stored(const std::string& id) {
    auto it = values_.find(id);
    if (it == values_.end()) {
        countHostError();
        return nullptr;
    }
    return &it->second;
}

const ParameterStore::Stored* ParameterStore::stored(const std::string& id) const {
    auto it = values_.find(id);
    if (it == values_.end()) {
        countHostError();
        return nullptr;
    }
    return &it->second;
}

ParameterDeclaration& ParameterStore::declarationToWrite(const std::string& id) {
    ParameterDeclaration* declaration = declarationOrError(id);
    if (declaration == nullptr) throw UnknownParameter(id);
    return *declaration;
}

ParameterStore::Stored& ParameterStore::storedToWrite(const std::string& id) {
    Stored* target = stored(id);
    if (target == nullptr) throw UnknownParameter(id);
    return *target;
}

// --- values ---

ParameterValue ParameterStore::value(const std::string& id, int32_t time) const {
    const Stored* source = stored(id);
    if (source == nullptr) return {};
    if (source->keys.empty()) return source->value;
    return keyedValue(source->keys, find(id)->kind, time);
}

int32_t ParameterStore::choiceValue(const std::string& id, int32_t time) const {
    const ParameterDeclaration* declaration = find(id);
    if (declaration == nullptr) {
        countHostError();
        return 0;
    }
    const double index = value(id, time).x;
    if (index < 0.0 || index >= static_cast<double>(declaration->entryValues.size())) return 0;
    return declaration->entryValues[static_cast<size_t>(index)];
}

void ParameterStore::set(const std::string& id, int32_t time, ParameterValue value, int32_t mode) {
    Stored& target = storedToWrite(id);
    constexpr int32_t kUndoableMode = 2;
    if (mode != kUndoableMode) {
        apply(target, time, value);
        return;
    }
    Stored before = target;
    apply(target, time, value);
    record(Change{id, std::move(before), target});
}

void ParameterStore::setChoiceByValue(const std::string& id, int32_t time, int32_t entryValue,
                                      int32_t mode) {
    const auto& values = declarationToWrite(id).entryValues;
    auto it = std::find(values.begin(), values.end(), entryValue);
    if (it == values.end()) {
        countHostError();
        return;
    }
    const auto index = static_cast<double>(std::distance(values.begin(), it));
    set(id, time, ParameterValue{index, 0.0}, mode);
}

void ParameterStore::setEnabled(const std::string& id, bool enabled) {
    declarationToWrite(id).enabled = enabled;
}

void ParameterStore::setLabelText(const std::string& id, const std::wstring& text) {
    declarationToWrite(id).text = text;
}

void ParameterStore::apply(Stored& target, int32_t time, ParameterValue value) {
    // An animated parameter has no single static value; the write lands on the key at `time`.
    if (target.keys.empty()) {
        target.value = value;
    } else {
        target.keys[time] = value;
    }
}

// --- keyframes ---

void ParameterStore::setKeyframe(const std::string& id, int32_t time, ParameterValue value) {
    storedToWrite(id).keys[time] = value;
}

void ParameterStore::clearKeyframes(const std::string& id) {
    storedToWrite(id).keys.clear();
}

std::map<int32_t, ParameterValue> ParameterStore::keyframes(const std::string& id) const {
    const Stored* source = stored(id);
    return source == nullptr ? std::map<int32_t, ParameterValue>{} : source->keys;
}

// --- undo ---

void ParameterStore::record(Change change) {
    if (undoNesting_ > 0) {
        openStep_->changes.push_back(std::move(change));
    } else {
        undoSteps_.push_back(UndoStep{"", {std::move(change)}});
    }
    // A new edit forks history; the undone future no longer follows from the present.
    redoSteps_.clear();
}

void ParameterStore::beginUndoGroup(const std::string& name) {
    // Only the outermost group makes a step; inner groups merge into it.
    if (undoNesting_ == 0) openStep_ = UndoStep{name, {}};
    undoGroupLog_.push_back(UndoGroupRecord{name, undoNesting_});
    ++undoNesting_;
}

bool ParameterStore::endUndoGroup() {
    if (undoNesting_ == 0) {
        countHostError();
        return false;
    }
    --undoNesting_;
    if (undoNesting_ > 0) return true;
    // A group that wrote nothing would be an undo step that does nothing; drop it.
    if (!openStep_->changes.empty()) undoSteps_.push_back(std::move(*openStep_));
    openStep_.reset();
    return true;
}

bool ParameterStore::undo() {
    if (undoSteps_.empty()) return false;
    UndoStep step = std::move(undoSteps_.back());
    undoSteps_.pop_back();
    // Reverse order so a parameter written twice ends at its state before the first write.
    for (auto change = step.changes.rbegin(); change != step.changes.rend(); ++change) {
        values_[change->id] = change->before;
    }
    redoSteps_.push_back(std::move(step));
    return true;
}

bool ParameterStore::redo() {
    if (redoSteps_.empty()) return false;
    UndoStep step = std::move(redoSteps_.back());
    redoSteps_.pop_back();
    for (const Change& change : step.changes) values_[change.id] = change.after;
    undoSteps_.push_back(std::move(step));
    return true;
}

}  // namespace kestrel
