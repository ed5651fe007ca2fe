// "Data\enemies.txt": any text is read whole or refused with a file and line; what is read
// holds only values the controller can use, and builds a controller.
#include "FuzzFiles.h"

#include "game/CPEnemy.h"
#include "game/EnemyDescription.h"

#include <cmath>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    EnemyCatalogue catalogue;
    std::string problem;
    if (!ParseEnemyDescriptions(text, "f", catalogue, problem)) {
        Fuzz::Check(problem.rfind("f:", 0) == 0, "a refusal names the file and line");
        Fuzz::Check(catalogue.Enemies.empty(), "a refused text leaves the catalogue");
        return 0;
    }
    for (const EnemyDescription& e : catalogue.Enemies) {
        Fuzz::Check(std::isfinite(e.Health) && e.Health > 0.0f, "health above 0");
        Fuzz::Check(e.Melee.size() <= 2, "at most two blows");
        Fuzz::Check(IsEnemyWeapon(e.Weapon), "a known weapon");
        Fuzz::Check(e.Reward >= 0, "no negative reward");
        const auto enemy = CreateEnemy(e, nullptr);
        const D3DXVECTOR3 muzzle = enemy->Turned(enemy->MuzzleOffset, true);
        Fuzz::Check(std::isfinite(enemy->FacingAngle()), "a finite facing");
        Fuzz::Check(std::isfinite(muzzle.x) && std::isfinite(muzzle.y), "a finite muzzle");
    }
    return 0;
}
