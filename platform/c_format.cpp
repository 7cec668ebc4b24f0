#include "platform/c_format.h"

#include <clocale>
#include <cstdio>
#include <locale.h>

namespace velrix {
namespace {

// Made once and never freed: it outlives every thread that formats.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

// Switches only the calling thread, and only for the one call, so other
// threads never see a locale change under them.
class ThreadCLocale {
 public:
  ThreadCLocale() : previous_(CLocale() != static_cast<locale_t>(0) ? uselocale(CLocale()) : 0) {}
  ~ThreadCLocale() {
    if (previous_ != static_cast<locale_t>(0)) uselocale(previous_);
  }
  ThreadCLocale(const ThreadCLocale&) = delete;
  ThreadCLocale& operator=(const ThreadCLocale&) = delete;

 private:
  locale_t previous_;
};

}  // namespace

int CFormatV(char* out, std::size_t size, const char* format, va_list args) {
  ThreadCLocale c;
  return std::vsnprintf(out, size, format, args);
}

int CFormat(char* out, std::size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = CFormatV(out, size, format, args);
  va_end(args);
  return n;
}

std::string CFormatString(const char* format, ...) {
  char small[128];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = CFormatV(small, sizeof small, format, args);
  va_end(args);
  std::string out;
  if (n > 0 && static_cast<std::size_t>(n) < sizeof small) {
    out.assign(small, static_cast<std::size_t>(n));
  } else if (n > 0) {
    out.resize(static_cast<std::size_t>(n) + 1);
    CFormatV(out.data(), out.size(), format, again);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(again);
  return out;
}

void UseCNumbers() { std::setlocale(LC_NUMERIC, "C"); }

}  // namespace velrix
