#pragma once

#include <windows.h>
// windows.h must come first
#include <ole2.h>

#include <filesystem>
#include <functional>

namespace archive::win32 {

// Makes a window a drop target for one file, as Explorer drags it: a drop of
// exactly one file or folder (CF_HDROP) is accepted as a copy; several files,
// other data, and files dragged out of this program are refused. The window
// is told the path once the drop has returned, from its own message loop, so
// the program that gave the file is not kept waiting while an archive loads.
//
// OLE must be initialised on the thread (OleInitialize); Registered() says
// whether the registration took. Destroy it before the window.
class FileDrop {
  public:
    using Dropped = std::function<void(const std::filesystem::path&)>;
    // Whether a drop is welcome now (say, not while a command runs).
    using Welcome = std::function<bool()>;

    FileDrop(HWND window, Dropped dropped, Welcome welcome = {});
    ~FileDrop();
    FileDrop(const FileDrop&) = delete;
    FileDrop& operator=(const FileDrop&) = delete;

    bool Registered() const { return registered_; }
    // The target the system calls during a drag, for tests to call as it does.
    IDropTarget* target() const;

  private:
    class Target;
    static void CALLBACK Deliver(HWND window, UINT, UINT_PTR id, DWORD);
    void Accept(std::filesystem::path path);

    HWND window_;
    Dropped dropped_;
    Welcome welcome_;
    Target* target_ = nullptr;
    bool registered_ = false;
    std::filesystem::path pending_;
};

} // namespace archive::win32
