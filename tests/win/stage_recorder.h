#pragma once
// Collects the patch engine's WM_APP + 1 posts through a real message-only window that
// belongs to the test thread.
#include <windows.h>

#include <utility>
#include <vector>

namespace qvtest {

class StageRecorder {
public:
  using Post = std::pair<WPARAM, LPARAM>;  // stage code, 1 = manifest data ready

  StageRecorder() {
    static const ATOM cls = [] {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"QvTestStageRecorder";
      return RegisterClassW(&wc);
    }();
    (void)cls;
    hwnd_ = CreateWindowExW(0, L"QvTestStageRecorder", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  }
  ~StageRecorder() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  StageRecorder(const StageRecorder&) = delete;
  StageRecorder& operator=(const StageRecorder&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Every post received since the last call, oldest first.
  std::vector<Post> Take() {
    std::vector<Post> posts;
    MSG msg;
    while (PeekMessageW(&msg, hwnd_, WM_APP + 1, WM_APP + 1, PM_REMOVE)) posts.emplace_back(msg.wParam, msg.lParam);
    return posts;
  }

private:
  HWND hwnd_ = nullptr;
};

}  // namespace qvtest
