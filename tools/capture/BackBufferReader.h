#pragma once

#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

// Copies the device's back buffer into rgb (8-bit RGB, rows top to bottom)
// through the public Direct3D 9 calls: GetBackBuffer, a system-memory
// surface of the same size and format, GetRenderTargetData and LockRect.
// rgb keeps its storage between calls of the same size. Returns false with
// the reason in error.
bool readBackBuffer(IDirect3DDevice9* device, uint32_t& width, uint32_t& height, std::vector<uint8_t>& rgb,
                    std::string& error);
