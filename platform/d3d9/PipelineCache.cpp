#include "PipelineCache.h"

#include "FixedFunctionShader.h"
#include "FloatBits.h"
#include "GlObjects.h"
#include "PixelShader9.h"
#include "VertexDeclaration9.h"
#include "VertexShader9.h"

#include <cstdio>
#include <cstring>

namespace {

uint64_t pairKey(uint32_t high, uint32_t low) { return (uint64_t{high} << 32) | low; }

// Where the context lacks border clamping (GL ES), the edge texels stand in
// for the border colour; without mirror-once, the texture mirrors on.
GLint addressMode(uint8_t mode, const GlCaps& caps)
{
    switch (mode) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return caps.borderClamp ? GL_CLAMP_TO_BORDER : GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_MIRRORONCE: return caps.mirrorClampToEdge ? GL_MIRROR_CLAMP_TO_EDGE : GL_MIRRORED_REPEAT;
    default: return GL_REPEAT;
    }
}

bool linear(uint8_t filter) { return filter == D3DTEXF_LINEAR || filter == D3DTEXF_ANISOTROPIC || filter >= D3DTEXF_PYRAMIDALQUAD; }

GLint minificationFilter(uint8_t minFilter, uint8_t mipFilter)
{
    const bool linearMin = linear(minFilter);
    switch (mipFilter) {
    case D3DTEXF_NONE: return linearMin ? GL_LINEAR : GL_NEAREST;
    case D3DTEXF_POINT: return linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    default: return linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    }
}

}  // namespace

bool SamplerKey::operator==(const SamplerKey& other) const
{
    return std::memcmp(this, &other, sizeof *this) == 0;
}

PipelineCache::PipelineCache(GlStateTracker& stateTracker, tvd3d9::DeviceStats& deviceStats)
    : tracker(stateTracker), stats(deviceStats)
{
}

void PipelineCache::destroy()
{
    for (auto& entry : programs) {
        if (entry.second.name) {
            glDeleteProgram(entry.second.name);
            tracker.forgetProgram(entry.second.name);
        }
    }
    for (auto& entry : fixedFunctionFragments)
        if (entry.second.shader) glDeleteShader(entry.second.shader);
    for (auto& entry : vertexArrays) {
        glDeleteVertexArrays(1, &entry.second.name);
        tracker.forgetVertexArray(entry.second.name);
    }
    for (auto& entry : samplers) glDeleteSamplers(1, &entry.second);
    abandon();
}

void PipelineCache::abandon()
{
    programs.clear();
    fixedFunctionFragments.clear();
    vertexArrays.clear();
    samplers.clear();
    lastProgramKey = {};
    lastProgram = nullptr;
}

uint32_t PipelineCache::fixedFunctionId(const FixedFunctionKey& key)
{
    auto found = fixedFunctionIds.find(key);
    if (found != fixedFunctionIds.end()) return found->second;
    fixedFunctionKeys.push_back(key);
    const uint32_t id = static_cast<uint32_t>(fixedFunctionKeys.size());
    fixedFunctionIds.emplace(key, id);
    return id;
}

const PipelineCache::FixedFunctionFragment* PipelineCache::fixedFunctionFragment(uint32_t id, uint32_t vertexOutputs)
{
    vertexOutputs &= FixedFunctionShader::relevantOutputs;
    const uint64_t key = pairKey(vertexOutputs, id);
    auto found = fixedFunctionFragments.find(key);
    if (found != fixedFunctionFragments.end()) return &found->second;
    FixedFunctionFragment fragment;
    const std::string source =
        FixedFunctionShader::generate(fixedFunctionKeys[id - 1], vertexOutputs, tracker.caps(), fragment.samplerMask);
    fragment.shader =
        compileGlShader(GL_FRAGMENT_SHADER, source, "Direct3D 9 layer: the fixed-function fragment program");
    return &fixedFunctionFragments.emplace(key, fragment).first->second;
}

LinkedProgram* PipelineCache::program(VertexShader9& vertexShader, uint32_t swappedInputs, PixelShader9* pixelShader,
                                     uint32_t ffId)
{
    const uint32_t pixelSerial = pixelShader ? pixelShader->serial() : 0;
    const ProgramKey key{vertexShader.serial(), pixelSerial != 0 ? pixelSerial : (0x80000000u | ffId), swappedInputs};
    if (lastProgram != nullptr && key == lastProgramKey) return lastProgram;
    auto found = programs.find(key);
    if (found == programs.end()) {
        const tvd3d9::StartupTimer timer(tvd3d9::StartupStep::ProgramLinking);
        LinkedProgram linked;
        linked.vertexSerial = vertexShader.serial();
        linked.pixelSerial = pixelSerial;
        linked.swappedInputs = swappedInputs;
        linked.vertexConstantBytes = vertexShader.info().constantBytes;
        linked.samplerMask = vertexShader.info().samplerMask;
        GLuint fragment = 0;
        uint32_t ffSamplers = 0;
        if (pixelShader != nullptr) {
            fragment = pixelShader->fragmentFor(vertexShader.info().varyingMask);
            linked.pixelConstantBytes = pixelShader->info().constantBytes;
            linked.samplerMask |= pixelShader->info().samplerMask;
        } else if (const FixedFunctionFragment* ff = fixedFunctionFragment(ffId, vertexShader.info().varyingMask)) {
            fragment = ff->shader;
            ffSamplers = ff->samplerMask;
            linked.samplerMask |= ff->samplerMask;
        }
        const GLuint vertex = vertexShader.glShaderFor(swappedInputs);
        if (fragment != 0 && vertex != 0) {
            linked.name = linkGlProgram(vertex, fragment);
            if (linked.name != 0 && !ShaderTranslator::bindsInSource(tracker.caps()))
                bindByName(linked, vertexShader, pixelShader, ffSamplers);
            ++stats.programLinks;
        }
        found = programs.emplace(key, std::move(linked)).first;
    }
    lastProgramKey = key;
    lastProgram = &found->second;
    return lastProgram;
}

void PipelineCache::bindByName(LinkedProgram& linked, VertexShader9& vertexShader, PixelShader9* pixelShader,
                               uint32_t ffSamplers)
{
    // Sampler uniforms are set in the program in use.
    tracker.useProgram(linked.name);
    const auto setSampler = [&](const std::string& name, int unit) {
        const GLint location = glGetUniformLocation(linked.name, name.c_str());
        if (location >= 0) glUniform1i(location, unit);
    };
    for (const ShaderSampler& sampler : vertexShader.info().samplers) setSampler(sampler.name, sampler.unit);
    if (pixelShader != nullptr)
        for (const ShaderSampler& sampler : pixelShader->info().samplers) setSampler(sampler.name, sampler.unit);
    for (uint32_t mask = ffSamplers; mask != 0; mask &= mask - 1) {
        const int unit = __builtin_ctz(mask);
        setSampler(FixedFunctionShader::samplerName(unit), unit);
    }
    // A register array the linker dropped (the shader never reads it) has
    // no location and is not set.
    const auto findRegisters = [&](const TranslatedShader& shader, std::vector<LinkedProgram::RegisterArray>& out) {
        for (const ShaderConstantArray& array : shader.constantArrays) {
            const GLint location = glGetUniformLocation(linked.name, array.name.c_str());
            if (location >= 0) out.push_back({location, static_cast<GLsizei>(array.registers)});
        }
    };
    findRegisters(vertexShader.info(), linked.vertexRegisters);
    if (pixelShader != nullptr) findRegisters(pixelShader->info(), linked.pixelRegisters);
    linked.pixelShift = glGetUniformLocation(linked.name, "tv_pixelShift");
    linked.textureFactor = glGetUniformLocation(linked.name, "tv_textureFactor");
}

VertexArrayEntry* PipelineCache::vertexArray(VertexDeclaration9& declaration, VertexShader9& vertexShader)
{
    const uint64_t key = pairKey(declaration.serial(), vertexShader.serial());
    auto found = vertexArrays.find(key);
    if (found != vertexArrays.end()) return &found->second;

    VertexArrayEntry entry;
    entry.declarationSerial = declaration.serial();
    entry.vertexSerial = vertexShader.serial();
    entry.name = GlObjects::createVertexArray(tracker);
    const GlCaps& caps = tracker.caps();
    for (const ShaderVertexInput& input : vertexShader.info().inputs) {
        // A shader input the declaration does not feed reads GL's constant
        // attribute (0, 0, 0, 1).
        const D3DVERTEXELEMENT9* element = declaration.find(input.usage, input.usageIndex);
        if (element == nullptr) continue;
        const VertexFormat* format = VertexDeclaration9::format(element->Type);
        if (format == nullptr) continue;
        GlObjects::VertexAttribute attribute{static_cast<GLuint>(input.location), format->size, format->type,
                                             format->normalized, input.kind != ShaderVertexInput::Float,
                                             element->Offset, element->Stream};
        if (attribute.integer) {
            // Integer inputs read integer data unconverted, D3DCOLOR's bytes
            // in memory order.
            if (format->type == GL_FLOAT || format->type == GL_HALF_FLOAT) continue;
            if (attribute.size == GL_BGRA) attribute.size = 4;
        } else if (attribute.size == GL_BGRA && !caps.bgraVertices) {
            // D3DCOLOR read as R, G, B, A bytes; the vertex shader turns it.
            attribute.size = 4;
            entry.swappedInputs |= 1u << input.location;
        }
        GlObjects::describeAttribute(tracker, entry.name, attribute);
        entry.attributes[entry.attributeCount++] = attribute;
        entry.streamMask |= 1u << element->Stream;
        VertexArrayEntry::Binding& binding = entry.streams[element->Stream];
        const UINT extent = element->Offset + format->bytes;
        if (extent > binding.extent) binding.extent = extent;
    }
    return &vertexArrays.emplace(key, entry).first->second;
}

GLuint PipelineCache::sampler(const SamplerKey& key)
{
    auto found = samplers.find(key);
    if (found != samplers.end()) return found->second;
    GLuint name = 0;
    const GlCaps& caps = tracker.caps();
    glGenSamplers(1, &name);
    glSamplerParameteri(name, GL_TEXTURE_WRAP_S, addressMode(key.address[0], caps));
    glSamplerParameteri(name, GL_TEXTURE_WRAP_T, addressMode(key.address[1], caps));
    glSamplerParameteri(name, GL_TEXTURE_WRAP_R, addressMode(key.address[2], caps));
    glSamplerParameteri(name, GL_TEXTURE_MAG_FILTER, linear(key.magFilter) ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(name, GL_TEXTURE_MIN_FILTER, minificationFilter(key.minFilter, key.mipFilter));
    const float border[4] = {((key.borderColor >> 16) & 0xFF) / 255.0f, ((key.borderColor >> 8) & 0xFF) / 255.0f,
                             (key.borderColor & 0xFF) / 255.0f, ((key.borderColor >> 24) & 0xFF) / 255.0f};
    if (caps.borderClamp) glSamplerParameterfv(name, GL_TEXTURE_BORDER_COLOR, border);
    // D3DSAMP_MAXMIPLEVEL names the largest level to use.
    glSamplerParameterf(name, GL_TEXTURE_MIN_LOD, static_cast<float>(key.maxMipLevel));
    const float bias = floatBits(key.lodBias);
    if (bias == bias && caps.lodBias) glSamplerParameterf(name, GL_TEXTURE_LOD_BIAS, bias);
    samplers.emplace(key, name);
    return name;
}

void PipelineCache::forgetShader(uint32_t serial)
{
    for (auto it = programs.begin(); it != programs.end();) {
        if (it->second.vertexSerial == serial || it->second.pixelSerial == serial) {
            if (it->second.name) {
                glDeleteProgram(it->second.name);
                tracker.forgetProgram(it->second.name);
            }
            it = programs.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = vertexArrays.begin(); it != vertexArrays.end();) {
        if (it->second.vertexSerial == serial) {
            glDeleteVertexArrays(1, &it->second.name);
            tracker.forgetVertexArray(it->second.name);
            it = vertexArrays.erase(it);
        } else {
            ++it;
        }
    }
    lastProgramKey = {};
    lastProgram = nullptr;
}

void PipelineCache::forgetDeclaration(uint32_t serial)
{
    for (auto it = vertexArrays.begin(); it != vertexArrays.end();) {
        if (it->second.declarationSerial == serial) {
            glDeleteVertexArrays(1, &it->second.name);
            tracker.forgetVertexArray(it->second.name);
            it = vertexArrays.erase(it);
        } else {
            ++it;
        }
    }
}
