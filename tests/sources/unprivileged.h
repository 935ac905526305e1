#pragma once
// Runs the current thread's file accesses under an ordinary user's id, so that permission bits
// deny access even when the tests run as root. Dropping the id also drops root's file overrides.

#include <sys/fsuid.h>
#include <unistd.h>

namespace gg::test {

class Unprivileged {
public:
    static constexpr uid_t kNobody = 65534;

    Unprivileged()
    {
        if (::geteuid() != 0) {
            active_ = true; // already an ordinary user
            return;
        }
        ::setfsuid(kNobody);
        changed_ = true;
        active_ = static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1))) == kNobody;
    }
    ~Unprivileged()
    {
        if (changed_)
            ::setfsuid(0);
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

    bool active() const { return active_; }

private:
    bool active_ = false;
    bool changed_ = false;
};

} // namespace gg::test
