// The D3DX stand-in's side of tvd3dx::Prefetch (tarnvale_d3dx.h): what the
// running prefetch did ahead, handed to the caller that asks for it.
#pragma once

#include "TextureLoader.h"

#include <d3dx9.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The image at `path` (a path with '/' separators) as the prefetch decoded
// it, waiting for it if need be; false when there is no prefetch, the path
// is not one of its images (or was taken already), or the file could not be
// read ahead or has changed since: the caller then reads it.
bool takePrefetchedImage(const std::string& path, DecodedImage& out);

// The compile of the file at `path` with this entry point and profile (no
// macros, include handler or flags) as the prefetch did it, waiting for it
// if need be; false when there is none (or it was taken already) or the
// source it compiled is not `source`, the file's contents now: the caller
// then compiles it.
bool takePrefetchedShader(const std::string& path, const char* entryPoint, const char* profile,
                          const unsigned char* source, size_t length, HRESULT& result, std::vector<uint32_t>& code,
                          std::string& messages);
