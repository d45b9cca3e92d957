#include "engine/scene/Player.h"

#include "engine/core/Timer.h"

#include <cassert>

namespace tarnix {

Player::Player(unsigned playLength) : length(playLength) {}

void Player::addScene(Scene* scene) { scenes.emplace_back(scene); }

Scene* Player::getScene(unsigned i) {
    assert(i < scenes.size());
    return scenes[i].get();
}

unsigned Player::getSceneSize() const { return static_cast<unsigned>(scenes.size()); }

unsigned Player::getLength() const { return length; }

bool Player::isFinished() const { return finished; }

// By index, with the size read again after every scene: an operator's init
// may add scenes to the player.
void Player::initPlayer() {
    for (std::size_t i = 0; i < scenes.size(); ++i)
        if (Scene* scene = scenes[i].get())
            scene->initScene();
}

void Player::renderPlayer() {
    const unsigned now = timer.getTime();
    if (length < now) {
        finished = true;
        return;
    }
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        Scene* scene = scenes[i].get();
        if (scene && scene->getStartTime() <= now && now <= scene->getEndTime())
            scene->renderScene(now);
    }
}

}  // namespace tarnix
