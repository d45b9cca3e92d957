#pragma once

#include "engine/scene/EffectOperator.h"

#include <memory>
#include <vector>

namespace tarnix {

// An ordered list of effect operators with a window of its own (absolute ms,
// both ends included). The scene owns its operators.
class Scene {
public:
    Scene() = default;
    Scene(unsigned start, unsigned end);

    // Appends; the scene takes ownership. Allowed while rendering: operators
    // added then render in the same pass once their window has come.
    void addEffectOperator(EffectOperator* effect);
    EffectOperator* getEffectOperator(unsigned i);  // i below getEffectOperatorSize()
    unsigned getEffectOperatorSize() const;
    unsigned getStartTime() const;
    unsigned getEndTime() const;

    // Makes every operator window absolute (adding the scene's start) and
    // initialises the operators in order, operators added by an init included;
    // null entries are passed over. Once only: a second call shifts the
    // windows again.
    void initScene();
    // Renders, in order, the operators whose window holds `time`; nothing
    // after the scene's end.
    void renderScene(const unsigned int& time);

private:
    std::vector<std::unique_ptr<EffectOperator>> effectOperators;
    unsigned startTime = 0;
    unsigned endTime = 0;
};

}  // namespace tarnix
