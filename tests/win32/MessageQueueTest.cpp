// PeekMessageA, PostMessageA, PostQuitMessage and dispatching.
#include "Win32TestWindow.h"

#include <chrono>

using namespace win32test;

namespace {

using MessageQueue = QueueTest;

TEST_F(MessageQueue, PeekRemovesAtMostOneMessageInOrderAndNeverBlocks)
{
    for (UINT i = 0; i < 3; ++i)
        ASSERT_TRUE(PostMessageA(window, WM_USER + i, i, 10 * i));
    EXPECT_EQ(tvplat::pendingMessageCount(), 3);

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(tvplat::pendingMessageCount(), 2);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_EQ(msg.lParam, 10);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));

    // An empty queue answers at once and leaves the record as it was.
    const MSG before = msg;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i)
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));  // a hang, not a speed test
    EXPECT_EQ(msg.message, before.message);
    EXPECT_EQ(msg.wParam, before.wParam);
}

TEST_F(MessageQueue, NoRemoveLeavesTheMessageAndFiltersSelect)
{
    PostMessageA(window, WM_USER, 1, 0);
    PostMessageA(nullptr, WM_USER + 5, 2, 0);  // a thread message
    PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(tvplat::pendingMessageCount(), 3);

    // A range picks the key message from behind the others.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYUP, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    // (HWND)-1 asks for thread messages only; a window handle for its own.
    ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 5));
    EXPECT_EQ(msg.hwnd, nullptr);
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(tvplat::pendingMessageCount(), 0);
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, QuitComesAfterThePostedMessagesAndOnlyOnce)
{
    PostMessageA(window, WM_USER, 0, 0);
    PostQuitMessage(3);
    PostMessageA(window, WM_USER + 1, 0, 0);  // posted after the quit, still comes first

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));

    // A filter does not hold back the quit message, and peeking without
    // removing leaves it in place.
    ASSERT_TRUE(PeekMessageA(&msg, window, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, PostingNeedsALiveWindowAndRoom)
{
    SetLastError(0);
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(0x1234), WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(tvplat::pendingMessageCount(), 0);

    int accepted = 0;
    for (int i = 0; i < 10001; ++i)
        accepted += PostMessageA(window, WM_USER, 0, 0) ? 1 : 0;
    EXPECT_EQ(accepted, 10000);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_QUOTA));
    // The queue still works once drained.
    EXPECT_EQ(drain().size(), 10000u);
    EXPECT_TRUE(PostMessageA(window, WM_USER + 1, 0, 0));
    EXPECT_EQ(drain().size(), 1u);
}

TEST_F(MessageQueue, DispatchCallsTheClassProcedure)
{
    PostMessageA(window, WM_USER + 9, 4, 5);
    PostQuitMessage(0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    received().clear();
    EXPECT_TRUE(TranslateMessage(&msg) == FALSE);  // not a key message
    DispatchMessageA(&msg);
    ASSERT_EQ(received().size(), 1u);
    EXPECT_EQ(received()[0].window, window);
    EXPECT_EQ(received()[0].message, static_cast<UINT>(WM_USER + 9));
    EXPECT_EQ(received()[0].wParam, 4u);
    EXPECT_EQ(received()[0].lParam, 5);

    // The quit message has no window and reaches no procedure.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    ASSERT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_EQ(received().size(), 1u);

    MSG key{window, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    EXPECT_TRUE(TranslateMessage(&key));
    EXPECT_EQ(tvplat::pendingMessageCount(), 0);  // no character message is generated
}

}  // namespace
