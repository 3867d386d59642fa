// Anti-aliasing scan converter. Points are taken in 1/64 pixel and edges are
// walked through the pixel grid in 1/256 pixel; each touched cell collects
// the signed height an edge crosses in it (cover) and twice the area to the
// edge's right (area), so a sweep with a running cover sum yields exact-area
// coverage per pixel.
#include "render/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "render/limits.h"

namespace {

// Points arrive in 1/64 pixel (trunc(v * 64)); cells are walked in 1/256
// pixel so that rounding where an edge crosses a cell border costs at most
// one level of a pixel's coverage.
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

// Makes room for one more cell; false (and the error flag) when the pool
// may not or cannot grow.
bool grow_cells(Rasterizer *r)
{
    if (r->cell_capacity >= r->cell_limit) {
        r->error = RASTER_STOP_POOL;
        return false;
    }
    int cap = r->cell_capacity ? r->cell_capacity * 2 : RASTER_FIRST_CELLS;
    if (cap > r->cell_limit || cap <= r->cell_capacity)
        cap = r->cell_limit;
    auto *cells = static_cast<RasterCell *>(std::realloc(r->cells, sizeof(RasterCell) * size_t(cap)));
    if (!cells) {
        r->error = RASTER_STOP_POOL;
        return false;
    }
    r->cells = cells;
    r->cell_capacity = cap;
    return true;
}

// The current cell and the pool's bookkeeping held in locals while one edge
// is walked, written back at the end, so the walk runs in registers.
struct CellCursor {
    Rasterizer *r;
    int x, y, cover, area;
    bool valid;
    bool stop;  // the pool is exhausted or the step budget spent
    long long steps, step_limit;
    RasterCell *cells;
    int *heads;
    int count, capacity, y0, rows;

    explicit CellCursor(Rasterizer *ras)
        : r(ras), x(ras->cell_x), y(ras->cell_y), cover(ras->cover), area(ras->area),
          valid(ras->cell_valid != 0), stop(ras->error != 0), steps(ras->steps),
          step_limit(ras->step_limit), cells(ras->cells),
          heads(ras->row_heads), count(ras->cell_count), capacity(ras->cell_capacity), y0(ras->y0),
          rows(ras->rows)
    {
    }
    ~CellCursor()
    {
        r->cell_x = x;
        r->cell_y = y;
        r->cover = cover;
        r->area = area;
        r->cell_valid = valid;
        r->steps = steps;
        r->cell_count = count;
        if (stop && !r->error)
            r->error = RASTER_STOP_STEPS;
    }
    // Records the current cell at the head of its row's list. Lists are in
    // no particular order and may hold the same x more than once (an edge
    // that comes back into a cell); the sweep sorts and merges each row.
    void push()
    {
        if (!cover && !area)
            return;
        unsigned row = unsigned(y - y0);
        if (row >= unsigned(rows))
            return;
        if (count == capacity) {
            r->cell_count = count;
            if (!grow_cells(r)) {
                stop = true;
                return;
            }
            cells = r->cells;
            capacity = r->cell_capacity;
        }
        RasterCell *c = &cells[count];
        c->x = x;
        c->cover = cover;
        c->area = area;
        c->next = heads[row];
        heads[row] = count;
        count++;
    }
    void set(int ex, int ey)
    {
        if (ex != x || ey != y || !valid) {
            if (valid)
                push();
            x = ex;
            y = ey;
            cover = area = 0;
            valid = true;
            if (++steps > step_limit)
                stop = true;
        }
    }
    // Moves on to a neighbouring cell while an edge is walked (the current
    // cell is valid and differs from it).
    void step_to(int ex, int ey)
    {
        push();
        x = ex;
        y = ey;
        cover = area = 0;
        if (++steps > step_limit)
            stop = true;
    }
    void add(int a, int c)
    {
        area = wrap_add(area, a);
        cover = wrap_add(cover, c);
    }
};

void record_cell(Rasterizer *r)
{
    CellCursor cursor(r);
    if (cursor.valid)
        cursor.push();
}

inline long long floor_div(long long a, long long b)
{
    long long q = a / b, r = a % b;
    return q - ((r != 0) & ((r ^ b) < 0));
}

inline long long ceil_div(long long a, long long b) { return -floor_div(-a, b); }

// Quotient and remainder of a / d rounded down (d > 0), stepped by adding a
// fixed increment to a: two divisions when the walk starts, none per cell.
struct FloorStep {
    long long q, r, d, lift, rem, increment;

    void start(long long a, long long den, long long inc)
    {
        d = den;
        q = floor_div(a, d);
        r = a - q * d;
        increment = inc;
        lift = floor_div(increment, d);
        rem = increment - lift * d;
    }
    void step()
    {
        // The carry is taken without a branch: it comes as often as not.
        r += rem;
        const long long carry = r >= d;
        q += lift + carry;
        r -= d & -carry;
    }
};

// Walks one edge, already clipped to the rows and to x >= x0 - 1, through
// the cells it crosses. Each crossing with a cell border is exact before it
// is rounded (never derived from an earlier rounded crossing): x where the
// edge crosses a row border is rounded down, y where it crosses a column
// border is rounded up. That is FreeType's rounding seen with y growing
// downwards, so paths filled here and glyphs rendered by FreeType meet
// without seams.
//
// Rows outside the bounds are not walked: an edge that starts outside is
// entered at the border of the first row it can show in, with the state the
// full walk has there, and the walk ends when it leaves the bounds. The
// coverage of a row therefore does not depend on where the bounds lie (a
// band equals the same rows of the whole page, a fill bounded by its path's
// box equals one bounded by the raster).
void walk_line(CellCursor &cell, int x1, int y1, int x2, int y2)
{
    int ex = x1 >> BITS, ey = y1 >> BITS;
    const int ex2 = x2 >> BITS, ey2 = y2 >> BITS;
    const Rasterizer *r = cell.r;
    const long long top = (long long)r->y0 * ONE, bottom = (long long)r->y1 * ONE;
    if (((y1 <= top) & (y2 <= top)) | ((y1 >= bottom) & (y2 >= bottom)))
        return;  // nothing of it can show
    int px = x1, py = y1;
    if (ey != ey2 && (y2 > y1 ? ey < r->y0 : ey >= r->y1)) {
        // The full walk crosses this border at x rounded down, having
        // crossed every column border up to there (never the end's column).
        const long long dx = (long long)x2 - x1, dy = (long long)y2 - y1;
        const long long enter = y2 > y1 ? top : bottom;
        px = x1 + int(floor_div((enter - y1) * dx, dy));
        py = int(enter);
        ey = y2 > y1 ? r->y0 : r->y1 - 1;
        ex = px >> BITS;
        ex = dx < 0 ? std::max(ex, ex2) : std::min(ex, ex2);
    }
    cell.set(ex, ey);
    if (ex != ex2 || ey != ey2) {
        const long long dx = (long long)x2 - x1, dy = (long long)y2 - y1;
        const int sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;
        const long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
        // Next borders in the direction of travel. The edge is monotonic,
        // so a row or column already at the end's is never left again (an
        // end on a border belongs to the cell below or right of it).
        long long by = sy > 0 ? (long long)(ey + 1) * ONE : (long long)ey * ONE;
        long long bx = sx > 0 ? (long long)(ex + 1) * ONE : (long long)ex * ONE;
        // x at the next row border: x1 + floor((by - y1) dx / dy);
        // y at the next column border: y1 - floor(-(bx - x1) dy / dx).
        const int row_min = r->y0, row_max = r->y1 - 1;
        FloorStep xs = {}, ys = {};
        if (ey != ey2)
            xs.start((by - y1) * dx * sy, ady, (long long)ONE * adx * (dx < 0 ? -1 : 1));
        if (ex != ex2)
            ys.start(-(bx - x1) * dy * sx, adx, -(long long)ONE * ady * (dy < 0 ? -1 : 1));
        // Row by row: the columns the edge crosses before it leaves the row
        // are those whose border lies before the (rounded-down) x where it
        // crosses the row border, or before its end in the last row.
        for (;;) {
            if (unsigned(ey - row_min) > unsigned(row_max - row_min))
                return;  // left the bounds: nothing further can show
            const int rx = ey != ey2 ? x1 + int(xs.q) : x2;
            while (ex != ex2 && (sx > 0 ? bx <= rx : rx < bx) && !cell.stop) {
                int qx = int(bx), qy = y1 - int(ys.q);
                int cx = ex * ONE;
                cell.add((px - cx + qx - cx) * (qy - py), qy - py);
                ex += sx;
                bx += sx * ONE;
                ys.step();
                cell.step_to(ex, ey);
                px = qx;
                py = qy;
            }
            if (ey == ey2 || cell.stop)
                break;
            int qy = int(by);
            int cx = ex * ONE;
            cell.add((px - cx + rx - cx) * (qy - py), qy - py);
            ey += sy;
            by += sy * ONE;
            xs.step();
            cell.step_to(ex, ey);
            px = rx;
            py = qy;
        }
    }
    if (cell.stop)
        return;  // the walk was cut short: this fill is dropped anyway
    int cx = ex * ONE;
    cell.add((px - cx + x2 - cx) * (y2 - py), y2 - py);
}

// Input points are taken in 1/64 pixel, truncated toward zero. y arrives
// in page rows and is truncated there before the band's first row is taken
// off in whole rows, so a band quantizes exactly as the whole page does.
inline long long quantize(double v)
{
    if (v < -PATH_MAX_COORD)
        v = -PATH_MAX_COORD;
    else if (v > PATH_MAX_COORD)
        v = PATH_MAX_COORD;
    return (long long)(v * (1 << INPUT_BITS));
}

// Points made by clipping lie on the quantized edge; they are rounded to the
// walk's precision so that a clipped edge keeps its slope.
inline int to_walk(double v)
{
    double f = v * ONE + 0.5;
    int i = int(f);
    return i > f ? i - 1 : i;
}

void add_walk(CellCursor &cell, double x1, double y1, double x2, double y2)
{
    int fy1 = to_walk(y1), fy2 = to_walk(y2);
    if (fy1 != fy2)
        walk_line(cell, to_walk(x1), fy1, to_walk(x2), fy2);
}

}  // namespace

Rasterizer *raster_create()
{
    auto *r = static_cast<Rasterizer *>(std::calloc(1, sizeof(Rasterizer)));
    if (r) {
        r->cell_limit = RASTER_MAX_CELLS;
        r->step_limit = RASTER_MAX_STEPS;
        r->fill_budget = RASTER_MAX_STEPS;
    }
    return r;
}

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
    r->step_limit = RASTER_MAX_STEPS;
    r->resume_row = 0;
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

namespace {

void add_line(CellCursor &cell, double x1, double y1, double x2, double y2)
{
    Rasterizer *r = cell.r;
    if (cell.stop || r->rows == 0)
        return;
    if (std::isnan(x1) || std::isnan(y1) || std::isnan(x2) || std::isnan(y2))
        return;
    const long long origin = (long long)r->band_origin << INPUT_BITS;
    const long long qx1 = quantize(x1), qy1 = quantize(y1) - origin, qx2 = quantize(x2),
                    qy2 = quantize(y2) - origin;
    if (qy1 == qy2)
        return;
    // Most edges lie inside the bounds and need no clipping.
    const long long in = 1 << INPUT_BITS;
    const long long left_q = r->x0 * in, right_q = r->x1 * in, top_q = r->y0 * in, bottom_q = r->y1 * in;
    if (qy1 >= top_q && qy1 <= bottom_q && qy2 >= top_q && qy2 <= bottom_q && qx1 >= left_q &&
        qx1 <= right_q && qx2 >= left_q && qx2 <= right_q) {
        constexpr int up = 1 << (BITS - INPUT_BITS);
        walk_line(cell, int(qx1) * up, int(qy1) * up, int(qx2) * up, int(qy2) * up);
        return;
    }
    x1 = double(qx1) / in;
    y1 = double(qy1) / in;
    x2 = double(qx2) / in;
    y2 = double(qy2) / in;
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
            add_walk(cell, left - 1, ay, left - 1, by);
        } else if (mid <= right) {
            add_walk(cell, std::clamp(ax, left, right), ay, std::clamp(bx, left, right), by);
        }
        ax = bx;
        ay = by;
        if (cell.stop)
            return;
    }
}

}  // namespace

void raster_add_line(Rasterizer *r, double x1, double y1, double x2, double y2)
{
    CellCursor cell(r);
    add_line(cell, x1, y1, x2, y2);
}

void raster_add_path(Rasterizer *r, const Path *path)
{
    CellCursor cell(r);
    for (int i = 0; i < path->count && !cell.stop; i++) {
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
            add_line(cell, px, py, x, y);
            px = x;
            py = y;
        }
        if (have)
            add_line(cell, px, py, fx, fy);
    }
}

namespace {

// Pixels of one row on their way to the span function: adjacent pixels and
// short runs are gathered into one call.
struct Emitter {
    static constexpr int SHORT_RUN = 32;  // constant runs up to this are copied into the run
    RasterSpanFn fn;
    void *user;
    int y;
    int run_x, run_len;
    uint8_t run[RASTER_SPAN_MAX + 8];  // room for the last 8-byte store of a short run

    void flush()
    {
        if (run_len)
            fn(user, y, run_x, run_len, run);
        run_len = 0;
    }
    void pixel(int x, uint8_t value)
    {
        if (run_len != 0 && ((run_x + run_len != x) | (run_len == RASTER_SPAN_MAX)))
            flush();
        if (!run_len)
            run_x = x;
        run[run_len++] = value;
    }
    // Writes a short run with 8-byte stores (a memset call costs more).
    void fill_short(int at, int length, uint8_t value)
    {
        uint64_t pattern = 0x0101010101010101ULL * value;
        for (int k = 0; k < length; k += 8)
            std::memcpy(run + at + k, &pattern, 8);
    }
    void constant(int x, int length, uint8_t value)
    {
        if (run_len && run_x + run_len == x && length <= SHORT_RUN && run_len + length <= RASTER_SPAN_MAX) {
            fill_short(run_len, length, value);
            run_len += length;
            return;
        }
        flush();
        if (length <= SHORT_RUN) {
            run_x = x;
            run_len = length;
            fill_short(0, length, value);
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
template <int Rule>
inline int coverage_value(long long v)
{
    v = (v < 0 ? -v : v) >> COVERAGE_SHIFT;
    if (Rule == RASTER_EVEN_ODD) {
        v &= 511;
        if (v > 256)
            v = 512 - v;
        return v == 256 ? 255 : int(v);
    }
    return v >= 256 ? 255 : int(v);
}

// One cell of a row being swept.
struct SortCell {
    int x, cover, area;
};

// Rows of up to this many cells are sorted by insertion (short rows come
// mostly in order or reversed); longer ones by std::sort.
constexpr int INSERTION_SORT_MAX = 32;
// Cells of a row gathered on the stack; longer rows use a heap buffer.
constexpr int ROW_STACK_CELLS = 256;

// Sweeps one row's cells, given in ascending x with equal x merged.
template <int Rule>
struct RowSweep {
    int x0, x1;  // bounds
    Emitter *e;
    long long c = 0;  // running cover sum
    int x;            // first pixel not yet emitted

    void cell(int cx, long long cover, long long area)
    {
        if ((cx > x) & (c != 0)) {
            int value = coverage_value<Rule>(c * 2 * ONE);
            if (value)
                e->constant(x, cx - x, uint8_t(value));
        }
        c += cover;
        long long v = c * 2 * ONE - area;
        if ((v != 0) & (cx >= x0) & (cx < x1)) {
            int value = coverage_value<Rule>(v);
            if (value)
                e->pixel(cx, uint8_t(value));
        }
        x = cx + 1 > x ? cx + 1 : x;
    }
    void finish()
    {
        if (c != 0 && x < x1) {
            int value = coverage_value<Rule>(c * 2 * ONE);
            if (value)
                e->constant(x, x1 - x, uint8_t(value));
        }
        e->flush();
    }
};

// Sorts a row's cells by x. Cells of the same x are summed later, so their
// order does not matter.
void sort_row(SortCell *row, int n)
{
    if (n > INSERTION_SORT_MAX) {
        std::sort(row, row + n, [](const SortCell &a, const SortCell &b) { return a.x < b.x; });
        return;
    }
    for (int i = 1; i < n; i++) {
        SortCell c = row[i];
        int j = i;
        for (; j > 0 && row[j - 1].x > c.x; j--)
            row[j] = row[j - 1];
        row[j] = c;
    }
}

template <int Rule>
int sweep_rows(Rasterizer *r, Emitter &e)
{
    SortCell stack_row[ROW_STACK_CELLS];
    SortCell *heap_row = nullptr;  // for rows longer than the stack buffer
    const RasterCell *cells = r->cells;
    for (int row = 0; row < r->rows; row++) {
        int head = r->row_heads[row];
        if (head < 0)
            continue;
        // The list holds the row's cells newest first; they are read into
        // the buffer from its end, in the order the walk made them.
        SortCell *buf = stack_row + ROW_STACK_CELLS;
        int n = 0, i = head;
        for (; i >= 0 && n < ROW_STACK_CELLS; i = cells[i].next, n++)
            *--buf = {cells[i].x, cells[i].cover, cells[i].area};
        if (i >= 0) {
            for (; i >= 0; i = cells[i].next)
                n++;  // at most the pool's size
            auto *grown = static_cast<SortCell *>(std::realloc(heap_row, sizeof(SortCell) * size_t(n)));
            if (!grown) {
                std::free(heap_row);
                r->resume_row = r->y0 + row;
                return -3;
            }
            heap_row = grown;
            buf = heap_row + n;
            for (int k = head; k >= 0; k = cells[k].next)
                *--buf = {cells[k].x, cells[k].cover, cells[k].area};
        }
        sort_row(buf, n);
        e.y = r->y0 + row;
        RowSweep<Rule> sweep = {r->x0, r->x1, &e, 0, r->x0};
        for (int i = 0; i < n;) {
            int cx = buf[i].x, cover = buf[i].cover, area = buf[i].area;
            for (i++; i < n && buf[i].x == cx; i++) {
                cover = wrap_add(cover, buf[i].cover);
                area = wrap_add(area, buf[i].area);
            }
            sweep.cell(cx, cover, area);
        }
        sweep.finish();
    }
    std::free(heap_row);
    return 0;
}

}  // namespace

int raster_sweep(Rasterizer *r, int fill_rule, RasterSpanFn fn, void *user)
{
    record_cell(r);
    r->cell_valid = 0;
    r->resume_row = r->y0;
    if (r->error)
        return -3;
    Emitter e;
    e.fn = fn;
    e.user = user;
    e.run_len = 0;
    return fill_rule == RASTER_EVEN_ODD ? sweep_rows<RASTER_EVEN_ODD>(r, e) : sweep_rows<RASTER_NONZERO>(r, e);
}

int raster_fill(Rasterizer *r, const Path *path, int x0, int y0, int x1, int y1, int fill_rule,
                RasterSpanFn fn, void *user)
{
    // Row ranges still to be drawn, the next one on top. Halving at most
    // 18 times (bounds span 2^18 rows at most) keeps the stack short.
    struct Range {
        int y0, y1;
    } todo[64];
    int top = 0, lost = 0;
    long long budget = r->fill_budget;
    todo[top++] = {y0, y1};
    while (top > 0) {
        Range piece = todo[--top];
        if (piece.y0 >= piece.y1)
            continue;
        bool failed = raster_reset(r, x0, piece.y0, x1, piece.y1) != 0;
        if (!failed) {
            r->step_limit = budget;
            raster_add_path(r, path);
            failed = raster_sweep(r, fill_rule, fn, user) != 0;
            if (r->error == RASTER_STOP_STEPS) {
                lost |= RASTER_LOST_BUDGET;
                break;
            }
            // Rows a failed sweep emitted are done; only the rest is retried.
            if (failed && r->resume_row > piece.y0)
                piece.y0 = r->resume_row;
            if (!failed)
                budget -= r->steps;
        }
        if (!failed)
            continue;
        if (piece.y1 - piece.y0 <= 1 || top + 2 > int(sizeof todo / sizeof todo[0])) {
            lost |= RASTER_LOST_ROWS;
            continue;
        }
        int mid = piece.y0 + (piece.y1 - piece.y0) / 2;
        todo[top++] = {mid, piece.y1};
        todo[top++] = {piece.y0, mid};
    }
    raster_reset(r, 0, 0, 0, 0);
    return lost;
}
