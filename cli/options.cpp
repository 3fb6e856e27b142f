#include "cli/options.h"

#include <cstring>
#include <functional>

namespace ruvovav::cli {
namespace {

struct Binding {
    OptionDef def;
    std::function<void(Options&, const char*)> apply;
};

const std::vector<Binding>& bindings() {
    static const std::vector<Binding> table = {
        {{"-module", "PATH", "effect module to load (default: Ruvovav.kspl beside ruvovav)"},
         [](Options& o, const char* a) { o.modulePath = a; }},
        {{"-gl", "auto|software|hardware",
          "OpenGL device: a GPU when present (auto), llvmpipe, or a GPU only"},
         [](Options& o, const char* a) { o.gl = a; }},
        {{"-info", nullptr, "print the effect's descriptor and parameter panel"},
         [](Options& o, const char*) { o.showInfo = true; }},
        {{"-version", nullptr, "print the tool's version"},
         [](Options& o, const char*) { o.showVersion = true; }},
        {{"-help", nullptr, "print this help"}, [](Options& o, const char*) { o.showHelp = true; }},
    };
    return table;
}

// FFmpeg spells options with one dash; people type two as well.
const char* normalise(const char* arg) {
    return (arg[0] == '-' && arg[1] == '-') ? arg + 1 : arg;
}

}  // namespace

const std::vector<OptionDef>& optionTable() {
    static const std::vector<OptionDef> defs = [] {
        std::vector<OptionDef> out;
        for (const Binding& b : bindings()) out.push_back(b.def);
        return out;
    }();
    return defs;
}

std::optional<std::string> parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        // "--gl=software" and "-gl software" mean the same.
        std::string name = normalise(argv[i]);
        std::optional<std::string> inlineArgument;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            inlineArgument = name.substr(eq + 1);
            name.resize(eq);
        }
        const Binding* match = nullptr;
        for (const Binding& b : bindings()) {
            if (name == b.def.name) match = &b;
        }
        if (match == nullptr) return std::string("unknown option '") + argv[i] + "'";
        if (match->def.argument == nullptr) {
            if (inlineArgument) return std::string("option '") + name + "' takes no argument";
            match->apply(options, nullptr);
            continue;
        }
        if (!inlineArgument) {
            if (i + 1 >= argc) return std::string("option '") + argv[i] + "' needs an argument";
            inlineArgument = argv[++i];
        }
        match->apply(options, inlineArgument->c_str());
    }
    return std::nullopt;
}

std::string usageText() {
    std::string text = "usage: ruvovav [options]\n\noptions:\n";
    for (const OptionDef& d : optionTable()) {
        std::string left =
            std::string("  ") + d.name + (d.argument ? std::string(" ") + d.argument : "");
        left.resize(std::max<size_t>(left.size() + 2, 30), ' ');
        text += left + d.help + "\n";
    }
    return text;
}

}  // namespace ruvovav::cli
