#pragma once
// Starting a program for a benchmark and collecting what the kernel says about it afterwards.

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace BenchProcess
{
inline qint64 monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<qint64>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

/**
 * A started program whose standard output comes through a pipe. The peak resident size that
 * wait4 reports includes the starting process's size at the time of the start, so the starting
 * process should stay small.
 */
struct Child {
    pid_t pid = 0;
    int output = -1; // read end of the program's standard output
    qint64 startedNs = 0;

    /** Starts argv[0] with the environment of this process; standard error goes to /dev/null unless verbose. */
    bool start(char *const argv[], bool verbose)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        if (!verbose)
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        startedNs = monotonicNs();
        const bool started = posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        output = fds[0];
        return started;
    }

    /** Reads what the program wrote; false at its end or after timeoutMs without output. */
    bool read(QByteArray &into, int timeoutMs) const
    {
        pollfd readable {output, POLLIN, 0};
        if (poll(&readable, 1, timeoutMs) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = ::read(output, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        into.append(buffer, n);
        return true;
    }

    /** Waits for the end (after SIGTERM when terminate); the exit code and the peak resident size in MB. */
    std::pair<int, double> finish(bool terminate)
    {
        if (terminate)
            kill(pid, SIGTERM);
        int status = 0;
        rusage usage {};
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) { }
        close(output);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss / 1024.0};
    }
};
}
