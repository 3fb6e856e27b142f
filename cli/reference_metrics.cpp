#include "cli/reference_metrics.h"

#include <cstdio>

#include "cli/metrics.h"

namespace ruvovav::cli {
namespace {

std::string line(const char* label, double inputPsnr, double inputSsim, double outputPsnr,
                 double outputSsim) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "%s input PSNR %.2f dB SSIM %.4f, output PSNR %.2f dB SSIM %.4f (%+.2f dB)",
                  label, inputPsnr, inputSsim, outputPsnr, outputSsim, outputPsnr - inputPsnr);
    return text;
}

}  // namespace

ReferenceMetrics::ReferenceMetrics(const std::string& reference, const media::VideoInfo& input,
                                   bool perFrame, std::ostream& out)
    : reference_(media::MediaReader::open(reference)),
      // Float sources are compared as 16-bit, finer than any display needs.
      bits_(input.isFloat || input.bitDepth > 16 ? 16 : input.bitDepth),
      perFrame_(perFrame),
      out_(out) {
    const media::VideoInfo& r = reference_->info();
    if (r.width != input.width || r.height != input.height) {
        throw media::MediaError("the reference '" + reference + "' is " + std::to_string(r.width) +
                                "x" + std::to_string(r.height) + ", the input " +
                                std::to_string(input.width) + "x" + std::to_string(input.height));
    }
}

void ReferenceMetrics::add(int64_t index, const media::Picture& input,
                           const media::Picture& output) {
    media::Picture clean;
    if (!reference_->read(index, clean)) {
        throw media::MediaError("the reference has no frame " + std::to_string(index));
    }
    clean = quantised(clean, bits_);
    const media::Picture in = quantised(input, bits_);
    const media::Picture out = quantised(output, bits_);
    const double values[4] = {psnr(in, clean), ssim(in, clean), psnr(out, clean), ssim(out, clean)};
    inputPsnr_ += values[0];
    inputSsim_ += values[1];
    outputPsnr_ += values[2];
    outputSsim_ += values[3];
    ++frames_;
    if (perFrame_) {
        const std::string label = "frame " + std::to_string(index) + ":";
        out_ << line(label.c_str(), values[0], values[1], values[2], values[3]) << "\n";
    }
}

void ReferenceMetrics::printSummary() {
    if (frames_ == 0) return;
    const double n = double(frames_);
    const std::string label = "mean of " + std::to_string(frames_) + " frames:";
    out_ << line(label.c_str(), inputPsnr_ / n, inputSsim_ / n, outputPsnr_ / n, outputSsim_ / n)
         << "\n";
}

}  // namespace ruvovav::cli
