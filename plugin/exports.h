// Marks the module's two entry points; everything else is hidden at compile and link time.
#pragma once

#define RUVOVAV_EXPORT __attribute__((visibility("default")))

extern "C" {
struct HostApi;
struct PluginDescriptor;
}
