#include "image_file.h"

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>

#include <vector>

#include "temp_file.h"

namespace ruvovav::media {
namespace {

namespace OIIO = OIIO_NAMESPACE;

OIIO::TypeDesc typeOf(SampleType type) {
    switch (type) {
        case SampleType::UInt8:
            return OIIO::TypeDesc::UINT8;
        case SampleType::Half:
            return OIIO::TypeDesc::HALF;
        case SampleType::Float:
            return OIIO::TypeDesc::FLOAT;
        default:
            return OIIO::TypeDesc::UINT16;
    }
}

OIIO::ImageSpec headerFor(const Picture& picture, const SequenceTarget& target, int channels) {
    OIIO::ImageSpec header(picture.width, picture.height, channels, typeOf(target.type));
    // Pictures carry straight alpha, which PNG and TIFF store as it is.
    if (!target.premultiplied) header.attribute("oiio:UnassociatedAlpha", 1);
    if (target.bitsPerSample > 0) header.attribute("oiio:BitsPerSample", target.bitsPerSample);
    return header;
}

std::vector<float> premultiplied(const Picture& picture) {
    std::vector<float> staging = picture.rgba;
    for (size_t i = 0; i < staging.size(); i += 4)
        for (int c = 0; c < 3; ++c) staging[i + c] *= staging[i + 3];
    return staging;
}

}  // namespace

void writeImageFile(const std::filesystem::path& file, const Picture& picture,
                    const SequenceTarget& target, bool withAlpha, bool replace) {
    // The type is chosen by the final name; the temporary name only holds the bytes.
    auto out = OIIO::ImageOutput::create(file.string());
    if (!out) throw MediaError("cannot write " + quotedPath(file) + ": " + OIIO::geterror());
    const bool alpha = withAlpha && target.keepsAlpha;
    std::vector<float> staging;
    const float* pixels = picture.rgba.data();
    if (target.premultiplied && alpha) {
        staging = premultiplied(picture);
        pixels = staging.data();
    }
    TempFile temp(file);
    // Encoded in memory and written by us, so that a full disk is reported as such rather
    // than lost inside an image library's file handling.
    std::vector<unsigned char> encoded;
    OIIO::Filesystem::IOVecOutput memory(encoded);
    // The stride of 4 floats skips the alpha of pictures written without it.
    if (!out->set_ioproxy(&memory) ||
        !out->open(file.string(), headerFor(picture, target, alpha ? 4 : 3)) ||
        !out->write_image(OIIO::TypeDesc::FLOAT, pixels, 4 * sizeof(float)) || !out->close())
        throw MediaError("cannot write " + quotedPath(file) + ": " + out->geterror());
    temp.writeAll(encoded.data(), encoded.size());
    temp.commit(replace);
}

}  // namespace ruvovav::media
