#include "GlslangServer.h"

#include <glslang/MachineIndependent/localintermediate.h>
#include <glslang/Public/ResourceLimits.h>
#include <glslang/SPIRV/GlslangToSpv.h>

#include <tarnvale_d3dx.h>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace {

// glslang's process-wide tables are built once, on first use, and torn down
// when the process exits.
class GlslangProcess {
public:
    GlslangProcess() { glslang::InitializeProcess(); }
    ~GlslangProcess() { glslang::FinalizeProcess(); }
};

void initialiseGlslangOnce()
{
    static GlslangProcess process;
    (void)process;
}

// Parses, links and generates SPIR-V: everything glslang does.
GlslangOutput runGlslang(const GlslangJob& job, glslang::TShader::Includer& includer)
{
    initialiseGlslangOnce();
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

// ---- Messages between this process and the server -----------------------------
//
// One stream socket (a socket rather than pipes: writing to a peer that has
// gone fails instead of raising SIGPIPE). Numbers in host order, texts as a
// u64 length and the bytes.
//   to the server:    Job      u32 stage, text name, text preamble, text entry point, text source
//                     (answer to Include) u64 id (0: not found) [, text header name, text contents]
//                     WarmUp   (nothing; no answer)
//   from the server:  Include  u32 system, text header name, text includer name, u64 depth
//                     Release  u64 id
//                     Result   u32 step, text parse log, text link log, text code log, text SPIR-V
enum Message : uint32_t { JobMessage = 1, IncludeMessage = 2, ReleaseMessage = 3, ResultMessage = 4, WarmUpMessage = 5 };

// Longest text accepted from the other side (sources are at most 16 MiB).
constexpr uint64_t maxText = uint64_t{1} << 31;

class Channel {
public:
    typedef std::chrono::steady_clock::time_point Deadline;

    Channel(int fd, Deadline deadline = {}) : fd(fd), deadline(deadline) {}

    bool send(const void* data, size_t size)
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

    template <typename T>
    bool put(T value)
    {
        return send(&value, sizeof value);
    }

    bool putText(const char* text, size_t size) { return put<uint64_t>(size) && send(text, size); }
    bool putText(const std::string& text) { return putText(text.data(), text.size()); }

    bool receive(void* data, size_t size)
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

    template <typename T>
    bool get(T& value)
    {
        return receive(&value, sizeof value);
    }

    bool getText(std::string& text)
    {
        uint64_t size = 0;
        if (!get(size) || size > maxText) return false;
        text.resize(size);
        return receive(text.data(), text.size());
    }

    bool timedOut = false;
    bool peerClosed = false;

private:
    bool waitForData()
    {
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                timedOut = true;
                return false;
            }
            pollfd wait = {fd, POLLIN, 0};
            const int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
            if (ready > 0) return true;
            if (ready < 0 && errno != EINTR) return false;
        }
    }

    int fd;
    Deadline deadline;
};

// ---- The server ------------------------------------------------------------------

// The server's includer: asks the caller's includer, in the other process,
// and keeps a copy of each file until glslang releases it.
class RelayIncluder final : public glslang::TShader::Includer {
public:
    explicit RelayIncluder(Channel& channel) : channel(channel) {}

    IncludeResult* includeLocal(const char* header, const char* includer, size_t depth) override
    {
        return ask(0, header, includer, depth);
    }

    IncludeResult* includeSystem(const char* header, const char* includer, size_t depth) override
    {
        return ask(1, header, includer, depth);
    }

    void releaseInclude(IncludeResult* result) override
    {
        if (!result) return;
        Copy* copy = static_cast<Copy*>(result->userData);
        if (!channel.put(ReleaseMessage) || !channel.put(copy->id)) _exit(3);
        delete copy;
        delete result;
    }

private:
    struct Copy {
        uint64_t id;
        std::string name;
        std::string contents;
    };

    IncludeResult* ask(uint32_t system, const char* header, const char* includer, size_t depth)
    {
        header = header ? header : "";
        includer = includer ? includer : "";
        uint64_t id = 0;
        // A broken channel means the caller has gone: nobody waits for a result.
        if (!channel.put(IncludeMessage) || !channel.put(system) || !channel.putText(header, std::strlen(header)) ||
            !channel.putText(includer, std::strlen(includer)) || !channel.put<uint64_t>(depth) || !channel.get(id))
            _exit(3);
        if (id == 0) return nullptr;
        auto copy = std::make_unique<Copy>();
        copy->id = id;
        if (!channel.getText(copy->name) || !channel.getText(copy->contents)) _exit(3);
        Copy* held = copy.release();
        return new IncludeResult(held->name, held->contents.data(), held->contents.size(), held);
    }

    Channel& channel;
};

bool sendResult(Channel& channel, const GlslangOutput& out)
{
    return channel.put(ResultMessage) && channel.put(out.step) && channel.putText(out.parseLog) &&
           channel.putText(out.linkLog) && channel.putText(out.codeLog) &&
           channel.putText(reinterpret_cast<const char*>(out.spirv.data()), out.spirv.size() * sizeof(unsigned int));
}

// Compiles a small shader of its own, so that glslang builds its tables of
// built-in functions (most of the time the first compile takes) before the
// program sends its first.
void warmUp()
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

[[noreturn]] void serve(int fd)
{
    // A crash must end this process, not run the handlers the program
    // installed (a sanitizer's or a fuzzer's report, an application's), and
    // leaves no core file behind.
    for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP}) ::signal(signal, SIG_DFL);
    ::signal(SIGINT, SIG_IGN);  // Ctrl+C in a terminal is the program's to handle
    const rlimit noCore = {0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    // Keep standard input and output and the socket, nothing else of the
    // program's (its files, its display connection).
    if (fd != 3) {
        ::dup2(fd, 3);
        fd = 3;
    }
    ::close_range(4, ~0u, 0);

    Channel channel(fd);
    for (;;) {
        uint32_t kind = 0, stage = 0;
        GlslangJob job;
        std::string source;
        // The end of the stream: the program has finished with the server.
        if (!channel.get(kind)) _exit(0);
        if (kind == WarmUpMessage) {
            warmUp();
            continue;
        }
        if (kind != JobMessage) _exit(0);
        if (!channel.get(stage) || stage > EShLangFragment || !channel.getText(job.sourceName) ||
            !channel.getText(job.preamble) || !channel.getText(job.entryPoint) || !channel.getText(source))
            _exit(3);
        job.stage = static_cast<EShLanguage>(stage);
        job.source = source.data();
        job.length = source.size();
        RelayIncluder includer(channel);
        if (!sendResult(channel, runGlslang(job, includer))) _exit(3);
    }
}

// ---- The client --------------------------------------------------------------------

struct ServerProcess {
    pid_t pid = -1;
    pid_t owner = -1;  // the process that started it
    int fd = -1;
};

std::mutex serverMutex;
ServerProcess server;

bool startServer()
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (child == 0) {
        ::close(fds[0]);
        serve(fds[1]);
    }
    ::close(fds[1]);
    server = {child, ::getpid(), fds[0]};
    return true;
}

// Ends the server (killing it first when it may still run) and returns its
// wait status, -1 when it cannot be had.
int stopServer(bool kill)
{
    ::close(server.fd);
    if (kill) ::kill(server.pid, SIGKILL);
    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(server.pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    server = {};
    return waited < 0 ? -1 : status;
}

std::string describeEnd(int status)
{
    if (status != -1 && WIFSIGNALED(status)) {
        const char* name = strsignal(WTERMSIG(status));
        return "the shader compiler crashed on this source (" + std::string(name ? name : "signal") + ")";
    }
    if (status != -1 && WIFEXITED(status))
        return "the shader compiler stopped without a result (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    return "the shader compiler stopped without a result";
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

}  // namespace

void GlslangServer::start()
{
    std::lock_guard<std::mutex> lock(serverMutex);
    if (server.pid >= 0 && server.owner == ::getpid()) return;
    if (server.pid >= 0) {  // a copy of this process: the connection is its parent's
        ::close(server.fd);
        server = {};
    }
    initialiseGlslangOnce();
    // Nothing is lost if this fails: the first compile starts a server then.
    if (startServer()) Channel(server.fd).put(WarmUpMessage);
}

void tvd3dx::startShaderCompiler()
{
    GlslangServer::start();
}

bool GlslangServer::compile(const GlslangJob& job, glslang::TShader::Includer& includer, GlslangOutput& output,
                            std::string& failure)
{
    std::lock_guard<std::mutex> lock(serverMutex);
    output = GlslangOutput();
    failure.clear();

    // A copy of this process (fork) shares the parent's connection: it
    // must not talk over it, and starts a server of its own.
    if (server.pid >= 0 && server.owner != ::getpid()) {
        ::close(server.fd);
        server = {};
    }
    // A server that ended between two compiles (killed from outside) is
    // reaped and replaced: this compile is not to blame.
    int status = 0;
    if (server.pid >= 0 && ::waitpid(server.pid, &status, WNOHANG) == server.pid) {
        ::close(server.fd);
        server = {};
    }
    // Initialised before the fork, so the server inherits glslang's tables.
    initialiseGlslangOnce();
    if (server.pid < 0 && !startServer()) {
        output = runGlslang(job, includer);
        return true;
    }

    Channel channel(server.fd, std::chrono::steady_clock::now() + std::chrono::seconds(timeLimitSeconds));
    std::map<uint64_t, glslang::TShader::Includer::IncludeResult*> held;
    uint64_t nextId = 1;
    bool done = false;
    auto sendJob = [&](Channel& to) {
        return to.put(JobMessage) && to.put<uint32_t>(job.stage) && to.putText(job.sourceName) &&
               to.putText(job.preamble) && to.putText(job.entryPoint) &&
               to.putText(job.source ? job.source : "", job.source ? job.length : 0);
    };
    bool sent = sendJob(channel);
    if (!sent) {
        // The server ended just now, before it took the job: a new one.
        stopServer(true);
        if (!startServer()) {
            output = runGlslang(job, includer);
            return true;
        }
        channel = Channel(server.fd, std::chrono::steady_clock::now() + std::chrono::seconds(timeLimitSeconds));
        sent = sendJob(channel);
    }
    while (sent) {
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
    if (done) return true;

    // The server is gone, or past its time, or no longer trusted.
    const bool timedOut = channel.timedOut;
    status = stopServer(!channel.peerClosed);
    output = GlslangOutput();
    failure = timedOut ? "the shader compiler did not finish within " + std::to_string(timeLimitSeconds) + " seconds"
                       : describeEnd(status);
    return false;
}
