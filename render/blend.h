// Blend modes applied where a source colour meets the backdrop. The graphics
// state keeps the mode as an integer; 0 is Normal. Modes up to
// BLEND_COLOR_BURN work channel by channel; the last four mix the hue,
// saturation and luminosity of the two colours.
#pragma once
#include <cstdint>

enum BlendMode {
    BLEND_NORMAL = 0,
    BLEND_MULTIPLY,
    BLEND_SCREEN,
    BLEND_OVERLAY,
    BLEND_DARKEN,
    BLEND_LIGHTEN,
    BLEND_DIFFERENCE,
    BLEND_EXCLUSION,
    BLEND_HARD_LIGHT,
    BLEND_SOFT_LIGHT,
    BLEND_COLOR_DODGE,
    BLEND_COLOR_BURN,
    BLEND_HUE,
    BLEND_SATURATION,
    BLEND_COLOR,
    BLEND_LUMINOSITY,
    BLEND_MODE_COUNT
};

// The mode a BM name stands for, or -1 for a name that is no mode
// ("Compatible" is Normal).
int blend_mode_from_name(const char *name);

// The blended value of one channel (backdrop and source 0..255) under a
// separable mode; any other mode returns the source.
uint8_t blend_channel(int mode, int backdrop, int source);

// The blended colour of one pixel under any mode. Channels are given in the
// same order in all three arrays (the luminosity weights assume blue, green,
// red, the order of a raster).
void blend_pixel(int mode, const uint8_t backdrop_bgr[3], const int source_bgr[3], int out_bgr[3]);
