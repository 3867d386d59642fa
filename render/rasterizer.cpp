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

// Points arrive in 1/64 pixel (trunc(v * 64)); cells are walked in 1/256
// pixel so that the crossings with cell borders, which the walk rounds down,
// cost at most 1/256 of a pixel's coverage.
constexpr int INPUT_BITS = 6;
constexpr int BITS = 8;
constexpr int ONE = 1 << BITS;
constexpr int COVERAGE_SHIFT = 2 * BITS + 1 - 8;  // twice the area of a pixel -> 0..256

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

inline long long floor_div(long long a, long long b)
{
    long long q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

inline long long ceil_div(long long a, long long b) { return -floor_div(-a, b); }

// Walks one edge, already clipped to the rows and to x >= x0 - 1, through
// the cells it crosses. Each crossing with a cell border is computed from
// the edge's ends, never from an earlier rounded crossing: x where it
// crosses a row border is rounded down, y where it crosses a column border
// is rounded up. That is FreeType's rounding seen with y growing downwards,
// so paths filled here and glyphs rendered by FreeType meet without seams.
//
// Rows outside the bounds are not walked: an edge that starts before the
// first row it can show in is entered at that row's border with the state
// the full walk would have there, and the walk ends when it leaves the
// bounds. The coverage of a row therefore does not depend on where the
// bounds lie, and a band equals the same rows of the whole page.
void walk_line(Rasterizer *r, int x1, int y1, int x2, int y2)
{
    int ex = x1 >> BITS, ey = y1 >> BITS;
    const int ex2 = x2 >> BITS, ey2 = y2 >> BITS;
    const long long dx = (long long)x2 - x1, dy = (long long)y2 - y1;
    int px = x1, py = y1;
    // Nothing of an edge that stays above or below the bounds can show.
    const long long top = (long long)r->y0 * ONE, bottom = (long long)r->y1 * ONE;
    if ((y1 <= top && y2 <= top) || (y1 >= bottom && y2 >= bottom))
        return;
    if (ey != ey2) {
        const int sy = dy > 0 ? 1 : -1;
        // The border through which the edge enters the bounds, if it starts outside.
        bool outside = sy > 0 ? ey < r->y0 : ey >= r->y1;
        if (outside) {
            long long enter = (long long)(sy > 0 ? r->y0 : r->y1) * ONE;
            long long num = (enter - y1) * dx;
            px = x1 + int(floor_div(num, dy));
            py = int(enter);
            ey = sy > 0 ? r->y0 : r->y1 - 1;
            // The column after the crossings the full walk makes up to here:
            // moving left, an exact crossing of a column border has already
            // stepped into the column left of it; no walk passes the end's column.
            ex = px >> BITS;
            if (dx < 0 && num % dy == 0 && (px & (ONE - 1)) == 0)
                ex--;
            if (dx == 0)
                ex = x1 >> BITS;
            ex = dx < 0 ? std::max(ex, ex2) : std::min(ex, ex2);
        }
    }
    set_cell(r, ex, ey);
    if (ex != ex2 || ey != ey2) {
        const int sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;
        const long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
        // Next borders in the direction of travel.
        long long by = sy > 0 ? (long long)(ey + 1) * ONE : (long long)ey * ONE;
        long long bx = sx > 0 ? (long long)(ex + 1) * ONE : (long long)ex * ONE;
        while ((ex != ex2 || ey != ey2) && !r->error) {
            if (ey < r->y0 || ey >= r->y1)
                return;  // left the bounds: nothing further can show
            // Which border comes first along the edge: compare the edge
            // parameters (by - y1) / dy and (bx - x1) / dx exactly. The edge
            // is monotonic, so a row or column already at the end's is never
            // left again (an end on a border belongs to the cell below or
            // right of it).
            const long long never = 1LL << 62;
            long long tr = ey != ey2 ? (by - y1) * sy * adx : never;
            long long tc = ex != ex2 ? (bx - x1) * sx * ady : never;
            int qx, qy;
            if (tr < tc) {
                qy = int(by);
                qx = x1 + int(floor_div((by - y1) * dx, dy));
            } else if (tc < tr) {
                qx = int(bx);
                qy = y1 + int(ceil_div((bx - x1) * dy, dx));
            } else {
                qx = int(bx);
                qy = int(by);
            }
            int cx = ex * ONE;
            add_cell(r, (px - cx + qx - cx) * (qy - py), qy - py);
            if (tr <= tc) {
                ey += sy;
                by += sy * ONE;
            }
            if (tc <= tr) {
                ex += sx;
                bx += sx * ONE;
            }
            set_cell(r, ex, ey);
            px = qx;
            py = qy;
        }
    }
    int cx = ex * ONE;
    add_cell(r, (px - cx + x2 - cx) * (y2 - py), y2 - py);
}

// Input points are taken in 1/64 pixel, truncated toward zero, in page
// rows; y then moves by the band's origin in whole rows, so that a band
// quantizes exactly as the whole page does.
inline double clamp_coord(double v)
{
    return v < -PATH_MAX_COORD ? -PATH_MAX_COORD : v > PATH_MAX_COORD ? PATH_MAX_COORD : v;
}
inline double quantize(double v, int origin = 0)
{
    return std::trunc(clamp_coord(v) * (1 << INPUT_BITS)) / (1 << INPUT_BITS) - origin;
}

// Points made by clipping lie on the quantized edge; they are rounded to the
// walk's precision so that a clipped edge keeps its slope.
inline int to_walk(double v) { return int(std::floor(v * ONE + 0.5)); }

void add_walk(Rasterizer *r, double x1, double y1, double x2, double y2)
{
    int fy1 = to_walk(y1), fy2 = to_walk(y2);
    if (fy1 != fy2)
        walk_line(r, to_walk(x1), fy1, to_walk(x2), fy2);
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
    x1 = quantize(x1);
    y1 = quantize(y1, r->band_origin);
    x2 = quantize(x2);
    y2 = quantize(y2, r->band_origin);
    if ((y1 <= r->y0 && y2 <= r->y0) || (y1 >= r->y1 && y2 >= r->y1) || y1 == y2)
        return;
    // Only ends far outside any raster are moved along the edge (keeping
    // the walk's fixed point in range); the walk itself skips the rows
    // outside the bounds exactly.
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
            add_walk(r, left - 1, ay, left - 1, by);
        } else if (mid <= right) {
            add_walk(r, std::clamp(ax, left, right), ay, std::clamp(bx, left, right), by);
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

// Coverage byte of a signed doubled area. The magnitude is scaled before
// rounding down, so a shape gives the same bytes whichever way it winds.
inline int coverage_value(long long v, int rule)
{
    v = (v < 0 ? -v : v) >> COVERAGE_SHIFT;
    if (rule == RASTER_EVEN_ODD) {
        v &= 511;
        if (v > 256)
            v = 512 - v;
        return v == 256 ? 255 : int(v);
    }
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
                int value = coverage_value(c * 2 * ONE, fill_rule);
                if (value)
                    e.constant(x, cx - x, uint8_t(value));
            }
            c += cover;
            long long v = c * 2 * ONE - area;
            if (v != 0 && cx >= r->x0) {
                int value = coverage_value(v, fill_rule);
                if (value)
                    e.pixel(cx, uint8_t(value));
            }
            x = cx + 1 > x ? cx + 1 : x;
        }
        if (c != 0 && x < r->x1) {
            int value = coverage_value(c * 2 * ONE, fill_rule);
            if (value)
                e.constant(x, r->x1 - x, uint8_t(value));
        }
        e.flush();
    }
    if (buf != local)
        std::free(buf);
    return 0;
}
