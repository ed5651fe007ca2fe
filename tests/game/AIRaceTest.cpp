// The computer cars in a whole race of the test level, loaded and started as the game does:
// every frame the race update refreshes their records, the AI manager drives them and the
// physics world moves them round the track.
#include "tests/game/LevelFixture.h"

#include "game/CPAIDriver.h"
#include "game/CPAIManager.h"
#include "game/CPCar.h"
#include "game/CPPlayer.h"
#include "game/CPSpline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using LevelFixture::LevelTest;

TEST_F(LevelTest, TheComputerCarsDriveRoundTheTestLevel) {
    host->GameData().LevelTransportCount = 0;
    CPLevel* level = LoadLevel();
    ASSERT_TRUE(loaded);
    level->Start();
    ASSERT_EQ(level->Cars.size(), TestLevelFiles::ComputerCars);
    CPSpline& path = *level->CentrePath;
    const int n = static_cast<int>(path.Lines.size());
    std::vector<CPLine*> hints(level->Cars.size(), nullptr);
    std::vector<int> last(level->Cars.size(), -1);
    std::vector<int> pieces(level->Cars.size(), 0);
    const auto indexOf = [&path](const CPLine* line) {
        for (size_t i = 0; i < path.Lines.size(); ++i) {
            if (path.Lines[i].get() == line) return static_cast<int>(i);
        }
        return -1;
    };
    // One lap each at no less than half the cars' top speed ("max" of their description), the
    // start among the parked player's car and each other included.
    const float top = static_cast<float>(level->Cars[0]->AiUpperLimit);
    ASSERT_GT(top, 0.0f);
    const int frames = static_cast<int>(path.TotalLength / (0.5f * top) * 60.0f);
    for (int frame = 0; frame < frames; ++frame) {
        host->RunFrame(1.0f / 60.0f);
        for (size_t c = 0; c < level->Cars.size(); ++c) {
            const int index = indexOf(CPAIDriver::NearestLine(path, level->Cars[c]->GetPosition(), hints[c]));
            if (last[c] >= 0) {
                int step = last[c] - index;
                if (step > n / 2) step -= n;
                if (step < -n / 2) step += n;
                pieces[c] += step;
            }
            last[c] = index;
        }
    }
    for (size_t c = 0; c < level->Cars.size(); ++c) {
        EXPECT_GT(pieces[c], n) << "car " << c << " did not finish a lap in " << frames / 60 << " s";
    }
    level->Stop();
}

}  // namespace
