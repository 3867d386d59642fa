// Device-space paths: building subpaths, flattening cubic Bezier curves by
// recursive halving (de Casteljau), and recognising axis-aligned rectangles.
#include "render/path.h"

#include <cmath>
#include <cstring>

#include "render/limits.h"

void path_init(Path *path, Arena *arena)
{
    std::memset(path, 0, sizeof *path);
    path->arena = arena;
}

void path_reset(Path *path)
{
    path->subpaths = nullptr;
    path->count = 0;
    path->capacity = 0;
    path->open = 0;
    path->total_points = 0;
}

namespace {

// Room for one more subpath record.
bool grow_subpaths(Path *p)
{
    if (p->count < p->capacity)
        return true;
    int cap = p->capacity ? p->capacity * 2 : PATH_FIRST_SUBPATHS;
    if (cap <= p->capacity)
        return false;
    auto *s = static_cast<SubPath *>(arena_alloc(p->arena, sizeof(SubPath) * size_t(cap)));
    if (!s)
        return false;
    if (p->count)
        std::memcpy(s, p->subpaths, sizeof(SubPath) * size_t(p->count));
    p->subpaths = s;
    p->capacity = cap;
    return true;
}

bool append_point(Path *p, SubPath *s, float x, float y)
{
    if (p->total_points >= PATH_MAX_POINTS)
        return false;
    if (2 * s->count + 2 > s->capacity) {
        int cap = s->capacity ? s->capacity * 2 : PATH_FIRST_FLOATS;
        auto *pts = static_cast<float *>(arena_alloc(p->arena, sizeof(float) * size_t(cap)));
        if (!pts)
            return false;
        if (s->count)
            std::memcpy(pts, s->points, sizeof(float) * 2 * size_t(s->count));
        s->points = pts;
        s->capacity = cap;
    }
    s->points[2 * s->count] = x;
    s->points[2 * s->count + 1] = y;
    s->count++;
    p->total_points++;
    return true;
}

// What a failed operation restores.
struct PathMark {
    int count, last_points, total_points, open;
    float cur_x, cur_y, start_x, start_y;
};

PathMark path_mark(const Path *p)
{
    return {p->count, p->count ? p->subpaths[p->count - 1].count : 0, p->total_points, p->open,
            p->cur_x, p->cur_y, p->start_x, p->start_y};
}

int path_restore(Path *p, const PathMark &m)
{
    p->count = m.count;
    if (m.count)
        p->subpaths[m.count - 1].count = m.last_points;
    p->total_points = m.total_points;
    p->open = m.open;
    p->cur_x = m.cur_x;
    p->cur_y = m.cur_y;
    p->start_x = m.start_x;
    p->start_y = m.start_y;
    return -3;
}

int move_to(Path *p, float x, float y)
{
    if (!grow_subpaths(p))
        return -3;
    SubPath *s = &p->subpaths[p->count];
    std::memset(s, 0, sizeof *s);
    if (!append_point(p, s, x, y))
        return -3;
    p->count++;
    p->cur_x = p->start_x = x;
    p->cur_y = p->start_y = y;
    p->open = 1;
    return 0;
}

struct Pt {
    double x, y;
};

// True when the control points p1, p2 lie close enough to the chord p0-p3
// (or, for a loop back to its start, to p0). A NaN anywhere makes it true,
// which stops the subdivision at once.
bool flat_enough(const Pt &p0, const Pt &p1, const Pt &p2, const Pt &p3)
{
    double dx = p3.x - p0.x, dy = p3.y - p0.y;
    double chord2 = dx * dx + dy * dy;
    if (chord2 < 1e-12) {
        double d1 = (p1.x - p0.x) * (p1.x - p0.x) + (p1.y - p0.y) * (p1.y - p0.y);
        double d2 = (p2.x - p0.x) * (p2.x - p0.x) + (p2.y - p0.y) * (p2.y - p0.y);
        return !(d1 + d2 > 0.05);
    }
    double c1 = std::fabs((p1.x - p0.x) * dy - (p1.y - p0.y) * dx);
    double c2 = std::fabs((p2.x - p0.x) * dy - (p2.y - p0.y) * dx);
    return !((c1 + c2) * (c1 + c2) > 0.1 * chord2);
}

// Whether the control points arc[0..3] all lie beyond one side of `keep`.
bool beyond(const Pt *arc, const float *keep)
{
    if (!keep)
        return false;
    bool left = true, top = true, right = true, bottom = true;
    for (int i = 0; i < 4; i++) {
        left = left && arc[i].x < keep[0];
        top = top && arc[i].y < keep[1];
        right = right && arc[i].x > keep[2];
        bottom = bottom && arc[i].y > keep[3];
    }
    return left || top || right || bottom;
}

// Appends the flattened curve p0..p3 without p0: recursive halving (de
// Casteljau at t = 0.5, first half first) to at most PATH_FLATTEN_DEPTH
// levels, run on an explicit stack. Each stack frame holds a curve's points
// end first, so halving one frame leaves the first half on top. Pieces
// beyond `keep` are not halved.
bool flatten(Path *path, SubPath *s, Pt p0, Pt p1, Pt p2, Pt p3, const float *keep)
{
    Pt stack[3 * PATH_FLATTEN_DEPTH + 4];
    int depth[PATH_FLATTEN_DEPTH + 1];
    Pt *arc = stack;
    arc[0] = p3;
    arc[1] = p2;
    arc[2] = p1;
    arc[3] = p0;
    int top = 0;
    depth[0] = 0;
    for (;;) {
        if (depth[top] >= PATH_FLATTEN_DEPTH || flat_enough(arc[3], arc[2], arc[1], arc[0]) || beyond(arc, keep)) {
            if (!append_point(path, s, float(arc[0].x), float(arc[0].y)))
                return false;
            if (top == 0)
                return true;
            top--;
            arc -= 3;
            continue;
        }
        // Halve: arc[0..3] (end first) becomes arc[0..3] = second half and
        // arc[3..6] = first half.
        Pt e = arc[0], c2 = arc[1], c1 = arc[2], b = arc[3];
        Pt a = {(b.x + c1.x) * 0.5, (b.y + c1.y) * 0.5};
        Pt m = {(c1.x + c2.x) * 0.5, (c1.y + c2.y) * 0.5};
        Pt c = {(c2.x + e.x) * 0.5, (c2.y + e.y) * 0.5};
        Pt am = {(a.x + m.x) * 0.5, (a.y + m.y) * 0.5};
        Pt mc = {(m.x + c.x) * 0.5, (m.y + c.y) * 0.5};
        Pt mid = {(am.x + mc.x) * 0.5, (am.y + mc.y) * 0.5};
        arc[6] = b;
        arc[5] = a;
        arc[4] = am;
        arc[3] = mid;
        arc[2] = mc;
        arc[1] = c;
        arc[0] = e;
        int d = depth[top] + 1;
        depth[top] = d;
        depth[++top] = d;
        arc += 3;
    }
}

}  // namespace

int path_move_to(Path *path, float x, float y)
{
    PathMark m = path_mark(path);
    return move_to(path, x, y) == 0 ? 0 : path_restore(path, m);
}

int path_line_to(Path *path, float x, float y)
{
    if (!path->count || !path->open)
        return path_move_to(path, x, y);
    PathMark m = path_mark(path);
    if (!append_point(path, &path->subpaths[path->count - 1], x, y))
        return path_restore(path, m);
    path->cur_x = x;
    path->cur_y = y;
    return 0;
}

int path_curve_to(Path *path, float x1, float y1, float x2, float y2, float x3, float y3, const float *keep)
{
    PathMark m = path_mark(path);
    if ((!path->count || !path->open) && move_to(path, x1, y1) != 0)
        return path_restore(path, m);
    Pt p0 = {path->cur_x, path->cur_y};
    if (!flatten(path, &path->subpaths[path->count - 1], p0, {x1, y1}, {x2, y2}, {x3, y3}, keep))
        return path_restore(path, m);
    path->cur_x = x3;
    path->cur_y = y3;
    return 0;
}

int path_close(Path *path)
{
    if (!path->count || !path->subpaths[path->count - 1].count)
        return 0;
    path->subpaths[path->count - 1].closed = 1;
    path->cur_x = path->start_x;
    path->cur_y = path->start_y;
    return 0;
}

int path_add_polygon(Path *path, const float *xy, int n)
{
    if (n <= 0)
        return 0;
    if (n > PATH_MAX_POINTS - path->total_points || !grow_subpaths(path))
        return -3;
    auto *pts = static_cast<float *>(arena_alloc(path->arena, sizeof(float) * 2 * size_t(n)));
    if (!pts)
        return -3;
    std::memcpy(pts, xy, sizeof(float) * 2 * size_t(n));
    SubPath *s = &path->subpaths[path->count++];
    s->points = pts;
    s->count = n;
    s->capacity = 2 * n;
    s->closed = 1;
    path->total_points += n;
    path->cur_x = path->start_x = xy[0];
    path->cur_y = path->start_y = xy[1];
    path->open = 1;
    return 0;
}

int path_add_box(Path *path, const float m[6], const float box[4])
{
    const float xs[4] = {box[0], box[2], box[2], box[0]};
    const float ys[4] = {box[1], box[1], box[3], box[3]};
    float xy[8];
    for (int i = 0; i < 4; i++) {
        xy[2 * i] = m[0] * xs[i] + m[2] * ys[i] + m[4];
        xy[2 * i + 1] = m[1] * xs[i] + m[3] * ys[i] + m[5];
    }
    return path_add_polygon(path, xy, 4);
}

bool path_bounds(const Path *path, float *min_x, float *min_y, float *max_x, float *max_y)
{
    bool any = false;
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (int i = 0; i < path->count; i++) {
        const SubPath &s = path->subpaths[i];
        for (int k = 0; k < s.count; k++) {
            float x = s.points[2 * k], y = s.points[2 * k + 1];
            if (x != x || y != y)
                continue;
            if (!any) {
                x0 = x1 = x;
                y0 = y1 = y;
                any = true;
                continue;
            }
            x0 = x < x0 ? x : x0;
            x1 = x > x1 ? x : x1;
            y0 = y < y0 ? y : y0;
            y1 = y > y1 ? y : y1;
        }
    }
    *min_x = x0;
    *min_y = y0;
    *max_x = x1;
    *max_y = y1;
    return any;
}

bool path_is_rectangle(const Path *path, float *min_x, float *min_y, float *max_x, float *max_y)
{
    if (path->count != 1)
        return false;
    const SubPath &s = path->subpaths[0];
    const float *p = s.points;
    if (s.count != 4 && !(s.count == 5 && p[8] == p[0] && p[9] == p[1]))
        return false;
    float x0 = p[0], x1 = p[0], y0 = p[1], y1 = p[1];
    for (int i = 1; i < 4; i++) {
        x0 = p[2 * i] < x0 ? p[2 * i] : x0;
        x1 = p[2 * i] > x1 ? p[2 * i] : x1;
        y0 = p[2 * i + 1] < y0 ? p[2 * i + 1] : y0;
        y1 = p[2 * i + 1] > y1 ? p[2 * i + 1] : y1;
    }
    for (int i = 0; i < 4; i++) {
        float x = p[2 * i], y = p[2 * i + 1];
        float nx = p[2 * ((i + 1) & 3)], ny = p[2 * ((i + 1) & 3) + 1];
        if ((x != x0 && x != x1) || (y != y0 && y != y1))
            return false;  // also rejects NaN
        // A bow tie has its corners at the extremes too, but diagonal edges.
        if (x != nx && y != ny)
            return false;
    }
    *min_x = x0;
    *min_y = y0;
    *max_x = x1;
    *max_y = y1;
    return true;
}
