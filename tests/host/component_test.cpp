#include "ui/component.h"

#include <gtest/gtest.h>

namespace quorvel::ui {
namespace {

struct Probe : Component {
  Probe(Component* owner, std::string name, std::vector<std::string>* log) : Component(owner, name), log(log) {}
  ~Probe() override { log->push_back(name()); }
  std::vector<std::string>* log;
};

TEST(Component, OwnsChildrenInOrderAndFreesLastFirst) {
  std::vector<std::string> log;
  {
    Component root(nullptr, "Root");
    auto& a = root.add<Probe>("A", &log);
    a.add<Probe>("A1", &log);
    root.add<Probe>("B", &log);
    ASSERT_EQ(root.components().size(), 2u);
    EXPECT_EQ(root.findComponent("B")->owner(), &root);
    EXPECT_EQ(root.findComponent("A1"), nullptr);  // only direct children
  }
  EXPECT_EQ(log, (std::vector<std::string>{"B", "A", "A1"}));
}

}  // namespace
}  // namespace quorvel::ui
