#include "datafile/data_file_parse.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

#include "datafile/file_history.h"
#include "datafile/row_scan.h"
#include "platform/cp932.h"
#include "platform/file_bytes.h"

namespace velrix {
namespace {

constexpr char kNameSeparator = '-';
constexpr char kNameExtension[] = ".csv";
constexpr std::size_t kNameSeparatorAt = 6;
constexpr int kYearOffset = 2000;
constexpr int kFirstYear = 11, kLastYear = 31;  // 2011-2031
constexpr char kMidnightStamp[] = "00:00:00";

struct FieldRule {
  NameField field;
  std::size_t at;  // first of its two digits in the name
  int low, high;
  const char* title;
};
constexpr FieldRule kNameRules[] = {
    {NameField::Year, 0, kFirstYear, kLastYear, "ファイル名(年)異常"},
    {NameField::Month, 2, 1, 12, "ファイル名(月)異常"},
    {NameField::Day, 4, 1, 31, "ファイル名(日)異常"},
    {NameField::Hour, 7, 0, 23, "ファイル名(時)異常"},
    {NameField::Minute, 9, 0, 59, "ファイル名(分)異常"},
    {NameField::Second, 11, 0, 59, "ファイル名(秒)異常"},
};
constexpr char kNameFormTitle[] = "ファイル名異常";

int NameDigits(const char* name, std::size_t at) {
  const char a = name[at], b = name[at + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
  return (a - '0') * 10 + (b - '0');
}

}  // namespace

// The last 17 characters of the path are the name.
bool CheckDataFileName(const std::string& path, DataFileText& text) {
  text.name[0] = '\0';
  if (path.size() < static_cast<std::size_t>(kDataFileNameLength)) {
    text.badField = NameField::Form;
    return false;
  }
  std::memcpy(text.name, path.data() + path.size() - kDataFileNameLength, kDataFileNameLength);
  text.name[kDataFileNameLength] = '\0';
  if (text.name[kNameSeparatorAt] != kNameSeparator ||
      std::memcmp(text.name + kDataFileNameLength - 4, kNameExtension, 4) != 0) {
    text.badField = NameField::Form;
    return false;
  }
  int* values[] = {&text.year, &text.month, &text.day, &text.hour, &text.minute, &text.second};
  for (std::size_t i = 0; i < std::size(kNameRules); ++i) {
    const FieldRule& rule = kNameRules[i];
    const int v = NameDigits(text.name, rule.at);
    if (v < rule.low || v > rule.high) {
      text.badField = rule.field;
      return false;
    }
    *values[i] = v;
  }
  text.year += kYearOffset;
  text.badField = NameField::None;
  return true;
}

namespace {


// Lines of the file's bytes: each without its LF and a CR before it.
class Lines {
 public:
  Lines(const char* data, std::size_t size) : p_(data), end_(data + size) {}
  bool Next(const char** line, std::size_t* length) {
    if (p_ >= end_) return false;
    const char* lf = static_cast<const char*>(std::memchr(p_, '\n', static_cast<std::size_t>(end_ - p_)));
    const char* stop = lf != nullptr ? lf : end_;
    *line = p_;
    *length = static_cast<std::size_t>(stop - p_);
    if (*length > 0 && (*line)[*length - 1] == '\r') --*length;
    p_ = lf != nullptr ? lf + 1 : end_;
    return true;
  }
  const char* Position() const { return p_; }
  std::size_t Remaining() const { return static_cast<std::size_t>(end_ - p_); }
  void Skip(std::size_t bytes) { p_ += bytes; }

 private:
  const char* p_;
  const char* end_;
};

// A header line as the writer keeps it: cut to 127 bytes, never inside a
// character. *whole tells whether that is the whole line.
std::string HeaderText(const char* line, std::size_t length, bool* whole) {
  std::string text = CutCp932(std::string(line, std::min(length, kHeaderTextMaxBytes + 1)),
                              kHeaderTextMaxBytes);
  *whole = text.size() == length;
  return text;
}

// A row's count, or no data for one that cannot be a count.
double RowCount(double count) {
  return count >= 0.0 && count <= kRowCountMax ? count : kNoDataCount;
}

void ReadRows(Lines& lines, DataFileText& text) {
  const char* line = nullptr;
  std::size_t length = 0;
  RowFields fields;
  if (!lines.Next(&line, &length) || EndsTheRows(line, length)) return;
  ScanRow(line, length, &fields);
  if (fields.hour < 0 || fields.hour > 23 || fields.minute < 0 || fields.minute > 59 ||
      fields.second < 0 || fields.second > 59) {
    return;  // a malformed first row: the file has no rows
  }
  text.firstRowValid = true;
  text.firstRowSecondOfDay = SecondOfDay(fields.hour, fields.minute, fields.second);
  // The no-data seconds before a late first row count towards the day.
  std::size_t limit = kSecondSlots;
  const int gap = text.firstRowSecondOfDay - NameSecondOfDay(text) - 1;
  if (gap > 0) limit -= static_cast<std::size_t>(gap);

  std::size_t n = 0;
  auto keep = [&text, &n](const RowFields& f) {
    text.counts[n] = RowCount(f.count);
    text.missing[n] = f.missing;
    text.power[n] = f.power;
    ++n;
  };
  keep(fields);
  bool midnight = false;
  while (n < limit) {
    // Nearly every row is the writer's own: read it in one step.
    if (lines.Remaining() >= kWriterRowBytes && ScanWriterRow(lines.Position(), &fields, &midnight)) {
      if (midnight) break;
      keep(fields);
      lines.Skip(kWriterRowBytes);
      continue;
    }
    if (!lines.Next(&line, &length) || EndsTheRows(line, length)) break;
    // A second midnight in one file: the rows after it belong to no second
    // of this file's day, so the file ends there.
    if (std::memcmp(line, kMidnightStamp, 8) == 0) break;
    ScanRow(line, length, &fields);
    keep(fields);
  }
  text.rowCount = n;
}

void ClearText(DataFileText& text) {
  text.outcome = DataFileText::Outcome::Read;
  text.version.clear();
  text.computerName.clear();
  text.unitNumber.clear();
  text.comment.clear();
  for (bool& whole : text.wholeLine) whole = true;
  text.firstRowValid = false;
  text.rowCount = 0;
}

}  // namespace

const char* NameErrorTitle(NameField field) {
  for (const FieldRule& rule : kNameRules) {
    if (rule.field == field) return rule.title;
  }
  return kNameFormTitle;
}

DataFileText::DataFileText() : counts(kSecondSlots), missing(kSecondSlots), power(kSecondSlots) {}

void ReadDataFile(const std::string& path, DataFileText& text) {
  if (!CheckDataFileName(path, text)) {
    ClearText(text);
    text.outcome = DataFileText::Outcome::BadName;
    return;
  }
  std::size_t size = 0;
  // The header's texts are the only other memory a file takes; a file the
  // memory cannot hold is one that cannot be opened, on whichever thread.
  try {
    if (ReadWholeFile(path, text.bytes, &size, kDataFileMaxBytes)) {
      ParseDataFileBytes(text.bytes.data(), size, text);
      return;
    }
  } catch (const std::bad_alloc&) {
  }
  ClearText(text);
  text.outcome = DataFileText::Outcome::CannotOpen;
}

bool LastRowLabel(const std::string& path, int* secondOfDay) {
  // A row is at most a few dozen bytes; the file's last ones are enough.
  constexpr long kTailBytes = 256;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  const long size = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
  std::string tail(kTailBytes, '\0');
  const long from = size > kTailBytes ? size - kTailBytes : 0;
  tail.resize(size >= 0 && std::fseek(f, from, SEEK_SET) == 0
                  ? std::fread(tail.data(), 1, tail.size(), f)
                  : 0);
  std::fclose(f);
  std::size_t end = tail.size();
  while (end > 0 && (tail[end - 1] == '\n' || tail[end - 1] == '\r')) --end;
  const std::size_t lineEnd = tail.rfind('\n', end == 0 ? 0 : end - 1);
  const std::size_t at = lineEnd == std::string::npos ? 0 : lineEnd + 1;
  // "hh:mm:ss," begins a row.
  if (at + 9 > end || tail[at + 2] != ':' || tail[at + 5] != ':' || tail[at + 8] != ',') {
    return false;
  }
  int digits[6];
  const std::size_t places[6] = {0, 1, 3, 4, 6, 7};
  for (int i = 0; i < 6; ++i) {
    const char c = tail[at + places[i]];
    if (c < '0' || c > '9') return false;
    digits[i] = c - '0';
  }
  *secondOfDay = SecondOfDay(digits[0] * 10 + digits[1], digits[2] * 10 + digits[3],
                             digits[4] * 10 + digits[5]);
  return true;
}

void ParseDataFileBytes(const char* data, std::size_t size, DataFileText& text) {
  ClearText(text);
  Lines lines(data, size);
  const char* line = nullptr;
  std::size_t length = 0;
  if (lines.Next(&line, &length)) text.version.assign(line, length);
  if (text.version != kOldDataFileVersion && text.version != kDataFileVersion) {
    text.outcome = DataFileText::Outcome::BadVersion;
    return;
  }
  std::string* header[] = {&text.computerName, &text.unitNumber, &text.comment};
  for (std::size_t i = 0; i < std::size(header); ++i) {
    if (lines.Next(&line, &length)) *header[i] = HeaderText(line, length, &text.wholeLine[i]);
  }
  lines.Next(&line, &length);  // the column titles
  ReadRows(lines, text);
}

}  // namespace velrix
