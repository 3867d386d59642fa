// Transparency groups: a form whose Group has S /Transparency is drawn into
// its own surface with an alpha plane, then composited onto the surface
// below with the opacity, blend mode and soft mask current at the Do. The
// group surface spans the part of the group's box (within its clip) that
// lies in the current surface, rows and columns, and is freed when the
// group is composited.
#pragma once
#include "render/composite.h"
#include "render/context.h"

struct GroupFrame {
    PageBitmap *outer;        // the surface below
    PageBitmap *surface;      // the group's own surface
    int top, left;            // outer row and column of group pixel (0, 0)
    int opacity;              // 0..255
    int blend_mode;
    bool from_backdrop;       // started as a copy of the surface below
    const uint8_t *soft_mask; // the outer surface's soft mask plane, or null
    KnockoutGroup previous_knockout;  // the knockout group outside this one
    ClipPlane shifted_clip;   // the outer clip plane seen from the group's rows
    ClipPlane *clip_mask;     // the state's own plane and ownership, given back at the end
    int owns_clip;
};

enum GroupStart { GROUP_DIRECT, GROUP_STARTED, GROUP_EMPTY };

// Called with the form's own graphics state current (its matrix and box
// clip applied). GROUP_STARTED: the group surface is current and the state
// is opaque, Normal and unmasked; group_end must follow. GROUP_EMPTY: the
// group can paint nothing here and its content need not run. GROUP_DIRECT:
// no surface (depth, memory); the form paints directly.
GroupStart group_begin(RenderContext *ctx, PdfObject *group, GroupFrame *frame);
// Composites the group onto the surface below, frees it and makes that
// surface current again (the caller then restores the graphics state).
void group_end(RenderContext *ctx, GroupFrame *frame);

// One group surface onto another, its pixel (0, 0) over dst's pixel (left,
// top): each group pixel with alpha a, times opacity and the soft-mask byte
// (mask_rows: the plane of dst, width dst->width), is blended with the mode
// and composited over dst (source-over; dst with an alpha plane keeps a
// union alpha). A group that started as a copy of dst's pixels
// (`from_backdrop`; its mode is Normal) is interpolated into them by
// opacity and mask.
void composite_group(PageBitmap *dst, const PageBitmap *group, int top, int left, int opacity,
                     const uint8_t *mask_rows, int blend_mode, bool from_backdrop);

// Whether content drawn with `resources` can blend with a mode other than
// Normal: a BM of an ExtGState in them, or in the resources of the forms,
// patterns and Type 3 fonts they name, followed to GROUP_SCAN_DICTS
// resource dictionaries and GROUP_SCAN_ENTRIES entries of theirs (what
// lies beyond is taken not to blend).
bool resources_use_blending(PdfDoc *doc, PdfObject *resources);
// A surface drawn as an isolated group (colour and alpha plane) laid on
// white paper; its alpha plane is freed and detached.
void group_flatten_on_white(PageBitmap *surface);
