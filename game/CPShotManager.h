// The one shot manager: shots wait in pools by type name and are launched from there; the
// launched ones fly until their Step ends them and then go back to the pool of their type.
//
// A pool list starts with its type's prototype, set up from our shot description file when
// the game starts (LoadDescriptions). Launching takes the last spare of the list, or a clone of
// the prototype when only the prototype is left, so a pool grows to the most shots of its type
// in flight at once and no further.
//
// The manager owns every shot of its pools and its launched list, and the sounds its
// prototypes loaded (clones share them); it deletes them when it goes. The host creates it,
// steps it once per frame after the tasks and hands its shots to the frame's batcher.
#pragma once

#include "core/CPtr.h"
#include "game/CPShot.h"
#include "game/ShotDescription.h"
#include "platform/d3dx/D3DXMath.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class CNSound;
class CPRenderBatcher;

class CPShotManager {
public:
    static constexpr const char* DescriptionFileName = "Data\\shots.txt";

    CPShotManager() = default;
    ~CPShotManager();
    CPShotManager(const CPShotManager&) = delete;
    CPShotManager& operator=(const CPShotManager&) = delete;

    // A prototype of the described class for every description, set up with its parameters.
    // False (error names the file and line) when a name already has a pool; the prototypes made
    // before stay.
    bool AddPrototypes(const std::vector<ShotDescription>& shots, const std::string& fileName, std::string& error);
    // Reads the description file and adds its prototypes; false with the error (file and line)
    // when it cannot be read or is refused, with nothing added.
    bool LoadDescriptions(const std::string& fileName, std::string& error);
    // Takes over a set-up prototype as the first of its type name's list. False (the shot stays
    // the caller's) for null or when the name's list already holds shots.
    bool AddPrototype(CPtr<CPShot> prototype);

    // Launches a shot of the type: the last spare of its list, else a clone of its prototype.
    // Nothing for a name without shots (an empty list is left for it) or a prototype that
    // cannot be cloned.
    void LaunchShot(const std::string& name, const D3DXVECTOR3& position, const D3DXVECTOR3& direction,
                    float lifetime, CPtr<CPGameObject> owner, int32_t extra);
    // One frame: Step of every shot launched before it began; the ended ones lose their owner
    // and go back to the end of their type's list. Shots launched during it fly from the next.
    void Update();
    // The launched shots to the batcher (each a node without children).
    void Draw(CPRenderBatcher& batcher);

    // Shots of the type's list, the prototype included (0 for an unknown name).
    size_t PoolSize(const std::string& name) const;

    std::vector<CPtr<CPShot>> Launched;
    std::unordered_map<std::string, std::vector<CPtr<CPShot>>> Pool;

    // Set by whoever creates the one manager (the host); read through GetShotManager.
    static inline CPShotManager* Instance = nullptr;

private:
    // The prototype's sound becomes the manager's unless the sound cache holds it.
    void AdoptSound(const CPShot& prototype);

    std::unordered_set<CNSound*> sounds;  // owned
};
