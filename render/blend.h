// Blend modes applied where a source colour meets the backdrop. The graphics
// state keeps the mode as an integer; 0 is Normal.
#pragma once
#include <cstdint>

enum BlendMode { BLEND_NORMAL = 0 };

// The blended value of one channel (backdrop and source 0..255). Only Normal
// is known so far: every mode returns the source.
uint8_t blend_channel(int mode, int backdrop, int source);
