#pragma once

#include <d3d9.h>

#include "math/Matrix4.h"

#include <vector>

class BitmapFont;

// Root of the text overlay: screen-space projection, the fonts, and drawing.
class TextRenderer {
public:
    TextRenderer(IDirect3DDevice9* device, const float& width, const float& height);
    ~TextRenderer();

    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    IDirect3DDevice9* device() const { return device_; }
    void addFont(BitmapFont* font);
    void draw();

    const std::vector<BitmapFont*>& fontList() const { return fonts; }
    const Matrix4& projectionMatrix() const { return projection; }

private:
    void updateProjection();

    float width;
    float height;
    Matrix4 projection;
    std::vector<BitmapFont*> fonts;
    IDirect3DDevice9* device_;
};
