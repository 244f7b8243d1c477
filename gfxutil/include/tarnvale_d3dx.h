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

// Reads and decodes image files on a thread of its own, in the order given,
// while the caller goes on with its start-up; D3DXCreateTextureFromFileA
// then takes a file's decoded image from here instead of reading it again,
// with the same result and messages. A file changed since it was read is
// read again. A few images at most wait decoded for their caller, unless the
// caller is waiting for a later one. Destroying the prefetch stops the
// thread and frees whatever nobody took; one prefetch at a time.
class ImagePrefetch {
public:
    explicit ImagePrefetch(const std::vector<std::string>& paths);
    ~ImagePrefetch();
    ImagePrefetch(const ImagePrefetch&) = delete;
    ImagePrefetch& operator=(const ImagePrefetch&) = delete;

    struct Work;

private:
    std::unique_ptr<Work> work;
};

// The same for shader files: compiles them on a thread of its own (through
// the compiler's server, as soon as it is ready), and
// D3DXCompileShaderFromFileA called with no macros, no include handler and
// no flags takes the result for the same file, entry point and profile,
// when the file still holds the source that was compiled. Sources with an
// #include are left to their caller.
struct ShaderFile {
    std::string path;
    std::string entryPoint;
    std::string profile;
};

class ShaderPrefetch {
public:
    explicit ShaderPrefetch(const std::vector<ShaderFile>& files);
    ~ShaderPrefetch();
    ShaderPrefetch(const ShaderPrefetch&) = delete;
    ShaderPrefetch& operator=(const ShaderPrefetch&) = delete;

    struct Work;

private:
    std::unique_ptr<Work> work;
};

}  // namespace tvd3dx
