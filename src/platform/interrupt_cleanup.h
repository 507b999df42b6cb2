#pragma once

namespace archive {

// Makes SIGINT and SIGTERM (Ctrl-C and Ctrl-Break, closing the console on
// Windows) remove the named temporary of the file being written, if any, and
// end the process with `exitStatus` after writing `message` to the error stream.
void InstallInterruptCleanup(int exitStatus, const char* message);

// While it lives, the named temporary it was given is the one the interrupt
// handler removes. One is armed at a time: the thread that writes files
// arms it around each named temporary.
class ArmedTemporary {
  public:
    // POSIX: `name` in the open folder `folder`.
    ArmedTemporary(int folder, const char* name);
    // Windows: the temporary's full path.
    explicit ArmedTemporary(const wchar_t* path);
    ~ArmedTemporary();
    ArmedTemporary(const ArmedTemporary&) = delete;
    ArmedTemporary& operator=(const ArmedTemporary&) = delete;
};

} // namespace archive
