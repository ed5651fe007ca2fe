// Effect files compiled, and on success every technique and pass applied to the device.
#include "FuzzFiles.h"

#include "platform/d3d9/D3D9Device.h"
#include "platform/d3dx/D3DXEffect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    D3D9RecordingDevice* device = D3D9RecordingDevice::Create();
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT compiled =
        D3DXCreateEffect(device, data, static_cast<UINT>(size), nullptr, nullptr, 0, nullptr, &effect, &errors);
    if (SUCCEEDED(compiled)) {
        D3DXEFFECT_DESC desc;
        effect->GetDesc(&desc);
        for (UINT t = 0; t < desc.Techniques; ++t) {
            effect->SetTechnique(effect->GetTechnique(t));
            UINT passes = 0;
            if (SUCCEEDED(effect->Begin(&passes, 0))) {
                for (UINT p = 0; p < passes; ++p) {
                    effect->BeginPass(p);
                    effect->EndPass();
                }
                effect->End();
            }
        }
        effect->Release();
    } else if (compiled == E_FAIL) {
        Fuzz::Check(errors != nullptr, "a failed compile says why");
    }
    if (errors != nullptr) {
        errors->Release();
    }
    device->Release();
    return 0;
}
