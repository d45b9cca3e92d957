#include "engine/scene/Scene.h"

#include <cassert>

namespace tarnix {

Scene::Scene(unsigned start, unsigned end) : startTime(start), endTime(end) {}

void Scene::addEffectOperator(EffectOperator* effect) { effectOperators.emplace_back(effect); }

EffectOperator* Scene::getEffectOperator(unsigned i) {
    assert(i < effectOperators.size());
    return effectOperators[i].get();
}

unsigned Scene::getEffectOperatorSize() const { return static_cast<unsigned>(effectOperators.size()); }

unsigned Scene::getStartTime() const { return startTime; }

unsigned Scene::getEndTime() const { return endTime; }

// By index, with the size read again after every init: an operator's init
// may add operators (which are then made absolute and initialised in turn),
// and a reallocation must not pull the list out from under the walk.
void Scene::initScene() {
    for (std::size_t i = 0; i < effectOperators.size(); ++i) {
        EffectOperator* effect = effectOperators[i].get();
        if (!effect)
            continue;
        effect->setTime(startTime + effect->getStartTime(), startTime + effect->getEndTime());
        effect->init();
    }
}

// The size is read again after every operator, as one may add operators;
// nothing keeps an element reference across a render call.
void Scene::renderScene(const unsigned int& time) {
    if (time > endTime)
        return;
    for (std::size_t i = 0; i < effectOperators.size(); ++i) {
        EffectOperator* effect = effectOperators[i].get();
        if (effect && effect->getStartTime() <= time && time <= effect->getEndTime())
            effect->render(time);
    }
}

}  // namespace tarnix
