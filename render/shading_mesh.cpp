// Mesh shadings (PDF Reference 1.7, section 4.6.3, types 4 to 7): free-form
// and lattice Gouraud triangles and Coons and tensor-product patches, read
// from their bit-packed streams. Patches are cut into a grid of small
// triangles; every triangle is drawn at pixel centres, with its colour
// interpolated, into the shade source's buffer, later triangles over
// earlier ones.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "pdf/document.h"
#include "pdf/object.h"
#include "pdf/reader.h"
#include "pdf/stream.h"
#include "render/colorspace.h"
#include "render/interp.h"
#include "render/limits.h"
#include "render/shading.h"

namespace {

struct BitReader {
    const uint8_t *data;
    int64_t length;
    int64_t bit;
    bool eof;

    uint32_t read(int n)
    {
        if (bit + n > length * 8) {
            eof = true;
            bit = length * 8;
            return 0;
        }
        uint64_t v = 0;
        for (int left = n; left > 0;) {
            int in_byte = 8 - int(bit & 7);
            int take = left < in_byte ? left : in_byte;
            uint32_t byte = data[bit >> 3];
            uint32_t part = (byte >> (in_byte - take)) & ((1u << take) - 1);
            v = (v << take) | part;
            bit += take;
            left -= take;
        }
        return uint32_t(v);
    }
    void align() { bit = (bit + 7) & ~int64_t(7); }
};

// A mesh vertex in surface pixels with its colour: RGB 0..255, or the
// parameter t in c[0] when the shading has a function.
struct Vertex {
    double x, y;
    float c[3];
};

struct Mesh {
    ShadeSource *src;
    const Shading *sh;
    const float *m;       // shading space to device
    int top;              // band_top
    BitReader in;
    int bpc, bpcomp, bpf;
    int ncomps;           // components read per vertex (1 with a function)
    float decode[4 + 2 * CS_MAX_COMPONENTS];
    int64_t work;         // pixels written so far, against SHADING_MESH_MAX_WORK
    bool stopped;
};

bool valid_bits(int v, const int *allowed, int n)
{
    for (int i = 0; i < n; i++)
        if (v == allowed[i])
            return true;
    return false;
}

double decode_value(uint32_t v, int bits, float lo, float hi)
{
    double max = bits >= 32 ? 4294967295.0 : double((uint64_t(1) << bits) - 1);
    return lo + double(v) * (double(hi) - lo) / max;
}

void read_point(Mesh *mesh, double *x, double *y)
{
    double px = decode_value(mesh->in.read(mesh->bpc), mesh->bpc, mesh->decode[0], mesh->decode[1]);
    double py = decode_value(mesh->in.read(mesh->bpc), mesh->bpc, mesh->decode[2], mesh->decode[3]);
    const float *m = mesh->m;
    *x = m[0] * px + m[2] * py + m[4];
    *y = m[1] * px + m[3] * py + m[5] - mesh->top;
}

void read_color(Mesh *mesh, float c[3])
{
    float comps[CS_MAX_COMPONENTS] = {};
    for (int i = 0; i < mesh->ncomps; i++)
        comps[i] = float(decode_value(mesh->in.read(mesh->bpcomp), mesh->bpcomp, mesh->decode[4 + 2 * i],
                                      mesh->decode[5 + 2 * i]));
    if (mesh->sh->nfns) {
        c[0] = comps[0];
        return;
    }
    uint8_t rgb[3];
    shading_color_at(mesh->sh, comps, mesh->ncomps, rgb);
    for (int k = 0; k < 3; k++)
        c[k] = rgb[k];
}

void read_vertex(Mesh *mesh, Vertex *v)
{
    read_point(mesh, &v->x, &v->y);
    read_color(mesh, v->c);
}

// Colour of an interpolated vertex colour into three bytes.
inline void resolve(const Mesh *mesh, const float *c, uint8_t *out)
{
    const Shading *sh = mesh->sh;
    if (sh->nfns) {
        float span = sh->t1 - sh->t0;
        float s = span != 0 ? (c[0] - sh->t0) / span : 0;
        int i = !(s > 0) ? 0 : s >= 1 ? 255 : int(s * 255 + 0.5f);
        std::memcpy(out, sh->table[i], 3);
        return;
    }
    for (int k = 0; k < 3; k++) {
        float v = c[k] + 0.5f;
        out[k] = uint8_t(v <= 0 ? 0 : v >= 255 ? 255 : int(v));
    }
}

// Draws triangle abc at pixel centres with colours interpolated linearly.
void draw_triangle(Mesh *mesh, const Vertex &a, const Vertex &b, const Vertex &c)
{
    if (mesh->stopped)
        return;
    ShadeSource *src = mesh->src;
    double area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (!(std::fabs(area) > 1e-12) || !std::isfinite(area))
        return;
    double ymin = std::min({a.y, b.y, c.y}), ymax = std::max({a.y, b.y, c.y});
    double xmin = std::min({a.x, b.x, c.x}), xmax = std::max({a.x, b.x, c.x});
    // Pixel centres of the box the triangle covers, compared before they
    // become ints.
    double fy0 = std::max(double(src->by0), std::ceil(ymin - 0.5));
    double fy1 = std::min(double(src->by1 - 1), std::floor(ymax - 0.5));
    double fx0 = std::max(double(src->bx0), std::ceil(xmin - 0.5));
    double fx1 = std::min(double(src->bx1 - 1), std::floor(xmax - 0.5));
    if (!(fy0 <= fy1) || !(fx0 <= fx1))
        return;
    int y0 = int(fy0), y1 = int(fy1), xlo = int(fx0), xhi = int(fx1);
    int nc = mesh->sh->nfns ? 1 : 3;
    int w = src->bx1 - src->bx0;
    // Barycentric weights of b and c as linear functions of the pixel centre.
    double inv = 1.0 / area;
    const Vertex *v[3] = {&a, &b, &c};
    for (int y = y0; y <= y1; y++) {
        double yc = y + 0.5;
        // The row's span: where the centre line crosses the three edges.
        double lo = 1e300, hi = -1e300;
        for (int e = 0; e < 3; e++) {
            const Vertex *p = v[e], *q = v[(e + 1) % 3];
            if ((p->y <= yc && q->y >= yc) || (q->y <= yc && p->y >= yc)) {
                double x;
                if (p->y == q->y) {
                    lo = std::min({lo, p->x, q->x});
                    hi = std::max({hi, p->x, q->x});
                    continue;
                }
                x = p->x + (yc - p->y) * (q->x - p->x) / (q->y - p->y);
                lo = std::min(lo, x), hi = std::max(hi, x);
            }
        }
        if (!(lo <= hi))
            continue;
        // Limited to the box before conversion, so that no edge far outside
        // overflows an int.
        lo = std::max(lo, double(xlo) - 1), hi = std::min(hi, double(xhi) + 1);
        int x0 = std::max(xlo, int(std::ceil(lo - 0.5))), x1 = std::min(xhi, int(std::floor(hi - 0.5)));
        if (x0 > x1)
            continue;
        mesh->work += x1 - x0 + 1;
        if (mesh->work > SHADING_MESH_MAX_WORK) {
            mesh->stopped = true;
            return;
        }
        size_t row = size_t(y - src->by0) * size_t(w);
        // The weights of b and c are linear along the row.
        double xc = x0 + 0.5;
        double wb = ((xc - a.x) * (c.y - a.y) - (c.x - a.x) * (yc - a.y)) * inv;
        double wc = ((b.x - a.x) * (yc - a.y) - (xc - a.x) * (b.y - a.y)) * inv;
        const double dwb = (c.y - a.y) * inv, dwc = -(b.y - a.y) * inv;
        for (int x = x0; x <= x1; x++, wb += dwb, wc += dwc) {
            double wa = 1 - wb - wc;
            float col[3];
            for (int k = 0; k < nc; k++)
                col[k] = float(wa * a.c[k] + wb * b.c[k] + wc * c.c[k]);
            size_t at = row + size_t(x - src->bx0);
            resolve(mesh, col, src->mesh_rgb + 3 * at);
            src->mesh_cov[at] = 255;
        }
    }
}

void draw_free_form(Mesh *mesh)
{
    Vertex a{}, b{}, c{};
    int need = 0;          // vertices still to come for a new triangle
    bool have = false;     // a triangle was drawn that the next vertex may extend
    while (!mesh->stopped) {
        uint32_t flag = mesh->in.read(mesh->bpf);
        Vertex d{};
        read_vertex(mesh, &d);
        mesh->in.align();
        if (mesh->in.eof)
            break;
        if (need > 0) {  // the flags of a new triangle's second and third vertex are not read
            (need == 2 ? b : c) = d;
            if (--need == 0) {
                draw_triangle(mesh, a, b, c);
                have = true;
            }
            continue;
        }
        if (flag == 0 || !have) {
            a = d;
            need = 2;
            have = false;
            continue;
        }
        if (flag == 1)
            a = b, b = c, c = d;
        else
            b = c, c = d;
        draw_triangle(mesh, a, b, c);
    }
}

void draw_lattice(Mesh *mesh, int per_row)
{
    Vertex *prev = static_cast<Vertex *>(std::calloc(size_t(per_row), sizeof(Vertex)));
    Vertex *cur = static_cast<Vertex *>(std::calloc(size_t(per_row), sizeof(Vertex)));
    for (int row = 0; prev && cur && !mesh->stopped; row++) {
        for (int i = 0; i < per_row; i++) {
            read_vertex(mesh, &cur[i]);
            mesh->in.align();
        }
        if (mesh->in.eof)
            break;
        if (row > 0)
            for (int i = 0; i + 1 < per_row; i++) {
                draw_triangle(mesh, prev[i], prev[i + 1], cur[i]);
                draw_triangle(mesh, prev[i + 1], cur[i + 1], cur[i]);
            }
        std::swap(prev, cur);
    }
    std::free(prev);
    std::free(cur);
}

// A patch: control points p[i][j] (i along u, j along v) in surface pixels,
// corner colours c00, c03, c33, c30.
struct Patch {
    double px[4][4], py[4][4];
    float c[4][3];  // c00, c03, c33, c30
};

void bernstein(double t, double b[4])
{
    double s = 1 - t;
    b[0] = s * s * s, b[1] = 3 * t * s * s, b[2] = 3 * t * t * s, b[3] = t * t * t;
}

void draw_patch(Mesh *mesh, const Patch &p)
{
    double xmin = 1e300, xmax = -1e300, ymin = 1e300, ymax = -1e300;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            xmin = std::min(xmin, p.px[i][j]), xmax = std::max(xmax, p.px[i][j]);
            ymin = std::min(ymin, p.py[i][j]), ymax = std::max(ymax, p.py[i][j]);
        }
    if (!std::isfinite(xmax - xmin) || !std::isfinite(ymax - ymin))
        return;
    ShadeSource *src = mesh->src;
    if (xmax < src->bx0 || xmin > src->bx1 || ymax < src->by0 || ymin > src->by1)
        return;
    double extent = std::max(xmax - xmin, ymax - ymin);
    int n = int(std::min(double(SHADING_PATCH_GRID), std::max(1.0, std::ceil(extent / 3))));
    Vertex grid[SHADING_PATCH_GRID + 1][SHADING_PATCH_GRID + 1];
    int nc = mesh->sh->nfns ? 1 : 3;
    for (int a = 0; a <= n; a++) {
        double u = double(a) / n, bu[4];
        bernstein(u, bu);
        for (int b = 0; b <= n; b++) {
            double v = double(b) / n, bv[4];
            bernstein(v, bv);
            Vertex &g = grid[a][b];
            g.x = g.y = 0;
            for (int i = 0; i < 4; i++)
                for (int j = 0; j < 4; j++) {
                    g.x += bu[i] * bv[j] * p.px[i][j];
                    g.y += bu[i] * bv[j] * p.py[i][j];
                }
            for (int k = 0; k < nc; k++)
                g.c[k] = float((1 - u) * (1 - v) * p.c[0][k] + (1 - u) * v * p.c[1][k] +
                               u * v * p.c[2][k] + u * (1 - v) * p.c[3][k]);
        }
    }
    for (int a = 0; a < n; a++)
        for (int b = 0; b < n; b++) {
            draw_triangle(mesh, grid[a][b], grid[a + 1][b], grid[a + 1][b + 1]);
            draw_triangle(mesh, grid[a][b], grid[a + 1][b + 1], grid[a][b + 1]);
        }
}

// The stream order of the boundary points: p00 p01 p02 p03 p13 p23 p33 p32
// p31 p30 p20 p10, then for tensor patches p11 p12 p22 p21.
const int kOrder[16][2] = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 3}, {2, 3}, {3, 3}, {3, 2},
                           {3, 1}, {3, 0}, {2, 0}, {1, 0}, {1, 1}, {1, 2}, {2, 2}, {2, 1}};

// The interior points of a Coons patch as a tensor-product patch.
void coons_interior(Patch *p)
{
    for (int axis = 0; axis < 2; axis++) {
        double(*q)[4] = axis ? p->py : p->px;
        q[1][1] = (-4 * q[0][0] + 6 * (q[0][1] + q[1][0]) - 2 * (q[0][3] + q[3][0]) +
                   3 * (q[3][1] + q[1][3]) - q[3][3]) / 9;
        q[1][2] = (-4 * q[0][3] + 6 * (q[0][2] + q[1][3]) - 2 * (q[0][0] + q[3][3]) +
                   3 * (q[3][2] + q[1][0]) - q[3][0]) / 9;
        q[2][1] = (-4 * q[3][0] + 6 * (q[3][1] + q[2][0]) - 2 * (q[3][3] + q[0][0]) +
                   3 * (q[0][1] + q[2][3]) - q[0][3]) / 9;
        q[2][2] = (-4 * q[3][3] + 6 * (q[3][2] + q[2][3]) - 2 * (q[3][0] + q[0][3]) +
                   3 * (q[0][2] + q[2][0]) - q[0][0]) / 9;
    }
}

void draw_patches(Mesh *mesh, bool tensor)
{
    Patch prev{}, cur{};
    bool have_prev = false;
    while (!mesh->stopped) {
        uint32_t flag = mesh->in.read(mesh->bpf);
        if (mesh->in.eof)
            break;
        int first = 0, colors_from = 0;
        if (flag != 0) {
            if (!have_prev || flag > 3)
                break;
            // The new patch's edge u = 0 is an edge of the previous patch.
            static const int shared[4][4][2] = {
                {},
                {{0, 3}, {1, 3}, {2, 3}, {3, 3}},
                {{3, 3}, {3, 2}, {3, 1}, {3, 0}},
                {{3, 0}, {2, 0}, {1, 0}, {0, 0}},
            };
            static const int shared_c[4][2] = {{0, 0}, {1, 2}, {2, 3}, {3, 0}};
            for (int j = 0; j < 4; j++) {
                cur.px[0][j] = prev.px[shared[flag][j][0]][shared[flag][j][1]];
                cur.py[0][j] = prev.py[shared[flag][j][0]][shared[flag][j][1]];
            }
            std::memcpy(cur.c[0], prev.c[shared_c[flag][0]], sizeof cur.c[0]);
            std::memcpy(cur.c[1], prev.c[shared_c[flag][1]], sizeof cur.c[1]);
            first = 4, colors_from = 2;
        }
        int points = tensor ? 16 : 12;
        for (int k = first; k < points; k++)
            read_point(mesh, &cur.px[kOrder[k][0]][kOrder[k][1]], &cur.py[kOrder[k][0]][kOrder[k][1]]);
        for (int k = colors_from; k < 4; k++)
            read_color(mesh, cur.c[k]);
        mesh->in.align();
        if (mesh->in.eof)
            break;
        if (!tensor)
            coons_interior(&cur);
        draw_patch(mesh, cur);
        prev = cur;
        have_prev = true;
        if (mesh->src->ctx && render_poll(mesh->src->ctx))
            break;
    }
}

}  // namespace

bool mesh_draw(ShadeSource *src, const float m[6])
{
    const Shading *sh = src->sh;
    RenderContext *ctx = src->ctx;
    PdfDoc *doc = ctx->doc;
    PdfObject *obj = sh->object;
    int64_t w = src->bx1 - src->bx0, h = src->by1 - src->by0;
    if (w <= 0 || h <= 0 || w * h > SHADING_MESH_MAX_PIXELS || !pdf_is_type(obj, PDF_STREAM))
        return false;
    Mesh mesh{};
    mesh.src = src;
    mesh.sh = sh;
    mesh.m = m;
    mesh.top = ctx->band_top;
    mesh.ncomps = sh->nfns ? 1 : std::min(colorspace_ncomps(sh->cs), CS_MAX_COMPONENTS);
    static const int coord_bits[] = {1, 2, 4, 8, 12, 16, 24, 32};
    static const int comp_bits[] = {1, 2, 4, 8, 12, 16};
    static const int flag_bits[] = {2, 4, 8};
    mesh.bpc = pdf_to_int(pdf_dict_get_resolved(doc, obj, "BitsPerCoordinate"), 0);
    mesh.bpcomp = pdf_to_int(pdf_dict_get_resolved(doc, obj, "BitsPerComponent"), 0);
    mesh.bpf = sh->type == 5 ? 0 : pdf_to_int(pdf_dict_get_resolved(doc, obj, "BitsPerFlag"), 0);
    if (!valid_bits(mesh.bpc, coord_bits, 8) || !valid_bits(mesh.bpcomp, comp_bits, 6) ||
        (sh->type != 5 && !valid_bits(mesh.bpf, flag_bits, 3)))
        return false;
    PdfObject *decode = pdf_dict_get_resolved(doc, obj, "Decode");
    if (pdf_array_len(decode) < 4 + 2 * mesh.ncomps)
        return false;
    for (int i = 0; i < 4 + 2 * mesh.ncomps; i++)
        mesh.decode[i] = float(pdf_to_number(pdf_resolve(doc, pdf_array_get(decode, i)), 0));
    int per_row = 0;
    if (sh->type == 5) {
        per_row = pdf_to_int(pdf_dict_get_resolved(doc, obj, "VerticesPerRow"), 0);
        if (per_row < 2 || per_row > SHADING_MESH_MAX_ROW)
            return false;
    }
    // The data are read for each paint and freed after it: a page may fill
    // many paths with one mesh pattern.
    ByteReader *r = pdf_open_stream(doc, obj);
    if (!r)
        return false;
    int length = 0;
    uint8_t *data = reader_read_all_heap(r, 0, &length);
    reader_close_chain(r);
    if (!data || length <= 0) {
        std::free(data);
        return false;
    }
    src->mesh_rgb = static_cast<uint8_t *>(std::malloc(size_t(w * h * 3)));
    src->mesh_cov = static_cast<uint8_t *>(std::calloc(size_t(w * h), 1));
    if (!src->mesh_rgb || !src->mesh_cov) {
        std::free(data);
        return false;
    }
    mesh.in = {data, length, 0, false};
    switch (sh->type) {
    case 4: draw_free_form(&mesh); break;
    case 5: draw_lattice(&mesh, per_row); break;
    case 6: draw_patches(&mesh, false); break;
    default: draw_patches(&mesh, true); break;
    }
    std::free(data);
    if (mesh.stopped)
        add_diagnostic(ctx, "shading-mesh-budget");
    return true;
}
