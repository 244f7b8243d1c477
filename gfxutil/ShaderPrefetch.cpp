#include "ShaderPrefetch.h"

#include "FileData.h"
#include "HlslCompiler.h"
#include "Prefetcher.h"

#include <tarnvale_d3dx.h>

#include <cstring>
#include <mutex>

namespace {

struct CompiledShader {
    bool compiled = false;  // false: left to the caller
    std::string source;     // what was compiled
    HRESULT result = E_FAIL;
    std::vector<uint32_t> code;
    std::string messages;
};

void compileAhead(const tvd3dx::ShaderFile& file, CompiledShader& out)
{
    FileData data;
    std::string reason;
    if (data.read(file.path, HlslCompiler::maxSourceBytes, reason) != FileData::Status::Ok) return;
    out.source.assign(reinterpret_cast<const char*>(data.data()), data.size());
    // An included file could change unseen before the caller asks.
    if (out.source.find("#include") != std::string::npos) return;
    out.result = HlslCompiler::compile(out.source.data(), out.source.size(), file.path, nullptr, nullptr,
                                       file.entryPoint.c_str(), file.profile.c_str(), 0, out.code, out.messages);
    out.compiled = true;
}

}  // namespace

struct tvd3dx::ShaderPrefetch::Work {
    std::vector<ShaderFile> files;
    std::unique_ptr<Prefetcher<CompiledShader>> prefetcher;
};

namespace {

std::mutex activeMutex;
tvd3dx::ShaderPrefetch::Work* active = nullptr;

}  // namespace

tvd3dx::ShaderPrefetch::ShaderPrefetch(const std::vector<ShaderFile>& files) : work(std::make_unique<Work>())
{
    work->files = files;
    for (ShaderFile& file : work->files) file.path = FileData::normalisePath(file.path.c_str());
    std::lock_guard<std::mutex> lock(activeMutex);
    if (active != nullptr) return;  // one prefetch at a time
    const std::vector<ShaderFile>& list = work->files;
    // A compile result is small: all may wait.
    work->prefetcher = std::make_unique<Prefetcher<CompiledShader>>(
        list.size(), list.size(), [&list](size_t i, CompiledShader& out) { compileAhead(list[i], out); },
        "tv-shaders");
    active = work.get();
}

tvd3dx::ShaderPrefetch::~ShaderPrefetch()
{
    std::lock_guard<std::mutex> lock(activeMutex);
    if (active == work.get()) active = nullptr;
}

bool takePrefetchedShader(const std::string& path, const char* entryPoint, const char* profile,
                          const unsigned char* source, size_t length, HRESULT& result, std::vector<uint32_t>& code,
                          std::string& messages)
{
    std::lock_guard<std::mutex> lock(activeMutex);
    if (active == nullptr || !entryPoint || !profile) return false;
    const std::vector<tvd3dx::ShaderFile>& files = active->files;
    size_t index = 0;
    while (index < files.size() && !(files[index].path == path && files[index].entryPoint == entryPoint &&
                                     files[index].profile == profile))
        ++index;
    // A second compile of the same file is the caller's own.
    CompiledShader compiled;
    if (!active->prefetcher->take(index, compiled) || !compiled.compiled || compiled.source.size() != length ||
        std::memcmp(compiled.source.data(), source, length) != 0)
        return false;
    result = compiled.result;
    code = std::move(compiled.code);
    messages = std::move(compiled.messages);
    return true;
}
