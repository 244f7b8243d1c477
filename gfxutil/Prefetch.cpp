#include "Prefetch.h"

#include "FileData.h"
#include "HlslCompiler.h"
#include "Prefetcher.h"

#include <tarnvale_d3dx.h>

#include <algorithm>
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

// Decoded images that may wait for their caller: the memory they hold is
// the prefetch's whole cost once start-up is over. A compile result is
// small: all may wait.
constexpr size_t maxWaitingImages = 4;

}  // namespace

struct tvd3dx::Prefetch::Work {
    std::vector<std::string> images;
    std::vector<ShaderFile> shaders;
    // Last: their threads read the lists above.
    std::unique_ptr<Prefetcher<CompiledShader>> shaderWork;
    std::unique_ptr<Prefetcher<DecodedImage>> imageWork;
};

namespace {

std::mutex activeMutex;
tvd3dx::Prefetch::Work* active = nullptr;

}  // namespace

tvd3dx::Prefetch::Prefetch(const std::vector<std::string>& images, const std::vector<ShaderFile>& shaders)
    : work(std::make_unique<Work>())
{
    for (const std::string& path : images) work->images.push_back(FileData::normalisePath(path.c_str()));
    work->shaders = shaders;
    for (ShaderFile& file : work->shaders) file.path = FileData::normalisePath(file.path.c_str());
    std::lock_guard<std::mutex> lock(activeMutex);
    if (active != nullptr) return;  // one prefetch at a time
    const Work& lists = *work;
    work->shaderWork = std::make_unique<Prefetcher<CompiledShader>>(
        lists.shaders.size(), lists.shaders.size(),
        [&lists](size_t i, CompiledShader& out) { compileAhead(lists.shaders[i], out); }, "tv-shaders");
    work->imageWork = std::make_unique<Prefetcher<DecodedImage>>(
        lists.images.size(), maxWaitingImages,
        [&lists](size_t i, DecodedImage& out) {
            TextureLoader::decodeFile(lists.images[i], out, tvd3d9::StartupStep::ImagePrefetch);
        },
        "tv-images");
    active = work.get();
}

tvd3dx::Prefetch::~Prefetch()
{
    std::lock_guard<std::mutex> lock(activeMutex);
    if (active == work.get()) active = nullptr;
}

bool takePrefetchedImage(const std::string& path, DecodedImage& out)
{
    std::lock_guard<std::mutex> lock(activeMutex);
    if (active == nullptr) return false;
    const std::vector<std::string>& images = active->images;
    // A second load of the same file reads it again.
    const size_t index = static_cast<size_t>(std::find(images.begin(), images.end(), path) - images.begin());
    DecodedImage decoded;
    {
        // Waiting for the thread is decoding time on the caller's path.
        const tvd3d9::StartupTimer timer(tvd3d9::StartupStep::ImageDecoding);
        if (!active->imageWork->take(index, decoded)) return false;
    }
    // A file that could not be read ahead, or has changed since, is read
    // again by the caller.
    FileData::Stamp now;
    if (!decoded.read || !FileData::stampOf(path, now) || !(now == decoded.stamp)) return false;
    out = std::move(decoded);
    return true;
}

bool takePrefetchedShader(const std::string& path, const char* entryPoint, const char* profile,
                          const unsigned char* source, size_t length, HRESULT& result, std::vector<uint32_t>& code,
                          std::string& messages)
{
    std::lock_guard<std::mutex> lock(activeMutex);
    if (active == nullptr || !entryPoint || !profile) return false;
    const std::vector<tvd3dx::ShaderFile>& files = active->shaders;
    size_t index = 0;
    while (index < files.size() && !(files[index].path == path && files[index].entryPoint == entryPoint &&
                                     files[index].profile == profile))
        ++index;
    // A second compile of the same file is the caller's own.
    CompiledShader compiled;
    if (!active->shaderWork->take(index, compiled) || !compiled.compiled || compiled.source.size() != length ||
        std::memcmp(compiled.source.data(), source, length) != 0)
        return false;
    result = compiled.result;
    code = std::move(compiled.code);
    messages = std::move(compiled.messages);
    return true;
}
