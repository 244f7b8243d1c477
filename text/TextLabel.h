#pragma once

#include <d3d9.h>

#include "text/TextVertex.h"

#include <cstdint>
#include <string>
#include <vector>

class BitmapFont;

// Texture-coordinate rectangle of one glyph cell on the sheet.
struct GlyphCell {
    float u0, v0, u1, v1;
};

// One line of text drawn with one font at a fixed screen-space position.
class TextLabel {
public:
    explicit TextLabel(BitmapFont* font);
    virtual ~TextLabel();

    TextLabel(const TextLabel&) = delete;
    TextLabel& operator=(const TextLabel&) = delete;

    void setText(const std::string& newText);
    void setPosition(const float& newX, const float& newY);
    void draw();

    const std::string& currentText() const { return text; }
    uint32_t textLength() const { return length; }
    float positionX() const { return x; }
    float positionY() const { return y; }
    IDirect3DVertexBuffer9* buffer() const { return vertexBuffer; }

    // Longest text a label accepts: its vertices must fit a 32-bit buffer size.
    static constexpr uint32_t maxLength = UINT32_MAX / (6 * sizeof(TextVertex));

    // Glyph index of a byte: c - 32 for " " to "z", -1 for any other byte.
    static int glyphIndex(char c);
    // The (W - 1) x (H - 1) texel rectangle of glyph g, in sheet coordinates.
    static GlyphCell glyphCell(uint32_t g, uint32_t glyphWidth, uint32_t glyphHeight, uint32_t sheetSize,
                               uint32_t glyphsPerRow);

private:
    void buildVertices();

    BitmapFont* font;
    IDirect3DDevice9* device;
    IDirect3DVertexBuffer9* vertexBuffer;
    std::string text;
    uint32_t length;
    float x;
    float y;

    // Scratch vertices, reused from one build to the next.
    std::vector<TextVertex> vertices;
    // Size in bytes of vertexBuffer, and whether it holds the current text.
    uint32_t bufferBytes;
    bool bufferCurrent;
};
