#pragma once

#include <windows.h>
#include <d3d9.h>

#include <cstdint>
#include <string>

class TextRenderer;
class BitmapFont;
class TextLabel;
class InputDevices;
class ViewController;
class BallRack;

// Owns every component that draws or reads input, keeps the frame clock and
// runs one frame per call.
class Application {
public:
    Application(IDirect3DDevice9* device, HINSTANCE instance, HWND window, const std::string& description,
                const float& width, const float& height, bool debugMode);
    ~Application();

    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    void runFrame();

    // False when a component could not be built (a shader that is missing or
    // did not compile); the component has already told the user. Such an
    // application must not run frames; runFrame does nothing for it.
    bool isReady() const;

    // Read access for tools and tests.
    const TextLabel* frameRateLabel() const { return fpsLabel; }
    const BitmapFont* overlayFont() const { return font; }
    const InputDevices* inputDevices() const { return input; }
    const TextRenderer* overlay() const { return textRenderer; }
    const BallRack* rack() const { return ballRack; }
    // The device description shown in the overlay.
    const std::string& deviceDescription() const { return description; }

private:
    void createComponents();
    void updateTiming();

    bool debugMode;
    LARGE_INTEGER counterFrequency;
    LARGE_INTEGER currentCounter;
    LARGE_INTEGER previousCounter;
    float fpsElapsed;
    float screenWidth;
    float screenHeight;
    int32_t framesCounted;
    HINSTANCE instance;
    HWND window;
    IDirect3DDevice9* device;
    bool firstFrame;
    TextRenderer* textRenderer;
    BitmapFont* font;
    TextLabel* fpsLabel;
    InputDevices* input;
    ViewController* viewController;
    BallRack* ballRack;
    std::string description;
    bool ready;  // every component that can fail was built; fixed at construction
};
