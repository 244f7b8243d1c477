// How the two builders of the program's geometry scale with their input:
// the superellipsoid generator with its tessellation (the time per grid point
// should stay flat) and a text label's vertex build with its length (the time
// per character should stay flat). Labels are built against the recording
// device of the tests, which never touches OpenGL.
//
//   build/bench/tarnvale-scaling          (from the repository root)
#include "scene/SuperellipsoidMesh.h"
#include "support/RecordingDevice.h"
#include "text/BitmapFont.h"
#include "text/TextLabel.h"
#include "text/TextRenderer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void generateMesh(benchmark::State& state)
{
    const int32_t n = static_cast<int32_t>(state.range(0));
    const int64_t gridPoints = int64_t{n} * (n / 2 + 2);
    // One run first, so the timed runs measure the generator and not the
    // first touch of the output's pages (100 MB at 1024).
    std::vector<BallVertex> vertices;
    generateSuperellipsoid(n, 100.0f, 1.0f, 1.0f, vertices);
    for (auto _ : state) {
        if (!generateSuperellipsoid(n, 100.0f, 1.0f, 1.0f, vertices)) {
            state.SkipWithError("the generator refused the tessellation");
            break;
        }
        benchmark::DoNotOptimize(vertices.data());
    }
    state.SetItemsProcessed(state.iterations() * gridPoints);
    state.counters["grid_points"] = static_cast<double>(gridPoints);
    state.counters["per_point"] = benchmark::Counter(static_cast<double>(gridPoints),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}
BENCHMARK(generateMesh)->RangeMultiplier(2)->Range(16, 1024)->Unit(benchmark::kMicrosecond);

// One renderer and font on the recording device, as the program builds them.
struct Overlay {
    testing_support::RecordingDevice device;
    float width = 1024.0f;
    float height = 768.0f;
    TextRenderer* renderer = nullptr;
    BitmapFont* font = nullptr;

    Overlay()
    {
        renderer = new TextRenderer(&device, width, height);
        font = new BitmapFont(7, 13, 128, 18, "res\\smallfonts128x128.png", renderer);
        renderer->addFont(font);
    }
    ~Overlay() { delete renderer; }
};

// setText with a text of N characters, alternating between two texts of
// the same length so every call rebuilds (the buffer, once grown, is reused,
// as the frame-rate label's is).
void buildLabel(benchmark::State& state)
{
    const size_t length = static_cast<size_t>(state.range(0));
    Overlay overlay;
    TextLabel* label = new TextLabel(overlay.font);
    overlay.font->addLabel(label);
    label->setPosition(-502.0f, -374.0f);
    std::string texts[2];
    for (size_t i = 0; i < length; ++i) {
        texts[0] += static_cast<char>(' ' + i % 91);
        texts[1] += static_cast<char>('z' - i % 91);
    }
    size_t which = 0;
    for (auto _ : state) {
        label->setText(texts[which]);
        which ^= 1;
        overlay.device.clearCalls();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(length));
    state.counters["per_char"] = benchmark::Counter(static_cast<double>(length),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}
BENCHMARK(buildLabel)->RangeMultiplier(4)->Range(1, 4096)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
