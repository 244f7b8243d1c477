// What vertex and pixel shaders share: the code as the application gave it
// (GetFunction hands it back), its translation, and the steps of creation
// whose failures are reported the same way.
#pragma once

#include "DeviceChild.h"
#include "GlObjects.h"
#include "ShaderTranslator.h"

#include <d3d9.h>
#include "GlApi.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

template <typename Interface, const IID& identifier>
class ShaderChild : public DeviceChildOf<Interface, identifier> {
public:
    const TranslatedShader& info() const { return translated; }

    HRESULT WINAPI GetFunction(void* pData, UINT* pSizeOfData) override
    {
        if (pSizeOfData == nullptr) return D3DERR_INVALIDCALL;
        const UINT bytes = static_cast<UINT>(code.size() * sizeof(DWORD));
        if (pData == nullptr) {
            *pSizeOfData = bytes;
            return D3D_OK;
        }
        if (*pSizeOfData < bytes) return D3DERR_INVALIDCALL;
        std::memcpy(pData, code.data(), bytes);
        *pSizeOfData = bytes;
        return D3D_OK;
    }

protected:
    static constexpr bool vertexStage = std::is_same_v<Interface, IDirect3DVertexShader9>;
    static constexpr const char* createCall = vertexStage ? "CreateVertexShader" : "CreatePixelShader";

    // Keeps the code (`words` words and the end token), its translation and
    // the GL shader compiled for `key` (see variant()).
    ShaderChild(DeviceServices* device, const DWORD* function, size_t words, TranslatedShader&& translation,
                uint32_t key, GLuint shader)
        : DeviceChildOf<Interface, identifier>(device), code(function, function + words + 1),
          translated(std::move(translation))
    {
        variants.emplace_back(key, shader);
    }

    ~ShaderChild() override
    {
        this->owner()->forgetShader(this->serial());
        if (this->owner()->makeCurrent())
            for (const auto& made : variants)
                if (made.second != 0) glDeleteShader(made.second);
    }

    // The GL shader of the translation for `key`, compiled the first time it
    // is asked for; 0 when GL does not compile it. The key of a vertex shader
    // is the set of inputs that receive D3DCOLOR data turned round, that of a
    // pixel shader the set of varyings the vertex shader provides.
    GLuint variant(uint32_t key)
    {
        for (const auto& made : variants)
            if (made.first == key) return made.second;
        const GLuint shader = compile(translated, key, "a variant of the translated shader");
        variants.emplace_back(key, shader);
        return shader;
    }

    // The length of the code in words, end token not counted, and its
    // translation for the device; 0 when it is no shader of this stage, with
    // the reason on stderr.
    static size_t translate(DeviceServices* device, const DWORD* function, TranslatedShader& translation)
    {
        std::string error;
        const size_t words = ShaderTranslator::moduleLength(function, error);
        if (words != 0 && ShaderTranslator::translate(function, words, vertexStage, device->tracker().caps(),
                                                      device->varyings(), translation, error))
            return words;
        std::fprintf(stderr, "%s: %s\n", createCall, error.c_str());
        return 0;
    }

    // The GL shader of a translation for `key`; 0 when GL does not compile
    // it, with `which` shader it was, the compiler's log and the source on
    // stderr.
    static GLuint compile(const TranslatedShader& translation, uint32_t key,
                          const char* which = "the translated shader")
    {
        const std::string what = std::string(createCall) + ": " + which;
        const std::string source = vertexStage ? ShaderTranslator::vertexVariant(translation, key)
                                               : ShaderTranslator::pixelVariant(translation, key);
        return compileGlShader(vertexStage ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER, source, what.c_str());
    }

private:
    std::vector<DWORD> code;  // as given, end token included
    TranslatedShader translated;
    std::vector<std::pair<uint32_t, GLuint>> variants;  // key -> GL shader
};
