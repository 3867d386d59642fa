// Soft masks: a mask group rendered into a scratch surface over the current
// surface's pixels and read as a byte plane, either from its luminosity over
// the backdrop colour BC or from its alpha (coverage). The plane belongs to
// the graphics state that set it and is freed when that state replaces it
// or ends.
#pragma once
#include "render/context.h"

// SMask of an ExtGState: the name None clears the soft mask; a dictionary
// builds one from its group G. The current mask is released first in both
// cases; a mask that cannot be built leaves painting unmasked.
void softmask_set(RenderContext *ctx, PdfObject *smask);
// Frees the plane `gs` made, if any, and leaves it without a soft mask.
void softmask_release_state(RenderContext *ctx, GraphicsState *gs);
