#include "Render/CPMaterial.h"

#include "Render/CPRender.h"

CPMaterial::CPMaterial(int type, CPtr<CPEffect> effect, CPtr<CPTextureBlock> block)
    : Render(GetRender()), Effect(effect.Get()), Block(block.Get()), Type(type) {
    if (Effect != nullptr) {
        Effect->AddRef();
    }
    if (Block != nullptr) {
        Block->AddRef();
    }
}

CPMaterial::~CPMaterial() {
    if (Block != nullptr) {
        Block->Release();
    }
    if (Effect != nullptr) {
        Effect->Release();
    }
}

std::string CPMaterial::GetTypeName() const {
    return "CPMaterial - " + (Effect != nullptr ? Effect->Name : std::string());
}
