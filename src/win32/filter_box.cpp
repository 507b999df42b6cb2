#include "win32/filter_box.h"

#include <windows.h>
// windows.h must come first
#include <commctrl.h>

#ifndef EM_SETCUEBANNER
#define EM_SETCUEBANNER 0x1501
#endif

namespace archive::win32 {

HWND FilterBox::Create(HWND parent, int id, int labelId)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // The label comes just before the box: it is the box's name for a screen reader.
    label_ =
        CreateWindowExW(0, L"STATIC", L"&Filter:", WS_CHILD | WS_VISIBLE | SS_RIGHT | SS_CENTERIMAGE, 0, 0, 0,
                        0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(labelId)), instance, nullptr);
    edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageW(edit_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"Filter (Ctrl+F)"));
    SetWindowSubclass(edit_, &FilterBox::EditProc, 1, reinterpret_cast<DWORD_PTR>(this));
    return edit_;
}

void FilterBox::Place(int left, int top, int width, int height, int labelWidth)
{
    SetWindowPos(label_, nullptr, left, top, labelWidth, height, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(edit_, nullptr, left + labelWidth + 4, top, width - labelWidth - 4, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring FilterBox::Text() const
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(edit_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void FilterBox::Clear()
{
    if (GetWindowTextLengthW(edit_) > 0) {
        SetWindowTextW(edit_, L""); // sends EN_CHANGE
    }
}

void FilterBox::Focus()
{
    SetFocus(edit_);
    SendMessageW(edit_, EM_SETSEL, 0, -1);
}

LRESULT CALLBACK FilterBox::EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR self)
{
    auto* box = reinterpret_cast<FilterBox*>(self);
    switch (message) {
    case WM_GETDLGCODE:
        if (lParam && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
            reinterpret_cast<const MSG*>(lParam)->wParam == VK_ESCAPE) {
            return DLGC_WANTMESSAGE; // Escape clears the box, not the window
        }
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            box->Clear();
            return 0;
        }
        if (wParam == 'A' && GetKeyState(VK_CONTROL) < 0) {
            SendMessageW(window, EM_SETSEL, 0, -1);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == 0x1B || wParam == 0x01) {
            return 0; // Escape and Ctrl+A were keys, not characters
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, &FilterBox::EditProc, 1);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace archive::win32
