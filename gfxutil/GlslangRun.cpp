#include "GlslangRun.h"

#include <glslang/MachineIndependent/localintermediate.h>
#include <glslang/Public/ResourceLimits.h>
#include <glslang/SPIRV/GlslangToSpv.h>

namespace {

class GlslangProcess {
public:
    GlslangProcess() { glslang::InitializeProcess(); }
    ~GlslangProcess() { glslang::FinalizeProcess(); }
};

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
