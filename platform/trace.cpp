#include "platform/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "platform/c_format.h"

namespace velrix {
namespace {

std::mutex g_traceMutex;

const char* TraceTarget() {
  static const char* target = std::getenv("VELRIX_TRACE");
  return (target != nullptr && *target != '\0') ? target : nullptr;
}

}  // namespace

bool TraceEnabled() { return TraceTarget() != nullptr; }

void Trace(const std::string& text) {
  const char* target = TraceTarget();
  if (target == nullptr) return;
  std::lock_guard<std::mutex> lock(g_traceMutex);
  const bool toStderr = target[0] == '-' && target[1] == '\0';
  std::FILE* f = toStderr ? stderr : std::fopen(target, "a");
  if (f == nullptr) return;
  std::fprintf(f, "%lld %s\n", static_cast<long long>(std::time(nullptr)), text.c_str());
  if (!toStderr) std::fclose(f);
}

void TraceF(const char* format, ...) {
  if (!TraceEnabled()) return;
  char buffer[512];
  va_list args;
  va_start(args, format);
  CFormatV(buffer, sizeof buffer, format, args);
  va_end(args);
  Trace(buffer);
}

}  // namespace velrix
