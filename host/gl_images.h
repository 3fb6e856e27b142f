// The host's images: the GL textures behind CreateImage and ReleaseImage.
//
// An effect asks for an image of some size and internal format and gets a texture name; it
// hands the name back when done. Released textures stay in the pool and are lent again to
// the next request with the same texture size, internal format and mip flag, so an effect
// rendering frame after frame does not make GL allocate anew each time.
//
// Every member that touches GL needs the pool's context current, the destructor included:
// it deletes every texture the pool ever made, lent or not.
#pragma once

#include "host/gl_name.h"

#include <cstdint>
#include <map>
#include <vector>

#include "plugin/host_api.h"

namespace kestrel {

// How the host rounds a texture's size up from the image size it was asked for.
enum class TexturePadding { None, Multiple16, PowerOfTwo };

int paddedTextureSize(int size, TexturePadding padding);
// Levels of a full mip chain down to 1x1: floor(log2(max(width, height))) + 1.
int mipLevelCount(int width, int height);

class ImagePool {
public:
    explicit ImagePool(TexturePadding padding = TexturePadding::None) : padding_(padding) {}
    ImagePool(ImagePool&&) noexcept = default;
    ImagePool& operator=(ImagePool&&) noexcept = default;

    // CreateImage: a texture of internal format GL_RGBA, GL_RGBA16F or GL_RGBA32F whose
    // size is width x height padded by the policy, reported through textureWidth and
    // textureHeight (either may be null). flag == 1 allocates the full mip chain. `format`
    // and `type` describe the pixels the effect means to use; `type` is reported back as
    // the image's pixel type. Bad sizes or formats count a host error and return 0.
    uint32_t create(int width, int height, uint32_t internalFormat, uint32_t format, uint32_t type,
                    int flag, int* textureWidth, int* textureHeight);
    // ReleaseImage: an unknown or already returned texture counts a host error.
    void release(uint32_t texture);
    // Fills `out` for a lent texture; otherwise counts a host error and returns false.
    bool describe(uint32_t texture, HostImage* out) const;

    // RGBA floats of the lower-left width x height pixels of one level, rows bottom up.
    // Empty (and a host error) when the texture is not lent or the region does not fit.
    std::vector<float> readBack(uint32_t texture, int level, int width, int height) const;
    // Writes 4 * width * height floats into the lower-left corner of one level.
    // Returns false (and counts a host error) when the texture is not lent or it does not fit.
    bool upload(uint32_t texture, int level, int width, int height, const float* rgba);

    bool isLent(uint32_t texture) const;
    int outstanding() const { return lent_ - returned_; }
    int totalLent() const { return lent_; }
    int totalReturned() const { return returned_; }
    int texturesCreated() const { return created_; }
    int hostErrors() const { return hostErrors_; }
    TexturePadding padding() const { return padding_; }

private:
    struct Key {
        int textureWidth = 0;
        int textureHeight = 0;
        uint32_t internalFormat = 0;
        bool mipmapped = false;
        bool operator==(const Key&) const = default;
    };
    struct Entry {
        GlTexture texture;
        Key key;
        bool lent = false;
        int width = 0;
        int height = 0;
        uint32_t pixelType = 0;
    };

    Entry* findFree(const Key& key);
    Entry& allocate(const Key& key);
    const Entry* lentEntry(uint32_t texture) const;
    bool regionFits(const Entry* entry, int level, int width, int height) const;

    TexturePadding padding_;
    std::map<uint32_t, Entry> entries_;
    int lent_ = 0;
    int returned_ = 0;
    int created_ = 0;
    mutable int hostErrors_ = 0;
};

}  // namespace kestrel
