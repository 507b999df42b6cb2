// Archives that come from outside the window: a file dropped on it, and the
// one named on the command line (main.cpp).
#include "win32/main_window.h"

#include "platform/text_encoding.h"

#include <shellapi.h>

#include <string>

namespace archive::win32 {

void MainWindow::OpenFile(const std::filesystem::path& path)
{
    if (Busy()) {
        MessageBeep(MB_ICONWARNING); // a running command reads the catalogue an open would replace
        return;
    }
    FlushPending();
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error).lexically_normal();
    OpenNamedFile(frm_, dialogState_, PathToUtf8(error ? path : full));
    UpdateCommands();
    FlushPending();
}

// The first file of a drop opens, as the open command would with it chosen.
void MainWindow::OnDropFiles(HDROP drop)
{
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring name(static_cast<std::size_t>(length) + 1, L'\0');
    const bool named = DragQueryFileW(drop, 0, name.data(), length + 1) > 0;
    DragFinish(drop);
    if (named) {
        name.resize(length);
        OpenFile(std::filesystem::path(name));
    }
}

} // namespace archive::win32
