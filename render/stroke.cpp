// Stroking: every segment becomes a quadrilateral, every vertex a join
// triangle (plus a miter quadrilateral or a round disc), every open end a
// cap; all pieces are oriented alike so that a nonzero fill gives their union.
// The outline is built in pen space, where the pen is the unit disc, and
// mapped to the device by the pen matrix: the user-space disc of the line
// width under the CTM, so a skewed or non-uniform CTM gives the line the
// shape it has in user space. Dash patterns follow the PDF Reference,
// section 4.3.2, measured in user space.
#include "render/stroke.h"

#include <algorithm>
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

// A linear map in the CTM's layout: x' = m[0] x + m[2] y, y' = m[1] x + m[3] y.
inline V apply(const double m[4], V v) { return {m[0] * v.x + m[2] * v.y, m[1] * v.x + m[3] * v.y}; }

bool invert(const double m[4], double out[4])
{
    double det = m[0] * m[3] - m[1] * m[2];
    if (det == 0 || !std::isfinite(det))
        return false;
    const double r[4] = {m[3] / det, -m[1] / det, -m[2] / det, m[0] / det};
    for (double v : r)
        if (!std::isfinite(v))
            return false;
    std::memcpy(out, r, sizeof r);
    return true;
}

constexpr double EPS = 1e-6;

// The pen: the disc of the line width in user space as the CTM maps it, an
// ellipse. Where one of its diameters is below STROKE_MIN_WIDTH it is widened
// to that along this axis only, so hairlines stay visible without thickening
// the direction in which the line is already wide enough.
struct Pen {
    double to_device[4];    // pen space (unit disc) -> device
    double from_device[4];  // device -> pen space
    double to_user[4];      // pen space -> user space, where dashes are measured
    double user_floor;      // smallest user length that matters on the device
};

bool make_pen(const float ctm[6], float line_width, Pen *pen)
{
    const double m[4] = {ctm[0], ctm[1], ctm[2], ctm[3]};
    double hw = line_width > 0 ? double(line_width) * 0.5 : 0;
    // Singular values of the CTM from M Mt = [p q; q r].
    double p = m[0] * m[0] + m[2] * m[2], q = m[0] * m[1] + m[2] * m[3], r = m[1] * m[1] + m[3] * m[3];
    double s1 = std::sqrt((p + r) * 0.5 + std::hypot((p - r) * 0.5, q));
    double det = std::fabs(m[0] * m[3] - m[1] * m[2]);
    double s2 = s1 > 0 ? det / s1 : 0;
    const double h0 = STROKE_MIN_WIDTH * 0.5;
    bool exact = hw * s2 >= h0;
    if (exact) {
        for (int i = 0; i < 4; i++)
            pen->to_device[i] = hw * m[i];
    } else {
        // The symmetric form of the pen ellipse (axes along the eigenvectors
        // of M Mt), which outlines the same shape as hw * M; each semi-axis
        // raised to h0.
        double theta = 0.5 * std::atan2(2 * q, p - r);
        double c = std::cos(theta), s = std::sin(theta);
        double e1 = std::max(hw * s1, h0), e2 = std::max(hw * s2, h0);
        pen->to_device[0] = e1 * c * c + e2 * s * s;
        pen->to_device[3] = e1 * s * s + e2 * c * c;
        pen->to_device[1] = pen->to_device[2] = (e1 - e2) * c * s;
    }
    if (!invert(pen->to_device, pen->from_device))
        return false;
    double m_inv[4];
    if (exact) {
        const double t[4] = {hw, 0, 0, hw};
        std::memcpy(pen->to_user, t, sizeof t);
    } else if (invert(m, m_inv)) {
        const double *l = pen->to_device;
        pen->to_user[0] = m_inv[0] * l[0] + m_inv[2] * l[1];
        pen->to_user[1] = m_inv[1] * l[0] + m_inv[3] * l[1];
        pen->to_user[2] = m_inv[0] * l[2] + m_inv[2] * l[3];
        pen->to_user[3] = m_inv[1] * l[2] + m_inv[3] * l[3];
    } else {
        // A CTM that flattens user space: lengths are device lengths over
        // the largest scale.
        double k = s1 > 0 ? 1 / s1 : 1;
        for (int i = 0; i < 4; i++)
            pen->to_user[i] = k * pen->to_device[i];
    }
    for (double v : pen->to_user)
        if (!std::isfinite(v))
            return false;
    pen->user_floor = s1 > 0 ? 0.01 / s1 : 0.01;
    return true;
}

struct Stroker {
    Path *out;
    const double *to_device;  // pen matrix
    int cap, join;
    double miter;  // miter limit, >= 1
    int status;    // first failure
    int dashes;    // dashes and gaps walked, bounded by STROKE_MAX_DASHES
};

// Adds one closed polygon (pen space), mapped to the device and reversed
// when its signed area there is positive, so that every piece winds the
// same way.
void add_polygon(Stroker &s, const V *pts, int n)
{
    if (s.status)
        return;
    V dev[17];
    double area = 0;
    for (int i = 0; i < n; i++)
        dev[i] = apply(s.to_device, pts[i]);
    for (int i = 0; i < n; i++) {
        const V &a = dev[i], &b = dev[(i + 1) % n];
        area += a.x * b.y - b.x * a.y;
    }
    float xy[2 * 17];
    for (int i = 0; i < n; i++) {
        const V &p = area > 0 ? dev[n - 1 - i] : dev[i];
        xy[2 * i] = float(p.x);
        xy[2 * i + 1] = float(p.y);
    }
    s.status = path_add_polygon(s.out, xy, n);
}

void add_disc(Stroker &s, V c)
{
    V pts[17];
    pts[0] = {c.x + 1, c.y};
    for (int i = 1; i <= 16; i++) {
        double a = i * (-2 * std::numbers::pi / 16);
        pts[i] = {c.x + std::cos(a), c.y + std::sin(a)};
    }
    add_polygon(s, pts, 17);
}

// Join at p between the incoming direction d1 and the outgoing d2 (unit vectors).
void add_join(Stroker &s, V p, V d1, V d2)
{
    if (s.join == 1) {
        add_disc(s, p);
        return;
    }
    double cross = d1.x * d2.y - d1.y * d2.x;
    if (std::fabs(cross) < EPS)
        return;
    V na = V{-d1.y, d1.x}, nb = V{-d2.y, d2.x};
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
    double c = u.x * na.x + u.y * na.y;
    if (c < EPS)
        return;
    double l = 1 / c;
    if (s.miter < l)
        return;  // beyond the limit: the bevel alone
    V quad[4] = {p + na, p + u * l, p + nb, p};
    add_polygon(s, quad, 4);
}

// Cap at end point p with outward unit direction d. A dash of length zero
// gets both of its caps at once: `both` extends a square cap backwards too.
void add_cap(Stroker &s, V p, V d, bool both = false)
{
    if (s.cap == 1) {
        add_disc(s, p);
    } else if (s.cap == 2) {
        V n = V{-d.y, d.x}, back = both ? d : V{0, 0};
        V quad[4] = {p + n - back, p + n + d, p - n + d, p - n - back};
        add_polygon(s, quad, 4);
    }
}

void add_segment(Stroker &s, V a, V b)
{
    V d = b - a;
    double len = length(d);
    if (!(len >= EPS))
        return;
    V n = V{-d.y, d.x} * (1 / len);
    V quad[4] = {a + n, b + n, b - n, a - n};
    add_polygon(s, quad, 4);
}

// Strokes points p[0..n) (pen space, consecutive duplicates already removed).
void stroke_polyline(Stroker &s, const V *p, int n, bool closed)
{
    if (n == 1) {
        // A degenerate subpath (one point, or all points equal) shows as a
        // dot with round caps only.
        if (s.cap == 1)
            add_disc(s, p[0]);
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

// Dash state: the pattern (user-space lengths), the current entry, whether
// it is "on", and what is left of it. "On" flips at every entry, so an
// odd-length pattern repeats with dashes and gaps swapped.
struct Dash {
    const double *len;
    int count;
    int index;
    bool on;
    double left;
};

void next_entry(Stroker &s, Dash &dash)
{
    dash.index = dash.index + 1 == dash.count ? 0 : dash.index + 1;
    dash.on = !dash.on;
    dash.left = dash.len[dash.index];
    if (++s.dashes > STROKE_MAX_DASHES)
        s.status = -3;
}

// Strokes p[0..n) (pen space) dashed; `to_user` measures pen-space vectors
// in user space. buf holds the points of one dash (n + 2 at most).
void stroke_dashed(Stroker &s, const V *p, int n, bool closed, Dash dash, const double to_user[4],
                   V *buf)
{
    if (n == 1) {
        if (dash.on)
            stroke_polyline(s, p, 1, false);
        return;
    }
    int segments = closed ? n : n - 1;
    int m = 0;  // points of the current dash
    for (int i = 0; i < segments && !s.status; i++) {
        V a = p[i], b = p[i + 1 == n ? 0 : i + 1];
        V d = b - a;
        double len = length(apply(to_user, d));  // user space
        double pen_len = length(d);
        if (!(len > 0) || !std::isfinite(len) || !(pen_len >= EPS))
            continue;
        V step_dir = d * (1 / len), unit = d * (1 / pen_len);
        double pos = 0;
        for (;;) {
            // Entries that end here: finish the dash, draw zero-length dashes.
            while (dash.left <= 0 && !s.status) {
                if (dash.on) {
                    if (m == 0)
                        add_cap(s, a + step_dir * pos, unit, true);
                    else
                        stroke_polyline(s, buf, m, false);
                    m = 0;
                }
                next_entry(s, dash);
            }
            if (pos >= len || s.status)
                break;
            double step = std::min(dash.left, len - pos);
            if (dash.on && m == 0)
                buf[m++] = a + step_dir * pos;
            double next = pos + step;
            if (!(next > pos))
                next = len;  // no progress at this magnitude: finish the segment
            pos = next;
            dash.left -= step;
            if (dash.on)
                buf[m++] = pos >= len ? b : a + step_dir * pos;
        }
    }
    if (m >= 2 && !s.status)
        stroke_polyline(s, buf, m, false);
}

}  // namespace

int stroke_outline(const Path *path, const GraphicsState *gs, Path *out)
{
    Pen pen;
    if (!make_pen(gs->ctm, gs->line_width, &pen))
        return 0;  // an infinite or collapsed pen draws nothing
    Stroker s = {out, pen.to_device, gs->line_cap, gs->line_join, gs->miter_limit, 0, 0};
    if (!(s.miter > 1.0))
        s.miter = 1.0;

    // The dash pattern in user space and its position after the phase.
    // Negative entries count as zero; a pattern without length is solid.
    double lens[GS_MAX_DASH];
    int dash_count = std::clamp(gs->dash_count, 0, GS_MAX_DASH);
    double total = 0;
    for (int i = 0; i < dash_count; i++) {
        lens[i] = gs->dash[i] > 0 ? double(gs->dash[i]) : 0;
        total += lens[i];
    }
    Dash start = {lens, dash_count, 0, true, 0};
    if (dash_count > 0 && std::isfinite(total) && total >= pen.user_floor) {
        // Whole periods are skipped at once so a huge phase costs nothing;
        // an odd pattern's period is twice its length (on and off swap).
        double period = dash_count % 2 ? 2 * total : total;
        double phase = std::isfinite(gs->dash_phase) ? std::fmod(double(gs->dash_phase), period) : 0;
        if (phase < 0)
            phase += period;
        // An entry the phase reaches the end of is passed; a zero-length one
        // only when the phase lies beyond it, so a pattern starting with a
        // zero-length dash draws it at the start.
        int walked = 0;
        while (walked < 2 * dash_count &&
               (phase > lens[start.index] || (phase == lens[start.index] && phase > 0))) {
            phase -= lens[start.index];
            start.index = (start.index + 1) % dash_count;
            start.on = !start.on;
            walked++;
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
        // last point equal to its first), so every vertex gets its join;
        // then mapped to pen space.
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
        for (int i = 0; i < n; i++)
            pts[i] = apply(pen.from_device, pts[i]);
        if (dash_count) {
            auto *buf = static_cast<V *>(arena_alloc(out->arena, sizeof(V) * (size_t(n) + 2)));
            if (!buf)
                return -3;
            stroke_dashed(s, pts, n, sp.closed != 0, start, pen.to_user, buf);
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
    Path outline;
    path_init(&outline, ctx->arena);
    if (stroke_outline(&ctx->path, ctx->gs, &outline) == 0)
        fill_path(ctx, &outline, 0, ctx->gs->stroke_rgb, ctx->gs->stroke_alpha);
}
