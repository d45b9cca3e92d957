#pragma once

namespace tarnix {

// One effect with a time window on the demo clock: initialised once, rendered
// on every frame whose time falls inside the window (both ends included).
// Windows are given relative to their scene and made absolute by
// Scene::initScene(). Times are milliseconds.
class EffectOperator {
public:
    EffectOperator() = default;
    EffectOperator(unsigned start, unsigned end);
    virtual ~EffectOperator();

    void setTime(unsigned start, unsigned end);
    unsigned getStartTime() const;
    unsigned getEndTime() const;
    // (time - start) / (end - start) with unsigned differences: 0 at the
    // start, 1 at the end, huge before the start; 0 for a window of one
    // instant. Stored and returned.
    float getTimePosition(const unsigned int& time);
    float getLastTimePosition() const;

    virtual void init() = 0;
    // time is the absolute frame time.
    virtual void render(const unsigned int& time) = 0;

private:
    unsigned startTime = 0;   // ms, first of the window
    unsigned endTime = 0;     // ms, last of the window
    float timePosition = 0.0f;
};

}  // namespace tarnix
