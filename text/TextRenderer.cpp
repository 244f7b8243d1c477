// Placeholder: replaced by the real renderer.
#include "text/TextRenderer.h"
#include "text/BitmapFont.h"
TextRenderer::TextRenderer(IDirect3DDevice9* device, const float& width, const float& height) : width(width), height(height), device_(device) {}
TextRenderer::~TextRenderer() { for (BitmapFont* f : fonts) delete f; }
void TextRenderer::addFont(BitmapFont* font) { fonts.push_back(font); }
void TextRenderer::draw() {}
void TextRenderer::updateProjection() {}
