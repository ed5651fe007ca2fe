// Effect compilation cost: a level compiles every effect its materials name once.
#include "platform/d3d9/D3D9Device.h"
#include "platform/d3dx/D3DXEffect.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

// A typical material effect, varied per index so that no two texts are the same.
std::string MakeEffect(int index) {
    const std::string n = std::to_string(index);
    return "// material effect " + n + "\n"
           "shared float4x4 g_mWorldViewProjection : WORLDVIEWPROJECTION;\n"
           "shared float4 g_vLight;\nshared float4 g_vLightColor;\nshared float4 g_vAmbient;\n"
           "float time = " + n + ".5;\n"
           "float4 tint = float4(1, 0.5, 0.25, 1);\n"
           "texture tex0 <string ResourceName = \"t" + n + ".dds\";>;\ntexture tex1;\n"
           "sampler s0 = sampler_state { Texture = <tex0>; MinFilter = Linear; MagFilter = Linear; MipFilter = Linear; };\n"
           "sampler s1 = sampler_state { Texture = <tex1>; AddressU = Clamp; AddressV = Clamp; };\n"
           "struct VS_OUT { float4 pos : POSITION; float2 uv : TEXCOORD0; float4 col : COLOR0; };\n"
           "VS_OUT VS(float4 pos : POSITION, float3 n : NORMAL, float2 uv : TEXCOORD0) {\n"
           "  VS_OUT o; o.pos = mul(pos, g_mWorldViewProjection);\n"
           "  o.col = g_vAmbient + g_vLightColor * saturate(dot(n, -g_vLight.xyz)); o.uv = uv; return o; }\n"
           "float4 PS(VS_OUT i) : COLOR { return tex2D(s0, i.uv) * i.col * tint; }\n"
           "technique Full { pass P0 { ZEnable = true; ZWriteEnable = true; CullMode = CCW; AlphaBlendEnable = false;\n"
           "  VertexShader = compile vs_1_1 VS(); PixelShader = compile ps_1_1 PS(); }\n"
           "  pass P1 { AlphaBlendEnable = true; SrcBlend = SrcAlpha; DestBlend = One; Sampler[0] = (s1); } }\n"
           "technique Fixed { pass P0 { Texture[0] = <tex0>; ColorOp[0] = Modulate; ColorArg1[0] = Texture;\n"
           "  ColorArg2[0] = Diffuse; Lighting = true; } }\n";
}

void BM_Compile100Effects(benchmark::State& state) {
    std::vector<std::string> texts;
    for (int i = 0; i < 100; ++i) {
        texts.push_back(MakeEffect(i));
    }
    D3D9RecordingDevice* device = D3D9RecordingDevice::Create();
    ID3DXEffectPool* pool = nullptr;
    D3DXCreateEffectPool(&pool);
    for (auto _ : state) {
        for (const std::string& text : texts) {
            ID3DXEffect* effect = nullptr;
            D3DXCreateEffect(device, text.data(), static_cast<UINT>(text.size()), nullptr, nullptr, 0, pool, &effect,
                             nullptr);
            benchmark::DoNotOptimize(effect);
            effect->Release();
        }
    }
    pool->Release();
    device->Release();
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 100);
}
BENCHMARK(BM_Compile100Effects)->Unit(benchmark::kMillisecond);

}  // namespace
