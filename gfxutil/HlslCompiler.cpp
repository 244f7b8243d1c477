#include "HlslCompiler.h"

#include "D3DXBuffer.h"
#include "FileData.h"
#include "GlslangServer.h"
#include "Prefetch.h"
#include "ProfileLimits.h"
#include "SpirvInterface.h"

#include <glslang/Public/ShaderLang.h>

#include <tarnvale_d3d9.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace {

// The Direct3D 9 profiles, and the stage each one compiles for.
bool stageOfProfile(const char* profile, EShLanguage& stage)
{
    static const char* const vertexProfiles[] = {"vs_1_1", "vs_2_0", "vs_2_a", "vs_2_sw", "vs_3_0", "vs_3_sw"};
    static const char* const pixelProfiles[] = {"ps_1_1", "ps_1_2", "ps_1_3", "ps_1_4", "ps_2_0",
                                                "ps_2_a", "ps_2_b", "ps_2_sw", "ps_3_0", "ps_3_sw"};
    for (const char* p : vertexProfiles)
        if (std::strcmp(profile, p) == 0) {
            stage = EShLangVertex;
            return true;
        }
    for (const char* p : pixelProfiles)
        if (std::strcmp(profile, p) == 0) {
            stage = EShLangFragment;
            return true;
        }
    return false;
}

bool isIdentifier(const char* name)
{
    if (!name || !(std::isalpha(static_cast<unsigned char>(*name)) || *name == '_')) return false;
    for (const char* c = name; *c; ++c)
        if (!(std::isalnum(static_cast<unsigned char>(*c)) || *c == '_')) return false;
    return true;
}

// A UTF-8 byte-order mark opening a source text (Windows editors write one)
// is no part of the HLSL: glslang would take it for a token.
void skipByteOrderMark(const char*& text, size_t& length)
{
    static const char mark[] = "\xEF\xBB\xBF";
    if (text != nullptr && length >= 3 && std::memcmp(text, mark, 3) == 0) {
        text += 3;
        length -= 3;
    }
}

// Text compiled ahead of the source: the caller's macros and the matrix
// packing that the flags ask for. Returns false with `error` set when a
// macro cannot be expressed as a #define line.
bool buildPreamble(const D3DXMACRO* defines, DWORD flags, std::string& preamble, std::string& error)
{
    if (flags & D3DXSHADER_PACKMATRIX_ROWMAJOR)
        preamble += "#pragma pack_matrix(row_major)\n";
    else if (flags & D3DXSHADER_PACKMATRIX_COLUMNMAJOR)
        preamble += "#pragma pack_matrix(column_major)\n";
    for (const D3DXMACRO* m = defines; m && m->Name; ++m) {
        if (!isIdentifier(m->Name)) {
            error = std::string("invalid macro name '") + m->Name + "'";
            return false;
        }
        // A missing definition defines the macro as 1, as a bare /D does.
        const char* definition = m->Definition ? m->Definition : "1";
        if (std::strpbrk(definition, "\r\n")) {
            error = std::string("the definition of macro '") + m->Name + "' contains a line break";
            return false;
        }
        preamble += "#define ";
        preamble += m->Name;
        preamble += ' ';
        preamble += definition;
        preamble += '\n';
    }
    return true;
}

// Resolves #include for glslang: through the caller's ID3DXInclude when one
// is given, otherwise from files, "name" relative to the including file's
// folder (then the working folder), <name> relative to the working folder.
// Everything it hands out stays owned here until glslang releases it.
class Includer : public glslang::TShader::Includer {
public:
    Includer(ID3DXInclude* handler_, const std::string& mainName) : handler(handler_)
    {
        parentData[mainName] = nullptr;
    }

    IncludeResult* includeLocal(const char* headerName, const char* includerName, size_t depth) override
    {
        localFailed = false;
        if (depth > HlslCompiler::maxIncludeDepth) return tooDeep();
        std::string name = handler ? std::string(headerName) : FileData::normalisePath(headerName);
        IncludeResult* result = handler ? fromHandler(D3DXINC_LOCAL, name, includerName)
                                        : fromFile(FileData::folderOf(includerName ? includerName : "") + name);
        // glslang asks includeSystem next; a handler must not be asked twice.
        localFailed = result == nullptr && handler;
        return result;
    }

    IncludeResult* includeSystem(const char* headerName, const char* includerName, size_t depth) override
    {
        if (depth > HlslCompiler::maxIncludeDepth) return tooDeep();
        if (localFailed) {
            localFailed = false;
            return failure(std::string("cannot open include file '") + headerName + "'");
        }
        IncludeResult* result = handler ? fromHandler(D3DXINC_SYSTEM, headerName, includerName)
                                        : fromFile(FileData::normalisePath(headerName));
        return result ? result : failure(std::string("cannot open include file '") + headerName + "'");
    }

    void releaseInclude(IncludeResult* result) override
    {
        if (!result) return;
        Held* held = static_cast<Held*>(result->userData);
        if (held->fromHandler && held->handlerData) handler->Close(held->handlerData);
        delete held;
        delete result;
    }

private:
    // What one IncludeResult refers to.
    struct Held {
        FileData file;
        std::string text;  // error text for a failed include
        const void* handlerData = nullptr;
        bool fromHandler = false;
    };

    IncludeResult* tooDeep()
    {
        return failure("#include files nested more than " + std::to_string(HlslCompiler::maxIncludeDepth) +
                       " deep (an #include loop?)");
    }

    // A failed include: empty name, the reason as its text.
    IncludeResult* failure(const std::string& reason)
    {
        Held* held = new Held;
        held->text = reason;
        return new IncludeResult(std::string(), held->text.c_str(), held->text.size(), held);
    }

    IncludeResult* fromFile(const std::string& path)
    {
        Held* held = new Held;
        std::string reason;
        if (held->file.read(path, HlslCompiler::maxSourceBytes, reason) != FileData::Status::Ok) {
            delete held;
            return nullptr;
        }
        return included(path, reinterpret_cast<const char*>(held->file.data()), held->file.size(), held);
    }

    IncludeResult* fromHandler(D3DXINCLUDE_TYPE type, const std::string& name, const char* includerName)
    {
        LPCVOID data = nullptr;
        UINT bytes = 0;
        auto parent = parentData.find(includerName ? includerName : "");
        LPCVOID parentPointer = parent == parentData.end() ? nullptr : parent->second;
        if (FAILED(handler->Open(type, name.c_str(), parentPointer, &data, &bytes)) || (!data && bytes)) return nullptr;
        Held* held = new Held;
        held->fromHandler = true;
        held->handlerData = data;
        parentData[name] = data;
        return included(name, data ? static_cast<const char*>(data) : "", bytes, held);
    }

    // An #include's text, a byte-order mark opening it skipped.
    static IncludeResult* included(const std::string& name, const char* text, size_t length, Held* held)
    {
        skipByteOrderMark(text, length);
        return new IncludeResult(name, text, length, held);
    }

    ID3DXInclude* handler;
    std::map<std::string, const void*> parentData;  // include name -> its data, for Open's pParentData
    bool localFailed = false;
};

// "file:12: text" -> true with file, 12 and text; the first ":digits:" ends
// the file name.
bool splitPlace(const std::string& text, std::string& file, std::string& line, std::string& rest)
{
    for (size_t colon = text.find(':'); colon != std::string::npos; colon = text.find(':', colon + 1)) {
        size_t end = colon + 1;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
        if (end > colon + 1 && end < text.size() && text[end] == ':') {
            file = text.substr(0, colon);
            line = text.substr(colon + 1, end - colon - 1);
            rest = text.substr(end + 1);
            while (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
            return true;
        }
    }
    return false;
}

// glslang's own "file(12): error at column 5, HLSL parsing failed." ->
// file, 12 and "HLSL parsing failed (column 5)".
bool splitParenPlace(const std::string& text, std::string& file, std::string& line, std::string& rest)
{
    size_t close = text.find("): ");
    if (close == std::string::npos) return false;
    size_t open = text.rfind('(', close);
    if (open == std::string::npos || open == 0 || open + 1 == close) return false;
    for (size_t i = open + 1; i < close; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    file = text.substr(0, open);
    line = text.substr(open + 1, close - open - 1);
    rest = text.substr(close + 3);
    if (rest.rfind("error", 0) == 0) {
        rest.erase(0, 5);
        while (!rest.empty() && (rest[0] == ':' || rest[0] == ' ')) rest.erase(0, 1);
    }
    // "at column 26, HLSL parsing failed." -> "HLSL parsing failed (column 26)"
    if (rest.rfind("at column ", 0) == 0) {
        size_t comma = rest.find(", ");
        if (comma != std::string::npos) {
            std::string column = rest.substr(10, comma - 10);
            rest = rest.substr(comma + 2);
            if (!rest.empty() && rest.back() == '.') rest.pop_back();
            rest += " (column " + column + ")";
        }
    }
    return true;
}

HRESULT fail(std::string& messages, const std::string& sourceName, const std::string& text, HRESULT hr)
{
    messages += sourceName + ": error: " + text + "\n";
    return hr;
}

}  // namespace

std::string HlslCompiler::formatLog(const std::string& log, const std::string& sourceName)
{
    std::string out;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;

        const char* kind = "error";
        if (line.rfind("ERROR: ", 0) == 0) {
            line.erase(0, 7);
        } else if (line.rfind("WARNING: ", 0) == 0) {
            line.erase(0, 9);
            kind = "warning";
        }
        // "1 compilation errors.  No code generated." says nothing new.
        if (line.find("compilation errors.") != std::string::npos || line.find("No code generated") != std::string::npos)
            continue;
        while (!line.empty() && line.back() == ' ') line.pop_back();
        std::string file, number, text;
        if (splitPlace(line, file, number, text))
            out += file + "(" + number + "): " + kind + ": " + text + "\n";
        else if (splitParenPlace(line, file, number, text))
            out += file + "(" + number + "): " + kind + ": " + text + "\n";
        else
            out += sourceName + ": " + kind + ": " + line + "\n";
    }
    return out;
}

HRESULT HlslCompiler::compile(const char* source, size_t length, const std::string& sourceName,
                              const D3DXMACRO* defines, ID3DXInclude* include, const char* entryPoint,
                              const char* profile, DWORD flags, std::vector<uint32_t>& code, std::string& messages)
{
    code.clear();
    messages.clear();
    skipByteOrderMark(source, length);
    if (!entryPoint || !*entryPoint) return fail(messages, sourceName, "no entry point given", D3DERR_INVALIDCALL);
    if (!profile) return fail(messages, sourceName, "no profile given", D3DERR_INVALIDCALL);
    EShLanguage stage;
    if (!stageOfProfile(profile, stage))
        return fail(messages, sourceName,
                    std::string("unknown profile '") + profile + "' (expected vs_1_1 ... vs_3_0 or ps_1_1 ... ps_3_0)",
                    E_FAIL);
    if (length > maxSourceBytes)
        return fail(messages, sourceName,
                    "source is too large (" + std::to_string(length) + " bytes; at most " +
                        std::to_string(maxSourceBytes) + ")",
                    D3DXERR_INVALIDDATA);
    std::string preamble, preambleError;
    if (!buildPreamble(defines, flags, preamble, preambleError))
        return fail(messages, sourceName, preambleError, D3DERR_INVALIDCALL);

    GlslangJob job;
    job.stage = stage;
    job.sourceName = sourceName;
    job.preamble = preamble;
    job.entryPoint = entryPoint;
    job.source = source;
    job.length = length;
    Includer includer(include, sourceName);
    GlslangOutput out;
    std::string serverFailure;
    // A source that crashes glslang fails to compile like any other bad one.
    if (!GlslangServer::compile(job, includer, out, serverFailure))
        return fail(messages, sourceName, serverFailure, E_FAIL);

    messages += formatLog(out.parseLog, sourceName);
    if (out.step == GlslangOutput::ParseFailed) {
        if (messages.empty()) messages = sourceName + ": error: compilation failed\n";
        return E_FAIL;
    }
    if (out.step == GlslangOutput::NoEntryPoint)
        return fail(messages, sourceName, std::string("entry point '") + entryPoint + "' not found", E_FAIL);
    messages += formatLog(out.linkLog, sourceName);
    if (out.step == GlslangOutput::LinkFailed) return E_FAIL;
    if (out.step == GlslangOutput::NoCode || out.spirv.empty()) {
        return fail(messages, sourceName,
                    "code generation failed" + (out.codeLog.empty() ? std::string() : ": " + out.codeLog), E_FAIL);
    }
    std::vector<unsigned int>& spirv = out.spirv;

    std::string interfaceError = SpirvInterface::adjust(
        spirv, stage == EShLangVertex ? SpirvInterface::Stage::Vertex : SpirvInterface::Stage::Fragment);
    if (!interfaceError.empty()) return fail(messages, sourceName, interfaceError, E_FAIL);
    // Nothing beyond what the profile allows goes on to a driver.
    const std::string limitError = ProfileLimits::check(spirv, profile);
    if (!limitError.empty()) return fail(messages, sourceName, limitError, E_FAIL);

    code.assign(spirv.begin(), spirv.end());
    return S_OK;
}

namespace {

// Hands the compiler's outcome to the caller as D3DX does.
HRESULT deliver(HRESULT hr, const std::vector<uint32_t>& code, const std::string& messages, LPD3DXBUFFER* ppShader,
                LPD3DXBUFFER* ppErrorMsgs)
{
    if (SUCCEEDED(hr) && ppShader) {
        // The module, then the end token that marks where it stops.
        D3DXBuffer* buffer = D3DXBuffer::create((code.size() + 1) * sizeof(uint32_t));
        if (!buffer) {
            hr = E_OUTOFMEMORY;
        } else {
            uint32_t* words = static_cast<uint32_t*>(buffer->GetBufferPointer());
            std::memcpy(words, code.data(), code.size() * sizeof(uint32_t));
            words[code.size()] = D3DVS_END();  // the same word as D3DPS_END()
            *ppShader = buffer;
        }
    }
    // A caller that asks for the messages reports them itself; one that does
    // not would leave a failure unexplained, so they go to stderr then.
    if (FAILED(hr) && !ppErrorMsgs) std::fputs(messages.c_str(), stderr);
    // Warnings come back on success too, as D3DX returns them.
    if (ppErrorMsgs && !messages.empty()) *ppErrorMsgs = D3DXBuffer::create(messages.c_str(), messages.size() + 1);
    return hr;
}

void clearOutputs(LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs, LPD3DXCONSTANTTABLE* ppConstantTable)
{
    if (ppShader) *ppShader = nullptr;
    if (ppErrorMsgs) *ppErrorMsgs = nullptr;
    // No constant table is ever produced: constants go by register number.
    if (ppConstantTable) *ppConstantTable = nullptr;
}

}  // namespace

HRESULT WINAPI D3DXCompileShaderFromFileA(LPCSTR pSrcFile, const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                                          LPCSTR pFunctionName, LPCSTR pProfile, DWORD Flags,
                                          LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs,
                                          LPD3DXCONSTANTTABLE* ppConstantTable)
{
    const tvd3d9::StartupTimer timer(tvd3d9::StartupStep::ShaderCompilation);
    clearOutputs(ppShader, ppErrorMsgs, ppConstantTable);
    std::vector<uint32_t> code;
    std::string messages;
    if (!pSrcFile) return deliver(fail(messages, "(null)", "no source file given", D3DERR_INVALIDCALL), code, messages, ppShader, ppErrorMsgs);
    std::string path = FileData::normalisePath(pSrcFile);
    FileData file;
    std::string reason;
    FileData::Status status = file.read(path, HlslCompiler::maxSourceBytes, reason);
    if (status != FileData::Status::Ok) {
        return deliver(fail(messages, path, reason, FileData::failureResult(status)), code, messages, ppShader,
                       ppErrorMsgs);
    }
    // The program's own kind of call may find its compile done ahead
    // (tvd3dx::Prefetch), from the same source.
    HRESULT hr = E_FAIL;
    if (!pDefines && !pInclude && Flags == 0 &&
        takePrefetchedShader(path, pFunctionName, pProfile, file.data(), file.size(), hr, code, messages))
        return deliver(hr, code, messages, ppShader, ppErrorMsgs);
    hr = HlslCompiler::compile(reinterpret_cast<const char*>(file.data()), file.size(), path, pDefines, pInclude,
                               pFunctionName, pProfile, Flags, code, messages);
    return deliver(hr, code, messages, ppShader, ppErrorMsgs);
}

HRESULT WINAPI D3DXCompileShader(LPCSTR pSrcData, UINT SrcDataLen, const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                                 LPCSTR pFunctionName, LPCSTR pProfile, DWORD Flags, LPD3DXBUFFER* ppShader,
                                 LPD3DXBUFFER* ppErrorMsgs, LPD3DXCONSTANTTABLE* ppConstantTable)
{
    const tvd3d9::StartupTimer timer(tvd3d9::StartupStep::ShaderCompilation);
    clearOutputs(ppShader, ppErrorMsgs, ppConstantTable);
    std::vector<uint32_t> code;
    std::string messages;
    // Messages about source text from memory name it "memory", as D3DX does;
    // its relative #include files are looked up from the working folder.
    const std::string name = "memory";
    if (!pSrcData && SrcDataLen)
        return deliver(fail(messages, name, "no source given", D3DERR_INVALIDCALL), code, messages, ppShader, ppErrorMsgs);
    HRESULT hr = HlslCompiler::compile(pSrcData ? pSrcData : "", SrcDataLen, name, pDefines, pInclude, pFunctionName,
                                       pProfile, Flags, code, messages);
    return deliver(hr, code, messages, ppShader, ppErrorMsgs);
}
