#include "frame_converter.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "media_error.h"

namespace ruvovav::media {
namespace {

// Accurate rounding everywhere, and full chroma resolution on both sides of the RGB <-> YUV step
// instead of swscale's fast nearest-neighbour chroma.
constexpr int kSwsFlags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP;

bool isFullRange(const AVFrame& frame) {
    if (frame.color_range == AVCOL_RANGE_JPEG) return true;
    switch (frame.format) {  // the deprecated "J" formats are full range by definition
        case AV_PIX_FMT_YUVJ420P:
        case AV_PIX_FMT_YUVJ422P:
        case AV_PIX_FMT_YUVJ444P:
        case AV_PIX_FMT_YUVJ440P:
        case AV_PIX_FMT_YUVJ411P:
            return true;
        default:
            return false;
    }
}

template <typename T>
T quantise(float value, float scale) {
    // Written so that NaN lands on 0 instead of an undefined conversion.
    const float v = value > 0.0f ? std::min(value, 1.0f) : 0.0f;
    return static_cast<T>(v * scale + 0.5f);
}

}  // namespace

int swsMatrixFor(AVColorSpace colorspace) {
    switch (colorspace) {
        case AVCOL_SPC_BT709:
            return SWS_CS_ITU709;
        case AVCOL_SPC_FCC:
            return SWS_CS_FCC;
        case AVCOL_SPC_SMPTE240M:
            return SWS_CS_SMPTE240M;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return SWS_CS_BT2020;
        default:
            return SWS_CS_ITU601;
    }
}

void FrameToPicture::convert(const AVFrame& frame, Picture& out) {
    const Key key{frame.format, frame.colorspace, isFullRange(frame) ? 1 : 0, frame.width,
                  frame.height};
    if (!sws_ || !(key == key_)) {
        // 8-bit RGB goes to 8-bit RGBA: swscale only shuffles bytes there, where its general
        // path (via YUV) would be off by a code value.
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(frame.format));
        eightBitRgb_ = (desc->flags & AV_PIX_FMT_FLAG_RGB) && desc->comp[0].depth <= 8;
        const AVPixelFormat target = eightBitRgb_ ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGBA64;
        sws_.reset(sws_getContext(frame.width, frame.height, AVPixelFormat(frame.format),
                                  frame.width, frame.height, target, kSwsFlags, nullptr, nullptr,
                                  nullptr));
        if (!sws_)
            throw MediaError("cannot convert frames of pixel format '" +
                             std::string(av_get_pix_fmt_name(AVPixelFormat(frame.format))) + "'");
        const int* coeffs = sws_getCoefficients(swsMatrixFor(frame.colorspace));
        sws_setColorspaceDetails(sws_.get(), coeffs, key.range, coeffs, 1, 0, 1 << 16, 1 << 16);
        key_ = key;
    }
    const size_t count = size_t(frame.width) * frame.height * 4;
    const int bytes = eightBitRgb_ ? 1 : 2;
    pixels_.resize(count * bytes);
    uint8_t* dst[4] = {pixels_.data()};
    int dstStride[4] = {frame.width * 4 * bytes};
    sws_scale(sws_.get(), frame.data, frame.linesize, 0, frame.height, dst, dstStride);

    out.width = frame.width;
    out.height = frame.height;
    out.rgba.resize(count);
    if (eightBitRgb_) {
        for (size_t i = 0; i < count; ++i) out.rgba[i] = pixels_[i] * (1.0f / 255.0f);
    } else {
        const auto* wide = reinterpret_cast<const uint16_t*>(pixels_.data());
        for (size_t i = 0; i < count; ++i) out.rgba[i] = wide[i] * (1.0f / 65535.0f);
    }
}

PictureToFrame::PictureToFrame(int width, int height, AVPixelFormat target, YuvCoding coding)
    : width_(width), height_(height) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(target);
    eightBit_ = desc->comp[0].depth <= 8;
    const AVPixelFormat source = eightBit_ ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGBA64;
    sws_.reset(sws_getContext(width, height, source, width, height, target, kSwsFlags, nullptr,
                              nullptr, nullptr));
    if (!sws_)
        throw MediaError("cannot convert pictures to pixel format '" +
                         std::string(av_get_pix_fmt_name(target)) + "'");
    const int* coeffs = sws_getCoefficients(swsMatrixFor(coding.matrix));
    sws_setColorspaceDetails(sws_.get(), coeffs, 1, coeffs, coding.fullRange ? 1 : 0, 0, 1 << 16,
                             1 << 16);
}

void PictureToFrame::convert(const Picture& picture, AVFrame& frame) {
    const size_t count = size_t(width_) * height_ * 4;
    const uint8_t* src[4] = {};
    int srcStride[4] = {};
    if (eightBit_) {
        rgba8_.resize(count);
        for (size_t i = 0; i < count; ++i) rgba8_[i] = quantise<uint8_t>(picture.rgba[i], 255.0f);
        src[0] = rgba8_.data();
        srcStride[0] = width_ * 4;
    } else {
        rgba16_.resize(count);
        for (size_t i = 0; i < count; ++i)
            rgba16_[i] = quantise<uint16_t>(picture.rgba[i], 65535.0f);
        src[0] = reinterpret_cast<const uint8_t*>(rgba16_.data());
        srcStride[0] = width_ * 8;
    }
    sws_scale(sws_.get(), src, srcStride, 0, height_, frame.data, frame.linesize);
}

}  // namespace ruvovav::media
