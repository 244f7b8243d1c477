#include "text/TextRenderer.h"

#include "text/BitmapFont.h"

TextRenderer::TextRenderer(IDirect3DDevice9* device, const float& width, const float& height)
    : width(width), height(height), projection(), fonts(), device_(device)
{
}

TextRenderer::~TextRenderer()
{
    for (BitmapFont* font : fonts) delete font;
    fonts.clear();
}

void TextRenderer::addFont(BitmapFont* font)
{
    fonts.push_back(font);
}

// Screen space: origin at the centre, x right, y up, one unit per pixel,
// depth 0..100 onto 0..1. Rebuilt from scratch every time so that the
// transpose (registers want the columns as rows) never accumulates.
void TextRenderer::updateProjection()
{
    projection.orthographic(width, height, 0.0f, 100.0f);
    projection.transpose();
}

void TextRenderer::draw()
{
    updateProjection();
    device_->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device_->SetPixelShader(nullptr);  // texture stage 0 produces the colour
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetVertexShaderConstantF(0, projection.data(), 4);
    for (BitmapFont* font : fonts) font->draw();
}
