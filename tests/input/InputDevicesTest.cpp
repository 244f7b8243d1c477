// InputDevices through the real DirectInput layer: SDL events are pushed as
// the user would make them, then the component is polled frame by frame.
#include "tests/input/InputTestSupport.h"

#include "input/InputDevices.h"
#include "input/ViewController.h"

#include <dinput.h>

#include <cstring>
#include <memory>

using namespace inputtest;

namespace {

class InputDevicesPolling : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(window.handle, nullptr) << "the Win32 layer could not create a window";
        input = std::make_unique<InputDevices>(GetModuleHandleA(nullptr), window.handle);
        ASSERT_TRUE(input->hasKeyboard() && input->hasMouse());
    }

    InputTransition pollKey()
    {
        input->poll();
        return input->keyTransition(DIK_G);
    }
    InputTransition pollButton(int button)
    {
        input->poll();
        return input->buttonTransition(button);
    }
    void key(bool down) { pushKey(window.id, SDL_SCANCODE_G, SDLK_g, down); }

    TestWindow window;
    std::unique_ptr<InputDevices> input;
};

}  // namespace

TEST_F(InputDevicesPolling, KeyTransitionsFollowTheLastTwoSnapshots)
{
    // Held for four polls, then released.
    key(true);
    EXPECT_EQ(pollKey(), Pressed);
    EXPECT_EQ(input->keyState()[DIK_G], 0x80);
    EXPECT_EQ(pollKey(), PressedLastPoll);
    EXPECT_EQ(pollKey(), Steady);
    EXPECT_EQ(pollKey(), Steady);
    key(false);
    EXPECT_EQ(pollKey(), Released);
    EXPECT_EQ(pollKey(), Steady);
    EXPECT_EQ(input->keyTransition(DIK_H), Steady);

    // Down and up between two polls: both snapshots show it up.
    key(true);
    key(false);
    EXPECT_EQ(pollKey(), Steady);

    // Down in one poll, up in the next, down again in the one after.
    key(true);
    EXPECT_EQ(pollKey(), Pressed);
    key(false);
    EXPECT_EQ(pollKey(), Released);
    key(true);
    EXPECT_EQ(pollKey(), Pressed);
}

TEST_F(InputDevicesPolling, ButtonsFollowTheSameTransitionsInDirectInputOrder)
{
    // rgbButtons order: left, right, middle, X1, X2, then the rest.
    const Uint8 sdlButtons[8] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1,
                                 SDL_BUTTON_X2, 6, 7, 8};
    for (int b = 0; b < 8; ++b) {
        pushButton(window.id, sdlButtons[b], true);
        EXPECT_EQ(pollButton(b), Pressed) << "button " << b;
        for (int other = 0; other < 8; ++other)
            EXPECT_EQ(input->currentMouse().rgbButtons[other], other == b ? 0x80 : 0);
        EXPECT_EQ(pollButton(b), PressedLastPoll);
        EXPECT_EQ(pollButton(b), Steady);
        pushButton(window.id, sdlButtons[b], false);
        EXPECT_EQ(pollButton(b), Released);
        pushButton(window.id, sdlButtons[b], true);
        pushButton(window.id, sdlButtons[b], false);
        EXPECT_EQ(pollButton(b), Steady);
    }
    pushButton(window.id, 9, true);  // a ninth button has no place
    input->poll();
    for (int b = 0; b < 8; ++b) EXPECT_EQ(input->buttonTransition(b), Steady);
}

TEST_F(InputDevicesPolling, CombinedMotionIsTheSumOfTheLastTwoPolls)
{
    const int moves[3] = {3, 2, 0};
    const int combined[3] = {3, 5, 2};
    for (int i = 0; i < 3; ++i) {
        if (moves[i]) pushMotion(window.id, moves[i], 0);
        input->poll();
        EXPECT_EQ(input->currentMotion().x, moves[i]);
        EXPECT_EQ(input->combined().x, combined[i]);
        EXPECT_EQ(input->combined().y, 0);
    }

    // The wheel flows into z exactly as the axes flow into x and y.
    pushWheel(window.id, 1);
    pushMotion(window.id, 0, -7);
    input->poll();
    EXPECT_EQ(input->currentMouse().lZ, 120);
    pushWheel(window.id, -2);
    input->poll();
    EXPECT_EQ(input->currentMotion().z, -240);
    EXPECT_EQ(input->combined().z, -120);
    EXPECT_EQ(input->combined().y, -7);
    input->poll();
    EXPECT_EQ(input->combined().z, -240);
    EXPECT_EQ(input->combined().y, 0);
}

TEST_F(InputDevicesPolling, LostFocusClearsTheSnapshotAndTheMouseIsAcquiredAgain)
{
    key(true);
    pushButton(window.id, SDL_BUTTON_LEFT, true);
    pushMotion(window.id, 9, 9, 20, 20, SDL_BUTTON_LMASK);
    input->poll();
    ASSERT_EQ(input->buttonTransition(0), Pressed);

    // Focus lost: the mouse read fails and nothing stays held or moving.
    pushFocus(window.id, false);
    pushMotion(window.id, 5, 5);
    input->poll();
    EXPECT_EQ(input->buttonTransition(0), Released);
    EXPECT_EQ(input->keyTransition(DIK_G), Released);
    EXPECT_EQ(input->currentMotion().x, 0);
    DIMOUSESTATE2 empty;
    std::memset(&empty, 0, sizeof empty);
    EXPECT_EQ(std::memcmp(&input->currentMouse(), &empty, sizeof empty), 0);

    // Focus back: one poll acquires again, the next one reads.
    pushFocus(window.id, true);
    input->poll();
    pushButton(window.id, SDL_BUTTON_RIGHT, true);
    pushMotion(window.id, 2, 0);
    input->poll();
    EXPECT_EQ(input->buttonTransition(1), Pressed);
    EXPECT_EQ(input->currentMotion().x, 2);
}

TEST(InputDevicesMissing, DevicesThatCannotBeSetUpAreNeverUsed)
{
    TestWindow window;
    ASSERT_NE(window.handle, nullptr);
    {
        // No window: the background keyboard works, the foreground mouse
        // cannot be set up and is dropped.
        InputDevices input(GetModuleHandleA(nullptr), nullptr);
        EXPECT_TRUE(input.hasKeyboard());
        EXPECT_FALSE(input.hasMouse());
        pushKey(window.id, SDL_SCANCODE_X, SDLK_x, true);
        pushButton(window.id, SDL_BUTTON_LEFT, true);
        pushMotion(window.id, 4, 4);
        input.poll();
        EXPECT_EQ(input.keyTransition(DIK_X), Pressed);
        EXPECT_EQ(input.buttonTransition(0), Steady);
        EXPECT_EQ(input.currentMotion().x, 0);
    }
    {
        // A handle that is no window: neither device takes it.
        InputDevices input(GetModuleHandleA(nullptr), reinterpret_cast<HWND>(0x5150));
        EXPECT_FALSE(input.hasKeyboard() || input.hasMouse());
        pushKey(window.id, SDL_SCANCODE_Y, SDLK_y, true);
        input.poll();
        for (int k = 0; k < 256; ++k) EXPECT_EQ(input.keyTransition(k), Steady);
    }
}

TEST(ViewControllerUpdate, LeavesItsMatricesAndTheInputStateAlone)
{
    TestWindow window;
    ASSERT_NE(window.handle, nullptr);
    // A key that went down while the program was starting reads Pressed on
    // the first poll.
    pushKey(window.id, SDL_SCANCODE_G, SDLK_g, true);
    InputDevices input(GetModuleHandleA(nullptr), window.handle);
    ViewController controller(&input);
    EXPECT_EQ(controller.inputDevices(), &input);
    pushMotion(window.id, 6, 1);
    input.poll();
    ASSERT_EQ(input.keyTransition(DIK_G), Pressed);

    for (int frame = 0; frame < 100; ++frame) controller.update();
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            EXPECT_EQ(controller.first().at(row, column), row == column ? 1.0f : 0.0f);
            EXPECT_EQ(controller.second().at(row, column), row == column ? 1.0f : 0.0f);
        }
    }
    EXPECT_EQ(input.keyTransition(DIK_G), Pressed);
    EXPECT_EQ(input.combined().x, 6);
}
