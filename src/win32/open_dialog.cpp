#include "win32/open_dialog.h"

#include "platform/text_encoding.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace archive::win32 {

std::wstring OpenDialogFilter(std::string_view filter)
{
    if (filter.empty()) {
        return {};
    }
    std::wstring fields = Windows1252ToWide(filter);
    std::replace(fields.begin(), fields.end(), L'|', L'\0');
    fields.push_back(L'\0');
    fields.push_back(L'\0');
    return fields;
}

bool Win32OpenFileDialog::Show(DialogState& state)
{
    const std::wstring title = Windows1252ToWide(state.title);
    const std::wstring filter = OpenDialogFilter(state.filter);
    // Room for long paths; the name chosen last is shown again.
    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring last = PathFromUtf8(state.fileName).wstring();
    if (last.size() < file.size()) {
        std::copy(last.begin(), last.end(), file.begin());
    }
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(std::max(state.filterIndex, 0));
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    // The output root is relative to the working folder: the dialog must not move it.
    dialog.Flags =
        OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_LONGNAMES | (state.hideReadOnly ? OFN_HIDEREADONLY : 0);
    if (!GetOpenFileNameW(&dialog)) {
        return false; // cancelled, or the dialog could not be shown
    }
    state.fileName = PathToUtf8(std::filesystem::path(file.data()));
    state.filterIndex = static_cast<int>(dialog.nFilterIndex);
    return true;
}

} // namespace archive::win32
