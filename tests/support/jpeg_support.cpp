// JPEG encoding into memory for the DCT filter tests.
#include "jpeg_support.h"

#include <cstdlib>

namespace testsupport {

std::vector<uint8_t> jpeg_encode(int width, int height, int components, J_COLOR_SPACE in,
                                 const std::function<int(int x, int y, int k)> &pixel,
                                 const std::function<void(jpeg_compress_struct *)> &configure)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = components;
    c.in_color_space = in;
    jpeg_set_defaults(&c);
    if (configure)
        configure(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(size_t(width * components));
    while (c.next_scanline < c.image_height) {
        const int y = int(c.next_scanline);
        for (int x = 0; x < width; x++)
            for (int k = 0; k < components; k++)
                row[size_t(x * components + k)] = JSAMPLE(pixel(x, y, k));
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> out(mem, mem + size);
    std::free(mem);
    return out;
}

std::vector<uint8_t> jpeg_decode(const std::vector<uint8_t> &jpeg, J_COLOR_SPACE out)
{
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    err.output_message = [](j_common_ptr) {};
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), (unsigned long)jpeg.size());
    jpeg_read_header(&d, TRUE);
    d.out_color_space = out;
    jpeg_start_decompress(&d);
    std::vector<uint8_t> all;
    std::vector<JSAMPLE> row(size_t(d.output_width * d.output_components));
    while (d.output_scanline < d.output_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&d, rows, 1);
        all.insert(all.end(), row.begin(), row.end());
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return all;
}

}  // namespace testsupport
