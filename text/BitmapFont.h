#pragma once

#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

class TextRenderer;
class TextLabel;

// A fixed-cell font: glyph sheet, cell metrics, the text vertex declaration
// and shader, and the labels drawn with it.
class BitmapFont {
public:
    BitmapFont(const uint32_t& glyphWidth, const uint32_t& glyphHeight, const uint32_t& sheetSize,
               const uint32_t& glyphsPerRow, const std::string& sheetFile, TextRenderer* renderer);
    ~BitmapFont();

    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    uint32_t glyphWidth() const { return glyphWidth_; }
    uint32_t glyphHeight() const { return glyphHeight_; }
    uint32_t sheetSize() const { return sheetSize_; }
    uint32_t glyphsPerRow() const { return glyphsPerRow_; }
    TextRenderer* renderer() const { return renderer_; }

    void addLabel(TextLabel* label);
    void draw();

    // False when "textfont.vsh" was missing or did not compile, or the device
    // refused the shader or the declaration (the user has been told why).
    // A font that is not ready binds what it has but draws no label.
    bool isReady() const;

    const std::vector<TextLabel*>& labelList() const { return labels; }
    IDirect3DTexture9* sheetTexture() const { return sheet; }

private:
    void loadSheet();
    void createShader();

    IDirect3DDevice9* device;
    IDirect3DVertexShader9* vertexShader;
    IDirect3DVertexDeclaration9* vertexDeclaration;
    IDirect3DTexture9* sheet;
    TextRenderer* renderer_;
    std::vector<TextLabel*> labels;
    uint32_t glyphsPerRow_;
    std::string sheetFile;
    uint32_t glyphHeight_;
    uint32_t glyphWidth_;
    uint32_t sheetSize_;
};
