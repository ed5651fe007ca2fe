// The attached objects of object descriptions (level-of-detail objects, sprites, point lights,
// particle systems, line key points and the line colour), built on a finished root by the
// scene loader. Internal to Render/CPSceneLoader_*.cpp.
#pragma once

#include "scene/RdfFile.h"

#include <cstdint>

class CPGameObject;
class CPSceneLoader;

namespace SceneLoaderLists {

// Which object form builds the sprites: it decides the layout, the static flag, the bounds
// and where a sprite with an unknown parent goes.
enum class SpriteForm { Animated, Group, Mesh };

void AddLods(CPSceneLoader& loader, CPGameObject& root, const RdfDescription& description, int32_t typeBase);
void AddSprites(CPSceneLoader& loader, CPGameObject& root, RdfDescription& description, int32_t typeBase,
                SpriteForm form);
void AddLights(CPGameObject& root, const RdfDescription& description);
void AddParticleSystems(CPGameObject& root, const RdfDescription& description);
void AddLineData(CPGameObject& root, const RdfDescription& description);

}  // namespace SceneLoaderLists
