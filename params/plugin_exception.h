// The plug-in's own failure: a host refused something the plug-in cannot work without.
#pragma once

#include <exception>

namespace Plugin {

// Holds the message pointer only; callers pass string literals, so nothing is copied and
// throwing cannot itself fail for lack of memory.
class PluginException : public std::exception {
public:
    explicit PluginException(const char* message) noexcept : message_(message) {}
    const char* what() const noexcept override { return message_; }

private:
    const char* message_;
};

// The one message the plug-in throws with when a declaration is refused.
inline constexpr const char* kPluginError = "Plugin Error";

}  // namespace Plugin
