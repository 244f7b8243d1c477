#pragma once

#include <d3d9.h>

#include "math/Matrix4.h"

#include <vector>

class Ball;

// The scene: fifteen numbered balls in a triangle and the cue ball, each
// turned to a random orientation, drawn with one vertex and one pixel shader.
class BallRack {
public:
    explicit BallRack(IDirect3DDevice9*& device);
    ~BallRack();

    BallRack(const BallRack&) = delete;
    BallRack& operator=(const BallRack&) = delete;

    void draw();

    // False when a shader source was missing or did not compile (the user
    // has been told which file and why); such a rack must not be drawn.
    bool isReady() const;

    const std::vector<Ball*>& ballList() const { return balls; }

private:
    void createShaders();
    void setBallConstants();

    Matrix4 objectMatrix;
    Matrix4 view;
    Matrix4 projection;
    IDirect3DDevice9* device;
    IDirect3DVertexDeclaration9* vertexDeclaration;
    IDirect3DVertexShader9* vertexShader;
    IDirect3DPixelShader9* pixelShader;
    std::vector<Ball*> balls;
};
