// Placeholder: replaced by the real label.
#include "text/TextLabel.h"
#include "text/BitmapFont.h"
#include "text/TextRenderer.h"
TextLabel::TextLabel(BitmapFont* font) : font(font), device(font->renderer()->device()), vertexBuffer(nullptr), length(0), x(0), y(0) {}
TextLabel::~TextLabel() = default;
void TextLabel::setText(const std::string& newText) { text = newText; length = static_cast<uint32_t>(text.size()); }
void TextLabel::setPosition(const float& newX, const float& newY) { x = newX; y = newY; }
void TextLabel::draw() {}
int TextLabel::glyphIndex(char c) { return (c >= 32 && c <= 122) ? c - 32 : -1; }
GlyphCell TextLabel::glyphCell(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) { return {0, 0, 0, 0}; }
void TextLabel::buildVertices() {}
