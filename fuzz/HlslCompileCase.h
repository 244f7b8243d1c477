// One fuzz case of shader compilation from memory. The first input byte
// picks the profile and the options, the rest is the HLSL source:
//   bits 0-1  profile: vs_2_0, ps_2_0, vs_1_1 (3 wraps to vs_2_0)
//   bit 2     D3DXSHADER_PACKMATRIX_ROWMAJOR
//   bit 3     a macro, SCALE = 2.0, is defined
// #include requests are served from memory by a fixed include handler
// (never from the file system: the fuzzer must not read or block on
// arbitrary files): "common.hlsl" holds a helper function, "self.hlsl"
// includes itself, anything else fails to open.
#pragma once

#include <d3dx9.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace fuzzing {

class MemoryInclude final : public ID3DXInclude {
public:
    HRESULT WINAPI Open(D3DXINCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override
    {
        static const char common[] = "float4 twice(float4 v) { return v * 2.0; }\n";
        static const char self[] = "#include \"self.hlsl\"\n";
        if (!name || !data || !bytes) return E_INVALIDARG;
        const char* text = std::strcmp(name, "common.hlsl") == 0 ? common
                           : std::strcmp(name, "self.hlsl") == 0 ? self
                                                                 : nullptr;
        if (!text) return E_FAIL;
        *data = text;
        *bytes = static_cast<UINT>(std::strlen(text));
        ++open;
        return S_OK;
    }

    HRESULT WINAPI Close(LPCVOID) override
    {
        --open;
        return S_OK;
    }

    int open = 0;  // files opened and not yet closed
};

inline std::string runHlslCompileCase(const uint8_t* data, size_t size)
{
    static const char* const profiles[] = {"vs_2_0", "ps_2_0", "vs_1_1", "vs_2_0"};
    const uint8_t selector = size ? data[0] : 0;
    const char* source = size > 1 ? reinterpret_cast<const char*>(data + 1) : "";
    const UINT length = size > 1 ? static_cast<UINT>(size - 1) : 0;
    const DWORD flags = (selector & 4) ? D3DXSHADER_PACKMATRIX_ROWMAJOR : 0;
    const D3DXMACRO macros[] = {{"SCALE", "2.0"}, {nullptr, nullptr}};

    MemoryInclude include;
    // Sentinels the call must overwrite (with null when it has nothing).
    ID3DXBuffer* const unset = reinterpret_cast<ID3DXBuffer*>(uintptr_t{1});
    ID3DXBuffer* code = unset;
    ID3DXBuffer* errors = nullptr;
    ID3DXConstantTable* constants = reinterpret_cast<ID3DXConstantTable*>(uintptr_t{1});
    HRESULT hr = D3DXCompileShader(source, length, (selector & 8) ? macros : nullptr, &include, "main",
                                   profiles[selector & 3], flags, &code, &errors, &constants);

    std::string problem;
    if (code == unset) return "the code pointer was not set";
    if (constants) problem = "a constant table was returned";
    if (include.open != 0) problem = "include files were not closed";
    if (SUCCEEDED(hr)) {
        // SPIR-V: the magic number first, the end token last.
        const uint32_t* words = code ? static_cast<const uint32_t*>(code->GetBufferPointer()) : nullptr;
        const DWORD bytes = code ? code->GetBufferSize() : 0;
        if (!words || bytes < 8 || bytes % 4 != 0)
            problem = "successful compile returned no code";
        else if (words[0] != 0x07230203u || words[bytes / 4 - 1] != DWORD(D3DVS_END()))
            problem = "code is not a SPIR-V module followed by the end token";
    } else {
        if (code) problem = "failed compile returned code";
        if (hr != E_FAIL && hr != E_OUTOFMEMORY) problem = "unexpected failure code " + std::to_string(hr);
        if (!errors) problem = "failed compile gave no message";
    }
    if (errors) {
        // The message is text the caller can print: NUL-terminated.
        const char* text = static_cast<const char*>(errors->GetBufferPointer());
        const DWORD bytes = errors->GetBufferSize();
        if (!text || bytes == 0 || text[bytes - 1] != '\0') problem = "message is not NUL-terminated";
    }
    if (code) code->Release();
    if (errors) errors->Release();
    return problem;
}

}  // namespace fuzzing
