#include "platform/interrupt_cleanup.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace archive {

namespace {

// The named temporary being written, for the interrupt handler. A signal
// handler can reach no object of ours, so this is the one piece of
// process-wide state: set by the thread that writes, read by the handler.
struct PendingTemporary {
    std::atomic<bool> armed{false};
    int folder = -1;
    char name[64] = {};
    int exitStatus = 1;
    const char* message = "";
};

PendingTemporary& Pending()
{
    static PendingTemporary pending;
    return pending;
}

void OnInterrupt(int)
{
    PendingTemporary& p = Pending();
    if (p.armed) {
        unlinkat(p.folder, p.name, 0);
    }
    const ssize_t ignored = write(STDERR_FILENO, p.message, std::strlen(p.message));
    (void)ignored;
    _exit(p.exitStatus);
}

} // namespace

ArmedTemporary::ArmedTemporary(int folder, const char* name)
{
    PendingTemporary& p = Pending();
    p.armed = false;
    p.folder = folder;
    std::snprintf(p.name, sizeof p.name, "%s", name);
    p.armed = true;
}

ArmedTemporary::~ArmedTemporary()
{
    Pending().armed = false;
}

void InstallInterruptCleanup(int exitStatus, const char* message)
{
    PendingTemporary& p = Pending();
    p.exitStatus = exitStatus;
    p.message = message;
    struct sigaction action = {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace archive
