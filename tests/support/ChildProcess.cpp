#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace testsupport {

namespace {

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A file name of the test's own for a child's output.
fs::path scratchFile(const char* what)
{
    static int counter = 0;
    return fs::temp_directory_path() /
           ("tarnvale-child-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + "." + what);
}

// In the child, between fork and exec: only async-signal-safe calls and the
// environment, which is the child's own copy.
[[noreturn]] void execChild(const fs::path& program, const std::vector<std::string>& arguments,
                            const ChildOptions& options, const fs::path& outFile, const fs::path& errFile,
                            int extraFd)
{
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = errFile.empty() ? out : ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = ::open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::dup2(in, 0) < 0) ::_exit(127);
    // A stream sent elsewhere, or closed.
    const std::string* const elsewhere[] = {&options.standardOutput, &options.standardError};
    for (int stream = 1; stream <= 2; ++stream) {
        const std::string& target = *elsewhere[stream - 1];
        if (target.empty()) continue;
        const int fd = target == "-" ? -1 : ::open(target.c_str(), O_WRONLY);
        if (target != "-" && (fd < 0 || ::dup2(fd, stream) < 0)) ::_exit(127);
        if (fd >= 0) ::close(fd);
        if (target == "-") ::close(stream);
    }
    if (options.fileSizeLimit > 0) {
        const rlimit limit = {static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
        // Ignored, SIGXFSZ lets the write fail instead of ending the child.
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) ::_exit(127);
    }
    if (!options.folder.empty() && ::chdir(options.folder.c_str()) != 0) ::_exit(127);
    // Everything else of the test's closes; the extra descriptor stays.
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != extraFd) ::close(fd);
    for (const std::string& entry : options.environment) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos)
            ::unsetenv(entry.c_str());
        else
            ::setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
    }
    ::setpgid(0, 0);  // its own group, so a stop reaches what it started
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execvp(program.c_str(), argv.data());
    ::_exit(127);
}

}  // namespace

ChildRun runChild(const fs::path& program, const std::vector<std::string>& arguments, const ChildOptions& options)
{
    ChildRun result;
    const fs::path outFile = scratchFile("out");
    const fs::path errFile = scratchFile("err");
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return result;
    if (pid == 0) execChild(program, arguments, options, outFile, errFile, -1);
    result.started = true;

    int status = 0;
    bool acting = static_cast<bool>(options.whileRunning);
    for (;;) {
        if (acting) acting = !options.whileRunning();
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (done == pid) break;
        if (result.seconds > options.timeLimitSeconds) {
            result.timedOut = true;
            ::kill(-pid, SIGKILL);
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!result.timedOut) {
        if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
        // exec itself failed: the program is not there.
        if (result.exitStatus == 127 && readText(errFile).empty()) result.started = false;
    }
    result.out = readText(outFile);
    result.err = readText(errFile);
    std::error_code ignored;
    fs::remove(outFile, ignored);
    fs::remove(errFile, ignored);
    return result;
}

std::string ChildRun::sanitizerReport() const
{
    for (const char* marker : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                               "SUMMARY: UndefinedBehaviorSanitizer", "WARNING: AddressSanitizer"}) {
        const size_t at = err.find(marker);
        if (at != std::string::npos) return err.substr(at, 4000);
    }
    return std::string();
}

std::vector<std::string> ChildRun::errLinesWith(const std::string& text) const
{
    std::vector<std::string> lines;
    std::istringstream in(err);
    std::string line;
    while (std::getline(in, line))
        if (line.find(text) != std::string::npos) lines.push_back(line);
    return lines;
}

std::string ChildRun::describe() const
{
    std::ostringstream text;
    text << (!started  ? std::string("did not start")
             : timedOut ? std::string("timed out")
             : signal   ? "killed by signal " + std::to_string(signal)
                        : "exit status " + std::to_string(exitStatus))
         << " after " << seconds << " s\n--- stdout:\n" << out << "--- stderr:\n" << err.substr(0, 6000);
    return text.str();
}

BackgroundChild::BackgroundChild(BackgroundChild&& other) noexcept : child(other.child), log(std::move(other.log))
{
    other.child = -1;
}

BackgroundChild& BackgroundChild::operator=(BackgroundChild&& other) noexcept
{
    if (this != &other) {
        stop();
        child = other.child;
        log = std::move(other.log);
        other.child = -1;
    }
    return *this;
}

bool BackgroundChild::start(const fs::path& program, const std::vector<std::string>& arguments,
                            const ChildOptions& options, int extraFd)
{
    stop();
    log = scratchFile("log");
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) execChild(program, arguments, options, log, fs::path(), extraFd);
    child = pid;
    return true;
}

bool BackgroundChild::running()
{
    if (child <= 0) return false;
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) {
        child = -1;
        return false;
    }
    return true;
}

void BackgroundChild::stop()
{
    if (child > 0) {
        ::kill(-child, SIGTERM);
        ::kill(child, SIGTERM);
        int status = 0;
        const bool ended = waitFor([&] { return ::waitpid(child, &status, WNOHANG) == child; },
                                   std::chrono::seconds(5));
        if (!ended) {
            ::kill(-child, SIGKILL);
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
        }
        child = -1;
    }
    if (!log.empty()) {
        std::error_code ignored;
        fs::remove(log, ignored);
        log.clear();
    }
}

std::string BackgroundChild::output() const
{
    return log.empty() ? std::string() : readText(log);
}

namespace {
const char* const childMarker = "TARNVALE_TEST_CHILD";
}

ChildRun runThisTestInChild(const std::vector<std::string>& environment, double timeLimitSeconds)
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    ChildOptions options;
    options.environment = environment;
    options.environment.push_back(std::string(childMarker) + "=1");
    options.environment.push_back("TARNVALE_MESSAGEBOX=stderr");  // nothing may wait for a click
    options.timeLimitSeconds = timeLimitSeconds;
    const std::string filter = std::string(test->test_suite_name()) + "." + test->name();
    return runChild(fs::read_symlink("/proc/self/exe"), {"--gtest_filter=" + filter}, options);
}

bool isTestChild() { return std::getenv(childMarker) != nullptr; }

::testing::AssertionResult passedInChild(const ChildRun& run)
{
    if (run.exitedWith(0) && run.out.find("[  PASSED  ] 1 test.") != std::string::npos &&
        run.out.find("[  SKIPPED ]") == std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the test failed in its child process: " << run.describe();
}

fs::path findProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return fs::path();
}

}  // namespace testsupport
