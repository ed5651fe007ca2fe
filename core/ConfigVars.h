// The 32 configuration variables, plain globals named after their "config.cfg" keys.
// They hold their defaults before any file is read; CPConfig only writes them and every
// other module reads them directly.
#pragma once

#include <cstdint>

namespace Cfg {

extern int32_t screenWidth;     // pixels
extern int32_t screenHeight;    // pixels
extern int32_t screenBPP;       // colour depth in bits; video texture format
extern int32_t fullScreen;
extern int32_t weight_div;      // divisor of masses and forces given to physics bodies
extern int32_t staticGeometry;  // key "static": level objects go to the static batcher
extern int32_t rolling;
extern int32_t texlod;          // LOD set on loaded textures; -1 leaves them
extern int32_t quadlevels;      // scene quadtree depth; 0 uses the level's own tree
extern int32_t bboxes;
extern int32_t channels;
extern int32_t frequency;
extern int32_t bitrate;         // 16 selects the full HRTF 3-D algorithm
extern float soundVolume;       // 0..1
extern float musicVolume;       // 0..1
extern float mouse;
extern float plane;             // non-zero loads the terrain; scripts read it as brightness
extern int32_t cam_speed;       // difficulty setting read by scripts
extern int32_t distance;        // view distance in metres
extern int32_t startmenu;
extern float friction;          // contact friction of the rigid-body simulator
extern float restitution;       // contact restitution of the rigid-body simulator
extern int32_t shadows;
extern int32_t bloom;
extern int32_t lensflare;
extern int32_t dust;
extern int32_t wheel;
extern int32_t psystems;        // particle density
extern int32_t weather;
extern int32_t blur;
extern int32_t contrast;
extern float aniso;             // share of the device's maximum anisotropy; <= 0 is linear

// Puts every variable back to its default (for tests and a host's restart).
void ResetDefaults();

}  // namespace Cfg

namespace Cfg {

// One row of the binding table: the key, the variable (exactly one of the two pointers is
// set) and its default.
struct Variable {
    const char* Key;
    int32_t* Int;
    float* Float;
    double Default;
};

// The 32 rows in binding order.
const Variable* Variables();
constexpr int VariableCount = 32;

}  // namespace Cfg
