// CPU images read back from textures: width x height elements in rows of `stride`, bottom
// row first as GL returns them.
//
// The element array is shared, so a holder can be handed around without copying pixels;
// resize() keeps the array when the new size fits the capacity.
#pragma once

#include <cstdint>
#include <memory>

namespace Plugin {

namespace plugin_glsl_types {

template <typename T>
struct genVec3 {
    T x{}, y{}, z{};
};

template <typename T>
struct genVec4 {
    T x{}, y{}, z{}, w{};
};

}  // namespace plugin_glsl_types

// Read-back writes packed RGB and RGBA floats straight into these elements.
static_assert(sizeof(plugin_glsl_types::genVec3<float>) == 3 * sizeof(float));
static_assert(sizeof(plugin_glsl_types::genVec4<float>) == 4 * sizeof(float));

struct vec5 {
    float v[5]{};
};

template <typename Element>
struct TextureData_base {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    std::shared_ptr<Element[]> data;
    int32_t capacity = 0;

    TextureData_base() = default;
    TextureData_base(int w, int h) { allocate(w, h); }

    // A fresh zeroed array of w x h elements.
    void allocate(int w, int h) {
        if (int64_t(w) * h > 0) {
            data = std::shared_ptr<Element[]>(new Element[size_t(w) * size_t(h)]());
            capacity = w * h;
        }
        width = stride = w;
        height = h;
    }
    // Reallocates only when w x h exceeds the capacity.
    void resize(int w, int h) {
        if (int64_t(w) * h > capacity) {
            data = std::shared_ptr<Element[]>(new Element[size_t(w) * size_t(h)]());
            capacity = w * h;
        }
        width = stride = w;
        height = h;
    }
    Element& at(int x, int y) { return data[size_t(y) * size_t(stride) + size_t(x)]; }
    const Element& at(int x, int y) const { return data[size_t(y) * size_t(stride) + size_t(x)]; }
};

using TextureDataV1 = TextureData_base<float>;
using TextureDataV3 = TextureData_base<plugin_glsl_types::genVec3<float>>;
using TextureDataV4 = TextureData_base<plugin_glsl_types::genVec4<float>>;
using TextureDataV5 = TextureData_base<vec5>;

}  // namespace Plugin
