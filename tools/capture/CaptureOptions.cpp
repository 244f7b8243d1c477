#include "CaptureOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

// Largest values accepted; beyond them a run makes no sense and arithmetic
// on them could overflow.
const uint64_t maxFrames = 100000000;
const double maxFrameTimeSeconds = 3600.0;
const uint32_t maxMouseMoves = 1000000;

template <typename T>
bool parseInteger(std::string_view text, T& value)
{
    if (text.empty())
        return false;
    const char* first = text.data();
    const char* last = first + text.size();
    if (*first == '+')
        ++first;
    auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last;
}

// A client coordinate: a 16-bit value as a mouse message carries it, written
// either signed (-32768..-1, outside the left or top edge) or unsigned.
bool parseCoordinate(std::string_view text, int32_t& value)
{
    return parseInteger(text, value) && value >= -32768 && value <= 65535;
}

// "X,Y"
bool parsePoint(std::string_view text, int32_t& x, int32_t& y)
{
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return false;
    return parseCoordinate(text.substr(0, comma), x) && parseCoordinate(text.substr(comma + 1), y);
}

// Splits "VALUE[@FRAME]".
bool splitFrame(std::string_view text, std::string_view& body, uint64_t& frame)
{
    const size_t at = text.rfind('@');
    frame = 0;
    if (at == std::string_view::npos) {
        body = text;
        return true;
    }
    body = text.substr(0, at);
    return parseInteger(text.substr(at + 1), frame) && frame <= maxFrames;
}

LPARAM pointParam(int32_t x, int32_t y) { return MAKELPARAM(x & 0xFFFF, y & 0xFFFF); }

}  // namespace

uint64_t maxRunFrames(const CaptureOptions& options)
{
    uint64_t last = options.frames;
    if (!options.messages.empty())
        last = std::max(last, options.messages.back().afterFrame);
    // The loop takes one message a frame: a queue of M messages needs up to
    // M frames to drain.
    return last + options.messages.size() + extraFramesForInput;
}

const char* captureUsage()
{
    return "usage: tarnvale-capture [--frames N] [--seed S] [--frame-time SECONDS] [--real-clock]\n"
           "                        [--drag X0,Y0:X1,Y1[@FRAME]] [--mouse-moves N[@FRAME]]\n"
           "                        [--key VK[@FRAME]] [--window] [--debug] [--out PATH.png]\n"
           "                        [--every K] [--help] [--version]\n"
           "\n"
           "Runs Tarnvale headless (or in a window with --window) and prints a one-line JSON summary.\n"
           "  --frames N          run N frames (default 3); scripted input still queued after N\n"
           "                      frames is handled first, so the last frame shows its effect\n"
           "  --seed S            first reading of the scripted clock, also the rack's random seed\n"
           "                      (default 1)\n"
           "  --frame-time SECS   scripted time per frame (default 1/60)\n"
           "  --real-clock        use the real clock instead of the scripted one\n"
           "  --drag X0,Y0:X1,Y1  left-button drag in client pixels, posted after frame FRAME\n"
           "                      (default 0: before the first frame)\n"
           "  --mouse-moves N     left-button press at the client centre, N moves with the button\n"
           "                      held (round a circle of radius 100) and the release, all queued\n"
           "                      at once after frame FRAME; the loop takes one message a frame\n"
           "  --key VK            key press with that virtual-key code (27 = Esc quits)\n"
           "  --window            show a real window instead of rendering offscreen\n"
           "  --debug             run with the application's debug mode on\n"
           "  --out PATH.png      write the last frame as PNG\n"
           "  --every K           with --out, also write every K-th frame as PATH-<frame>.png\n"
           "  --version           print the version\n"
           "Ctrl+C stops the run after the current frame and writes the output for the frames done.\n"
           "Exit status: 0 when the frames ran or the program quit, 1 when it could not start\n"
           "or an output could not be written, 2 for a usage error, 130 after Ctrl+C.\n";
}

bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions& options, std::string& error)
{
    bool seedGiven = false;
    bool frameTimeGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view name = arg;
        std::string_view value;
        bool hasValue = false;
        // Both "--name value" and "--name=value".
        const size_t equals = arg.find('=');
        if (arg.substr(0, 2) == "--" && equals != std::string_view::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasValue = true;
        }

        auto flag = [&]() {
            if (hasValue) {
                error = std::string(name) + " takes no value";
                return false;
            }
            return true;
        };
        auto needValue = [&]() {
            if (hasValue)
                return true;
            if (i + 1 >= argc) {
                error = std::string(name) + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        auto bad = [&](const char* what) {
            error = "bad value for " + std::string(name) + ": '" + std::string(value) + "' (" + what + ")";
            return false;
        };

        if (name == "--help" || name == "-h") {
            if (!flag())
                return false;
            options.help = true;
        } else if (name == "--version") {
            if (!flag())
                return false;
            options.version = true;
        } else if (name == "--real-clock") {
            if (!flag())
                return false;
            options.realClock = true;
        } else if (name == "--window") {
            if (!flag())
                return false;
            options.window = true;
        } else if (name == "--debug") {
            if (!flag())
                return false;
            options.debug = true;
        } else if (name == "--frames") {
            if (!needValue())
                return false;
            if (!parseInteger(value, options.frames) || options.frames < 1 || options.frames > maxFrames)
                return bad("a whole number from 1 to 100000000");
        } else if (name == "--seed") {
            if (!needValue())
                return false;
            if (!parseInteger(value, options.seed) || options.seed < 0)
                return bad("a whole number from 0 to 9223372036854775807");
            seedGiven = true;
        } else if (name == "--frame-time") {
            if (!needValue())
                return false;
            std::string text(value);
            char* end = nullptr;
            const double seconds = std::strtod(text.c_str(), &end);
            if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(seconds) ||
                seconds <= 0.0 || seconds > maxFrameTimeSeconds)
                return bad("seconds, more than 0 and at most 3600");
            options.frameTimeNs = std::max<int64_t>(1, std::llround(seconds * 1e9));
            frameTimeGiven = true;
        } else if (name == "--drag") {
            if (!needValue())
                return false;
            std::string_view body;
            uint64_t frame = 0;
            int32_t x0, y0, x1, y1;
            const bool framed = splitFrame(value, body, frame);
            const size_t colon = body.find(':');
            if (!framed || colon == std::string_view::npos || !parsePoint(body.substr(0, colon), x0, y0) ||
                !parsePoint(body.substr(colon + 1), x1, y1))
                return bad("X0,Y0:X1,Y1[@FRAME] with coordinates from -32768 to 65535");
            options.messages.push_back({frame, WM_LBUTTONDOWN, MK_LBUTTON, pointParam(x0, y0)});
            options.messages.push_back({frame, WM_MOUSEMOVE, MK_LBUTTON, pointParam(x1, y1)});
            options.messages.push_back({frame, WM_LBUTTONUP, 0, pointParam(x1, y1)});
        } else if (name == "--mouse-moves") {
            if (!needValue())
                return false;
            std::string_view body;
            uint64_t frame = 0;
            uint32_t count = 0;
            if (!splitFrame(value, body, frame) || !parseInteger(body, count) || count < 1 || count > maxMouseMoves)
                return bad("N[@FRAME] with N from 1 to 1000000");
            const int32_t centreX = 512, centreY = 384;
            options.messages.push_back({frame, WM_LBUTTONDOWN, MK_LBUTTON, pointParam(centreX, centreY)});
            int32_t x = centreX, y = centreY;
            for (uint32_t move = 0; move < count; ++move) {
                const double angle = static_cast<double>(move) * (3.14159265358979323846 / 180.0);
                x = centreX + static_cast<int32_t>(std::lround(100.0 * std::cos(angle)));
                y = centreY + static_cast<int32_t>(std::lround(100.0 * std::sin(angle)));
                options.messages.push_back({frame, WM_MOUSEMOVE, MK_LBUTTON, pointParam(x, y)});
            }
            options.messages.push_back({frame, WM_LBUTTONUP, 0, pointParam(x, y)});
        } else if (name == "--key") {
            if (!needValue())
                return false;
            std::string_view body;
            uint64_t frame = 0;
            uint32_t key = 0;
            if (!splitFrame(value, body, frame) || !parseInteger(body, key) || key < 1 || key > 255)
                return bad("VK[@FRAME] with a virtual-key code from 1 to 255");
            // lParam: repeat count 1, as for a single key press.
            options.messages.push_back({frame, WM_KEYDOWN, key, 1});
        } else if (name == "--out") {
            if (!needValue())
                return false;
            if (value.empty())
                return bad("a file name");
            options.out = std::string(value);
        } else if (name == "--every") {
            if (!needValue())
                return false;
            if (!parseInteger(value, options.every) || options.every < 1 || options.every > maxFrames)
                return bad("a whole number from 1 to 100000000");
        } else {
            error = "unknown option '" + std::string(arg) + "'";
            return false;
        }
    }

    if (options.every != 0 && options.out.empty()) {
        error = "--every needs --out";
        return false;
    }
    if (options.realClock && (seedGiven || frameTimeGiven)) {
        error = seedGiven ? "--seed has no effect with --real-clock" : "--frame-time has no effect with --real-clock";
        return false;
    }
    std::stable_sort(options.messages.begin(), options.messages.end(),
                     [](const ScriptedMessage& a, const ScriptedMessage& b) { return a.afterFrame < b.afterFrame; });
    // The scripted clock must not run past the largest counter value.
    if (!options.realClock) {
        const __int128 lastFrame = static_cast<__int128>(maxRunFrames(options));
        if (options.seed + lastFrame * options.frameTimeNs > static_cast<__int128>(INT64_MAX)) {
            error = "--seed, --frames and --frame-time together run the clock past its largest value";
            return false;
        }
    }
    return true;
}
