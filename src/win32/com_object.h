#pragma once

#include <windows.h>

#include <atomic>

namespace archive::win32 {

// IUnknown for an object of ours that offers one COM interface: reference
// counted from 1, deleted at the last Release (through the derived type, as
// the interfaces have no virtual destructor).
template <typename Derived, typename Interface, const IID& InterfaceId> class ComObject : public Interface {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (!object) {
            return E_POINTER;
        }
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, InterfaceId)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0) {
            delete static_cast<Derived*>(this);
        }
        return left;
    }

  private:
    std::atomic<ULONG> references_{1};
};

} // namespace archive::win32
