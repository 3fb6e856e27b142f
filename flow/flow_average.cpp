#include "flow/flow_average.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace Plugin {

namespace {

constexpr int kChannels = 5;
// Columns averaged side by side: the vertical pass then walks rows of adjacent elements
// instead of one column at a time, and the state of a block stays in the first-level cache.
constexpr int kColumnBlock = 32;

// `lanes` parallel lines of `count` samples, read as zero outside: sample i of lane j is
// first[i * step + j * laneStep].
struct Lines {
    const vec5* first;
    ptrdiff_t step, laneStep;
    int count, lanes;
};

struct Outputs {
    vec5* first;
    ptrdiff_t step, laneStep;
};

// The triangular sum T(i) moves to T(i + 1) by adding the r + 1 samples right of i and
// taking away the r + 1 samples up to i. A ring of 2r + 1 samples holds [i - r, i + r],
// so the cost per sample does not depend on the radius. Every lane follows the same
// sequence of single-precision operations as a lone line would.
class TriangularRunner {
public:
    TriangularRunner(int radius, int maxLanes)
        : r_(radius),
          ringSize_(2 * radius + 1),
          width_(size_t(maxLanes) * kChannels),
          ring_(size_t(ringSize_) * width_),
          incoming_(width_),
          total_(width_),
          left_(width_),
          right_(width_) {}

    void run(const Lines& in, const Outputs& out) {
        const size_t n = size_t(in.lanes) * kChannels;
        start(in, n);
        const float norm = float((r_ + 1) * (r_ + 1));
        int next = 1 % ringSize_, oldest = (r_ + 1) % ringSize_;
        for (int i = 0; i < in.count; ++i) {
            store(out, i, in.lanes, norm);
            gather(in, i + r_ + 1, incoming_.data());
            advance(row(next), row(oldest), n);
            next = next + 1 == ringSize_ ? 0 : next + 1;
            oldest = oldest + 1 == ringSize_ ? 0 : oldest + 1;
        }
    }

private:
    float* row(int slot) { return ring_.data() + size_t(slot) * width_; }

    // Sample i of every lane into dst, five floats per lane.
    static void gather(const Lines& in, int i, float* dst) {
        for (int j = 0; j < in.lanes; ++j, dst += kChannels) {
            const bool inside = i >= 0 && i < in.count;
            const float* v = inside ? in.first[i * in.step + j * in.laneStep].v : nullptr;
            for (int c = 0; c < kChannels; ++c) dst[c] = inside ? v[c] : 0.0f;
        }
    }

    void store(const Outputs& out, int i, int lanes, float norm) const {
        for (int j = 0; j < lanes; ++j) {
            vec5& o = out.first[i * out.step + j * out.laneStep];
            for (int c = 0; c < kChannels; ++c) o.v[c] = total_[size_t(j * kChannels + c)] / norm;
        }
    }

    // Window at i = 0: nothing to the left, samples 0 ... r to the right.
    void start(const Lines& in, size_t n) {
        std::fill(ring_.begin(), ring_.end(), 0.0f);
        std::fill_n(total_.begin(), n, 0.0f);
        std::fill_n(left_.begin(), n, 0.0f);
        std::fill_n(right_.begin(), n, 0.0f);
        for (int k = 0; k <= r_; ++k) {
            float* v = row(k);
            gather(in, k, v);
            const float weight = float(r_ + 1 - k);
            float* side = k == 0 ? left_.data() : right_.data();
            for (size_t c = 0; c < n; ++c) {
                total_[c] += weight * v[c];
                side[c] += 1.0f * v[c];
            }
        }
    }

    // left = sum [i - r, i], right = sum [i + 1, i + r]; the sample at i + r + 1 replaces
    // the one at i - r in the ring. With r = 0 both slots are one, read before the write.
    void advance(const float* next, float* oldest, size_t n) {
        const float* incoming = incoming_.data();
        for (size_t c = 0; c < n; ++c) {
            const float in = incoming[c], nx = next[c], old = oldest[c];
            total_[c] += right_[c] + in - left_[c];
            left_[c] += nx - old;
            right_[c] += in - nx;
            oldest[c] = in;
        }
    }

    int r_, ringSize_;
    size_t width_;
    std::vector<float> ring_, incoming_, total_, left_, right_;
};

}  // namespace

void averageRowsTriangular(const TextureDataV5& src, TextureDataV5& dst, int radius, int y0,
                           int y1) {
    TriangularRunner runner(radius, 1);
    for (int y = y0; y < y1; ++y)
        runner.run({&src.at(0, y), 1, 0, src.width, 1}, {&dst.at(0, y), 1, 0});
}

void averageColumnsTriangular(const TextureDataV5& src, TextureDataV5& dst, int radius, int x0,
                              int x1) {
    TriangularRunner runner(radius, kColumnBlock);
    for (int x = x0; x < x1; x += kColumnBlock) {
        const int lanes = std::min(kColumnBlock, x1 - x);
        runner.run({&src.at(x, 0), src.stride, 1, src.height, lanes},
                   {&dst.at(x, 0), dst.stride, 1});
    }
}

}  // namespace Plugin
