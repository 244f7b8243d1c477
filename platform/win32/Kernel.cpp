// Module handle, last-error code, the COM base interface's identifier, and
// the layer's switches in the environment.
#include <windows.h>
#include <tarnvale_platform.h>

#include "win32/Win32Internal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

// The program has one thread; the last-error code is per thread on Windows.
thread_local DWORD lastError = ERROR_SUCCESS;
std::string platformError;

// Any non-null, never dereferenced value identifies the executable module.
char moduleTag;

}  // namespace

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    // Only the executable itself (a null name) is known.
    if (lpModuleName != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(&moduleTag);
}

DWORD WINAPI GetLastError()
{
    return lastError;
}

void WINAPI SetLastError(DWORD dwErrCode)
{
    lastError = dwErrCode;
}

namespace tvplat {

const char* lastPlatformError()
{
    return platformError.c_str();
}

bool environmentFlag(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

void holdStandardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free number is fd itself, the others below it being open.
        const int standIn = ::open("/dev/null", (fd == STDIN_FILENO ? O_WRONLY : O_RDONLY) | O_NOCTTY);
        if (standIn >= 0 && standIn != fd) {
            ::dup2(standIn, fd);
            ::close(standIn);
        }
    }
}

namespace detail {

void setPlatformError(DWORD code, const char* reason)
{
    SetLastError(code);
    platformError = reason != nullptr ? reason : "";
}

}  // namespace detail
}  // namespace tvplat
