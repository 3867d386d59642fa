// The corpus PDFs whose first page draws images, found with Poppler's
// pdfimages: shared by the image fidelity test and the image benchmark.
// POSIX only, like command_support.h.
#pragma once
#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "command_support.h"

namespace testsupport {

struct ImagePage {
    std::string file;
    long long largest;  // pixels of the page's largest image
};

inline std::vector<ImagePage> first_pages_with_images(const std::vector<std::string> &files)
{
    std::vector<ImagePage> out;
    for (const std::string &f : files) {
        std::istringstream list(
            run_command("timeout 20 pdfimages -list -f 1 -l 1 '" + f + "' 2>/dev/null"));
        std::string line;
        long long largest = -1;
        // Two header lines, then: page num type width height ...
        for (int i = 0; std::getline(list, line); i++) {
            if (i < 2)
                continue;
            std::istringstream row(line);
            long long page = 0, num = 0, w = 0, h = 0;
            std::string type;
            if (row >> page >> num >> type >> w >> h)
                largest = std::max(largest, w * h);
        }
        if (largest >= 0)
            out.push_back({f, largest});
    }
    return out;
}

}  // namespace testsupport
