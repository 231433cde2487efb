#pragma once
// A form described like the main window's panes: a graph and a VMR-9
// video window inside a panel-like area, loaded the way forms are.
#include <windows.h>
#include <dshow.h>

#include <string>

#include "classlib/application.h"
#include "classlib/form.h"
#include "media/filter_graph.h"
#include "media/sample_grabber.h"
#include "media/video_window.h"

using platform::ComPtr;

class TVideoForm : public TForm {
public:
  explicit TVideoForm(TComponent* owner) : TForm(owner) {
    SetCaption(L"Video");
    SetBounds(40, 40, 480, 360);
    Graph = new TFilterGraph(this);
    Graph->SetName(L"FilterGraph1");
    Graph->SetMode(gmCapture);
    Video = new TVideoWindow(this);
    Video->SetName(L"VideoWindow1");
    Video->SetParent(this);
    Video->SetBounds(10, 20, 320, 240);
    Video->SetMode(vmVMR);
    Video->SetFilterGraph(Graph);
  }

  TFilterGraph* Graph;
  TVideoWindow* Video;
};

// Creates the form, shows it and frees it at the end of the scope.
struct ShownVideoForm {
  ShownVideoForm() : form(TForm::Create<TVideoForm>(Application)) { form->Show(); }
  ~ShownVideoForm() { form->Free(); }
  TVideoForm* operator->() const { return form; }
  TVideoForm* form;
};

// The renderer window's interface, through the control's interface query.
inline ComPtr<IVideoWindow> RendererWindow(TVideoWindow& video) {
  ComPtr<IVideoWindow> window;
  (void)video.QueryInterface(window.GetAddressOf());  // none is what some tests expect
  return window;
}

inline RECT RendererPosition(const ComPtr<IVideoWindow>& window) {
  long left = 0, top = 0, width = 0, height = 0;
  (void)window->GetWindowPosition(&left, &top, &width, &height);  // zeros show a failure
  return RECT{left, top, left + width, top + height};
}

inline bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }
