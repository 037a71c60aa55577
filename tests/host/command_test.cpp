#include "app/command.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

TEST(RemoteCommand, OnlyTheExactWordsOfAJsonObjectCount) {
  struct Row {
    std::u16string text;
    RemoteCommand expected;
  } rows[] = {
      {u"{\"command\":\"capture\"}", RemoteCommand::Capture},
      {u"{\"command\":\"about\"}", RemoteCommand::About},
      {u" { \"other\": [1,2], \"command\" : \"capture\" } ", RemoteCommand::Capture},
      {u"{\"command\":\"Capture\"}", RemoteCommand::None},
      {u"{\"command\":\"capture \"}", RemoteCommand::None},
      {u"{\"command\":\"quit\"}", RemoteCommand::None},
      {u"{\"command\":1}", RemoteCommand::None},
      {u"{\"command\":null}", RemoteCommand::None},
      {u"{\"command\":[\"capture\"]}", RemoteCommand::None},
      {u"{\"Command\":\"capture\"}", RemoteCommand::None},
      {u"{}", RemoteCommand::None},
      {u"[\"capture\"]", RemoteCommand::None},
      {u"\"capture\"", RemoteCommand::None},
      {u"42", RemoteCommand::None},
      {u"capture", RemoteCommand::None},
      {u"{\"command\":\"capture\"", RemoteCommand::None},
      {u"", RemoteCommand::None},
      {u"{\"command\":\"\\u0063apture\"}", RemoteCommand::Capture},  // escapes are resolved
  };
  for (const auto& r : rows)
    EXPECT_EQ(parseRemoteCommand(r.text), r.expected) << std::string(r.text.begin(), r.text.end());
}

TEST(RemoteCommand, HugeAndBrokenTextIsHarmless) {
  std::u16string big = u"{\"pad\":\"" + std::u16string(1 << 20, u'x') + u"\",\"command\":\"capture\"}";
  EXPECT_EQ(parseRemoteCommand(big), RemoteCommand::Capture);
  std::u16string deep(100000, u'[');
  EXPECT_EQ(parseRemoteCommand(deep), RemoteCommand::None);
  std::u16string surrogate = u"{\"command\":\"capture\"}";
  surrogate.push_back(char16_t(0xD800));
  EXPECT_EQ(parseRemoteCommand(surrogate), RemoteCommand::None);
}

}  // namespace
}  // namespace quorvel
