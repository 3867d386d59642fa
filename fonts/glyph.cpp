// Glyph rendering through FreeType with a process-wide cache of glyphs
// scaled along the axes, and glyph outlines for clipping. All rendering runs
// on one thread; nothing is locked.
#include "fonts/glyph.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include FT_OUTLINE_H

namespace {

struct Slot {
    FT_Face face;
    uint32_t glyph;
    int size;
    int phase;       // quarter pixels of the pen across
    FT_Fixed xx, yy;  // the scaling handed to FreeType; 1, 1 for upright glyphs
    int width, rows, left, top;
    float advance;
    uint8_t *data;   // width x rows bytes; null for a blank glyph
    bool used;       // false: an empty slot
    uint32_t stamp;  // when last found or stored, for replacement within a set
};

// Sets of GLYPH_CACHE_WAYS slots: a glyph lives in one set, where the least
// recently used slot makes room for a new one.
constexpr int kSets = GLYPH_CACHE_SLOTS / GLYPH_CACHE_WAYS;
static_assert((kSets & (kSets - 1)) == 0, "the set count is a power of two");

Slot g_slots[GLYPH_CACHE_SLOTS];
GlyphCacheStats g_stats;
int g_placement = GLYPH_UNHINTED_QUARTER;
uint32_t g_clock;
size_t g_bytes;  // coverage bytes held by all slots

// The first slot of the set of a key.
Slot *set_of(FT_Face face, uint32_t glyph, int size, int phase, FT_Fixed xx, FT_Fixed yy)
{
    uint32_t f = uint32_t(reinterpret_cast<uintptr_t>(face));
    uint32_t h = f * 0x9E3779B1u + glyph * 0x9E37u + uint32_t(size) * 0x075410C5u +
                 uint32_t(phase) * 0x27D4EB2Fu + uint32_t(xx) * 0x165667B1u + uint32_t(yy) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 13;
    return &g_slots[size_t(h & uint32_t(kSets - 1)) * GLYPH_CACHE_WAYS];
}

void slot_clear(Slot *s)
{
    g_bytes -= size_t(s->width) * size_t(s->rows) * (s->data != nullptr);
    std::free(s->data);
    std::memset(s, 0, sizeof *s);
}

Slot *find_slot(Slot *set, FT_Face face, uint32_t glyph, int size, int phase, FT_Fixed xx, FT_Fixed yy)
{
    for (int i = 0; i < GLYPH_CACHE_WAYS; i++) {
        Slot *s = &set[i];
        if (s->used && s->face == face && s->glyph == glyph && s->size == size && s->phase == phase &&
            s->xx == xx && s->yy == yy)
            return s;
    }
    return nullptr;
}

// The slot a new glyph of the set takes: an empty one, else the least
// recently used.
Slot *victim_slot(Slot *set)
{
    Slot *v = &set[0];
    for (int i = 0; i < GLYPH_CACHE_WAYS; i++) {
        if (!set[i].used)
            return &set[i];
        if (uint32_t(g_clock - set[i].stamp) > uint32_t(g_clock - v->stamp))
            v = &set[i];
    }
    return v;
}

// 16.16 fixed point, truncated toward zero and kept inside what a 32-bit
// FT_Fixed holds (a degenerate matrix can ask for more).
FT_Fixed to_fixed(double v)
{
    double f = v * 65536.0;
    if (!(f > -2147418112.0))
        f = -2147418112.0;
    if (f > 2147418112.0)
        f = 2147418112.0;
    return FT_Fixed(f);
}

// A bi-level bitmap as 0 / 255 coverage: `bm`, a copy of the slot's record,
// is pointed at a buffer that lives until the next expansion.
uint8_t *g_mono_buffer;
size_t g_mono_size;

bool expand_mono(FT_Bitmap *bm)
{
    const size_t n = size_t(bm->width) * size_t(bm->rows);
    if (n > g_mono_size) {
        auto *grown = static_cast<uint8_t *>(std::realloc(g_mono_buffer, n));
        if (!grown)
            return false;
        g_mono_buffer = grown;
        g_mono_size = n;
    }
    for (unsigned r = 0; r < bm->rows; r++) {
        const uint8_t *src = bm->buffer + size_t(r) * size_t(bm->pitch);
        uint8_t *dst = g_mono_buffer + size_t(r) * bm->width;
        for (unsigned x = 0; x < bm->width; x++)
            dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
    }
    bm->buffer = g_mono_buffer;
    bm->pitch = int(bm->width);
    bm->pixel_mode = FT_PIXEL_MODE_GRAY;
    return true;
}

bool rounds_to(double v, double target)
{
    double r = v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5);
    return r == target;
}

// What a device matrix gives FreeType: the pixel size, the matrix divided
// by it and whether that rounds to the unit matrix; rc -5 for a matrix
// refused. The last one is kept, as a run of text asks with the same matrix
// glyph after glyph.
struct MatrixSetup {
    float a, b, c, d;
    bool valid;
    int rc;
    int size;
    FT_Matrix m;
    bool upright;
};
MatrixSetup g_setup;

const MatrixSetup &matrix_setup(float a, float b, float c, float d)
{
    MatrixSetup &t = g_setup;
    if (t.valid && t.a == a && t.b == b && t.c == c && t.d == d)
        return t;
    t = {a, b, c, d, true, -5, 0, {}, false};
    const double det = double(a) * d - double(b) * c;
    const double s = std::sqrt(std::fabs(det));
    if (!(s >= GLYPH_MIN_SCALE && s <= GLYPH_MAX_SCALE))
        return t;
    if (!std::isfinite(double(a) + b + c + d))
        return t;
    if ((std::fabs(double(a)) + std::fabs(double(c))) * (std::fabs(double(b)) + std::fabs(double(d))) >
        GLYPH_MAX_EM_AREA)
        return t;
    t.rc = 0;
    t.size = int(s + 0.5) < 1 ? 1 : int(s + 0.5);
    const double xx = a / s * 65536.0, xy = c / s * 65536.0;
    const double yx = -b / s * 65536.0, yy = -d / s * 65536.0;
    t.m.xx = to_fixed(xx / 65536.0);
    t.m.xy = to_fixed(xy / 65536.0);
    t.m.yx = to_fixed(yx / 65536.0);
    t.m.yy = to_fixed(yy / 65536.0);
    t.upright = rounds_to(xx, 65536) && rounds_to(yy, 65536) && rounds_to(xy, 0) && rounds_to(yx, 0);
    return t;
}

}  // namespace

int ft_render_glyph(FT_Face face, uint32_t glyph, float a, float b, float c, float d,
                    GlyphBitmap *out)
{
    return ft_render_glyph_at(face, glyph, a, b, c, d, 0.0f, 0.0f, out);
}

int ft_render_glyph_at(FT_Face face, uint32_t glyph, float a, float b, float c, float d,
                       float frac_x, float frac_y, GlyphBitmap *out)
{
    std::memset(out, 0, sizeof *out);
    if (!face || glyph == 0)
        return -4;
    const MatrixSetup &setup = matrix_setup(a, b, c, d);
    if (setup.rc != 0)
        return setup.rc;
    const int size = setup.size;
    FT_Matrix m = setup.m;
    const bool whole = !(frac_x > 0.0f) && !(frac_y > 0.0f);
    // Quarter pixels across (and none down) are cached, one entry each.
    const float quarters = frac_x * 4.0f;
    const int phase = quarters > 0.0f && quarters < 4.0f ? int(quarters) : 0;
    const bool cacheable = !(frac_y > 0.0f) && float(phase) == quarters;
    // Scalings along the axes are cached. Those that round to the unit
    // matrix share one entry (keyed 1, 1); others are keyed by the exact
    // scaling FreeType is given, so an entry always holds what a new
    // rendering would give.
    const bool upright = cacheable && setup.upright;
    const bool scaling = cacheable && m.xy == 0 && m.yx == 0;
    const FT_Fixed key_xx = upright ? 65536 : m.xx, key_yy = upright ? 65536 : m.yy;
    Slot *set = set_of(face, glyph, size, phase, key_xx, key_yy);
    if (Slot *hit = scaling || upright ? find_slot(set, face, glyph, size, phase, key_xx, key_yy) : nullptr) {
        hit->stamp = ++g_clock;
        out->buffer = hit->data;
        out->width = hit->width;
        out->rows = hit->rows;
        out->pitch = hit->width;
        out->left = hit->left;
        out->top = hit->top;
        out->advance = hit->advance;
        g_stats.hits++;
        return 0;
    }
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(size)) != 0)
        return -7;
    // The pen fraction in 26.6; FreeType's y grows upwards.
    FT_Vector delta = {FT_Pos(frac_x * 64.0f + 0.5f), -FT_Pos(frac_y * 64.0f + 0.5f)};
    FT_Set_Transform(face, &m, whole ? nullptr : &delta);
    FT_Int32 flags = FT_LOAD_RENDER;
    if (g_placement != GLYPH_HINTED_WHOLE)
        flags |= FT_LOAD_NO_HINTING;
    // Outlines first: TrueType fonts such as Calibri carry bi-level bitmaps
    // for some sizes, which would come back instead of 8-bit coverage.
    FT_Error err = FT_Load_Glyph(face, glyph, flags | FT_LOAD_NO_BITMAP);
    if (err != 0)
        err = FT_Load_Glyph(face, glyph, flags);  // a face with bitmaps alone
    FT_GlyphSlot g = face->glyph;
    if (err != 0 || g->format != FT_GLYPH_FORMAT_BITMAP || g->bitmap.pitch < 0)
        return -7;
    // A copy of the slot's bitmap record: FreeType frees the buffer it names.
    FT_Bitmap bitmap = g->bitmap;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        if (!expand_mono(&bitmap))
            return -7;
    } else if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
        return -7;
    }
    out->buffer = bitmap.buffer;
    out->width = int(bitmap.width);
    out->rows = int(bitmap.rows);
    out->pitch = bitmap.pitch;
    out->left = g->bitmap_left;
    out->top = g->bitmap_top;
    out->advance = float(g->advance.x) / 64.0f;
    if (!(scaling || upright))
        return 0;
    // Blank glyphs (spaces) are kept too, without coverage.
    const bool blank = out->width < 1 || out->rows < 1 || !out->buffer;
    if (!blank && (out->width > GLYPH_CACHE_MAX_SIDE || out->rows > GLYPH_CACHE_MAX_SIDE))
        return 0;
    const size_t bytes = blank ? 0 : size_t(out->width) * size_t(out->rows);
    uint8_t *copy = nullptr;
    if (!blank) {
        copy = static_cast<uint8_t *>(std::malloc(bytes));
        if (!copy)
            return 0;
        for (int r = 0; r < out->rows; r++)
            std::memcpy(copy + size_t(r) * size_t(out->width), out->buffer + size_t(r) * size_t(out->pitch),
                        size_t(out->width));
    }
    Slot *slot = victim_slot(set);
    slot_clear(slot);
    if (g_bytes + bytes > GLYPH_CACHE_MAX_BYTES) {
        std::free(copy);
        return 0;
    }
    g_bytes += bytes;
    *slot = {face,        glyph,       size,      phase,     key_xx,       key_yy, blank ? 0 : out->width,
             blank ? 0 : out->rows, out->left, out->top, out->advance, copy,   true,  ++g_clock};
    g_stats.stores++;
    return 0;
}

void glyph_cache_purge(FT_Face face)
{
    for (Slot &s : g_slots)
        if (s.used && s.face == face)
            slot_clear(&s);
}

void glyph_cache_clear()
{
    for (Slot &s : g_slots)
        slot_clear(&s);
}

void glyph_set_placement(int placement)
{
    if (placement < GLYPH_HINTED_WHOLE || placement > GLYPH_UNHINTED_QUARTER)
        placement = GLYPH_UNHINTED_QUARTER;
    if (placement != g_placement)
        glyph_cache_clear();
    g_placement = placement;
}

int glyph_placement() { return g_placement; }

int glyph_pen_pixel(float v, bool across, float *fraction)
{
    *fraction = 0.0f;
    if (g_placement == GLYPH_UNHINTED_EXACT) {
        const float whole = std::floor(v);
        *fraction = v - whole;
        return int(whole);
    }
    if (g_placement == GLYPH_UNHINTED_QUARTER && across) {
        const float q = std::floor(v * 4.0f + 0.5f);
        const float whole = std::floor(q / 4.0f);
        *fraction = (q - whole * 4.0f) / 4.0f;
        return int(whole);
    }
    return int(std::floor(v + 0.5f));
}

GlyphCacheStats glyph_cache_stats() { return g_stats; }

int glyph_cache_count(FT_Face face)
{
    int n = 0;
    for (const Slot &s : g_slots)
        n += s.used && s.face == face;
    return n;
}

namespace {

struct OutlineWalk {
    const GlyphOutlineSink *sink;
    float scale;   // font units to em
    float cx, cy;  // current point, em
};

int walk_move(const FT_Vector *to, void *user)
{
    auto *w = static_cast<OutlineWalk *>(user);
    w->cx = float(to->x) * w->scale;
    w->cy = float(to->y) * w->scale;
    w->sink->move_to(w->sink->user, w->cx, w->cy);
    return 0;
}

int walk_line(const FT_Vector *to, void *user)
{
    auto *w = static_cast<OutlineWalk *>(user);
    w->cx = float(to->x) * w->scale;
    w->cy = float(to->y) * w->scale;
    w->sink->line_to(w->sink->user, w->cx, w->cy);
    return 0;
}

int walk_conic(const FT_Vector *control, const FT_Vector *to, void *user)
{
    auto *w = static_cast<OutlineWalk *>(user);
    float qx = float(control->x) * w->scale, qy = float(control->y) * w->scale;
    float x = float(to->x) * w->scale, y = float(to->y) * w->scale;
    // A quadratic is the cubic with controls two thirds of the way to its control point.
    w->sink->cubic_to(w->sink->user, w->cx + 2.0f / 3.0f * (qx - w->cx),
                      w->cy + 2.0f / 3.0f * (qy - w->cy), x + 2.0f / 3.0f * (qx - x),
                      y + 2.0f / 3.0f * (qy - y), x, y);
    w->cx = x;
    w->cy = y;
    return 0;
}

int walk_cubic(const FT_Vector *c1, const FT_Vector *c2, const FT_Vector *to, void *user)
{
    auto *w = static_cast<OutlineWalk *>(user);
    w->cx = float(to->x) * w->scale;
    w->cy = float(to->y) * w->scale;
    w->sink->cubic_to(w->sink->user, float(c1->x) * w->scale, float(c1->y) * w->scale,
                      float(c2->x) * w->scale, float(c2->y) * w->scale, w->cx, w->cy);
    return 0;
}

}  // namespace

bool ft_glyph_outline(FT_Face face, uint32_t glyph, const GlyphOutlineSink *sink)
{
    if (!face || glyph == 0 || !sink || face->units_per_EM == 0)
        return false;
    // The face keeps the transform of the last rendered glyph; outlines are
    // wanted in the font's own units.
    if (FT_Load_Glyph(face, glyph,
                      FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP |
                          FT_LOAD_IGNORE_TRANSFORM) != 0 ||
        face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return false;
    OutlineWalk walk = {sink, 1.0f / float(face->units_per_EM), 0, 0};
    FT_Outline_Funcs funcs = {walk_move, walk_line, walk_conic, walk_cubic, 0, 0};
    return FT_Outline_Decompose(&face->glyph->outline, &funcs, &walk) == 0;
}
