#include "GlslangRun.h"

#include <glslang/MachineIndependent/localintermediate.h>
#include <glslang/Public/ResourceLimits.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <vector>

namespace {

class GlslangProcess {
public:
    GlslangProcess() { glslang::InitializeProcess(); }
    ~GlslangProcess() { glslang::FinalizeProcess(); }
};

// HLSL lets a function be overloaded, but not the entry point: glslang's
// front end takes every overload of that name for the entry point (each
// becomes "@name(...)" with a wrapper of its own) and the module it goes on
// to generate is broken. Returns glslang's kind of log line, naming the
// second definition and where the first is, or empty when there is one.
// glslang places a function definition at its body's opening brace.
std::string overloadedEntryPoint(const glslang::TIntermediate& intermediate, const std::string& entryPoint)
{
    const glslang::TIntermAggregate* root =
        intermediate.getTreeRoot() ? intermediate.getTreeRoot()->getAsAggregate() : nullptr;
    if (root == nullptr) return std::string();
    const std::string prefix = "@" + entryPoint + "(";
    std::vector<glslang::TSourceLoc> definitions;
    for (const TIntermNode* node : root->getSequence()) {
        const glslang::TIntermAggregate* function = node ? node->getAsAggregate() : nullptr;
        if (function != nullptr && function->getOp() == glslang::EOpFunction &&
            function->getName().compare(0, prefix.size(), prefix.c_str()) == 0)
            definitions.push_back(function->getLoc());
    }
    if (definitions.size() < 2) return std::string();
    const glslang::TSourceLoc& first = definitions[0];
    const glslang::TSourceLoc& second = definitions[1];
    const std::string firstFile = first.getStringNameOrNum(false);
    const std::string firstPlace = firstFile == second.getStringNameOrNum(false)
                                       ? "line " + std::to_string(first.line)
                                       : firstFile + "(" + std::to_string(first.line) + ")";
    return "ERROR: " + second.getStringNameOrNum(false) + ":" + std::to_string(second.line) + ": '" + entryPoint +
           "' : the entry point is defined more than once (another definition's body begins at " +
           firstPlace + "); it cannot be overloaded\n";
}

}  // namespace

void initialiseGlslang()
{
    static GlslangProcess process;
    (void)process;
}

GlslangOutput runGlslang(const GlslangJob& job, glslang::TShader::Includer& includer)
{
    initialiseGlslang();
    GlslangOutput out;
    const EShMessages rules = static_cast<EShMessages>(EShMsgSpvRules | EShMsgVulkanRules | EShMsgReadHlsl |
                                                       EShMsgHlslOffsets | EShMsgHlslDX9Compatible);
    glslang::TShader shader(job.stage);
    const char* strings[] = {job.source ? job.source : ""};
    const int lengths[] = {static_cast<int>(job.length)};
    const char* names[] = {job.sourceName.c_str()};
    shader.setStringsWithLengthsAndNames(strings, lengths, names, 1);
    shader.setPreamble(job.preamble.c_str());
    shader.setEntryPoint(job.entryPoint.c_str());
    shader.setEnvInput(glslang::EShSourceHlsl, job.stage, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    shader.setEnvTargetHlslFunctionality1();

    const bool parsed = shader.parse(GetDefaultResources(), 100, false, rules, includer);
    out.parseLog = shader.getInfoLog();
    if (!parsed) return out;
    const std::string overloaded = overloadedEntryPoint(*shader.getIntermediate(), job.entryPoint);
    if (!overloaded.empty()) {
        out.parseLog += overloaded;
        return out;
    }
    out.step = GlslangOutput::NoEntryPoint;
    if (shader.getIntermediate()->getNumEntryPoints() < 1) return out;

    glslang::TProgram program;
    program.addShader(&shader);
    out.step = GlslangOutput::LinkFailed;
    const bool linked = program.link(rules);
    out.linkLog = program.getInfoLog();
    if (!linked) return out;

    spv::SpvBuildLogger logger;
    glslang::SpvOptions options;
    options.disableOptimizer = false;  // runs the HLSL legalisation passes
    glslang::GlslangToSpv(*program.getIntermediate(job.stage), out.spirv, &logger, &options);
    out.codeLog = logger.getAllMessages();
    out.step = out.spirv.empty() ? GlslangOutput::NoCode : GlslangOutput::Done;
    return out;
}

void warmUpGlslang()
{
    static const char source[] = "float4 main(float4 p : POSITION) : SV_Position { return p; }";
    GlslangJob job;
    job.stage = EShLangVertex;
    job.sourceName = "warm-up";
    job.entryPoint = "main";
    job.source = source;
    job.length = sizeof source - 1;
    glslang::TShader::ForbidIncluder includer;
    runGlslang(job, includer);
}
