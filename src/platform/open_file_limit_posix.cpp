#include "platform/open_file_limit.h"

#include <algorithm>
#include <mutex>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace archive {

namespace {

// What AllowManyOpenFiles allowed, and the extractions running under it.
struct RaisedLimit {
    std::mutex mutex;
    bool allowed = false;
    unsigned users = 0;
    rlim_t given = 0; // the soft limit before the first user raised it
};

RaisedLimit& Raised()
{
    static RaisedLimit raised;
    return raised;
}

// The soft limit an extraction may raise itself to.
bool WantedLimit(rlimit& limit, rlim_t& wanted)
{
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return false;
    }
    wanted = std::min<rlim_t>(limit.rlim_max, 65536);
    return limit.rlim_cur < wanted;
}

} // namespace

void AllowManyOpenFiles()
{
    RaisedLimit& raised = Raised();
    std::lock_guard lock(raised.mutex);
    raised.allowed = true;
    rlimit limit{};
    rlim_t wanted = 0;
    const bool raise = WantedLimit(limit, wanted);
    const rlim_t given = limit.rlim_cur;
    if (raise) {
        limit.rlim_cur = wanted;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    // The kernel grows the descriptor table by doubling, and once threads
    // share it each growth waits for an RCU grace period, holding up every
    // thread that opens a file meanwhile: 10-20 ms a time, seven or eight
    // times on the way to thousands of files written ahead. Growing it now,
    // while this is the only thread, costs nothing of that: open one
    // descriptor as high as an extraction may go, and close it. The table
    // keeps its size when the limit goes back.
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur != RLIM_INFINITY) {
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
    if (raise && raised.users == 0) {
        limit.rlim_cur = given;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

ManyOpenFiles::ManyOpenFiles()
{
    RaisedLimit& raised = Raised();
    std::lock_guard lock(raised.mutex);
    if (!raised.allowed) {
        return;
    }
    counted_ = true;
    if (raised.users++ > 0) {
        return;
    }
    rlimit limit{};
    rlim_t wanted = 0;
    raised.given = 0;
    if (WantedLimit(limit, wanted)) {
        raised.given = limit.rlim_cur;
        limit.rlim_cur = wanted;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

ManyOpenFiles::~ManyOpenFiles()
{
    RaisedLimit& raised = Raised();
    std::lock_guard lock(raised.mutex);
    if (!counted_ || --raised.users > 0 || raised.given == 0) {
        return;
    }
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = raised.given;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    raised.given = 0;
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
