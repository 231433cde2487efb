// The video window against the platform's renderers: its member protocol,
// VMR-9 settings, full screen, placement and input.
#include <doctest/doctest.h>

#include <windows.h>
#include <oleauto.h>

#include "classlib/menus.h"
#include "media/media_errors.h"
#include "test_support.h"
#include "video_form.h"

namespace {
std::wstring Caption(const ComPtr<IVideoWindow>& window) {
  BSTR text = nullptr;
  if (FAILED(window->get_Caption(&text))) return L"?";
  std::wstring caption = text ? text : L"";
  SysFreeString(text);
  return caption;
}

void SetCaption(const ComPtr<IVideoWindow>& window, const wchar_t* caption) {
  BSTR text = SysAllocString(caption);
  REQUIRE(SUCCEEDED(window->put_Caption(text)));
  SysFreeString(text);
}

// Runs the graph; the renderer has no input, which the graph accepts.
void Play(TVideoForm& form) { REQUIRE(form.Graph->Play()); }

// Whether every renderer window that is top-level has an owner: Wine's
// taskbar gives a button of its own to one without.
bool RendererWindowsOwned() {
  bool owned = true;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        wchar_t className[32] = {};
        GetClassNameW(window, className, 32);
        if (std::wstring(className) == L"VideoRenderer" && !GetWindow(window, GW_OWNER))
          *reinterpret_cast<bool*>(data) = false;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&owned));
  return owned;
}
}  // namespace

TEST_CASE("VMR options: Streams outside 1..16 is stored as 1") {
  TVideoWindow video(nullptr);
  TVMROptions& options = video.VMROptions();
  CHECK(options.Streams() == 4);
  CHECK(options.Preferences() == VMRPreference(vpForceMixer));
  options.SetStreams(0);
  CHECK(options.Streams() == 1);
  options.SetStreams(16);
  CHECK(options.Streams() == 16);
  options.SetStreams(17);
  CHECK(options.Streams() == 1);
}

TEST_CASE("the renderer filter exists only while the graph is active") {
  ShownVideoForm form;
  TVideoWindow& video = *form->Video;
  REQUIRE(video.Mode() == vmVMR);
  video.VMROptions().SetStreams(16);

  ComPtr<IBaseFilter> filter;
  CHECK(video.QueryInterface(filter.GetAddressOf()) == E_NOINTERFACE);
  CHECK_FALSE(video.GetBaseFilter());

  form->Graph->SetActive(true);
  REQUIRE(video.QueryInterface(filter.GetAddressOf()) == S_OK);
  CHECK(filter.Get() == video.GetBaseFilter().Get());
  ComPtr<IGraphBuilder> graph;
  REQUIRE(SUCCEEDED(form->Graph->QueryInterface(graph.GetAddressOf())));
  ComPtr<IBaseFilter> named;
  CHECK(graph->FindFilterByName(L"VideoWindow1", named.GetAddressOf()) == S_OK);
  CHECK(named.Get() == filter.Get());
  // The stream count went to the renderer, which put it into mixing mode.
  CHECK(video.VMROptions().Streams() == 16);
  ComPtr<IVMRMixerBitmap9> mixer;
  CHECK(video.QueryInterface(mixer.GetAddressOf()) == S_OK);
  CHECK(RendererWindow(video));

  form->Graph->SetActive(false);
  CHECK_FALSE(video.GetBaseFilter());
  CHECK_FALSE(RendererWindow(video));
  CHECK(video.QueryInterface(filter.ReleaseAndGetAddressOf()) == E_NOINTERFACE);
}

TEST_CASE("changing a VMR option while active puts a new renderer into the graph") {
  ShownVideoForm form;
  TVideoWindow& video = *form->Video;
  form->Graph->SetActive(true);
  const ComPtr<IBaseFilter> first = video.GetBaseFilter();
  REQUIRE(first);

  video.VMROptions().SetStreams(2);
  const ComPtr<IBaseFilter> second = video.GetBaseFilter();
  REQUIRE(second);
  CHECK(second.Get() != first.Get());
  FILTER_INFO info{};
  REQUIRE(SUCCEEDED(first->QueryFilterInfo(&info)));
  CHECK(info.pGraph == nullptr);  // the old renderer left the graph
  CHECK(video.VMROptions().Streams() == 2);

  SUBCASE("moRefresh changes nothing") {
    video.NotifyMember(moRefresh);
    CHECK(video.GetBaseFilter().Get() == second.Get());
  }
}

TEST_CASE("a renderless VMR-9 cannot join a graph") {
  ShownVideoForm form;
  form->Video->VMROptions().SetMode(vmrRenderless);
  try {
    form->Graph->SetActive(true);
    FAIL("activation went through");
  } catch (const EMediaGraphException& e) {
    CHECK(e.Message() == L"Allocator class not set.");
  }
}

TEST_CASE("full screen is stored before Play, applied by it, and undone into the parent") {
  ShownVideoForm form;
  TVideoWindow& video = *form->Video;
  const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
  SUBCASE("VMR-9") {}
  SUBCASE("classic video renderer") { video.SetMode(vmNormal); }

  video.SetFullScreen(true);
  CHECK(video.FullScreen());
  form->Graph->SetActive(true);
  ComPtr<IVideoWindow> window = RendererWindow(video);
  REQUIRE(window);
  CHECK(RendererWindowsOwned());  // as made
  OAHWND owner = 1;
  REQUIRE(SUCCEEDED(window->get_Owner(&owner)));
  CHECK(owner == 0);  // not yet laid anywhere by us
  CHECK_FALSE(RendererPosition(window) == (RECT{0, 0, screenW, screenH}));

  Play(*form.form);
  REQUIRE(SUCCEEDED(window->get_Owner(&owner)));
  CHECK(owner == 0);
  CHECK(RendererPosition(window) == (RECT{0, 0, screenW, screenH}));
  long style = 0;
  REQUIRE(SUCCEEDED(window->get_WindowStyle(&style)));
  CHECK((style & (WS_CAPTION | WS_THICKFRAME)) == 0);
  CHECK(RendererWindowsOwned());

  video.SetFullScreen(false);
  REQUIRE(SUCCEEDED(window->get_Owner(&owner)));
  CHECK(reinterpret_cast<HWND>(owner) == form->Handle());
  REQUIRE(SUCCEEDED(window->get_WindowStyle(&style)));
  CHECK((style & (WS_CHILD | WS_CLIPSIBLINGS)) == (WS_CHILD | WS_CLIPSIBLINGS));
  CHECK(RendererPosition(window) == (RECT{10, 20, 330, 260}));

  SUBCASE("FullScreenTopMost re-applies full screen only while full screen") {
    video.SetFullScreenTopMost(true);
    CHECK(RendererPosition(window) == (RECT{10, 20, 330, 260}));
    video.SetFullScreen(true);
    long exStyle = 0;
    REQUIRE(SUCCEEDED(window->get_WindowStyleEx(&exStyle)));
    CHECK((exStyle & WS_EX_TOPMOST) != 0);
    video.SetFullScreenTopMost(false);
    REQUIRE(SUCCEEDED(window->get_WindowStyleEx(&exStyle)));
    CHECK((exStyle & WS_EX_TOPMOST) == 0);
    CHECK(RendererPosition(window) == (RECT{0, 0, screenW, screenH}));
  }
}

TEST_CASE("the renderer window follows the control's bounds and visibility") {
  ShownVideoForm form;
  TVideoWindow& video = *form->Video;
  form->Graph->SetActive(true);
  Play(*form.form);
  ComPtr<IVideoWindow> window = RendererWindow(video);
  REQUIRE(window);
  CHECK(RendererPosition(window) == (RECT{10, 20, 330, 260}));

  video.SetBounds(30, 40, 200, 150);
  CHECK(RendererPosition(window) == (RECT{30, 40, 230, 190}));
  video.SetAlign(alClient);
  const RECT client = form->ClientRect();
  CHECK(RendererPosition(window) == client);

  long visible = 0;
  video.SetVisible(false);
  REQUIRE(SUCCEEDED(window->get_Visible(&visible)));
  CHECK(visible == OAFALSE);
  CHECK_FALSE(video.Visible());
  video.SetVisible(true);
  REQUIRE(SUCCEEDED(window->get_Visible(&visible)));
  CHECK(visible == OATRUE);

  SUBCASE("a full-screen renderer stays where it is when the control moves") {
    video.SetFullScreen(true);
    video.SetAlign(alNone);
    video.SetBounds(5, 5, 100, 80);
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    CHECK(RendererPosition(window) == screen);
  }
}

TEST_CASE("the render-device event names the renderer window and drains its input here") {
  ShownVideoForm form;
  TVideoWindow& video = *form->Video;
  form->Graph->SetActive(true);
  Play(*form.form);
  ComPtr<IVideoWindow> window = RendererWindow(video);
  REQUIRE(window);

  video.GraphEvent(EC_VMR_RENDERDEVICE_SET, 0, 0);
  CHECK(Caption(window) == L"VideoWindow1");
  OAHWND drain = 0;
  REQUIRE(SUCCEEDED(window->get_MessageDrain(&drain)));
  CHECK(reinterpret_cast<HWND>(drain) == video.Handle());

  const HWND found = static_cast<HWND>(video.VideoHandle());
  REQUIRE(IsWindow(found));
  wchar_t className[64] = {};
  GetClassNameW(found, className, 64);
  CHECK(std::wstring(className) == L"VideoRenderer");
  CHECK(GetParent(found) == form->Handle());

  SUBCASE("the palette event also re-applies the placement") {
    SetCaption(window, L"x");
    REQUIRE(SUCCEEDED(window->SetWindowPosition(0, 0, 10, 10)));
    video.GraphEvent(EC_PALETTE_CHANGED, 0, 0);
    CHECK(Caption(window) == L"VideoWindow1");
    CHECK(RendererPosition(window) == (RECT{10, 20, 330, 260}));
  }
  SUBCASE("other events change nothing") {
    SetCaption(window, L"x");
    video.GraphEvent(EC_COMPLETE, 0, 0);
    CHECK(Caption(window) == L"x");
  }
}

TEST_CASE("without a renderer window VideoHandle is the canvas's device context") {
  TForm* form = TForm::Create<TForm>(Application);
  TVideoWindow* video = new TVideoWindow(form);
  video->SetParent(form);
  const HANDLE handle = video->VideoHandle();
  CHECK(handle == video->Canvas().Handle());
  CHECK(GetObjectType(handle) == OBJ_DC);
  CHECK(WindowFromDC(static_cast<HDC>(handle)) == video->Handle());
  form->Free();
}

TEST_CASE("OnPaint fires after the control has painted its colour") {
  ShownVideoForm form;
  TVideoWindow& video = *form->Video;
  COLORREF seen = CLR_INVALID;
  video.OnPaint = [&](TComponent* sender) {
    CHECK(sender == &video);
    seen = GetPixel(video.Canvas().Handle(), 5, 5);
  };
  video.Invalidate();
  video.Update();
  CHECK(seen == RGB(0, 0, 0));
}

TEST_CASE("full screen: mouse events carry the cursor's screen position") {
  ShownVideoForm form;
  TVideoWindow& video = *form->Video;
  form->Graph->SetActive(true);
  Play(*form.form);
  POINT down{-1, -1}, cursor{-1, -1};
  video.OnMouseDown = [&](TComponent*, TMouseButton, TShiftState, int x, int y) {
    down = {x, y};
    GetCursorPos(&cursor);
  };
  // Away from the message's point, so that the two cannot be confused.
  SetCursorPos(300, 200);
  REQUIRE(PumpUntil([] {
    POINT p;
    return GetCursorPos(&p) && (p.x != 5 || p.y != 6);
  }));

  video.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6));
  video.Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 6));
  CHECK(down.x == 5);
  CHECK(down.y == 6);

  video.SetFullScreen(true);
  video.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6));
  video.Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 6));
  CHECK(down.x == cursor.x);
  CHECK(down.y == cursor.y);
  CHECK((down.x != 5 || down.y != 6));
}

TEST_CASE("full screen: the context menu opens at the cursor or not at all") {
  ShownVideoForm form;
  TVideoWindow& video = *form->Video;
  TPopupMenu* formMenu = new TPopupMenu(form.form);
  TPopupMenu* videoMenu = new TPopupMenu(form.form);
  form->SetPopupMenu(formMenu);
  std::vector<TComponent*> shown;
  formMenu->OnPopup = [&](TComponent* sender) { shown.push_back(sender); };
  videoMenu->OnPopup = [&](TComponent* sender) { shown.push_back(sender); };
  Temporarily track(TPopupMenu::TrackOverride, [](HMENU) { return -1; });
  const LPARAM at = MAKELPARAM(100, 100);

  // Not full screen the message takes the usual way, up to the form's menu.
  CHECK(video.Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(video.Handle()), at) == 0);
  CHECK(shown == std::vector<TComponent*>{formMenu});

  video.SetFullScreen(true);  // stored only: there is no renderer
  shown.clear();
  CHECK(video.Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(video.Handle()), at) == 0);
  CHECK(shown.empty());

  video.SetPopupMenu(videoMenu);
  CHECK(video.Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(video.Handle()), at) == 1);
  CHECK(shown == std::vector<TComponent*>{videoMenu});
  CHECK(videoMenu->PopupComponent() == &video);

  videoMenu->SetAutoPopup(false);
  shown.clear();
  CHECK(video.Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(video.Handle()), at) == 0);
  CHECK(shown.empty());
}

TEST_CASE("a right click drained from the renderer opens the control's menu") {
  ShownVideoForm form;
  TVideoWindow& video = *form->Video;
  TPopupMenu* menu = new TPopupMenu(form.form);
  video.SetPopupMenu(menu);
  int shown = 0;
  menu->OnPopup = [&](TComponent*) { ++shown; };
  Temporarily track(TPopupMenu::TrackOverride, [](HMENU) { return -1; });
  // The renderer posts the button messages it gets to the control.
  PostMessageW(video.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(7, 8));
  PostMessageW(video.Handle(), WM_RBUTTONUP, 0, MAKELPARAM(7, 8));
  CHECK(PumpUntil([&] { return shown == 1; }));
}
