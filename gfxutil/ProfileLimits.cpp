#include "ProfileLimits.h"

#include "SpirvWords.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace {

// ---- The profiles ------------------------------------------------------------------------

struct Limits {
    const char* profile;
    uint64_t temporaries;
    uint64_t constants;
    uint64_t slots;         // instruction slots (arithmetic ones where texture ones are apart); 0: no limit
    uint64_t textureSlots;  // texture instruction slots counted apart; 0: with the others
    bool loops;             // the profile has loop instructions; without them loops unroll
};

const Limits profileLimits[] = {
    {"vs_1_1", 12, 96, 128, 0, false},   {"vs_2_0", 12, 256, 256, 0, true},   {"vs_2_a", 13, 256, 256, 0, true},
    {"vs_2_sw", 32, 8192, 0, 0, true},   {"vs_3_0", 32, 256, 512, 0, true},   {"vs_3_sw", 32, 8192, 0, 0, true},
    {"ps_1_1", 12, 32, 64, 32, false},   {"ps_1_2", 12, 32, 64, 32, false},   {"ps_1_3", 12, 32, 64, 32, false},
    {"ps_1_4", 12, 32, 64, 32, false},   {"ps_2_0", 12, 32, 64, 32, false},   {"ps_2_a", 22, 32, 512, 0, true},
    {"ps_2_b", 32, 32, 512, 0, false},   {"ps_2_sw", 32, 8192, 0, 0, true},   {"ps_3_0", 32, 224, 512, 0, true},
    {"ps_3_sw", 32, 8192, 0, 0, true},
};

// ---- SPIR-V --------------------------------------------------------------------------------

enum Opcode : uint32_t {
    OpUndef = 1, OpName = 5, OpMemberName = 6, OpExtInst = 12, OpEntryPoint = 15,
    OpTypeBool = 20, OpTypeInt = 21, OpTypeFloat = 22, OpTypeVector = 23, OpTypeMatrix = 24,
    OpTypeArray = 28, OpTypeStruct = 30, OpTypePointer = 32,
    OpConstantTrue = 41, OpConstantFalse = 42, OpConstant = 43, OpConstantComposite = 44, OpConstantNull = 46,
    OpFunction = 54, OpFunctionParameter = 55, OpFunctionEnd = 56, OpFunctionCall = 57,
    OpVariable = 59, OpLoad = 61, OpStore = 62, OpCopyMemory = 63, OpAccessChain = 65, OpInBoundsAccessChain = 66,
    OpPtrAccessChain = 67, OpDecorate = 71, OpMemberDecorate = 72,
    OpVectorShuffle = 79, OpCompositeExtract = 81, OpCompositeInsert = 82,
    OpImageSampleImplicitLod = 87, OpImageSampleProjDrefExplicitLod = 94,
    OpIAdd = 128, OpFAdd = 129, OpISub = 130, OpFSub = 131, OpIMul = 132, OpFMul = 133, OpUDiv = 134,
    OpSDiv = 135, OpFDiv = 136, OpFRem = 140, OpFMod = 141, OpVectorTimesScalar = 142, OpDot = 148,
    OpSelect = 169, OpINotEqual = 171, OpFUnordGreaterThanEqual = 191,
    OpPhi = 245, OpLoopMerge = 246, OpLabel = 248, OpBranch = 249, OpBranchConditional = 250, OpSwitch = 251, OpKill = 252,
    OpReturn = 253, OpReturnValue = 254,
};
constexpr uint32_t decorationRowMajor = 4, decorationArrayStride = 6, decorationMatrixStride = 7,
                   decorationOffset = 35;
constexpr uint32_t storageUniformConstant = 0, storageUniform = 2, storagePrivate = 6, storageFunction = 7,
                   storagePushConstant = 9;

// GLSL.std.450 instructions that take an instruction each at least (not
// abs, sign or clamp, which a modifier or a preshader may do).
bool countedExtendedInstruction(uint32_t number)
{
    return (number >= 8 && number <= 10) ||   // Floor, Ceil, Fract
           (number >= 13 && number <= 32) ||  // Sin ... InverseSqrt
           number == 37 || number == 40 ||    // FMin, FMax
           (number >= 46 && number <= 50) ||  // FMix, IMix, Step, SmoothStep, Fma
           (number >= 66 && number <= 72);    // Length ... Refract
}

// Operations whose result depends on their id operands alone, all of which
// follow the result id.
bool pureOperation(uint32_t op)
{
    return op == 77 || op == 78 || op == 80 || op == 83 || op == 84 || (op >= 109 && op <= 124) ||
           (op >= 126 && op <= 191) || (op >= 194 && op <= 200);
}

constexpr uint64_t saturation = uint64_t{1} << 40;

uint64_t saturatingAdd(uint64_t a, uint64_t b) { return std::min(saturation, a + b); }
uint64_t saturatingMultiply(uint64_t a, uint64_t b) { return b != 0 && a > saturation / b ? saturation : a * b; }

struct Instruction {
    uint32_t op;
    size_t at;  // its first word
    uint32_t count;
};

class Module {
public:
    explicit Module(const std::vector<uint32_t>& words) : w(words) {}

    bool read();

    const std::vector<uint32_t>& w;
    std::vector<Instruction> list;

    struct Type {
        uint32_t op = 0;
        uint32_t a = 0;  // component, column or element type; int signedness
        uint32_t b = 0;  // component or column count; array length id
        std::vector<uint32_t> members;
    };
    std::unordered_map<uint32_t, Type> types;
    std::unordered_map<uint32_t, double> values;  // scalar constants
    std::unordered_set<uint32_t> constants;       // every constant and undefined value
    std::unordered_map<uint32_t, std::string> names;
    std::unordered_map<uint64_t, std::string> memberNames;
    std::unordered_map<uint32_t, uint32_t> arrayStrides;
    std::unordered_map<uint64_t, uint32_t> memberOffsets, matrixStrides;
    std::unordered_set<uint64_t> rowMajorMembers;

    struct Variable {
        uint32_t storage = 0;
        uint32_t type = 0;  // the pointee
        uint32_t initialiser = 0;
    };
    std::unordered_map<uint32_t, Variable> variables;
    std::unordered_map<uint32_t, uint32_t> pointees;            // pointer type -> pointee
    std::unordered_map<uint32_t, std::pair<size_t, size_t>> functions;  // id -> [first, end) of list
    std::unordered_map<uint32_t, size_t> labels;                // label id -> index in list
    uint32_t entryPoint = 0;

    static uint64_t key(uint32_t id, uint32_t member) { return (uint64_t{id} << 32) | member; }

    // Scalars in a value of the type; and in the arrays within it.
    uint64_t scalars(uint32_t type, int depth = 0) const;
    uint64_t arrayScalars(uint32_t type, int depth = 0) const;
    // Bytes a member of a uniform block takes from its offset.
    uint64_t blockBytes(uint32_t type, uint64_t memberKey, int depth = 0) const;
    uint64_t arrayLength(const Type& array) const
    {
        auto v = values.find(array.b);
        return v == values.end() || v->second < 0 ? 0 : static_cast<uint64_t>(v->second);
    }
};

bool Module::read()
{
    size_t functionStart = 0;
    uint32_t function = 0;
    return SpirvWords::forEachInstruction(w, [&](uint32_t op, size_t at, uint32_t count) {
        const size_t end = at + count;
        auto word = [&](size_t i) { return at + i < end ? w[at + i] : 0u; };
        switch (op) {
        case OpName: names[word(1)] = SpirvWords::literalString(w, at + 2, end); break;
        case OpMemberName: memberNames[key(word(1), word(2))] = SpirvWords::literalString(w, at + 3, end); break;
        case OpEntryPoint: if (entryPoint == 0) entryPoint = word(2); break;
        case OpTypeBool: case OpTypeInt: case OpTypeFloat:
            types[word(1)] = Type{op, word(3), 0, {}};
            break;
        case OpTypeVector: case OpTypeMatrix: case OpTypeArray:
            types[word(1)] = Type{op, word(2), word(3), {}};
            break;
        case OpTypeStruct: types[word(1)] = Type{op, 0, 0, std::vector<uint32_t>(w.begin() + at + 2, w.begin() + end)}; break;
        case OpTypePointer: pointees[word(1)] = word(3); break;
        case OpConstantTrue: case OpConstantFalse:
            constants.insert(word(2));
            values[word(2)] = op == OpConstantTrue ? 1.0 : 0.0;
            break;
        case OpConstant: {
            constants.insert(word(2));
            auto type = types.find(word(1));
            const uint32_t bits = word(3);
            if (type == types.end()) break;
            if (type->second.op == OpTypeFloat) {
                float f;
                std::memcpy(&f, &bits, sizeof f);
                values[word(2)] = f;
            } else if (type->second.op == OpTypeInt) {
                values[word(2)] = type->second.a ? static_cast<double>(static_cast<int32_t>(bits)) : bits;
            }
            break;
        }
        case OpUndef: case OpConstantComposite: case OpConstantNull: case 48: case 49: case 50: case 51: case 52:
            constants.insert(word(2));
            break;
        case OpDecorate:
            if (word(2) == decorationArrayStride) arrayStrides[word(1)] = word(3);
            break;
        case OpMemberDecorate:
            if (word(3) == decorationOffset) memberOffsets[key(word(1), word(2))] = word(4);
            if (word(3) == decorationMatrixStride) matrixStrides[key(word(1), word(2))] = word(4);
            if (word(3) == decorationRowMajor) rowMajorMembers.insert(key(word(1), word(2)));
            break;
        case OpVariable: {
            auto pointee = pointees.find(word(1));
            variables[word(2)] = Variable{word(3), pointee == pointees.end() ? 0 : pointee->second, word(4)};
            break;
        }
        case OpFunction:
            function = word(2);
            functionStart = list.size();
            break;
        case OpFunctionEnd:
            functions[function] = {functionStart, list.size()};
            break;
        case OpLabel: labels[word(1)] = list.size(); break;
        default: break;
        }
        list.push_back(Instruction{op, at, count});
    });
}

uint64_t Module::scalars(uint32_t type, int depth) const
{
    auto t = types.find(type);
    if (t == types.end() || depth > 16) return 0;
    switch (t->second.op) {
    case OpTypeBool: case OpTypeInt: case OpTypeFloat: return 1;
    case OpTypeVector: case OpTypeMatrix: return saturatingMultiply(t->second.b, scalars(t->second.a, depth + 1));
    case OpTypeArray: return saturatingMultiply(arrayLength(t->second), scalars(t->second.a, depth + 1));
    case OpTypeStruct: {
        uint64_t total = 0;
        for (uint32_t member : t->second.members) total = saturatingAdd(total, scalars(member, depth + 1));
        return total;
    }
    default: return 0;
    }
}

uint64_t Module::arrayScalars(uint32_t type, int depth) const
{
    auto t = types.find(type);
    if (t == types.end() || depth > 16) return 0;
    if (t->second.op == OpTypeArray) return scalars(type, depth);
    uint64_t total = 0;
    if (t->second.op == OpTypeStruct)
        for (uint32_t member : t->second.members) total = saturatingAdd(total, arrayScalars(member, depth + 1));
    return total;
}

uint64_t Module::blockBytes(uint32_t type, uint64_t memberKey, int depth) const
{
    auto t = types.find(type);
    if (t == types.end() || depth > 16) return 0;
    switch (t->second.op) {
    case OpTypeBool: case OpTypeInt: case OpTypeFloat: return 4;
    case OpTypeVector: return 4 * uint64_t{t->second.b};
    case OpTypeMatrix: {
        auto column = types.find(t->second.a);
        const uint64_t rows = column == types.end() ? 4 : column->second.b;
        auto stride = matrixStrides.find(memberKey);
        return uint64_t{stride == matrixStrides.end() ? 16u : stride->second} *
               (rowMajorMembers.count(memberKey) ? rows : t->second.b);
    }
    case OpTypeArray: {
        auto stride = arrayStrides.find(type);
        return saturatingMultiply(stride == arrayStrides.end() ? 16 : stride->second, arrayLength(t->second));
    }
    case OpTypeStruct: {
        uint64_t end = 0;
        for (uint32_t i = 0; i < t->second.members.size(); ++i) {
            auto offset = memberOffsets.find(key(type, i));
            end = std::max(end, saturatingAdd(offset == memberOffsets.end() ? 0 : offset->second,
                                              blockBytes(t->second.members[i], key(type, i), depth + 1)));
        }
        return end;
    }
    default: return 0;
    }
}

// ---- Registers -----------------------------------------------------------------------------

// How the code uses variables: which it reads or writes at all, and which
// members of a uniform block it reaches (a block used any other way than
// through a member uses them all).
struct Uses {
    std::unordered_set<uint32_t> variables;
    std::unordered_map<uint32_t, std::unordered_set<uint32_t>> blockMembers;
    std::unordered_set<uint32_t> wholeBlocks;
};

Uses findUses(const Module& module)
{
    Uses uses;
    const std::vector<uint32_t>& w = module.w;
    auto note = [&](uint32_t id) {
        if (module.variables.count(id)) uses.variables.insert(id);
    };
    for (const Instruction& i : module.list) {
        const size_t end = i.at + i.count;
        switch (i.op) {
        case OpLoad: if (i.count > 3) { note(w[i.at + 3]); uses.wholeBlocks.insert(w[i.at + 3]); } break;
        case OpStore: if (i.count > 1) { note(w[i.at + 1]); uses.wholeBlocks.insert(w[i.at + 1]); } break;
        case OpCopyMemory:
            for (size_t k = i.at + 1; k < std::min(end, i.at + 3); ++k) {
                note(w[k]);
                uses.wholeBlocks.insert(w[k]);
            }
            break;
        case OpAccessChain: case OpInBoundsAccessChain: case OpPtrAccessChain:
            if (i.count > 3) {
                const uint32_t base = w[i.at + 3];
                note(base);
                auto member = i.count > 4 ? module.values.find(w[i.at + 4]) : module.values.end();
                if (member != module.values.end() && member->second >= 0)
                    uses.blockMembers[base].insert(static_cast<uint32_t>(member->second));
                else
                    uses.wholeBlocks.insert(base);
            }
            break;
        case OpFunctionCall:
            for (size_t k = i.at + 4; k < end; ++k) {
                note(w[k]);
                uses.wholeBlocks.insert(w[k]);
            }
            break;
        default: break;
        }
    }
    return uses;
}

std::string nameOf(const Module& module, uint32_t id)
{
    auto name = module.names.find(id);
    return name == module.names.end() || name->second.empty() ? "%" + std::to_string(id) : name->second;
}

std::string checkTemporaries(const Module& module, const Uses& uses, const Limits& limits)
{
    uint64_t largest = 0;
    uint32_t largestId = 0;
    for (uint32_t id : uses.variables) {
        const Module::Variable& v = module.variables.at(id);
        if (v.storage != storagePrivate && v.storage != storageFunction) continue;
        const uint64_t registers = (module.arrayScalars(v.type) + 3) / 4;
        if (registers > largest || (registers == largest && id < largestId)) {
            largest = registers;
            largestId = id;
        }
    }
    if (largest <= limits.temporaries) return std::string();
    return std::string(limits.profile) + " has " + std::to_string(limits.temporaries) + " temporary registers; array '" +
           nameOf(module, largestId) + "' alone needs at least " + std::to_string(largest);
}

std::string checkConstants(const Module& module, const Uses& uses, const Limits& limits)
{
    uint64_t highest = 0;  // one past the highest register used
    std::string what;
    for (uint32_t id : uses.variables) {
        const Module::Variable& v = module.variables.at(id);
        if (v.storage != storageUniform && v.storage != storagePushConstant && v.storage != storageUniformConstant)
            continue;
        auto type = module.types.find(v.type);
        if (type == module.types.end()) continue;
        if (type->second.op != OpTypeStruct) {
            // A loose uniform (not a sampler or an image, which have no type here).
            const uint64_t end = (module.blockBytes(v.type, 0) + 15) / 16;
            if (end > highest) {
                highest = end;
                what = nameOf(module, id);
            }
            continue;
        }
        const bool whole = uses.wholeBlocks.count(id) != 0;
        auto reached = uses.blockMembers.find(id);
        for (uint32_t m = 0; m < type->second.members.size(); ++m) {
            if (!whole && (reached == uses.blockMembers.end() || reached->second.count(m) == 0)) continue;
            const uint64_t memberKey = Module::key(v.type, m);
            auto offset = module.memberOffsets.find(memberKey);
            const uint64_t end =
                (saturatingAdd(offset == module.memberOffsets.end() ? 0 : offset->second,
                               module.blockBytes(type->second.members[m], memberKey)) + 15) / 16;
            if (end > highest) {
                highest = end;
                auto name = module.memberNames.find(memberKey);
                what = name == module.memberNames.end() ? nameOf(module, id) : name->second;
            }
        }
    }
    if (highest <= limits.constants) return std::string();
    return std::string(limits.profile) + " has " + std::to_string(limits.constants) + " constant registers (c0 to c" +
           std::to_string(limits.constants - 1) + "); '" + what + "' reaches c" + std::to_string(highest - 1);
}

// ---- Instruction slots --------------------------------------------------------------------

// Which values depend on constants and uniforms alone: the compiler works
// those out ahead (a preshader, or at compile time), so they take no slot.
// Everything is taken for such a value at first, then what depends on the
// shader's inputs, textures, function parameters or calls is marked varying,
// and what depends on that, until nothing more is: a loop counter, or a
// local worked out from uniforms alone, stays uniform.
class UniformValues {
public:
    explicit UniformValues(const Module& module) : module(module)
    {
        while (markVarying()) {
        }
    }

    bool isUniform(uint32_t id) const { return varying.count(id) == 0; }

private:
    // One pass over the code; true when it marked anything new.
    bool markVarying()
    {
        const std::vector<uint32_t>& w = module.w;
        const size_t before = varying.size();
        auto anyVarying = [&](size_t from, size_t to, size_t step = 1) {
            for (size_t k = from; k < to; k += step)
                if (varying.count(w[k])) return true;
            return false;
        };
        auto rootOf = [&](uint32_t pointer) {
            auto root = roots.find(pointer);
            return root == roots.end() ? pointer : root->second;
        };
        auto storage = [&](uint32_t variable) {
            auto v = module.variables.find(variable);
            return v == module.variables.end() ? ~0u : v->second.storage;
        };
        for (const Instruction& i : module.list) {
            const size_t end = i.at + i.count;
            const uint32_t result = i.count > 2 ? w[i.at + 2] : 0;
            bool marks = false;
            switch (i.op) {
            case OpVariable: {
                const uint32_t kind = storage(result);
                // Inputs vary; uniforms do not; locals and statics as what goes into them.
                marks = kind != storageUniform && kind != storageUniformConstant && kind != storagePushConstant &&
                        kind != storagePrivate && kind != storageFunction;
                marks = marks || (i.count > 4 && varying.count(w[i.at + 4]));
                break;
            }
            case OpAccessChain: case OpInBoundsAccessChain: case OpPtrAccessChain:
                if (i.count > 3) roots[result] = rootOf(w[i.at + 3]);
                // A pointer with a varying index reads varying data.
                marks = i.count > 3 && anyVarying(i.at + 3, end);
                break;
            case OpLoad:
                marks = i.count > 3 && (varying.count(w[i.at + 3]) || varying.count(rootOf(w[i.at + 3])));
                break;
            case OpStore:
                if (i.count > 2 && (varying.count(w[i.at + 2]) || varying.count(w[i.at + 1])))
                    varying.insert(rootOf(w[i.at + 1]));
                break;
            case OpCopyMemory:
                if (i.count > 2) varying.insert(rootOf(w[i.at + 1]));
                break;
            case OpFunctionCall:
                // What a function does with a pointer is not followed.
                for (size_t k = i.at + 4; k < end; ++k) varying.insert(rootOf(w[k]));
                marks = true;
                break;
            case OpPhi: marks = anyVarying(i.at + 3, end, 2); break;
            case OpCompositeExtract: marks = i.count > 3 && anyVarying(i.at + 3, i.at + 4); break;
            case OpVectorShuffle: case OpCompositeInsert: marks = i.count > 4 && anyVarying(i.at + 3, i.at + 5); break;
            case OpExtInst: marks = anyVarying(i.at + 5, end); break;
            default:
                if (pureOperation(i.op))
                    marks = anyVarying(i.at + 3, end);
                else
                    marks = i.op == OpFunctionParameter || (i.op >= OpImageSampleImplicitLod && i.op <= 100);
                break;
            }
            if (marks && result != 0) varying.insert(result);
        }
        return varying.size() != before;
    }

    const Module& module;
    std::unordered_set<uint32_t> varying;
    std::unordered_map<uint32_t, uint32_t> roots;  // pointer -> the variable it points into
};

struct Slots {
    uint64_t arithmetic = 0;
    uint64_t texture = 0;

    void add(const Slots& other, uint64_t times)
    {
        arithmetic = saturatingAdd(arithmetic, saturatingMultiply(other.arithmetic, times));
        texture = saturatingAdd(texture, saturatingMultiply(other.texture, times));
    }
};

class SlotCounter {
public:
    SlotCounter(const Module& module, const Limits& limits) : module(module), limits(limits), uniform(module)
    {
        findLoops();
    }

    Slots ofFunction(uint32_t function, int depth = 0)
    {
        auto known = functionSlots.find(function);
        if (known != functionSlots.end()) return known->second;
        auto range = module.functions.find(function);
        if (range == module.functions.end() || depth > 64) return Slots();
        functionSlots[function] = Slots();  // a call back into it counts nothing
        const Slots slots = ofRange(range->second.first, range->second.second, SIZE_MAX, depth);
        functionSlots[function] = slots;
        return slots;
    }

private:
    struct Loop {
        size_t end;  // index of the merge block's label
        uint64_t iterations;
    };

    Slots ofRange(size_t begin, size_t end, size_t inLoopAt, int depth)
    {
        const std::vector<uint32_t>& w = module.w;
        Slots slots;
        for (size_t index = begin; index < end;) {
            auto loop = loops.find(index);
            if (loop != loops.end() && index != inLoopAt && loop->second.end <= end) {
                slots.add(ofRange(index, loop->second.end, index, depth), limits.loops ? 1 : loop->second.iterations);
                index = loop->second.end;
                continue;
            }
            const Instruction& i = module.list[index++];
            if (i.op == OpFunctionCall && i.count > 3) {
                slots.add(ofFunction(w[i.at + 3], depth + 1), 1);
            } else if (i.op >= OpImageSampleImplicitLod && i.op <= OpImageSampleProjDrefExplicitLod) {
                slots.texture = saturatingAdd(slots.texture, 1);
            } else if (takesASlot(i) && !uniform.isUniform(w[i.at + 2])) {
                slots.arithmetic = saturatingAdd(slots.arithmetic, 1);
            }
        }
        return slots;
    }

    bool takesASlot(const Instruction& i) const
    {
        if (i.count < 4) return false;
        switch (i.op) {
        case OpIMul: case OpFMul: case OpUDiv: case OpSDiv: case OpFDiv: case OpFRem: case OpFMod: case OpSelect:
            return true;
        case OpExtInst: return i.count > 4 && countedExtendedInstruction(module.w[i.at + 4]);
        default: return i.op >= OpVectorTimesScalar && i.op <= OpDot;
        }
    }

    // The loops, by the index of their header's label: glslang lays out a
    // loop's blocks from its header to its merge block.
    void findLoops()
    {
        size_t label = SIZE_MAX;
        for (size_t index = 0; index < module.list.size(); ++index) {
            const Instruction& i = module.list[index];
            if (i.op == OpLabel) label = index;
            if (i.op != OpLoopMerge || i.count < 3 || label == SIZE_MAX) continue;
            auto merge = module.labels.find(module.w[i.at + 1]);
            if (merge == module.labels.end() || merge->second <= label) continue;
            loops[label] = Loop{merge->second, iterations(label, merge->second)};
        }
    }

    // How many times a loop runs, where it counts a local variable from a
    // constant to a constant by a constant step; 1 where that cannot be read.
    uint64_t iterations(size_t header, size_t merge) const;

    const Module& module;
    const Limits& limits;
    UniformValues uniform;
    std::unordered_map<size_t, Loop> loops;
    std::unordered_map<uint32_t, Slots> functionSlots;
};

uint64_t SlotCounter::iterations(size_t header, size_t merge) const
{
    const std::vector<uint32_t>& w = module.w;
    const uint32_t mergeLabel = w[module.list[merge].at + 1];
    // The condition of the loop's one way out, and whether it runs while
    // the condition holds or while it does not. A loop left other ways too
    // (a break, a return) may run fewer times than its counter says.
    uint32_t condition = 0;
    bool whileTrue = true;
    int exits = 0;
    for (size_t index = header; index < merge; ++index) {
        const Instruction& i = module.list[index];
        if (i.op == OpSwitch || i.op == OpKill || i.op == OpReturn || i.op == OpReturnValue) return 1;
        if (i.op == OpBranch && i.count > 1 && w[i.at + 1] == mergeLabel) ++exits;
        if (i.op != OpBranchConditional || i.count < 4) continue;
        if (w[i.at + 2] != mergeLabel && w[i.at + 3] != mergeLabel) continue;
        ++exits;
        condition = w[i.at + 1];
        whileTrue = w[i.at + 3] == mergeLabel;
    }
    if (exits != 1 || condition == 0) return 1;

    // The comparison, of the counter (a phi of the header: a constant on
    // entry, itself plus or minus a constant from within the loop) with a
    // constant.
    const Instruction* compare = nullptr;
    std::unordered_map<uint32_t, const Instruction*> defined;  // in the loop
    for (size_t index = header; index < merge; ++index) {
        const Instruction& i = module.list[index];
        if (i.count > 2) defined[w[i.at + 2]] = &i;
        if (i.count > 4 && i.op >= OpINotEqual && i.op <= OpFUnordGreaterThanEqual && w[i.at + 2] == condition)
            compare = &i;
    }
    if (compare == nullptr) return 1;
    auto constant = [&](uint32_t id, double& value) {
        auto v = module.values.find(id);
        if (v == module.values.end()) return false;
        value = v->second;
        return true;
    };
    const uint32_t left = w[compare->at + 3], right = w[compare->at + 4];
    double limit = 0.0;
    const bool counterLeft = constant(right, limit);
    if (!counterLeft && !constant(left, limit)) return 1;
    const uint32_t counter = counterLeft ? left : right;
    auto phi = defined.find(counter);
    if (phi == defined.end() || phi->second->op != OpPhi || phi->second->count != 7) return 1;
    double start = 0.0, step = 0.0;
    bool started = false, stepped = false;
    for (size_t k = phi->second->at + 3; k + 1 < phi->second->at + 7; k += 2) {
        const uint32_t value = w[k];
        auto from = module.labels.find(w[k + 1]);
        const bool inLoop = from != module.labels.end() && from->second >= header && from->second < merge;
        if (!inLoop) {
            started = constant(value, start);
            continue;
        }
        auto next = defined.find(value);
        if (next == defined.end() || next->second->count < 5) return 1;
        const Instruction& d = *next->second;
        const uint32_t a = w[d.at + 3], b = w[d.at + 4];
        const bool add = d.op == OpIAdd || d.op == OpFAdd, subtract = d.op == OpISub || d.op == OpFSub;
        if (add && a == counter) stepped = constant(b, step);
        else if (add && b == counter) stepped = constant(a, step);
        else if (subtract && a == counter && constant(b, step)) stepped = true, step = -step;
    }
    if (!started || !stepped || step == 0.0) return 1;

    auto holds = [&](double value) {
        const double a = counterLeft ? value : limit, b = counterLeft ? limit : value;
        bool result;
        switch (compare->op) {
        case 171: case 182: case 183: result = a != b; break;
        case 172: case 173: case 186: case 187: result = a > b; break;
        case 174: case 175: case 190: case 191: result = a >= b; break;
        case 176: case 177: case 184: case 185: result = a < b; break;
        case 178: case 179: case 188: case 189: result = a <= b; break;
        default: result = a == b; break;
        }
        return result == whileTrue;
    };
    // Run the counter; beyond this many iterations no profile's slots would
    // hold the body, so the count stops there.
    constexpr uint64_t most = 1u << 16;
    uint64_t count = 0;
    for (double value = start; count < most && holds(value); value += step) ++count;
    return std::max<uint64_t>(count, 1);
}

std::string checkSlots(const Module& module, const Limits& limits)
{
    if (limits.slots == 0 || module.entryPoint == 0) return std::string();
    SlotCounter counter(module, limits);
    Slots slots = counter.ofFunction(module.entryPoint);
    if (limits.textureSlots == 0) {
        slots.arithmetic = saturatingAdd(slots.arithmetic, slots.texture);
        slots.texture = 0;
    }
    const std::string kind = limits.textureSlots != 0 ? "arithmetic instruction slots" : "instruction slots";
    if (slots.arithmetic > limits.slots)
        return std::string(limits.profile) + " has " + std::to_string(limits.slots) + " " + kind +
               "; the shader needs at least " + std::to_string(slots.arithmetic);
    if (limits.textureSlots != 0 && slots.texture > limits.textureSlots)
        return std::string(limits.profile) + " has " + std::to_string(limits.textureSlots) +
               " texture instruction slots; the shader needs at least " + std::to_string(slots.texture);
    return std::string();
}

}  // namespace

std::string ProfileLimits::check(const std::vector<uint32_t>& words, const std::string& profile)
{
    const Limits* limits = nullptr;
    for (const Limits& candidate : profileLimits)
        if (profile == candidate.profile) limits = &candidate;
    if (limits == nullptr) return std::string();
    Module module(words);
    if (!module.read()) return "the compiler produced a malformed SPIR-V module";
    const Uses uses = findUses(module);
    std::string error = checkTemporaries(module, uses, *limits);
    if (error.empty()) error = checkConstants(module, uses, *limits);
    if (error.empty()) error = checkSlots(module, *limits);
    return error;
}
