#include "scene/Ball.h"

#include "scene/SuperellipsoidMesh.h"

#include <d3dx9.h>

#include <cstring>
#include <vector>

Ball::Ball(IDirect3DDevice9*& device, const std::string& textureFile, float radius, float longitudeExponent,
           float latitudeExponent, int32_t tessellation)
    : device(device),
      texture_(nullptr),
      vertexBuffer_(nullptr),
      tessellation(tessellation),
      radius(radius),
      longitudeExponent(longitudeExponent),
      latitudeExponent(latitudeExponent),
      triangleCount_(0),
      textureFile(textureFile)
{
    buildMesh();
    // A missing or unreadable image leaves the texture null; the ball is then
    // drawn with no texture bound.
    D3DXCreateTextureFromFileA(this->device, this->textureFile.c_str(), &texture_);
}

Ball::~Ball()
{
    if (texture_) {
        texture_->Release();
        texture_ = nullptr;
    }
    if (vertexBuffer_) {
        vertexBuffer_->Release();
        vertexBuffer_ = nullptr;
    }
}

void Ball::setRotation(const AxisAngle& rotation)
{
    world_.setRotation(rotation);
}

void Ball::translate(const Vector3& offset)
{
    world_.translate(offset);
}

void Ball::buildMesh()
{
    // An unusable tessellation, or a buffer that cannot be created or filled,
    // leaves the ball without a mesh: no buffer and no triangles, so the rack
    // skips it instead of drawing garbage.
    std::vector<BallVertex> vertices;
    if (!device ||
        !generateSuperellipsoid(tessellation, radius, longitudeExponent, latitudeExponent, vertices))
        return;

    const UINT length = static_cast<UINT>(vertices.size() * sizeof(BallVertex));
    IDirect3DVertexBuffer9* buffer = nullptr;
    if (FAILED(device->CreateVertexBuffer(length, 0, 0, D3DPOOL_MANAGED, &buffer, NULL)) || !buffer) return;

    void* data = nullptr;
    if (FAILED(buffer->Lock(0, 0, &data, 0))) {
        buffer->Release();
        return;
    }
    if (!data) {
        buffer->Unlock();
        buffer->Release();
        return;
    }
    std::memcpy(data, vertices.data(), length);
    buffer->Unlock();

    vertexBuffer_ = buffer;
    triangleCount_ = static_cast<int32_t>(vertices.size() / 3);
}
