#include "icons/theme_cache.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace gg {

namespace {

bool runCacheTool(const std::string& theme)
{
    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0)
        return false;
    for (const int fd : {0, 1, 2})
        ::posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    std::string program = "gtk-update-icon-cache", force = "--force", quiet = "--quiet", anyIndex = "--ignore-theme-index";
    std::string folder = theme;
    char* argv[] = {program.data(), force.data(), quiet.data(), anyIndex.data(), folder.data(), nullptr};
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

CacheUpdate refreshThemeCache(const std::string& theme)
{
    struct stat cache {};
    if (::lstat((theme + "/icon-theme.cache").c_str(), &cache) != 0)
        return CacheUpdate::NoCache;
    if (runCacheTool(theme))
        return CacheUpdate::Rebuilt;
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // GTK compares whole seconds.
    if (now.tv_sec <= cache.st_mtim.tv_sec)
        now.tv_sec = cache.st_mtim.tv_sec + 1;
    const timespec times[2] = {{0, UTIME_OMIT}, now};
    ::utimensat(AT_FDCWD, theme.c_str(), times, 0);
    return CacheUpdate::MarkedStale;
}

} // namespace gg
