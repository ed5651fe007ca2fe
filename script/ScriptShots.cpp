// Shot and bonus functions: shots and explosions launched by type name through the shot
// manager, the lightning bolt a script launches and steps itself, the car's super weapon, the
// random bonus dropped at a checkpoint and the list of bonuses lying in the level.
//
// A lightning bolt is not the shot manager's: the current level keeps every bolt a script
// started (CPLevel::ScriptObjects) and deletes it with itself, so a bolt the script stops
// stepping is not lost. Without a level no bolt is made (a null handle) and UpdateTrasser
// pushes -1. A checkpoint index outside the mission's records drops no bonus.
#include "script/ScriptAreas.h"

#include "script/ScriptApi.h"

#include "Render/CPIVBlock.h"
#include "Render/CPRender.h"
#include "Render/CPRenderObject.h"
#include "Render/CPRenderBatcher.h"
#include "Sound/NSound.h"
#include "Sound/PSoundManager.h"
#include "core/CPCommandDispatcher.h"
#include "game/CPLevel.h"
#include "game/CPLightningShot.h"
#include "game/CPPlayer.h"
#include "game/CPShotManager.h"
#include "interface/CPGameData.h"
#include "platform/win32/Clock.h"
#include "platform/win32/CrtRand.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace Script {

namespace {

const D3DXVECTOR3 Zero(0.0f, 0.0f, 0.0f);

// A bolt of a script. Its sound was loaded for it alone unless the sound cache holds it; then
// it goes with the bolt. A level can go in the middle of a frame, after its bolts were batched:
// a bolt leaves the frame's batch before its ribbon is freed.
class ScriptBolt : public CPLightningShot {
public:
    using CPLightningShot::CPLightningShot;
    ~ScriptBolt() override {
        LeaveFrameBatch();
        CNSound* sound = Sound.Get();
        Sound = nullptr;
        if (sound == nullptr) {
            return;
        }
        if (CPSoundManager::Instance != nullptr && CPSoundManager::Instance->Cache != nullptr) {
            for (const CPSoundCache::Entry& entry : CPSoundManager::Instance->Cache->Entries) {
                if (entry.Sound == sound) {
                    return;
                }
            }
        }
        sound->Stop();
        delete sound;
    }
    size_t GetObjectSize() const override { return sizeof(ScriptBolt); }

private:
    void LeaveFrameBatch() {
        CPRenderable* ribbon = Render();
        CPtr<CPRenderBatcher> batcher = CPRender::Instance != nullptr ? CPRender::Instance->GetStaticBatcher()
                                                                        : CPtr<CPRenderBatcher>();
        if (ribbon == nullptr || batcher == nullptr) {
            return;
        }
        for (auto& [material, block] : batcher->FrameBlocks) {
            auto& objects = block->Objects;
            for (auto it = objects.begin(); it != objects.end();) {
                if (it->Get() != ribbon) {
                    ++it;
                    continue;
                }
                if (!ribbon->IsExcluded()) {
                    block->IndexTotal -= static_cast<uint32_t>(std::max(ribbon->GetIndexCount(), 0));
                    block->VertexTotal -= static_cast<uint32_t>(std::max(ribbon->GetVertexCount(), 0));
                }
                it = objects.erase(it);
            }
        }
    }
};

D3DXVECTOR3 Vector(lua_State* L, int first) {
    return D3DXVECTOR3(Number(L, first), Number(L, first + 1), Number(L, first + 2));
}

void Launch(const std::string& type, const D3DXVECTOR3& position, const D3DXVECTOR3& direction) {
    if (CPShotManager::Instance != nullptr) {
        CPShotManager::Instance->LaunchShot(type, position, direction, -1.0f, CPtr<CPGameObject>(), 0);
    }
}

// The name of the first range with low <= r < high, or "".
std::string PickRange(const std::vector<RangeEntry>& ranges, int32_t r) {
    for (const RangeEntry& range : ranges) {
        if (range.Low <= r && r < range.High) {
            return range.Name;
        }
    }
    return std::string();
}

// Shots.

int Shot(lua_State* L) {
    const char* type = CheckText(L, 1);
    CPGameObject* owner = Handle<CPGameObject>(L, 2, "Shot");
    const D3DXVECTOR3 local = Vector(L, 3);
    const CPLevel* level = GetCurrentLevel();
    if (owner == nullptr || level == nullptr || level->Stopped) {
        return 0;
    }
    D3DXVECTOR3 position;
    D3DXVec3TransformCoord(&position, &local, &owner->WorldMatrix);
    Launch(type, position, Zero);
    return 0;
}

int Explosion(lua_State* L) {
    Launch(Text(L, 1), Vector(L, 2), Zero);
    return 0;
}

int DirectionalExplosion(lua_State* L) {
    Launch(Text(L, 1), Vector(L, 2), Vector(L, 5));
    return 0;
}

int StartLighting(lua_State* L) {
    const std::string type = Text(L, 1);
    const D3DXVECTOR3 position = Vector(L, 2);
    const D3DXVECTOR3 direction = Vector(L, 5);
    CPLevel* level = GetCurrentLevel();
    if (level == nullptr) {
        PushHandle(L, nullptr);
        return 1;
    }
    auto bolt = std::make_unique<ScriptBolt>(type);
    bolt->Setup({"enemy", "10", "1.5", "1.5", "razlom.dds", "light_nofog.fx", "103", "sparks", "morvane.wav,3d"});
    bolt->Launch(position, direction, 10.0f, CPtr<CPGameObject>(), 0);
    ScriptBolt* handle = bolt.get();
    level->ScriptObjects.push_back(std::move(bolt));
    PushHandle(L, handle);
    return 1;
}

int UpdateTrasser(lua_State* L) {
    CPLightningShot* bolt = Handle<CPLightningShot>(L, 1, "UpdateTrasser");
    if (bolt == nullptr || GetCurrentLevel() == nullptr) {
        lua_pushnumber(L, -1.0);
        return 1;
    }
    CPtr<CPGameObject> hit;
    const int state = bolt->Update(hit);
    if (state == 1 && CPRender::Instance != nullptr) {
        if (CPtr<CPRenderBatcher> batcher = CPRender::Instance->GetStaticBatcher()) {
            batcher->AddTree(CPtr<CPGameObject>(bolt));
        }
    }
    lua_pushnumber(L, state);
    if (hit != nullptr) {
        PushHandle(L, hit.Get());
        return 2;
    }
    return 1;
}

int SmartBomb(lua_State*) {
    CPGameData* game = CPGameData::Instance;
    if (game == nullptr || game->ActiveCarSettings.SuperWeaponCharges <= 0) {
        return 0;
    }
    const CPLevel* level = GetCurrentLevel();
    const D3DXVECTOR3 v = level != nullptr && level->FollowedCar != nullptr ? level->FollowedCar->Position : Zero;
    Launch("super", v, v);
    --game->ActiveCarSettings.SuperWeaponCharges;
    if (CPCommandDispatcher::Instance != nullptr) {
        CPCommandDispatcher::Instance->SendCommandByName("gamemenu", "update_game_interface", "");
    }
    return 0;
}

// Bonuses.

int SetBonus(lua_State* L) {
    const float x = Number(L, 1);
    const float y = Number(L, 2);
    const int32_t index = Int(L, 3);
    const CPGameData* game = CPGameData::Instance;
    if (game == nullptr || index < 0 || static_cast<size_t>(index) >= game->MissionSources.size()) {
        return 0;
    }
    const MissionSource& source = game->MissionSources[static_cast<size_t>(index)];
    const int32_t p = Truncate(game->BonusCoefficient * static_cast<float>(source.BonusProbability));
    CrtSrand(timeGetTime());
    std::string name;
    if (CrtRand() % 100 <= p) {
        name = PickRange(source.BonusRanges, CrtRand() % 100);
    }
    if (!name.empty()) {
        const D3DXVECTOR3 at(x, y, 0.0f);
        Launch(name, at, at);
    }
    return 0;
}

int AddBonus(lua_State* L) {
    CPGameObject* bonus = Handle<CPGameObject>(L, 1, "AddBonus");
    if (CPGameData::Instance != nullptr) {
        CPGameData::Instance->AddBonus(CPtr<CPGameObject>(bonus), Int(L, 2));
    }
    return 0;
}

int EraseBonus(lua_State* L) {
    CPGameObject* bonus = Handle<CPGameObject>(L, 1, "EraseBonus");
    if (CPGameData::Instance != nullptr) {
        CPGameData::Instance->EraseBonus(CPtr<CPGameObject>(bonus));
    }
    return 0;
}

int GetBonusesCount(lua_State* L) {
    lua_pushnumber(L, CPGameData::Instance != nullptr ? static_cast<double>(CPGameData::Instance->Bonuses.size()) : 0.0);
    return 1;
}

int ClearBonuses(lua_State*) {
    if (CPGameData* game = CPGameData::Instance) {
        for (BonusEntry& entry : game->Bonuses) {
            entry.Bonus = nullptr;
        }
        game->Bonuses.clear();
    }
    return 0;
}

int GetBonusList(lua_State* L) {
    // A copy of the list first: the pushes below may run the collector.
    struct Row {
        CPObject* Bonus;
        double Value;
    };
    int count = 0;
    {
        std::vector<Row> rows;
        if (const CPGameData* game = CPGameData::Instance) {
            rows.reserve(game->Bonuses.size());
            for (const BonusEntry& entry : game->Bonuses) {
                rows.push_back({entry.Bonus.Get(), static_cast<double>(entry.Value)});
            }
        }
        count = PushProtected(L, [&rows](lua_State* S) {
            lua_createtable(S, static_cast<int>(std::min<size_t>(rows.size(), INT_MAX)), 0);
            int i = 1;
            for (const Row& row : rows) {
                lua_createtable(S, 2, 0);
                PushHandle(S, row.Bonus);
                lua_rawseti(S, -2, 1);
                lua_pushnumber(S, row.Value);
                lua_rawseti(S, -2, 2);
                lua_rawseti(S, -2, i++);
            }
            return 1;
        });
    }
    return Results(L, count);
}

}  // namespace

extern const luaL_Reg ShotFunctionsA[] = {
    {"Shot", Shot},
    {"Explosion", Explosion},
    {"DirectionalExplosion", DirectionalExplosion},
    {"StartLighting", StartLighting},
    {"UpdateTrasser", UpdateTrasser},
    {"SmartBomb", SmartBomb},
    {"SetBonus", SetBonus},
    {"AddBonus", AddBonus},
    {"EraseBonus", EraseBonus},
    {"GetBonusesCount", GetBonusesCount},
    {"ClearBonuses", ClearBonuses},
    {"GetBonusList", GetBonusList},
    {nullptr, nullptr},
};

}  // namespace Script
