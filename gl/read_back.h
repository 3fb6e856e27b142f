// Read-back of texture contents into CPU holders, for the noise analysis and the motion
// measurement.
#pragma once

#include "image/texture_data.h"
#include "plugin/host_api.h"

namespace Plugin {

// The w x h region at (x, y) of level 0 of the image, as RGB (or RGBA) floats.
// GL: goes through a temporary texture; restores colour attachment 0 and the viewport,
// and leaves the image bound on unit 0.
void readImageRGB(TextureDataV3& buffer, const HostImage& image, int x, int y, int w, int h);
void readImageRGBA(TextureDataV4& buffer, const HostImage& image, int x, int y, int w, int h);

// One level of the image as RGB floats: stride is the texture's level width, width and
// height the image's level size. Without `read` only the holder is sized.
// GL: a level above 0 leaves the image bound on unit 0.
TextureDataV3 readImage(const HostImage& image, bool read, int level);

// The red channel of one mip level (luma, in Y'UV images), in a holder as large as the whole
// level-0 texture so that any level fits; its stride is the texture's width at that level.
// GL: leaves the image bound on unit 0.
TextureDataV1 readLevelRed(const HostImage& image, int level);

}  // namespace Plugin
