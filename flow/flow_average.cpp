#include "flow/flow_average.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace Plugin {

namespace {

void addTo(vec5& acc, const vec5& v, float weight) {
    for (int i = 0; i < 5; ++i) acc.v[i] += weight * v.v[i];
}

// A line of `count` elements `step` apart, read as zero outside.
struct Line {
    const vec5* first;
    ptrdiff_t step;
    int count;
    vec5 at(int i) const { return (i >= 0 && i < count) ? first[i * step] : vec5{}; }
};

// The triangular sum T(i) moves to T(i + 1) by adding the r + 1 samples right of i and
// taking away the r + 1 samples up to i. A ring of 2r + 1 samples holds [i - r, i + r],
// so the cost per sample does not depend on the radius.
class TriangularRunner {
public:
    explicit TriangularRunner(int radius) : r_(radius), ring_(size_t(2 * radius + 1)) {}

    void run(const Line& in, vec5* out, ptrdiff_t outStep) {
        start(in);
        const float norm = float((r_ + 1) * (r_ + 1));
        for (int i = 0; i < in.count; ++i) {
            vec5& o = out[i * outStep];
            for (int c = 0; c < 5; ++c) o.v[c] = total_.v[c] / norm;
            advance(in, i);
        }
    }

private:
    vec5& slot(int i) { return ring_[size_t(i % int(ring_.size()))]; }

    // Window at i = 0: nothing to the left, samples 0 ... r to the right.
    void start(const Line& in) {
        std::fill(ring_.begin(), ring_.end(), vec5{});
        total_ = left_ = right_ = vec5{};
        for (int k = 0; k <= r_; ++k) {
            const vec5 v = in.at(k);
            slot(k) = v;
            addTo(total_, v, float(r_ + 1 - k));
            addTo(k == 0 ? left_ : right_, v, 1.0f);
        }
    }

    // left_ = sum [i - r, i], right_ = sum [i + 1, i + r]; the sample at i + r + 1 replaces
    // the one at i - r in the ring.
    void advance(const Line& in, int i) {
        const vec5 incoming = in.at(i + r_ + 1);
        vec5& oldest = slot(i + r_ + 1);
        const vec5 next = slot(i + 1);
        for (int c = 0; c < 5; ++c) {
            total_.v[c] += right_.v[c] + incoming.v[c] - left_.v[c];
            left_.v[c] += next.v[c] - oldest.v[c];
            right_.v[c] += incoming.v[c] - next.v[c];
        }
        oldest = incoming;
    }

    int r_;
    std::vector<vec5> ring_;
    vec5 total_, left_, right_;
};

}  // namespace

void averageRowsTriangular(const TextureDataV5& src, TextureDataV5& dst, int radius, int y0,
                           int y1) {
    TriangularRunner runner(radius);
    for (int y = y0; y < y1; ++y) runner.run({&src.at(0, y), 1, src.width}, &dst.at(0, y), 1);
}

void averageColumnsTriangular(const TextureDataV5& src, TextureDataV5& dst, int radius, int x0,
                              int x1) {
    TriangularRunner runner(radius);
    for (int x = x0; x < x1; ++x)
        runner.run({&src.at(x, 0), src.stride, src.height}, &dst.at(x, 0), dst.stride);
}

}  // namespace Plugin
