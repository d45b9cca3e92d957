#pragma once

#include "engine/scene/EffectOperator.h"

#include <utility>
#include <vector>

namespace tarnix {

// An operator that switches OpenGL capabilities on (then others off) on every
// frame of its window. Each list is given its size first and then filled;
// entries beyond the size are ignored, and only filled entries act. Setting a
// size again keeps the entries that fit in it.
class OperatorProperty : public EffectOperator {
public:
    OperatorProperty(unsigned start, unsigned end);

    void setEnableSize(unsigned n);
    void setDisableSize(unsigned n);
    void setFunctionSize(unsigned n);
    void enable(unsigned capability);
    void disable(unsigned capability);
    // Stored for the operator's users; rendering does not act on the pairs.
    void function(unsigned a, unsigned b);
    // The pairs given so far.
    std::vector<std::pair<unsigned, unsigned>> getFunctions() const;

    void init() override;
    void render(const unsigned int& time) override;

private:
    std::vector<unsigned> enableList;     // sized by setEnableSize, enableCount filled
    std::vector<unsigned> disableList;
    std::vector<std::pair<unsigned, unsigned>> functionList;
    unsigned enableCount = 0;
    unsigned disableCount = 0;
    unsigned functionCount = 0;
};

}  // namespace tarnix
