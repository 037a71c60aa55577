#include "app/file_naming.h"

#include <algorithm>
#include <chrono>
#include <climits>

#include "support/error.h"

namespace quorvel {
namespace {

// Decimal digits of `value`, zero-padded to at least `width`; a minus sign goes before the padding.
void appendNumber(std::u16string& out, long long value, int width) {
  unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value) : value;
  char16_t digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) out += u'-';
  out.append(std::max(width - count, 0), u'0');
  while (count > 0) out += digits[--count];
}

bool isInvalidPathChar(char16_t c) {
  return c < 0x20 || c == u'"' || c == u'<' || c == u'>' || c == u'|';
}

void checkPathChars(std::u16string_view text) {
  if (std::any_of(text.begin(), text.end(), isInvalidPathChar)) throw Error("Invalid characters in path");
}

// The sequence number in the piece between "Q-" and the dot, or -1 when the piece is not a plain
// run of digits that fits an int.
int sequenceNumber(std::u16string_view piece) {
  if (piece.empty()) return -1;
  int value = 0;
  for (char16_t c : piece) {
    if (c < u'0' || c > u'9') return -1;
    const int digit = c - u'0';
    if (value > (INT_MAX - digit) / 10) return -1;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace

NamingScheme namingSchemeFromSetting(int append) {
  switch (append) {
    case 1:
      return NamingScheme::Sequential1;
    case 3:
      return NamingScheme::Sequential2;
    default:
      return NamingScheme::DateTime;
  }
}

LocalTime addMilliseconds(LocalTime t, int ms) {
  using namespace std::chrono;
  const sys_days date{
      year_month_day{year{t.year}, month{static_cast<unsigned>(t.month)}, day{static_cast<unsigned>(t.day)}}};
  const sys_time<milliseconds> moved = date + hours{t.hour} + minutes{t.minute} + seconds{t.second} +
                                       milliseconds{t.millisecond} + milliseconds{ms};
  const sys_days movedDate = floor<days>(moved);
  const year_month_day ymd{movedDate};
  const hh_mm_ss clock{moved - movedDate};
  return {static_cast<int>(ymd.year()),
          static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day())),
          static_cast<int>(clock.hours().count()),
          static_cast<int>(clock.minutes().count()),
          static_cast<int>(clock.seconds().count()),
          static_cast<int>(clock.subseconds().count())};
}

std::u16string formatDateTimeName(const LocalTime& t, std::u16string_view ext) {
  std::u16string name = u"Q-";
  appendNumber(name, t.year, 4);
  appendNumber(name, t.month, 2);
  appendNumber(name, t.day, 2);
  name += u'-';
  appendNumber(name, t.hour, 2);
  appendNumber(name, t.minute, 2);
  appendNumber(name, t.second, 2);
  appendNumber(name, t.millisecond, 3);
  name += u'.';
  name += ext;
  return name;
}

std::u16string formatSequentialName(int n, std::u16string_view ext) {
  std::u16string name = u"Q-";
  appendNumber(name, n, 3);
  name += u'.';
  name += ext;
  return name;
}

std::u16string joinPath(std::u16string_view folder, std::u16string_view name) {
  checkPathChars(folder);
  checkPathChars(name);
  std::u16string path{folder};
  if (!folder.empty() && folder.back() != u'\\' && folder.back() != u'/' && folder.back() != u':') {
    path += u'\\';
  }
  path += name;
  return path;
}

int findLastNumber(const std::vector<DirEntry>& entries) {
  int last = 0;
  for (const DirEntry& entry : entries) {
    if (entry.isPlainDirectory) continue;
    const std::u16string_view name = entry.name;
    if (!name.starts_with(u"Q-")) continue;
    const std::size_t dot = name.find(u'.', 2);
    if (dot == std::u16string_view::npos) continue;
    last = std::max(last, sequenceNumber(name.substr(2, dot - 2)));
  }
  return last;
}

std::u16string newFilename(NamingScheme scheme, std::u16string_view folder, std::u16string_view ext,
                           FileProbe& probe, const LocalTime& now) {
  // Refuse a bad folder before the file system is asked about it.
  checkPathChars(folder);

  if (scheme == NamingScheme::DateTime) {
    // Two captures in the same millisecond would otherwise share a name and the second would
    // silently replace the first.
    LocalTime t = now;
    std::u16string path = joinPath(folder, formatDateTimeName(t, ext));
    while (probe.exists(path)) {
      t = addMilliseconds(t, 1);
      path = joinPath(folder, formatDateTimeName(t, ext));
    }
    return path;
  }

  int n = scheme == NamingScheme::Sequential1 ? findLastNumber(probe.list(std::u16string{folder})) : 0;
  for (;;) {
    if (n == INT_MAX) throw Error("No free file number is left in the save folder");
    ++n;
    std::u16string path = joinPath(folder, formatSequentialName(n, ext));
    if (!probe.exists(path)) return path;
  }
}

}  // namespace quorvel
