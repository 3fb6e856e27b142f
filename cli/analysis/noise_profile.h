// The frame's own noise, scale by scale. Noise that cameras, codecs and film make is
// correlated between neighbouring pixels: it holds more energy at coarse scales than white
// noise of the same fine detail would, so no fixed model says how flat an area must look.
#pragma once

#include <vector>

namespace ruvovav::analysis {

// A box's energy at scales 1, 2, 4, … divided by the energy of its finest detail, as
// NoiseMeasure gives them: 1 at every scale for white noise, whatever its strength.
using ScaleShape = std::vector<double>;

struct BoxEnergies {
    double fine = 0.0;  // energy of the box's finest detail: the unit `shape` is measured in
    ScaleShape shape;
};

struct NoiseProfile {
    ScaleShape shape;       // what noise alone gives, per scale
    bool measured = false;  // false: white noise was assumed
};

// White noise: 1 at each of `scales` scales.
NoiseProfile whiteNoiseProfile(int scales);

// How far a box strays from the noise: with r_j = box_j / profile_j, the largest r over the
// smallest, minus 1. Noise alone gives about 0 whatever its strength; picture adds energy at
// the scales it lives at. The ratio leaves the box's strength free, so that the noise may
// vary with brightness, in strength and a little in shape (read noise, the transfer curve);
// picture with the noise's own shape is caught by its strength instead (see the chooser).
// Scales the box or the profile lacks are left out.
double detailRatio(const ScaleShape& box, const NoiseProfile& profile);

// The frame's noise from the shapes of many boxes, or nothing when they show none. Noise is
// the same in every flat area, so its boxes gather in one tight cluster of shapes; of the
// clusters of at least minimumBoxes members, the one with the least energy over all scales
// is the noise, since picture only ever adds energy to it. The profile is the median shape of that
// cluster. Texture clusters too (natural texture has much the same shape everywhere), so a
// frame without flat areas still yields a profile: see plausibleNoise().
NoiseProfile measureNoiseProfile(const std::vector<BoxEnergies>& boxes, int minimumBoxes);

// Noise is correlated over a few pixels at most: from blocks well beyond that size, its block
// means are nearly independent and the profile levels off. Demosaiced, compressed or grainy
// footage rises by at most about 2 from blocks of 2 to 4 pixels and by well under 2 per
// doubling beyond blocks of 4, while picture keeps rising about fourfold per doubling. So a
// profile is taken for noise only when every step from blocks of 4 on rises by at most 2.
// Grain a pixel or two across still rises steeply up to blocks of 4, so the finer steps say
// nothing.
bool plausibleNoise(const NoiseProfile& profile);

// Whether the noise is measurably correlated at all. Any correlation between neighbours, by
// demosaicing, grain or a codec, moves energy out of the finest detail that the white-noise
// unit is measured on, into the pixel-scale Laplacian; white noise gives them equal energy.
// A profile that keeps that ratio near 1 shows white noise, and then its excess at coarser
// scales is picture that many boxes share, such as a frame-filling texture, not noise.
bool showsCorrelation(const NoiseProfile& profile);

}  // namespace ruvovav::analysis
