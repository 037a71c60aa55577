#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::ui {

// What translation and other tree walks need to know about a component.
enum class ComponentKind { Other, Form, Label, Button, ComboBox, ListBox, Panel, PopupMenu, MenuItem };

// A named object in an ownership tree. The owner frees what it owns, last created first.
class Component {
 public:
  Component(Component* owner, std::string name);
  virtual ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  const std::string& name() const { return name_; }
  Component* owner() const { return owner_; }
  const std::vector<std::unique_ptr<Component>>& components() const { return owned_; }
  Component* findComponent(std::string_view name) const;

  virtual ComponentKind kind() const { return ComponentKind::Other; }
  virtual std::u16string caption() const { return caption_; }
  virtual void setCaption(const std::u16string& text) { caption_ = text; }
  // The item texts of a list (a combo box); setItems keeps the selection.
  virtual std::vector<std::u16string> itemTexts() const { return {}; }
  virtual void setItemTexts(std::vector<std::u16string>) {}

  // Creates a component owned by this one: T's constructor takes (Component* owner, args...).
  template <class T, class... Args>
  T& add(Args&&... args) {
    auto p = std::make_unique<T>(this, std::forward<Args>(args)...);
    T& ref = *p;
    owned_.push_back(std::move(p));
    return ref;
  }

 protected:
  std::u16string caption_;

 private:
  Component* owner_;
  std::string name_;
  std::vector<std::unique_ptr<Component>> owned_;
};

}  // namespace quorvel::ui
