// `--reference CLEAN`: PSNR and SSIM of the input and of the result against a clean clip,
// frame by frame as they are rendered, both at the input's bit depth so that neither side
// gains from extra precision.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "cli/media/media_reader.h"

namespace ruvovav::cli {

class ReferenceMetrics {
public:
    // Opens the reference; throws MediaError when it cannot be read or its frames are not
    // the input's size.
    ReferenceMetrics(const std::string& reference, const media::VideoInfo& input, bool perFrame,
                     std::ostream& out);
    // Frame `index` of the input as decoded and as rendered (straight RGBA, top row first).
    void add(int64_t index, const media::Picture& input, const media::Picture& output);
    // The means over every frame added.
    void printSummary();

private:
    std::unique_ptr<media::MediaReader> reference_;
    int bits_;
    bool perFrame_;
    std::ostream& out_;
    int64_t frames_ = 0;
    double inputPsnr_ = 0, inputSsim_ = 0, outputPsnr_ = 0, outputSsim_ = 0;
};

}  // namespace ruvovav::cli
