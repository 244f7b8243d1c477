// Adjusts the stage interface of a SPIR-V module that glslang produced from
// Direct3D 9 style HLSL, so that the legacy semantics mean what they mean
// on Direct3D 9, and checks that the stage has the outputs it must have.
//
// glslang keeps every HLSL semantic as a UserSemantic decoration, but only
// the SV_ names become built-ins. Here, in place (no word is added or
// removed):
//   vertex stage:   the output POSITION (or POSITION0) becomes the built-in
//                   Position, exactly as SV_Position would; the stage must
//                   end up with one float4 position output.
//   fragment stage: COLORn and SV_TARGETn outputs go to location n; DEPTH
//                   (DEPTH0) becomes the built-in FragDepth; any other output
//                   semantic is an error, and so is a stage without a
//                   COLOR0 (SV_TARGET0) output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class SpirvInterface {
public:
    enum class Stage { Vertex, Fragment };

    // Rewrites `words` as above. Returns an empty string on success, or a
    // one-line description of what is wrong with the shader's interface.
    static std::string adjust(std::vector<uint32_t>& words, Stage stage);

    // The UserSemantic strings attached to the module's variables, in the
    // order the decorations appear (for tests and diagnostics).
    static std::vector<std::string> userSemantics(const std::vector<uint32_t>& words);
};
