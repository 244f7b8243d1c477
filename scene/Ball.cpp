// Placeholder: replaced by the real ball.
#include "scene/Ball.h"
Ball::Ball(IDirect3DDevice9*& device, const std::string& textureFile, float radius, float longitudeExponent,
           float latitudeExponent, int32_t tessellation)
    : device(device), texture_(nullptr), vertexBuffer_(nullptr), tessellation(tessellation), radius(radius),
      longitudeExponent(longitudeExponent), latitudeExponent(latitudeExponent), triangleCount_(0), textureFile(textureFile) {}
Ball::~Ball() = default;
void Ball::setRotation(const AxisAngle& rotation) { world_.setRotation(rotation); }
void Ball::translate(const Vector3& offset) { world_.translate(offset); }
void Ball::buildMesh() {}
