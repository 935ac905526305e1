#include "icons/shared_library.h"

#include <dlfcn.h>
#include <errno.h>
#include <unistd.h>

#include <cstdio>

namespace gg {
namespace {

[[noreturn]] void failToLoad(const char* what)
{
    std::fprintf(stderr, "%s: error while loading shared libraries: %s\n", program_invocation_short_name, what);
    std::fflush(stderr);
    ::_exit(127);
}

} // namespace

// RTLD_NOW: a library that lacks something fails here, in one place, not at some later call.
SharedLibrary::SharedLibrary(const char* soname)
    : soname_(soname), handle_(::dlopen(soname, RTLD_NOW | RTLD_LOCAL))
{
    if (!handle_)
        failToLoad(::dlerror());
}

void* SharedLibrary::address(const char* name) const
{
    ::dlerror();
    void* found = ::dlsym(handle_, name);
    if (!found) {
        const char* error = ::dlerror();
        failToLoad(error ? error : soname_);
    }
    return found;
}

} // namespace gg
