#include "platform/d3d9/D3D9Device.h"
#include "platform/d3d9/D3D9Faults.h"
#include "platform/d3d9/D3D9Texture.h"
#include "platform/d3dx/D3DXEffect.h"
#include "platform/d3dx/D3DXEffectObject.h"
#include "platform/d3dx/D3DXEffectSource.h"

#include "tests/platform/d3d9/RecordingDeviceFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

// A sky-dome style effect: shared scene parameters, a texture with its sampler, two
// techniques of which the first has two passes, and a function skipped by its braces.
const char* const kSkyEffect = R"fx(
// Scene values shared through the pool
shared float4x4 g_mViewProjection : VIEWPROJECTION;
shared float4 g_vLight = {0.0, 0.0, -1.0, 0.0};
float time = 0.5f;
float4 tint = float4(1, 0.5, 0.25, 1);
int layers[2] = {3, 4};
static const float kScale = 2.0;
float scaled = kScale * 3;
string Description <string UIName = "Sky dome"; float Order = 1;> = "dome " "effect";
texture tex0 < string ResourceName = "sky.dds"; >;
sampler2D samp0 = sampler_state {
    Texture = <tex0>;
    MinFilter = Linear; MagFilter = LINEAR; MipFilter = Point;
    AddressU = Clamp; AddressV = Wrap;
};
#define BLEND_ON TRUE
#ifdef NOT_DEFINED
    this is not read at all {
#else
float fogStart = 50.0;
#endif

struct VS_OUTPUT { float4 pos : POSITION; float2 uv : TEXCOORD0; };
VS_OUTPUT DomeVS(float4 pos : POSITION, float2 uv : TEXCOORD0)
{
    VS_OUTPUT o = (VS_OUTPUT)0;
    o.pos = mul(pos, g_mViewProjection);
    if (uv.x > 0) { o.uv = uv; }
    return o;
}

technique Dome < string Mode = "full"; >
{
    pass Sky
    {
        ZEnable = false;
        ZWriteEnable = FALSE;
        AlphaBlendEnable = BLEND_ON;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
        CullMode = None;
        FogStart = <fogStart>;
        Sampler[0] = (samp0);
        ColorOp[0] = Modulate;
        ColorArg1[0] = Texture;
        ColorArg2[0] = Diffuse | Complement;
        VertexShader = compile vs_1_1 DomeVS();
        PixelShader = null;
    }
    pass Glow
    {
        Texture[1] = <tex0>;
        TexCoordIndex[1] = CameraSpaceReflectionVector | 1;
        ColorWriteEnable = RED | GREEN | BLUE;
        FogEnd = 180.5;
    }
}

technique Simple
{
    pass { Lighting = true; }
}
)fx";

class D3DXEffectTest : public RecordingDeviceFixture {
protected:

    ID3DXEffect* Compile(const std::string& text, ID3DXEffectPool* pool = nullptr, std::string* errors = nullptr) {
        ID3DXEffect* effect = nullptr;
        ID3DXBuffer* buffer = nullptr;
        const HRESULT hr = D3DXCreateEffect(device, text.data(), static_cast<UINT>(text.size()), nullptr, nullptr, 0,
                                            pool, &effect, &buffer);
        if (buffer != nullptr) {
            if (errors != nullptr) {
                *errors = static_cast<const char*>(buffer->GetBufferPointer());
            }
            buffer->Release();
        }
        EXPECT_EQ(FAILED(hr), effect == nullptr);
        return effect;
    }

};

TEST_F(D3DXEffectTest, ParametersTechniquesAndPasses) {
    ID3DXEffect* effect = Compile(kSkyEffect);
    ASSERT_NE(effect, nullptr);
    D3DXEFFECT_DESC desc;
    ASSERT_EQ(effect->GetDesc(&desc), S_OK);
    EXPECT_EQ(desc.Techniques, 2u);
    EXPECT_EQ(desc.Functions, 1u);

    D3DXHANDLE first = nullptr;
    ASSERT_EQ(effect->FindNextValidTechnique(nullptr, &first), S_OK);
    ASSERT_NE(first, nullptr);
    D3DXTECHNIQUE_DESC technique;
    ASSERT_EQ(effect->GetTechniqueDesc(first, &technique), S_OK);
    EXPECT_STREQ(technique.Name, "Dome");
    EXPECT_EQ(technique.Passes, 2u);
    D3DXHANDLE second = nullptr;
    ASSERT_EQ(effect->FindNextValidTechnique(first, &second), S_OK);
    EXPECT_EQ(second, effect->GetTechniqueByName("Simple"));
    D3DXHANDLE none = first;
    EXPECT_EQ(effect->FindNextValidTechnique(second, &none), S_OK);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(effect->SetTechnique(first), S_OK);
    EXPECT_EQ(effect->GetCurrentTechnique(), first);
    EXPECT_EQ(effect->SetTechnique("Simple"), S_OK);
    EXPECT_EQ(effect->SetTechnique("Missing"), D3DERR_INVALIDCALL);
    D3DXPASS_DESC pass;
    ASSERT_EQ(effect->GetPassDesc(effect->GetPass(first, 1), &pass), S_OK);
    EXPECT_STREQ(pass.Name, "Glow");

    // Values from the initialisers.
    float value = 0.0f;
    EXPECT_EQ(effect->GetFloat("time", &value), S_OK);
    EXPECT_EQ(value, 0.5f);
    EXPECT_EQ(effect->GetFloat("scaled", &value), S_OK);
    EXPECT_EQ(value, 6.0f);
    D3DXVECTOR4 tint;
    EXPECT_EQ(effect->GetVector("tint", &tint), S_OK);
    EXPECT_EQ(tint.y, 0.5f);
    EXPECT_EQ(tint.z, 0.25f);
    INT layers[2] = {};
    EXPECT_EQ(effect->GetValue("layers", layers, sizeof(layers)), S_OK);
    EXPECT_EQ(layers[1], 4);
    LPCSTR text = nullptr;
    EXPECT_EQ(effect->GetString("Description", &text), S_OK);
    EXPECT_STREQ(text, "dome effect");
    const D3DXHANDLE order = effect->GetAnnotationByName("Description", "Order");
    ASSERT_NE(order, nullptr);
    EXPECT_EQ(effect->GetFloat(order, &value), S_OK);
    EXPECT_EQ(value, 1.0f);
    EXPECT_NE(effect->GetAnnotationByName(first, "Mode"), nullptr);
    EXPECT_EQ(effect->GetParameterBySemantic(nullptr, "viewprojection"), effect->GetParameterByName(nullptr, "g_mViewProjection"));

    // Undeclared and static names have no handle.
    EXPECT_EQ(effect->GetParameterByName(nullptr, "tex1"), nullptr);
    EXPECT_EQ(effect->GetParameterByName(nullptr, "kScale"), nullptr);
    EXPECT_EQ(effect->SetFloat("tex1", 1.0f), D3DERR_INVALIDCALL);
    D3DXPARAMETER_DESC parameter;
    ASSERT_EQ(effect->GetParameterDesc("g_vLight", &parameter), S_OK);
    EXPECT_EQ(parameter.Class, D3DXPC_VECTOR);
    EXPECT_EQ(parameter.Columns, 4u);
    EXPECT_EQ(parameter.Flags & D3DX_PARAMETER_SHARED, D3DX_PARAMETER_SHARED);
    EXPECT_EQ(effect->Release(), 0u);
}

TEST_F(D3DXEffectTest, SettingValuesByHandleAndByName) {
    ID3DXEffect* effect = Compile(kSkyEffect);
    ASSERT_NE(effect, nullptr);
    D3DXMATRIX m;
    for (int i = 0; i < 16; ++i) {
        m.m[i / 4][i % 4] = static_cast<float>(i);
    }
    const D3DXHANDLE vp = effect->GetParameterByName(nullptr, "g_mViewProjection");
    EXPECT_EQ(effect->SetMatrix(vp, &m), S_OK);
    D3DXMATRIX back;
    EXPECT_EQ(effect->GetMatrix("g_mViewProjection", &back), S_OK);
    EXPECT_EQ(back._32, 9.0f);
    EXPECT_EQ(effect->SetMatrix("time", &m), D3DERR_INVALIDCALL);
    D3DXVECTOR4 light(1, 2, 3, 4);
    EXPECT_EQ(effect->SetVector("g_vLight", &light), S_OK);
    D3DXVECTOR4 read;
    EXPECT_EQ(effect->GetVector("g_vLight", &read), S_OK);
    EXPECT_EQ(read.w, 4.0f);
    EXPECT_EQ(effect->SetFloat(effect->GetParameterByName(nullptr, "time"), 2.5f), S_OK);
    float value = 0;
    EXPECT_EQ(effect->GetFloat("time", &value), S_OK);
    EXPECT_EQ(value, 2.5f);
    EXPECT_EQ(effect->SetInt("layers", 7), S_OK);
    INT layer = 0;
    EXPECT_EQ(effect->GetInt("layers", &layer), S_OK);
    EXPECT_EQ(layer, 7);

    // Textures are held by their parameter, by name or by handle.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), S_OK);
    EXPECT_EQ(effect->SetTexture("tex0", texture), S_OK);
    EXPECT_EQ(D3D9Texture::From(texture)->RefCount(), 2u);
    EXPECT_EQ(effect->SetTexture(effect->GetParameterByName(nullptr, "tex0"), texture), S_OK);
    EXPECT_EQ(D3D9Texture::From(texture)->RefCount(), 2u);
    EXPECT_EQ(effect->SetTexture("time", texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTexture("tex9", texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->Release(), 0u);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(D3DXEffectTest, PassesApplyTheirStatesAndEndRestoresThem) {
    ID3DXEffect* effect = Compile(kSkyEffect);
    ASSERT_NE(effect, nullptr);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), S_OK);
    effect->SetTexture("tex0", texture);
    effect->SetFloat("fogStart", 75.0f);

    UINT passes = 0;
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL);  // before Begin
    ASSERT_EQ(effect->Begin(&passes, 0), S_OK);
    EXPECT_EQ(passes, 2u);
    EXPECT_EQ(effect->Begin(&passes, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect->BeginPass(0), S_OK);
    EXPECT_EQ(effect->BeginPass(1), D3DERR_INVALIDCALL);  // a pass is open
    EXPECT_EQ(device->RenderState(D3DRS_ZENABLE), 0u);
    EXPECT_EQ(device->RenderState(D3DRS_ALPHABLENDENABLE), 1u);
    EXPECT_EQ(device->RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA));
    EXPECT_EQ(device->RenderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(device->RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(FloatFromStateBits(device->RenderState(D3DRS_FOGSTART)), 75.0f);
    EXPECT_EQ(device->StageState(0, D3DTSS_COLORARG2), D3DTA_DIFFUSE | D3DTA_COMPLEMENT);
    EXPECT_EQ(device->SamplerState(0, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(device->SamplerState(0, D3DSAMP_MIPFILTER), static_cast<DWORD>(D3DTEXF_POINT));
    EXPECT_EQ(device->SamplerState(0, D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(device->BoundTexture(0), texture);

    // A value changed inside the pass reaches the device with CommitChanges.
    effect->SetFloat("fogStart", 20.0f);
    EXPECT_EQ(effect->CommitChanges(), S_OK);
    EXPECT_EQ(FloatFromStateBits(device->RenderState(D3DRS_FOGSTART)), 20.0f);
    EXPECT_EQ(effect->EndPass(), S_OK);
    EXPECT_EQ(effect->EndPass(), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect->BeginPass(1), S_OK);
    EXPECT_EQ(device->BoundTexture(1), texture);
    EXPECT_EQ(device->RenderState(D3DRS_COLORWRITEENABLE), 7u);
    EXPECT_EQ(device->StageState(1, D3DTSS_TEXCOORDINDEX), D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR | 1);
    EXPECT_EQ(FloatFromStateBits(device->RenderState(D3DRS_FOGEND)), 180.5f);
    EXPECT_EQ(effect->EndPass(), S_OK);
    EXPECT_EQ(effect->BeginPass(2), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect->End(), S_OK);
    EXPECT_EQ(effect->End(), D3DERR_INVALIDCALL);

    // Begin saved what the passes change; End put it back.
    EXPECT_EQ(device->RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_TRUE));
    EXPECT_EQ(device->RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(FloatFromStateBits(device->RenderState(D3DRS_FOGEND)), 1.0f);
    EXPECT_EQ(device->SamplerState(0, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_POINT));
    EXPECT_EQ(device->BoundTexture(0), nullptr);
    EXPECT_EQ(device->BoundTexture(1), nullptr);

    // Without saving, the states stay.
    ASSERT_EQ(effect->Begin(&passes, D3DXFX_DONOTSAVESTATE), S_OK);
    effect->BeginPass(0);
    effect->EndPass();
    effect->End();
    EXPECT_EQ(device->RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    device->SetTexture(0, nullptr);

    // Device loss reaches the effect.
    effect->OnLostDevice();
    effect->OnResetDevice();
    EXPECT_EQ(D3DXEffectObject::From(effect)->LostCount(), 1);
    EXPECT_EQ(D3DXEffectObject::From(effect)->ResetCount(), 1);
    EXPECT_EQ(effect->Release(), 0u);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(D3DXEffectTest, SharedParametersHoldOneValueInAPool) {
    ID3DXEffectPool* pool = nullptr;
    ASSERT_EQ(D3DXCreateEffectPool(&pool), S_OK);
    ID3DXEffect* a = Compile(kSkyEffect, pool);
    ID3DXEffect* b = Compile("shared float4 g_vLight; float4 own; technique T { pass P { } }", pool);
    ID3DXEffect* c = Compile("shared float4 g_vLight; technique T { pass P { } }");  // no pool
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(D3DXEffectPoolObject::From(pool)->SharedCount(), 2u);
    // The value the first effect declared is the pool's.
    D3DXVECTOR4 v;
    EXPECT_EQ(b->GetVector("g_vLight", &v), S_OK);
    EXPECT_EQ(v.z, -1.0f);
    const D3DXVECTOR4 sun(0.5f, 0.25f, -1.0f, 0.0f);
    EXPECT_EQ(b->SetVector("g_vLight", &sun), S_OK);
    EXPECT_EQ(a->GetVector("g_vLight", &v), S_OK);
    EXPECT_EQ(v.x, 0.5f);
    EXPECT_EQ(c->GetVector("g_vLight", &v), S_OK);
    EXPECT_EQ(v.x, 0.0f);
    ID3DXEffectPool* held = nullptr;
    EXPECT_EQ(a->GetPool(&held), S_OK);
    EXPECT_EQ(held, pool);
    held->Release();

    // A shared name with another type cannot join the pool.
    std::string errors;
    EXPECT_EQ(Compile("shared float3 g_vLight; technique T { pass P { } }", pool, &errors), nullptr);
    EXPECT_NE(errors.find("g_vLight"), std::string::npos);

    a->Release();
    b->Release();
    c->Release();
    EXPECT_EQ(pool->Release(), 0u);
}

struct BrokenCase {
    const char* what;
    const char* text;
    const char* message;  // part of the compiler's message
};

TEST_F(D3DXEffectTest, BrokenFilesGiveAFailureAndTheErrorText) {
    const BrokenCase cases[] = {
        {"missing semicolon", "float a = 1\nfloat b;", "memory(2,1): error X3000: syntax error: unexpected token 'float'"},
        {"unknown type", "flaot a;", "unrecognized identifier 'flaot'"},
        {"unclosed technique", "technique T { pass P { ZEnable = true; }", "unexpected end of file"},
        {"unclosed function", "float4 PS() : COLOR { return 1;", "missing closing bracket"},
        {"unterminated comment", "/* never closed", "unterminated comment"},
        {"unterminated string", "string s = \"abc;\n", "unterminated string"},
        {"include without a handler", "#include \"common.fxh\"\nfloat a;", "common.fxh"},
        {"#error", "#error stop here", "stop here"},
        {"redefinition", "float a; float a;", "redefinition of 'a'"},
        {"too many values", "float2 v = {1, 2, 3};", "too many values"},
        {"undeclared in initialiser", "float v = other * 2;", "undeclared identifier 'other'"},
        {"stray token in technique", "technique T { ZEnable = true; }", "unexpected token 'ZEnable'"},
        {"unbalanced #if", "#if 1\nfloat a;", "#if"},
    };
    for (const BrokenCase& c : cases) {
        SCOPED_TRACE(c.what);
        ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(1);
        ID3DXBuffer* errors = nullptr;
        const std::string text = c.text;
        EXPECT_EQ(D3DXCreateEffect(device, text.data(), static_cast<UINT>(text.size()), nullptr, nullptr, 0, nullptr,
                                   &effect, &errors),
                  E_FAIL);
        EXPECT_EQ(effect, nullptr);
        ASSERT_NE(errors, nullptr);
        const std::string message = static_cast<const char*>(errors->GetBufferPointer());
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_EQ(errors->Release(), 0u);
    }
}

TEST_F(D3DXEffectTest, PreprocessorMacrosAndIncludeHandler) {
    struct Include final : ID3DXInclude {
        std::string text = "float fromInclude = 3;\n";
        int closes = 0;
        HRESULT Open(D3DXINCLUDE_TYPE, LPCSTR name, const void*, const void** data, UINT* bytes) override {
            if (std::string(name) != "common.fxh") {
                return E_FAIL;
            }
            *data = text.data();
            *bytes = static_cast<UINT>(text.size());
            return S_OK;
        }
        HRESULT Close(const void*) override {
            ++closes;
            return S_OK;
        }
    } include;
    const std::string text =
        "#include \"common.fxh\"\n"
        "#define COUNT 4 // comment\n"
        "#define SQUARE(x) ((x)*(x))\n"
        "#if COUNT > 3 && defined(COUNT)\n"
        "float big = COUNT;\n"
        "#elif 1\n"
        "float small;\n"
        "#endif\n"
        "#ifndef FROM_MACRO\n"
        "float missing;\n"
        "#endif\n"
        "technique T { pass P { } }\n";
    const D3DXMACRO macros[] = {{"FROM_MACRO", "1"}, {nullptr, nullptr}};
    ID3DXEffect* effect = nullptr;
    ASSERT_EQ(D3DXCreateEffect(device, text.data(), static_cast<UINT>(text.size()), macros, &include, 0, nullptr,
                               &effect, nullptr),
              S_OK);
    EXPECT_EQ(include.closes, 1);
    float value = 0;
    EXPECT_EQ(effect->GetFloat("fromInclude", &value), S_OK);
    EXPECT_EQ(value, 3.0f);
    EXPECT_EQ(effect->GetFloat("big", &value), S_OK);
    EXPECT_EQ(value, 4.0f);
    EXPECT_EQ(effect->GetParameterByName(nullptr, "small"), nullptr);
    EXPECT_EQ(effect->GetParameterByName(nullptr, "missing"), nullptr);
    effect->Release();
}

// Numbers past the integer range wrap in #if arithmetic and saturate where a state or an
// int parameter takes them, instead of overflowing.
TEST_F(D3DXEffectTest, OutOfRangeNumbersWrapOrSaturate) {
    const std::string text =
        "#if 9223372036854775807 * 3 != 0 && -(-9223372036854775807 - 1) / -1 != 1\n"
        "float reached;\n"
        "#endif\n"
        "float huge = 1e30;\n"
        "int clamped = 1e30;\n"
        "technique T { pass P { StencilMask = 1e30; StencilRef = <huge>; AlphaRef = -1e30; } }\n";
    ID3DXEffect* effect = Compile(text);
    ASSERT_NE(effect, nullptr);
    EXPECT_NE(effect->GetParameterByName(nullptr, "reached"), nullptr);
    INT value = 0;
    EXPECT_EQ(effect->GetInt("clamped", &value), S_OK);
    EXPECT_EQ(value, 2147483647);
    EXPECT_EQ(effect->GetInt("huge", &value), S_OK);
    EXPECT_EQ(value, 2147483647);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, D3DXFX_DONOTSAVESTATE), S_OK);
    ASSERT_EQ(effect->BeginPass(0), S_OK);
    EXPECT_EQ(device->RenderState(D3DRS_STENCILMASK), 0xFFFFFFFFu);
    EXPECT_EQ(device->RenderState(D3DRS_STENCILREF), 0xFFFFFFFFu);
    EXPECT_EQ(device->RenderState(D3DRS_ALPHAREF), 0u);
    effect->EndPass();
    effect->End();
    effect->Release();
}

// Text made to exhaust the compiler: numbers that overflow to NaN, macros that multiply,
// brackets nested past any real effect. Each is refused with a compile error.
TEST_F(D3DXEffectTest, HostileTextIsACompileError) {
    const auto repeat = [](const std::string& piece, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) {
            text += piece;
        }
        return text;
    };
    // Six levels of ten copies: a million tokens from a few lines.
    std::string tenfold = "#define m0 1\n";
    for (int level = 1; level <= 6; ++level) {
        tenfold += "#define m" + std::to_string(level) + " " + repeat("m" + std::to_string(level - 1) + " ", 10) + "\n";
    }
    struct Case {
        std::string what;
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"array size past the double range", "float a[0e400];", "unexpected token"},
        {"vector size past the double range", "vector<float, 0e400> v;", "unexpected token"},
        {"self-naming macro in #if", "#define t t t\n#if t\nfloat a;\n#endif\n", "invalid #if expression"},
        {"macros that multiply in the text", tenfold + "float a = m6;\n", "too much text"},
        {"macros that multiply in #if", tenfold + "#if m6\n#endif\n", "too much text"},
        {"parentheses", "float a = " + repeat("(", 20000) + "1" + repeat(")", 20000) + ";", "nested too deeply"},
        {"unary minus", "float a = " + repeat("- ", 20000) + "1;", "nested too deeply"},
        {"constructors", "float a = " + repeat("float(", 20000) + "1" + repeat(")", 20000) + ";", "nested too deeply"},
        {"initialiser braces", "float a = " + repeat("{", 20000) + "1" + repeat("}", 20000) + ";", "nested too deeply"},
        {"#if parentheses", "#if " + repeat("(", 20000) + "1" + repeat(")", 20000) + "\n#endif\n", "nested too deeply"},
        {"#if negations", "#if " + repeat("!", 20000) + "1\n#endif\n", "nested too deeply"},
        {"parameters past 32 MB", "float4x4 a[65536], b[65536], c[65536];", "too many values"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string errors;
        EXPECT_EQ(Compile(c.text, nullptr, &errors), nullptr);
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
    }
}

TEST_F(D3DXEffectTest, NumbersPastTheDoubleRangeAreInfinityOrZero) {
    const std::string text =
        "float zero = 0e400;\n"
        "float tiny = 1e-400;\n"
        "float big = 1e400;\n"
        "int bigInt = 1" + std::string(400, '0') + ";\n"
        "float half = .5;\n"
        "float nested = ((((((2))))));\n"
        "technique T { pass P { ColorOp[0e400] = Modulate; } }\n";
    ID3DXEffect* effect = Compile(text);
    ASSERT_NE(effect, nullptr);
    float value = -1;
    EXPECT_EQ(effect->GetFloat("zero", &value), S_OK);
    EXPECT_EQ(value, 0.0f);
    EXPECT_EQ(effect->GetFloat("tiny", &value), S_OK);
    EXPECT_EQ(value, 0.0f);
    EXPECT_EQ(effect->GetFloat("big", &value), S_OK);
    EXPECT_EQ(value, HUGE_VALF);
    EXPECT_EQ(effect->GetFloat("half", &value), S_OK);
    EXPECT_EQ(value, 0.5f);
    EXPECT_EQ(effect->GetFloat("nested", &value), S_OK);
    EXPECT_EQ(value, 2.0f);
    INT integer = 0;
    EXPECT_EQ(effect->GetInt("bigInt", &integer), S_OK);
    EXPECT_EQ(integer, 2147483647);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, D3DXFX_DONOTSAVESTATE), S_OK);
    ASSERT_EQ(effect->BeginPass(0), S_OK);
    EXPECT_EQ(device->StageState(0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_MODULATE));
    effect->EndPass();
    effect->End();
    effect->Release();
}

TEST_F(D3DXEffectTest, EffectWithoutTechniquesAndCreationFailures) {
    ID3DXEffect* effect = Compile("\xEF\xBB\xBF" "float a;");  // with a UTF-8 byte-order mark
    ASSERT_NE(effect, nullptr);
    D3DXHANDLE technique = reinterpret_cast<D3DXHANDLE>(1);
    EXPECT_EQ(effect->FindNextValidTechnique(nullptr, &technique), S_OK);
    EXPECT_EQ(technique, nullptr);
    EXPECT_EQ(effect->SetTechnique(technique), D3DERR_INVALIDCALL);
    UINT passes = 7;
    EXPECT_EQ(effect->Begin(&passes, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(passes, 0u);  // a caller's pass loop runs no pass
    effect->Release();

    // A technique without passes begins with none.
    effect = Compile("technique Empty { }");
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->Begin(&passes, 0), S_OK);
    EXPECT_EQ(passes, 0u);
    EXPECT_EQ(effect->End(), S_OK);
    effect->Release();

    const std::string text = "technique T { pass P { } }";
    EXPECT_EQ(D3DXCreateEffect(nullptr, text.data(), static_cast<UINT>(text.size()), nullptr, nullptr, 0, nullptr,
                               &effect, nullptr),
              D3DERR_INVALIDCALL);
    D3D9Faults::Fail(D3D9Fault::D3DXCreateEffect, E_OUTOFMEMORY);
    EXPECT_EQ(D3DXCreateEffect(device, text.data(), static_cast<UINT>(text.size()), nullptr, nullptr, 0, nullptr,
                               &effect, nullptr),
              E_OUTOFMEMORY);
    EXPECT_EQ(effect, nullptr);
    // The effect holds the device; releasing the effect gives it back.
    ASSERT_EQ(D3DXCreateEffect(device, text.data(), static_cast<UINT>(text.size()), nullptr, nullptr, 0, nullptr,
                               &effect, nullptr),
              S_OK);
    EXPECT_EQ(device->RefCount(), 2u);
    effect->Release();
    EXPECT_EQ(device->RefCount(), 1u);
}

}  // namespace
