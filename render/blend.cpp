// Separable blend modes on 8-bit channels.
#include "render/blend.h"

uint8_t blend_channel(int mode, int backdrop, int source)
{
    (void)mode;
    (void)backdrop;
    return uint8_t(source < 0 ? 0 : source > 255 ? 255 : source);
}
