// GL objects made from combinations of Direct3D objects and states, created
// on first use and kept: linked programs (vertex shader with a pixel shader
// or with a generated fixed-function fragment program), vertex arrays (vertex
// declaration with vertex shader) and sampler objects (sampler states).
#pragma once

#include "ByteHash.h"
#include "FixedFunctionKey.h"
#include "GlObjects.h"
#include "GlStateTracker.h"

#include <d3d9.h>
#include <tarnvale_d3d9.h>

#include "GlApi.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class VertexShader9;
class PixelShader9;
class VertexDeclaration9;

struct LinkedProgram {
    GLuint name = 0;  // 0 when the pair does not link
    uint32_t vertexSerial = 0;
    uint32_t pixelSerial = 0;  // 0 with the fixed-function fragment program
    uint32_t swappedInputs = 0;  // vertex inputs that turn D3DCOLOR data round
    uint32_t samplerMask = 0;
    uint32_t vertexConstantBytes = 0;
    uint32_t pixelConstantBytes = 0;

    // Where constants are plain uniforms (contexts without the constant
    // ring): each stage's register arrays, the layer's own values, and which
    // of the device's values (counted by version) the program holds.
    struct RegisterArray {
        GLint location;
        GLsizei registers;
    };
    std::vector<RegisterArray> vertexRegisters;
    std::vector<RegisterArray> pixelRegisters;
    GLint pixelShift = -1;
    GLint textureFactor = -1;
    uint64_t vertexVersion = 0;  // 0: never set
    uint64_t pixelVersion = 0;
    uint64_t internalVersion = 0;
};

struct VertexArrayEntry {
    static constexpr int streamCount = 16;
    GLuint name = 0;
    uint32_t declarationSerial = 0;
    uint32_t vertexSerial = 0;
    uint32_t streamMask = 0;  // streams the vertex shader reads through this array
    uint32_t indexSerial = 0; // the shared-vertex index list bound as the element buffer
    uint32_t swappedInputs = 0;  // locations fed D3DCOLOR data the context reads as RGBA
    GlObjects::VertexAttribute attributes[streamCount] = {};
    int attributeCount = 0;
    struct Binding {
        uint32_t bufferSerial = 0;  // what GL has bound at this stream
        UINT offset = 0;
        UINT stride = 0;
        UINT extent = 0;  // bytes of one vertex the array reads from the stream
    } streams[streamCount];
};

struct SamplerKey {
    uint8_t address[3];
    uint8_t magFilter;
    uint8_t minFilter;
    uint8_t mipFilter;
    uint8_t padding[2];
    uint32_t borderColor;
    uint32_t lodBias;      // float bits
    uint32_t maxMipLevel;
    bool operator==(const SamplerKey& other) const;
};

using SamplerKeyHash = ByteHash<SamplerKey>;

class PipelineCache {
public:
    PipelineCache(GlStateTracker& tracker, tvd3d9::DeviceStats& stats);
    PipelineCache(const PipelineCache&) = delete;
    PipelineCache& operator=(const PipelineCache&) = delete;

    // Deletes every GL object; the device's context must be current.
    void destroy();
    // Forgets every GL object without deleting it (the context is gone).
    void abandon();

    // A small number standing for a fixed-function key (never 0).
    uint32_t fixedFunctionId(const FixedFunctionKey& key);
    // The program of a vertex shader (reading D3DCOLOR data turned round at
    // swappedInputs) with a pixel shader or a fixed-function program.
    LinkedProgram* program(VertexShader9& vertexShader, uint32_t swappedInputs, PixelShader9* pixelShader,
                           uint32_t fixedFunctionId);
    VertexArrayEntry* vertexArray(VertexDeclaration9& declaration, VertexShader9& vertexShader);
    GLuint sampler(const SamplerKey& key);

    void forgetShader(uint32_t serial);
    void forgetDeclaration(uint32_t serial);

private:
    struct FixedFunctionFragment {
        GLuint shader = 0;
        uint32_t samplerMask = 0;
    };
    const FixedFunctionFragment* fixedFunctionFragment(uint32_t id, uint32_t vertexOutputs);
    // Where the GLSL could not say it: sets the program's samplers to their
    // units and finds its constants.
    void bindByName(LinkedProgram& linked, VertexShader9& vertexShader, PixelShader9* pixelShader, uint32_t ffSamplers);

    struct ProgramKey {
        uint32_t vertexSerial;
        uint32_t fragment;  // the pixel shader's serial, or the fixed-function id with the top bit set
        uint32_t swappedInputs;
        bool operator==(const ProgramKey& other) const
        {
            return vertexSerial == other.vertexSerial && fragment == other.fragment &&
                   swappedInputs == other.swappedInputs;
        }
    };

    GlStateTracker& tracker;
    tvd3d9::DeviceStats& stats;
    std::unordered_map<ProgramKey, LinkedProgram, ByteHash<ProgramKey>> programs;
    ProgramKey lastProgramKey = {};
    LinkedProgram* lastProgram = nullptr;
    std::unordered_map<FixedFunctionKey, uint32_t, FixedFunctionKeyHash> fixedFunctionIds;
    std::vector<FixedFunctionKey> fixedFunctionKeys;  // by id - 1
    std::unordered_map<uint64_t, FixedFunctionFragment> fixedFunctionFragments;
    std::unordered_map<uint64_t, VertexArrayEntry> vertexArrays;
    std::unordered_map<SamplerKey, GLuint, SamplerKeyHash> samplers;
};
