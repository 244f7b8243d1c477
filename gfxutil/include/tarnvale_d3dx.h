// Linux-only controls of the D3DX stand-in, beyond what Windows offers. The
// program's own code never includes this header; the entry point (main) and
// the tools do.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tvd3dx {

// HLSL is compiled by glslang in a server process of its own, started at the
// first compile; its first compile also builds glslang's tables of built-in
// functions, most of the time that compile takes. This starts the server now
// and has it build the tables while the caller goes on with its start-up
// (the window, the device), so the first compile does not wait for them.
// Optional, harmless to call again; call it early, before threads exist.
void startShaderCompiler();

// A shader file as the program compiles it: no macros, no include handler,
// no flags.
struct ShaderFile {
    std::string path;
    std::string entryPoint;
    std::string profile;
};

// Work done ahead while the caller goes on with its start-up, each kind on a
// thread of its own and in the order given: image files read and decoded,
// shader files compiled (through the compiler's server, as soon as it is
// ready). D3DXCreateTextureFromFileA then takes a file's decoded image from
// here instead of reading it again, and D3DXCompileShaderFromFileA, called
// with no macros, include handler or flags, takes the compile of the same
// file, entry point and profile: the same results and messages. A file that
// changed since it was read is read again; a source with an #include is
// left to its caller. A few decoded images at most wait for their caller,
// unless the caller waits for a later one. Destroying the prefetch stops
// the threads and frees whatever nobody took; one prefetch at a time.
class Prefetch {
public:
    Prefetch(const std::vector<std::string>& images, const std::vector<ShaderFile>& shaders);
    ~Prefetch();
    Prefetch(const Prefetch&) = delete;
    Prefetch& operator=(const Prefetch&) = delete;

    struct Work;

private:
    std::unique_ptr<Work> work;
};

}  // namespace tvd3dx
