#include "PngOutput.h"

#include <png.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The file being written, kept where a signal handler can read it: the
// name first, then the flag that says it is there.
char inProgress[4096];
volatile sig_atomic_t inProgressSet = 0;

void markInProgress(const std::string& file)
{
    inProgressSet = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (file.size() >= sizeof inProgress) return;
    std::memcpy(inProgress, file.c_str(), file.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    inProgressSet = 1;
}

void clearInProgress()
{
    inProgressSet = 0;
}

// Creates a new, empty file beside `path` (same folder, a hidden name made
// from path's own) for writing, with the permissions a new file at `path`
// would get; returns its descriptor and name, or -1 with the reason.
int createBeside(const std::string& path, std::string& name, std::string& error)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = path.substr(folder.size());
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "." + base + "." + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".tmp";
        markInProgress(name);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        clearInProgress();
        if (errno != EEXIST) break;
    }
    error = std::strerror(errno);
    return -1;
}

// What is at `path` now: nothing or a plain file (replaced through a file
// beside it), a folder (not to be written), or another kind of file (a
// device, a FIFO: written in place).
enum class Target { PlainOrNone, Folder, Special };

Target targetAt(const std::string& path)
{
    struct stat status = {};
    if (::stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return Target::PlainOrNone;
    return S_ISDIR(status.st_mode) ? Target::Folder : Target::Special;
}

bool writeImage(FILE* file, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb, std::string& error)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGB;
    // libpng says only "Write Error" when the file refuses the bytes; the
    // system's reason (a full disk) is more use.
    errno = 0;
    bool ok = png_image_write_to_stdio(&image, file, 0, rgb.data(), 0, nullptr) != 0;
    if (!ok) error = errno != 0 ? std::strerror(errno) : image.message;
    png_image_free(&image);
    if (ok && std::fflush(file) != 0) {
        error = std::strerror(errno);
        ok = false;
    }
    if (std::fclose(file) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    return ok;
}

}  // namespace

bool writePngRgb(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb,
                 std::string& error)
{
    if (width == 0 || height == 0 || rgb.size() != static_cast<size_t>(width) * height * 3) {
        error = "no image to write";
        return false;
    }
    const Target target = targetAt(path);
    if (target == Target::Folder) {
        error = "it is a folder";
        return false;
    }
    if (target == Target::Special) {
        FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) {
            error = std::strerror(errno);
            return false;
        }
        return writeImage(file, width, height, rgb, error);
    }

    std::string temporary;
    const int fd = createBeside(path, temporary, error);
    if (fd < 0) return false;
    FILE* file = ::fdopen(fd, "wb");
    bool ok = file != nullptr;
    if (!ok) {
        error = std::strerror(errno);
        ::close(fd);
    }
    ok = ok && writeImage(file, width, height, rgb, error);
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        ok = false;
    }
    if (!ok) ::unlink(temporary.c_str());
    clearInProgress();
    return ok;
}

bool pngPathWritable(const std::string& path, std::string& error)
{
    const Target target = targetAt(path);
    if (target == Target::Folder) {
        error = "it is a folder";
        return false;
    }
    if (target == Target::Special) {
        if (::access(path.c_str(), W_OK) == 0) return true;
        error = std::strerror(errno);
        return false;
    }
    std::string temporary;
    const int fd = createBeside(path, temporary, error);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(temporary.c_str());
    clearInProgress();
    return true;
}

const char* pngFileInProgress()
{
    return inProgressSet ? inProgress : "";
}
