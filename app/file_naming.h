#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// How new capture files are named. The "append" setting stores 1, 3 and 2 for the three menu items
// (listed in that order), so the stored value is not the enumerator's position.
enum class NamingScheme {
  Sequential1,  // "Q-" + one past the highest number already in the folder
  Sequential2,  // "Q-" + the lowest number from 1 upwards whose full name is still free
  DateTime,     // "Q-yyyymmdd-hhmmsszzz"
};

// 1 -> Sequential1, 3 -> Sequential2; any other stored value (2 or garbage) names by date and time.
NamingScheme namingSchemeFromSetting(int append);

// A local wall-clock time as the system reports it (month and day from 1).
struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
  bool operator==(const LocalTime&) const = default;
};

// `t` moved by `ms` milliseconds (either sign), carrying into seconds, minutes, hours, days, months
// and years with the Gregorian leap-year rule. `t` must be a valid time.
LocalTime addMilliseconds(LocalTime t, int ms);

// "Q-yyyymmdd-hhmmsszzz.<ext>", e.g. Q-20240229-235959999.png.
std::u16string formatDateTimeName(const LocalTime& t, std::u16string_view ext);

// "Q-" + n with at least three digits + "." + ext: Q-001.png, Q-042.jpg, Q-1000.png.
std::u16string formatSequentialName(int n, std::u16string_view ext);

// The path of `name` in `folder`: the name alone for an empty folder, appended directly when the
// folder ends in '\', '/' or ':' (so E: gives E:name, relative to that drive's current folder),
// otherwise with a '\' between. Throws Error("Invalid characters in path") when either part holds a
// control character, '"', '<', '>' or '|'.
std::u16string joinPath(std::u16string_view folder, std::u16string_view name);

struct DirEntry {
  std::u16string name;
  bool isPlainDirectory;  // the attribute set is exactly "directory": no hidden, system, archive...
};

// The highest sequence number used by the entries of a folder, 0 when none has one. Plain
// directories are skipped; a name counts only when it starts with "Q-" (case-sensitive) and the text
// from there up to its first '.' is a decimal number: ASCII digits only, no sign, space or prefix,
// and small enough for an int. Q-12 (no dot) and date-time names do not count.
int findLastNumber(const std::vector<DirEntry>& entries);

// What naming needs to know about the file system; the Windows side answers from the real folder,
// tests from a fake.
class FileProbe {
 public:
  virtual ~FileProbe() = default;
  // Whether something of that path already exists.
  virtual bool exists(const std::u16string& path) = 0;
  // Every entry of the folder, empty when it is missing or cannot be read. An empty folder stands
  // for the current directory; build the search pattern with joinPath(folder, u"*.*").
  virtual std::vector<DirEntry> list(const std::u16string& folder) = 0;
};

// The full path for the next file with extension `ext` (lower case, no dot) in `folder`. Date-time
// names never replace an existing file: when the name for `now` is taken, the next free millisecond
// is used. Throws Error for invalid characters in the folder, and when the sequence numbers run out.
std::u16string newFilename(NamingScheme scheme, std::u16string_view folder, std::u16string_view ext,
                           FileProbe& probe, const LocalTime& now);

}  // namespace quorvel
