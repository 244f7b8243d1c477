// The D3DX stand-in's side of tvd3dx::ShaderPrefetch (tarnvale_d3dx.h).
#pragma once

#include <d3dx9.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The compile of the file at `path` (a path with '/' separators) with this
// entry point and profile, no macros, no include handler and no flags, as
// the running prefetch did it, waiting for it if need be; false when there
// is no prefetch, it has no such compile (or handed it out already), or the
// source it compiled is not `source` (the file's contents now): the caller
// then compiles it.
bool takePrefetchedShader(const std::string& path, const char* entryPoint, const char* profile,
                          const unsigned char* source, size_t length, HRESULT& result, std::vector<uint32_t>& code,
                          std::string& messages);
