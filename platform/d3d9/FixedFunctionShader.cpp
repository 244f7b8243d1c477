#include "FixedFunctionShader.h"

#include "ShaderTranslator.h"
#include "VaryingRegistry.h"

#include <cstdio>

namespace {

bool usesArgument(uint8_t op, int argument)
{
    switch (op) {
    case 0:
    case D3DTOP_DISABLE:
        return false;
    case D3DTOP_SELECTARG1:
    case D3DTOP_PREMODULATE:
    case D3DTOP_BUMPENVMAP:
    case D3DTOP_BUMPENVMAPLUMINANCE:
        return argument == 1;
    case D3DTOP_SELECTARG2:
        return argument == 2;
    case D3DTOP_MULTIPLYADD:
    case D3DTOP_LERP:
        return true;
    default:
        return argument == 1 || argument == 2;
    }
}

bool stageSamples(const FixedFunctionStage& stage)
{
    if (stage.colorOp == D3DTOP_BLENDTEXTUREALPHA || stage.colorOp == D3DTOP_BLENDTEXTUREALPHAPM ||
        stage.alphaOp == D3DTOP_BLENDTEXTUREALPHA || stage.alphaOp == D3DTOP_BLENDTEXTUREALPHAPM)
        return true;
    for (int i = 0; i < 3; ++i) {
        if (usesArgument(stage.colorOp, i) && (stage.colorArg[i] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) return true;
        if (usesArgument(stage.alphaOp, i) && (stage.alphaArg[i] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) return true;
    }
    return false;
}

std::string constantLiteral(uint32_t argb)
{
    char text[96];
    std::snprintf(text, sizeof text, "vec4(%.6f, %.6f, %.6f, %.6f)", ((argb >> 16) & 0xFF) / 255.0,
                  ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0, ((argb >> 24) & 0xFF) / 255.0);
    return text;
}

// The vec4 an argument reads, modifiers applied.
std::string argument(uint8_t arg, const FixedFunctionStage& stage)
{
    std::string value;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: value = "diffuse"; break;
    case D3DTA_CURRENT: value = "current"; break;
    case D3DTA_TEXTURE: value = "tex"; break;
    case D3DTA_TFACTOR: value = "tv_textureFactor"; break;
    case D3DTA_SPECULAR: value = "specular"; break;
    case D3DTA_TEMP: value = "temp"; break;
    default: value = constantLiteral(stage.constant); break;
    }
    if (arg & D3DTA_ALPHAREPLICATE) value = value + ".aaaa";
    if (arg & D3DTA_COMPLEMENT) value = "(vec4(1.0) - " + value + ")";
    return value;
}

// The expression of one operation on one part (".rgb" or ".a").
std::string operation(uint8_t op, const std::string (&args)[3], const char* part, const char* type)
{
    const std::string a0 = args[0] + part;
    const std::string a1 = args[1] + part;
    const std::string a2 = args[2] + part;
    const std::string one = std::string(type) + "(1.0)";
    auto blend = [&](const std::string& factor) { return a1 + " * " + factor + " + " + a2 + " * (1.0 - " + factor + ")"; };
    switch (op) {
    case D3DTOP_SELECTARG2: return a2;
    case D3DTOP_MODULATE: return a1 + " * " + a2;
    case D3DTOP_MODULATE2X: return a1 + " * " + a2 + " * 2.0";
    case D3DTOP_MODULATE4X: return a1 + " * " + a2 + " * 4.0";
    case D3DTOP_ADD: return a1 + " + " + a2;
    case D3DTOP_ADDSIGNED: return a1 + " + " + a2 + " - 0.5";
    case D3DTOP_ADDSIGNED2X: return "(" + a1 + " + " + a2 + " - 0.5) * 2.0";
    case D3DTOP_SUBTRACT: return a1 + " - " + a2;
    case D3DTOP_ADDSMOOTH: return a1 + " + " + a2 + " * (" + one + " - " + a1 + ")";
    case D3DTOP_BLENDDIFFUSEALPHA: return blend("diffuse.a");
    case D3DTOP_BLENDTEXTUREALPHA: return blend("tex.a");
    case D3DTOP_BLENDFACTORALPHA: return blend("tv_textureFactor.a");
    case D3DTOP_BLENDCURRENTALPHA: return blend("current.a");
    case D3DTOP_BLENDTEXTUREALPHAPM: return a1 + " + " + a2 + " * (1.0 - tex.a)";
    case D3DTOP_MODULATEALPHA_ADDCOLOR: return args[1] + part + " + " + args[1] + ".a * " + a2;
    case D3DTOP_MODULATECOLOR_ADDALPHA: return a1 + " * " + a2 + " + " + args[1] + ".a";
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR: return "(1.0 - " + args[1] + ".a) * " + a2 + " + " + a1;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA: return "(" + one + " - " + a1 + ") * " + a2 + " + " + args[1] + ".a";
    case D3DTOP_DOTPRODUCT3:
        return std::string(type) + "(4.0 * dot(" + args[1] + ".rgb - vec3(0.5), " + args[2] + ".rgb - vec3(0.5)))";
    case D3DTOP_MULTIPLYADD: return a0 + " + " + a1 + " * " + a2;
    case D3DTOP_LERP: return a0 + " * " + a1 + " + (" + one + " - " + a0 + ") * " + a2;
    default: return a1;  // SELECTARG1, PREMODULATE, bump mapping
    }
}

std::string input(int location) { return ShaderTranslator::varyingName(location); }

}  // namespace

std::string FixedFunctionShader::samplerName(int unit)
{
    return "tv_ff_texture" + std::to_string(unit);
}

std::string FixedFunctionShader::generate(const FixedFunctionKey& key, uint32_t vertexOutputs, const GlCaps& target,
                                          uint32_t& samplerMask)
{
    samplerMask = 0;
    const int stages = key.activeStages();
    const bool hasDiffuse = (vertexOutputs >> VaryingRegistry::color0) & 1;
    const bool hasSpecular = (vertexOutputs >> VaryingRegistry::color1) & 1;

    std::string declarations = ShaderTranslator::header(target);
    std::string body;
    uint32_t texcoordsDeclared = 0;
    if (hasDiffuse) declarations += ShaderTranslator::varying(target, VaryingRegistry::color0, false);
    if (hasSpecular) declarations += ShaderTranslator::varying(target, VaryingRegistry::color1, false);

    body += "    vec4 diffuse = " + (hasDiffuse ? input(VaryingRegistry::color0) : std::string("vec4(1.0)")) + ";\n";
    body += "    vec4 specular = " + (hasSpecular ? input(VaryingRegistry::color1) : std::string("vec4(0.0)")) + ";\n";
    body += "    vec4 current = diffuse;\n    vec4 temp = vec4(0.0);\n    vec4 tex = vec4(0.0, 0.0, 0.0, 1.0);\n";

    for (int s = 0; s < stages; ++s) {
        const FixedFunctionStage& stage = key.stages[s];
        body += "    // stage " + std::to_string(s) + "\n";
        if (stageSamples(stage)) {
            const std::string sampler = samplerName(s);
            // Where GLSL cannot bind it here, the device sets it to unit s.
            if (ShaderTranslator::bindsInSource(target)) declarations += "layout(binding = " + std::to_string(s) + ") ";
            declarations += "uniform sampler2D " + sampler + ";\n";
            samplerMask |= 1u << s;
            const int location = VaryingRegistry::texcoord(stage.texCoordIndex);
            std::string coordinates = "vec2(0.0)";
            if ((vertexOutputs >> location) & 1) {
                if (!((texcoordsDeclared >> location) & 1)) {
                    declarations += ShaderTranslator::varying(target, location, false);
                    texcoordsDeclared |= 1u << location;
                }
                coordinates = input(location) + ".xy";
            }
            body += "    tex = texture(" + sampler + ", " + coordinates + ");\n";
        }
        std::string colorArgs[3], alphaArgs[3];
        for (int i = 0; i < 3; ++i) {
            colorArgs[i] = argument(stage.colorArg[i], stage);
            alphaArgs[i] = argument(stage.alphaArg[i], stage);
        }
        const std::string rgb = "clamp(" + operation(stage.colorOp, colorArgs, ".rgb", "vec3") + ", 0.0, 1.0)";
        std::string alpha;
        if (stage.colorOp == D3DTOP_DOTPRODUCT3)
            alpha = "clamp(" + operation(stage.colorOp, colorArgs, ".a", "float") + ", 0.0, 1.0)";
        else if (stage.alphaOp == D3DTOP_DISABLE || stage.alphaOp == 0)
            alpha = "current.a";
        else
            alpha = "clamp(" + operation(stage.alphaOp, alphaArgs, ".a", "float") + ", 0.0, 1.0)";
        body += std::string("    ") + (stage.resultTemp ? "temp" : "current") + " = vec4(" + rgb + ", " + alpha + ");\n";
    }

    return declarations + ShaderTranslator::internalConstants(target) + "layout(location = 0) out vec4 tv_fragColor;\n" +
           "void main()\n{\n" + body + "    tv_fragColor = current;\n}\n";
}
