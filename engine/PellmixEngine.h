#pragma once
// Blend engine. Stand-in until the blend engine lands: initialise() does nothing yet.
class PellmixEngine
{
public:
    PellmixEngine() = default;
    void initialise() {}
};
