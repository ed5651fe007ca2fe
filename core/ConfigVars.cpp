#include "core/ConfigVars.h"

namespace Cfg {

int32_t screenWidth = 640;
int32_t screenHeight = 480;
int32_t screenBPP = 16;
int32_t fullScreen = 0;
int32_t weight_div = 0;
int32_t staticGeometry = 0;
int32_t rolling = 0;
int32_t texlod = -1;
int32_t quadlevels = 0;
int32_t bboxes = 0;
int32_t channels = 2;
int32_t frequency = 22050;
int32_t bitrate = 8;
float soundVolume = 0.5f;
float musicVolume = 0.5f;
float mouse = 0.0f;
float plane = 0.5f;
int32_t cam_speed = 0;
int32_t distance = 200;
int32_t startmenu = 1;
float friction = 0.2f;
float restitution = 0.0f;
int32_t shadows = 1;
int32_t bloom = 1;
int32_t lensflare = 1;
int32_t dust = 1;
int32_t wheel = 1;
int32_t psystems = 25;
int32_t weather = 1;
int32_t blur = 1;
int32_t contrast = 1;
float aniso = 0.0f;

namespace {

constexpr Variable IntVar(const char* key, int32_t* v, double d) { return {key, v, nullptr, d}; }
constexpr Variable FloatVar(const char* key, float* v, double d) { return {key, nullptr, v, d}; }

const Variable table[VariableCount] = {
    IntVar("screenWidth", &screenWidth, 640),
    IntVar("screenHeight", &screenHeight, 480),
    IntVar("screenBPP", &screenBPP, 16),
    IntVar("fullScreen", &fullScreen, 0),
    IntVar("weight_div", &weight_div, 0),
    IntVar("static", &staticGeometry, 0),
    IntVar("rolling", &rolling, 0),
    IntVar("texlod", &texlod, -1),
    IntVar("quadlevels", &quadlevels, 0),
    IntVar("bboxes", &bboxes, 0),
    IntVar("channels", &channels, 2),
    IntVar("frequency", &frequency, 22050),
    IntVar("bitrate", &bitrate, 8),
    FloatVar("soundVolume", &soundVolume, 0.5),
    FloatVar("musicVolume", &musicVolume, 0.5),
    FloatVar("mouse", &mouse, 0),
    FloatVar("plane", &plane, 0.5),
    IntVar("cam_speed", &cam_speed, 0),
    IntVar("distance", &distance, 200),
    IntVar("startmenu", &startmenu, 1),
    FloatVar("friction", &friction, 0.2),
    FloatVar("restitution", &restitution, 0),
    IntVar("shadows", &shadows, 1),
    IntVar("bloom", &bloom, 1),
    IntVar("lensflare", &lensflare, 1),
    IntVar("dust", &dust, 1),
    IntVar("wheel", &wheel, 1),
    IntVar("psystems", &psystems, 25),
    IntVar("weather", &weather, 1),
    IntVar("blur", &blur, 1),
    IntVar("contrast", &contrast, 1),
    FloatVar("aniso", &aniso, 0),
};

}  // namespace

const Variable* Variables() { return table; }

void ResetDefaults() {
    for (const Variable& v : table) {
        if (v.Int != nullptr) {
            *v.Int = static_cast<int32_t>(v.Default);
        } else {
            *v.Float = static_cast<float>(v.Default);
        }
    }
}

}  // namespace Cfg
