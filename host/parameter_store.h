// The host's parameter store: what an effect declared, and the values the user animates.
//
// One store per effect instance. Declarations keep their group path and every detail the
// module passed; values are either a static value or a list of keyframes. Writes marked as
// undoable (mode 2) are grouped into undo steps by the undo groups the module opens.
//
// Thread-safety: none; the host calls it on the thread that calls the module.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrel {

enum class ParameterKind { Float, Int, Bool, Choice, Point, Button, Label };

const char* parameterKindName(ParameterKind kind);

// A value of any kind. Float, Int and Bool use `x` (Bool: 0 or 1); Choice holds the
// chosen entry's index in `x`; Point uses `x` and `y`. Button and Label carry no value.
struct ParameterValue {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const ParameterValue&) const = default;
};

struct ParameterDeclaration {
    std::string id;
    ParameterKind kind = ParameterKind::Float;
    std::vector<std::wstring> groupPath;  // labels of the enclosing groups, outermost first
    std::wstring label;
    std::wstring unit;
    int32_t flags = 0;
    double min = 0.0;  // Float and Int only
    double max = 0.0;
    ParameterValue defaultValue;
    int32_t precision = 0;              // Float only
    std::vector<std::wstring> entries;  // Choice only, split at '|'
    std::vector<int32_t> entryValues;   // Choice only, one per entry
    std::wstring text;                  // Label only: the text shown, replaced by setLabelText
    bool enabled = true;
};

// One recorded undo group, for tests: its name and how deep it was opened (0 = outermost).
struct UndoGroupRecord {
    std::string name;
    int depth = 0;
};

// A write to an identifier the module never declared. A host that ignored it would let a
// misspelt key or a stale profile entry pass as if it had taken effect.
class UnknownParameter : public std::invalid_argument {
public:
    explicit UnknownParameter(const std::string& id)
        : std::invalid_argument("no parameter is declared as '" + id + "'") {}
};

class ParameterStore {
public:
    // --- declarations, in the order the module makes them ---
    void beginGroup(const std::wstring& label);
    // Returns false when no group is open (the end is ignored).
    bool endGroup();
    // Returns false (and declares nothing) when the id is already declared.
    bool declare(ParameterDeclaration declaration);
    // Joins the group path the next declaration would get; for listing the panel.
    const std::vector<std::wstring>& openGroups() const { return openGroups_; }

    const std::vector<ParameterDeclaration>& declarations() const { return declarations_; }
    const ParameterDeclaration* find(const std::string& id) const;
    size_t size() const { return declarations_.size(); }

    // --- values ---
    // The value at `time`: the static value without keyframes; with keyframes, Float values
    // interpolate linearly between neighbouring keys and every other kind holds the last key
    // at or before `time`; before the first key the first key's value holds.
    // Unknown ids count a host error and give the zero value, as a host answers a read.
    ParameterValue value(const std::string& id, int32_t time) const;
    // Choice: the declared value of the chosen entry (0 for unknown ids).
    int32_t choiceValue(const std::string& id, int32_t time) const;

    // Writes made by the module. Without keyframes the static value changes; with keyframes
    // the key at `time` is set (added when missing). Mode 2 records the write for undo:
    // inside an open undo group into that group's step, outside any group as a step of its
    // own. Other modes are not undoable. Every write refuses an unknown id: it counts a host
    // error and throws UnknownParameter, changing nothing.
    void set(const std::string& id, int32_t time, ParameterValue value, int32_t mode);
    // Choice writes carry an entry's declared value; an unknown value counts a host error.
    void setChoiceByValue(const std::string& id, int32_t time, int32_t entryValue, int32_t mode);
    void setEnabled(const std::string& id, bool enabled);
    void setLabelText(const std::string& id, const std::wstring& text);

    // Keyframes, as a user would set them in the editor (not undoable).
    void setKeyframe(const std::string& id, int32_t time, ParameterValue value);
    void clearKeyframes(const std::string& id);
    std::map<int32_t, ParameterValue> keyframes(const std::string& id) const;

    // --- undo ---
    void beginUndoGroup(const std::string& name);
    // Returns false when no group is open.
    bool endUndoGroup();
    bool undo();  // false when there is nothing to undo
    bool redo();  // false when there is nothing to redo
    size_t undoDepth() const { return undoSteps_.size(); }
    size_t redoDepth() const { return redoSteps_.size(); }
    int openUndoGroups() const { return undoNesting_; }
    const std::vector<UndoGroupRecord>& undoGroupLog() const { return undoGroupLog_; }

    // --- errors made by the module (unknown ids, unbalanced groups, bad choice values) ---
    int hostErrors() const { return hostErrors_; }
    void countHostError() const { ++hostErrors_; }

private:
    struct Stored {
        ParameterValue value;
        std::map<int32_t, ParameterValue> keys;
    };
    struct Change {
        std::string id;
        Stored before;
        Stored after;
    };
    struct UndoStep {
        std::string name;
        std::vector<Change> changes;
    };

    // Both count a host error when the id is unknown; find() does not, so callers may probe.
    ParameterDeclaration* declarationOrError(const std::string& id);
    Stored* stored(const std::string& id);
    const Stored* stored(const std::string& id) const;
    // As above, but refusing an unknown id with UnknownParameter.
    ParameterDeclaration& declarationToWrite(const std::string& id);
    Stored& storedToWrite(const std::string& id);
    void record(Change change);
    static void apply(Stored& target, int32_t time, ParameterValue value);

    std::vector<ParameterDeclaration> declarations_;
    std::map<std::string, size_t> indexById_;
    std::map<std::string, Stored> values_;
    std::vector<std::wstring> openGroups_;

    std::vector<UndoStep> undoSteps_;
    std::vector<UndoStep> redoSteps_;
    std::optional<UndoStep> openStep_;
    int undoNesting_ = 0;
    std::vector<UndoGroupRecord> undoGroupLog_;

    mutable int hostErrors_ = 0;
};

}  // namespace kestrel
