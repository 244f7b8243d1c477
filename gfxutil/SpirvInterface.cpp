#include "SpirvInterface.h"

#include "SpirvWords.h"

#include <cctype>
#include <cstddef>
#include <unordered_map>

namespace {

using SpirvWords::forEachInstruction;
using SpirvWords::literalString;

// The few SPIR-V numbers this file needs.
constexpr uint32_t opName = 5;
constexpr uint32_t opTypeFloat = 22;
constexpr uint32_t opTypeVector = 23;
constexpr uint32_t opTypePointer = 32;
constexpr uint32_t opVariable = 59;
constexpr uint32_t opDecorate = 71;
constexpr uint32_t opDecorateString = 5632;
constexpr uint32_t decorationBuiltIn = 11;
constexpr uint32_t decorationLocation = 30;
constexpr uint32_t decorationUserSemantic = 5635;
constexpr uint32_t builtInPosition = 0;
constexpr uint32_t builtInFragDepth = 22;
constexpr uint32_t storageInput = 1;
constexpr uint32_t storageOutput = 3;

struct Variable {
    uint32_t pointerType = 0;
    bool input = false;
    bool output = false;
    std::string name;              // from OpName: glslang's name for the variable
    std::string semantic;          // upper case, as glslang writes it
    size_t locationAt = 0;         // index of its OpDecorate Location, 0 if none
    bool builtInPosition = false;  // already decorated BuiltIn Position
};

// "COLOR1" -> ("COLOR", 1); "COLOR" -> ("COLOR", 0).
void splitSemantic(const std::string& semantic, std::string& name, uint32_t& index)
{
    size_t digits = semantic.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(semantic[digits - 1]))) --digits;
    name.clear();
    for (size_t i = 0; i < digits; ++i) name += static_cast<char>(std::toupper(static_cast<unsigned char>(semantic[i])));
    index = 0;
    for (size_t i = digits; i < semantic.size() && index < 1000000; ++i) index = index * 10 + (semantic[i] - '0');
}

// What the first pass learns of a module: its variables, and enough of its
// types to tell a float4.
struct ModuleInterface {
    std::unordered_map<uint32_t, Variable> variables;
    std::vector<uint32_t> declared;                     // variables in declaration order, for stable messages
    std::unordered_map<uint32_t, uint32_t> pointee;     // pointer type -> pointed-to type
    std::unordered_map<uint32_t, bool> isFloat32;       // float types
    std::unordered_map<uint32_t, uint32_t> vectorSize;  // vector of float32 -> component count

    bool isFloat4(const Variable& v) const
    {
        auto p = pointee.find(v.pointerType);
        if (p == pointee.end()) return false;
        auto vec = vectorSize.find(p->second);
        return vec != vectorSize.end() && vec->second == 4;
    }
};

// Reads the module's variables and types; false when it is malformed.
bool gatherInterface(const std::vector<uint32_t>& words, ModuleInterface& module)
{
    return forEachInstruction(words, [&](uint32_t op, size_t at, uint32_t count) {
        if (op == opName && count >= 3) {
            module.variables[words[at + 1]].name = literalString(words, at + 2, at + count);
        } else if (op == opTypeFloat && count >= 3) {
            module.isFloat32[words[at + 1]] = words[at + 2] == 32;
        } else if (op == opTypeVector && count >= 4) {
            if (module.isFloat32.count(words[at + 2]) && module.isFloat32[words[at + 2]])
                module.vectorSize[words[at + 1]] = words[at + 3];
        } else if (op == opTypePointer && count >= 4) {
            module.pointee[words[at + 1]] = words[at + 3];
        } else if (op == opVariable && count >= 4) {
            Variable& v = module.variables[words[at + 2]];
            module.declared.push_back(words[at + 2]);
            v.pointerType = words[at + 1];
            v.input = words[at + 3] == storageInput;
            v.output = words[at + 3] == storageOutput;
        } else if (op == opDecorate && count >= 3) {
            Variable& v = module.variables[words[at + 1]];
            if (words[at + 2] == decorationLocation && count == 4) v.locationAt = at;
            if (words[at + 2] == decorationBuiltIn && count == 4 && words[at + 3] == builtInPosition)
                v.builtInPosition = true;
        } else if (op == opDecorateString && count >= 4 && words[at + 2] == decorationUserSemantic) {
            module.variables[words[at + 1]].semantic = literalString(words, at + 3, at + count);
        }
    });
}

// A varying without a semantic cannot be bound to a vertex element or
// matched with the other stage: the message for one, else "".
std::string missingSemantic(const Variable& v)
{
    if (!(v.input || v.output) || v.locationAt == 0 || !v.semantic.empty()) return std::string();
    const std::string returned = "@entryPointOutput";
    if (v.name == returned) return "the return value has no semantic";
    std::string name = v.name.rfind(returned + ".", 0) == 0 ? v.name.substr(returned.size() + 1) : v.name;
    return std::string(v.input ? "input '" : "output '") + name + "' has no semantic";
}

// Turns the variable's Location decoration into a BuiltIn decoration of the
// same length.
void makeBuiltIn(std::vector<uint32_t>& words, const Variable& v, uint32_t builtIn)
{
    words[v.locationAt + 2] = decorationBuiltIn;
    words[v.locationAt + 3] = builtIn;
}

// A vertex stage output: POSITION becomes the built-in position; `positions`
// counts them.
std::string adjustVertexOutput(std::vector<uint32_t>& words, const ModuleInterface& module, const Variable& v,
                               int& positions)
{
    std::string name;
    uint32_t index = 0;
    splitSemantic(v.semantic, name, index);
    if (v.builtInPosition) {
        ++positions;
    } else if (name == "POSITION" && index == 0) {
        if (!module.isFloat4(v)) return "the POSITION output must be a float4";
        if (v.locationAt == 0) return "the POSITION output has no location to replace";
        makeBuiltIn(words, v, builtInPosition);
        ++positions;
    }
    return std::string();
}

// A fragment stage output: COLORn to location n, DEPTH to the built-in depth;
// `colour0` counts the COLOR0 outputs.
std::string adjustFragmentOutput(std::vector<uint32_t>& words, const Variable& v, int& colour0)
{
    if (v.locationAt == 0) return std::string();  // already a built-in (SV_Depth, ...)
    std::string name;
    uint32_t index = 0;
    splitSemantic(v.semantic, name, index);
    if (name == "COLOR" || name == "SV_TARGET") {
        if (index > 7) return "pixel shader output " + v.semantic + " is beyond the eight render targets";
        words[v.locationAt + 3] = index;
        if (index == 0) ++colour0;
    } else if ((name == "DEPTH" || name == "SV_DEPTH") && index == 0) {
        makeBuiltIn(words, v, builtInFragDepth);
    } else {
        return "pixel shader output semantic '" + (v.semantic.empty() ? std::string("(none)") : v.semantic) +
               "' is not COLORn or DEPTH";
    }
    return std::string();
}

}  // namespace

std::string SpirvInterface::adjust(std::vector<uint32_t>& words, Stage stage)
{
    ModuleInterface module;
    if (!gatherInterface(words, module)) return "the compiler produced a malformed SPIR-V module";
    int positions = 0;
    int colour0 = 0;
    for (uint32_t id : module.declared) {
        const Variable& v = module.variables[id];
        std::string error = missingSemantic(v);
        if (error.empty() && v.output)
            error = stage == Stage::Vertex ? adjustVertexOutput(words, module, v, positions)
                                           : adjustFragmentOutput(words, v, colour0);
        if (!error.empty()) return error;
    }
    if (stage == Stage::Vertex && positions != 1)
        return positions == 0 ? "the vertex shader has no POSITION output" : "the vertex shader has more than one POSITION output";
    // As Direct3D 9 requires: the colour of the first render target at least.
    if (stage == Stage::Fragment && colour0 == 0) return "the pixel shader has no COLOR0 output: it writes no colour";
    return std::string();
}

std::vector<std::string> SpirvInterface::userSemantics(const std::vector<uint32_t>& words)
{
    std::vector<std::string> found;
    forEachInstruction(words, [&](uint32_t op, size_t at, uint32_t count) {
        if (op == opDecorateString && count >= 4 && words[at + 2] == decorationUserSemantic)
            found.push_back(literalString(words, at + 3, at + count));
    });
    return found;
}
