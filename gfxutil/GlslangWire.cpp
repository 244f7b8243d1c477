#include "GlslangWire.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

namespace {

// Longest text accepted from the other side (sources are at most 16 MiB).
constexpr uint64_t maxText = uint64_t{1} << 31;

// Answers one Include message through the caller's includer.
bool answerInclude(Channel& channel, glslang::TShader::Includer& includer,
                   std::map<uint64_t, glslang::TShader::Includer::IncludeResult*>& held, uint64_t& nextId)
{
    uint32_t system = 0;
    uint64_t depth = 0;
    std::string header, including;
    if (!channel.get(system) || !channel.getText(header) || !channel.getText(including) || !channel.get(depth))
        return false;
    glslang::TShader::Includer::IncludeResult* result =
        system ? includer.includeSystem(header.c_str(), including.c_str(), depth)
               : includer.includeLocal(header.c_str(), including.c_str(), depth);
    if (!result) return channel.put<uint64_t>(0);
    const uint64_t id = nextId++;
    held[id] = result;
    return channel.put(id) && channel.putText(result->headerName) &&
           channel.putText(result->headerData ? result->headerData : "", result->headerData ? result->headerLength : 0);
}

bool receiveResult(Channel& channel, GlslangOutput& out)
{
    std::string spirv;
    if (!channel.get(out.step) || out.step > GlslangOutput::Done || !channel.getText(out.parseLog) ||
        !channel.getText(out.linkLog) || !channel.getText(out.codeLog) || !channel.getText(spirv) ||
        spirv.size() % sizeof(unsigned int) != 0)
        return false;
    out.spirv.resize(spirv.size() / sizeof(unsigned int));
    if (!spirv.empty()) std::memcpy(out.spirv.data(), spirv.data(), spirv.size());
    return true;
}

}  // namespace

bool Channel::send(const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

bool Channel::receive(void* data, size_t size)
{
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        if (deadline != Deadline{} && !waitForData()) return false;
        const ssize_t got = ::recv(fd, bytes, size, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) peerClosed = true;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

bool Channel::getText(std::string& text)
{
    uint64_t size = 0;
    if (!get(size) || size > maxText) return false;
    text.resize(size);
    return receive(text.data(), text.size());
}

bool Channel::waitForData()
{
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            return false;
        }
        const auto wait = watch ? std::min(left, std::chrono::milliseconds(watchInterval)) : left;
        pollfd ready = {fd, POLLIN, 0};
        const int answer = ::poll(&ready, 1, static_cast<int>(wait.count()));
        if (answer > 0) return true;
        if (answer < 0 && errno != EINTR) return false;
        if (watch && !watch()) {
            stopped = true;
            return false;
        }
    }
}

bool sendJob(Channel& channel, const GlslangJob& job)
{
    return channel.put(JobMessage) && channel.put<uint32_t>(job.stage) && channel.putText(job.sourceName) &&
           channel.putText(job.preamble) && channel.putText(job.entryPoint) &&
           channel.putText(job.source ? job.source : "", job.source ? job.length : 0);
}

bool awaitResult(Channel& channel, glslang::TShader::Includer& includer, GlslangOutput& output)
{
    std::map<uint64_t, glslang::TShader::Includer::IncludeResult*> held;
    uint64_t nextId = 1;
    bool done = false;
    for (;;) {
        uint32_t kind = 0;
        if (!channel.get(kind)) break;
        if (kind == IncludeMessage) {
            if (!answerInclude(channel, includer, held, nextId)) break;
        } else if (kind == ReleaseMessage) {
            uint64_t id = 0;
            if (!channel.get(id)) break;
            auto it = held.find(id);
            if (it != held.end()) {
                includer.releaseInclude(it->second);
                held.erase(it);
            }
        } else {
            done = kind == ResultMessage && receiveResult(channel, output);
            break;
        }
    }
    // Files a server that ended mid-compile never released.
    for (auto& entry : held) includer.releaseInclude(entry.second);
    return done;
}

bool receiveJob(Channel& channel, GlslangJob& job, std::string& source)
{
    uint32_t stage = 0;
    if (!channel.get(stage) || stage > EShLangFragment || !channel.getText(job.sourceName) ||
        !channel.getText(job.preamble) || !channel.getText(job.entryPoint) || !channel.getText(source))
        return false;
    job.stage = static_cast<EShLanguage>(stage);
    job.source = source.data();
    job.length = source.size();
    return true;
}

bool sendResult(Channel& channel, const GlslangOutput& out)
{
    return channel.put(ResultMessage) && channel.put(out.step) && channel.putText(out.parseLog) &&
           channel.putText(out.linkLog) && channel.putText(out.codeLog) &&
           channel.putText(reinterpret_cast<const char*>(out.spirv.data()), out.spirv.size() * sizeof(unsigned int));
}

namespace {

// A copy of an included file, held by the server until glslang releases it.
struct IncludedCopy {
    uint64_t id;
    std::string name;
    std::string contents;
};

}  // namespace

glslang::TShader::Includer::IncludeResult* RelayIncluder::includeLocal(const char* header, const char* includer,
                                                                         size_t depth)
{
    return ask(0, header, includer, depth);
}

glslang::TShader::Includer::IncludeResult* RelayIncluder::includeSystem(const char* header, const char* includer,
                                                                          size_t depth)
{
    return ask(1, header, includer, depth);
}

void RelayIncluder::releaseInclude(IncludeResult* result)
{
    if (!result) return;
    IncludedCopy* copy = static_cast<IncludedCopy*>(result->userData);
    if (!channel.put(ReleaseMessage) || !channel.put(copy->id)) _exit(3);
    delete copy;
    delete result;
}

glslang::TShader::Includer::IncludeResult* RelayIncluder::ask(uint32_t system, const char* header,
                                                                const char* includer, size_t depth)
{
    header = header ? header : "";
    includer = includer ? includer : "";
    uint64_t id = 0;
    // A broken channel means the caller has gone: nobody waits for a result.
    if (!channel.put(IncludeMessage) || !channel.put(system) || !channel.putText(header, std::strlen(header)) ||
        !channel.putText(includer, std::strlen(includer)) || !channel.put<uint64_t>(depth) || !channel.get(id))
        _exit(3);
    if (id == 0) return nullptr;
    auto copy = std::make_unique<IncludedCopy>();
    copy->id = id;
    if (!channel.getText(copy->name) || !channel.getText(copy->contents)) _exit(3);
    IncludedCopy* held = copy.release();
    return new IncludeResult(held->name, held->contents.data(), held->contents.size(), held);
}
