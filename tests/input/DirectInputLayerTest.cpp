// The DirectInput 8 layer against its documented behaviour: creation, result
// codes, acquisition and focus, and the keyboard and mouse states it reports.
#include "tests/input/InputTestSupport.h"

#include "platform/dinput8/InputHub.h"

#include <dinput.h>

#include <cstring>
#include <set>

using namespace inputtest;

namespace {

class DirectInputLayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(window.handle, nullptr) << "the Win32 layer could not create a window";
        void* object = nullptr;
        ASSERT_EQ(DirectInput8Create(GetModuleHandleA(nullptr), 0x0800, IID_IDirectInput8A, &object, nullptr), DI_OK);
        directInput = static_cast<IDirectInput8A*>(object);
    }
    void TearDown() override
    {
        if (keyboard) keyboard->Release();
        if (mouse) mouse->Release();
        if (directInput) directInput->Release();
        // The last object gone takes the event listener with it.
        EXPECT_EQ(tvdinput::InputHub::get().userCount(), 0);
    }

    IDirectInputDevice8A* create(const GUID& guid)
    {
        IDirectInputDevice8A* device = nullptr;
        EXPECT_EQ(directInput->CreateDevice(guid, &device, nullptr), DI_OK);
        return device;
    }

    // A keyboard and a mouse set up as the program sets them up, acquired.
    void openDevices()
    {
        keyboard = create(GUID_SysKeyboard);
        mouse = create(GUID_SysMouse);
        ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
        ASSERT_EQ(keyboard->SetCooperativeLevel(window.handle, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
        ASSERT_EQ(keyboard->Acquire(), DI_OK);
        ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse2), DI_OK);
        ASSERT_EQ(mouse->SetCooperativeLevel(window.handle, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
        ASSERT_EQ(mouse->Acquire(), DI_OK);
    }

    DIMOUSESTATE2 readMouse()
    {
        DIMOUSESTATE2 state;
        std::memset(&state, 0xCD, sizeof state);
        EXPECT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
        return state;
    }

    TestWindow window;
    IDirectInput8A* directInput = nullptr;
    IDirectInputDevice8A* keyboard = nullptr;
    IDirectInputDevice8A* mouse = nullptr;
};

}  // namespace

TEST(DirectInputCreate, RejectsBadArgumentsAndLeavesTheResultNull)
{
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    int dummy = 0;
    IUnknown* outer = reinterpret_cast<IUnknown*>(&dummy);  // never called
    const struct {
        DWORD version;
        const IID& iid;
        IUnknown* outer;
        HRESULT expected;
    } cases[] = {{0x0700, IID_IDirectInput8A, nullptr, DIERR_OLDDIRECTINPUTVERSION},
                 {0x0900, IID_IDirectInput8A, nullptr, DIERR_BETADIRECTINPUTVERSION},
                 {0x0800, IID_IDirectInputDevice8A, nullptr, DIERR_NOINTERFACE},
                 {0x0800, IID_IDirectInput8A, outer, DIERR_NOAGGREGATION}};
    for (const auto& c : cases) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(DirectInput8Create(instance, c.version, c.iid, &object, c.outer), c.expected);
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(DirectInput8Create(instance, 0x0800, IID_IDirectInput8A, nullptr, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(tvdinput::InputHub::get().userCount(), 0);
}

TEST_F(DirectInputLayer, CreatesOnlyTheSystemKeyboardAndMouse)
{
    IDirectInputDevice8A* device = reinterpret_cast<IDirectInputDevice8A*>(1);
    EXPECT_EQ(directInput->CreateDevice(GUID_XAxis, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(directInput->CreateDevice(GUID_SysKeyboard, nullptr, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(directInput->CreateDevice(GUID_SysMouse, &device, directInput), DIERR_NOAGGREGATION);
    void* asked = nullptr;
    EXPECT_EQ(directInput->QueryInterface(IID_IDirectInputDevice8A, &asked), E_NOINTERFACE);
    EXPECT_EQ(directInput->QueryInterface(IID_IDirectInput8A, &asked), S_OK);
    EXPECT_EQ(directInput->Release(), 1u);
}

TEST_F(DirectInputLayer, DevicesOutliveTheObjectThatCreatedThem)
{
    openDevices();
    // The program releases DirectInput before its devices: they must keep
    // it alive and go on working.
    EXPECT_EQ(directInput->Release(), 2u);
    directInput = nullptr;
    pushKey(window.id, SDL_SCANCODE_SPACE, SDLK_SPACE, true);
    BYTE keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keys[DIK_SPACE], 0x80);
    EXPECT_EQ(keyboard->Release(), 0u);
    keyboard = nullptr;
    EXPECT_EQ(tvdinput::InputHub::get().userCount(), 1);
}

TEST_F(DirectInputLayer, DataFormatMustSuitTheDeviceAndCannotChangeWhileAcquired)
{
    keyboard = create(GUID_SysKeyboard);
    mouse = create(GUID_SysMouse);
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIMouse2), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetDataFormat(&c_dfDIKeyboard), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM);  // nothing to acquire without a format

    const DIDATAFORMAT copy = c_dfDIKeyboard;
    EXPECT_EQ(keyboard->SetDataFormat(&copy), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), S_FALSE);
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(keyboard->SetCooperativeLevel(window.handle, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DIERR_ACQUIRED);
    EXPECT_EQ(keyboard->Unacquire(), DI_OK);
    EXPECT_EQ(keyboard->Unacquire(), DI_NOEFFECT);
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
}

TEST_F(DirectInputLayer, CooperativeLevelNeedsOneOfEachPairAndAWindowForForeground)
{
    mouse = create(GUID_SysMouse);
    const HWND w = window.handle;
    EXPECT_EQ(mouse->SetCooperativeLevel(w, DISCL_FOREGROUND), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetCooperativeLevel(w, DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetCooperativeLevel(w, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetCooperativeLevel(w, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetCooperativeLevel(w, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | 0x100), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetCooperativeLevel(w, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_UNSUPPORTED);
    EXPECT_EQ(mouse->SetCooperativeLevel(reinterpret_cast<HWND>(0x1234), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
              E_HANDLE);
    EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    EXPECT_EQ(mouse->SetCooperativeLevel(w, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
}

TEST_F(DirectInputLayer, ReadsNeedAcquisitionAndTheExactStateSize)
{
    keyboard = create(GUID_SysKeyboard);
    BYTE keys[256];
    EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(keyboard->Poll(), DIERR_NOTACQUIRED);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(255, keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keyboard->Poll(), DI_NOEFFECT);

    mouse = create(GUID_SysMouse);
    ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse2), DI_OK);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_EQ(mouse->GetDeviceState(16, keys), DIERR_INVALIDPARAM);  // DIMOUSESTATE, not ...2
    EXPECT_EQ(mouse->GetDeviceState(sizeof keys, keys), DIERR_INVALIDPARAM);
}

TEST_F(DirectInputLayer, KeyboardReportsKeysByTheirDirectInputCode)
{
    openDevices();
    pushKey(window.id, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, true);
    pushKey(window.id, SDL_SCANCODE_A, SDLK_a, true);
    pushKey(window.id, SDL_SCANCODE_RIGHT, SDLK_RIGHT, true);
    pushKey(window.id, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, true);
    pushKey(window.id, SDL_SCANCODE_A, SDLK_a, false);
    BYTE keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
    int down = 0;
    for (BYTE key : keys) down += key != 0;
    EXPECT_EQ(down, 3);
    EXPECT_EQ(keys[DIK_ESCAPE], 0x80);
    EXPECT_EQ(keys[DIK_RIGHT], 0x80);
    EXPECT_EQ(keys[DIK_NUMPADENTER], 0x80);
}

TEST(DirectInputKeyCodes, FollowThePcScanCodes)
{
    using tvdinput::dikFromScancode;
    EXPECT_EQ(dikFromScancode(SDL_SCANCODE_Q), 0x10);     // by keyboard row, not alphabet
    EXPECT_EQ(dikFromScancode(SDL_SCANCODE_UP), 0xC8);    // extended keys carry 0x80 ...
    EXPECT_EQ(dikFromScancode(SDL_SCANCODE_KP_8), 0x48);  // ... their keypad twins do not
    EXPECT_EQ(dikFromScancode(SDL_SCANCODE_RALT), 0xB8);
    EXPECT_EQ(dikFromScancode(SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(dikFromScancode(-1), 0);
    EXPECT_EQ(dikFromScancode(SDL_NUM_SCANCODES), 0);

    // Distinct keys never share a code, except two pairs that are the same
    // physical key on different layouts or usage pages.
    std::set<std::pair<int, int>> shared;
    for (int a = 0; a < SDL_NUM_SCANCODES; ++a)
        for (int b = a + 1; b < SDL_NUM_SCANCODES; ++b)
            if (dikFromScancode(a) != 0 && dikFromScancode(a) == dikFromScancode(b)) shared.insert({a, b});
    const std::set<std::pair<int, int>> expected{{SDL_SCANCODE_BACKSLASH, SDL_SCANCODE_NONUSHASH},
                                                 {SDL_SCANCODE_MUTE, SDL_SCANCODE_AUDIOMUTE}};
    EXPECT_EQ(shared, expected);
}

TEST_F(DirectInputLayer, MouseReportsMotionWhileAcquiredSinceTheLastRead)
{
    openDevices();
    pushMotion(window.id, 3, -2);
    pushMotion(window.id, 4, 5);
    pushWheel(window.id, 1);
    pushWheel(window.id, 2);
    DIMOUSESTATE2 state = readMouse();
    EXPECT_EQ(state.lX, 7);
    EXPECT_EQ(state.lY, 3);
    EXPECT_EQ(state.lZ, 360);  // three notches away from the user
    for (BYTE button : state.rgbButtons) EXPECT_EQ(button, 0);

    // Reading resets the motion; "natural" scrolling is turned back.
    pushWheel(window.id, 1, true);
    state = readMouse();
    EXPECT_EQ(state.lX, 0);
    EXPECT_EQ(state.lY, 0);
    EXPECT_EQ(state.lZ, -120);

    // Motion while not acquired is not kept for later.
    ASSERT_EQ(mouse->Unacquire(), DI_OK);
    pushMotion(window.id, 50, 50);
    tvplat::pumpEvents();
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    pushMotion(window.id, 1, 2);
    state = readMouse();
    EXPECT_EQ(state.lX, 1);
    EXPECT_EQ(state.lY, 2);
}

TEST_F(DirectInputLayer, ForegroundMouseLosesAcquisitionWithTheFocus)
{
    openDevices();
    pushButton(window.id, SDL_BUTTON_LEFT, true);
    pushKey(window.id, SDL_SCANCODE_W, SDLK_w, true);
    pushFocus(window.id, false);
    DIMOUSESTATE2 state;
    EXPECT_EQ(mouse->GetDeviceState(sizeof state, &state), DIERR_INPUTLOST);
    EXPECT_EQ(mouse->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
    EXPECT_EQ(mouse->Acquire(), DIERR_OTHERAPPHASPRIO);

    // The background keyboard stays acquired, but nothing is held any more:
    // a release would happen while another window has the focus.
    BYTE keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keys[DIK_W], 0);

    pushFocus(window.id, true);
    tvplat::pumpEvents();
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_EQ(readMouse().rgbButtons[0], 0);

    // Focus moving to another window of ours takes the input as well.
    TestWindow other;
    pushFocus(other.id, true);
    EXPECT_EQ(mouse->GetDeviceState(sizeof state, &state), DIERR_INPUTLOST);
    EXPECT_EQ(mouse->Acquire(), DIERR_OTHERAPPHASPRIO);
}
