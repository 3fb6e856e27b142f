#include "sequence_writer.h"

#include <OpenImageIO/imageio.h>

namespace ruvovav::media {
namespace {

namespace OIIO = OIIO_NAMESPACE;

OIIO::TypeDesc typeOf(SampleType type) {
    switch (type) {
        case SampleType::Half:
            return OIIO::TypeDesc::HALF;
        case SampleType::Float:
            return OIIO::TypeDesc::FLOAT;
        default:
            return OIIO::TypeDesc::UINT16;
    }
}

}  // namespace

SequenceWriter::SequenceWriter(FramePattern pattern, const VideoInfo& source,
                               const SequenceTarget& target, int64_t startNumber)
    : pattern_(std::move(pattern)), source_(source), target_(target), nextNumber_(startNumber) {
    // Sequences usually get a folder of their own; making it saves the user a step.
    if (!pattern_.folder.empty() && !std::filesystem::exists(pattern_.folder)) {
        std::error_code error;
        std::filesystem::create_directories(pattern_.folder, error);
        if (error)
            throw MediaError("cannot create folder " + quotedPath(pattern_.folder) + ": " +
                             error.message());
        createdFolder_ = true;
    }
}

SequenceWriter::~SequenceWriter() {
    if (!closed_) abandon();
}

void SequenceWriter::write(const Picture& picture) {
    if (closed_) throw MediaError("cannot write to a finished image sequence");
    if (picture.width != source_.width || picture.height != source_.height ||
        picture.rgba.size() != size_t(picture.width) * picture.height * 4)
        throw MediaError("picture of size " + std::to_string(picture.width) + "x" +
                         std::to_string(picture.height) + " does not fit the image sequence");
    const std::filesystem::path file = pattern_.fileFor(nextNumber_);
    auto out = OIIO::ImageOutput::create(file.string());
    if (!out) throw MediaError("cannot write " + quotedPath(file) + ": " + OIIO::geterror());
    const int channels = source_.hasAlpha ? 4 : 3;
    OIIO::ImageSpec header(picture.width, picture.height, channels, typeOf(target_.type));
    // Pictures carry straight alpha, which PNG and TIFF store as it is.
    if (!target_.premultiplied) header.attribute("oiio:UnassociatedAlpha", 1);
    const float* pixels = picture.rgba.data();
    if (target_.premultiplied && source_.hasAlpha) {
        staging_ = picture.rgba;
        for (size_t i = 0; i < staging_.size(); i += 4)
            for (int c = 0; c < 3; ++c) staging_[i + c] *= staging_[i + 3];
        pixels = staging_.data();
    }
    written_.push_back(file);  // before opening, so that abandon() removes a partial image
    // The stride of 4 floats skips the alpha of pictures written without it.
    if (!out->open(file.string(), header) ||
        !out->write_image(OIIO::TypeDesc::FLOAT, pixels, 4 * sizeof(float)) || !out->close())
        throw MediaError("cannot write " + quotedPath(file) + ": " + out->geterror());
    ++nextNumber_;
}

void SequenceWriter::finish() {
    closed_ = true;
}

void SequenceWriter::abandon() {
    closed_ = true;
    std::error_code ignored;
    for (const auto& file : written_) std::filesystem::remove(file, ignored);
    written_.clear();
    if (createdFolder_) std::filesystem::remove(pattern_.folder, ignored);  // only if empty
}

}  // namespace ruvovav::media
