// Anti-aliasing scan converter. Edges are walked through the pixel grid in
// 26.6 fixed point; each touched cell collects the signed height an edge
// crosses in it (cover) and twice the area to the edge's right (area), so a
// sweep with a running cover sum yields exact-area coverage per pixel.
#include "render/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "render/limits.h"

namespace {

constexpr int ONE = 64;  // fixed-point units per pixel

// Cells may collect more than 2^31 in pathological paths (a million edges
// through one pixel); wrapping keeps that defined.
inline int wrap_add(int a, int b) { return int(unsigned(a) + unsigned(b)); }

// The constant-coverage buffer for interior runs and the value it holds.
uint8_t g_span_fill[RASTER_SPAN_MAX];
int g_span_fill_value = 0;

void record_cell(Rasterizer *r)
{
    if (!r->cell_valid || (!r->cover && !r->area))
        return;
    unsigned row = unsigned(r->cell_y - r->y0);
    if (row >= unsigned(r->rows) || r->cell_x >= r->x1)
        return;
    // Cells are pushed unmerged; the sweep sorts a row and merges equal x.
    if (r->cell_count == r->cell_capacity) {
        int cap = r->cell_capacity ? r->cell_capacity * 2 : RASTER_FIRST_CELLS;
        if (cap > RASTER_MAX_CELLS) {
            r->error = 1;
            return;
        }
        auto *cells = static_cast<RasterCell *>(std::realloc(r->cells, sizeof(RasterCell) * size_t(cap)));
        if (!cells) {
            r->error = 1;
            return;
        }
        r->cells = cells;
        r->cell_capacity = cap;
    }
    RasterCell *c = &r->cells[r->cell_count];
    c->x = r->cell_x;
    c->cover = r->cover;
    c->area = r->area;
    c->next = r->row_heads[row];
    r->row_heads[row] = r->cell_count++;
}

inline void set_cell(Rasterizer *r, int ex, int ey)
{
    if (ex != r->cell_x || ey != r->cell_y || !r->cell_valid) {
        record_cell(r);
        r->cell_x = ex;
        r->cell_y = ey;
        r->cover = 0;
        r->area = 0;
        r->cell_valid = 1;
        if (++r->steps > RASTER_MAX_STEPS)
            r->error = 1;
    }
}

inline void add_cell(Rasterizer *r, int area, int cover)
{
    r->area = wrap_add(r->area, area);
    r->cover = wrap_add(r->cover, cover);
}

// Floor division of p by a positive d, with the remainder in [0, d).
inline void floor_div(int p, int d, int *q, int *rem)
{
    *q = p / d;
    *rem = p % d;
    if (*rem < 0) {
        (*q)--;
        *rem += d;
    }
}

// One piece inside row ey, from (x1, fy1) to (x2, fy2); fy are fractions of the row.
void walk_row(Rasterizer *r, int ey, int x1, int fy1, int x2, int fy2)
{
    int ex1 = x1 >> 6, ex2 = x2 >> 6;
    int fx1 = x1 & (ONE - 1), fx2 = x2 & (ONE - 1);
    if (fy1 == fy2) {
        set_cell(r, ex2, ey);
        return;
    }
    int dy = fy2 - fy1;
    if (ex1 == ex2) {
        add_cell(r, (fx1 + fx2) * dy, dy);
        return;
    }
    int dx = x2 - x1, p, first, incr;
    if (dx > 0) {
        p = (ONE - fx1) * dy;
        first = ONE;
        incr = 1;
    } else {
        p = fx1 * dy;
        first = 0;
        incr = -1;
        dx = -dx;
    }
    int delta, mod;
    floor_div(p, dx, &delta, &mod);
    add_cell(r, (fx1 + first) * delta, delta);
    int y = fy1 + delta;
    ex1 += incr;
    set_cell(r, ex1, ey);
    if (ex1 != ex2) {
        int lift, rem;
        floor_div(ONE * dy, dx, &lift, &rem);
        mod -= dx;
        while (ex1 != ex2 && !r->error) {
            delta = lift;
            mod += rem;
            if (mod >= 0) {
                mod -= dx;
                delta++;
            }
            add_cell(r, ONE * delta, delta);
            y += delta;
            ex1 += incr;
            set_cell(r, ex1, ey);
        }
    }
    delta = fy2 - y;
    add_cell(r, (fx2 + ONE - first) * delta, delta);
}

// Floor division of a 64-bit p by a positive d.
inline int64_t floor_div64(int64_t p, int64_t d)
{
    int64_t q = p / d;
    return (p % d < 0) ? q - 1 : q;
}

// One edge in fixed point, clipped to x >= x0 - 1. The edge is stepped
// through every row it crosses as if the rows were unbounded; rows outside
// the bounds are skipped in closed form, so the coverage of a visible row
// does not depend on where the bounds lie (a band equals the same rows of
// the whole page).
void walk_line(Rasterizer *r, int x1, int y1, int x2, int y2)
{
    int ey1 = y1 >> 6, ey2 = y2 >> 6;
    int fy1 = y1 & (ONE - 1), fy2 = y2 & (ONE - 1);
    if (ey1 == ey2) {
        if (ey1 >= r->y0 && ey1 < r->y1) {
            set_cell(r, x1 >> 6, ey1);
            walk_row(r, ey1, x1, fy1, x2, fy2);
        }
        return;
    }
    int dx = x2 - x1, dy = y2 - y1;
    int first = ONE, incr = 1;
    if (dy < 0) {
        first = 0;
        incr = -1;
        dy = -dy;
    }
    // Rows are numbered 0 (ey1) .. n (ey2) in walking order; lo .. hi are visible.
    int n = incr > 0 ? ey2 - ey1 : ey1 - ey2;
    int lo = incr > 0 ? r->y0 - ey1 : ey1 - (r->y1 - 1);
    int hi = incr > 0 ? r->y1 - 1 - ey1 : ey1 - r->y0;
    lo = std::max(lo, 0);
    hi = std::min(hi, n);
    if (lo > hi)
        return;
    if (dx == 0) {
        int ex = x1 >> 6;
        int two_fx = (x1 - ex * ONE) * 2;
        for (int i = lo; i <= hi && !r->error; i++) {
            int delta = i == 0 ? first - fy1 : i == n ? fy2 - ONE + first : first + first - ONE;
            set_cell(r, ex, ey1 + i * incr);
            add_cell(r, two_fx * delta, delta);
        }
        return;
    }
    // The edge leaves row k (k < n) at x1 + floor((p + k * 64 * dx) / dy).
    const int64_t p = int64_t(incr > 0 ? ONE - fy1 : fy1) * dx;
    const int64_t step = int64_t(ONE) * dx;
    int lift, rem;
    floor_div(ONE * dx, dy, &lift, &rem);
    int64_t at = p + int64_t(lo) * step;  // numerator of the exit of row lo
    int x_out = lo < n ? int(x1 + floor_div64(at, dy)) : x2;
    int mod = int(at - floor_div64(at, dy) * dy);  // in [0, dy)
    int x_in = lo == 0 ? x1 : int(x1 + floor_div64(at - step, dy));
    for (int i = lo; i <= hi && !r->error; i++) {
        int ey = ey1 + i * incr;
        int f_in = i == 0 ? fy1 : ONE - first;
        int f_out = i == n ? fy2 : first;
        int xo = i == n ? x2 : x_out;
        set_cell(r, x_in >> 6, ey);
        walk_row(r, ey, x_in, f_in, xo, f_out);
        x_in = xo;
        // Next exit, stepped like the division above.
        int delta = lift;
        mod += rem;
        if (mod >= dy) {
            mod -= dy;
            delta++;
        }
        x_out += delta;
    }
}

// Floor, so that moving an edge by whole pixels moves its fixed-point ends
// by exactly 64 units per pixel (truncation would differ for negative values).
inline int to_fixed(double v) { return int(std::floor(v * ONE)); }

inline double clamp_coord(double v)
{
    return v < -PATH_MAX_COORD ? -PATH_MAX_COORD : v > PATH_MAX_COORD ? PATH_MAX_COORD : v;
}

void add_fixed(Rasterizer *r, double x1, double y1, double x2, double y2)
{
    int fy1 = to_fixed(y1), fy2 = to_fixed(y2);
    if (fy1 != fy2)
        walk_line(r, to_fixed(x1), fy1, to_fixed(x2), fy2);
}

}  // namespace

Rasterizer *raster_create() { return static_cast<Rasterizer *>(std::calloc(1, sizeof(Rasterizer))); }

void raster_free(Rasterizer *r)
{
    if (!r)
        return;
    std::free(r->row_heads);
    std::free(r->cells);
    std::free(r);
}

int raster_reset(Rasterizer *r, int x0, int y0, int x1, int y1)
{
    r->rows = 0;
    r->cell_count = 0;
    r->cell_valid = 0;
    r->cover = r->area = 0;
    r->error = 0;
    r->steps = 0;
    r->x0 = x0;
    r->y0 = y0;
    r->x1 = x1;
    r->y1 = y1;
    auto out = [](int v) { return v < -RASTER_MAX_BOUND || v > RASTER_MAX_BOUND; };
    if (x0 >= x1 || y0 >= y1 || out(x0) || out(x1) || out(y0) || out(y1))
        return 0;
    int rows = y1 - y0;
    if (rows > r->row_capacity) {
        auto *heads = static_cast<int *>(std::malloc(sizeof(int) * size_t(rows)));
        if (!heads)
            return -3;
        std::free(r->row_heads);
        r->row_heads = heads;
        r->row_capacity = rows;
    }
    std::fill(r->row_heads, r->row_heads + rows, -1);
    r->rows = rows;
    return 0;
}

void raster_add_line(Rasterizer *r, double x1, double y1, double x2, double y2)
{
    if (r->error || r->rows == 0)
        return;
    if (std::isnan(x1) || std::isnan(y1) || std::isnan(x2) || std::isnan(y2))
        return;
    x1 = clamp_coord(x1);
    y1 = clamp_coord(y1);
    x2 = clamp_coord(x2);
    y2 = clamp_coord(y2);
    if ((y1 <= r->y0 && y2 <= r->y0) || (y1 >= r->y1 && y2 >= r->y1) || y1 == y2)
        return;
    // Ends far outside the rows are moved along the edge into a fixed
    // window (keeping fixed point in range); the walk skips the rest of the
    // invisible rows exactly.
    const double top = -RASTER_WALK_WINDOW, bottom = RASTER_WALK_WINDOW;
    double sx1 = x1, sy1 = y1, sx2 = x2, sy2 = y2;
    auto x_at = [&](double y) { return x1 + (x2 - x1) * ((y - y1) / (y2 - y1)); };
    if (sy1 < top)
        sx1 = x_at(top), sy1 = top;
    else if (sy1 > bottom)
        sx1 = x_at(bottom), sy1 = bottom;
    if (sy2 < top)
        sx2 = x_at(top), sy2 = top;
    else if (sy2 > bottom)
        sx2 = x_at(bottom), sy2 = bottom;

    // Split at the left and right bounds. What lies right of the bounds
    // cannot change a pixel and is dropped; what lies left is moved onto a
    // vertical edge in the column left of the bounds, which keeps its
    // winding while the visible part of the edge keeps its true slope.
    const double left = r->x0, right = r->x1;
    double ts[4];
    int n = 0;
    ts[n++] = 0;
    if ((sx1 < left) != (sx2 < left))
        ts[n++] = (left - sx1) / (sx2 - sx1);
    if ((sx1 > right) != (sx2 > right))
        ts[n++] = (right - sx1) / (sx2 - sx1);
    ts[n++] = 1;
    if (n == 4 && ts[1] > ts[2])
        std::swap(ts[1], ts[2]);
    double ax = sx1, ay = sy1;
    for (int i = 1; i < n; i++) {
        double t = ts[i];
        double bx = i == n - 1 ? sx2 : sx1 + (sx2 - sx1) * t;
        double by = i == n - 1 ? sy2 : sy1 + (sy2 - sy1) * t;
        double mid = (ax + bx) * 0.5;
        if (mid < left) {
            add_fixed(r, left - 1, ay, left - 1, by);
        } else if (mid <= right) {
            add_fixed(r, std::clamp(ax, left, right), ay, std::clamp(bx, left, right), by);
        }
        ax = bx;
        ay = by;
        if (r->error)
            return;
    }
}

void raster_add_path(Rasterizer *r, const Path *path)
{
    for (int i = 0; i < path->count && !r->error; i++) {
        const SubPath &s = path->subpaths[i];
        if (s.count < 2)
            continue;
        // Every subpath is closed for filling; points with a NaN are left out.
        double fx = 0, fy = 0, px = 0, py = 0;
        bool have = false;
        for (int k = 0; k < s.count; k++) {
            double x = s.points[2 * k], y = s.points[2 * k + 1];
            if (std::isnan(x) || std::isnan(y))
                continue;
            if (!have) {
                fx = px = x;
                fy = py = y;
                have = true;
                continue;
            }
            raster_add_line(r, px, py, x, y);
            px = x;
            py = y;
        }
        if (have)
            raster_add_line(r, px, py, fx, fy);
    }
}

namespace {

struct SortCell {
    int x, cover, area;
};

// Pixels of one row on their way to the span function: adjacent pixels and
// short runs are gathered into one call.
struct Emitter {
    RasterSpanFn fn;
    void *user;
    int y;
    int run_x, run_len;
    uint8_t run[RASTER_SPAN_MAX];

    void flush()
    {
        if (run_len)
            fn(user, y, run_x, run_len, run);
        run_len = 0;
    }
    void pixel(int x, uint8_t value)
    {
        if (run_len && (run_x + run_len != x || run_len == RASTER_SPAN_MAX))
            flush();
        if (!run_len)
            run_x = x;
        run[run_len++] = value;
    }
    void constant(int x, int length, uint8_t value)
    {
        if (run_len && run_x + run_len == x && length <= 64 && run_len + length <= RASTER_SPAN_MAX) {
            std::memset(run + run_len, value, size_t(length));
            run_len += length;
            return;
        }
        flush();
        if (length <= 64) {
            run_x = x;
            run_len = length;
            std::memset(run, value, size_t(length));
            return;
        }
        if (value != g_span_fill_value) {
            std::memset(g_span_fill, value, sizeof g_span_fill);
            g_span_fill_value = value;
        }
        while (length > 0) {
            int n = length < RASTER_SPAN_MAX ? length : RASTER_SPAN_MAX;
            fn(user, y, x, n, g_span_fill);
            x += n;
            length -= n;
        }
    }
};

inline int coverage_value(long long v, int rule)
{
    v >>= 5;
    if (rule == RASTER_EVEN_ODD) {
        v &= 511;
        if (v > 256)
            v = 512 - v;
        return v == 256 ? 255 : int(v);
    }
    if (v < 0)
        v = -v;
    return v >= 256 ? 255 : int(v);
}

void sort_row(SortCell *c, int n)
{
    if (n > 24) {
        std::sort(c, c + n, [](const SortCell &a, const SortCell &b) { return a.x < b.x; });
        return;
    }
    for (int i = 1; i < n; i++) {
        SortCell t = c[i];
        int j = i;
        while (j > 0 && c[j - 1].x > t.x) {
            c[j] = c[j - 1];
            j--;
        }
        c[j] = t;
    }
}

}  // namespace

int raster_sweep(Rasterizer *r, int fill_rule, RasterSpanFn fn, void *user)
{
    record_cell(r);
    r->cell_valid = 0;
    if (r->error)
        return -3;
    // Scratch for one row's cells; a row never holds more than the pool.
    SortCell local[256];
    SortCell *buf = local;
    int buf_cap = 256;
    Emitter e;
    e.fn = fn;
    e.user = user;
    e.run_len = 0;
    for (int row = 0; row < r->rows; row++) {
        int head = r->row_heads[row];
        if (head < 0)
            continue;
        int n = 0;
        for (int i = head; i >= 0; i = r->cells[i].next) {
            if (n == buf_cap) {
                int cap = buf_cap * 2;
                auto *nb = static_cast<SortCell *>(std::malloc(sizeof(SortCell) * size_t(cap)));
                if (!nb) {
                    if (buf != local)
                        std::free(buf);
                    return -3;
                }
                std::memcpy(nb, buf, sizeof(SortCell) * size_t(n));
                if (buf != local)
                    std::free(buf);
                buf = nb;
                buf_cap = cap;
            }
            buf[n++] = {r->cells[i].x, r->cells[i].cover, r->cells[i].area};
        }
        sort_row(buf, n);
        e.y = r->y0 + row;
        long long c = 0;
        int x = r->x0;
        for (int i = 0; i < n;) {
            int cx = buf[i].x;
            long long area = 0;
            long long cover = 0;
            for (; i < n && buf[i].x == cx; i++) {
                cover += buf[i].cover;
                area += buf[i].area;
            }
            if (cx > x && c != 0) {
                int value = coverage_value(c * 128, fill_rule);
                if (value)
                    e.constant(x, cx - x, uint8_t(value));
            }
            c += cover;
            long long v = c * 128 - area;
            if (v != 0 && cx >= r->x0) {
                int value = coverage_value(v, fill_rule);
                if (value)
                    e.pixel(cx, uint8_t(value));
            }
            x = cx + 1 > x ? cx + 1 : x;
        }
        if (c != 0 && x < r->x1) {
            int value = coverage_value(c * 128, fill_rule);
            if (value)
                e.constant(x, r->x1 - x, uint8_t(value));
        }
        e.flush();
    }
    if (buf != local)
        std::free(buf);
    return 0;
}
