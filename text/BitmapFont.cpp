#include "text/BitmapFont.h"

#include "text/TextLabel.h"
#include "text/TextRenderer.h"

#include <d3dx9.h>

#include <string>

namespace {

const char* const kShaderFile = "textfont.vsh";

// The compiler's message as one string without the trailing NULs and line
// breaks that the buffer may carry.
std::string bufferText(ID3DXBuffer* buffer)
{
    if (!buffer || !buffer->GetBufferPointer()) return std::string();
    std::string text(static_cast<const char*>(buffer->GetBufferPointer()), buffer->GetBufferSize());
    const size_t end = text.find_last_not_of(std::string("\0\r\n \t", 5));
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

void reportError(const std::string& text)
{
    MessageBoxA(nullptr, text.c_str(), "Error", MB_OK);
}

}  // namespace

BitmapFont::BitmapFont(const uint32_t& glyphWidth, const uint32_t& glyphHeight, const uint32_t& sheetSize,
                       const uint32_t& glyphsPerRow, const std::string& sheetFile, TextRenderer* renderer)
    : device(renderer->device()),
      vertexShader(nullptr),
      vertexDeclaration(nullptr),
      sheet(nullptr),
      renderer_(renderer),
      labels(),
      glyphsPerRow_(glyphsPerRow),
      sheetFile(sheetFile),
      glyphHeight_(glyphHeight),
      glyphWidth_(glyphWidth),
      sheetSize_(sheetSize)
{
    loadSheet();
    createShader();
}

BitmapFont::~BitmapFont()
{
    if (vertexShader) {
        vertexShader->Release();
        vertexShader = nullptr;
    }
    if (vertexDeclaration) {
        vertexDeclaration->Release();
        vertexDeclaration = nullptr;
    }
    if (sheet) {
        sheet->Release();
        sheet = nullptr;
    }
    for (TextLabel* label : labels) delete label;
    labels.clear();
}

void BitmapFont::addLabel(TextLabel* label)
{
    labels.push_back(label);
}

bool BitmapFont::isReady() const
{
    return vertexShader != nullptr && vertexDeclaration != nullptr;
}

// A sheet that cannot be loaded leaves `sheet` null (the loader has said why
// on stderr); the labels are then drawn with no texture bound.
void BitmapFont::loadSheet()
{
    D3DXCreateTextureFromFileA(device, sheetFile.c_str(), &sheet);
}

void BitmapFont::createShader()
{
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END(),
    };

    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT compiled =
        D3DXCompileShaderFromFileA(kShaderFile, nullptr, nullptr, "main", "vs_1_1", 0, &code, &errors, nullptr);

    if (FAILED(device->CreateVertexDeclaration(elements, &vertexDeclaration))) {
        vertexDeclaration = nullptr;
        reportError("The text vertex declaration could not be created.");
    }

    if (SUCCEEDED(compiled) && code && code->GetBufferPointer()) {
        const DWORD* function = static_cast<const DWORD*>(code->GetBufferPointer());
        if (FAILED(device->CreateVertexShader(function, &vertexShader))) {
            vertexShader = nullptr;
            reportError(std::string(kShaderFile) + ": the compiled shader was not accepted by the device.");
        }
    } else {
        // Without code there is nothing to create a shader from; say which file
        // failed and what the compiler said, so the program can stop in order.
        // The compiler's own messages already start with the file's name.
        std::string message = bufferText(errors);
        if (message.empty()) message = "the shader is missing or could not be compiled.";
        const std::string name(kShaderFile);
        reportError(message.compare(0, name.size(), name) == 0 ? message : name + ": " + message);
    }

    if (code) code->Release();
    if (errors) errors->Release();
}

void BitmapFont::draw()
{
    device->SetTexture(0, sheet);
    device->SetVertexDeclaration(vertexDeclaration);
    device->SetVertexShader(vertexShader);
    // Without the text shader and declaration there is no pipeline to draw
    // the labels with (the application stops before drawing in that case).
    if (!isReady()) return;
    for (TextLabel* label : labels) label->draw();
}
