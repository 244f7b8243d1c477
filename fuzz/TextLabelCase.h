// One fuzz case of label text building. The first input byte picks one of a
// few fonts (the program's 7 x 13 cells on a 128 sheet, and degenerate
// metrics: zero, one and the largest values); the rest is a script of label
// operations, one selector byte each:
//   0  setText with up to 255 bytes of the input
//   1  setText with a long text: a short piece of the input repeated
//   2  setPosition with two raw floats (NaN, infinities, denormals)
//   3  setPosition with two whole-pixel coordinates
//   4  the device's next CreateVertexBuffer fails
//   5  the next vertex buffer Lock fails
//   6  draw, and check what was drawn
// Every case ends with a draw. Shared by the fuzzer and the regression tests.
#pragma once

#include "fuzz/FuzzInput.h"
#include "support/RecordingDevice.h"
#include "text/BitmapFont.h"
#include "text/TextLabel.h"
#include "text/TextRenderer.h"
#include "text/TextVertex.h"

#include <cstring>
#include <string>
#include <vector>

namespace fuzzing {

// The device, renderer and fonts live for the whole run: building a font
// compiles its shader, far too slow to repeat for every input.
struct LabelBench {
    testing_support::RecordingDevice device;
    TextRenderer renderer{&device, 1024.0f, 768.0f};
    std::vector<BitmapFont*> fonts;  // owned by the renderer
    int baseline = 0;                // live device objects with no label

    LabelBench()
    {
        struct Metrics {
            uint32_t width, height, sheet, perRow;
        };
        static const Metrics metrics[] = {
            {7, 13, 128, 18}, {0, 0, 0, 0}, {1, 1, 1, 1}, {UINT32_MAX, UINT32_MAX, UINT32_MAX, UINT32_MAX}, {16, 16, 256, 16},
        };
        for (const Metrics& m : metrics) {
            auto* font = new BitmapFont(m.width, m.height, m.sheet, m.perRow, "res\\smallfonts128x128.png", &renderer);
            renderer.addFont(font);
            fonts.push_back(font);
        }
        baseline = device.liveObjects();
        device.clearCalls();
    }

    static LabelBench& instance()
    {
        static LabelBench bench;
        return bench;
    }
};

// Draws the label and checks the draw against what the label holds: one
// triangle-list draw of two triangles per character from a buffer large
// enough for them, holding exactly the vertices a new label with the same
// text and position builds. `mustDraw`: nothing has made a build fail.
inline std::string checkLabelDraw(LabelBench& bench, BitmapFont* font, TextLabel& label, const std::string& text,
                                  float x, float y, bool mustDraw)
{
    testing_support::RecordingDevice& device = bench.device;
    device.clearCalls();
    label.draw();
    const auto draws = device.callsNamed("DrawPrimitive");
    const auto streams = device.callsNamed("SetStreamSource");
    device.clearCalls();
    if (text.empty()) return draws.empty() ? std::string() : "a label with no text drew";
    if (draws.empty()) return mustDraw ? "a label with text drew nothing" : std::string();

    const uint32_t length = static_cast<uint32_t>(text.size());
    if (draws.size() != 1 || draws[0].args != std::vector<uintptr_t>{D3DPT_TRIANGLELIST, 0, 2 * uintptr_t{length}})
        return "draw call does not cover the text's triangles";
    auto* buffer = dynamic_cast<testing_support::FakeVertexBuffer*>(label.buffer());
    if (!buffer || streams.size() != 1 ||
        streams[0].args != std::vector<uintptr_t>{0, testing_support::ptrArg(label.buffer()), 0, sizeof(TextVertex)})
        return "draw does not bind the label's own buffer";
    const size_t bytes = size_t{length} * 6 * sizeof(TextVertex);
    if (buffer->locked || buffer->bytes.size() < bytes) return "drawn buffer is locked or too small";

    // Whatever happened before, the vertices drawn are those of the current
    // text at the current position.
    device.inject(testing_support::Fail::CreateVertexBuffer, 0);
    device.inject(testing_support::Fail::LockVertexBuffer, 0);
    TextLabel fresh(font);
    fresh.setPosition(x, y);
    fresh.setText(text);
    auto* expected = dynamic_cast<testing_support::FakeVertexBuffer*>(fresh.buffer());
    device.clearCalls();
    if (!expected || expected->bytes.size() < bytes) return "a new label built no buffer";
    if (std::memcmp(buffer->bytes.data(), expected->bytes.data(), bytes) != 0)
        return "drawn vertices differ from those of the current text and position";
    return {};
}

inline std::string runTextLabelCase(const uint8_t* data, size_t size)
{
    LabelBench& bench = LabelBench::instance();
    testing_support::RecordingDevice& device = bench.device;
    FuzzInput in(data, size);
    BitmapFont* font = bench.fonts[in.byte() % bench.fonts.size()];

    std::string problem;
    {
        TextLabel label(font);
        std::string text;
        float x = 0.0f, y = 0.0f;
        bool failureInjected = false;
        for (int step = 0; step < 32 && !in.empty() && problem.empty(); ++step) {
            switch (in.byte() % 7) {
            case 0:
                text = in.bytes(in.byte());
                label.setText(text);
                break;
            case 1: {
                const size_t count = in.u16() % 1500;
                const std::string piece = in.bytes(in.byte() % 16 + 1);
                text.clear();
                while (!piece.empty() && text.size() < count) text += piece;
                label.setText(text);
                break;
            }
            case 2:
                x = in.f32();
                y = in.f32();
                label.setPosition(x, y);
                break;
            case 3:
                x = static_cast<float>(static_cast<int16_t>(in.u16()));
                y = static_cast<float>(static_cast<int16_t>(in.u16()));
                label.setPosition(x, y);
                break;
            case 4:
                device.inject(testing_support::Fail::CreateVertexBuffer, 1);
                failureInjected = true;
                break;
            case 5:
                device.inject(testing_support::Fail::LockVertexBuffer, 1);
                failureInjected = true;
                break;
            default:
                problem = checkLabelDraw(bench, font, label, text, x, y, !failureInjected);
                break;
            }
            if (problem.empty() && (label.currentText() != text || label.textLength() != text.size()))
                problem = "label holds another text than the one set";
        }
        if (problem.empty()) problem = checkLabelDraw(bench, font, label, text, x, y, !failureInjected);
        device.inject(testing_support::Fail::CreateVertexBuffer, 0);
        device.inject(testing_support::Fail::LockVertexBuffer, 0);
    }
    if (problem.empty() && device.liveObjects() != bench.baseline) problem = "a label left device objects alive";
    device.clearCalls();
    device.vertexBuffers.clear();
    return problem;
}

}  // namespace fuzzing
