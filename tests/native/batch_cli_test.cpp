// pagrix-render over many pages and many files: worker processes printing
// what one process prints, the progress line on a terminal only, failing
// files among good ones, a long list of bad files, and the rule that picks
// the image format from the output name.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "command_support.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace {

using testsupport::shell_quote;

struct CliRun {
    int status = -1;
    std::string out, err;
};

// pagrix-render with `args` (already quoted), stdout and stderr kept apart.
CliRun run(const std::string &args)
{
    static int serial = 0;
    const std::string err_file = testsupport::scratch_path("batch-stderr-" + std::to_string(serial++) + ".txt");
    CliRun r;
    r.out = testsupport::run_command(shell_quote(testsupport::pagrix_render_path()) + " " + args + " 2>" +
                                         shell_quote(err_file),
                                     &r.status);
    r.err = testsupport::read_file(err_file);
    return r;
}

// A document of `pages` pages, each showing "Page K hello" in Helvetica;
// the pages in `wide` are 30000 points wide, more than a raster row holds
// at 72 dpi, so rendering them fails while the others succeed.
std::string text_pdf(int pages, const std::vector<int> &wide = {})
{
    testsupport::PdfBuilder b;
    std::string kids;
    for (int k = 1; k <= pages; k++)
        kids += std::to_string(10 + 2 * k) + " 0 R ";
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    b.obj(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    for (int k = 1; k <= pages; k++) {
        const bool is_wide = std::find(wide.begin(), wide.end(), k) != wide.end();
        b.obj(10 + 2 * k, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::string(is_wide ? "30000" : "200") +
                              " 100] /Resources << /Font << /F1 3 0 R >> >> /Contents " +
                              std::to_string(11 + 2 * k) + " 0 R >>");
        b.stream(11 + 2 * k, "",
                 "BT /F1 12 Tf 20 50 Td (Page " + std::to_string(k) + " hello) Tj ET 0 0 1 rg " +
                     std::to_string(10 * k) + " 10 20 20 re f");
    }
    b.startxref(b.xref_section("/Size " + std::to_string(12 + 2 * pages) + " /Root 1 0 R"));
    return b.str();
}

// The files of a folder, by name, with their bytes.
std::map<std::string, std::string> folder_files(const std::string &dir)
{
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(dir, ec))
        files[e.path().filename().string()] = testsupport::read_file(e.path().string());
    return files;
}

std::string fresh_dir(const std::string &name)
{
    const std::string dir = testsupport::scratch_path(name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// With two worker processes, render, text and search print exactly what one
// process prints: files, lines and messages in page order, also when pages
// in between fail.
TEST(BatchCli, TwoWorkersGiveTheOutputOfOne)
{
    if (testsupport::pagrix_render_path().empty())
        GTEST_SKIP() << "pagrix-render not built";
    const std::string mixed = testsupport::scratch_path("batch-mixed.pdf");
    ASSERT_TRUE(testsupport::write_file(mixed, text_pdf(7, {3, 6})));
    std::vector<std::string> docs = {mixed};
    if (!testsupport::corpus_dir().empty())
        for (const char *name : {"pdfjsgh-tracemonkey.pdf", "deb-asymptote-doc-asyRefCard.pdf",
                                 "qpdf-inline-images.pdf"})
            docs.push_back(testsupport::corpus_dir() + "/pdf/" + name);
    for (const std::string &doc : docs) {
        const std::string q = shell_quote(doc);
        std::map<std::string, std::string> images[2];
        CliRun renders[2], texts[2], searches[2];
        for (int j : {1, 2}) {
            const std::string dir = fresh_dir("batch-j" + std::to_string(j));
            const std::string jobs = " -j " + std::to_string(j);
            renders[j - 1] = run("render " + q + " --all --dpi 72 -o " + shell_quote(dir + "/p%d.png") + jobs);
            images[j - 1] = folder_files(dir);
            texts[j - 1] = run("text " + q + jobs);
            searches[j - 1] = run("search " + q + " the" + jobs);
        }
        EXPECT_EQ(renders[1].status, renders[0].status) << doc;
        EXPECT_EQ(renders[1].err, renders[0].err) << doc;
        EXPECT_TRUE(images[1] == images[0]) << doc << ": the page images differ";
        EXPECT_EQ(texts[1].out, texts[0].out) << doc;
        EXPECT_EQ(searches[1].out, searches[0].out) << doc;
        EXPECT_GT(images[0].size(), 0u) << doc;
        EXPECT_NE(texts[0].out.find('\f'), std::string::npos) << doc << ": one page of text";
    }
    // The generated document: its two wide pages fail in order, and the
    // other five are written.
    const CliRun r = run("render " + shell_quote(mixed) + " --all -o " +
                      shell_quote(testsupport::scratch_path("batch-m%d.png")) + " -j 2");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "pagrix-render: page 3: rendering failed: the page is 30000 x 100 pixels at this resolution, "
              "wider than the 20000 pixels a row can hold (-3)\n"
              "pagrix-render: page 6: rendering failed: the page is 30000 x 100 pixels at this resolution, "
              "wider than the 20000 pixels a row can hold (-3)\n");
    for (int k : {1, 2, 4, 5, 7})
        EXPECT_FALSE(testsupport::read_file(testsupport::scratch_path("batch-m" + std::to_string(k) + ".png")).empty())
            << k;
    const CliRun s = run("search " + shell_quote(mixed) + " HELLO -j 2");
    EXPECT_NE(s.out.find("page 7: "), std::string::npos) << s.out;
}

// The progress line goes to a terminal only, and --quiet keeps it off.
TEST(BatchCli, ProgressOnTerminalOnly)
{
    if (testsupport::pagrix_render_path().empty() || std::system("command -v script >/dev/null") != 0)
        GTEST_SKIP() << "pagrix-render or script(1) missing";
    const std::string doc = testsupport::scratch_path("batch-progress.pdf");
    ASSERT_TRUE(testsupport::write_file(doc, text_pdf(5)));
    const std::string tool = shell_quote(testsupport::pagrix_render_path());
    const std::string render = tool + " render " + shell_quote(doc) + " --all -o " +
                               shell_quote(testsupport::scratch_path("batch-prog%d.bmp"));
    const std::string text = tool + " text " + shell_quote(doc) + " -j 2";
    const std::string search = tool + " search " + shell_quote(doc) + " hello -j 1";
    struct Row {
        std::string command;
        bool terminal;
        bool shown;
    } rows[] = {
        {render, true, true},
        {render + " -j 1", true, true},
        {text, true, true},
        {search, true, true},
        {render + " --quiet", true, false},
        {search + " --quiet", true, false},
        {render, false, false},  // stderr a pipe
        {text, false, false},
    };
    for (const Row &row : rows) {
        int status = -1;
        // script(1) gives the command a pseudo-terminal and copies what it
        // wrote there to our stdout.
        const std::string out =
            row.terminal ? testsupport::run_command("script -qec " + shell_quote(row.command + " >/dev/null") +
                                                        " /dev/null </dev/null",
                                                    &status)
                         : testsupport::run_command(row.command + " 2>&1 >/dev/null", &status);
        EXPECT_EQ(status, 0) << row.command;
        const bool shown = out.find("page 5 of 5") != std::string::npos;
        EXPECT_EQ(shown, row.shown) << row.command << "\n" << out;
        if (row.shown) {
            EXPECT_NE(out.find("pages/s"), std::string::npos) << out;
        }
        if (!row.terminal) {
            EXPECT_EQ(out, "") << row.command;
        }
    }
}

// Several files: each good one is done, each failing one gets one line on
// stderr naming it, and the exit status is 1.
TEST(BatchCli, FailingFilesAmongGoodOnes)
{
    if (testsupport::pagrix_render_path().empty())
        GTEST_SKIP() << "pagrix-render not built";
    const std::string one = testsupport::scratch_path("batch-one.pdf");
    const std::string two = testsupport::scratch_path("batch-two.pdf");
    const std::string missing = testsupport::scratch_path("batch-missing.pdf");
    const std::string damaged = testsupport::scratch_path("batch-damaged.pdf");
    ASSERT_TRUE(testsupport::write_file(one, text_pdf(1)));
    ASSERT_TRUE(testsupport::write_file(two, text_pdf(2)));
    ASSERT_TRUE(testsupport::write_file(damaged, std::string("%PDF-1.4\n") + std::string(300, '\0')));
    const std::string files = shell_quote(one) + " " + shell_quote(missing) + " " + shell_quote(damaged) + " " +
                              shell_quote(two);
    const std::string dir = fresh_dir("batch-several");
    const std::string bad_lines = "pagrix-render: cannot open " + missing + ": No such file or directory\n" +
                                  "pagrix-render: cannot open " + damaged + ": damaged file: no cross-reference table and no objects (-2)\n";
    struct Row {
        std::string args;
        std::vector<std::string> out_has;  // lines of stdout
    } rows[] = {
        {"info " + files, {"==> " + one + " <==", "==> " + two + " <==", "pages: 2"}},
        {"text " + files, {"==> " + two + " <==", "Page 1 hello", "\fPage 2 hello"}},
        {"fonts " + files, {"==> " + one + " <==", "Helvetica\tType1\tsubstituted n019003l.pfb"}},
        {"search " + files + " hello", {one + ": page 1: ", two + ": page 2: ", two + ": 2 hits"}},
        {"render " + files + " --all -o " + shell_quote(dir + "/%f-%d.png"), {}},
    };
    for (const Row &row : rows) {
        const CliRun r = run(row.args);
        EXPECT_EQ(r.status, 1) << row.args;
        EXPECT_EQ(r.err, bad_lines) << row.args;
        for (const std::string &line : row.out_has)
            EXPECT_NE(r.out.find(line), std::string::npos) << row.args << " lacks " << line << ":\n" << r.out;
    }
    EXPECT_EQ(folder_files(dir).size(), 3u) << "batch-one-1, batch-two-1, batch-two-2";
    EXPECT_EQ(run("render " + files + " -o " + shell_quote(dir + "/x%d.png")).status, 2) << "OUT without %f";
}

// The image format follows OUT's extension unless --format names it; an
// extension that names no format the program writes is a usage error and
// writes nothing.
TEST(BatchCli, FormatFollowsTheOutputName)
{
    if (testsupport::pagrix_render_path().empty())
        GTEST_SKIP() << "pagrix-render not built";
    const std::string doc = testsupport::scratch_path("batch-format.pdf");
    ASSERT_TRUE(testsupport::write_file(doc, text_pdf(1)));
    const std::string dir = fresh_dir("batch-format");
    std::filesystem::create_directories(dir + "/v1.5");
    struct Row {
        std::string name, options;
        int status;
        std::string magic;  // first bytes of the file; "" = no file
    } rows[] = {
        {"a.png", "", 0, "\x89PNG"},
        {"a.BMP", "", 0, "BM"},
        {"a.jpg", "", 0, "\xFF\xD8\xFF"},
        {"a.Jpeg", "", 0, "\xFF\xD8\xFF"},
        {"noext", "", 0, "\x89PNG"},
        {"v1.5/page", "", 0, "\x89PNG"},  // the dot of a folder is no extension
        {"b.png", "--format bmp", 0, "BM"},
        {"b.gif", "--format jpeg", 0, "\xFF\xD8\xFF"},
        {"c.gif", "", 2, ""},
        {"c.tif", "", 2, ""},
        {"c.", "", 2, ""},
    };
    for (const Row &row : rows) {
        const std::string out = dir + "/" + row.name;
        const CliRun r = run("render " + shell_quote(doc) + " -o " + shell_quote(out) + " " + row.options);
        EXPECT_EQ(r.status, row.status) << row.name;
        EXPECT_EQ(testsupport::read_file(out).substr(0, row.magic.size()), row.magic) << row.name;
        struct stat st;
        if (row.magic.empty()) {
            EXPECT_NE(stat(out.c_str(), &st), 0) << row.name << " was written";
        }
    }
}

// A list of 1,000 names mixing good files with missing ones, damaged copies
// of real files and the kept fuzz inputs: the run ends without a signal,
// and each file either has its page image or exactly one line on stderr.
TEST(BatchCli, ThousandFilesWithBadOnesFinish)
{
    if (testsupport::pagrix_render_path().empty())
        GTEST_SKIP() << "pagrix-render not built";
    const std::string dir = fresh_dir("batch-many");
    const std::string out_dir = fresh_dir("batch-many-out");
    // Sources of damage: small corpus PDFs when present, else generated ones.
    std::vector<std::string> sources;
    for (const std::string &f : testsupport::corpus_files("pdf", ".pdf"))
        if (std::filesystem::file_size(f) < 150000 && sources.size() < 40)
            sources.push_back(testsupport::read_file(f));
    if (sources.empty())
        for (int k = 1; k <= 5; k++)
            sources.push_back(text_pdf(k));
    std::vector<std::string> fuzz;
    for (const auto &e : std::filesystem::recursive_directory_iterator(std::string(PAGRIX_SOURCE_DIR) + "/tests/data/fuzz"))
        if (e.is_regular_file() && e.path().filename() != "README.md")
            fuzz.push_back(testsupport::read_file(e.path().string()));
    std::mt19937 rng(31);
    std::vector<std::string> names;
    std::vector<bool> missing;
    for (int i = 0; i < 1000; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "f%04d.pdf", i);
        const std::string path = dir + "/" + name;
        std::string bytes;
        const int kind = i % 10;
        if (kind < 2) {
            names.push_back(path);  // never written
            missing.push_back(true);
            continue;
        }
        if (kind < 4) {
            bytes = text_pdf(1 + i % 3);
        } else if (kind == 4) {
            bytes = fuzz[size_t(i / 10) % fuzz.size()];
        } else {
            // A damaged copy: cut short, a stretch overwritten, or bytes flipped.
            bytes = sources[rng() % sources.size()];
            const size_t at = rng() % bytes.size();
            if (kind == 5)
                bytes.resize(at);
            else if (kind == 6)
                bytes.replace(at, std::min<size_t>(bytes.size() - at, 4096), std::min<size_t>(bytes.size() - at, 4096), '\0');
            else
                for (int n = 0; n < 64; n++)
                    bytes[rng() % bytes.size()] ^= char(1 + rng() % 255);
        }
        ASSERT_TRUE(testsupport::write_file(path, bytes));
        names.push_back(path);
        missing.push_back(false);
    }
    std::string args;
    for (const std::string &n : names)
        args += " " + shell_quote(n);
    const std::string err_file = testsupport::scratch_path("batch-many-stderr.txt");
    const testsupport::LimitedRun r = testsupport::run_limited(
        shell_quote(testsupport::pagrix_render_path()) + " render" + args + " --dpi 24 -o " +
            shell_quote(out_dir + "/%f-%d.png") + " 2>" + shell_quote(err_file),
        1024, 600);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_status, 1);
    // Every line names one listed file, no file twice.
    std::map<std::string, int> lines;
    std::istringstream err(testsupport::read_file(err_file));
    int unattributed = 0;
    for (std::string line; std::getline(err, line);) {
        const auto at = line.find(dir + "/f");
        if (line.rfind("pagrix-render: ", 0) != 0 || at == std::string::npos) {
            unattributed++;
            ADD_FAILURE() << "line naming no file: " << line;
            continue;
        }
        lines[line.substr(at, dir.size() + 10)]++;
    }
    int failed = 0;
    for (size_t i = 0; i < names.size(); i++) {
        const int n = lines.count(names[i]) ? lines[names[i]] : 0;
        const std::string image = out_dir + "/" + std::filesystem::path(names[i]).stem().string() + "-1.png";
        const bool written = std::filesystem::exists(image);
        EXPECT_EQ(n + (written ? 1 : 0), 1) << names[i] << ": " << n << " lines, image " << written;
        if (missing[i]) {
            EXPECT_EQ(n, 1) << names[i];
        }
        failed += n;
    }
    std::printf("1000 files: %d failed with one line each, %d rendered, peak %ld KiB\n", failed,
                1000 - failed, r.peak_rss_kb);
    EXPECT_EQ(unattributed, 0);
}

}  // namespace
