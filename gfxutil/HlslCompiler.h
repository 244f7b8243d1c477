// Compiles Direct3D 9 style HLSL into SPIR-V with glslang's HLSL front end,
// the way D3DXCompileShader compiles it into a shader token stream.
//
// What the compiled module keeps, for the Direct3D 9 layer that consumes it:
//  - every HLSL semantic, as a UserSemantic decoration on its input or
//    output variable (SPV_GOOGLE_hlsl_functionality1);
//  - constants declared with register(cN) at byte 16*N of the "$Global"
//    uniform block;
//  - samplers declared with register(sN) at binding N (DX9 sampler mode:
//    sampler2D + tex2D);
//  - a vertex POSITION output as the built-in position, and pixel COLORn
//    outputs at location n (see SpirvInterface).
#pragma once

#include <d3dx9.h>

#include <cstdint>
#include <string>
#include <vector>

class HlslCompiler {
public:
    // Nested #include files deeper than this fail (an #include loop would
    // otherwise never end).
    static constexpr size_t maxIncludeDepth = 32;
    // Larger source files are refused before compiling.
    static constexpr size_t maxSourceBytes = 16u << 20;

    // Compiles `length` bytes of `source`, named `sourceName` in messages
    // and used as the folder that relative #include files are found from.
    // On success returns S_OK and fills `code` with the module's words. On
    // failure returns a failing HRESULT. Either way `messages` receives the
    // compiler's errors and warnings as "file(line): error: text" lines.
    static HRESULT compile(const char* source, size_t length, const std::string& sourceName,
                           const D3DXMACRO* defines, ID3DXInclude* include, const char* entryPoint,
                           const char* profile, DWORD flags, std::vector<uint32_t>& code,
                           std::string& messages);

    // Rewrites glslang's info log ("ERROR: file:12: 'x' : text") as
    // "file(12): error: 'x' : text" lines; lines without a place get
    // `sourceName`. Summary lines are dropped.
    static std::string formatLog(const std::string& log, const std::string& sourceName);
};
