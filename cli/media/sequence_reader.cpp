#include "sequence_reader.h"

#include <OpenImageIO/imageio.h>

#include "frame_pattern.h"
#include "image_header_check.h"

namespace ruvovav::media {
namespace {

namespace OIIO = OIIO_NAMESPACE;
using InputPtr = std::unique_ptr<OIIO::ImageInput>;  // ImageInput's destructor closes the file

// PNG and TIFF keep straight alpha; without this hint OpenImageIO would premultiply it.
InputPtr openImage(const std::filesystem::path& file, OIIO::ImageSpec& header) {
    checkImageHeader(file);
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    InputPtr input = OIIO::ImageInput::open(file.string(), &config);
    if (!input) {
        std::string why = OIIO::geterror();
        throw MediaError("cannot open " + quotedPath(file) + ": " +
                         (why.empty() ? "not a readable image" : why));
    }
    header = input->spec();
    return input;
}

// OpenEXR stores premultiplied colour; pictures carry straight colour.
void unpremultiply(std::vector<float>& rgba) {
    for (size_t i = 0; i < rgba.size(); i += 4) {
        const float a = rgba[i + 3];
        if (a <= 0.0f || a == 1.0f) continue;
        for (int c = 0; c < 3; ++c) rgba[i + c] /= a;
    }
}

// Spreads `channels` interleaved values per pixel over RGBA: a single colour channel (grey)
// fills R, G and B; a missing alpha is 1.
void expandToRgba(const std::vector<float>& in, int channels, int alphaChannel,
                  std::vector<float>& out) {
    int colour[3] = {};
    int colours = 0;
    for (int c = 0; c < channels && colours < 3; ++c)
        if (c != alphaChannel) colour[colours++] = c;
    if (colours < 3) colour[1] = colour[2] = colour[0];
    const size_t pixels = in.size() / channels;
    out.resize(pixels * 4);
    for (size_t p = 0; p < pixels; ++p) {
        const float* src = &in[p * channels];
        float* dst = &out[p * 4];
        for (int c = 0; c < 3; ++c) dst[c] = src[colour[c]];
        dst[3] = alphaChannel >= 0 ? src[alphaChannel] : 1.0f;
    }
}

// The first `channels` channels of the image as floats. OpenImageIO converts in chunks it
// rounds up to a TIFF's rows per strip, a field a damaged file can set to millions (gigabytes
// for a small image), so images stored in one sample type are read as stored and converted
// here: that costs the image and no more. Those that mix types (some OpenEXR) convert in the
// library, which sizes no chunk by strips for them.
bool readAsFloat(const std::filesystem::path& file, OIIO::ImageInput& input,
                 const OIIO::ImageSpec& header, int channels, std::vector<float>& pixels) {
    const size_t storedBytes = header.image_bytes(/*native=*/true);
    const bool uniform = header.channelformats.empty();
    // Many stored channels beyond the four we keep: let the library pick ours out instead.
    if (!uniform || storedBytes > pixels.size() * sizeof(float) * 4) {
        if (header.get_int_attribute("tiff:RowsPerStrip", 0) > header.height)
            throw MediaError("cannot read " + quotedPath(file) +
                             ": damaged header, more rows per strip than the image has");
        return input.read_image(0, 0, 0, channels, OIIO::TypeDesc::FLOAT, pixels.data());
    }
    std::vector<std::byte> stored(storedBytes);
    if (!input.read_image(0, 0, 0, header.nchannels, OIIO::TypeDesc::UNKNOWN, stored.data()))
        return false;
    return OIIO::convert_image(channels, header.width, header.height, 1, stored.data(),
                               header.format, header.pixel_bytes(true), header.scanline_bytes(true),
                               OIIO::AutoStride, pixels.data(), OIIO::TypeDesc::FLOAT,
                               OIIO::AutoStride, OIIO::AutoStride, OIIO::AutoStride);
}

}  // namespace

SequenceReader::SequenceReader(std::string name, std::vector<std::filesystem::path> files,
                               const ReaderOptions& options)
    : name_(std::move(name)), files_(std::move(files)) {
    info_.rateNum = options.sequenceRateNum;
    info_.rateDen = options.sequenceRateDen;
    info_.frameCount = int64_t(files_.size());
    describe(files_.front());
}

std::unique_ptr<SequenceReader> SequenceReader::fromPattern(const std::filesystem::path& pattern,
                                                            const ReaderOptions& options) {
    const auto parsed = parseFramePattern(pattern);
    const std::vector<int64_t> numbers =
        parsed ? parsed->existingNumbers() : std::vector<int64_t>{};
    if (numbers.empty())
        throw MediaError("cannot open " + quotedPath(pattern) + ": no file matches");
    std::vector<std::filesystem::path> files;
    for (size_t i = 0; i < numbers.size() && numbers[i] == numbers[0] + int64_t(i); ++i)
        files.push_back(parsed->fileFor(numbers[i]));
    return std::make_unique<SequenceReader>(pattern.string(), std::move(files), options);
}

void SequenceReader::describe(const std::filesystem::path& first) {
    OIIO::ImageSpec header;
    InputPtr input = openImage(first, header);
    if (header.width <= 0 || header.height <= 0 || header.width > kMaxFrameSide ||
        header.height > kMaxFrameSide)
        throw MediaError(quotedPath(first) + " has an unsupported image size " +
                         std::to_string(header.width) + "x" + std::to_string(header.height));
    info_.width = header.width;
    info_.height = header.height;
    info_.codec = input->format_name();
    info_.isFloat = header.format.is_floating_point();
    info_.bitDepth = header.get_int_attribute("oiio:BitsPerSample", int(header.format.size() * 8));
    info_.hasAlpha = header.alpha_channel >= 0;
    const char* layout[] = {"", "Y", "YA", "RGB", "RGBA"};
    info_.pixelFormat = std::string(header.format.c_str()) + " " +
                        (header.nchannels <= 4 ? layout[header.nchannels] : "RGBA+");
}

bool SequenceReader::read(int64_t frameIndex, Picture& out) {
    if (frameIndex < 0 || frameIndex >= int64_t(files_.size())) return false;
    const auto& file = files_[size_t(frameIndex)];
    OIIO::ImageSpec header;
    InputPtr input = openImage(file, header);
    if (header.width != info_.width || header.height != info_.height)
        throw MediaError(quotedPath(file) + " is " + std::to_string(header.width) + "x" +
                         std::to_string(header.height) + ", unlike the first image of " +
                         quotedPath(name_));
    const int channels = std::min(header.nchannels, 4);
    std::vector<float> pixels(size_t(header.width) * header.height * channels);
    if (!readAsFloat(file, *input, header, channels, pixels))
        throw MediaError("cannot read " + quotedPath(file) + ": " + input->geterror());
    ++decodedFrames_;
    const int alpha = header.alpha_channel < channels ? header.alpha_channel : -1;
    expandToRgba(pixels, channels, alpha, out.rgba);
    if (alpha >= 0 && input->format_name() == std::string("openexr")) unpremultiply(out.rgba);
    out.width = header.width;
    out.height = header.height;
    return true;
}

}  // namespace ruvovav::media
