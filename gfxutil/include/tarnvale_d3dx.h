// Linux-only controls of the D3DX stand-in, beyond what Windows offers. The
// program's own code never includes this header; the entry point (main) and
// the tools do.
#pragma once

namespace tvd3dx {

// HLSL is compiled by glslang in a server process of its own, started at the
// first compile; its first compile also builds glslang's tables of built-in
// functions, most of the time that compile takes. This starts the server now
// and has it build the tables while the caller goes on with its start-up
// (the window, the device), so the first compile does not wait for them.
// Optional, harmless to call again; call it early, before threads exist.
void startShaderCompiler();

}  // namespace tvd3dx
