// Runs glslang in a separate process. glslang's HLSL front end dereferences
// null pointers on some malformed sources (a global redeclared with another
// type, a parameter qualifier at the very end of the text, ...). In a
// process of its own such a crash, or a compile that never ends, becomes a
// failed compile with a message instead of taking the program down.
//
// The server process is forked on the first compile and serves every later
// one, so its tables of built-in functions are built once and one fork
// serves the whole run; after a crash the next compile starts a new one.
// It reads no files: every #include comes back to the caller's includer in
// this process. When no process can be started, glslang runs here.
//
// This file is the server's life: starting it, serving, replacing one that
// ended; GlslangRun is what it runs, GlslangWire what it says.
#pragma once

#include "GlslangRun.h"

#include <glslang/Public/ShaderLang.h>

#include <cstdint>
#include <string>

class GlslangServer {
public:
    // Starts the server now, unless one runs already, and has it build
    // glslang's tables at once while the caller goes on (tvd3dx::
    // startShaderCompiler). A server that cannot be started is no failure.
    static void start();

    // A compile taking longer than this, or more memory than this (a source
    // that makes glslang's preprocessor expand without end), is stopped, and
    // its server with it. Glslang takes some 125 bytes for each byte of
    // dense source, so this holds sources of megabytes, far beyond any
    // Direct3D 9 shader.
    static constexpr int timeLimitSeconds = 60;
    static constexpr uint64_t memoryLimitBytes = uint64_t{256} << 20;

    // Compiles `job`. Returns false with `failure` set (one line) when the
    // server crashed, was stopped or could not be reached; otherwise
    // `output` says how the compile went.
    static bool compile(const GlslangJob& job, glslang::TShader::Includer& includer, GlslangOutput& output,
                        std::string& failure);
};
