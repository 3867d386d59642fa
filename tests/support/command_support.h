// Running shell commands for the oracle tests and the benchmarks, which compare
// with other programs. POSIX only: the Windows builds never include this.
#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <string>

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

}  // namespace testsupport
