#include "text/TextLabel.h"

#include "text/BitmapFont.h"
#include "text/TextRenderer.h"

#include <cstring>

namespace {

constexpr uint32_t kVerticesPerChar = 6;
constexpr uint32_t kBytesPerChar = kVerticesPerChar * sizeof(TextVertex);  // 120

}  // namespace

TextLabel::TextLabel(BitmapFont* font)
    : font(font),
      device(font->renderer()->device()),
      vertexBuffer(nullptr),
      text(),
      length(0),
      x(0.0f),
      y(0.0f),
      vertices(),
      bufferBytes(0),
      bufferCurrent(false)
{
}

TextLabel::~TextLabel()
{
    if (vertexBuffer) {
        vertexBuffer->Release();
        vertexBuffer = nullptr;
    }
}

void TextLabel::setText(const std::string& newText)
{
    text = newText;
    // A text too long for a 32-bit count is clamped here and rejected by the
    // build below, so the label then draws nothing.
    length = text.size() > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(text.size());
    if (length > 0) buildVertices();
}

void TextLabel::setPosition(const float& newX, const float& newY)
{
    x = newX;
    y = newY;
    if (length > 0) buildVertices();
}

int TextLabel::glyphIndex(char c)
{
    const int code = static_cast<signed char>(c);
    return (code >= 32 && code <= 122) ? code - 32 : -1;
}

GlyphCell TextLabel::glyphCell(uint32_t g, uint32_t glyphWidth, uint32_t glyphHeight, uint32_t sheetSize,
                               uint32_t glyphsPerRow)
{
    const uint32_t perRow = glyphsPerRow > 0 ? glyphsPerRow : 1;  // guards the division
    const uint32_t column = g % perRow;
    const uint32_t row = g / perRow;
    const uint32_t left = glyphWidth * column;
    const uint32_t top = glyphHeight * row;
    const float texel = 1.0f / static_cast<float>(sheetSize);
    GlyphCell cell;
    cell.u0 = static_cast<float>(left) * texel;
    cell.v0 = static_cast<float>(top) * texel;
    cell.u1 = static_cast<float>(left + glyphWidth - 1) * texel;
    cell.v1 = static_cast<float>(top + glyphHeight - 1) * texel;
    return cell;
}

// One quad of W - 1 by H - 1 pixels per character, advancing by W, with the
// sheet's (W - 1) x (H - 1) texel rectangle of the glyph on it. The half-pixel
// shift puts pixel centres on texel centres for labels at whole pixels.
void TextLabel::buildVertices()
{
    bufferCurrent = false;
    if (length == 0 || length > maxLength) return;

    const uint32_t glyphWidth = font->glyphWidth();
    const uint32_t glyphHeight = font->glyphHeight();
    const uint32_t sheetSize = font->sheetSize();
    const uint32_t glyphsPerRow = font->glyphsPerRow();
    const float width = static_cast<float>(glyphWidth);
    const float a = width - 1.5f;
    const float b = static_cast<float>(glyphHeight) - 1.5f;

    vertices.resize(static_cast<size_t>(length) * kVerticesPerChar);

    // Positions: the first character's quad, then the same quad moved right
    // by i * W for character i.
    const float left = x - 0.5f;
    const float right = x + a;
    const float top = y + b;
    const float bottom = y - 0.5f;
    for (uint32_t i = 0; i < length; ++i) {
        const float shift = static_cast<float>(i) * width;
        TextVertex* quad = &vertices[static_cast<size_t>(i) * kVerticesPerChar];
        quad[0] = {left + shift, top, 0.0f, 0.0f, 0.0f};
        quad[1] = {right + shift, top, 0.0f, 0.0f, 0.0f};
        quad[2] = {left + shift, bottom, 0.0f, 0.0f, 0.0f};
        quad[3] = {right + shift, bottom, 0.0f, 0.0f, 0.0f};
        quad[4] = {left + shift, bottom, 0.0f, 0.0f, 0.0f};
        quad[5] = {right + shift, top, 0.0f, 0.0f, 0.0f};
    }

    // Texture coordinates. A byte outside " " to "z" has no glyph of its own
    // and shows the blank first cell, so it still takes one cell of space.
    for (uint32_t i = 0; i < length; ++i) {
        const int index = glyphIndex(text[i]);
        const uint32_t g = index >= 0 ? static_cast<uint32_t>(index) : 0u;
        const GlyphCell cell = glyphCell(g, glyphWidth, glyphHeight, sheetSize, glyphsPerRow);
        TextVertex* quad = &vertices[static_cast<size_t>(i) * kVerticesPerChar];
        quad[0].u = cell.u0; quad[0].v = cell.v0;
        quad[1].u = cell.u1; quad[1].v = cell.v0;
        quad[2].u = cell.u0; quad[2].v = cell.v1;
        quad[3].u = cell.u1; quad[3].v = cell.v1;
        quad[4].u = cell.u0; quad[4].v = cell.v1;
        quad[5].u = cell.u1; quad[5].v = cell.v0;
    }

    // The buffer only grows: one large enough is kept and reused.
    const uint32_t bytes = length * kBytesPerChar;
    if (!vertexBuffer || bufferBytes < bytes) {
        if (vertexBuffer) {
            vertexBuffer->Release();
            vertexBuffer = nullptr;
        }
        bufferBytes = 0;
        IDirect3DVertexBuffer9* created = nullptr;
        if (FAILED(device->CreateVertexBuffer(bytes, 0, 0, D3DPOOL_MANAGED, &created, nullptr)) || !created) {
            return;  // nothing to draw with
        }
        vertexBuffer = created;
        bufferBytes = bytes;
    }

    void* data = nullptr;
    if (FAILED(vertexBuffer->Lock(0, 0, &data, 0)) || !data) return;  // buffer left as it was, not drawn
    std::memcpy(data, vertices.data(), bytes);
    vertexBuffer->Unlock();
    bufferCurrent = true;
}

void TextLabel::draw()
{
    if (length == 0 || !vertexBuffer || !bufferCurrent) return;
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetStreamSource(0, vertexBuffer, 0, sizeof(TextVertex));
    device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2 * length);
}
