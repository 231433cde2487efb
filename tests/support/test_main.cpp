// Test entry point: COM on this thread (as the program has it), an
// application object, and message boxes recorded instead of shown.
#define DOCTEST_CONFIG_IMPLEMENT
#include <doctest/doctest.h>
#include <objbase.h>

#include "classlib/application.h"
#include "test_support.h"

int main(int argc, char** argv) {
  const HRESULT com = CoInitialize(nullptr);
  int result;
  {
    TApplication application;
    application.SetTitle(L"摄像头监控");
    application.MessageBoxFunction = [](HWND, const std::wstring& text, const std::wstring& caption,
                                        UINT flags) {
      RecordedBoxes().push_back({text, caption, flags});
      return IDOK;
    };
    doctest::Context context(argc, argv);
    result = context.run();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return result;
}
