#include "GlslangServer.h"

#include "GlslangWire.h"

#include <tarnvale_d3dx.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// ---- The server ------------------------------------------------------------------

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
        uint32_t kind = 0;
        // The end of the stream: the program has finished with the server.
        if (!channel.get(kind)) _exit(0);
        if (kind == WarmUpMessage) {
            warmUpGlslang();
            continue;
        }
        if (kind != JobMessage) _exit(0);
        GlslangJob job;
        std::string source;
        if (!receiveJob(channel, job, source)) _exit(3);
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

// Moves a descriptor above the standard ones. A program started with one of
// them closed would otherwise get the socket there, and its messages for
// stderr (or a tool's output for stdout) would go into the socket.
bool aboveStandardDescriptors(int& fd)
{
    if (fd > STDERR_FILENO) return true;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(fd);
    fd = moved;
    return moved >= 0;
}

bool startServer()
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    const bool first = aboveStandardDescriptors(fds[0]);
    if (!aboveStandardDescriptors(fds[1]) || !first) {
        for (int fd : fds)
            if (fd >= 0) ::close(fd);
        return false;
    }
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

// Lets go of a server this process cannot use: one a copy of this process
// (fork) inherited from its parent, whose connection is the parent's, or one
// that ended between two compiles (killed from outside).
void forgetUnusableServer()
{
    int status = 0;
    if (server.pid >= 0 &&
        (server.owner != ::getpid() || ::waitpid(server.pid, &status, WNOHANG) == server.pid)) {
        ::close(server.fd);
        server = {};
    }
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

// The server's resident memory in bytes; 0 when it cannot be read.
uint64_t residentBytes(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/statm";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[128];
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0) return 0;
    text[got] = '\0';
    unsigned long long size = 0, resident = 0;
    if (std::sscanf(text, "%llu %llu", &size, &resident) != 2) return 0;
    return resident * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

// The channel for one job on the server now running: its time limit, and a
// watch on the memory it takes from here on (measured as the server's
// resident memory, which a limit on its address space would not bound under
// AddressSanitizer, whose shadow memory is reserved ahead).
Channel jobChannel()
{
    Channel channel(server.fd, std::chrono::steady_clock::now() + std::chrono::seconds(GlslangServer::timeLimitSeconds));
    const pid_t pid = server.pid;
    const uint64_t before = residentBytes(pid);
    if (before != 0)
        channel.watch = [pid, before] { return residentBytes(pid) <= before + GlslangServer::memoryLimitBytes; };
    return channel;
}

}  // namespace

void GlslangServer::start()
{
    std::lock_guard<std::mutex> lock(serverMutex);
    // A server of a parent process, or one that ended, is replaced.
    forgetUnusableServer();
    if (server.pid >= 0) return;
    initialiseGlslang();
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

    // A server that ended between two compiles is not this compile's fault.
    forgetUnusableServer();
    // Initialised before the fork, so the server inherits glslang's tables.
    initialiseGlslang();
    if (server.pid < 0 && !startServer()) {
        output = runGlslang(job, includer);
        return true;
    }

    Channel channel = jobChannel();
    bool sent = sendJob(channel, job);
    if (!sent) {
        // The server ended just now, before it took the job: a new one.
        stopServer(true);
        if (!startServer()) {
            output = runGlslang(job, includer);
            return true;
        }
        channel = jobChannel();
        sent = sendJob(channel, job);
    }
    if (sent && awaitResult(channel, includer, output)) return true;

    // The server is gone, or past its time, or no longer trusted.
    const bool timedOut = channel.timedOut;
    const bool overMemory = channel.stopped;
    const int status = stopServer(!channel.peerClosed);
    output = GlslangOutput();
    failure = timedOut     ? "the shader compiler did not finish within " + std::to_string(timeLimitSeconds) + " seconds"
              : overMemory ? "the shader compiler took more than " + std::to_string(memoryLimitBytes >> 20) +
                                 " MiB of memory for this source"
                           : describeEnd(status);
    return false;
}
