#include "DynamicSky/VolumeClouds.h"

VolumeClouds::VolumeClouds() {
    LoadTexture("data\\textures\\cloud.tga");
    LoadEffect("data\\effects\\volume_cloud.fx");
}
