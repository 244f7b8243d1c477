// Placeholder: replaced by the real font.
#include "text/BitmapFont.h"
#include "text/TextLabel.h"
#include "text/TextRenderer.h"
BitmapFont::BitmapFont(const uint32_t& glyphWidth, const uint32_t& glyphHeight, const uint32_t& sheetSize,
                       const uint32_t& glyphsPerRow, const std::string& sheetFile, TextRenderer* renderer)
    : device(renderer->device()), vertexShader(nullptr), vertexDeclaration(nullptr), sheet(nullptr), renderer_(renderer),
      glyphsPerRow_(glyphsPerRow), sheetFile(sheetFile), glyphHeight_(glyphHeight), glyphWidth_(glyphWidth), sheetSize_(sheetSize) {}
BitmapFont::~BitmapFont() { for (TextLabel* l : labels) delete l; }
void BitmapFont::addLabel(TextLabel* label) { labels.push_back(label); }
void BitmapFont::draw() {}
bool BitmapFont::isReady() const { return true; }
void BitmapFont::loadSheet() {}
void BitmapFont::createShader() {}
