#include "ImagePrefetch.h"

#include "Prefetcher.h"

#include <tarnvale_d3dx.h>

#include <algorithm>
#include <mutex>

struct tvd3dx::ImagePrefetch::Work {
    std::vector<std::string> paths;
    std::unique_ptr<Prefetcher<DecodedImage>> prefetcher;
};

namespace {

// Decoded images that may wait for their caller: the memory they hold is
// the prefetch's whole cost once start-up is over.
constexpr size_t maxWaiting = 4;

std::mutex activeMutex;
tvd3dx::ImagePrefetch::Work* active = nullptr;

}  // namespace

tvd3dx::ImagePrefetch::ImagePrefetch(const std::vector<std::string>& paths) : work(std::make_unique<Work>())
{
    for (const std::string& path : paths) work->paths.push_back(FileData::normalisePath(path.c_str()));
    std::lock_guard<std::mutex> lock(activeMutex);
    if (active != nullptr) return;  // one prefetch at a time
    const std::vector<std::string>& files = work->paths;
    work->prefetcher = std::make_unique<Prefetcher<DecodedImage>>(
        files.size(), maxWaiting,
        [&files](size_t i, DecodedImage& out) {
            TextureLoader::decodeFile(files[i], out, tvd3d9::StartupStep::ImagePrefetch);
        },
        "tv-images");
    active = work.get();
}

tvd3dx::ImagePrefetch::~ImagePrefetch()
{
    std::lock_guard<std::mutex> lock(activeMutex);
    if (active == work.get()) active = nullptr;
}

bool takePrefetchedImage(const std::string& path, DecodedImage& out)
{
    std::lock_guard<std::mutex> lock(activeMutex);
    if (active == nullptr) return false;
    const size_t index = static_cast<size_t>(std::find(active->paths.begin(), active->paths.end(), path) -
                                             active->paths.begin());
    // A second load of the same file reads it again.
    DecodedImage decoded;
    {
        // Waiting for the thread is decoding time on the caller's path.
        const tvd3d9::StartupTimer timer(tvd3d9::StartupStep::ImageDecoding);
        if (!active->prefetcher->take(index, decoded)) return false;
    }
    // A file that could not be read ahead, or has changed since, is read
    // again by the caller.
    FileData::Stamp now;
    if (!decoded.read || !FileData::stampOf(path, now) || !(now == decoded.stamp)) return false;
    out = std::move(decoded);
    return true;
}
