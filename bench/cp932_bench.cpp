// What the CP932 edge costs for a comment of the largest size a data file
// header and comment.def hold: 127 bytes in CP932, Japanese and ASCII mixed.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "datafile/data_file_writer.h"
#include "platform/cp932.h"

namespace velrix::bench {
namespace {

const std::string kComment =
    "屋上観測点 No.3 南側フェンス際、地上高1.5m。月例点検: 電池交換済み、"
    "ソーラーパネル清掃済み。担当: 山田 太郎 (内線2147/PHS 3101)";

// False, with the benchmark marked, when the comment is not the size it is
// meant to be (a changed converter would make the figures mean something else).
bool CommentHasFullSize(benchmark::State& state, const std::string& cp932) {
  if (cp932.size() != kHeaderTextMaxBytes) {
    const std::string error = "comment is " + std::to_string(cp932.size()) + " bytes in CP932";
    state.SkipWithError(error.c_str());
    return false;
  }
  return true;
}

void BM_Utf8ToCp932Comment(benchmark::State& state) {
  bool ok = true;
  if (!CommentHasFullSize(state, Utf8ToCp932(kComment, &ok))) return;
  for (auto _ : state) benchmark::DoNotOptimize(Utf8ToCp932(kComment, &ok));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(kComment.size()));
}
BENCHMARK(BM_Utf8ToCp932Comment);

void BM_Cp932ToUtf8Comment(benchmark::State& state) {
  const std::string cp932 = Utf8ToCp932(kComment);
  if (!CommentHasFullSize(state, cp932)) return;
  for (auto _ : state) benchmark::DoNotOptimize(Cp932ToUtf8(cp932));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(cp932.size()));
}
BENCHMARK(BM_Cp932ToUtf8Comment);

// The cut a settings dialog makes to a comment typed one character too long.
void BM_CutUtf8ToCp932BytesComment(benchmark::State& state) {
  if (!CommentHasFullSize(state, Utf8ToCp932(kComment))) return;
  const std::string typed = kComment + "。";
  for (auto _ : state) benchmark::DoNotOptimize(CutUtf8ToCp932Bytes(typed, kHeaderTextMaxBytes));
}
BENCHMARK(BM_CutUtf8ToCp932BytesComment);

}  // namespace
}  // namespace velrix::bench
