// Uniform names of the generated wavelet programs, shared by the generators and the passes
// that draw with them.
#pragma once

namespace Plugin::shaders {

inline constexpr const char* kDirectionUniform = "direction";  // int: 0 horizontal, else vertical
inline constexpr const char* kBoundUniform = "bound";          // vec2: extent of the active region
inline constexpr const char* kSizeUniform = "size";  // vec2: allocated texture size in texels

}  // namespace Plugin::shaders
