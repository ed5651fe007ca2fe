// an effect as game data has them
#define LIGHTS 2
float4x4 World : WORLD;
float4 Colour = {1, 0.5, 0.25, 1};
float Scale[LIGHTS] = {1.0, 2.0e-1};
texture Diffuse < string name = "car.dds"; >;
sampler DiffuseSampler = sampler_state { Texture = <Diffuse>; MinFilter = Linear; AddressU = Wrap; };
#if LIGHTS > 1 && defined(LIGHTS)
static const int count = LIGHTS * 2;
#endif
float4 PS(float2 uv : TEXCOORD0) : COLOR { return tex2D(DiffuseSampler, uv) * Colour; }
technique Main < string group = "cars"; > {
    pass P0 {
        ZEnable = true; AlphaBlendEnable = false; CullMode = CCW;
        SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha;
        ColorOp[0] = Modulate; Texture[0] = <Diffuse>; Lighting = true;
        FogColor = 0x00ff00ff;
    }
}
