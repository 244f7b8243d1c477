// The whole contents of one file, read at once, and the path conventions
// that the D3DX functions share.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>

class FileData {
public:
    enum class Status { Ok, NotFound, NotAFile, TooLarge, OutOfMemory, ReadError };

    // Which file, and which version of it: equal stamps mean the same
    // contents (as far as the file system can tell).
    struct Stamp {
        unsigned long long device = 0, inode = 0, size = 0;
        long long modified = 0, changed = 0;  // nanoseconds
        bool operator==(const Stamp&) const = default;
    };
    // The stamp of the file at `path` now; false when it cannot be had.
    static bool stampOf(const std::string& path, Stamp& stamp);

    // Windows paths use '\' as a folder separator; here it becomes '/'.
    static std::string normalisePath(const char* path);

    // The folder part of a path ("a/b/c.h" -> "a/", "c.h" -> "").
    static std::string folderOf(const std::string& path);

    // Reads the regular file at `path` if it holds at most maxBytes bytes.
    // On failure the contents are empty and `reason` says why in a few words
    // ("cannot open (No such file or directory)", "file is too large ...").
    Status read(const std::string& path, size_t maxBytes, std::string& reason);

    // What a D3DX call that reads a file returns when the read failed:
    // D3DERR_NOTFOUND for a missing file, D3DXERR_INVALIDDATA for one too
    // large, E_OUTOFMEMORY, else E_FAIL.
    static HRESULT failureResult(Status status);

    const unsigned char* data() const { return bytes.get(); }
    size_t size() const { return length; }
    // The stamp of the file the last successful read read.
    const Stamp& stamp() const { return readStamp; }

private:
    std::unique_ptr<unsigned char[]> bytes;
    size_t length = 0;
    Stamp readStamp;
};
