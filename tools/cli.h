// What the commands of pagrix-render share: the one command-line parser,
// the messages, the document opener, and the page runner that spreads a
// command's pages over worker processes and prints their results in page
// order.
#pragma once
#include <functional>
#include <string>
#include <vector>

struct Document;

enum CliCommand {
    CLI_INFO = 1,
    CLI_RENDER = 2,
    CLI_TEXT = 4,
    CLI_SEARCH = 8,
    CLI_NAV = 16,
    CLI_FONTS = 32,
};

struct CliOptions {
    CliCommand command = CLI_INFO;
    std::vector<std::string> files;
    std::string query;               // search
    const char *password = nullptr;  // every command
    int text_encoding = -1;          // --encoding NAME of a plain text file; -1: detected
    int page = 0;                    // --page K, 1-based; 0 = not given
    int first = 0, last = 0;         // --pages A-B; 0 = not given
    bool all = false;                // --all
    int jobs = 0;                    // -j N; 0 = one per processor
    bool quiet = false;              // no progress line
    bool case_sensitive = false;     // search --case
    // render
    const char *out = nullptr;
    float scale = 1.0f;
    int quarter_turns = 0;
    int band_y0 = 0, band_rows = 0;
    std::string format;  // png, bmp or jpeg, from --format or OUT's extension
    int quality = 90;
    bool no_aa = false;
    bool diag = false;
    bool thumbnail = false;
};

// Parses argv[1..]: the command, its options and FILE arguments (search:
// FILE... QUERY). 0, or 2 after the usage message.
int parse_command_line(int argc, char **argv, CliOptions *o);
// Prints "pagrix-render: WHAT" and the usage summary on stderr; 2.
int usage_error(const std::string &what);
const char *usage_text();

// Messages about one file start "pagrix-render: ", followed by "FILE: " when
// the command was given several files, so that each line names its file.
void set_several_files(bool several);
bool several_files();
std::string message_prefix(const std::string &path);
// Prints one message line on stderr: the prefix of `path` and `text`.
void report(const std::string &path, const std::string &text);

// Opens a document for a command; null after the message (the file's
// system error when it cannot be read, else the open status in words and
// its code).
Document *open_document(const CliOptions &o, const std::string &path);
// The message for a failed doc_open of `path` with status `rc`.
std::string open_failure_message(const std::string &path, int rc);
// A render status in words, its code after them: "out of memory (-3)".
std::string render_failure_words(int rc);

// One page's share of a command's output, printed by the runner in page
// order: `out` to stdout, `err` to stderr; `failed` counts a failure and
// `count` adds to the command's total (search hits).
struct PageOutput {
    bool failed = false;
    long count = 0;
    std::string out;
    std::string err;
};

struct PageRun {
    std::string path;  // the document, named in the progress line
    int first = 1, last = 1;  // 1-based pages
    int jobs = 1;             // worker processes; 1 = this process alone
    bool progress = false;    // show the progress line
    // Opens a worker's own document (null: the worker takes no pages).
    std::function<Document *()> open;
    // Does page `page` (1-based) of `doc`.
    std::function<void(Document *doc, int page, PageOutput *out)> work;
};

struct PageTotals {
    int failures = 0;
    long count = 0;
};

// Runs run.work over the pages, in this process with `doc` when one job or
// one page is asked for, else in run.jobs worker processes that each open
// their own document and take the next page not yet taken. A worker that
// dies leaves a failure line for the page it was doing; the others go on.
PageTotals run_pages(Document *doc, const PageRun &run);
// The number of processors, at least 1.
int processor_count();
// Whether the progress line is shown: stderr is a terminal and not --quiet.
bool progress_wanted(const CliOptions &o);
// A run over pages first..last of `path` with the options' jobs and progress,
// each worker opening the document with open_document; run.work is the
// caller's.
PageRun page_run(const CliOptions &o, const std::string &path, int first, int last);
