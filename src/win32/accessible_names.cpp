#include "win32/accessible_names.h"

#include <initguid.h>
// initguid.h first: the property service's identifiers are defined here
#include <oleacc.h>

namespace archive::win32 {

void SetAccessibleName(HWND control, const wchar_t* name)
{
    if (!control) {
        return;
    }
    IAccPropServices* service = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                   reinterpret_cast<void**>(&service)))) {
        service->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
                                name);
        service->Release();
    }
}

} // namespace archive::win32
