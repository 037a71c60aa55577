#include "app/file_naming.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "support/error.h"
#include "support/strings.h"

namespace quorvel {
namespace {

const std::u16string kFolder = u"D:\\Shots";

// One folder of a fake file system. Names in `files` are ordinary files; `plainDirs` have exactly the
// directory attribute, `otherDirs` have it together with others (hidden, read-only...).
struct FakeFolder : FileProbe {
  std::u16string folder = kFolder;
  std::set<std::u16string> files, plainDirs, otherDirs;
  int listCalls = 0;

  bool exists(const std::u16string& path) override {
    for (const auto* names : {&files, &plainDirs, &otherDirs}) {
      for (const auto& name : *names) {
        if (joinPath(folder, name) == path) return true;
      }
    }
    return false;
  }
  std::vector<DirEntry> list(const std::u16string& f) override {
    ++listCalls;
    std::vector<DirEntry> entries;
    if (f != folder) return entries;
    for (const auto& name : files) entries.push_back({name, false});
    for (const auto& name : plainDirs) entries.push_back({name, true});
    for (const auto& name : otherDirs) entries.push_back({name, false});
    return entries;
  }
};

const LocalTime kNoon{2024, 6, 15, 12, 0, 0, 0};

TEST(FileNaming, SchemeFromStoredSetting) {
  const struct {
    int stored;
    NamingScheme expected;
  } rows[] = {{1, NamingScheme::Sequential1}, {3, NamingScheme::Sequential2}, {2, NamingScheme::DateTime},
              {0, NamingScheme::DateTime},    {4, NamingScheme::DateTime},    {-1, NamingScheme::DateTime}};
  for (const auto& row : rows) {
    EXPECT_EQ(namingSchemeFromSetting(row.stored), row.expected) << "stored " << row.stored;
  }
}

TEST(FileNaming, SequentialNamesForFolderContents) {
  const struct {
    const char* what;
    std::set<std::u16string> files, plainDirs, otherDirs;
    std::u16string ext, sequential1, sequential2;
  } rows[] = {
      {"empty folder", {}, {}, {}, u"png", u"Q-001.png", u"Q-001.png"},
      {"four digits after 999", {u"Q-999.png"}, {}, {}, u"png", u"Q-1000.png", u"Q-001.png"},
      {"gap", {u"Q-001.png", u"Q-003.png"}, {}, {}, u"png", u"Q-004.png", u"Q-002.png"},
      {"plain subfolder skipped", {u"Q-003.png"}, {u"Q-050.old"}, {}, u"png", u"Q-004.png", u"Q-001.png"},
      {"hidden subfolder counts", {u"Q-003.png"}, {}, {u"Q-050.old"}, u"png", u"Q-051.png", u"Q-001.png"},
      {"lower-case prefix", {u"q-009.png"}, {}, {}, u"png", u"Q-001.png", u"Q-001.png"},
      {"date-time name", {u"Q-20240615-120000000.png"}, {}, {}, u"png", u"Q-001.png", u"Q-001.png"},
      {"no extension", {u"Q-12"}, {}, {}, u"png", u"Q-001.png", u"Q-001.png"},
      {"number shared by extensions", {u"Q-007.png"}, {}, {}, u"jpg", u"Q-008.jpg", u"Q-001.jpg"},
      {"full name tested", {u"Q-001.png"}, {}, {}, u"jpg", u"Q-002.jpg", u"Q-001.jpg"},
      {"number up to the first dot", {u"Q-041.tar.gz"}, {}, {}, u"png", u"Q-042.png", u"Q-001.png"},
      {"extra leading zeros", {u"Q-0042.png"}, {}, {}, u"png", u"Q-043.png", u"Q-001.png"},
      {"subfolder in the way is not replaced",
       {u"Q-003.png"},
       {u"Q-004.png"},
       {},
       u"png",
       u"Q-005.png",
       u"Q-001.png"},
      {"sequential #2 fills from 1",
       {u"Q-001.png", u"Q-002.png", u"Q-004.png"},
       {},
       {},
       u"png",
       u"Q-005.png",
       u"Q-003.png"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    FakeFolder probe;
    probe.files = row.files;
    probe.plainDirs = row.plainDirs;
    probe.otherDirs = row.otherDirs;
    EXPECT_EQ(newFilename(NamingScheme::Sequential1, kFolder, row.ext, probe, kNoon),
              kFolder + u"\\" + row.sequential1);
    EXPECT_EQ(newFilename(NamingScheme::Sequential2, kFolder, row.ext, probe, kNoon),
              kFolder + u"\\" + row.sequential2);
  }
}

TEST(FileNaming, SequentialCapturesFollowEachOther) {
  FakeFolder probe;
  for (const char16_t* expected : {u"Q-001.png", u"Q-002.png", u"Q-003.png"}) {
    const std::u16string path = newFilename(NamingScheme::Sequential1, kFolder, u"png", probe, kNoon);
    ASSERT_EQ(path, kFolder + u"\\" + expected);
    probe.files.insert(expected);
  }
}

TEST(FileNaming, UnreadableFolderStartsAtOne) {
  FakeFolder probe;
  probe.files = {u"Q-007.png"};
  EXPECT_EQ(newFilename(NamingScheme::Sequential1, u"X:\\missing", u"png", probe, kNoon),
            u"X:\\missing\\Q-001.png");
}

TEST(FileNaming, LastNumberReadsOnlyPlainDigits) {
  const struct {
    std::u16string name;
    int expected;
  } rows[] = {
      {u"Q-001.png", 1},
      {u"Q-1000.png", 1000},
      {u"Q-2147483647.png", INT_MAX},
      {u"Q-0.png", 0},
      {u"Q-.png", 0},
      {u"Q-", 0},
      {u"Q-.5.png", 0},
      {u"Q-+5.png", 0},
      {u"Q--5.png", 0},
      {u"Q- 5.png", 0},
      {u"Q-5 .png", 0},
      {u"Q-0x10.png", 0},
      {u"Q-1e3.png", 0},
      {u"Q-\uFF15.png", 0},  // full-width digit five
      {u"Q-2147483648.png", 0},
      {u"Q-4294967297.png", 0},  // 2^32 + 1: wraps to 1 if overflow goes unnoticed
      {u"Q-99999999999999999999999999999999.png", 0},
      {u"Q-12", 0},
      {u"q-009.png", 0},
      {u"QQ-5.png", 0},
      {u"Shot Q-5.png", 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(findLastNumber({{row.name, false}}), row.expected) << toUtf8(row.name);
  }
  EXPECT_EQ(findLastNumber({}), 0);
  EXPECT_EQ(findLastNumber({{u"Q-005.png", false}, {u"Q-abc.png", false}, {u"Q-017.gif", false}}), 17);
}

TEST(FileNaming, SequentialNumbersRunningOutIsAnError) {
  FakeFolder last;
  last.files = {u"Q-2147483647.png"};
  EXPECT_THROW(newFilename(NamingScheme::Sequential1, kFolder, u"png", last, kNoon), Error);

  FakeFolder blocked;
  blocked.files = {u"Q-2147483646.png"};
  blocked.plainDirs = {u"Q-2147483647.png"};
  EXPECT_THROW(newFilename(NamingScheme::Sequential1, kFolder, u"png", blocked, kNoon), Error);
}

TEST(FileNaming, SequentialFormat) {
  const struct {
    int n;
    std::u16string ext, expected;
  } rows[] = {{1, u"png", u"Q-001.png"},   {42, u"jpg", u"Q-042.jpg"},
              {999, u"gif", u"Q-999.gif"}, {1000, u"png", u"Q-1000.png"},
              {0, u"bmp", u"Q-000.bmp"},   {INT_MAX, u"webp", u"Q-2147483647.webp"}};
  for (const auto& row : rows) EXPECT_EQ(formatSequentialName(row.n, row.ext), row.expected) << row.n;
}

TEST(FileNaming, JoinPath) {
  const struct {
    std::u16string folder, expected;
  } rows[] = {
      {u"C:\\", u"C:\\Q-001.png"},
      {u"D:\\Shots", u"D:\\Shots\\Q-001.png"},
      {u"E:", u"E:Q-001.png"},
      {u"", u"Q-001.png"},
      {u"D:/Shots/", u"D:/Shots/Q-001.png"},
      {u"D:/Shots", u"D:/Shots\\Q-001.png"},
      {u"\\\\server\\share", u"\\\\server\\share\\Q-001.png"},
      {u"D:\\My Shots", u"D:\\My Shots\\Q-001.png"},
      {u"D:\\스크린샷", u"D:\\스크린샷\\Q-001.png"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(joinPath(row.folder, u"Q-001.png"), row.expected) << toUtf8(row.folder);

  for (const char16_t bad :
       {u'"', u'<', u'>', u'|', char16_t(0), char16_t(1), u'\t', u'\n', char16_t(0x1F)}) {
    std::u16string folder = u"D:\\Sh";
    folder += bad;
    folder += u"ots";
    try {
      joinPath(folder, u"Q-001.png");
      ADD_FAILURE() << "accepted character " << int(bad);
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Invalid characters in path") << int(bad);
    }
  }
}

TEST(FileNaming, InvalidFolderFailsEveryScheme) {
  for (const NamingScheme scheme :
       {NamingScheme::Sequential1, NamingScheme::Sequential2, NamingScheme::DateTime}) {
    FakeFolder probe;
    probe.folder = u"D:\\a|b";
    EXPECT_THROW(newFilename(scheme, probe.folder, u"png", probe, kNoon), Error) << int(scheme);
    EXPECT_EQ(probe.listCalls, 0) << int(scheme);
  }
}

TEST(FileNaming, DateTimeFormat) {
  const struct {
    LocalTime t;
    std::u16string ext, expected;
  } rows[] = {
      {{2024, 3, 5, 7, 8, 9, 4}, u"png", u"Q-20240305-070809004.png"},
      {{1999, 12, 31, 23, 59, 59, 999}, u"mp4", u"Q-19991231-235959999.mp4"},
      {{2024, 1, 1, 0, 0, 0, 0}, u"txt", u"Q-20240101-000000000.txt"},
      {{2024, 10, 10, 10, 10, 10, 10}, u"webp", u"Q-20241010-101010010.webp"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(formatDateTimeName(row.t, row.ext), row.expected) << toUtf8(row.expected);

  FakeFolder probe;
  EXPECT_EQ(newFilename(NamingScheme::DateTime, kFolder, u"png", probe, {2024, 3, 5, 7, 8, 9, 4}),
            u"D:\\Shots\\Q-20240305-070809004.png");
  EXPECT_EQ(probe.listCalls, 0);
}

TEST(FileNaming, AddMillisecondsCarries) {
  const struct {
    LocalTime from;
    int ms;
    LocalTime expected;
  } rows[] = {
      {{2024, 6, 15, 12, 34, 56, 998}, 1, {2024, 6, 15, 12, 34, 56, 999}},
      {{2024, 6, 15, 12, 34, 59, 999}, 1, {2024, 6, 15, 12, 35, 0, 0}},
      {{2024, 6, 15, 12, 59, 59, 999}, 1, {2024, 6, 15, 13, 0, 0, 0}},
      {{2024, 6, 15, 23, 59, 59, 999}, 1, {2024, 6, 16, 0, 0, 0, 0}},
      {{2024, 4, 30, 23, 59, 59, 999}, 1, {2024, 5, 1, 0, 0, 0, 0}},
      {{2023, 12, 31, 23, 59, 59, 999}, 1, {2024, 1, 1, 0, 0, 0, 0}},
      {{2024, 2, 28, 23, 59, 59, 999}, 1, {2024, 2, 29, 0, 0, 0, 0}},
      {{2024, 2, 29, 23, 59, 59, 999}, 1, {2024, 3, 1, 0, 0, 0, 0}},
      {{2023, 2, 28, 23, 59, 59, 999}, 1, {2023, 3, 1, 0, 0, 0, 0}},
      {{1900, 2, 28, 23, 59, 59, 999}, 1, {1900, 3, 1, 0, 0, 0, 0}},
      {{2000, 2, 28, 23, 59, 59, 999}, 1, {2000, 2, 29, 0, 0, 0, 0}},
      {{2024, 6, 15, 12, 0, 0, 500}, 86'400'000, {2024, 6, 16, 12, 0, 0, 500}},
      {{2024, 1, 1, 0, 0, 0, 0}, -1, {2023, 12, 31, 23, 59, 59, 999}},
  };
  for (const auto& row : rows) {
    const LocalTime got = addMilliseconds(row.from, row.ms);
    EXPECT_EQ(got, row.expected) << toUtf8(formatDateTimeName(row.from, u"")) << " + " << row.ms
                                 << " ms gave " << toUtf8(formatDateTimeName(got, u""));
  }
}

TEST(FileNaming, DateTimeNamesInTheSameMillisecondDoNotCollide) {
  const struct {
    LocalTime now;
    std::set<std::u16string> taken;
    std::u16string expected;
  } rows[] = {
      {{2024, 6, 15, 12, 0, 0, 0}, {u"Q-20240615-120000000.png"}, u"Q-20240615-120000001.png"},
      {{2024, 6, 15, 12, 0, 0, 0},
       {u"Q-20240615-120000000.png", u"Q-20240615-120000001.png", u"Q-20240615-120000002.png"},
       u"Q-20240615-120000003.png"},
      {{2024, 6, 15, 12, 0, 0, 0}, {u"Q-20240615-120000000.jpg"}, u"Q-20240615-120000000.png"},
      {{2023, 12, 31, 23, 59, 59, 999},
       {u"Q-20231231-235959999.png", u"Q-20240101-000000000.png"},
       u"Q-20240101-000000001.png"},
      {{2024, 2, 28, 23, 59, 59, 999}, {u"Q-20240228-235959999.png"}, u"Q-20240229-000000000.png"},
      {{2023, 2, 28, 23, 59, 59, 999}, {u"Q-20230228-235959999.png"}, u"Q-20230301-000000000.png"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(toUtf8(row.expected));
    FakeFolder probe;
    probe.files = row.taken;
    EXPECT_EQ(newFilename(NamingScheme::DateTime, kFolder, u"png", probe, row.now),
              kFolder + u"\\" + row.expected);
  }

  // Two captures within one millisecond, the first file written before the second is named.
  FakeFolder probe;
  const std::u16string first = newFilename(NamingScheme::DateTime, u"", u"png", probe, kNoon);
  probe.folder = u"";
  probe.files.insert(first);
  const std::u16string second = newFilename(NamingScheme::DateTime, u"", u"png", probe, kNoon);
  EXPECT_EQ(first, u"Q-20240615-120000000.png");
  EXPECT_EQ(second, u"Q-20240615-120000001.png");
}

}  // namespace
}  // namespace quorvel
