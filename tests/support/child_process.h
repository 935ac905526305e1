#pragma once
// Runs a piece of a test in a child process, for what a test process must not do to itself:
// being killed, changing its signal handling or its limits.

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gg::test {

// Starts body in a child that ends with exit status 0 when body returns, or with the code body
// gives to std::_Exit. Returns the child's pid.
template <class F>
pid_t startChild(F body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        std::_Exit(0);
    }
    return pid;
}

// Waits for the child and returns its wait status.
inline int waitForChild(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

template <class F>
int runInChild(F body)
{
    return waitForChild(startChild(body));
}

} // namespace gg::test
