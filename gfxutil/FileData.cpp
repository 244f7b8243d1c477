#include "FileData.h"

#include <d3dx9.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

std::string FileData::normalisePath(const char* path)
{
    std::string result = path ? path : "";
    for (char& c : result)
        if (c == '\\') c = '/';
    return result;
}

namespace {

FileData::Stamp stampFrom(const struct stat& info)
{
    FileData::Stamp stamp;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = static_cast<unsigned long long>(info.st_size);
    stamp.modified = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changed = static_cast<long long>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return stamp;
}

}  // namespace

bool FileData::stampOf(const std::string& path, Stamp& stamp)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return false;
    stamp = stampFrom(info);
    return true;
}

std::string FileData::folderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

FileData::Status FileData::read(const std::string& path, size_t maxBytes, std::string& reason)
{
    bytes.reset();
    length = 0;
    readStamp = Stamp();
    // O_NONBLOCK: opening a FIFO (or a device) for reading would otherwise
    // wait for a writer, possibly for ever. Only regular files are read, and
    // for those the flag changes nothing.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        int error = errno;
        reason = std::string("cannot open file (") + std::strerror(error) + ")";
        return error == ENOENT || error == ENOTDIR ? Status::NotFound : Status::ReadError;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        reason = "cannot open file (not a regular file)";
        return Status::NotAFile;
    }
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        ::close(fd);
        reason = "file is too large (" + std::to_string(static_cast<long long>(info.st_size)) + " bytes; at most " +
                 std::to_string(maxBytes) + ")";
        return Status::TooLarge;
    }
    size_t size = static_cast<size_t>(info.st_size);
    // One spare byte keeps a zero after the contents, for text.
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size + 1]);
    if (!buffer) {
        ::close(fd);
        reason = "out of memory reading the file";
        return Status::OutOfMemory;
    }
    size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, buffer.get() + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (got != size) {
        reason = "cannot read file";
        return Status::ReadError;
    }
    buffer[size] = 0;
    bytes = std::move(buffer);
    length = size;
    readStamp = stampFrom(info);
    return Status::Ok;
}

HRESULT FileData::failureResult(Status status)
{
    switch (status) {
    case Status::NotFound: return D3DERR_NOTFOUND;
    case Status::TooLarge: return D3DXERR_INVALIDDATA;
    case Status::OutOfMemory: return E_OUTOFMEMORY;
    default: return E_FAIL;
    }
}
