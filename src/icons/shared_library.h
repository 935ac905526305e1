#pragma once
// A C library opened the first time it is needed instead of before main. glimmer-extract is started
// once per file by file managers, find -exec and launchers, and most of those runs never inflate or
// encode a PNG; each library the dynamic loader maps at start-up costs a good part of a small
// file's whole run.

namespace gg {

class SharedLibrary {
public:
    // Opens the library by its run-time name ("libspng.so.0"). One that cannot be opened, or lacks
    // a function asked for, ends the program as the dynamic loader would have at start-up: its
    // message on stderr and status 127. Nothing half-written is left: files are linked in whole.
    explicit SharedLibrary(const char* soname);
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The library's function `name`, typed as its header declares it.
    template <typename Function>
    Function* function(const char* name) const
    {
        return reinterpret_cast<Function*>(address(name));
    }

private:
    void* address(const char* name) const;

    const char* soname_;
    void* handle_;
};

} // namespace gg

// The function of that name from `library`, with the type its header gives it.
#define GG_LIBRARY_FUNCTION(library, name) (library).function<decltype(name)>(#name)
