#pragma once

#include <d3d9.h>

#include "math/AxisAngle.h"
#include "math/Matrix4.h"
#include "math/Vector3.h"

#include <cstdint>
#include <string>

// One drawable pool ball: its superellipsoid mesh in a vertex buffer, its
// image texture and its world matrix.
class Ball {
public:
    Ball(IDirect3DDevice9*& device, const std::string& textureFile, float radius, float longitudeExponent,
         float latitudeExponent, int32_t tessellation);
    ~Ball();

    Ball(const Ball&) = delete;
    Ball& operator=(const Ball&) = delete;

    IDirect3DTexture9* texture() const { return texture_; }
    IDirect3DVertexBuffer9* vertexBuffer() const { return vertexBuffer_; }
    const Matrix4& world() const { return world_; }
    uint32_t vertexStride() const { return 32; }
    int32_t triangleCount() const { return triangleCount_; }

    void setRotation(const AxisAngle& rotation);
    void translate(const Vector3& offset);

private:
    void buildMesh();

    IDirect3DDevice9* device;
    IDirect3DTexture9* texture_;
    IDirect3DVertexBuffer9* vertexBuffer_;
    Matrix4 world_;
    int32_t tessellation;
    float radius;
    float longitudeExponent;
    float latitudeExponent;
    int32_t triangleCount_;
    std::string textureFile;
};
