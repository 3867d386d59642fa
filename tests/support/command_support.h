// Running shell commands for the oracle tests and the benchmarks, which compare
// with other programs. POSIX only: the Windows builds never include this.
#pragma once
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Runs `command` through the shell and returns its standard output. *exit_status
// (when not null) gets the exit code, -1 when the command did not start or did not
// exit normally.
inline std::string run_command(const std::string &command, int *exit_status = nullptr)
{
    if (exit_status)
        *exit_status = -1;
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    const int status = pclose(p);
    if (exit_status)
        *exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

// The outcome of a command run under process limits.
struct LimitedRun {
    int exit_status;   // exit code; -1 when killed by a signal (a limit) or not started
    int signal;        // the signal that ended it, 0 = none
    long peak_rss_kb;  // peak resident memory of the command
};

// Runs `command` through /bin/sh with its address space limited to `memory_mb`
// (0 = no limit; never use under AddressSanitizer, whose shadow needs terabytes
// of address space) and its processor time to `cpu_seconds`. Output goes to
// /dev/null unless the command redirects it. Memory and time bounds of a
// hostile input are checked this way, not with timed assertions.
// The peak is measured by /usr/bin/time in a process of its own: the rusage of
// a child forked from the test carries the test's resident set across exec.
inline LimitedRun run_limited(const std::string &command, long memory_mb, int cpu_seconds)
{
    LimitedRun result{-1, 0, 0};
    static int serial = 0;
    const std::string peak_file = std::string(PAGRIX_BINARY_DIR) + "/peak-" +
                                  std::to_string(getpid()) + "-" + std::to_string(serial++) + ".txt";
    const bool timed = access("/usr/bin/time", X_OK) == 0;
    std::fflush(nullptr);  // the child must not repeat our buffered output
    const pid_t pid = fork();
    if (pid < 0)
        return result;
    if (pid == 0) {
        if (memory_mb > 0) {
            const rlimit as{rlim_t(memory_mb) << 20, rlim_t(memory_mb) << 20};
            setrlimit(RLIMIT_AS, &as);
        }
        const rlimit cpu{rlim_t(cpu_seconds), rlim_t(cpu_seconds)};
        setrlimit(RLIMIT_CPU, &cpu);
        if (!std::freopen("/dev/null", "w", stdout))
            _exit(127);
        if (timed)
            execl("/usr/bin/time", "time", "-q", "-f", "%M", "-o", peak_file.c_str(), "/bin/sh", "-c",
                  command.c_str(), (char *)nullptr);
        else
            execl("/bin/sh", "sh", "-c", command.c_str(), (char *)nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return result;
    result.peak_rss_kb = usage.ru_maxrss;
    if (WIFEXITED(status))
        result.exit_status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    if (timed) {
        // time exits with 128 + the signal that ended the command.
        if (result.exit_status > 128) {
            result.signal = result.exit_status - 128;
            result.exit_status = -1;
        }
        if (FILE *f = std::fopen(peak_file.c_str(), "r")) {
            long kb = 0;
            if (std::fscanf(f, "%ld", &kb) == 1)
                result.peak_rss_kb = kb;
            std::fclose(f);
        }
        std::remove(peak_file.c_str());
    }
    return result;
}

// A word for /bin/sh: single-quoted, with embedded quotes escaped.
inline std::string shell_quote(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The fields of one line of command output or of a reference table.
inline std::vector<std::string> split(const std::string &line, char sep)
{
    std::vector<std::string> out;
    std::stringstream ss(line);
    for (std::string item; std::getline(ss, item, sep);)
        out.push_back(item);
    return out;
}

// The rows of a tab-separated reference table with a header line, each as
// a lookup of its cells by column name ("" for a cell the row lacks).
class TableRow {
  public:
    TableRow(const std::vector<std::string> *head, std::vector<std::string> cells)
        : head_(head), cells_(std::move(cells)) {}
    std::string operator()(const char *name) const
    {
        for (size_t i = 0; i < head_->size() && i < cells_.size(); i++)
            if ((*head_)[i] == name)
                return cells_[i];
        return "";
    }

  private:
    const std::vector<std::string> *head_;
    std::vector<std::string> cells_;
};

inline std::vector<TableRow> table_rows(const std::string &path, std::vector<std::string> *head)
{
    std::vector<TableRow> rows;
    std::ifstream in(path);
    std::string line;
    head->clear();
    while (std::getline(in, line)) {
        if (head->empty())
            *head = split(line, '\t');
        else
            rows.emplace_back(head, split(line, '\t'));
    }
    return rows;
}

// The command-line renderer of this build tree, or "" when it was not built.
inline std::string pagrix_render_path()
{
    const std::string tool = std::string(PAGRIX_BINARY_DIR) + "/../bin/pagrix-render";
    return access(tool.c_str(), X_OK) == 0 ? tool : std::string();
}

}  // namespace testsupport
