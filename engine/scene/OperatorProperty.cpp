#include "engine/scene/OperatorProperty.h"

#include "engine/core/OpenGL.h"

#include <algorithm>

namespace tarnix {

OperatorProperty::OperatorProperty(unsigned start, unsigned end) : EffectOperator(start, end) {}

void OperatorProperty::setEnableSize(unsigned n) {
    enableList.resize(n);
    enableCount = std::min(enableCount, n);
}

void OperatorProperty::setDisableSize(unsigned n) {
    disableList.resize(n);
    disableCount = std::min(disableCount, n);
}

void OperatorProperty::setFunctionSize(unsigned n) {
    functionList.resize(n);
    functionCount = std::min(functionCount, n);
}

void OperatorProperty::enable(unsigned capability) {
    if (enableCount < enableList.size())
        enableList[enableCount++] = capability;
}

void OperatorProperty::disable(unsigned capability) {
    if (disableCount < disableList.size())
        disableList[disableCount++] = capability;
}

void OperatorProperty::function(unsigned a, unsigned b) {
    if (functionCount < functionList.size())
        functionList[functionCount++] = {a, b};
}

std::vector<std::pair<unsigned, unsigned>> OperatorProperty::getFunctions() const {
    return std::vector<std::pair<unsigned, unsigned>>(functionList.begin(), functionList.begin() + functionCount);
}

void OperatorProperty::init() {}

void OperatorProperty::render(const unsigned int& time) {
    getTimePosition(time);
    for (unsigned i = 0; i < enableCount; ++i)
        glEnable(enableList[i]);
    for (unsigned i = 0; i < disableCount; ++i)
        glDisable(disableList[i]);
}

}  // namespace tarnix
