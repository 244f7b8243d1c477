// The uniform buffer bindings of every GL program the layer makes. The shader
// translator and the fixed-function generator declare their blocks at these
// bindings; the device binds ranges of its constant ring to them.
#pragma once

namespace UniformBinding {

constexpr int vertexConstants = 0;  // the vertex shader's register file, c0..c255
constexpr int pixelConstants = 1;   // the pixel shader's register file
constexpr int internal = 2;         // the layer's own values (ShaderTranslator::internalBlock)
constexpr int count = 3;

}  // namespace UniformBinding
