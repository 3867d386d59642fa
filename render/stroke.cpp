// Stroking: every segment becomes a quadrilateral, every vertex a join
// triangle (plus a miter quadrilateral or a round disc), every open end a
// cap; all pieces are oriented alike so that a nonzero fill gives their union.
// Dash patterns follow the PDF Reference, section 4.3.2.
#include "render/stroke.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "render/fill.h"
#include "render/limits.h"

namespace {

struct V {
    double x, y;
};

inline V operator+(V a, V b) { return {a.x + b.x, a.y + b.y}; }
inline V operator-(V a, V b) { return {a.x - b.x, a.y - b.y}; }
inline V operator*(V a, double k) { return {a.x * k, a.y * k}; }
inline double length(V a) { return std::sqrt(a.x * a.x + a.y * a.y); }

constexpr double EPS = 1e-6;

struct Stroker {
    Path *out;
    double hw;       // half width
    int cap, join;
    double miter;    // miter limit, >= 1
    int status;      // first failure
    int dashes;      // dashes emitted, bounded by STROKE_MAX_DASHES
};

// Adds one closed polygon, reversed when its signed area is positive so
// that every piece winds the same way.
void add_polygon(Stroker &s, const V *pts, int n)
{
    if (s.status)
        return;
    double area = 0;
    for (int i = 0; i < n; i++) {
        const V &a = pts[i], &b = pts[(i + 1) % n];
        area += a.x * b.y - b.x * a.y;
    }
    float xy[2 * 17];
    for (int i = 0; i < n; i++) {
        const V &p = area > 0 ? pts[n - 1 - i] : pts[i];
        xy[2 * i] = float(p.x);
        xy[2 * i + 1] = float(p.y);
    }
    s.status = path_add_polygon(s.out, xy, n);
}

void add_circle(Stroker &s, V c, double r)
{
    V pts[17];
    pts[0] = {c.x + r, c.y};
    for (int i = 1; i <= 16; i++) {
        double a = i * (-2 * std::numbers::pi / 16);
        pts[i] = {c.x + r * std::cos(a), c.y + r * std::sin(a)};
    }
    add_polygon(s, pts, 17);
}

// Join at p between the incoming direction d1 and the outgoing d2 (unit vectors).
void add_join(Stroker &s, V p, V d1, V d2)
{
    if (s.join == 1) {
        add_circle(s, p, s.hw);
        return;
    }
    double cross = d1.x * d2.y - d1.y * d2.x;
    if (std::fabs(cross) < EPS)
        return;
    V na = V{-d1.y, d1.x} * s.hw, nb = V{-d2.y, d2.x} * s.hw;
    if (cross > 0) {
        na = na * -1;
        nb = nb * -1;
    }
    V tri[3] = {p, p + na, p + nb};
    add_polygon(s, tri, 3);
    if (s.join != 0)
        return;
    V m = na + nb;
    double m2 = m.x * m.x + m.y * m.y;
    if (!(m2 > 1e-12))
        return;
    V u = m * (1 / std::sqrt(m2));
    double c = (u.x * na.x + u.y * na.y) / s.hw;
    if (c < EPS)
        return;
    double l = s.hw / c;
    if (s.miter * s.hw < l)
        return;  // beyond the limit: the bevel alone
    V quad[4] = {p + na, p + u * l, p + nb, p};
    add_polygon(s, quad, 4);
}

// Cap at end point p with outward unit direction d.
void add_cap(Stroker &s, V p, V d)
{
    if (s.cap == 1) {
        add_circle(s, p, s.hw);
    } else if (s.cap == 2) {
        V n = V{-d.y, d.x} * s.hw, e = d * s.hw;
        V quad[4] = {p + n, p + n + e, p - n + e, p - n};
        add_polygon(s, quad, 4);
    }
}

void add_segment(Stroker &s, V a, V b)
{
    V d = b - a;
    double len = length(d);
    if (!(len >= EPS))
        return;
    V n = V{-d.y, d.x} * (s.hw / len);
    V quad[4] = {a + n, b + n, b - n, a - n};
    add_polygon(s, quad, 4);
}

// Strokes points p[0..n) (consecutive duplicates already removed).
void stroke_polyline(Stroker &s, const V *p, int n, bool closed)
{
    if (n == 1) {
        // A degenerate subpath (one point, or all points equal) shows as a
        // dot with round caps only.
        if (s.cap == 1)
            add_circle(s, p[0], s.hw);
        return;
    }
    if (n < 2)
        return;
    for (int i = 0; i + 1 < n; i++)
        add_segment(s, p[i], p[i + 1]);
    if (closed)
        add_segment(s, p[n - 1], p[0]);
    auto dir = [](V a, V b, V *d) {
        V v = b - a;
        double len = length(v);
        if (!(len > EPS))
            return false;
        *d = v * (1 / len);
        return true;
    };
    V d1, d2;
    for (int i = 1; i + 1 < n; i++)
        if (dir(p[i - 1], p[i], &d1) && dir(p[i], p[i + 1], &d2))
            add_join(s, p[i], d1, d2);
    if (closed) {
        if (dir(p[n - 1], p[0], &d1) && dir(p[0], p[1], &d2))
            add_join(s, p[0], d1, d2);
        if (dir(p[n - 2], p[n - 1], &d1) && dir(p[n - 1], p[0], &d2))
            add_join(s, p[n - 1], d1, d2);
    } else {
        if (dir(p[1], p[0], &d1))
            add_cap(s, p[0], d1);
        if (dir(p[n - 2], p[n - 1], &d2))
            add_cap(s, p[n - 1], d2);
    }
}

// Dash state: index into the pattern, whether it is "on", what is left of it.
struct Dash {
    const double *len;
    int count;
    int index;
    double left;
};

void stroke_dashed(Stroker &s, const V *p, int n, bool closed, Dash dash, V *buf)
{
    if (n == 1) {
        if (dash.index % 2 == 0)
            stroke_polyline(s, p, 1, false);
        return;
    }
    int segments = closed ? n : n - 1;
    int m = 0;  // points of the current "on" stretch
    for (int i = 0; i < segments && !s.status; i++) {
        V a = p[i], b = p[(i + 1) % n];
        V d = b - a;
        double len = length(d);
        if (!(len >= EPS))
            continue;
        V u = d * (1 / len);
        double pos = 0;
        while (pos < len && !s.status) {
            bool on = dash.index % 2 == 0;
            double step = dash.left < len - pos ? dash.left : len - pos;
            if (on && m == 0)
                buf[m++] = a + u * pos;
            double next = pos + step;
            if (!(next > pos))
                next = len;  // no progress at this magnitude: finish the segment
            pos = next;
            dash.left -= step;
            if (on)
                buf[m++] = pos >= len ? b : a + u * pos;
            if (dash.left <= 0) {
                if (on) {
                    stroke_polyline(s, buf, m, false);
                    m = 0;
                    if (++s.dashes > STROKE_MAX_DASHES)
                        s.status = -3;
                }
                dash.index = (dash.index + 1) % dash.count;
                dash.left = dash.len[dash.index];
            }
        }
    }
    if (m >= 2 && !s.status)
        stroke_polyline(s, buf, m, false);
}

}  // namespace

int stroke_outline(const Path *path, const GraphicsState *gs, float device_width, Path *out)
{
    double w = device_width;
    if (!(w >= STROKE_MIN_WIDTH))
        w = STROKE_MIN_WIDTH;
    Stroker s = {out, w * 0.5, gs->line_cap, gs->line_join, gs->miter_limit, 0, 0};
    if (!(s.miter > 1.0))
        s.miter = 1.0;

    // Dash lengths in device pixels, and the pattern position after the phase.
    double scale = std::sqrt(std::fabs(double(gs->ctm[0]) * gs->ctm[3] - double(gs->ctm[1]) * gs->ctm[2]));
    double lens[GS_MAX_DASH];
    int dash_count = gs->dash_count < 0 ? 0 : gs->dash_count > GS_MAX_DASH ? GS_MAX_DASH : gs->dash_count;
    double total = 0;
    for (int i = 0; i < dash_count; i++) {
        lens[i] = gs->dash[i] * scale;
        if (!(lens[i] >= 0.01))
            lens[i] = 0.01;
        total += lens[i];
    }
    Dash start = {lens, dash_count, 0, 0};
    if (dash_count > 0 && std::isfinite(total) && total > 0) {
        double phase = gs->dash_phase * scale;
        // Whole pattern repeats are skipped at once so a huge phase costs nothing.
        phase = std::isfinite(phase) ? std::fmod(phase, total) : 0;
        if (phase < 0)
            phase += total;
        while (phase >= lens[start.index]) {
            phase -= lens[start.index];
            start.index = (start.index + 1) % dash_count;
        }
        start.left = lens[start.index] - phase;
    } else {
        dash_count = 0;
    }

    for (int k = 0; k < path->count && !s.status; k++) {
        const SubPath &sp = path->subpaths[k];
        if (sp.count <= 0)
            continue;
        // Points without consecutive repeats (a closed subpath also loses a
        // last point equal to its first), so every vertex gets its join.
        auto *pts = static_cast<V *>(arena_alloc(out->arena, sizeof(V) * (size_t(sp.count) + 2)));
        if (!pts)
            return -3;
        int n = 0;
        for (int i = 0; i < sp.count; i++) {
            V v = {sp.points[2 * i], sp.points[2 * i + 1]};
            if (n && std::fabs(v.x - pts[n - 1].x) < EPS && std::fabs(v.y - pts[n - 1].y) < EPS)
                continue;
            pts[n++] = v;
        }
        if (sp.closed && n > 1 && std::fabs(pts[n - 1].x - pts[0].x) < EPS &&
            std::fabs(pts[n - 1].y - pts[0].y) < EPS)
            n--;
        if (dash_count) {
            auto *buf = static_cast<V *>(arena_alloc(out->arena, sizeof(V) * (size_t(n) + 2)));
            if (!buf)
                return -3;
            stroke_dashed(s, pts, n, sp.closed != 0, start, buf);
        } else {
            stroke_polyline(s, pts, n, sp.closed != 0);
        }
    }
    return s.status;
}

void stroke_path(RenderContext *ctx)
{
    if (ctx->text_only || !ctx->rasterizer || !ctx->gs)
        return;
    const GraphicsState *gs = ctx->gs;
    const float *m = gs->ctm;
    float width = float(gs->line_width * std::sqrt(std::fabs(double(m[0]) * m[3] - double(m[1]) * m[2])));
    Path outline;
    path_init(&outline, ctx->arena);
    if (stroke_outline(&ctx->path, gs, width, &outline) == 0)
        fill_path(ctx, &outline, 0, gs->stroke_rgb, gs->stroke_alpha);
}
