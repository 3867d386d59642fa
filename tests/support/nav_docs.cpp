// Hostile navigation structures for the engine and command-line tests.
#include "nav_docs.h"

#include <utility>

#include "pdf_builder.h"

namespace testsupport {

namespace {

using Objects = std::vector<std::pair<int, std::string>>;

std::string ref(int num) { return std::to_string(num) + " 0 R"; }

// Catalogue (with `extra` entries), three pages and the outline root 10
// whose first item is 11.
Objects base(const std::string &extra = "")
{
    Objects o = {{1, "<< /Type /Catalog /Pages 2 0 R /Outlines 10 0 R " + extra + " >>"},
                 {2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>"}};
    for (int num = 3; num <= 5; num++)
        o.push_back({num, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >>"});
    o.push_back({10, "<< /Type /Outlines /First 11 0 R >>"});
    return o;
}

// Items 11 .. 11 + n - 1 as one sibling chain, each with `body` entries.
void chain(Objects *o, int n, const std::string &body)
{
    for (int i = 0; i < n; i++) {
        std::string next = i + 1 < n ? " /Next " + ref(12 + i) : "";
        o->push_back({11 + i, "<< /Title (Item " + std::to_string(i) + ") " + body + next + " >>"});
    }
}

}  // namespace

std::vector<NavHostileDoc> nav_hostile_docs()
{
    std::vector<NavHostileDoc> docs;
    auto add = [&](const char *what, const Objects &o, std::vector<int> pages, int cpu_seconds = 1) {
        docs.push_back({what, objects_pdf(o), std::move(pages), cpu_seconds});
    };
    {
        Objects o = base();
        o.push_back({11, "<< /Title () /Next 11 0 R /First 11 0 R >>"});
        add("untitled item whose Next and First are itself", o, {});
    }
    {
        Objects o = base();
        o.push_back({11, "<< /Title (A) /First 12 0 R /Next 11 0 R >>"});
        o.push_back({12, "<< /Title (B) /First 10 0 R /Next 11 0 R >>"});
        add("Next back to the item, First to the root and to the parent", o, {-1, -1});
    }
    {
        // Node 20 + i has Kids [21+i 21+i]; the bottom node holds the one
        // name and lists itself twice as Kids. Without a visited set the
        // search for a missing name takes 2^30 steps.
        Objects o = base("/Names << /Dests 20 0 R >>");
        for (int i = 0; i < 30; i++)
            o.push_back({20 + i, "<< /Kids [" + ref(21 + i) + " " + ref(21 + i) + "] >>"});
        o.push_back({50, "<< /Names [(found) [4 0 R /Fit]] /Kids [50 0 R 50 0 R] >>"});
        o.push_back({11, "<< /Title (Missing) /Dest (missing) /Next 12 0 R >>"});
        o.push_back({12, "<< /Title (Found) /Dest (found) >>"});
        add("name tree with Kids [self self] 30 levels deep", o, {-1, 1});
    }
    {
        Objects o = base("/Names << /Dests 20 0 R >>");
        o.push_back({20, "<< /Kids [21 0 R] >>"});
        o.push_back({21, "<< /Kids [20 0 R 21 0 R 22 0 R] >>"});
        o.push_back({22, "<< /Names [(k) [5 0 R /Fit]] /Kids [20 0 R] >>"});
        o.push_back({11, "<< /Title (Missing) /Dest (x) /Next 12 0 R >>"});
        o.push_back({12, "<< /Title (Found) /Dest (k) >>"});
        add("name tree whose Kids loop", o, {-1, 2});
    }
    {
        // Name d<k> goes to page k mod 3; item i asks for d<(i * 37) mod 100000>.
        Objects o = base("/Dests 5000 0 R");
        std::string dests = "<<";
        for (int k = 0; k < 100000; k++)
            dests += " /d" + std::to_string(k) + " [" + ref(3 + k % 3) + " /Fit]";
        o.push_back({5000, dests + " >>"});
        std::vector<int> pages;
        for (int i = 0; i < 2000; i++) {
            const int k = i * 37 % 100000;
            std::string next = i + 1 < 2000 ? " /Next " + ref(12 + i) : "";
            o.push_back({11 + i, "<< /Title (I" + std::to_string(i) + ") /Dest /d" + std::to_string(k) + next + " >>"});
            pages.push_back(k % 3);
        }
        add("Dests dictionary of 100,000 names", o, pages, 5);  // 2.4 MB to parse
    }
    {
        Objects o = base();
        o.push_back({11, "<< /Title (Stream) /Dest 12 0 R /Next 13 0 R >>"});
        o.push_back({12, "<< /Length 12 >>\nstream\n[3 0 R /Fit]\nendstream"});
        o.push_back({13, "<< /Title (After) /Dest [3 0 R /Fit] >>"});
        add("outline item whose Dest is a stream", o, {-1, 0});
    }
    {
        Objects o = base();
        o[o.size() - 1].second = "<< /Type /Outlines /First 11 0 R /Count -2147483648 >>";
        o.push_back({11, "<< /Title (Top) /Count -2147483648 /First 12 0 R /Dest [4 0 R /Fit] >>"});
        o.push_back({12, "<< /Title (Kid) /Count -2147483648 /Dest [5 0 R /Fit] >>"});
        add("Count of -2^31", o, {1, 2});
    }
    {
        Objects o = base();
        chain(&o, 10000, "/Dest [5 0 R /Fit]");
        add("10,000 siblings: the first 4096 are listed", o, std::vector<int>(4096, 2));
    }
    {
        // Item 11 + i has the single child 12 + i: levels 0 .. 32 are walked.
        Objects o = base();
        for (int i = 0; i < 1000; i++) {
            std::string first = i + 1 < 1000 ? " /First " + ref(12 + i) : "";
            o.push_back({11 + i, "<< /Title (L" + std::to_string(i) + ") /Dest [3 0 R /Fit]" + first + " >>"});
        }
        add("1,000 levels: 33 are listed", o, std::vector<int>(33, 0));
    }
    return docs;
}

}  // namespace testsupport
