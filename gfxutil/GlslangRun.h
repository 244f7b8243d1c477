// One glslang compile from start to end: parsing, linking and SPIR-V
// generation, with the settings Direct3D 9 style HLSL needs. The shader
// compiler's server runs it in its own process (GlslangServer); where no
// server can be started, it runs in the caller's.
#pragma once

#include <glslang/Public/ShaderLang.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One compile: the source and what glslang needs to know about it.
struct GlslangJob {
    EShLanguage stage = EShLangVertex;
    std::string sourceName;  // for messages, and the including file of top-level #includes
    std::string preamble;    // text compiled ahead of the source (macros, pragmas)
    std::string entryPoint;
    const char* source = nullptr;
    size_t length = 0;
};

// What glslang made of it: how far it got, its messages, the module.
struct GlslangOutput {
    enum Step : uint32_t { ParseFailed, NoEntryPoint, LinkFailed, NoCode, Done };
    uint32_t step = ParseFailed;
    std::string parseLog;  // glslang's info logs, unformatted
    std::string linkLog;
    std::string codeLog;
    std::vector<unsigned int> spirv;
};

// Builds glslang's process-wide tables, once per process; they are torn
// down when the process exits.
void initialiseGlslang();

// Parses, links and generates SPIR-V: everything glslang does.
GlslangOutput runGlslang(const GlslangJob& job, glslang::TShader::Includer& includer);

// Compiles a small shader of its own, so that glslang builds its tables of
// built-in functions (most of the time the first compile takes) before the
// program sends its first.
void warmUpGlslang();
