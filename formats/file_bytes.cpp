#include "formats/file_bytes.h"

#include <cstdio>
#include <cstdlib>

#include "pdf/reader.h"

uint8_t *formats_read_file(const char *path, int64_t min, int64_t max, int64_t *size)
{
    *size = 0;
    FILE *fp = reader_fopen(path);
    if (!fp)
        return nullptr;
    long n = -1;
    if (std::fseek(fp, 0, SEEK_END) == 0)
        n = std::ftell(fp);
    uint8_t *bytes = nullptr;
    if (n >= min && n <= max && std::fseek(fp, 0, SEEK_SET) == 0) {
        bytes = static_cast<uint8_t *>(std::malloc(n > 0 ? size_t(n) : 1));
        if (bytes && std::fread(bytes, 1, size_t(n), fp) != size_t(n)) {
            std::free(bytes);
            bytes = nullptr;
        }
    }
    std::fclose(fp);
    if (bytes)
        *size = n;
    return bytes;
}
