// Placeholder: replaced by the real application object.
#include "app/Application.h"
Application::Application(IDirect3DDevice9* device, HINSTANCE instance, HWND window, const std::string& description,
                         const float& width, const float& height, bool debugMode)
    : debugMode(debugMode), counterFrequency{}, currentCounter{}, previousCounter{}, fpsElapsed(0), screenWidth(width), screenHeight(height),
      framesCounted(0), instance(instance), window(window), device(device), firstFrame(true), textRenderer(nullptr), font(nullptr),
      fpsLabel(nullptr), input(nullptr), viewController(nullptr), ballRack(nullptr), description(description) {}
Application::~Application() = default;
void Application::runFrame() {}
bool Application::isReady() const { return true; }
void Application::createComponents() {}
void Application::updateTiming() {}
