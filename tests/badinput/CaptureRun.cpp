#include "CaptureRun.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

const char* const toolPath = TARNVALE_BINARY_DIR "/tools/tarnvale-capture";

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// In the child, between fork and exec: only async-signal-safe calls and
// the environment, which is the child's own copy.
[[noreturn]] void execTool(const fs::path& folder, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment, const fs::path& outFile,
                           const fs::path& errFile)
{
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = ::open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::dup2(in, 0) < 0 ||
        ::chdir(folder.c_str()) != 0)
        ::_exit(127);
    for (const std::string& entry : environment) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos)
            ::unsetenv(entry.c_str());
        else
            ::setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(toolPath));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(toolPath, argv.data());
    ::_exit(127);
}

}  // namespace

CaptureRun CaptureRun::run(const fs::path& folder, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment, double timeLimitSeconds)
{
    CaptureRun result;
    const fs::path outFile = folder / ".capture-stdout";
    const fs::path errFile = folder / ".capture-stderr";
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return result;
    if (pid == 0) execTool(folder, arguments, environment, outFile, errFile);
    result.started = true;

    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (done == pid) break;
        if (result.seconds > timeLimitSeconds) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!result.timedOut) {
        if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    }
    result.out = readText(outFile);
    result.err = readText(errFile);
    std::error_code ignored;
    fs::remove(outFile, ignored);
    fs::remove(errFile, ignored);
    return result;
}

std::string CaptureRun::sanitizerReport() const
{
    for (const char* marker : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                               "SUMMARY: UndefinedBehaviorSanitizer", "WARNING: AddressSanitizer"}) {
        const size_t at = err.find(marker);
        if (at != std::string::npos) return err.substr(at, 4000);
    }
    return std::string();
}

std::string CaptureRun::field(const std::string& key) const
{
    std::smatch match;
    const std::regex stringValue("\"" + key + "\":\"((?:[^\"\\\\]|\\\\.)*)\"");
    if (std::regex_search(out, match, stringValue)) return match[1];
    const std::regex numberValue("\"" + key + "\":(-?[0-9.]+)");
    if (std::regex_search(out, match, numberValue)) return match[1];
    return std::string();
}

std::vector<std::string> CaptureRun::errLinesWith(const std::string& text) const
{
    std::vector<std::string> lines;
    std::istringstream in(err);
    std::string line;
    while (std::getline(in, line))
        if (line.find(text) != std::string::npos) lines.push_back(line);
    return lines;
}

std::string CaptureRun::describe() const
{
    std::ostringstream text;
    text << (timedOut ? "timed out" : signal ? "killed by signal " + std::to_string(signal)
                                             : "exit status " + std::to_string(exitStatus))
         << " after " << seconds << " s\n--- stdout:\n" << out << "--- stderr:\n" << err.substr(0, 6000);
    return text.str();
}
