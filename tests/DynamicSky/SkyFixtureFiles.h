// The test sky, shared by the tests and the benchmarks: "skyscape1.txt" with two phases (day
// and a bright night), three ring colours, two cloud layers (the first is the sun) and two
// cloud sets on a two-entry schedule (the second overcast), with the textures and effects it
// names. WriteSkyFixture puts the files under a game folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace SkyFixture {

inline const char* const SkyFile = R"(// Test sky
timescale 2
startlayer 0
radius 100
height 0.5
segments 16
centre 0 0 -10
texture Data\Textures\sky.tga
effect Data\Effects\sky.fx
ringcolours 3
layers 2
cloudlayers 2
cloudfx0 Data\Effects\cloud0.fx
cloudfx1 Data\Effects\cloud1.fx
cloudsets 2
schedule schedule1.txt
// layer 0: day
duration 10
alpha 200
angle 90
channel 3
ring 100 150 200
ring 120 170 220
ring 140 190 240
sun 200 180 160
ambient 60 70 80
colourA 1 2 3
colourB 4 5 6
fog 90 100 110
fogvalue 50
fogvalue 150
fogvalue 1
bright 0
dayangle 0
effect 0
scale 10
advance 0
dayangle 90
effect 1
scale 20
advance 1
// layer 1: night
duration 5
alpha 100
angle 180
channel 2
ring 20 30 40
ring 10 20 30
ring 0 10 20
sun 50 40 30
ambient 10 20 30
colourA 0 0 0
colourB 0 0 0
fog 10 20 30
fogvalue 60
fogvalue 160
fogvalue 2
bright 1
dayangle 180
effect 1
scale 30
advance 1
dayangle 270
effect 0
scale 40
advance 0
// cloud layer 0: the sun
axis 0 1 0
halfsize 5
orbit 200
phase 0
textures 1
texture Data\Textures\sun.tga
// cloud layer 1
axis 1 0 0
halfsize 20
orbit 150
phase 45
textures 2
texture Data\Textures\cloud_a.tga
texture Data\Textures\cloud_b.tga
set clear.txt
set storm.txt
)";

inline const char* const ScheduleFile = R"(entries 2
fade 2
duration 10
jitter 0.5
set clear.txt
x 0
x 0
x 0
x 0
x 0
x 0
x 0
x 0
overcast 0
probability 1
x 0
fade 4
duration 20
jitter 0.25
set storm.txt
x 1
x 2
x 3.5
x 4.5
x 5
x 6.5
x 7
x 8
overcast 1
probability 1
x 9
)";

inline const char* const ClearSetFile = R"(position 0 0 50
extra 1.5
extra 2
extra 1 2 3
extra 4.5
clouds 1
file puff1.txt
offset 10 20 30
scale 1
angle 0
weight 0.5
)";

inline const char* const StormSetFile = R"(position 5 5 60
extra 0
extra 0
extra 0 0 0
extra 0
clouds 2
file puff1.txt
offset 0 0 0
scale 2
angle 1.5707964
weight 1
file puff2.txt
offset 1 1 1
scale 1
angle 0
weight 2
)";

inline const char* const Puff1File = R"(anchors 1
anchor 0 0 0
puffs 1
position 10 0 0
ints 1 2
value 0.5
anchor 0
size 3 4
e 1
e 2
e 3
e 4
e 5
e 6
e 7
e 8
)";

inline const char* const Puff2File = R"(anchors 2
anchor 0 0 0
anchor 0 0 100
puffs 2
position 0 0 102
ints 0 0
value 0
anchor 1
size 3 4
position 0 0 105
ints 0 0
value 0
anchor 1
size 3 4
e 1
e 2
e 3
e 4
e 5
e 6
e 7
e 8
)";

// One pass that draws with the layer's texture.
inline const char* const OnePassEffect = R"(texture tex0;
technique Sky { pass P0 { Texture[0] = <tex0>; ZEnable = false; AlphaBlendEnable = true; } }
)";
// Two passes, for the cloud layers' second effect.
inline const char* const TwoPassEffect = R"(texture tex0;
technique Clouds { pass P0 { Texture[0] = <tex0>; ZEnable = false; } pass P1 { ZWriteEnable = false; } }
)";

// A 1 x 1 uncompressed 24-bit TGA.
inline std::vector<uint8_t> TinyTga() {
    std::vector<uint8_t> tga(18, 0);
    tga[2] = 2;
    tga[12] = 1;
    tga[14] = 1;
    tga[16] = 24;
    tga.insert(tga.end(), {0x40, 0x80, 0xC0});
    return tga;
}

inline void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

inline void WriteSkyFixture(const std::filesystem::path& folder) {
    const std::filesystem::path clouds = folder / "Data" / "Clouds";
    WriteText(clouds / "skyscape1.txt", SkyFile);
    WriteText(clouds / "schedule1.txt", ScheduleFile);
    WriteText(clouds / "clear.txt", ClearSetFile);
    WriteText(clouds / "storm.txt", StormSetFile);
    WriteText(clouds / "puff1.txt", Puff1File);
    WriteText(clouds / "puff2.txt", Puff2File);
    const std::filesystem::path effects = folder / "Data" / "Effects";
    WriteText(effects / "sky.fx", OnePassEffect);
    WriteText(effects / "cloud0.fx", OnePassEffect);
    WriteText(effects / "cloud1.fx", TwoPassEffect);
    WriteText(effects / "skyscape_light.fx", OnePassEffect);
    WriteText(effects / "volume_cloud.fx", OnePassEffect);
    const std::vector<uint8_t> tga = TinyTga();
    const std::string tgaText(tga.begin(), tga.end());
    for (const char* name : {"sky.tga", "sun.tga", "cloud_a.tga", "cloud_b.tga", "cloud.tga"}) {
        WriteText(folder / "Data" / "Textures" / name, tgaText);
    }
}

}  // namespace SkyFixture
