#pragma once
// Makes chosen system calls of the calling thread fail as a file system or a kernel without some
// feature would: a seccomp filter that answers them with an errno before the kernel runs them.
// The filter binds the calling thread and every process it starts, never the rest of the process,
// and cannot be lifted: run the code under test in a thread or a child process of its own.

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gg::test {

struct FailingCall {
    enum class When { Always, AnyBitOf, NoBitOf, Above };

    long number;         // SYS_openat, SYS_linkat, ...
    int error;           // the errno it fails with
    When when = When::Always;
    int argument = 0;    // whose low 32 bits are looked at, counted from 0
    std::uint32_t value = 0;
};

// Installs the filter on the calling thread; false where seccomp is not available.
inline bool failCalls(const std::vector<FailingCall>& calls)
{
#if defined(__x86_64__)
    constexpr std::uint32_t kArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
    constexpr std::uint32_t kArch = AUDIT_ARCH_AARCH64;
#else
    return false;
#endif
    std::vector<sock_filter> program;
    auto statement = [&](std::uint16_t code, std::uint32_t k) { program.push_back(BPF_STMT(code, k)); };
    auto jump = [&](std::uint16_t code, std::uint32_t k, std::uint8_t ifTrue, std::uint8_t ifFalse) {
        program.push_back(BPF_JUMP(code, k, ifTrue, ifFalse));
    };
    statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch));
    jump(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0);
    statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
    // One block per call: load the number; on a match test the argument; answer with the errno.
    for (const FailingCall& call : calls) {
        const bool tested = call.when != FailingCall::When::Always;
        statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr));
        jump(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(call.number), 0, tested ? 3 : 1);
        if (tested) {
            // The low half of a 64-bit argument comes first on these little-endian machines.
            statement(BPF_LD | BPF_W | BPF_ABS,
                      static_cast<std::uint32_t>(offsetof(seccomp_data, args) + 8 * static_cast<std::size_t>(call.argument)));
            switch (call.when) {
            case FailingCall::When::AnyBitOf: jump(BPF_JMP | BPF_JSET | BPF_K, call.value, 0, 1); break;
            case FailingCall::When::NoBitOf: jump(BPF_JMP | BPF_JSET | BPF_K, call.value, 1, 0); break;
            default: jump(BPF_JMP | BPF_JGT | BPF_K, call.value, 0, 1); break;
            }
        }
        statement(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (static_cast<std::uint32_t>(call.error) & SECCOMP_RET_DATA));
    }
    statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
    const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
}

} // namespace gg::test
