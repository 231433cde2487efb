#pragma once
// The component model: an owner that destroys what it owns, names, removal
// notices to components that refer to one going away, an after-load step
// and an interface query.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class TComponent;

using TNotifyEvent = std::function<void(TComponent* sender)>;

enum TOperation { opInsert, opRemove };

class TPersistent {
public:
  virtual ~TPersistent() = default;
  // The class's name, for messages such as "Cannot assign a X to a Y".
  virtual std::wstring ClassName() const { return L"TPersistent"; }
};

class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // Destroys the component while it is still whole: what it owns goes first,
  // then the object itself. Prefer this to a plain delete.
  void Free();

  TComponent* Owner() const { return owner_; }
  const std::wstring& Name() const { return name_; }
  void SetName(std::wstring name) { name_ = std::move(name); }
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index); }
  TComponent* FindComponent(const std::wstring& name) const;

  // Asks for a removal notice when `component` goes away (and gives one to
  // it when this one goes first).
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  bool Loading() const { return loading_; }
  bool Destroying() const { return destroying_; }

  // Loading state for this component and everything it owns; EndLoading
  // runs every component's after-load step, owned ones first.
  void BeginLoading();
  void EndLoading();

  // Interface query, for components that implement COM-style interfaces.
  virtual HRESULT QueryInterface(REFIID iid, void** object);
  // The typed form; a class that overrides the query brings it back with
  // `using TComponent::QueryInterface;`.
  template <class T>
  HRESULT QueryInterface(T** object) {
    return QueryInterface(__uuidof(T), reinterpret_cast<void**>(object));
  }

protected:
  virtual void Notification(TComponent* component, TOperation operation);
  virtual void Loaded() {}
  // Runs first in Free(): the object is still whole here.
  virtual void BeforeDestruction();
  void DestroyComponents();

private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* owner_ = nullptr;
  std::wstring name_;
  int tag_ = 0;
  bool loading_ = false;
  bool destroying_ = false;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
};
