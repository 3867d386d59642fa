// Double-precision cell accumulation for scan-conversion tests.
#include "coverage_reference.h"

#include <algorithm>
#include <cmath>

namespace testsupport {

CoverageReference::CoverageReference(int width, int height)
    : w_(width), h_(height), cover_(size_t(width + 1) * height), area_(size_t(width + 1) * height)
{
}

void CoverageReference::add_edge(double x1, double y1, double x2, double y2)
{
    if (y1 == y2)
        return;
    double lo = std::max(std::min(y1, y2), 0.0), hi = std::min(std::max(y1, y2), double(h_));
    for (int r = int(std::floor(lo)); r < h_ && r < hi; r++) {
        double a = std::max(lo, double(r)), b = std::min(hi, double(r) + 1);
        if (a >= b)
            continue;
        double ya = y1 < y2 ? a : b, yb = y1 < y2 ? b : a;
        add_piece(r, x1 + (x2 - x1) * (ya - y1) / (y2 - y1), ya, x1 + (x2 - x1) * (yb - y1) / (y2 - y1), yb);
    }
}

void CoverageReference::add_piece(int row, double xa, double ya, double xb, double yb)
{
    std::vector<double> ts = {0, 1};
    double lo = std::min(xa, xb), hi = std::max(xa, xb);
    for (double c = std::max(std::ceil(lo), 0.0); c < hi && c <= w_; c++)
        if (c > lo)
            ts.push_back((c - xa) / (xb - xa));
    std::sort(ts.begin(), ts.end());
    double *cover = &cover_[size_t(row) * (w_ + 1)], *area = &area_[size_t(row) * (w_ + 1)];
    for (size_t i = 0; i + 1 < ts.size(); i++) {
        double x0 = xa + (xb - xa) * ts[i], y0 = ya + (yb - ya) * ts[i];
        double x1 = xa + (xb - xa) * ts[i + 1], y1 = ya + (yb - ya) * ts[i + 1];
        int col = int(std::floor((x0 + x1) / 2));
        if (col >= w_)
            continue;
        if (col < 0) {
            cover[0] += y1 - y0;
            continue;
        }
        cover[col + 1] += y1 - y0;
        area[col + 1] += (x0 - col + x1 - col) * (y1 - y0);
    }
}

void CoverageReference::add_polygon(const std::vector<double> &xy)
{
    size_t n = xy.size() / 2;
    auto q = [](double v) { return std::trunc(double(float(v)) * 64) / 64; };
    for (size_t i = 0; i < n; i++) {
        size_t j = (i + 1) % n;
        add_edge(q(xy[2 * i]), q(xy[2 * i + 1]), q(xy[2 * j]), q(xy[2 * j + 1]));
    }
}

std::vector<uint8_t> CoverageReference::coverage(bool even_odd) const
{
    std::vector<uint8_t> out(size_t(w_) * h_);
    for (int r = 0; r < h_; r++) {
        const double *cover = &cover_[size_t(r) * (w_ + 1)], *area = &area_[size_t(r) * (w_ + 1)];
        double c = cover[0];
        for (int x = 0; x < w_; x++) {
            c += cover[x + 1];
            double v = std::fabs(2 * c - area[x + 1]) * 128;  // 256 = one full pixel
            if (even_odd) {
                v = std::fmod(v, 512);
                if (v > 256)
                    v = 512 - v;
            }
            out[size_t(r) * w_ + x] = uint8_t(std::floor(std::min(v, 255.0) + 1e-9));
        }
    }
    return out;
}

}  // namespace testsupport
