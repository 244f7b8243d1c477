// Helpers shared by the overlay tests: a recording device with a renderer on
// it, the program's font, and access to a label's vertices.
#pragma once

#include <gtest/gtest.h>

#include "support/RecordingDevice.h"
#include "support/TempFolder.h"
#include "text/BitmapFont.h"
#include "text/TextLabel.h"
#include "text/TextRenderer.h"
#include "text/TextVertex.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace text_test {

using testing_support::FakeVertexBuffer;
using testing_support::RecordedCall;
using testing_support::RecordingDevice;

inline const char* const kSheet = "res\\smallfonts128x128.png";

// The overlay the application builds: a 1024 x 768 renderer with the 7 x 13
// font. The device is declared first so it outlives everything made on it.
struct Overlay {
    RecordingDevice device;
    std::unique_ptr<TextRenderer> renderer;

    Overlay()
    {
        const float width = 1024.0f, height = 768.0f;
        renderer = std::make_unique<TextRenderer>(&device, width, height);
    }

    BitmapFont* addFont(const std::string& sheet = kSheet)
    {
        auto* font = new BitmapFont(7, 13, 128, 18, sheet, renderer.get());
        renderer->addFont(font);
        return font;
    }

    TextLabel* addLabel(BitmapFont* font, const std::string& text, float x, float y)
    {
        auto* label = new TextLabel(font);
        font->addLabel(label);
        label->setPosition(x, y);
        label->setText(text);
        return label;
    }
};

// The vertices a label's buffer holds (the whole buffer).
inline std::vector<TextVertex> bufferVertices(IDirect3DVertexBuffer9* buffer)
{
    auto* fake = dynamic_cast<FakeVertexBuffer*>(buffer);
    if (!fake) return {};
    std::vector<TextVertex> vertices(fake->bytes.size() / sizeof(TextVertex));
    std::memcpy(vertices.data(), fake->bytes.data(), vertices.size() * sizeof(TextVertex));
    return vertices;
}

inline size_t bufferBytes(IDirect3DVertexBuffer9* buffer)
{
    auto* fake = dynamic_cast<FakeVertexBuffer*>(buffer);
    return fake ? fake->bytes.size() : 0;
}

// Runs the test body in a scratch working folder, restoring the old one.
struct ScratchFolder : testsupport::TempFolder {
    ScratchFolder() : TempFolder("text") { enter(); }
};

}  // namespace text_test
