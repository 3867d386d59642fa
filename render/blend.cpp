// Blend modes on 8-bit channels: the separable ones in integer arithmetic,
// the hue, saturation, colour and luminosity modes through the luminosity
// and saturation of the two colours.
#include "render/blend.h"

#include <cmath>
#include <cstring>

namespace {

const char *const mode_names[BLEND_MODE_COUNT] = {
    "Normal",    "Multiply",  "Screen",     "Overlay",    "Darken",    "Lighten",
    "Difference", "Exclusion", "HardLight", "SoftLight",  "ColorDodge", "ColorBurn",
    "Hue",       "Saturation", "Color",     "Luminosity",
};

inline int clamp_byte(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

int hard_light(int d, int s)
{
    if (s < 128)
        return 2 * d * s / 255;
    return 255 - 2 * (255 - s) * (255 - d) / 255;
}

int soft_light(int d, int s)
{
    if (s < 128)
        return d - ((255 - 2 * s) * d * (255 - d) / 255) / 255;
    int dd;
    if (d < 64)
        dd = ((16 * d - 3060) * d / 255 + 1020) * d / 255;
    else
        dd = int(std::sqrt(d / 255.0) * 255.0);
    return d + (dd - d) * (2 * s - 255) / 255;
}

// Colours here are blue, green, red in 0..1.
double lum(const double c[3]) { return 0.11 * c[0] + 0.59 * c[1] + 0.3 * c[2]; }

void clip_color(double c[3])
{
    double l = lum(c);
    double n = std::fmin(c[0], std::fmin(c[1], c[2]));
    double x = std::fmax(c[0], std::fmax(c[1], c[2]));
    for (int k = 0; k < 3; k++) {
        if (n < 0 && l - n > 1e-12)
            c[k] = l + (c[k] - l) * l / (l - n);
    }
    if (x > 1 && x - l > 1e-12)
        for (int k = 0; k < 3; k++)
            c[k] = l + (c[k] - l) * (1 - l) / (x - l);
}

void set_lum(const double c[3], double l, double out[3])
{
    double d = l - lum(c);
    for (int k = 0; k < 3; k++)
        out[k] = c[k] + d;
    clip_color(out);
}

double sat(const double c[3])
{
    return std::fmax(c[0], std::fmax(c[1], c[2])) - std::fmin(c[0], std::fmin(c[1], c[2]));
}

// The colour c with saturation s: its largest channel becomes s, its
// smallest 0 and the middle one keeps its place between them.
void set_sat(const double c[3], double s, double out[3])
{
    int mx = 0, mn = 0;
    for (int k = 1; k < 3; k++) {
        if (c[k] > c[mx])
            mx = k;
        if (c[k] < c[mn])
            mn = k;
    }
    out[0] = out[1] = out[2] = 0;
    if (mx == mn)
        return;
    int mid = 3 - mx - mn;
    out[mid] = (c[mid] - c[mn]) * s / (c[mx] - c[mn]);
    out[mx] = s;
}

}  // namespace

int blend_mode_from_name(const char *name)
{
    if (!name)
        return -1;
    if (std::strcmp(name, "Compatible") == 0)
        return BLEND_NORMAL;
    for (int i = 0; i < BLEND_MODE_COUNT; i++)
        if (std::strcmp(name, mode_names[i]) == 0)
            return i;
    return -1;
}

uint8_t blend_channel(int mode, int d, int s)
{
    d = clamp_byte(d);
    s = clamp_byte(s);
    int r;
    switch (mode) {
    case BLEND_MULTIPLY: r = d * s / 255; break;
    case BLEND_SCREEN: r = 255 - (255 - d) * (255 - s) / 255; break;
    case BLEND_OVERLAY: r = hard_light(s, d); break;
    case BLEND_DARKEN: r = d < s ? d : s; break;
    case BLEND_LIGHTEN: r = d > s ? d : s; break;
    case BLEND_DIFFERENCE: r = d > s ? d - s : s - d; break;
    case BLEND_EXCLUSION: r = d + s - 2 * d * s / 255; break;
    case BLEND_HARD_LIGHT: r = hard_light(d, s); break;
    case BLEND_SOFT_LIGHT: r = soft_light(d, s); break;
    case BLEND_COLOR_DODGE:
        if (d == 0)
            r = 0;
        else
            r = s >= 255 ? 255 : d * 255 / (255 - s);
        break;
    case BLEND_COLOR_BURN:
        if (d == 255)
            r = 255;
        else
            r = s <= 0 ? 0 : 255 - (255 - d) * 255 / s;
        break;
    default: r = s; break;
    }
    return uint8_t(clamp_byte(r));
}

void blend_pixel(int mode, const uint8_t backdrop[3], const int source[3], int out[3])
{
    if (mode < BLEND_HUE || mode >= BLEND_MODE_COUNT) {
        for (int k = 0; k < 3; k++)
            out[k] = blend_channel(mode, backdrop[k], source[k]);
        return;
    }
    double cb[3], cs[3], t[3], r[3];
    for (int k = 0; k < 3; k++) {
        cb[k] = backdrop[k] / 255.0;
        cs[k] = clamp_byte(source[k]) / 255.0;
    }
    switch (mode) {
    case BLEND_HUE:
        set_sat(cs, sat(cb), t);
        set_lum(t, lum(cb), r);
        break;
    case BLEND_SATURATION:
        set_sat(cb, sat(cs), t);
        set_lum(t, lum(cb), r);
        break;
    case BLEND_COLOR: set_lum(cs, lum(cb), r); break;
    default: set_lum(cb, lum(cs), r); break;  // luminosity
    }
    for (int k = 0; k < 3; k++)
        out[k] = clamp_byte(int(std::lround(r[k] * 255.0)));
}
