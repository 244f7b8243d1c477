// Placeholder: replaced by the real rack.
#include "scene/BallRack.h"
BallRack::BallRack(IDirect3DDevice9*& device) : device(device), vertexDeclaration(nullptr), vertexShader(nullptr), pixelShader(nullptr) {}
BallRack::~BallRack() = default;
void BallRack::draw() {}
bool BallRack::isReady() const { return true; }
void BallRack::createShaders() {}
void BallRack::setBallConstants() {}
