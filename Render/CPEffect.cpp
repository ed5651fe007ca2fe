#include "Render/CPEffect.h"

#include "Render/CPEffectManager.h"
#include "Render/CPRender.h"
#include "core/CPFileReader.h"
#include "core/CPLog.h"
#include "core/CPTokenizer.h"

#include <cstdio>

namespace {

constexpr const char* SourceFile = "Render/PEffect";
constexpr int RequestedLine = 69;
constexpr int SimpleLine = 89;

IDirect3DDevice9* RenderDevice() {
    CPRender* render = GetRender();
    return render != nullptr ? render->Device : nullptr;
}

// Compiles the bytes of an effect file; the compiler's messages are not kept.
HRESULT Compile(const CPFileReader& file, ID3DXEffectPool* pool, ID3DXEffect** effect) {
    ID3DXBuffer* errors = nullptr;
    const HRESULT hr = D3DXCreateEffect(RenderDevice(), file.GetData(), static_cast<UINT>(file.GetLength()), nullptr,
                                        nullptr, 0, pool, effect, &errors);
    SafeRelease(errors);
    return hr;
}

}  // namespace

CPEffect::~CPEffect() {
    if (CPEffectManager::Instance != nullptr) {
        CPEffectManager::Instance->RemoveEffect(this);
    }
    SafeRelease(Effect);
}

void CPEffect::OnLostDevice() {
    if (Effect != nullptr) {
        Effect->OnLostDevice();
    }
}

void CPEffect::OnResetDevice() {
    if (Effect != nullptr) {
        Effect->OnResetDevice();
    }
}

bool CPEffect::Load(const std::string& name) {
    Name = name;

    std::string fileName;
    bool shared = false;
    CPTokenizer tokens(name, ",", true);
    tokens.NextToken(fileName);
    for (std::string option; tokens.NextToken(option);) {
        if (option == "shared") {
            shared = true;
        }
    }

    CPEffectManager* manager = CPEffectManager::Instance;
    ID3DXEffectPool* pool = (shared && manager != nullptr) ? manager->Pool : nullptr;
    SafeRelease(Effect);

    CPFileReader file("Data\\Effects\\" + fileName, false);
    if (SUCCEEDED(file.Load())) {
        if (FAILED(ReportDXError(Compile(file, pool, &Effect), SourceFile, RequestedLine))) {
            Effect = nullptr;
            return false;
        }
    } else {
        CPFileReader simple("Data\\Effects\\simple.fx", false);
        if (FAILED(simple.Load())) {
            return false;
        }
        if (FAILED(ReportDXError(Compile(simple, nullptr, &Effect), SourceFile, SimpleLine))) {
            Effect = nullptr;
            return false;
        }
        // Compiled outside the pool: its parameters are not the pool's, so it must not
        // supply the shared handles.
        pool = nullptr;
    }

    if (pool != nullptr && manager->PoolOwner == nullptr) {
        manager->TakeSharedHandles(Effect);
    }

    D3DXHANDLE technique = nullptr;
    Effect->FindNextValidTechnique(nullptr, &technique);
    Effect->SetTechnique(technique);

    TextureHandles.clear();
    TimeHandle = Effect->GetParameterByName(nullptr, "time");
    for (int i = 0;; ++i) {
        char parameter[24];
        std::snprintf(parameter, sizeof parameter, "tex%d", i);
        D3DXHANDLE handle = Effect->GetParameterByName(nullptr, parameter);
        if (handle == nullptr) {
            break;
        }
        TextureHandles.push_back(handle);
    }
    return true;
}
