#pragma once

#include "commands/open_command.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace archive::win32 {

// A filter as the common dialog takes it: the "|"-separated pairs with NUL
// between fields and two at the end; empty for an empty filter.
std::wstring OpenDialogFilter(std::string_view filter);

// The common Open dialog over the toolkit-free state: its title, filter and
// filter index, the read-only box hidden on request, and the name chosen
// last in the file-name field. The named file need not exist.
class Win32OpenFileDialog : public OpenFileDialog {
  public:
    explicit Win32OpenFileDialog(const HWND& owner) : owner_(owner) {}
    bool Show(DialogState& state) override;

  private:
    const HWND& owner_;
};

} // namespace archive::win32
