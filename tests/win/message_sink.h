#pragma once
// A message-only window of the test's thread that keeps what workers post to it (the patch
// engine's stages, the size query's and the uninstaller's notices), as the wizard's window
// receives them.
#include <windows.h>

#include <functional>
#include <vector>

namespace qvtest {

// One message as the window received it.
struct Message {
  UINT code;
  WPARAM wParam;
  LPARAM lParam;
};

class MessageSink {
public:
  MessageSink() {
    static const ATOM registered = [] {
      WNDCLASSW windowClass = {};
      windowClass.lpfnWndProc = Receive;
      windowClass.hInstance = GetModuleHandleW(nullptr);
      windowClass.lpszClassName = L"QvTestMessageSink";
      return RegisterClassW(&windowClass);
    }();
    (void)registered;
    hwnd_ = CreateWindowExW(0, L"QvTestMessageSink", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), this);
  }
  ~MessageSink() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  MessageSink(const MessageSink&) = delete;
  MessageSink& operator=(const MessageSink&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Runs on this thread as each application message (WM_APP and above) arrives.
  std::function<void(const Message&)> onMessage;

  // Delivers what waits in the queue, then hands over the kept messages with this code, oldest
  // first, and forgets them.
  std::vector<Message> Take(UINT code) {
    Deliver();
    std::vector<Message> taken, rest;
    for (const Message& m : kept_) (m.code == code ? taken : rest).push_back(m);
    kept_.swap(rest);
    return taken;
  }

  // Delivers messages as they arrive until done() holds. done() is checked after each wake-up,
  // so whatever makes it true must post a message afterwards (the patch engine's last post
  // follows the end of its run).
  void DeliverUntil(const std::function<bool()>& done) {
    for (Deliver(); !done(); Deliver()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 500, QS_ALLINPUT);
  }

private:
  void Deliver() {
    MSG msg;
    while (PeekMessageW(&msg, hwnd_, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  static LRESULT CALLBACK Receive(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    } else if (msg >= WM_APP && msg <= 0xBFFF) {
      auto* sink = reinterpret_cast<MessageSink*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      if (sink) {
        const Message m{msg, wParam, lParam};
        if (sink->onMessage) sink->onMessage(m);
        sink->kept_.push_back(m);
        return 0;
      }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  HWND hwnd_ = nullptr;
  std::vector<Message> kept_;
};

}  // namespace qvtest
