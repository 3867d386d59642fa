// JPEG data made with libjpeg, for the tests of the DCT filter.
#pragma once
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <functional>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace testsupport {

// A width x height JPEG with `components` samples a pixel in colour space `in`;
// pixel(x, y, k) gives sample k of each pixel (kept to its low 8 bits). `configure`,
// when given, changes the encoder settings after libjpeg's defaults.
std::vector<uint8_t> jpeg_encode(int width, int height, int components, J_COLOR_SPACE in,
                                 const std::function<int(int x, int y, int k)> &pixel,
                                 const std::function<void(jpeg_compress_struct *)> &configure = {});

// libjpeg's own decoding into the colour space `out`, all rows: data that end early are
// padded the way libjpeg pads them. Warnings stay quiet.
std::vector<uint8_t> jpeg_decode(const std::vector<uint8_t> &jpeg, J_COLOR_SPACE out);

}  // namespace testsupport
