// The messages between the program and its shader compiler's server.
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
#pragma once

#include "GlslangRun.h"

#include <glslang/Public/ShaderLang.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

enum GlslangMessage : uint32_t {
    JobMessage = 1,
    IncludeMessage = 2,
    ReleaseMessage = 3,
    ResultMessage = 4,
    WarmUpMessage = 5,
};

// One end of the socket. With a deadline, a receive that has to wait past
// it fails and sets timedOut. With a watch, a receive that waits asks it
// every watchInterval whether to go on waiting; a false answer fails the
// receive and sets stopped.
class Channel {
public:
    typedef std::chrono::steady_clock::time_point Deadline;

    explicit Channel(int fd, Deadline deadline = {}) : fd(fd), deadline(deadline) {}

    bool send(const void* data, size_t size);
    template <typename T>
    bool put(T value)
    {
        return send(&value, sizeof value);
    }
    bool putText(const char* text, size_t size) { return put<uint64_t>(size) && send(text, size); }
    bool putText(const std::string& text) { return putText(text.data(), text.size()); }

    bool receive(void* data, size_t size);
    template <typename T>
    bool get(T& value)
    {
        return receive(&value, sizeof value);
    }
    bool getText(std::string& text);

    std::function<bool()> watch;
    static constexpr std::chrono::milliseconds watchInterval{10};

    bool timedOut = false;
    bool peerClosed = false;
    bool stopped = false;

private:
    bool waitForData();

    int fd;
    Deadline deadline;
};

// The program's side: sends a job, then answers the server's Include and
// Release messages through `includer` until its Result comes. False when
// the server went, stopped answering or sent something else; every file
// the server did not release is released then.
bool sendJob(Channel& channel, const GlslangJob& job);
bool awaitResult(Channel& channel, glslang::TShader::Includer& includer, GlslangOutput& output);

// The server's side: the rest of a Job message (its kind has been read;
// `source` keeps the text the job points to), and the result.
bool receiveJob(Channel& channel, GlslangJob& job, std::string& source);
bool sendResult(Channel& channel, const GlslangOutput& output);

// The server's includer: asks the caller's includer, in the other process,
// and keeps a copy of each file until glslang releases it. A broken channel
// ends the server (exit status 3): nobody waits for its result any more.
class RelayIncluder final : public glslang::TShader::Includer {
public:
    explicit RelayIncluder(Channel& channel) : channel(channel) {}

    IncludeResult* includeLocal(const char* header, const char* includer, size_t depth) override;
    IncludeResult* includeSystem(const char* header, const char* includer, size_t depth) override;
    void releaseInclude(IncludeResult* result) override;

private:
    IncludeResult* ask(uint32_t system, const char* header, const char* includer, size_t depth);

    Channel& channel;
};
