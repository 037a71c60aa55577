#include "ui/component.h"

namespace quorvel::ui {

Component::Component(Component* owner, std::string name) : owner_(owner), name_(std::move(name)) {}

Component::~Component() {
  while (!owned_.empty()) owned_.pop_back();
}

Component* Component::findComponent(std::string_view name) const {
  for (const auto& c : owned_)
    if (c->name() == name) return c.get();
  return nullptr;
}

}  // namespace quorvel::ui
