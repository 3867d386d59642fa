// Documents whose navigation structures are built to hurt: loops, shared
// name-tree kids, huge tables and limits. Shared by the engine tests, which
// check what the readers return, and the command-line tests, which check
// that the tool finishes within processor-time and memory limits.
#pragma once
#include <string>
#include <vector>

namespace testsupport {

struct NavHostileDoc {
    const char *what;
    std::string pdf;
    std::vector<int> outline_pages;  // page index of each listed outline item, in order
    int cpu_seconds = 1;             // processor time the command-line tool may take
};

// Each has three pages (objects 3, 4, 5) and an outline rooted at object 10.
std::vector<NavHostileDoc> nav_hostile_docs();

}  // namespace testsupport
