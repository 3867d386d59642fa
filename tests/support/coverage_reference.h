// A slow reference for scan-conversion tests: the cell areas and covers of a
// polygon set accumulated in double precision from the exact edge geometry,
// then turned into coverage bytes the way every cell rasterizer does.
#pragma once
#include <cstdint>
#include <vector>

namespace testsupport {

class CoverageReference {
public:
    CoverageReference(int width, int height);
    // One edge in pixels (y down). Points are used as given: quantize first.
    void add_edge(double x1, double y1, double x2, double y2);
    // Closed polygons of (x, y) pairs, each point first truncated to 1/64
    // pixel like the rasterizer's input.
    void add_polygon(const std::vector<double> &xy);
    // Coverage bytes, rows top-down, rounded down like a rasterizer does.
    std::vector<uint8_t> coverage(bool even_odd) const;

private:
    void add_piece(int row, double xa, double ya, double xb, double yb);
    int w_, h_;
    std::vector<double> cover_, area_;  // (w + 1) per row; column 0 collects what lies left
};

}  // namespace testsupport
