#include "engine/scene/Player.h"

#include "engine/core/Timer.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using testsupport::FakeClock;

namespace {

// Writes "name@time:position" for every render, and "init name" for init.
class Recorder : public tarnix::EffectOperator {
public:
    Recorder(std::string operatorName, unsigned start, unsigned end, std::vector<std::string>& record)
        : EffectOperator(start, end), name(std::move(operatorName)), log(record) {}
    void init() override { log.push_back("init " + name); }
    void render(const unsigned int& time) override {
        const float position = getTimePosition(time);
        log.push_back(name + "@" + std::to_string(time) + ":" + std::to_string(position).substr(0, 4));
    }

private:
    std::string name;
    std::vector<std::string>& log;
};

class PlayerTest : public testing::Test {
protected:
    void SetUp() override { tarnix::timer.init(); }

    // Plays one frame at demo time `ms`, before the last one or after it.
    void playAt(tarnix::Player& player, unsigned ms) {
        clock.now = ms;
        tarnix::timer.setTime(ms);
        ASSERT_EQ(tarnix::timer.getTime(), ms);
        player.renderPlayer();
    }

    FakeClock clock;
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

}  // namespace

TEST_F(PlayerTest, OperatorWindowsBecomeAbsoluteAndIncludeBothEnds) {
    tarnix::Player player(30000);
    auto* scene = new tarnix::Scene(5000, 9000);
    scene->addEffectOperator(new Recorder("a", 1000, 3000, log));
    player.addScene(scene);
    player.initPlayer();
    EXPECT_EQ(log, Log({"init a"}));
    EXPECT_EQ(scene->getEffectOperator(0)->getStartTime(), 6000u);
    log.clear();
    for (unsigned ms : {5999u, 6000u, 7000u, 8000u, 8001u})
        playAt(player, ms);
    EXPECT_EQ(log, Log({"a@6000:0.00", "a@7000:0.50", "a@8000:1.00"}));
}

TEST_F(PlayerTest, ThePlayerStopsAfterItsLength) {
    tarnix::Player player(30000);
    auto* scene = new tarnix::Scene(0, 40000);
    scene->addEffectOperator(new Recorder("a", 0, 40000, log));
    player.addScene(scene);
    player.initPlayer();
    log.clear();
    playAt(player, 30000);
    EXPECT_FALSE(player.isFinished());
    EXPECT_EQ(log.size(), 1u);
    playAt(player, 30001);
    EXPECT_TRUE(player.isFinished());
    EXPECT_EQ(log.size(), 1u);
    playAt(player, 100);  // never cleared, but rendering follows the clock
    EXPECT_TRUE(player.isFinished());
}

TEST_F(PlayerTest, OverlappingScenesRenderInTheOrderAdded) {
    tarnix::Player player(10000);
    auto* first = new tarnix::Scene(0, 2000);
    auto* second = new tarnix::Scene(1000, 3000);
    first->addEffectOperator(new Recorder("first", 0, 2000, log));
    second->addEffectOperator(new Recorder("second", 0, 2000, log));
    player.addScene(second);
    player.addScene(first);
    player.initPlayer();
    log.clear();
    playAt(player, 1500);
    EXPECT_EQ(log, Log({"second@1500:0.25", "first@1500:0.75"}));
}

TEST_F(PlayerTest, InitialisingTwiceShiftsTheWindowsAgain) {
    tarnix::Player player(30000);
    auto* scene = new tarnix::Scene(5000, 20000);
    scene->addEffectOperator(new Recorder("a", 1000, 3000, log));
    player.addScene(scene);
    player.initPlayer();
    player.initPlayer();
    EXPECT_EQ(scene->getEffectOperator(0)->getStartTime(), 11000u);
    EXPECT_EQ(scene->getEffectOperator(0)->getEndTime(), 13000u);
}

// An init or a render that adds operators (enough to move the list's storage)
// or scenes, and null entries in either list, are walked safely: what is added
// during the init walk is initialised too, what is added while rendering
// renders in the same pass.
TEST_F(PlayerTest, OperatorsMayAddOperatorsAndScenesWhileInitialisingOrRendering) {
    class Spawner : public tarnix::EffectOperator {
    public:
        Spawner(tarnix::Player& player, tarnix::Scene& owner, std::vector<std::string>& record)
            : EffectOperator(0, 1000), player(player), scene(owner), log(record) {}
        void init() override {
            for (int i = 0; i < 20; ++i)
                scene.addEffectOperator(new Recorder("early", 0, 1000, log));
            auto* late = new tarnix::Scene(2000, 3000);
            late->addEffectOperator(new Recorder("late", 0, 10, log));
            player.addScene(late);
        }
        void render(const unsigned int&) override {
            log.push_back("spawn");
            if (scene.getEffectOperatorSize() < 60)
                for (int i = 0; i < 20; ++i)
                    scene.addEffectOperator(new Recorder("child", 0, 1000, log));
        }

    private:
        tarnix::Player& player;
        tarnix::Scene& scene;
        std::vector<std::string>& log;
    };
    tarnix::Player player(5000);
    auto* scene = new tarnix::Scene(100, 1100);
    scene->addEffectOperator(nullptr);
    scene->addEffectOperator(new Spawner(player, *scene, log));
    player.addScene(nullptr);
    player.addScene(scene);
    player.initPlayer();
    ASSERT_EQ(log.size(), 21u);
    EXPECT_EQ(log[0], "init early");
    EXPECT_EQ(log[20], "init late");
    EXPECT_EQ(scene->getEffectOperator(21)->getStartTime(), 100u);  // made absolute like the rest
    EXPECT_EQ(player.getScene(2)->getEffectOperator(0)->getEndTime(), 2010u);
    log.clear();
    playAt(player, 600);
    EXPECT_EQ(log.size(), 41u);  // the spawner, the 20 early ones, the 20 spawned in this pass
    EXPECT_EQ(log[1], "early@600:0.50");
    EXPECT_EQ(log[21], "child@600:0.60");  // added after the init walk: its window stays relative
}

TEST(EffectOperatorTest, PositionsBeforeAndOnAOneInstantWindow) {
    struct Idle : tarnix::EffectOperator {
        using EffectOperator::EffectOperator;
        void init() override {}
        void render(const unsigned int&) override {}
    };
    Idle instant(100, 100);
    EXPECT_EQ(instant.getTimePosition(100), 0.0f);
    Idle window(1000, 2000);
    EXPECT_GT(window.getTimePosition(500), 4.0e6f);  // the unsigned difference wraps
    EXPECT_EQ(window.getLastTimePosition(), window.getTimePosition(500));
    EXPECT_FLOAT_EQ(window.getTimePosition(1250), 0.25f);
}
