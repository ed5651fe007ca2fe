#include "platform/d3dx/D3DXEffectStates.h"

#include <cctype>
#include <cstring>

namespace {

enum class Values { Bool, ZBuffer, Fill, Shade, Blend, BlendOp, Cull, Cmp, Fog, Mcs, StencilOp, TextureOp, TextureArg,
                    Filter, Address, ColorWrite, TransformFlags, TexCoordIndex, Dword, Float };

struct Named {
    const char* name;
    DWORD value;
};

struct StateName {
    const char* name;
    D3DXResolvedState::Kind kind;
    DWORD target;
    Values values;
};

const StateName kStates[] = {
    {"ZEnable", D3DXResolvedState::RenderState, D3DRS_ZENABLE, Values::ZBuffer},
    {"FillMode", D3DXResolvedState::RenderState, D3DRS_FILLMODE, Values::Fill},
    {"ShadeMode", D3DXResolvedState::RenderState, D3DRS_SHADEMODE, Values::Shade},
    {"ZWriteEnable", D3DXResolvedState::RenderState, D3DRS_ZWRITEENABLE, Values::Bool},
    {"AlphaTestEnable", D3DXResolvedState::RenderState, D3DRS_ALPHATESTENABLE, Values::Bool},
    {"LastPixel", D3DXResolvedState::RenderState, D3DRS_LASTPIXEL, Values::Bool},
    {"SrcBlend", D3DXResolvedState::RenderState, D3DRS_SRCBLEND, Values::Blend},
    {"DestBlend", D3DXResolvedState::RenderState, D3DRS_DESTBLEND, Values::Blend},
    {"CullMode", D3DXResolvedState::RenderState, D3DRS_CULLMODE, Values::Cull},
    {"ZFunc", D3DXResolvedState::RenderState, D3DRS_ZFUNC, Values::Cmp},
    {"AlphaRef", D3DXResolvedState::RenderState, D3DRS_ALPHAREF, Values::Dword},
    {"AlphaFunc", D3DXResolvedState::RenderState, D3DRS_ALPHAFUNC, Values::Cmp},
    {"DitherEnable", D3DXResolvedState::RenderState, D3DRS_DITHERENABLE, Values::Bool},
    {"AlphaBlendEnable", D3DXResolvedState::RenderState, D3DRS_ALPHABLENDENABLE, Values::Bool},
    {"FogEnable", D3DXResolvedState::RenderState, D3DRS_FOGENABLE, Values::Bool},
    {"SpecularEnable", D3DXResolvedState::RenderState, D3DRS_SPECULARENABLE, Values::Bool},
    {"FogColor", D3DXResolvedState::RenderState, D3DRS_FOGCOLOR, Values::Dword},
    {"FogTableMode", D3DXResolvedState::RenderState, D3DRS_FOGTABLEMODE, Values::Fog},
    {"FogStart", D3DXResolvedState::RenderState, D3DRS_FOGSTART, Values::Float},
    {"FogEnd", D3DXResolvedState::RenderState, D3DRS_FOGEND, Values::Float},
    {"FogDensity", D3DXResolvedState::RenderState, D3DRS_FOGDENSITY, Values::Float},
    {"RangeFogEnable", D3DXResolvedState::RenderState, D3DRS_RANGEFOGENABLE, Values::Bool},
    {"StencilEnable", D3DXResolvedState::RenderState, D3DRS_STENCILENABLE, Values::Bool},
    {"StencilFail", D3DXResolvedState::RenderState, D3DRS_STENCILFAIL, Values::StencilOp},
    {"StencilZFail", D3DXResolvedState::RenderState, D3DRS_STENCILZFAIL, Values::StencilOp},
    {"StencilPass", D3DXResolvedState::RenderState, D3DRS_STENCILPASS, Values::StencilOp},
    {"StencilFunc", D3DXResolvedState::RenderState, D3DRS_STENCILFUNC, Values::Cmp},
    {"StencilRef", D3DXResolvedState::RenderState, D3DRS_STENCILREF, Values::Dword},
    {"StencilMask", D3DXResolvedState::RenderState, D3DRS_STENCILMASK, Values::Dword},
    {"StencilWriteMask", D3DXResolvedState::RenderState, D3DRS_STENCILWRITEMASK, Values::Dword},
    {"TextureFactor", D3DXResolvedState::RenderState, D3DRS_TEXTUREFACTOR, Values::Dword},
    {"Clipping", D3DXResolvedState::RenderState, D3DRS_CLIPPING, Values::Bool},
    {"Lighting", D3DXResolvedState::RenderState, D3DRS_LIGHTING, Values::Bool},
    {"Ambient", D3DXResolvedState::RenderState, D3DRS_AMBIENT, Values::Dword},
    {"FogVertexMode", D3DXResolvedState::RenderState, D3DRS_FOGVERTEXMODE, Values::Fog},
    {"ColorVertex", D3DXResolvedState::RenderState, D3DRS_COLORVERTEX, Values::Bool},
    {"LocalViewer", D3DXResolvedState::RenderState, D3DRS_LOCALVIEWER, Values::Bool},
    {"NormalizeNormals", D3DXResolvedState::RenderState, D3DRS_NORMALIZENORMALS, Values::Bool},
    {"DiffuseMaterialSource", D3DXResolvedState::RenderState, D3DRS_DIFFUSEMATERIALSOURCE, Values::Mcs},
    {"SpecularMaterialSource", D3DXResolvedState::RenderState, D3DRS_SPECULARMATERIALSOURCE, Values::Mcs},
    {"AmbientMaterialSource", D3DXResolvedState::RenderState, D3DRS_AMBIENTMATERIALSOURCE, Values::Mcs},
    {"EmissiveMaterialSource", D3DXResolvedState::RenderState, D3DRS_EMISSIVEMATERIALSOURCE, Values::Mcs},
    {"PointSize", D3DXResolvedState::RenderState, D3DRS_POINTSIZE, Values::Float},
    {"PointSize_Min", D3DXResolvedState::RenderState, D3DRS_POINTSIZE_MIN, Values::Float},
    {"PointSpriteEnable", D3DXResolvedState::RenderState, D3DRS_POINTSPRITEENABLE, Values::Bool},
    {"PointScaleEnable", D3DXResolvedState::RenderState, D3DRS_POINTSCALEENABLE, Values::Bool},
    {"PointScale_A", D3DXResolvedState::RenderState, D3DRS_POINTSCALE_A, Values::Float},
    {"PointScale_B", D3DXResolvedState::RenderState, D3DRS_POINTSCALE_B, Values::Float},
    {"PointScale_C", D3DXResolvedState::RenderState, D3DRS_POINTSCALE_C, Values::Float},
    {"MultiSampleAntialias", D3DXResolvedState::RenderState, D3DRS_MULTISAMPLEANTIALIAS, Values::Bool},
    {"MultiSampleMask", D3DXResolvedState::RenderState, D3DRS_MULTISAMPLEMASK, Values::Dword},
    {"PointSize_Max", D3DXResolvedState::RenderState, D3DRS_POINTSIZE_MAX, Values::Float},
    {"ColorWriteEnable", D3DXResolvedState::RenderState, D3DRS_COLORWRITEENABLE, Values::ColorWrite},
    {"BlendOp", D3DXResolvedState::RenderState, D3DRS_BLENDOP, Values::BlendOp},
    {"ScissorTestEnable", D3DXResolvedState::RenderState, D3DRS_SCISSORTESTENABLE, Values::Bool},
    {"SlopeScaleDepthBias", D3DXResolvedState::RenderState, D3DRS_SLOPESCALEDEPTHBIAS, Values::Float},
    {"AntialiasedLineEnable", D3DXResolvedState::RenderState, D3DRS_ANTIALIASEDLINEENABLE, Values::Bool},
    {"TwoSidedStencilMode", D3DXResolvedState::RenderState, D3DRS_TWOSIDEDSTENCILMODE, Values::Bool},
    {"BlendFactor", D3DXResolvedState::RenderState, D3DRS_BLENDFACTOR, Values::Dword},
    {"SRGBWriteEnable", D3DXResolvedState::RenderState, D3DRS_SRGBWRITEENABLE, Values::Bool},
    {"DepthBias", D3DXResolvedState::RenderState, D3DRS_DEPTHBIAS, Values::Float},
    {"SeparateAlphaBlendEnable", D3DXResolvedState::RenderState, D3DRS_SEPARATEALPHABLENDENABLE, Values::Bool},
    {"SrcBlendAlpha", D3DXResolvedState::RenderState, D3DRS_SRCBLENDALPHA, Values::Blend},
    {"DestBlendAlpha", D3DXResolvedState::RenderState, D3DRS_DESTBLENDALPHA, Values::Blend},
    {"BlendOpAlpha", D3DXResolvedState::RenderState, D3DRS_BLENDOPALPHA, Values::BlendOp},
    {"ColorOp", D3DXResolvedState::StageState, D3DTSS_COLOROP, Values::TextureOp},
    {"ColorArg0", D3DXResolvedState::StageState, D3DTSS_COLORARG0, Values::TextureArg},
    {"ColorArg1", D3DXResolvedState::StageState, D3DTSS_COLORARG1, Values::TextureArg},
    {"ColorArg2", D3DXResolvedState::StageState, D3DTSS_COLORARG2, Values::TextureArg},
    {"AlphaOp", D3DXResolvedState::StageState, D3DTSS_ALPHAOP, Values::TextureOp},
    {"AlphaArg0", D3DXResolvedState::StageState, D3DTSS_ALPHAARG0, Values::TextureArg},
    {"AlphaArg1", D3DXResolvedState::StageState, D3DTSS_ALPHAARG1, Values::TextureArg},
    {"AlphaArg2", D3DXResolvedState::StageState, D3DTSS_ALPHAARG2, Values::TextureArg},
    {"ResultArg", D3DXResolvedState::StageState, D3DTSS_RESULTARG, Values::TextureArg},
    {"BumpEnvMat00", D3DXResolvedState::StageState, D3DTSS_BUMPENVMAT00, Values::Float},
    {"BumpEnvMat01", D3DXResolvedState::StageState, D3DTSS_BUMPENVMAT01, Values::Float},
    {"BumpEnvMat10", D3DXResolvedState::StageState, D3DTSS_BUMPENVMAT10, Values::Float},
    {"BumpEnvMat11", D3DXResolvedState::StageState, D3DTSS_BUMPENVMAT11, Values::Float},
    {"BumpEnvLScale", D3DXResolvedState::StageState, D3DTSS_BUMPENVLSCALE, Values::Float},
    {"BumpEnvLOffset", D3DXResolvedState::StageState, D3DTSS_BUMPENVLOFFSET, Values::Float},
    {"TexCoordIndex", D3DXResolvedState::StageState, D3DTSS_TEXCOORDINDEX, Values::TexCoordIndex},
    {"TextureTransformFlags", D3DXResolvedState::StageState, D3DTSS_TEXTURETRANSFORMFLAGS, Values::TransformFlags},
    {"Constant", D3DXResolvedState::StageState, D3DTSS_CONSTANT, Values::Dword},
    {"AddressU", D3DXResolvedState::SamplerState, D3DSAMP_ADDRESSU, Values::Address},
    {"AddressV", D3DXResolvedState::SamplerState, D3DSAMP_ADDRESSV, Values::Address},
    {"AddressW", D3DXResolvedState::SamplerState, D3DSAMP_ADDRESSW, Values::Address},
    {"BorderColor", D3DXResolvedState::SamplerState, D3DSAMP_BORDERCOLOR, Values::Dword},
    {"MagFilter", D3DXResolvedState::SamplerState, D3DSAMP_MAGFILTER, Values::Filter},
    {"MinFilter", D3DXResolvedState::SamplerState, D3DSAMP_MINFILTER, Values::Filter},
    {"MipFilter", D3DXResolvedState::SamplerState, D3DSAMP_MIPFILTER, Values::Filter},
    {"MipMapLodBias", D3DXResolvedState::SamplerState, D3DSAMP_MIPMAPLODBIAS, Values::Float},
    {"MaxMipLevel", D3DXResolvedState::SamplerState, D3DSAMP_MAXMIPLEVEL, Values::Dword},
    {"MaxAnisotropy", D3DXResolvedState::SamplerState, D3DSAMP_MAXANISOTROPY, Values::Dword},
    {"SRGBTexture", D3DXResolvedState::SamplerState, D3DSAMP_SRGBTEXTURE, Values::Bool},
    {"Texture", D3DXResolvedState::Texture, 0, Values::Dword},
    {"Sampler", D3DXResolvedState::Sampler, 0, Values::Dword},
    {"WorldTransform", D3DXResolvedState::Transform, D3DTS_WORLD, Values::Dword},
    {"ViewTransform", D3DXResolvedState::Transform, D3DTS_VIEW, Values::Dword},
    {"ProjectionTransform", D3DXResolvedState::Transform, D3DTS_PROJECTION, Values::Dword},
    {"TextureTransform", D3DXResolvedState::Transform, D3DTS_TEXTURE0, Values::Dword},
    {"LightEnable", D3DXResolvedState::LightEnable, 0, Values::Bool},
    {"VertexShader", D3DXResolvedState::Shader, 0, Values::Dword},
    {"PixelShader", D3DXResolvedState::Shader, 0, Values::Dword},
};

const Named kBool[] = {{"TRUE", 1}, {"FALSE", 0}};
const Named kZBuffer[] = {{"TRUE", 1}, {"FALSE", 0}, {"USEW", 2}};
const Named kFill[] = {{"POINT", 1}, {"WIREFRAME", 2}, {"SOLID", 3}};
const Named kShade[] = {{"FLAT", 1}, {"GOURAUD", 2}, {"PHONG", 3}};
const Named kBlend[] = {{"ZERO", 1},         {"ONE", 2},          {"SRCCOLOR", 3},      {"INVSRCCOLOR", 4},
                        {"SRCALPHA", 5},     {"INVSRCALPHA", 6},  {"DESTALPHA", 7},     {"INVDESTALPHA", 8},
                        {"DESTCOLOR", 9},    {"INVDESTCOLOR", 10}, {"SRCALPHASAT", 11}, {"BOTHSRCALPHA", 12},
                        {"BOTHINVSRCALPHA", 13}, {"BLENDFACTOR", 14}, {"INVBLENDFACTOR", 15}};
const Named kBlendOp[] = {{"ADD", 1}, {"SUBTRACT", 2}, {"REVSUBTRACT", 3}, {"MIN", 4}, {"MAX", 5}};
const Named kCull[] = {{"NONE", 1}, {"CW", 2}, {"CCW", 3}};
const Named kCmp[] = {{"NEVER", 1},   {"LESS", 2},     {"EQUAL", 3},        {"LESSEQUAL", 4},
                      {"GREATER", 5}, {"NOTEQUAL", 6}, {"GREATEREQUAL", 7}, {"ALWAYS", 8}};
const Named kFog[] = {{"NONE", 0}, {"EXP", 1}, {"EXP2", 2}, {"LINEAR", 3}};
const Named kMcs[] = {{"MATERIAL", 0}, {"COLOR1", 1}, {"COLOR2", 2}};
const Named kStencilOp[] = {{"KEEP", 1},    {"ZERO", 2},   {"REPLACE", 3}, {"INCRSAT", 4},
                            {"DECRSAT", 5}, {"INVERT", 6}, {"INCR", 7},    {"DECR", 8}};
const Named kTextureOp[] = {{"DISABLE", 1},
                            {"SELECTARG1", 2},
                            {"SELECTARG2", 3},
                            {"MODULATE", 4},
                            {"MODULATE2X", 5},
                            {"MODULATE4X", 6},
                            {"ADD", 7},
                            {"ADDSIGNED", 8},
                            {"ADDSIGNED2X", 9},
                            {"SUBTRACT", 10},
                            {"ADDSMOOTH", 11},
                            {"BLENDDIFFUSEALPHA", 12},
                            {"BLENDTEXTUREALPHA", 13},
                            {"BLENDFACTORALPHA", 14},
                            {"BLENDTEXTUREALPHAPM", 15},
                            {"BLENDCURRENTALPHA", 16},
                            {"PREMODULATE", 17},
                            {"MODULATEALPHA_ADDCOLOR", 18},
                            {"MODULATECOLOR_ADDALPHA", 19},
                            {"MODULATEINVALPHA_ADDCOLOR", 20},
                            {"MODULATEINVCOLOR_ADDALPHA", 21},
                            {"BUMPENVMAP", 22},
                            {"BUMPENVMAPLUMINANCE", 23},
                            {"DOTPRODUCT3", 24},
                            {"MULTIPLYADD", 25},
                            {"LERP", 26}};
const Named kTextureArg[] = {{"DIFFUSE", 0},  {"CURRENT", 1},  {"TEXTURE", 2},     {"TFACTOR", 3},          {"SPECULAR", 4},
                             {"TEMP", 5},     {"CONSTANT", 6}, {"COMPLEMENT", 16}, {"ALPHAREPLICATE", 32}};
const Named kFilter[] = {{"NONE", 0},        {"POINT", 1},         {"LINEAR", 2},
                         {"ANISOTROPIC", 3}, {"PYRAMIDALQUAD", 6}, {"GAUSSIANQUAD", 7}};
const Named kAddress[] = {{"WRAP", 1}, {"MIRROR", 2}, {"CLAMP", 3}, {"BORDER", 4}, {"MIRRORONCE", 5}};
const Named kColorWrite[] = {{"RED", 1}, {"GREEN", 2}, {"BLUE", 4}, {"ALPHA", 8}};
// Generated coordinates, or'ed with the coordinate set's number.
const Named kTexCoordIndex[] = {{"PASSTHRU", D3DTSS_TCI_PASSTHRU},
                                {"CAMERASPACENORMAL", D3DTSS_TCI_CAMERASPACENORMAL},
                                {"CAMERASPACEPOSITION", D3DTSS_TCI_CAMERASPACEPOSITION},
                                {"CAMERASPACEREFLECTIONVECTOR", D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR},
                                {"SPHEREMAP", D3DTSS_TCI_SPHEREMAP}};
const Named kTransformFlags[] = {{"DISABLE", 0}, {"COUNT1", 1}, {"COUNT2", 2}, {"COUNT3", 3}, {"COUNT4", 4}, {"PROJECTED", 256}};

bool Same(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

template <size_t N>
bool Lookup(const Named (&table)[N], const std::string& word, DWORD& value) {
    for (const Named& entry : table) {
        if (Same(word, entry.name)) {
            value = entry.value;
            return true;
        }
    }
    return false;
}

bool EnumValue(Values kind, const std::string& word, DWORD& value) {
    if (Same(word, "TRUE")) {
        value = 1;
        return true;
    }
    if (Same(word, "FALSE")) {
        value = 0;
        return true;
    }
    switch (kind) {
        case Values::Bool: return Lookup(kBool, word, value);
        case Values::ZBuffer: return Lookup(kZBuffer, word, value);
        case Values::Fill: return Lookup(kFill, word, value);
        case Values::Shade: return Lookup(kShade, word, value);
        case Values::Blend: return Lookup(kBlend, word, value);
        case Values::BlendOp: return Lookup(kBlendOp, word, value);
        case Values::Cull: return Lookup(kCull, word, value);
        case Values::Cmp: return Lookup(kCmp, word, value);
        case Values::Fog: return Lookup(kFog, word, value);
        case Values::Mcs: return Lookup(kMcs, word, value);
        case Values::StencilOp: return Lookup(kStencilOp, word, value);
        case Values::TextureOp: return Lookup(kTextureOp, word, value);
        case Values::TextureArg: return Lookup(kTextureArg, word, value);
        case Values::Filter: return Lookup(kFilter, word, value);
        case Values::Address: return Lookup(kAddress, word, value);
        case Values::ColorWrite: return Lookup(kColorWrite, word, value);
        case Values::TransformFlags: return Lookup(kTransformFlags, word, value);
        case Values::TexCoordIndex: return Lookup(kTexCoordIndex, word, value);
        case Values::Dword:
        case Values::Float: return false;
    }
    return false;
}

uint32_t FloatBits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return bits;
}

}  // namespace

D3DXResolvedState D3DXResolveState(const D3DXEffectStateSource& source, bool inSampler,
                                   const std::function<bool(const std::string&)>& isParameter) {
    D3DXResolvedState out;
    out.text = source.state;
    if (source.index >= 0) {
        out.text.append("[").append(std::to_string(source.index)).append("]");
    }
    const StateName* state = nullptr;
    for (const StateName& entry : kStates) {
        if (Same(source.state, entry.name)) {
            state = &entry;
        }
    }
    if (state == nullptr) {
        return out;  // not a state this device keeps
    }
    const DWORD index = source.index >= 0 ? static_cast<DWORD>(source.index) : 0;
    out.kind = state->kind;
    out.target = state->target;
    out.slot = index;
    out.isFloat = state->values == Values::Float;
    if (out.kind == D3DXResolvedState::Shader) {
        return out;
    }
    if (out.kind == D3DXResolvedState::Transform) {
        out.target = (state->target == D3DTS_WORLD) ? D3DTS_WORLDMATRIX(index)
                     : (state->target == D3DTS_TEXTURE0) ? state->target + index
                                                          : state->target;
    }
    if (inSampler && out.kind != D3DXResolvedState::SamplerState && out.kind != D3DXResolvedState::Texture) {
        out.kind = D3DXResolvedState::Ignored;
        return out;
    }

    // Strip one pair of <> or () around a single name.
    std::vector<D3DXEffectToken> value = source.value;
    if (value.size() == 3 && ((value[0].text == "<" && value[2].text == ">") || (value[0].text == "(" && value[2].text == ")")) &&
        value[1].kind == D3DXEffectToken::Identifier) {
        if (isParameter(value[1].text)) {
            out.parameter = value[1].text;
            return out;
        }
        value = {value[1]};
    }
    if (value.size() == 1 && value[0].kind == D3DXEffectToken::Identifier) {
        DWORD literal = 0;
        if (!EnumValue(state->values, value[0].text, literal) && isParameter(value[0].text)) {
            out.parameter = value[0].text;
            return out;
        }
    }
    if (out.kind == D3DXResolvedState::Texture || out.kind == D3DXResolvedState::Sampler ||
        out.kind == D3DXResolvedState::Transform) {
        // Only a parameter can supply these; NULL and anything else leave the slot alone.
        out.kind = D3DXResolvedState::Ignored;
        return out;
    }
    // Terms joined by '|': numbers (with an optional sign) or enumerator names.
    DWORD combined = 0;
    float floatValue = 0.0f;
    size_t i = 0;
    while (i < value.size()) {
        bool negative = false;
        if (value[i].text == "-" && value[i].kind == D3DXEffectToken::Punct) {
            negative = true;
            ++i;
        }
        if (i >= value.size()) {
            out.kind = D3DXResolvedState::Ignored;
            return out;
        }
        const D3DXEffectToken& term = value[i++];
        if (term.kind == D3DXEffectToken::Number) {
            const double number = negative ? -term.number : term.number;
            floatValue = static_cast<float>(number);
            combined |= out.isFloat ? 0 : static_cast<DWORD>(D3DXEffectInteger(number));
        } else {
            DWORD literal = 0;
            if (term.kind != D3DXEffectToken::Identifier || !EnumValue(state->values, term.text, literal)) {
                out.kind = D3DXResolvedState::Ignored;
                return out;
            }
            combined |= literal;
            floatValue = static_cast<float>(literal);
        }
        if (i < value.size()) {
            if (value[i].text != "|") {
                out.kind = D3DXResolvedState::Ignored;
                return out;
            }
            ++i;
        }
    }
    out.literal = out.isFloat ? FloatBits(floatValue) : combined;
    return out;
}
