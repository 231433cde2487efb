#include "classlib/menus.h"

#include <algorithm>

#include "classlib/application.h"

TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::Add(TMenuItem* item) {
  items_.push_back(item);
  FreeNotification(item);
}

void TPopupMenu::SetPopupComponent(TComponent* component) {
  if (popupComponent_ && popupComponent_ != component) RemoveFreeNotification(popupComponent_);
  popupComponent_ = component;
  if (component) FreeNotification(component);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  std::erase(items_, static_cast<TMenuItem*>(component));
  if (component == popupComponent_) popupComponent_ = nullptr;
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  HMENU menu = CreatePopupMenu();
  for (size_t i = 0; i < items_.size(); ++i) {
    const TMenuItem* item = items_[i];
    if (!item->Visible()) continue;
    UINT flags = MF_STRING;
    if (!item->Enabled()) flags |= MF_GRAYED;
    if (item->Checked()) flags |= MF_CHECKED;
    if (item->Caption() == L"-") flags = MF_SEPARATOR;
    AppendMenuW(menu, flags, i + 1, item->Caption().c_str());
    if (item->Default()) SetMenuDefaultItem(menu, static_cast<UINT>(i + 1), FALSE);
  }
  int chosen = 0;
  if (TrackOverride) {
    chosen = TrackOverride(menu) + 1;
  } else {
    HWND owner = Application ? Application->PopupOwner() : nullptr;
    // The owner must be in front, or the menu does not close when the user
    // clicks elsewhere.
    SetForegroundWindow(owner);
    chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, x, y, 0, owner,
                            nullptr);
    PostMessageW(owner, WM_NULL, 0, 0);
  }
  DestroyMenu(menu);
  if (chosen > 0 && chosen <= static_cast<int>(items_.size())) {
    TMenuItem* item = items_[chosen - 1];
    if (item->Enabled()) item->Click();
  }
}
