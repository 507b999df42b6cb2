#include "platform/open_file_limit.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace archive {

void AllowManyOpenFiles()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return;
    }
    const rlim_t wanted = std::min<rlim_t>(limit.rlim_max, 65536);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        limit.rlim_cur = wanted;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    // The kernel grows the descriptor table by doubling, and once threads
    // share it each growth waits for an RCU grace period, holding up every
    // thread that opens a file meanwhile: 10-20 ms a time, seven or eight
    // times on the way to thousands of files written ahead. Growing it now,
    // while this is the only thread, costs nothing of that: open one
    // descriptor as high as an extraction may go, and close it.
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t highest = std::min<rlim_t>(limit.rlim_cur, 16384 + 1024) - 1;
    const int base = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (base >= 0) {
        const int high = fcntl(base, F_DUPFD_CLOEXEC, static_cast<int>(highest));
        if (high >= 0) {
            close(high);
        }
        close(base);
    }
}

std::size_t OpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::size_t{1} << 20;
    }
    return static_cast<std::size_t>(limit.rlim_cur);
}

} // namespace archive
