// tarnvale-capture: runs the real program (window, device, application,
// message loop) for a number of frames with scripted input and a scripted
// clock, headless by default, writes PNG screenshots and prints a one-line
// JSON summary on stdout.
#include "BackBufferReader.h"
#include "CaptureOptions.h"
#include "PngOutput.h"
#include "RunControl.h"
#include "ScriptedInput.h"
#include "../JsonString.h"

#include "app/Application.h"
#include "app/EarlyStart.h"
#include "app/WinMain.h"
#include "scene/SuperellipsoidMesh.h"
#include "text/TextLabel.h"

#include <tarnvale_d3d9.h>
#include <tarnvale_d3dx.h>
#include <tarnvale_platform.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

typedef std::chrono::steady_clock Clock;

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct CaptureRun {
    const CaptureOptions* options = nullptr;
    HWND window = nullptr;
    ScriptedInput* input = nullptr;
    uint64_t presented = 0;      // Present calls seen by the hook
    uint64_t framesRun = 0;
    bool stoppedByTool = false;
    int stoppedBySignal = 0;     // SIGINT (Ctrl+C) or SIGTERM stopped the run
    ProgressLine progress;

    // The last frame read back, kept for --out. Only the frames written are
    // read back: every K-th with --every, and the last.
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;
    uint64_t imageFrame = 0;     // the frame in rgb; 0: none
    uint64_t readBacks = 0;
    bool outputFailed = false;   // the run stops after the frame whose output failed
    std::string outputError;     // what failed, for the summary

    std::string device;
    std::string fpsText;

    // Timing. Time the tool itself spends (copying frames back, writing PNGs,
    // posting) is left out of the program's frame and start-up times; the
    // frame's own drawing, which a read-back waits for, is not.
    Clock::time_point start;
    Clock::time_point windowCreated;
    Clock::time_point firstPresent;
    Clock::time_point lastFrameEnd;
    Clock::time_point firstFrameEnd;
    double toolMilliseconds = 0.0;   // since lastFrameEnd (or start)
    double firstPresentToolMs = 0.0; // tool time before the first Present hook
    double startupMs = 0.0;
    double firstFrameToolMs = 0.0;   // tool time within the first frame
    std::vector<double> frameMs;

    // Minor page faults at the end of the first frame, of the middle one
    // (the second half of the run is past the warm-up) and of the last.
    long faultsAfterFirstFrame = 0;
    long faultsAtMiddle = 0;
    uint64_t middleFrame = 0;
    long faultsAtEnd = 0;
    // The layer's counters at the same two moments.
    tvd3d9::DeviceStats statsAfterFirstFrame = {};
    tvd3d9::DeviceStats statsAtEnd = {};
};

long minorFaults()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

void onWindowCreated(HWND window, void* user)
{
    CaptureRun& run = *static_cast<CaptureRun*>(user);
    run.windowCreated = Clock::now();
    run.window = window;
    // Input scripted for frame 0 waits in the queue for the first loop turn.
    run.input->postDue(window, 0);
    run.toolMilliseconds += millisecondsBetween(run.windowCreated, Clock::now());
}

std::string numberedPath(const std::string& out, uint64_t frame)
{
    std::string base = out;
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".png") == 0)
        base.resize(base.size() - 4);
    return base + "-" + std::to_string(frame) + ".png";
}

// Whether the tool ends the run after this frame: the frames have run and
// every scripted message has been taken from the queue (the frame of the loop
// turn that took the last one has been drawn, so the last frame shows the
// input), or the run has reached its frame limit.
bool toolStopsAfter(const CaptureRun& run, uint64_t frame)
{
    const CaptureOptions& options = *run.options;
    const bool inputHandled = options.messages.empty() || (run.input->allPosted() && tvplat::pendingMessageCount() == 0);
    return (frame >= options.frames && inputHandled) || frame >= maxRunFrames(options);
}

// Whether the program draws no frame after this one, judged at its Present
// (nothing changes the queue between a Present and the end of its frame):
// the tool stops, a stop signal asks it to, or the program's next message is
// WM_QUIT and the tool posts nothing ahead of it after this frame.
bool lastFrame(const CaptureRun& run, uint64_t frame)
{
    return toolStopsAfter(run, frame) || stopSignal() != 0 ||
           (tvplat::quitMessageNext() && !run.input->postsAfter(frame));
}

void onPresent(IDirect3DDevice9* device, void* user)
{
    CaptureRun& run = *static_cast<CaptureRun*>(user);
    Clock::time_point begin = Clock::now();
    const uint64_t frame = ++run.presented;
    if (frame == 1) {
        run.firstPresent = begin;
        run.firstPresentToolMs = run.toolMilliseconds;
    }

    const CaptureOptions& options = *run.options;
    const bool wanted = (options.every != 0 && frame % options.every == 0) || lastFrame(run, frame);
    if (!options.out.empty() && !run.outputFailed && wanted) {
        // Waiting for the frame to be drawn is the frame's own time; the copy
        // is the tool's.
        tvd3d9::finishDrawing(device);
        begin = Clock::now();
        std::string error;
        ++run.readBacks;
        if (readBackBuffer(device, run.width, run.height, run.rgb, error)) {
            run.imageFrame = frame;
            if (options.every != 0 && frame % options.every == 0) {
                const std::string path = numberedPath(options.out, frame);
                if (!writePngRgb(path, run.width, run.height, run.rgb, error)) {
                    run.outputError = "cannot write " + path + ": " + error;
                    run.outputFailed = true;
                }
            }
        } else {
            run.outputError = "cannot read frame " + std::to_string(frame) + " back: " + error;
            run.outputFailed = true;
            run.imageFrame = 0;
        }
    }
    run.toolMilliseconds += millisecondsBetween(begin, Clock::now());
}

bool onFrame(Application& application, IDirect3DDevice9* device, uint64_t frame, void* user)
{
    CaptureRun& run = *static_cast<CaptureRun*>(user);
    const Clock::time_point now = Clock::now();
    const CaptureOptions& options = *run.options;

    if (frame == 1) {
        run.firstFrameEnd = now;
        run.startupMs = millisecondsBetween(run.start, now) - run.toolMilliseconds;
        run.firstFrameToolMs = run.toolMilliseconds - run.firstPresentToolMs;
        run.device = application.deviceDescription();
    } else {
        run.frameMs.push_back(millisecondsBetween(run.lastFrameEnd, now) - run.toolMilliseconds);
    }
    run.framesRun = frame;
    run.fpsText = application.frameRateLabel()->currentText();

    // The next frame reads the counter one frame time later. The first
    // frame read it at the same value as the end of construction, as a real
    // first frame follows construction at once.
    if (!options.realClock)
        tvplat::advanceScriptedClock();

    // Decided before this frame's messages are posted, as at its Present.
    const bool stop = toolStopsAfter(run, frame);
    if (!stop)
        run.input->postDue(run.window, frame);
    run.progress.update(frame);

    run.lastFrameEnd = Clock::now();
    run.toolMilliseconds = 0.0;
    if (frame == 1) {
        run.faultsAfterFirstFrame = minorFaults();
        run.statsAfterFirstFrame = tvd3d9::deviceStats(device);
    } else {
        run.faultsAtEnd = minorFaults();
        run.statsAtEnd = tvd3d9::deviceStats(device);
    }
    if (frame == std::max<uint64_t>(1, options.frames / 2)) {
        run.faultsAtMiddle = run.faultsAtEnd;
        run.middleFrame = frame;
    }
    if (stop)
        run.stoppedByTool = true;
    // An output that failed ends the run: the frames after it would be
    // drawn for nothing.
    if (run.outputFailed)
        return false;
    // A stop signal ends the run after a frame read back for --out: this
    // one if the signal came before its Present, else the next.
    if (stopSignal() != 0 && !stop && (options.out.empty() || run.imageFrame == frame)) {
        run.stoppedBySignal = stopSignal();
        return false;
    }
    return !stop;
}

double percentile(const std::vector<double>& sorted, double fraction)
{
    if (sorted.empty())
        return 0.0;
    // Nearest rank.
    size_t rank = static_cast<size_t>(fraction * static_cast<double>(sorted.size()) + 0.999999);
    rank = std::clamp<size_t>(rank, 1, sorted.size());
    return sorted[rank - 1];
}

std::string jsonNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", std::max(0.0, value));
    return text;
}

// Where start-up went: the steps the layers time, the meshes, and the first
// frame from its first BeginScene to the end of its Present (GL programs are
// linked during it and counted apart). What remains is the rest of building
// the components. A start that failed is accounted for the same way up to
// the moment the program gave up (its teardown included): the steps it took
// before then, within that time.
struct StartupFigures {
    double windowMs = 0.0, deviceMs = 0.0, compileMs = 0.0, createMs = 0.0, linkMs = 0.0, decodeMs = 0.0;
    double prefetchMs = 0.0;  // decoding done ahead on the prefetch thread, beside the steps above
    double uploadMs = 0.0, meshMs = 0.0, firstFrameMs = 0.0, otherMs = 0.0;
    int64_t firstFrameEnd = 0;  // CLOCK_MONOTONIC nanoseconds
};

StartupFigures startupFigures(const CaptureRun& run)
{
    const bool started = run.framesRun > 0;
    auto stepMs = [](tvd3d9::StartupStep step) { return static_cast<double>(tvd3d9::startupTime(step)) / 1e6; };
    StartupFigures f;
    f.windowMs = run.windowCreated != Clock::time_point() ? millisecondsBetween(run.start, run.windowCreated) : 0.0;
    f.deviceMs = stepMs(tvd3d9::StartupStep::DeviceCreation);
    f.compileMs = stepMs(tvd3d9::StartupStep::ShaderCompilation);
    f.createMs = stepMs(tvd3d9::StartupStep::ShaderCreation);
    f.linkMs = stepMs(tvd3d9::StartupStep::ProgramLinking);
    f.decodeMs = stepMs(tvd3d9::StartupStep::ImageDecoding);
    f.prefetchMs = stepMs(tvd3d9::StartupStep::ImagePrefetch);
    f.uploadMs = stepMs(tvd3d9::StartupStep::TextureUpload);
    f.meshMs = static_cast<double>(superellipsoidGenerationTime()) / 1e6;
    const int64_t firstScene = tvd3d9::firstSceneTime();
    f.firstFrameEnd = std::chrono::duration_cast<std::chrono::nanoseconds>(run.firstFrameEnd.time_since_epoch()).count();
    f.firstFrameMs = started && firstScene != 0
                         ? static_cast<double>(f.firstFrameEnd - firstScene) / 1e6 - run.firstFrameToolMs - f.linkMs
                         : 0.0;
    f.otherMs = run.startupMs - f.windowMs - f.deviceMs - f.compileMs - f.createMs - f.linkMs - f.decodeMs -
                f.uploadMs - f.meshMs - f.firstFrameMs;
    return f;
}

// Writes `text` to stdout; false, with a message, when it cannot be written.
bool printText(const std::string& text, const char* what)
{
    std::fputs(text.c_str(), stdout);
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    std::fprintf(stderr, "tarnvale-capture: cannot write the %s to standard output: %s\n", what, std::strerror(errno));
    return false;
}

// Prints the one-line summary; false, with a message, when it could not be
// written (a full device, a closed stream).
bool printSummary(const CaptureRun& run, const char* exitReason, const std::string& failure = std::string())
{
    std::vector<double> sorted = run.frameMs;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted.empty() ? 0.0
                          : sorted.size() % 2 ? sorted[sorted.size() / 2]
                                              : 0.5 * (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]);
    const bool started = run.framesRun > 0;
    const StartupFigures f = startupFigures(run);
    const uint64_t measuredFrames = run.frameMs.size();

    std::string json = "{\"frames\":" + std::to_string(run.framesRun);
    json += ",\"read_backs\":" + std::to_string(run.readBacks);
    json += ",\"device\":" + jsonString(run.device);
    json += ",\"fps_text\":" + jsonString(run.fpsText);
    json += ",\"startup_ms\":" + jsonNumber(run.startupMs);
    json += ",\"startup\":{\"window_ms\":" + jsonNumber(f.windowMs) + ",\"device_ms\":" + jsonNumber(f.deviceMs) +
            ",\"shader_compile_ms\":" + jsonNumber(f.compileMs) + ",\"shader_create_ms\":" + jsonNumber(f.createMs) +
            ",\"image_decode_ms\":" + jsonNumber(f.decodeMs) + ",\"image_prefetch_ms\":" + jsonNumber(f.prefetchMs) +
            ",\"texture_upload_ms\":" + jsonNumber(f.uploadMs) +
            ",\"mesh_ms\":" + jsonNumber(f.meshMs) + ",\"program_link_ms\":" + jsonNumber(f.linkMs) +
            ",\"first_frame_ms\":" + jsonNumber(f.firstFrameMs) + ",\"other_ms\":" + jsonNumber(f.otherMs) + "}";
    // The end of the first frame on CLOCK_MONOTONIC, for a caller that
    // measures start-up from the moment it started the process.
    json += ",\"first_present_clock_ns\":" +
            std::to_string(started ? f.firstFrameEnd - static_cast<int64_t>(run.firstFrameToolMs * 1e6) : 0);
    // Page faults of a steady frame: over the second half of the run.
    char faults[32];
    const uint64_t steadyFrames = run.framesRun > run.middleFrame && run.middleFrame > 1 ? run.framesRun - run.middleFrame : 0;
    std::snprintf(faults, sizeof faults, "%.1f",
                  steadyFrames ? static_cast<double>(run.faultsAtEnd - run.faultsAtMiddle) / static_cast<double>(steadyFrames)
                               : 0.0);
    json += ",\"faults_per_frame\":" + std::string(faults);
    // What a steady frame asks of GL, from the layer's counters.
    auto perFrame = [&](uint64_t atEnd, uint64_t afterFirst) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f",
                      measuredFrames ? static_cast<double>(atEnd - afterFirst) / static_cast<double>(measuredFrames) : 0.0);
        return std::string(text);
    };
    const tvd3d9::DeviceStats& a = run.statsAfterFirstFrame;
    const tvd3d9::DeviceStats& b = run.statsAtEnd;
    json += ",\"gl_per_frame\":{\"calls\":" + perFrame(b.glCalls, a.glCalls) +
            ",\"state_calls\":" + perFrame(b.glStateCalls, a.glStateCalls) +
            ",\"draws\":" + perFrame(b.drawCalls, a.drawCalls) +
            ",\"program_binds\":" + perFrame(b.programBinds, a.programBinds) +
            ",\"constant_bytes\":" + perFrame(b.constantUploadBytes, a.constantUploadBytes) + "}";
    json += ",\"frame_ms\":{\"median\":" + jsonNumber(median) + ",\"p95\":" + jsonNumber(percentile(sorted, 0.95)) +
            ",\"max\":" + jsonNumber(sorted.empty() ? 0.0 : sorted.back()) + "}";
    json += ",\"exit\":\"" + std::string(exitReason) + "\"";
    if (!failure.empty())
        json += ",\"error\":" + jsonString(failure);
    json += "}\n";
    return printText(json, "summary");
}

}  // namespace

int main(int argc, char** argv)
{
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "tarnvale-capture: %s\n%s", error.c_str(), captureUsage());
        return 2;
    }
    if (options.help)
        return printText(captureUsage(), "usage") ? 0 : 1;
    if (options.version)
        return printText(std::string("tarnvale-capture ") + TARNVALE_VERSION + "\n", "version") ? 0 : 1;
    // Found now rather than after the frames: an output that cannot be written.
    if (!options.out.empty() && !pngPathWritable(options.out, error)) {
        std::fprintf(stderr, "tarnvale-capture: cannot write %s: %s\n", options.out.c_str(), error.c_str());
        return 1;
    }
    catchStopSignals();
    if (!options.window)
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    tvplat::setMessageBoxMode(tvplat::MessageBoxMode::StderrOnly);
    if (!options.realClock)
        tvplat::useScriptedClock(options.seed, options.frameTimeNs, tvplat::ClockStep::PerFrame);

    CaptureRun run;
    run.options = &options;
    ScriptedInput input(options.messages);
    run.input = &input;
    run.frameMs.reserve(options.frames);

    ProgramHooks hooks;
    hooks.debugMode = options.debug;
    hooks.afterFrame = onFrame;
    hooks.windowCreated = onWindowCreated;
    hooks.user = &run;
    tvd3d9::setPresentHook(onPresent, &run);

    // As the program's entry point does: the shader compiler and the image
    // decoding get going while the window and the device are made.
    const EarlyStart earlyStart;
    run.start = Clock::now();
    run.progress.start(options.frames);
    const int status = runProgram(GetModuleHandleA(NULL), hooks);
    const Clock::time_point programEnded = Clock::now();
    tvd3d9::setPresentHook(nullptr, nullptr);
    run.progress.finish();

    // A display that went away ends the run as a failure, whatever the
    // program made of it (its window got WM_DESTROY): the frames done are
    // summed up, and the last one written where it had been read back.
    const std::string displayLost = tvplat::displayLost();
    if (status != 0 || !displayLost.empty()) {
        if (run.framesRun == 0)
            run.startupMs = millisecondsBetween(run.start, programEnded) - run.toolMilliseconds;
        std::string failure =
            !displayLost.empty() ? displayLost : "the program could not start (status " + std::to_string(status) + ")";
        if (!options.out.empty() && !run.outputFailed && run.framesRun > 0 && run.imageFrame == run.framesRun &&
            !writePngRgb(options.out, run.width, run.height, run.rgb, error))
            failure += "; cannot write " + options.out + ": " + error;
        printSummary(run, "failed", failure);
        std::fprintf(stderr, "tarnvale-capture: %s\n", failure.c_str());
        return 1;
    }

    if (!options.out.empty() && !run.outputFailed) {
        if (run.imageFrame == 0 || run.imageFrame != run.framesRun) {
            run.outputError = "no frame to write to " + options.out + " (" +
                              (run.framesRun == 0 ? "no frame was drawn" : "the last frame could not be read back") + ")";
            run.outputFailed = true;
        } else if (!writePngRgb(options.out, run.width, run.height, run.rgb, error)) {
            run.outputError = "cannot write " + options.out + ": " + error;
            run.outputFailed = true;
        }
    }
    if (run.outputFailed) {
        std::fprintf(stderr, "tarnvale-capture: %s\n", run.outputError.c_str());
        printSummary(run, "failed", run.outputError);
        return 1;
    }
    const int signal = run.stoppedBySignal;
    if (!printSummary(run, signal == SIGTERM ? "terminated" : signal != 0 ? "interrupted"
                           : run.stoppedByTool ? "frames" : "quit"))
        return 1;
    return signal != 0 ? 128 + signal : 0;
}
