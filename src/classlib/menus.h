#pragma once
// Popup menus: items with caption, enabled state, default flag and click.
#include <windows.h>

#include <string>
#include <vector>

#include "classlib/component.h"

class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* owner) : TComponent(owner) {}

  const std::wstring& Caption() const { return caption_; }
  void SetCaption(std::wstring caption) { caption_ = std::move(caption); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }
  bool Default() const { return default_; }
  void SetDefault(bool value) { default_ = value; }
  bool Checked() const { return checked_; }
  void SetChecked(bool value) { checked_ = value; }

  void Click() {
    if (OnClick) OnClick(this);
  }
  TNotifyEvent OnClick;

private:
  std::wstring caption_;
  bool enabled_ = true;
  bool visible_ = true;
  bool default_ = false;
  bool checked_ = false;
};

class TPopupMenu : public TComponent {
public:
  explicit TPopupMenu(TComponent* owner) : TComponent(owner) {}
  ~TPopupMenu() override;

  // Items belong to the menu's owner (as the window description makes
  // them); the menu lists them in order.
  void Add(TMenuItem* item);
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(index); }

  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool value) { autoPopup_ = value; }
  // The component whose right click or call opened the menu last.
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* component);

  // Runs OnPopup, shows the menu at a screen point and runs the chosen
  // item's click after the menu has closed.
  void Popup(int x, int y);
  TNotifyEvent OnPopup;

  // Hook for tests and automation: called with the native menu while it is
  // open; returning an item index picks it, -1 dismisses the menu.
  static inline std::function<int(HMENU)> TrackOverride;

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  std::vector<TMenuItem*> items_;
  TComponent* popupComponent_ = nullptr;
  bool autoPopup_ = true;
};
