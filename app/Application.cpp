#include "app/Application.h"

#include "input/InputDevices.h"
#include "input/ViewController.h"
#include "scene/BallRack.h"
#include "text/BitmapFont.h"
#include "text/TextLabel.h"
#include "text/TextRenderer.h"

#include <cstdio>

Application::Application(IDirect3DDevice9* device, HINSTANCE instance, HWND window, const std::string& description,
                         const float& width, const float& height, bool debugMode)
    : debugMode(debugMode),
      counterFrequency{},
      currentCounter{},
      previousCounter{},
      fpsElapsed(0.0f),
      screenWidth(width),
      screenHeight(height),
      framesCounted(0),
      instance(instance),
      window(window),
      device(device),
      firstFrame(true),
      textRenderer(nullptr),
      font(nullptr),
      fpsLabel(nullptr),
      input(nullptr),
      viewController(nullptr),
      ballRack(nullptr),
      description(description),
      ready(false)
{
    createComponents();
}

Application::~Application()
{
    // The renderer deletes its fonts and each font its labels, so font and
    // fpsLabel are not deleted here.
    if (viewController != nullptr) {
        delete viewController;
        viewController = nullptr;
    }
    if (input != nullptr) {
        delete input;
        input = nullptr;
    }
    if (textRenderer != nullptr) {
        delete textRenderer;
        textRenderer = nullptr;
        font = nullptr;
        fpsLabel = nullptr;
    }
    if (ballRack != nullptr) {
        delete ballRack;
        ballRack = nullptr;
    }
}

void Application::createComponents()
{
    QueryPerformanceFrequency(&counterFrequency);

    textRenderer = new TextRenderer(device, screenWidth, screenHeight);

    font = new BitmapFont(7, 13, 128, 18, "res\\smallfonts128x128.png", textRenderer);
    textRenderer->addFont(font);

    // Frame-rate text, near the top-right corner; empty for the first second.
    fpsLabel = new TextLabel(font);
    font->addLabel(fpsLabel);
    fpsLabel->setText("");
    fpsLabel->setPosition(screenWidth * 0.5f - 80.0f, screenHeight * 0.5f - 20.0f);

    // Device description, near the bottom-left corner.
    TextLabel* descriptionLabel = new TextLabel(font);
    descriptionLabel->setPosition(10.0f - screenWidth * 0.5f, 10.0f - screenHeight * 0.5f);
    descriptionLabel->setText(description);
    font->addLabel(descriptionLabel);

    if (debugMode) {
        // Near the top-left corner.
        TextLabel* debugLabel = new TextLabel(font);
        debugLabel->setText("Debug mode");
        debugLabel->setPosition(10.0f - screenWidth * 0.5f, screenHeight * 0.5f - 20.0f);
        font->addLabel(debugLabel);
    }

    input = new InputDevices(instance, window);
    viewController = new ViewController(input);
    ballRack = new BallRack(device);

    ready = font->isReady() && ballRack->isReady();

    // Read last, so that building the components is not part of the first
    // frame's time.
    QueryPerformanceCounter(&previousCounter);
}

bool Application::isReady() const { return ready; }

void Application::updateTiming()
{
    if (!firstFrame)
        previousCounter = currentCounter;
    QueryPerformanceCounter(&currentCounter);

    const double dt = static_cast<double>(currentCounter.QuadPart - previousCounter.QuadPart) /
                      static_cast<double>(counterFrequency.QuadPart);
    fpsElapsed = static_cast<float>(fpsElapsed + dt);

    if (fpsElapsed >= 1.0f) {
        char text[20] = {};
        std::snprintf(text, sizeof text, "FPS: %d", framesCounted);
        fpsElapsed = 0.0f;  // the time beyond the second is dropped
        fpsLabel->setText(text);
        framesCounted = 0;
    } else {
        ++framesCounted;
    }
}

void Application::runFrame()
{
    // A component without its shaders must not be drawn.
    if (!ready)
        return;

    updateTiming();
    input->poll();
    viewController->update();

    device->BeginScene();
    device->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    textRenderer->draw();  // the overlay goes first; it restores no state
    ballRack->draw();
    device->EndScene();
    device->Present(NULL, NULL, NULL, NULL);

    firstFrame = false;
}
