#pragma once

#include <windows.h>

#include <string>

namespace archive::win32 {

// The filter box: a one-line edit with its label and a cue ("Filter
// (Ctrl+F)"). Escape clears it, Ctrl+A selects its text; each change reaches
// the parent as EN_CHANGE.
class FilterBox {
  public:
    FilterBox() = default;
    FilterBox(const FilterBox&) = delete;
    FilterBox& operator=(const FilterBox&) = delete;

    HWND Create(HWND parent, int id, int labelId);
    HWND hwnd() const { return edit_; }
    HWND label() const { return label_; }
    // Places the label and the box in the rectangle given.
    void Place(int left, int top, int width, int height, int labelWidth);

    std::wstring Text() const;
    void Clear();
    void Focus();

  private:
    static LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR self);

    HWND edit_ = nullptr;
    HWND label_ = nullptr;
};

} // namespace archive::win32
