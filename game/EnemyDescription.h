// The enemy descriptions: what each type of enemy on foot is (weapon, health, reward, melee
// blows, muzzle, report frames, effect and sound names, behaviour states), read from the
// game's text file "Data\enemies.txt" (format: docs/Enemies.md).
//
// The reader is a pure function of the text; it checks every line and refuses the whole text
// at the first fault, naming the file and line, so a half-read catalogue never reaches a
// level. CreateEnemy then builds an enemy's controller from a description.
#pragma once

#include "platform/d3dx/D3DXMath.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CPEnemy;
class CPGameObject;
class CPLevel;

struct EnemyMelee {
    int32_t ReportFrame = 0;
    D3DXVECTOR3 Reach;  // where the blow lands from the enemy, before turning; its length is the reach
    D3DXVECTOR3 Push;   // push direction before turning
    float Strength = 0.0f;
    float Damage = 0.0f;
};

struct EnemyDescription {
    std::string TypeName;
    std::string Weapon = "mgun";
    float Health = 100.0f;
    int32_t Reward = 0;
    std::vector<EnemyMelee> Melee;  // 1 or 2 blows, or none for an enemy that only shoots
    D3DXVECTOR3 MuzzleOffset;
    int32_t FireReportFrame = 0;
    std::string HitEffect = "blood1";
    bool Gibs = false;
    float GibHeight = 1.0f;
    bool SilentDeath = false;
    D3DXVECTOR3 ReferenceAxis{0.0f, 1.0f, 0.0f};
    std::map<std::string, std::string> Sounds;  // "hit1", "hit2"
    std::map<int32_t, int32_t> States;          // behaviour states by number
    int32_t Line = 0;                           // where the description starts in its file
};

struct EnemyCatalogue {
    std::vector<EnemyDescription> Enemies;  // in file order
    // The description of a type (exact name), or null.
    const EnemyDescription* Find(const std::string& typeName) const;
};

// The weapons an enemy may carry.
bool IsEnemyWeapon(const std::string& name);

// Reads the descriptions of text; fileName only names the file in problems. False with
// "file:line: reason" in problem (catalogue untouched) at the first fault.
bool ParseEnemyDescriptions(const std::string& text, const std::string& fileName, EnemyCatalogue& catalogue,
                            std::string& problem);
// Reads the file at an engine path (default "Data\enemies.txt"), at most 1 MiB.
bool LoadEnemyDescriptions(const std::string& enginePath, EnemyCatalogue& catalogue, std::string& problem);

// An enemy controller for object filled from description, its frame at the object's position
// facing along its reference axis, and put in the object's CPGameObject::Controller. The
// caller owns the controller and must delete it before the object.
std::unique_ptr<CPEnemy> CreateEnemy(const EnemyDescription& description, CPGameObject* object);

// An enemy of type placed at the level's source of that type: object moved there, its
// controller built from the type's description. Null (object untouched) when the level has no
// source of the type or the catalogue no description of it.
std::unique_ptr<CPEnemy> PlaceEnemyAtSource(const EnemyCatalogue& catalogue, const CPLevel& level,
                                            const std::string& typeName, CPGameObject* object);
