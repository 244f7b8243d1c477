// Bad shader sources, end to end: tarnvale-capture runs in a copy of the
// working folder in which superellipsoid.vsh, superellipsoid.psh and
// textfont.vsh are damaged.
//
// Expected behaviour
//
//   shader source is ...                        | expected
//   --------------------------------------------+--------------------------------------------
//   missing                                     | a message naming the file (and, where it
//   empty                                       | compiled, the compiler's complaint); an
//   cut in half                                 | orderly stop before the first frame with
//   binary junk in the middle (NULs, 0xFF)      | exit status 1. Never a crash, a hang or
//   a syntax error                              | a sanitizer report.
//   no "main" (the entry point renamed)         |
//   the other stage's code (pixel code in a     |
//   .vsh, vertex code in the .psh)              |
//   including itself (an endless #include loop) |
//   a folder                                    |
//   a FIFO (opening it must not wait)           |
//   5 GiB (sparse; too large to read)           |
//   beyond its profile (an array of 100,000     |
//   floats; the driver took 44 s and 3 GiB      |
//   over it)                                    |
//
// Every shader is compiled at start-up even when an earlier one failed, so
// one run damages all three, each in a different way, and the damages
// rotate over the files from run to run; every file must be named in every
// run. The runs with a single damaged file check that it alone stops the
// program.
#include "BadInputChecks.h"
#include "ScratchFolder.h"

using namespace badinput;

namespace {

enum class Damage {
    Missing,
    Empty,
    CutInHalf,
    BinaryJunk,
    SyntaxError,
    NoMain,
    OtherStage,
    IncludesItself,
    Folder,
    Fifo,
    FiveGigabytes,
    BeyondItsProfile,
};

struct DamageCase {
    Damage damage;
    const char* what;
};

const DamageCase damages[] = {
    {Damage::Missing, "missing"},
    {Damage::Empty, "empty"},
    {Damage::CutInHalf, "cut in half"},
    {Damage::BinaryJunk, "binary junk"},
    {Damage::SyntaxError, "syntax error"},
    {Damage::NoMain, "no main"},
    {Damage::OtherStage, "the other stage's code"},
    {Damage::IncludesItself, "includes itself"},
    {Damage::Folder, "a folder"},
    {Damage::Fifo, "a FIFO"},
    {Damage::FiveGigabytes, "5 GiB"},
    {Damage::BeyondItsProfile, "beyond its profile"},
};
constexpr size_t damageCount = sizeof damages / sizeof damages[0];

std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string replaceAll(std::string s, const std::string& from, const std::string& to)
{
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
    return s;
}

::testing::AssertionResult apply(const ScratchFolder& folder, const std::string& file, Damage damage)
{
    const std::string source = text(folder.read(file));
    bool ok = true;
    switch (damage) {
    case Damage::Missing: folder.remove(file); break;
    case Damage::Empty: ok = folder.write(file, std::string()); break;
    case Damage::CutInHalf: ok = folder.write(file, source.substr(0, source.size() / 2)); break;
    case Damage::BinaryJunk: {
        std::string junk = source;
        for (size_t i = junk.size() / 2; i < junk.size() / 2 + 16 && i < junk.size(); ++i) junk[i] = i % 2 ? '\0' : '\xFF';
        ok = folder.write(file, junk);
        break;
    }
    case Damage::SyntaxError: ok = folder.write(file, source + "\nfloat4 broken( : COLOR0 {\n"); break;
    case Damage::NoMain: ok = folder.write(file, replaceAll(source, "main(", "mainEntry(")); break;
    case Damage::OtherStage: {
        // A pixel shader where a vertex shader belongs, and the other way round.
        const std::string other = file == "superellipsoid.psh" ? "superellipsoid.vsh" : "superellipsoid.psh";
        ok = folder.write(file, text(ScratchFolder::readOriginal(other)));
        break;
    }
    case Damage::IncludesItself: ok = folder.write(file, "#include \"" + file + "\"\n" + source); break;
    case Damage::Folder: ok = folder.replaceWithFolder(file); break;
    case Damage::Fifo: ok = folder.replaceWithFifo(file); break;
    case Damage::FiveGigabytes: ok = folder.replaceWithFiveGigabytes(file); break;
    case Damage::BeyondItsProfile:
        ok = folder.write(file, file.find(".psh") != std::string::npos
                                    ? "static float big[100000];\n"
                                      "float4 main(float4 s : TEXCOORD0) : COLOR0\n"
                                      "{ big[(int)(s.x * 100)] = s.y; return big[(int)(s.z * 100)]; }\n"
                                    : "static float big[100000];\n"
                                      "float4 main(float4 p : POSITION) : POSITION\n"
                                      "{ big[(int)p.x] = p.y; return p * big[(int)p.z]; }\n");
        break;
    }
    if (!ok) return ::testing::AssertionFailure() << "could not damage " << file;
    return ::testing::AssertionSuccess();
}

class DamagedShaders : public ::testing::TestWithParam<size_t> {};

TEST_P(DamagedShaders, EachIsNamedAndTheStartFails)
{
    const size_t rotation = GetParam();
    ScratchFolder folder("shaders-" + std::to_string(rotation));
    const std::vector<std::string>& files = ScratchFolder::shaderFiles();
    for (size_t i = 0; i < files.size(); ++i)
        ASSERT_TRUE(apply(folder, files[i], damages[(i + rotation) % damageCount].damage));

    const CaptureRun run = CaptureRun::run(folder.path(), captureArguments());
    ASSERT_TRUE(failedToStart(run));
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_TRUE(named(run, files[i])) << "damage: " << damages[(i + rotation) % damageCount].what;
}

INSTANTIATE_TEST_SUITE_P(Rotations, DamagedShaders, ::testing::Range<size_t>(0, damageCount));

class OneDamagedShader : public ::testing::TestWithParam<std::string> {};

TEST_P(OneDamagedShader, StopsTheProgramAlone)
{
    const std::string file = GetParam();
    ScratchFolder folder("one-shader");
    ASSERT_TRUE(apply(folder, file, Damage::SyntaxError));
    const CaptureRun run = CaptureRun::run(folder.path(), captureArguments());
    ASSERT_TRUE(failedToStart(run));
    EXPECT_TRUE(named(run, file));
    for (const std::string& other : ScratchFolder::shaderFiles())
        if (other != file) {
            EXPECT_TRUE(run.errLinesWith(other + ":").empty()) << run.err;
        }
    // Each of the compiler's complaints reaches the user once.
    const std::vector<std::string> complaints = run.errLinesWith(file + "(");
    EXPECT_FALSE(complaints.empty()) << run.err;
    for (const std::string& line : complaints) {
        const std::string complaint = line.substr(line.find(file + "("));
        EXPECT_EQ(run.errLinesWith(complaint).size(), 1u) << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, OneDamagedShader, ::testing::ValuesIn(ScratchFolder::shaderFiles()),
                         [](const ::testing::TestParamInfo<std::string>& file) {
                             std::string name = file.param;
                             for (char& c : name)
                                 if (c == '.') c = '_';
                             return name;
                         });

// Started with stderr closed, a shader that does not compile still stops the
// program in order: no descriptor opened later (the shader compiler's
// socket, the display connection, a file) may take stderr's number and
// receive the messages meant for it.
TEST(ClosedStderr, ABrokenShaderStillStopsTheProgramInOrder)
{
    ScratchFolder folder("closed-stderr");
    ASSERT_TRUE(apply(folder, "superellipsoid.psh", Damage::SyntaxError));
    testsupport::ChildOptions options;
    options.folder = folder.path();
    options.standardError = "-";
    EXPECT_TRUE(failedToStart(CaptureRun::run(captureArguments(), options)));
}

}  // namespace
