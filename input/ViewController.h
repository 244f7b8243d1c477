#pragma once

#include "math/Matrix4.h"

class InputDevices;

// The per-frame step between the input poll and drawing. Its update changes
// nothing in this program.
class ViewController {
public:
    explicit ViewController(InputDevices* input);
    ~ViewController();

    void update();

    const Matrix4& first() const { return firstMatrix; }
    const Matrix4& second() const { return secondMatrix; }
    InputDevices* inputDevices() const { return input; }

private:
    Matrix4 firstMatrix;
    Matrix4 secondMatrix;
    InputDevices* input;
};
