// The D3DX stand-in's side of tvd3dx::ImagePrefetch (tarnvale_d3dx.h).
#pragma once

#include "TextureLoader.h"

#include <string>

// The image at `path` (a path with '/' separators) as the running prefetch
// decoded it, waiting for it if need be; false when there is no prefetch,
// the path is not one of its images (or was taken already), or the file
// could not be read ahead or has changed since: the caller then reads it.
bool takePrefetchedImage(const std::string& path, DecodedImage& out);
