#include "ShaderTranslator.h"

#include "HlslSemantic.h"
#include "UniformBindings.h"

#include <spirv_cross/spirv_glsl.hpp>

#include <exception>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr uint32_t spirvMagic = 0x07230203u;
constexpr uint32_t opName = 5;
constexpr uint32_t opEntryPoint = 15;
constexpr uint32_t opTypeVector = 23;
constexpr uint32_t opConstant = 43;
constexpr uint32_t opConstantComposite = 44;
constexpr uint32_t opVariable = 59;
constexpr uint32_t opLoad = 61;
constexpr uint32_t opStore = 62;
constexpr uint32_t opDecorate = 71;
constexpr uint32_t opCompositeConstruct = 80;
constexpr uint32_t opDecorateString = 5632;
constexpr uint32_t decorationLocation = 30;
constexpr uint32_t storageOutput = 3;

const char* vectorType(int components)
{
    switch (components) {
    case 1: return "float";
    case 2: return "vec2";
    case 3: return "vec3";
    default: return "vec4";
    }
}

// The expression that pads a value of `components` floats to a vec4.
std::string padded(const std::string& name, int components)
{
    switch (components) {
    case 1: return "vec4(" + name + ", 0.0, 0.0, 1.0)";
    case 2: return "vec4(" + name + ", 0.0, 1.0)";
    case 3: return "vec4(" + name + ", 1.0)";
    default: return name;
    }
}

const char* swizzle(int components)
{
    switch (components) {
    case 1: return ".x";
    case 2: return ".xy";
    case 3: return ".xyz";
    default: return "";
    }
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Whether `word` stands as a word of its own in `line`.
bool hasWord(const std::string& line, const char* word)
{
    const std::string padded = " " + line + " ";
    return padded.find(std::string(" ") + word + " ") != std::string::npos;
}

// Replaces the interface declaration "[layout(location = N)] ... in|out T
// name;" with the private global "T name;". Returns false when no such line
// exists. `qualifiers` receives the interpolation qualifiers the line
// carried.
bool privatize(std::vector<std::string>& lines, const std::string& name, const char* type, std::string* qualifiers)
{
    const std::string tail = " " + name + ";";
    for (std::string& line : lines) {
        if (!endsWith(line, tail) || !(hasWord(line, "in") || hasWord(line, "out"))) continue;
        if (qualifiers) {
            qualifiers->clear();
            for (const char* word : {"flat", "noperspective", "centroid", "sample"}) {
                if (hasWord(line, word)) {
                    *qualifiers += word;
                    *qualifiers += ' ';
                }
            }
        }
        // A pixel stage's input is set before the body runs, but the body
        // comes first in the text: a value from the start keeps GLSL
        // compilers from warning that it is read uninitialised.
        line = std::string(type) + " " + name + (qualifiers ? " = " + std::string(type) + "(0.0);" : ";");
        return true;
    }
    return false;
}

bool renameEntryPoint(std::vector<std::string>& lines, const char* newName)
{
    for (std::string& line : lines) {
        if (line == "void main()") {
            line = std::string("void ") + newName + "()";
            return true;
        }
    }
    return false;
}

// Whether every value in `type` (a block's struct, its members, their
// elements) is a float.
bool allFloat(const spirv_cross::Compiler& compiler, const spirv_cross::SPIRType& type)
{
    if (type.basetype == spirv_cross::SPIRType::Struct) {
        for (const spirv_cross::TypeID member : type.member_types)
            if (!allFloat(compiler, compiler.get_type(member))) return false;
        return true;
    }
    return type.basetype == spirv_cross::SPIRType::Float;
}

// The type the declaration of `name` gives it ("vec4" in
// "layout(location = 0) in vec4 name;"), or "" when no line declares it.
std::string declaredType(const std::vector<std::string>& lines, const std::string& name)
{
    const std::string tail = " " + name + ";";
    for (const std::string& line : lines) {
        if (!endsWith(line, tail)) continue;
        const size_t end = line.size() - tail.size();
        const size_t start = line.rfind(' ', end - 1);
        return line.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
    }
    return std::string();
}

bool isFloatVector(const spirv_cross::SPIRType& type)
{
    return type.basetype == spirv_cross::SPIRType::Float && type.columns == 1 && type.array.empty() && type.vecsize >= 1 &&
           type.vecsize <= 4;
}

class Translation {
public:
    Translation(const uint32_t* words, size_t count, bool vertexStage, const GlCaps& glTarget, VaryingRegistry& varyings,
                TranslatedShader& out)
        : compiler(words, count), vertex(vertexStage), target(glTarget), registry(varyings), result(out)
    {
    }

    bool run(std::string& error);

private:
    bool vertexInputs(const spirv_cross::ShaderResources& resources, std::string& error);
    bool vertexOutputs(const spirv_cross::ShaderResources& resources, std::string& error);
    bool pixelInputs(const spirv_cross::ShaderResources& resources, std::string& error);
    bool constants(const spirv_cross::ShaderResources& resources, std::string& error);
    bool samplers(const spirv_cross::ShaderResources& resources, std::string& error);
    bool finish(std::string& error);

    spirv_cross::CompilerGLSL compiler;
    bool vertex;
    const GlCaps& target;
    VaryingRegistry& registry;
    TranslatedShader& result;
    bool hasPosition = false;
};

bool Translation::run(std::string& error)
{
    const spv::ExecutionModel model = compiler.get_execution_model();
    if (model != (vertex ? spv::ExecutionModelVertex : spv::ExecutionModelFragment)) {
        error = vertex ? "the code is not a vertex shader" : "the code is not a pixel shader";
        return false;
    }
    const spirv_cross::ShaderResources resources = compiler.get_shader_resources();
    if (!resources.storage_buffers.empty() || !resources.storage_images.empty() || !resources.atomic_counters.empty() ||
        !resources.push_constant_buffers.empty() || !resources.subpass_inputs.empty()) {
        error = "the shader uses resources Direct3D 9 does not have (storage buffers, images, push constants)";
        return false;
    }
    result = TranslatedShader{};
    result.vertex = vertex;
    result.target = target;
    for (const spirv_cross::BuiltInResource& builtIn : resources.builtin_outputs)
        if (builtIn.builtin == spv::BuiltInPosition) hasPosition = true;

    if (vertex) {
        if (!vertexInputs(resources, error) || !vertexOutputs(resources, error)) return false;
    } else if (!pixelInputs(resources, error)) {
        return false;
    }
    return constants(resources, error) && samplers(resources, error) && finish(error);
}

bool Translation::vertexInputs(const spirv_cross::ShaderResources& resources, std::string& error)
{
    int location = 0;
    for (const spirv_cross::Resource& input : resources.stage_inputs) {
        const std::string semantic = compiler.get_decoration_string(input.id, spv::DecorationUserSemantic);
        ShaderVertexInput entry{};
        if (!HlslSemantic::usageOf(semantic, entry.usage, entry.usageIndex)) {
            error = "vertex shader input '" + input.name + "' has no Direct3D 9 semantic (" +
                    (semantic.empty() ? std::string("none") : semantic) + ")";
            return false;
        }
        const spirv_cross::SPIRType& type = compiler.get_type(input.type_id);
        if (type.columns != 1 || !type.array.empty() || type.vecsize < 1 || type.vecsize > 4) {
            error = "vertex shader input " + semantic + " is not a scalar or vector";
            return false;
        }
        switch (type.basetype) {
        case spirv_cross::SPIRType::Float: entry.kind = ShaderVertexInput::Float; break;
        case spirv_cross::SPIRType::Int: entry.kind = ShaderVertexInput::Int; break;
        case spirv_cross::SPIRType::UInt: entry.kind = ShaderVertexInput::UInt; break;
        default:
            error = "vertex shader input " + semantic + " has an unsupported type";
            return false;
        }
        for (const ShaderVertexInput& other : result.inputs) {
            if (other.usage == entry.usage && other.usageIndex == entry.usageIndex) {
                error = "vertex shader declares the input " + semantic + " twice";
                return false;
            }
        }
        if (location >= 16) {
            error = "vertex shader has more than 16 inputs";
            return false;
        }
        entry.location = location;
        compiler.set_decoration(input.id, spv::DecorationLocation, static_cast<uint32_t>(location));
        compiler.set_name(input.id, "tv_vin_" + std::to_string(location));
        result.inputs.push_back(entry);
        ++location;
    }
    return true;
}

bool Translation::vertexOutputs(const spirv_cross::ShaderResources& resources, std::string& error)
{
    for (const spirv_cross::Resource& output : resources.stage_outputs) {
        const std::string semantic =
            HlslSemantic::normalize(compiler.get_decoration_string(output.id, spv::DecorationUserSemantic));
        const spirv_cross::SPIRType& type = compiler.get_type(output.type_id);
        if ((semantic == "POSITION0" || semantic == "SV_POSITION0") && !hasPosition && type.vecsize == 4 &&
            isFloatVector(type)) {
            // Direct3D 9's POSITION output is the clip-space position.
            compiler.unset_decoration(output.id, spv::DecorationLocation);
            compiler.set_decoration(output.id, spv::DecorationBuiltIn, spv::BuiltInPosition);
            hasPosition = true;
            continue;
        }
        if (semantic.empty()) {
            error = "vertex shader output '" + output.name + "' has no semantic";
            return false;
        }
        if (!isFloatVector(type)) {
            error = "vertex shader output " + semantic + " is not a float vector";
            return false;
        }
        const int location = registry.locationOf(semantic);
        if (location < 0) {
            error = "too many different vertex shader output semantics on this device (" + semantic + ")";
            return false;
        }
        if (result.varyingMask & (1u << location)) {
            error = "vertex shader writes " + semantic + " twice";
            return false;
        }
        result.varyingMask |= 1u << location;
        compiler.set_decoration(output.id, spv::DecorationLocation, static_cast<uint32_t>(location));
        compiler.set_name(output.id, "tv_vout_" + std::to_string(location));
        result.outputs.push_back(ShaderVarying{location, static_cast<int>(type.vecsize), std::string()});
    }
    return true;
}

bool Translation::pixelInputs(const spirv_cross::ShaderResources& resources, std::string& error)
{
    for (const spirv_cross::Resource& input : resources.stage_inputs) {
        const std::string semantic =
            HlslSemantic::normalize(compiler.get_decoration_string(input.id, spv::DecorationUserSemantic));
        if (semantic.empty()) {
            error = "pixel shader input '" + input.name + "' has no semantic";
            return false;
        }
        const spirv_cross::SPIRType& type = compiler.get_type(input.type_id);
        if (!isFloatVector(type)) {
            error = "pixel shader input " + semantic + " is not a float vector";
            return false;
        }
        const int location = registry.locationOf(semantic);
        if (location < 0) {
            error = "too many different pixel shader input semantics on this device (" + semantic + ")";
            return false;
        }
        if (result.varyingMask & (1u << location)) {
            error = "pixel shader reads " + semantic + " twice";
            return false;
        }
        result.varyingMask |= 1u << location;
        compiler.set_decoration(input.id, spv::DecorationLocation, static_cast<uint32_t>(location));
        compiler.set_name(input.id, "tv_pin_" + std::to_string(location));
        result.pixelInputs.push_back(ShaderVarying{location, static_cast<int>(type.vecsize), std::string()});
    }
    return true;
}

bool Translation::constants(const spirv_cross::ShaderResources& resources, std::string& error)
{
    int index = 0;
    for (const spirv_cross::Resource& block : resources.uniform_buffers) {
        // The registers the block reaches, by the offsets of its members
        // (register(cN) is byte 16*N), in whatever order they are declared.
        const spirv_cross::SPIRType& type = compiler.get_type(block.base_type_id);
        size_t size = 0;
        for (uint32_t member = 0; member < type.member_types.size(); ++member) {
            const size_t end = size_t{compiler.type_struct_member_offset(type, member)} +
                               compiler.get_declared_struct_member_size(type, member);
            if (end > size) size = end;
        }
        if (size > ShaderTranslator::registerFileBytes) {
            error = "the shader's constants reach beyond register c255";
            return false;
        }
        if (!allFloat(compiler, type)) {
            error = "the shader's constants are not all floating-point (constant registers hold float4 values)";
            return false;
        }
        const uint32_t registers = static_cast<uint32_t>((size + 15) / 16);
        if (registers * 16 > result.constantBytes) result.constantBytes = registers * 16;
        // One array of registers from c0: every member is read at its
        // register, and GLSL needs no layout of the members to agree.
        const std::string name = (vertex ? "tv_vc" : "tv_pc") + std::to_string(index++);
        compiler.set_name(block.base_type_id, name);
        compiler.set_name(block.id, name + "_block");
        compiler.flatten_buffer_block(block.id);
        result.constantArrays.push_back(ShaderConstantArray{name, registers});
    }
    return true;
}

bool Translation::samplers(const spirv_cross::ShaderResources& resources, std::string& error)
{
    const std::string prefix = vertex ? "tv_vs_sampler" : "tv_ps_sampler";
    int index = 0;
    auto place = [&](spirv_cross::VariableID id, uint32_t unit) -> bool {
        if (unit >= 16) {
            error = "the shader samples from sampler " + std::to_string(unit) + "; Direct3D 9 has 16";
            return false;
        }
        compiler.unset_decoration(id, spv::DecorationDescriptorSet);
        compiler.set_decoration(id, spv::DecorationBinding, unit);
        const std::string name = prefix + std::to_string(index++);
        compiler.set_name(id, name);
        result.samplers.push_back(ShaderSampler{name, static_cast<int>(unit)});
        result.samplerMask |= 1u << unit;
        return true;
    };
    for (const spirv_cross::Resource& sampler : resources.sampled_images) {
        if (!place(sampler.id, compiler.get_decoration(sampler.id, spv::DecorationBinding))) return false;
    }
    if (!resources.separate_images.empty() || !resources.separate_samplers.empty()) {
        // Texture and sampler objects used together: GL needs one combined
        // sampler per pair, at the unit of the sampler register.
        compiler.build_combined_image_samplers();
        for (const spirv_cross::CombinedImageSampler& combined : compiler.get_combined_image_samplers()) {
            if (!place(combined.combined_id, compiler.get_decoration(combined.sampler_id, spv::DecorationBinding)))
                return false;
        }
    }
    return true;
}

// The uniform array "uniform vec4 NAME[N];" as a uniform block at the
// stage's binding, read through the constant ring.
bool constantBlock(std::vector<std::string>& lines, const ShaderConstantArray& array, int binding)
{
    const std::string declaration = "uniform vec4 " + array.name + "[" + std::to_string(array.registers) + "];";
    for (std::string& line : lines) {
        if (line != declaration) continue;
        line = "layout(binding = " + std::to_string(binding) + ", std140) uniform " + array.name + "_block\n{\n    vec4 " +
               array.name + "[" + std::to_string(array.registers) + "];\n};";
        return true;
    }
    return false;
}

bool Translation::finish(std::string& error)
{
    spirv_cross::CompilerGLSL::Options options;
    options.version = target.glslVersion;
    options.es = target.es;
    options.vulkan_semantics = false;
    options.enable_420pack_extension = false;
    // GL ES fragment shaders compute in full precision, as Direct3D's do.
    options.fragment.default_float_precision = spirv_cross::CompilerGLSL::Options::Highp;
    options.fragment.default_int_precision = spirv_cross::CompilerGLSL::Options::Highp;
    compiler.set_common_options(options);
    std::vector<std::string> lines = splitLines(compiler.compile());

    if (!renameEntryPoint(lines, vertex ? "tv_vs_body" : "tv_ps_body")) {
        error = "the cross-compiled shader has no entry point";
        return false;
    }
    if (target.persistentConstantRing) {
        const int binding = vertex ? UniformBinding::vertexConstants : UniformBinding::pixelConstants;
        for (const ShaderConstantArray& array : result.constantArrays) {
            if (!constantBlock(lines, array, binding)) {
                error = "the cross-compiled shader lacks its constants " + array.name;
                return false;
            }
        }
    }
    if (vertex) {
        for (const ShaderVarying& output : result.outputs) {
            const std::string name = "tv_vout_" + std::to_string(output.location);
            if (!privatize(lines, name, vectorType(output.components), nullptr)) {
                error = "the cross-compiled vertex shader lacks its output " + name;
                return false;
            }
        }
    } else {
        for (ShaderVarying& input : result.pixelInputs) {
            const std::string name = "tv_pin_" + std::to_string(input.location);
            if (!privatize(lines, name, vectorType(input.components), &input.qualifiers)) {
                error = "the cross-compiled pixel shader lacks its input " + name;
                return false;
            }
            // GLSL ES 3.00 interpolates perspective-correct, per fragment.
            if (target.es) {
                std::string kept;
                for (const char* word : {"flat", "centroid"})
                    if (hasWord(input.qualifiers, word)) kept += std::string(word) + " ";
                input.qualifiers = kept;
            }
        }
    }
    // Extensions for qualifiers that are gone with the interface lines.
    std::vector<std::string> kept;
    for (std::string& line : lines)
        if (line.find("GL_NV_shader_noperspective_interpolation") == std::string::npos) kept.push_back(std::move(line));
    result.glsl = joinLines(kept);
    return true;
}

}  // namespace

size_t ShaderTranslator::moduleLength(const DWORD* code, std::string& error)
{
    if (code == nullptr) {
        error = "no shader code";
        return 0;
    }
    if (code[0] != spirvMagic) {
        error = "the shader code is not a SPIR-V module";
        return 0;
    }
    // The five header words; none of them can be mistaken for the end token
    // (D3DVS_END(), the same word as D3DPS_END()) except the schema word,
    // which is 0.
    for (int i = 1; i < 5; ++i) {
        if (code[i] == D3DVS_END()) {
            error = "the shader code ends inside the SPIR-V header";
            return 0;
        }
    }
    size_t at = 5;
    while (at < maxWords) {
        const uint32_t word = code[at];
        if (word == D3DVS_END()) return at;
        const uint32_t length = word >> 16;
        if (length == 0) {
            error = "the shader code holds a malformed SPIR-V instruction";
            return 0;
        }
        at += length;
    }
    error = "the shader code has no end token";
    return 0;
}

int ShaderTranslator::executionModel(const uint32_t* words, size_t count)
{
    size_t at = 5;
    while (at < count) {
        const uint32_t length = words[at] >> 16;
        if (length == 0 || at + length > count) return -1;
        if ((words[at] & 0xFFFF) == opEntryPoint && length >= 2) return static_cast<int>(words[at + 1]);
        at += length;
    }
    return -1;
}

bool ShaderTranslator::writesOpaqueColour(const uint32_t* words, size_t count)
{
    // Instructions by the id they define, and the location-0 output.
    std::unordered_map<uint32_t, size_t> definitions;  // id -> offset of its instruction
    std::unordered_set<uint32_t> atLocationZero;
    uint32_t output = 0;
    for (size_t at = 5; at < count;) {
        const uint32_t length = words[at] >> 16;
        const uint32_t op = words[at] & 0xFFFF;
        if (length == 0 || at + length > count) return false;
        if (op == opDecorate && length >= 4 && words[at + 2] == decorationLocation && words[at + 3] == 0)
            atLocationZero.insert(words[at + 1]);
        if ((op == opTypeVector || op == opConstant || op == opConstantComposite || op == opCompositeConstruct ||
             op == opVariable) && length >= 3)
            definitions[op == opTypeVector ? words[at + 1] : words[at + 2]] = at;
        if (op == opVariable && length >= 4 && words[at + 3] == storageOutput && atLocationZero.count(words[at + 2]))
            output = words[at + 2];
        at += length;
    }
    if (output == 0) return false;

    auto instruction = [&](uint32_t id, uint32_t op) -> const uint32_t* {
        auto found = definitions.find(id);
        return found != definitions.end() && (words[found->second] & 0xFFFF) == op ? &words[found->second] : nullptr;
    };
    // The alpha of a stored vector: a four-component composite whose last
    // part is the scalar constant 1.0.
    auto opaque = [&](uint32_t value) {
        const uint32_t* composite = instruction(value, opCompositeConstruct);
        if (composite == nullptr) composite = instruction(value, opConstantComposite);
        if (composite == nullptr) return false;
        const uint32_t length = composite[0] >> 16;
        const uint32_t* type = instruction(composite[1], opTypeVector);
        const uint32_t* alpha = length > 3 ? instruction(composite[length - 1], opConstant) : nullptr;
        return type != nullptr && type[3] == 4 && alpha != nullptr && (alpha[0] >> 16) == 4 && alpha[3] == 0x3F800000u;
    };
    // Every use of the output: its declaration, names and decorations, loads
    // and whole stores of opaque values; anything else (a partial write
    // through an access chain, a copy) may write another alpha.
    bool stored = false;
    for (size_t at = 5; at < count; at += words[at] >> 16) {
        const uint32_t length = words[at] >> 16;
        const uint32_t op = words[at] & 0xFFFF;
        bool uses = false;
        for (uint32_t i = 1; i < length && !uses; ++i) uses = words[at + i] == output;
        if (!uses || op == opName || op == opEntryPoint || op == opDecorate || op == opDecorateString ||
            op == opVariable || (op == opLoad && length >= 4 && words[at + 3] == output))
            continue;
        if (op != opStore || length < 3 || words[at + 1] != output || !opaque(words[at + 2])) return false;
        stored = true;
    }
    return stored;
}

bool ShaderTranslator::translate(const uint32_t* words, size_t count, bool vertex, const GlCaps& target,
                                 VaryingRegistry& registry, TranslatedShader& result, std::string& error)
{
    const int model = executionModel(words, count);
    if (model != (vertex ? spv::ExecutionModelVertex : spv::ExecutionModelFragment)) {
        error = vertex ? "the code is not a vertex shader" : "the code is not a pixel shader";
        return false;
    }
    try {
        Translation translation(words, count, vertex, target, registry, result);
        if (!translation.run(error)) return false;
        result.opaqueColour = !vertex && writesOpaqueColour(words, count);
        return true;
    } catch (const std::exception& e) {
        error = std::string("the shader cannot be translated: ") + e.what();
    } catch (...) {
        error = "the shader cannot be translated";
    }
    return false;
}

std::string ShaderTranslator::vertexVariant(const TranslatedShader& vertex, uint32_t swappedInputs)
{
    const GlCaps& target = vertex.target;
    std::string text = vertex.glsl;
    std::string body;
    if (swappedInputs != 0) {
        // Each turned input is read as it arrives and handed to the body in
        // Direct3D's order.
        std::vector<std::string> lines = splitLines(text);
        for (const ShaderVertexInput& input : vertex.inputs) {
            if (!(swappedInputs & (1u << input.location))) continue;
            if (input.kind != ShaderVertexInput::Float) continue;
            const std::string location = std::to_string(input.location);
            const std::string name = "tv_vin_" + location;
            const std::string type = declaredType(lines, name);
            if (type.empty() || !privatize(lines, name, type.c_str(), nullptr)) continue;
            lines.push_back("layout(location = " + location + ") in vec4 tv_a_" + location + ";");
            body += "    " + name + " = " + type + "(tv_a_" + location + ".zyxw);\n";
        }
        text = joinLines(lines);
    }
    std::string copies;
    for (const ShaderVarying& output : vertex.outputs) {
        const std::string name = "tv_vout_" + std::to_string(output.location);
        text += varying(target, output.location, true);
        copies += "    " + varyingName(output.location) + " = " + padded(name, output.components) + ";\n";
    }
    text += internalConstants(target);
    text += "void main()\n{\n" + body + "    tv_vs_body();\n" + copies +
            "    gl_Position.xy += tv_pixelShift.xy * gl_Position.w;\n";
    // Without clip control GL keeps clip-space depth in -w..w: Direct3D's
    // 0..w is mapped onto it, so depth range and depth test see what they
    // would see on Direct3D.
    if (!target.clipControl) text += "    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n";
    text += "}\n";
    return text;
}

std::string ShaderTranslator::pixelVariant(const TranslatedShader& pixel, uint32_t providedMask)
{
    std::string text = pixel.glsl;
    std::string copies;
    for (const ShaderVarying& input : pixel.pixelInputs) {
        const std::string name = "tv_pin_" + std::to_string(input.location);
        if (providedMask & (1u << input.location)) {
            text += varying(pixel.target, input.location, false, input.qualifiers);
            copies += "    " + name + " = " + varyingName(input.location) + swizzle(input.components) + ";\n";
        } else {
            // Nothing upstream writes it: read zeros.
            copies += "    " + name + " = " + vectorType(input.components) + "(0.0);\n";
        }
    }
    text += "void main()\n{\n" + copies + "    tv_ps_body();\n}\n";
    return text;
}

std::string ShaderTranslator::header(const GlCaps& target)
{
    if (target.es) return "#version 300 es\nprecision highp float;\nprecision highp int;\n";
    return "#version " + std::to_string(target.glslVersion) + "\n";
}

bool ShaderTranslator::bindsInSource(const GlCaps& target)
{
    return !target.es && target.glslVersion >= 420;
}

std::string ShaderTranslator::varyingName(int location)
{
    return "tv_v" + std::to_string(location);
}

std::string ShaderTranslator::varying(const GlCaps& target, int location, bool output, const std::string& qualifiers)
{
    std::string text;
    if (bindsInSource(target)) text = "layout(location = " + std::to_string(location) + ") ";
    return text + qualifiers + (output ? "out" : "in") + " vec4 " + varyingName(location) + ";\n";
}

std::string ShaderTranslator::internalConstants(const GlCaps& target)
{
    if (target.persistentConstantRing)
        return "layout(binding = " + std::to_string(UniformBinding::internal) +
               ", std140) uniform TvInternal\n"
               "{\n"
               "    vec4 tv_pixelShift;\n"
               "    vec4 tv_textureFactor;\n"
               "};\n";
    return "uniform vec4 tv_pixelShift;\nuniform vec4 tv_textureFactor;\n";
}
