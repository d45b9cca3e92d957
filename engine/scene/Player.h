#pragma once

#include "engine/scene/Scene.h"

#include <memory>
#include <vector>

namespace tarnix {

// An ordered list of scenes with a total length (ms), played on the demo
// clock. The player owns its scenes.
class Player {
public:
    Player() = default;
    explicit Player(unsigned length);

    void addScene(Scene* scene);  // takes ownership
    Scene* getScene(unsigned i);  // i below getSceneSize()
    unsigned getSceneSize() const;
    unsigned getLength() const;
    // True once the clock has passed the length; never cleared.
    bool isFinished() const;

    // initScene() on every scene, in order, scenes added meanwhile included;
    // null entries are passed over. Once only.
    void initPlayer();
    // Renders, in order, every scene whose window holds the clock's time;
    // after the length nothing, and the player is finished.
    void renderPlayer();

private:
    std::vector<std::unique_ptr<Scene>> scenes;
    bool finished = false;
    unsigned length = 0;  // ms
};

}  // namespace tarnix
