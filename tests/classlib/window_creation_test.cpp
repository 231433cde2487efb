#include <doctest/doctest.h>

#include "classlib/form.h"

TEST_CASE("a child asked for its window before its parent has one gets exactly one") {
  TForm* form = TForm::Create<TForm>(nullptr);
  auto* child = new TWinControl(form);
  child->SetParent(form);
  const HWND made = child->Handle();
  CHECK(GetParent(made) == form->Handle());
  int windows = 0;
  EnumChildWindows(
      form->Handle(), [](HWND, LPARAM count) { return ++*reinterpret_cast<int*>(count), TRUE; },
      reinterpret_cast<LPARAM>(&windows));
  CHECK(windows == 1);
  CHECK(FindControl(made) == child);
  form->Free();
}
