#include "win32/drop_target.h"

#include "win32/com_object.h"
#include "win32/drag_source.h"

#include <shellapi.h>

#include <string>

namespace archive::win32 {

namespace {

// The one path a data object carries as CF_HDROP, or an empty path.
std::filesystem::path OnlyFile(IDataObject* data)
{
    if (!data) {
        return {};
    }
    FORMATETC ours{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(kDragOutFormat)), nullptr,
                   DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    if (data->QueryGetData(&ours) == S_OK) {
        return {}; // our own files, dragged out of the list and back
    }
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (data->GetData(&format, &medium) != S_OK) {
        return {};
    }
    std::filesystem::path path;
    if (const auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
        if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
            const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
            std::wstring name(length + 1, L'\0');
            name.resize(DragQueryFileW(drop, 0, name.data(), length + 1));
            path = name;
        }
        GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    return path;
}

} // namespace

class FileDrop::Target final : public ComObject<FileDrop::Target, IDropTarget, IID_IDropTarget> {
  public:
    explicit Target(FileDrop* owner) : owner_(owner) {}
    void Detach() { owner_ = nullptr; }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override
    {
        file_ = OnlyFile(data);
        return Answer(effect);
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override { return Answer(effect); }
    HRESULT STDMETHODCALLTYPE DragLeave() override
    {
        file_.clear();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override
    {
        file_ = OnlyFile(data);
        const HRESULT result = Answer(effect);
        if (effect && *effect != DROPEFFECT_NONE && owner_) {
            owner_->Accept(file_);
        }
        file_.clear();
        return result;
    }

  private:
    friend ComObject; // deletes at the last Release
    ~Target() = default;

    HRESULT Answer(DWORD* effect) const
    {
        if (!effect) {
            return E_INVALIDARG;
        }
        const bool welcome = owner_ && !file_.empty() && (!owner_->welcome_ || owner_->welcome_());
        *effect = welcome && (*effect & DROPEFFECT_COPY) != 0 ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        return S_OK;
    }

    FileDrop* owner_;
    std::filesystem::path file_;
};

FileDrop::FileDrop(HWND window, Dropped dropped, Welcome welcome)
    : window_(window), dropped_(std::move(dropped)), welcome_(std::move(welcome)), target_(new Target(this))
{
    registered_ = window_ && SUCCEEDED(RegisterDragDrop(window_, target_));
}

FileDrop::~FileDrop()
{
    if (registered_ && IsWindow(window_)) {
        RevokeDragDrop(window_);
    }
    KillTimer(window_, reinterpret_cast<UINT_PTR>(this));
    target_->Detach();
    target_->Release();
}

IDropTarget* FileDrop::target() const
{
    return target_;
}

void FileDrop::Accept(std::filesystem::path path)
{
    pending_ = std::move(path);
    // Told from the message loop once the drop has returned.
    if (!window_ || !SetTimer(window_, reinterpret_cast<UINT_PTR>(this), 0, Deliver)) {
        Deliver(window_, WM_TIMER, reinterpret_cast<UINT_PTR>(this), 0);
    }
}

void CALLBACK FileDrop::Deliver(HWND window, UINT, UINT_PTR id, DWORD)
{
    KillTimer(window, id);
    auto* self = reinterpret_cast<FileDrop*>(id);
    std::filesystem::path path = std::move(self->pending_);
    self->pending_.clear();
    if (!path.empty() && self->dropped_) {
        self->dropped_(path);
    }
}

} // namespace archive::win32
