#include "PipelineCache.h"

#include "FixedFunctionShader.h"
#include "GlObjects.h"
#include "PixelShader9.h"
#include "VertexDeclaration9.h"
#include "VertexShader9.h"

#include <bit>
#include <cstdio>
#include <cstring>

namespace {

uint64_t pairKey(uint32_t high, uint32_t low) { return (uint64_t{high} << 32) | low; }

// Program keys: the vertex shader's serial, then the pixel shader's serial
// or, with the fixed-function program, its id with the top bit set.
uint64_t programKey(uint32_t vertexSerial, uint32_t pixelSerial, uint32_t fixedFunctionId)
{
    return pairKey(vertexSerial, pixelSerial != 0 ? pixelSerial : (0x80000000u | fixedFunctionId));
}

GLint addressMode(uint8_t mode)
{
    switch (mode) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
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
    lastProgramKey = 0;
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
    const std::string source = FixedFunctionShader::generate(fixedFunctionKeys[id - 1], vertexOutputs, fragment.samplerMask);
    fragment.shader =
        compileGlShader(GL_FRAGMENT_SHADER, source, "Direct3D 9 layer: the fixed-function fragment program");
    return &fixedFunctionFragments.emplace(key, fragment).first->second;
}

const LinkedProgram* PipelineCache::program(VertexShader9& vertexShader, PixelShader9* pixelShader, uint32_t ffId)
{
    const uint32_t pixelSerial = pixelShader ? pixelShader->serial() : 0;
    const uint64_t key = programKey(vertexShader.serial(), pixelSerial, ffId);
    if (lastProgram != nullptr && key == lastProgramKey) return lastProgram;
    auto found = programs.find(key);
    if (found == programs.end()) {
        const tvd3d9::StartupTimer timer(tvd3d9::StartupStep::ProgramLinking);
        LinkedProgram linked;
        linked.vertexSerial = vertexShader.serial();
        linked.pixelSerial = pixelSerial;
        linked.vertexConstantBytes = vertexShader.info().constantBytes;
        linked.samplerMask = vertexShader.info().samplerMask;
        GLuint fragment = 0;
        if (pixelShader != nullptr) {
            fragment = pixelShader->fragmentFor(vertexShader.info().varyingMask);
            linked.pixelConstantBytes = pixelShader->info().constantBytes;
            linked.samplerMask |= pixelShader->info().samplerMask;
        } else if (const FixedFunctionFragment* ff = fixedFunctionFragment(ffId, vertexShader.info().varyingMask)) {
            fragment = ff->shader;
            linked.samplerMask |= ff->samplerMask;
        }
        if (fragment != 0 && vertexShader.glShader() != 0) {
            const GLuint name = glCreateProgram();
            glAttachShader(name, vertexShader.glShader());
            glAttachShader(name, fragment);
            glLinkProgram(name);
            glDetachShader(name, vertexShader.glShader());
            glDetachShader(name, fragment);
            GLint status = GL_FALSE;
            glGetProgramiv(name, GL_LINK_STATUS, &status);
            if (status == GL_TRUE) {
                linked.name = name;
            } else {
                GLint length = 0;
                glGetProgramiv(name, GL_INFO_LOG_LENGTH, &length);
                std::string log(length > 0 ? static_cast<size_t>(length) : 0, '\0');
                if (length > 0) glGetProgramInfoLog(name, length, nullptr, log.data());
                std::fprintf(stderr, "Direct3D 9 layer: the shader pair does not link: %s\n", log.c_str());
                glDeleteProgram(name);
            }
            ++stats.programLinks;
        }
        found = programs.emplace(key, linked).first;
    }
    lastProgramKey = key;
    lastProgram = &found->second;
    return lastProgram;
}

VertexArrayEntry* PipelineCache::vertexArray(VertexDeclaration9& declaration, VertexShader9& vertexShader)
{
    const uint64_t key = pairKey(declaration.serial(), vertexShader.serial());
    auto found = vertexArrays.find(key);
    if (found != vertexArrays.end()) return &found->second;

    VertexArrayEntry entry;
    entry.declarationSerial = declaration.serial();
    entry.vertexSerial = vertexShader.serial();
    glCreateVertexArrays(1, &entry.name);
    for (const ShaderVertexInput& input : vertexShader.info().inputs) {
        // A shader input the declaration does not feed reads GL's constant
        // attribute (0, 0, 0, 1).
        const D3DVERTEXELEMENT9* element = declaration.find(input.usage, input.usageIndex);
        if (element == nullptr) continue;
        const VertexFormat* format = VertexDeclaration9::format(element->Type);
        if (format == nullptr) continue;
        const GLuint location = static_cast<GLuint>(input.location);
        if (input.kind == ShaderVertexInput::Float) {
            glVertexArrayAttribFormat(entry.name, location, format->size, format->type, format->normalized, element->Offset);
        } else {
            // Integer inputs read integer data unconverted.
            if (format->type == GL_FLOAT || format->type == GL_HALF_FLOAT) continue;
            const GLint size = format->size == GL_BGRA ? 4 : format->size;
            glVertexArrayAttribIFormat(entry.name, location, size, format->type, element->Offset);
        }
        glVertexArrayAttribBinding(entry.name, location, element->Stream);
        glEnableVertexArrayAttrib(entry.name, location);
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
    glCreateSamplers(1, &name);
    glSamplerParameteri(name, GL_TEXTURE_WRAP_S, addressMode(key.address[0]));
    glSamplerParameteri(name, GL_TEXTURE_WRAP_T, addressMode(key.address[1]));
    glSamplerParameteri(name, GL_TEXTURE_WRAP_R, addressMode(key.address[2]));
    glSamplerParameteri(name, GL_TEXTURE_MAG_FILTER, linear(key.magFilter) ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(name, GL_TEXTURE_MIN_FILTER, minificationFilter(key.minFilter, key.mipFilter));
    const float border[4] = {((key.borderColor >> 16) & 0xFF) / 255.0f, ((key.borderColor >> 8) & 0xFF) / 255.0f,
                             (key.borderColor & 0xFF) / 255.0f, ((key.borderColor >> 24) & 0xFF) / 255.0f};
    glSamplerParameterfv(name, GL_TEXTURE_BORDER_COLOR, border);
    // D3DSAMP_MAXMIPLEVEL names the largest level to use.
    glSamplerParameterf(name, GL_TEXTURE_MIN_LOD, static_cast<float>(key.maxMipLevel));
    const float bias = std::bit_cast<float>(key.lodBias);
    if (bias == bias) glSamplerParameterf(name, GL_TEXTURE_LOD_BIAS, bias);
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
    lastProgramKey = 0;
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
