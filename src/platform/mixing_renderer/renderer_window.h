#pragma once
// The mixing renderer's own window, class "VideoRenderer": hidden until
// shown or given a parent, repaints the current picture, and posts mouse and
// keyboard input on to the message-drain window as the platform's renderer
// does. Whenever it is top-level it is owned by a hidden window of its own:
// Wine's taskbar gives a button to every window that is top-level and
// unowned when it is made, and keeps it until the window is destroyed.
#include <windows.h>

#include <atomic>
#include <memory>

#include "platform/mixing_renderer/video_presenter.h"

namespace platform {

class RendererWindow {
public:
  // Creates the window on the calling thread, which must pump its messages.
  static std::shared_ptr<RendererWindow> Create(std::shared_ptr<VideoPresenter> presenter);
  ~RendererWindow();
  RendererWindow(const RendererWindow&) = delete;
  RendererWindow& operator=(const RendererWindow&) = delete;

  HWND Handle() const { return handle_; }
  // Makes the window a child of `parent`, or with none a top-level window
  // owned by its hidden owner again.
  void SetParentWindow(HWND parent);
  // Destroys the window; from another thread it asks the owning thread to.
  void Close();
  // Any thread: shows the window without waiting for its thread.
  void ShowWithoutActivating();

  HWND Drain() const { return drain_; }
  void SetDrain(HWND drain) { drain_ = drain; }
  bool CursorHidden() const { return cursorHidden_; }
  void SetCursorHidden(bool hidden) { cursorHidden_ = hidden; }
  bool AutoShow() const { return autoShow_; }
  void SetAutoShow(bool show) { autoShow_ = show; }

private:
  explicit RendererWindow(std::shared_ptr<VideoPresenter> presenter);
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  std::shared_ptr<VideoPresenter> presenter_;
  std::atomic<HWND> handle_{nullptr};
  HWND owner_ = nullptr;  // destroyed with the window
  DWORD thread_ = 0;
  std::atomic<HWND> drain_{nullptr};
  std::atomic<bool> cursorHidden_{false};
  std::atomic<bool> autoShow_{true};
};

}  // namespace platform
