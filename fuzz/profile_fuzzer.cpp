// Arbitrary text as an analysis profile, checked against a store that declares one parameter
// of every kind the effect declares (with the effect's own ids and ranges). A profile must be
// refused with UsageError, or give settings that the store takes without complaint and that
// survive a save and a reload unchanged.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/profile.h"
#include "cli/value_parsers.h"
#include "host/parameter_store.h"

namespace {

using kestrel::ParameterDeclaration;
using kestrel::ParameterKind;
using kestrel::ParameterStore;
using ruvovav::cli::ParameterSetting;
using ruvovav::cli::UsageError;

void require(bool condition) {
    if (!condition) __builtin_trap();
}

ParameterDeclaration number(const char* id, ParameterKind kind, double min, double max,
                            double def) {
    return {.id = id, .kind = kind, .min = min, .max = max, .defaultValue = {def, 0}};
}

ParameterDeclaration choice(const char* id, int entries, int def) {
    ParameterDeclaration d{.id = id, .kind = ParameterKind::Choice, .defaultValue = {double(def)}};
    for (int i = 0; i < entries; ++i) {
        d.entries.push_back(std::to_wstring(i));
        d.entryValues.push_back(i);
    }
    return d;
}

// Kinds and ranges as the effect declares them; the last two ranges are not the effect's,
// so that the checks cannot lean on every range starting at zero.
const ParameterStore& declaredStore() {
    static const ParameterStore store = [] {
        ParameterStore s;
        s.declare(choice("numberOfFrames", 4, 0));
        s.declare(number("useOpticalFlowTracking", ParameterKind::Bool, 0, 1, 1));
        s.declare({.id = "frequencyLabel", .kind = ParameterKind::Label});
        s.declare(number("mipmapLevel", ParameterKind::Int, 0, 10, 0));
        s.declare(number("frequencyContrast", ParameterKind::Float, 1, 100, 1));
        s.declare({.id = "analyzeButton", .kind = ParameterKind::Button});
        s.declare({.id = "analyzePoint1", .kind = ParameterKind::Point, .defaultValue = {-64, 64}});
        s.declare(number("yL0_ThresholdHH1", ParameterKind::Float, 0, 100, 0));
        s.declare(number("Brightness:0:ThreasholdMult", ParameterKind::Float, 0, 500, 100));
        s.declare(choice("method", 5, 1));
        s.declare(number("offset", ParameterKind::Float, -50, -10, -20));
        s.declare(number("fixed", ParameterKind::Int, 7, 7, 7));
        return s;
    }();
    return store;
}

// What the store may hold for a declaration: what a host would let its user set.
void requireValid(const ParameterDeclaration& d, const kestrel::ParameterValue& v) {
    require(std::isfinite(v.x) && std::isfinite(v.y));
    switch (d.kind) {
        case ParameterKind::Bool:
            require(v.x == 0 || v.x == 1);
            break;
        case ParameterKind::Choice:
            require(v.x >= 0 && v.x < double(d.entries.size()) && v.x == std::floor(v.x));
            break;
        case ParameterKind::Int:
            require(v.x == std::floor(v.x));
            [[fallthrough]];
        case ParameterKind::Float:
            require(v.x >= d.min && v.x <= d.max);
            break;
        case ParameterKind::Point:
            break;
        default:
            require(false);  // buttons and labels hold no value
    }
}

void applyAll(ParameterStore& store, const std::vector<ParameterSetting>& settings) {
    for (const ParameterSetting& s : settings) store.set(s.id, 0, s.value, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<ParameterSetting> settings;
    try {
        settings = ruvovav::cli::parseProfile(text, "fuzz.json", declaredStore());
    } catch (const UsageError&) {
        return 0;  // the one way a profile may be refused
    }
    ParameterStore store = declaredStore();
    for (const ParameterSetting& s : settings) {
        const ParameterDeclaration* d = store.find(s.id);
        require(d != nullptr);
        requireValid(*d, s.value);
    }
    applyAll(store, settings);
    require(store.hostErrors() == 0);

    // What the tool saves from these values it must load again, value for value.
    const std::string saved = ruvovav::cli::makeProfile(store, {{"tool", "fuzz"}}).dump();
    ParameterStore reloaded = declaredStore();
    try {
        applyAll(reloaded, ruvovav::cli::parseProfile(saved, "saved.json", declaredStore()));
    } catch (const UsageError&) {
        require(false);
    }
    for (const ParameterDeclaration& d : store.declarations())
        require(store.value(d.id, 0) == reloaded.value(d.id, 0));
    return 0;
}
