// The process's one message queue: posted messages, input messages from the
// SDL event pump, sent messages waiting for delivery, and the quit flag.
#include <windows.h>
#include <tarnvale_platform.h>

#include "win32/Win32Internal.h"

#include <cstddef>
#include <vector>

namespace tvplat::detail {
namespace {

// A fixed-capacity FIFO of messages. Its storage is allocated once, on the
// first message, so that queueing and removing messages never allocates.
class MessageRing {
public:
    explicit MessageRing(size_t capacity) : capacity(capacity) {}

    size_t size() const { return count; }
    bool empty() const { return count == 0; }

    bool push(const MSG& message)
    {
        if (slots.empty()) slots.resize(capacity);
        if (count == capacity) return false;
        slots[(head + count) % capacity] = message;
        ++count;
        return true;
    }

    // The i-th message, counting from the oldest.
    MSG& at(size_t i) { return slots[(head + i) % capacity]; }
    MSG& newest() { return at(count - 1); }

    void removeAt(size_t i)
    {
        if (i == 0) {  // the usual case: the oldest message, no shifting
            popFront();
            if (count == 0) head = 0;
            return;
        }
        for (size_t j = i; j + 1 < count; ++j)
            at(j) = at(j + 1);
        --count;
        if (count == 0) head = 0;
    }

    void popFront()
    {
        head = (head + 1) % capacity;
        --count;
    }

    void removeWindow(HWND window)
    {
        size_t kept = 0;
        for (size_t i = 0; i < count; ++i)
            if (at(i).hwnd != window) at(kept++) = at(i);
        count = kept;
    }

    void clear()
    {
        head = 0;
        count = 0;
    }

private:
    std::vector<MSG> slots;
    size_t capacity;
    size_t head = 0;
    size_t count = 0;
};

// Windows limits a thread's queue to 10,000 posted messages.
constexpr size_t postedCapacity = 10000;
constexpr size_t inputCapacity = 10000;
constexpr size_t sentCapacity = 1024;

MessageRing posted(postedCapacity);
MessageRing input(inputCapacity);
MessageRing sent(sentCapacity);
bool quitPosted = false;
int quitCode = 0;

struct Listener {
    tvplat::EventListener function;
    void* user;
};
std::vector<Listener> listeners;
bool pumping = false;

bool matches(const MSG& message, HWND window, UINT filterMin, UINT filterMax)
{
    // (HWND)-1 asks for thread messages only (those posted without a window).
    if (window == reinterpret_cast<HWND>(-1)) {
        if (message.hwnd != nullptr) return false;
    } else if (window != nullptr && message.hwnd != window) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0) return true;
    return message.message >= filterMin && message.message <= filterMax;
}

// Takes the first matching message from a queue into *out.
bool takeFrom(MessageRing& queue, LPMSG out, HWND window, UINT filterMin, UINT filterMax, bool remove)
{
    for (size_t i = 0; i < queue.size(); ++i) {
        if (!matches(queue.at(i), window, filterMin, filterMax)) continue;
        *out = queue.at(i);
        if (remove) queue.removeAt(i);
        return true;
    }
    return false;
}

// Delivers the sent messages that the event pump queued, in order. A window
// procedure may queue more while it runs; those are delivered too.
void deliverSentMessages()
{
    while (!sent.empty()) {
        const MSG message = sent.at(0);
        sent.popFront();
        if (findWindow(message.hwnd) != nullptr)
            SendMessageA(message.hwnd, message.message, message.wParam, message.lParam);
    }
}

}  // namespace

void postInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, uint32_t time, POINT point)
{
    // Windows coalesces mouse moves: a move that follows a move with the same
    // key state replaces it, so a burst of motion costs one message.
    if (message == WM_MOUSEMOVE && !input.empty()) {
        MSG& last = input.newest();
        if (last.message == WM_MOUSEMOVE && last.hwnd == window && last.wParam == wParam) {
            last.lParam = lParam;
            last.time = time;
            last.pt = point;
            return;
        }
    }
    input.push(MSG{window, message, wParam, lParam, time, point});  // dropped when the queue is full
}

void queueSentMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    sent.push(MSG{window, message, wParam, lParam, 0, POINT{0, 0}});
}

void forgetWindowMessages(HWND window)
{
    posted.removeWindow(window);
    input.removeWindow(window);
    sent.removeWindow(window);
}

}  // namespace tvplat::detail

using namespace tvplat::detail;

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    tvplat::pumpEvents();
    deliverSentMessages();

    const bool remove = (wRemoveMsg & PM_REMOVE) != 0;
    // Windows' order: posted messages, then the quit message, then input.
    if (takeFrom(posted, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, remove)) return TRUE;
    if (quitPosted) {
        // The quit message passes every filter.
        *lpMsg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0, GetTickCount(), lastCursorPosition()};
        if (remove) quitPosted = false;
        return TRUE;
    }
    if (takeFrom(input, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, remove)) return TRUE;
    return FALSE;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    // A null window posts a thread message, as PostThreadMessage would.
    if (hWnd != nullptr && findWindow(hWnd) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!posted.push(MSG{hWnd, Msg, wParam, lParam, GetTickCount(), lastCursorPosition()})) {
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode)
{
    quitPosted = true;
    quitCode = nExitCode;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg)
{
    // Character messages are not generated: nothing in the program reads
    // them. The result is what Windows reports for key messages.
    if (lpMsg == nullptr) return FALSE;
    switch (lpMsg->message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg)
{
    if (lpMsg == nullptr || lpMsg->hwnd == nullptr) return 0;  // thread messages (WM_QUIT) have no procedure
    WindowRecord* record = findWindow(lpMsg->hwnd);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return record->proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    WindowRecord* record = findWindow(hWnd);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return record->proc(hWnd, Msg, wParam, lParam);
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    switch (Msg) {
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 asks the window to close (through WM_SYSCOMMAND on Windows).
        if (wParam == VK_F4 && (lParam & (1 << 29)) != 0) SendMessageA(hWnd, WM_CLOSE, 0, 0);
        return 0;
    default:
        return 0;
    }
}

namespace tvplat {

void addEventListener(EventListener listener, void* user)
{
    if (listener == nullptr) return;
    for (const Listener& entry : listeners)
        if (entry.function == listener && entry.user == user) return;
    listeners.push_back(Listener{listener, user});
}

void removeEventListener(EventListener listener, void* user)
{
    for (Listener& entry : listeners) {
        if (entry.function == listener && entry.user == user) {
            // While the pump runs, the entry is only emptied so that the
            // indices of the remaining listeners stay put.
            entry.function = nullptr;
            entry.user = nullptr;
        }
    }
    if (pumping) return;
    std::erase_if(listeners, [](const Listener& entry) { return entry.function == nullptr; });
}

void pumpEvents()
{
    // A listener or window procedure that pumps again gets nothing: the
    // outer pump is still draining the same SDL queue.
    if (pumping || SDL_WasInit(SDL_INIT_EVENTS) == 0) return;
    pumping = true;
    detail::reconcileButtons();
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        translateEvent(event);
        for (size_t i = 0; i < listeners.size(); ++i)
            if (listeners[i].function != nullptr) listeners[i].function(event, listeners[i].user);
    }
    pumping = false;
    std::erase_if(listeners, [](const Listener& entry) { return entry.function == nullptr; });
    // The windows went with a display that is gone: each is told it is
    // destroyed, once.
    static bool lossDelivered = false;
    if (!lossDelivered && displayLost()[0] != '\0') {
        lossDelivered = true;
        for (int i = 0; i < detail::windowCount(); ++i)
            detail::queueSentMessage(detail::windowAt(i)->handle, WM_DESTROY, 0, 0);
    }
}

int pendingMessageCount()
{
    return static_cast<int>(posted.size() + input.size()) + (quitPosted ? 1 : 0);
}

bool quitMessageNext()
{
    return quitPosted && posted.size() == 0;
}

void resetMessageQueue()
{
    if (SDL_WasInit(SDL_INIT_EVENTS) != 0) {
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    posted.clear();
    input.clear();
    sent.clear();
    quitPosted = false;
    quitCode = 0;
    resetInputState();
}

}  // namespace tvplat
