#include "platform/interrupt_cleanup.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <iterator>

#include <windows.h>

namespace archive {

namespace {

// The named temporary being written, for the console's control handler,
// which can reach no object of ours: the one piece of process-wide state.
struct PendingTemporary {
    std::atomic<bool> armed{false};
    wchar_t path[32768] = {};
    int exitStatus = 1;
    const char* message = "";
};

PendingTemporary& Pending()
{
    static PendingTemporary pending;
    return pending;
}

BOOL WINAPI OnInterrupt(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    PendingTemporary& p = Pending();
    if (p.armed) {
        DeleteFileW(p.path);
    }
    std::fputs(p.message, stderr);
    std::fflush(stderr);
    ExitProcess(static_cast<UINT>(p.exitStatus));
}

} // namespace

ArmedTemporary::ArmedTemporary(const wchar_t* path)
{
    PendingTemporary& p = Pending();
    p.armed = false;
    const std::size_t length = std::min(std::wcslen(path), std::size(p.path) - 1);
    std::wmemcpy(p.path, path, length);
    p.path[length] = L'\0';
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
    SetConsoleCtrlHandler(&OnInterrupt, TRUE);
}

} // namespace archive
