// The pure code on the wizard's path: cutting output into lines and escaping each line for
// the page, over output shaped like a real wizard's (progress lines, paths, Polish text,
// carriage-return progress bars), arriving in pipe-sized chunks.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "setup/js_string.h"
#include "setup/line_splitter.h"

namespace {

std::string wizardOutput(int lines) {
  std::string out;
  for (int i = 0; i < lines; ++i) {
    switch (i % 4) {
      case 0:
        out += "[" + std::to_string(i) + "/" + std::to_string(lines) +
               "] Pobieranie pakietu tessary-" + std::to_string(i) + ".whl\n";
        break;
      case 1:
        out +=
            "      Zainstalowano: "
            "/home/użytkownik/.local/share/HalvarenTessary/app/.venv/lib/python3.11/site-packages/"
            "moduł_" +
            std::to_string(i) + "\n";
        break;
      case 2:
        out += "  postęp: ████████░░░░ 67% \"model\" \\ gotowe\r\n";
        break;
      default:
        out += "Ostrzeżenie:\tnieużywana opcja --szybko (zażółć gęślą jaźń)\n";
        break;
    }
  }
  return out;
}

std::vector<std::string_view> chunks(const std::string& output, size_t size) {
  std::vector<std::string_view> out;
  for (size_t at = 0; at < output.size(); at += size)
    out.push_back(std::string_view(output).substr(at, size));
  return out;
}

void SplitAndEscape(benchmark::State& state) {
  const std::string output = wizardOutput(static_cast<int>(state.range(0)));
  const auto pieces = chunks(output, 65536);
  for (auto _ : state) {
    tessary::LineSplitter splitter;
    size_t bytes = 0;
    for (auto piece : pieces) {
      splitter.feed(piece, [&](std::string_view line, uint64_t) {
        if (tessary::isValidUtf8(line)) bytes += ("wrLog(" + tessary::jsString(line) + ")").size();
      });
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(output.size()));
}
BENCHMARK(SplitAndEscape)->Arg(10000)->Arg(100000);

void SplitOnly(benchmark::State& state) {
  const std::string output = wizardOutput(100000);
  const auto pieces = chunks(output, static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    tessary::LineSplitter splitter;
    size_t lines = 0;
    for (auto piece : pieces) splitter.feed(piece, [&](std::string_view, uint64_t) { ++lines; });
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(output.size()));
}
BENCHMARK(SplitOnly)->Arg(64)->Arg(65536);

void JsString(benchmark::State& state) {
  const std::string line =
      "      Zainstalowano: /home/użytkownik/.local/share/HalvarenTessary/app/.venv/lib/\"x\"\r";
  for (auto _ : state) benchmark::DoNotOptimize(tessary::jsString(line));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(line.size()));
}
BENCHMARK(JsString);

}  // namespace

BENCHMARK_MAIN();
