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


// Where the parse stands: the options so far, and which of those that
// conflict with --real-clock were given.
struct Parse {
    CaptureOptions& options;
    bool seedGiven = false;
    bool frameTimeGiven = false;
};

// Reads an option's value into the parse; false when the value is bad.
typedef bool (*ValueReader)(std::string_view value, Parse& parse);

bool readFrames(std::string_view value, Parse& parse)
{
    uint64_t& frames = parse.options.frames;
    return parseInteger(value, frames) && frames >= 1 && frames <= maxFrames;
}

bool readSeed(std::string_view value, Parse& parse)
{
    parse.seedGiven = true;
    return parseInteger(value, parse.options.seed) && parse.options.seed >= 0;
}

bool readFrameTime(std::string_view value, Parse& parse)
{
    std::string text(value);
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(seconds) || seconds <= 0.0 ||
        seconds > maxFrameTimeSeconds)
        return false;
    parse.options.frameTimeNs = std::max<int64_t>(1, std::llround(seconds * 1e9));
    parse.frameTimeGiven = true;
    return true;
}

// A left-button drag queued after `frame`: the press at the first point, a
// move to each later one, the release at the last.
void addDrag(std::vector<ScriptedMessage>& messages, uint64_t frame, const std::vector<POINT>& points)
{
    messages.push_back({frame, WM_LBUTTONDOWN, MK_LBUTTON, pointParam(points.front().x, points.front().y)});
    for (size_t i = 1; i < points.size(); ++i)
        messages.push_back({frame, WM_MOUSEMOVE, MK_LBUTTON, pointParam(points[i].x, points[i].y)});
    messages.push_back({frame, WM_LBUTTONUP, 0, pointParam(points.back().x, points.back().y)});
}

bool readDrag(std::string_view value, Parse& parse)
{
    std::string_view body;
    uint64_t frame = 0;
    int32_t x0, y0, x1, y1;
    const bool framed = splitFrame(value, body, frame);
    const size_t colon = body.find(':');
    if (!framed || colon == std::string_view::npos || !parsePoint(body.substr(0, colon), x0, y0) ||
        !parsePoint(body.substr(colon + 1), x1, y1))
        return false;
    addDrag(parse.options.messages, frame, {{x0, y0}, {x1, y1}});
    return true;
}

bool readMouseMoves(std::string_view value, Parse& parse)
{
    std::string_view body;
    uint64_t frame = 0;
    uint32_t count = 0;
    if (!splitFrame(value, body, frame) || !parseInteger(body, count) || count < 1 || count > maxMouseMoves)
        return false;
    const int32_t centreX = 512, centreY = 384;
    std::vector<POINT> points = {{centreX, centreY}};
    for (uint32_t move = 0; move < count; ++move) {
        const double angle = static_cast<double>(move) * (3.14159265358979323846 / 180.0);
        points.push_back({centreX + static_cast<int32_t>(std::lround(100.0 * std::cos(angle))),
                          centreY + static_cast<int32_t>(std::lround(100.0 * std::sin(angle)))});
    }
    addDrag(parse.options.messages, frame, points);
    return true;
}

bool readKey(std::string_view value, Parse& parse)
{
    std::string_view body;
    uint64_t frame = 0;
    uint32_t key = 0;
    if (!splitFrame(value, body, frame) || !parseInteger(body, key) || key < 1 || key > 255) return false;
    // lParam: repeat count 1, as for a single key press.
    parse.options.messages.push_back({frame, WM_KEYDOWN, key, 1});
    return true;
}

bool readOut(std::string_view value, Parse& parse)
{
    if (value.empty()) return false;
    parse.options.out = std::string(value);
    return true;
}

bool readEvery(std::string_view value, Parse& parse)
{
    uint64_t& every = parse.options.every;
    return parseInteger(value, every) && every >= 1 && every <= maxFrames;
}

// The options: those without a value set a flag, the others read their
// value (said in a usage error: what a good one looks like).
struct OptionRule {
    std::string_view name;
    std::string_view alias;  // another spelling, or empty
    bool CaptureOptions::*flag;
    ValueReader read;
    const char* expected;
};

const OptionRule optionRules[] = {
    {"--help", "-h", &CaptureOptions::help, nullptr, nullptr},
    {"--version", {}, &CaptureOptions::version, nullptr, nullptr},
    {"--real-clock", {}, &CaptureOptions::realClock, nullptr, nullptr},
    {"--window", {}, &CaptureOptions::window, nullptr, nullptr},
    {"--debug", {}, &CaptureOptions::debug, nullptr, nullptr},
    {"--frames", {}, nullptr, readFrames, "a whole number from 1 to 100000000"},
    {"--seed", {}, nullptr, readSeed, "a whole number from 0 to 9223372036854775807"},
    {"--frame-time", {}, nullptr, readFrameTime, "seconds, more than 0 and at most 3600"},
    {"--drag", {}, nullptr, readDrag, "X0,Y0:X1,Y1[@FRAME] with coordinates from -32768 to 65535"},
    {"--mouse-moves", {}, nullptr, readMouseMoves, "N[@FRAME] with N from 1 to 1000000"},
    {"--key", {}, nullptr, readKey, "VK[@FRAME] with a virtual-key code from 1 to 255"},
    {"--out", {}, nullptr, readOut, "a file name"},
    {"--every", {}, nullptr, readEvery, "a whole number from 1 to 100000000"},
};

const OptionRule* findRule(std::string_view name)
{
    for (const OptionRule& rule : optionRules)
        if (rule.name == name || (!rule.alias.empty() && rule.alias == name)) return &rule;
    return nullptr;
}

// Parses argv[i] (and its value, which may be argv[i + 1]: i moves past it).
bool parseArgument(int argc, const char* const* argv, int& i, Parse& parse, std::string& error)
{
    const std::string_view arg = argv[i];
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
    const OptionRule* rule = findRule(name);
    if (rule == nullptr) {
        error = "unknown option '" + std::string(arg) + "'";
        return false;
    }
    if (rule->flag != nullptr) {
        if (hasValue) {
            error = std::string(name) + " takes no value";
            return false;
        }
        parse.options.*(rule->flag) = true;
        return true;
    }
    if (!hasValue) {
        if (i + 1 >= argc) {
            error = std::string(name) + " needs a value";
            return false;
        }
        value = argv[++i];
    }
    if (rule->read(value, parse)) return true;
    error = "bad value for " + std::string(name) + ": '" + std::string(value) + "' (" + rule->expected + ")";
    return false;
}

// The checks of the options together, once all are read.
bool checkTogether(const Parse& parse, std::string& error)
{
    const CaptureOptions& options = parse.options;
    if (options.every != 0 && options.out.empty()) {
        error = "--every needs --out";
        return false;
    }
    if (options.realClock && (parse.seedGiven || parse.frameTimeGiven)) {
        error = parse.seedGiven ? "--seed has no effect with --real-clock"
                                : "--frame-time has no effect with --real-clock";
        return false;
    }
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
           "  --seed S            first reading of the scripted clock (default 1), 0 to 2^63-1; the\n"
           "                      program seeds the rack's random numbers with the clock's low 32\n"
           "                      bits, of which rand uses 31: seeds that agree in their low 31\n"
           "                      bits (S, S + 2^31, S + 2^32, ...) draw the same rack\n"
           "  --frame-time SECS   scripted time per frame (default 1/60)\n"
           "  --real-clock        use the real clock instead of the scripted one\n"
           "  --drag X0,Y0:X1,Y1  left-button drag in client pixels, posted after frame FRAME\n"
           "                      (default 0: before the first frame)\n"
           "  --mouse-moves N     left-button press at the client centre, N moves with the button\n"
           "                      held (round a circle of radius 100) and the release, posted after\n"
           "                      frame FRAME; the loop takes one message a frame, and what the\n"
           "                      queue cannot hold (10000 messages) follows as it empties\n"
           "  --key VK            key press with that virtual-key code (27 = Esc quits)\n"
           "  --window            show a real window instead of rendering offscreen\n"
           "  --debug             run with the application's debug mode on\n"
           "  --out PATH.png      write the last frame as PNG (the folder must be writable; a file\n"
           "                      there is replaced only by a whole new image)\n"
           "  --every K           with --out, also write every K-th frame as PATH-<frame>.png;\n"
           "                      the run stops at the first that cannot be written\n"
           "  --version           print the version\n"
           "Ctrl+C (SIGINT) or SIGTERM stops the run after the current frame and writes the output\n"
           "for the frames done.\n"
           "Exit status: 0 when the frames ran or the program quit, 1 when it could not start, an\n"
           "output (a PNG file, the summary) could not be written or the X server went away, 2 for a\n"
           "usage error, 130 after Ctrl+C, 143 after SIGTERM.\n";
}

bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions& options, std::string& error)
{
    Parse parse{options};
    for (int i = 1; i < argc; ++i)
        if (!parseArgument(argc, argv, i, parse, error)) return false;
    std::stable_sort(options.messages.begin(), options.messages.end(),
                     [](const ScriptedMessage& a, const ScriptedMessage& b) { return a.afterFrame < b.afterFrame; });
    return checkTogether(parse, error);
}
