#include "params/brightness_edit.h"

#include <regex>
#include <string>

#include "params/threshold_settings.h"

namespace Plugin {

int32_t brightnessEdited(const HostCall& call, bool noUndo) {
    const CallArgs* args = call.api->callArgs;
    const std::string id = args != nullptr && args->parameterId != nullptr ? args->parameterId : "";
    // A full match: a search would also accept ids that merely contain a multiplier's key.
    if (!std::regex_match(id, std::regex("Brightness:[0-9]+:ThreasholdMult"))) return 1;
    const std::string digits = std::regex_replace(id, std::regex("[a-zA-Z:]+"), "");
    interpolateBrightness(call, std::stoi(digits), noUndo);
    return 1;
}

}  // namespace Plugin
