// The page runner of pagrix-render: a command's pages done in this process
// or in worker processes, their output printed in page order, with a
// progress line on a terminal.
//
// Workers are forked after the command line and the document were read.
// The first keeps the parent's open document; each other opens it again
// (the engine reads its file through a FILE whose offset forked copies
// would share, and its caches are not locked, so neither the handle nor
// threads can be shared by two at once; the parent leaves its copy alone
// until the workers have ended). Each takes pages from a counter in shared
// memory, so a slow page holds up only its own worker.
// Results come back through one pipe per worker as records; the parent
// keeps those that arrive early until the pages before them are printed.
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "document/document.h"
#include "tools/cli.h"

namespace {

using Clock = std::chrono::steady_clock;

// One updating line on stderr: page K of N, pages per second, time left.
// It is wiped before anything else is printed and drawn again at the next
// page, at most ten times a second.
class Progress {
  public:
    Progress(bool on, const std::string &path, int total)
        : on_(on), total_(total), start_(Clock::now())
    {
        if (several_files())
            label_ = path + ": ";
    }
    ~Progress() { wipe(); }

    void page_done()
    {
        done_++;
        if (!on_)
            return;
        const Clock::time_point now = Clock::now();
        if (drawn_ && now - last_ < std::chrono::milliseconds(100) && done_ < total_)
            return;
        last_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double rate = seconds > 0 ? done_ / seconds : 0;
        char line[200];
        if (rate > 0)
            std::snprintf(line, sizeof line, "%spage %d of %d, %.1f pages/s, %.0f s left", label_.c_str(),
                          done_, total_, rate, (total_ - done_) / rate);
        else
            std::snprintf(line, sizeof line, "%spage %d of %d", label_.c_str(), done_, total_);
        std::fprintf(stderr, "\r\033[K%s", line);
        std::fflush(stderr);
        drawn_ = true;
    }

    // Clears the line so that other output starts at the left margin.
    void wipe()
    {
        if (!drawn_)
            return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        drawn_ = false;
    }

  private:
    bool on_;
    bool drawn_ = false;
    int total_;
    int done_ = 0;
    std::string label_;
    Clock::time_point start_, last_;
};

// Prints one page's output; stdout is flushed while the progress line is
// up, so that the two streams do not mix on the terminal.
void emit(const PageOutput &o, Progress *progress, PageTotals *totals)
{
    if (!o.out.empty() || !o.err.empty())
        progress->wipe();
    std::fwrite(o.out.data(), 1, o.out.size(), stdout);
    if (!o.err.empty()) {
        std::fflush(stdout);
        std::fwrite(o.err.data(), 1, o.err.size(), stderr);
    }
    totals->failures += o.failed ? 1 : 0;
    totals->count += o.count;
    progress->page_done();
}

PageTotals run_here(Document *doc, const PageRun &run)
{
    PageTotals totals;
    Progress progress(run.progress, run.path, run.last - run.first + 1);
    for (int p = run.first; p <= run.last; p++) {
        PageOutput o;
        run.work(doc, p, &o);
        emit(o, &progress, &totals);
    }
    std::fflush(stdout);
    return totals;
}

// ---- Worker records ----
//
// A record is a header and the page's two texts. A 'claim' record comes
// before a page is started, so that the parent knows which page a worker
// that dies was on.

enum : int32_t { kClaim = 1, kResult = 2 };

struct RecordHeader {
    int32_t kind;
    int32_t page;
    int32_t failed;
    int32_t pad;
    int64_t count;
    uint64_t out_size;
    uint64_t err_size;
};

bool write_all(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool send_record(int fd, int32_t kind, int page, const PageOutput &o)
{
    RecordHeader h{kind, page, o.failed ? 1 : 0, 0, o.count, o.out.size(), o.err.size()};
    std::string buffer(reinterpret_cast<const char *>(&h), sizeof h);
    buffer += o.out;
    buffer += o.err;
    return write_all(fd, buffer.data(), buffer.size());
}

// A worker's life: the inherited document or its own, then pages from the
// shared counter until none are left. It never returns.
[[noreturn]] void worker_main(const PageRun &run, std::atomic<int> *next, int fd, Document *inherited)
{
    Document *doc = inherited ? inherited : run.open();
    if (!doc)
        _exit(3);
    for (;;) {
        const int page = next->fetch_add(1);
        if (page > run.last)
            break;
        if (!send_record(fd, kClaim, page, PageOutput{}))
            _exit(4);
        PageOutput o;
        run.work(doc, page, &o);
        if (!send_record(fd, kResult, page, o))
            _exit(4);
    }
    // No doc_close and no exit handlers: the process ends here, and the
    // parent's stdio buffers and files are not this process's to flush.
    _exit(0);
}

struct Worker {
    pid_t pid = -1;
    int fd = -1;           // read end of its pipe; -1 once closed
    std::string buffer;    // bytes of records not yet complete
    int claimed = 0;       // page it is on, 0 = none
};

// Moves every complete record out of w->buffer.
void take_records(Worker *w, std::map<int, PageOutput> *results)
{
    size_t at = 0;
    while (w->buffer.size() - at >= sizeof(RecordHeader)) {
        RecordHeader h;
        std::memcpy(&h, w->buffer.data() + at, sizeof h);
        const size_t size = sizeof h + h.out_size + h.err_size;
        if (w->buffer.size() - at < size)
            break;
        if (h.kind == kClaim) {
            w->claimed = h.page;
        } else {
            PageOutput &o = (*results)[h.page];
            o.failed = h.failed != 0;
            o.count = long(h.count);
            const char *data = w->buffer.data() + at + sizeof h;
            o.out.assign(data, h.out_size);
            o.err.assign(data + h.out_size, h.err_size);
            w->claimed = 0;
        }
        at += size;
    }
    w->buffer.erase(0, at);
}

// How a worker ended, for the line of the page it did not finish.
std::string ending(int status)
{
    if (WIFSIGNALED(status))
        return "the worker process was ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
               strsignal(WTERMSIG(status)) + ")";
    return "the worker process ended with status " + std::to_string(WEXITSTATUS(status));
}

PageTotals run_workers(Document *doc, const PageRun &run, int jobs)
{
    PageTotals totals;
    void *shared = mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED)
        return {run.last - run.first + 1, 0};
    auto *next = new (shared) std::atomic<int>(run.first);
    std::fflush(nullptr);
    std::vector<Worker> workers(static_cast<size_t>(jobs));
    for (Worker &w : workers) {
        int fds[2];
        if (pipe(fds) != 0)
            break;
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            for (const Worker &other : workers)
                if (other.fd >= 0)
                    close(other.fd);
            worker_main(run, next, fds[1], &w == &workers.front() ? doc : nullptr);
        }
        close(fds[1]);
        if (pid < 0) {
            close(fds[0]);
            break;
        }
        w.pid = pid;
        w.fd = fds[0];
    }
    if (workers.front().pid < 0) {  // no process could be started: do the pages here
        munmap(shared, sizeof(std::atomic<int>));
        return run_here(doc, run);
    }

    Progress progress(run.progress, run.path, run.last - run.first + 1);
    std::map<int, PageOutput> results;
    int next_out = run.first;
    auto flush_ready = [&] {
        for (auto it = results.find(next_out); it != results.end(); it = results.find(next_out)) {
            emit(it->second, &progress, &totals);
            results.erase(it);
            next_out++;
        }
    };
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<Worker *> owners;
        for (Worker &w : workers) {
            if (w.fd >= 0) {
                fds.push_back({w.fd, POLLIN, 0});
                owners.push_back(&w);
            }
        }
        if (fds.empty())
            break;
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (size_t i = 0; i < fds.size(); i++) {
            if (!fds[i].revents)
                continue;
            Worker *w = owners[i];
            char chunk[65536];
            const ssize_t n = read(w->fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                close(w->fd);
                w->fd = -1;
                continue;
            }
            w->buffer.append(chunk, size_t(n));
            take_records(w, &results);
        }
        flush_ready();
    }
    // Every pipe is closed: each worker has ended or is about to.
    for (Worker &w : workers) {
        if (w.pid < 0)
            continue;
        int status = 0;
        while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (w.claimed && !results.count(w.claimed)) {
            PageOutput &o = results[w.claimed];
            o.failed = true;
            o.err = message_prefix(run.path) + "page " + std::to_string(w.claimed) + ": " + ending(status) +
                    "\n";
        }
    }
    // Pages no worker took (none could open the document).
    for (int p = next_out; p <= run.last; p++) {
        if (!results.count(p)) {
            PageOutput &o = results[p];
            o.failed = true;
            o.err = message_prefix(run.path) + "page " + std::to_string(p) +
                    ": not done: no worker process could take it\n";
        }
    }
    flush_ready();
    std::fflush(stdout);
    munmap(shared, sizeof(std::atomic<int>));
    return totals;
}

}  // namespace

PageTotals run_pages(Document *doc, const PageRun &run)
{
    const int pages = run.last - run.first + 1;
    if (pages <= 0)
        return {};
    const int jobs = run.jobs < pages ? run.jobs : pages;
    if (jobs <= 1 || !run.open)
        return run_here(doc, run);
    return run_workers(doc, run, jobs);
}

int processor_count()
{
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n < 1 ? 1 : n > 256 ? 256 : int(n);
}

bool progress_wanted(const CliOptions &o) { return !o.quiet && isatty(2); }

PageRun page_run(const CliOptions &o, const std::string &path, int first, int last)
{
    PageRun run;
    run.path = path;
    run.first = first;
    run.last = last;
    run.jobs = o.jobs > 0 ? o.jobs : processor_count();
    run.progress = progress_wanted(o);
    run.open = [&o, path] { return open_document(o, path); };
    return run;
}
