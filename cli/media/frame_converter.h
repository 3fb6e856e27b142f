// Conversions between decoded or encoder-bound AVFrames and RGBA float pictures, via libswscale.
#pragma once

#include <cstdint>
#include <vector>

#include "av_handles.h"
#include "picture.h"

namespace ruvovav::media {

// Decoded frame of any pixel format -> Picture. Goes through 16-bit RGBA (8-bit for 8-bit RGB
// sources), which keeps every integer RGB source exactly and honours a YUV frame's matrix and
// range.
class FrameToPicture {
public:
    void convert(const AVFrame& frame, Picture& out);

private:
    struct Key {
        int format = -1, colorspace = -1, range = -1, width = 0, height = 0;
        bool operator==(const Key&) const = default;
    };
    SwsPtr sws_;
    Key key_;
    bool eightBitRgb_ = false;
    std::vector<uint8_t> pixels_;  // RGBA, 8 or native-endian 16 bits per value
};

// The colour coding a YUV target uses; ignored for RGB targets.
struct YuvCoding {
    AVColorSpace matrix = AVCOL_SPC_BT709;
    bool fullRange = false;
};

// Picture -> frame of the encoder's pixel format. Values are rounded (not truncated) to the
// target depth; 8-bit targets start from 8-bit RGBA so that swscale has nothing to round.
class PictureToFrame {
public:
    PictureToFrame(int width, int height, AVPixelFormat target, YuvCoding coding);
    void convert(const Picture& picture, AVFrame& frame);

private:
    int width_, height_;
    bool eightBit_;
    SwsPtr sws_;
    std::vector<uint16_t> rgba16_;
    std::vector<uint8_t> rgba8_;
};

// swscale's SWS_CS_* matrix for a frame's colour space; untagged YUV is taken as BT.601, which is
// what FFmpeg itself assumes and uses when it makes untagged files.
int swsMatrixFor(AVColorSpace colorspace);

}  // namespace ruvovav::media
