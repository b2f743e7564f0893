// The PNG optimiser on a 512 x 512 custom-block preview, as the import runs it (one process per
// picture, waited for at most 2000 ms), against the quantiser and the lossless fallback with
// other settings, measured side by side. Wall time: the machine's load counts, as for the user.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../tools/demo_textures.h"
#include "platform/files/file.h"
#include "platform/image/png_writer.h"
#include "platform/system/process.h"

namespace {

using namespace orelens;
namespace fs = std::filesystem;

constexpr int kPreviewSize = 512;

// A parallelogram of the picture showing a texture: origin and the two edge vectors, in pixels.
struct FaceOnScreen {
  float originX, originY, ux, uy, vx, vy;
  float light;
};

// What the import saves before it optimises: the block's three lit, textured faces seen from
// above a corner, its white background already made transparent.
platform::Image MakePreviewPicture() {
  platform::Image picture(kPreviewSize, kPreviewSize, platform::PackRgba(255, 255, 255, 0));
  const std::array<platform::Image, 3> textures{tools::Planks(), tools::Bricks(), tools::Cobblestone()};
  const std::array<FaceOnScreen, 3> faces{{
      {256, 30, 210, 100, -210, 100, 1.0f},  // top
      {46, 130, 210, 100, 0, 240, 0.78f},    // +Z side
      {256, 230, 210, -100, 0, 240, 0.9f},   // +X side
  }};
  for (size_t f = 0; f < faces.size(); ++f) {
    const FaceOnScreen& face = faces[f];
    const platform::Image& texture = textures[f];
    const float determinant = face.ux * face.vy - face.uy * face.vx;
    for (int y = 0; y < kPreviewSize; ++y) {
      for (int x = 0; x < kPreviewSize; ++x) {
        const float px = x + 0.5f - face.originX, py = y + 0.5f - face.originY;
        const float u = (px * face.vy - py * face.vx) / determinant;
        const float v = (face.ux * py - face.uy * px) / determinant;
        if (u < 0 || u >= 1 || v < 0 || v >= 1) continue;
        const uint32_t texel =
            texture.at(static_cast<int>(u * texture.width), static_cast<int>(v * texture.height));
        picture.at(x, y) = tools::Pack(tools::Shade(
            {static_cast<float>(platform::RedOf(texel)), static_cast<float>(platform::GreenOf(texel)),
             static_cast<float>(platform::BlueOf(texel))},
            face.light));
      }
    }
  }
  return picture;
}

// A preview file written afresh before each run of an optimiser.
class PreviewFile {
 public:
  PreviewFile() {
    std::string pattern = (fs::temp_directory_path() / "orelens-optimiser-bench-XXXXXX").string();
    if (mkdtemp(pattern.data())) folder_ = pattern;
    original_ = (folder_ / "original.png").string();
    path_ = (folder_ / "12345.png").string();
    platform::WritePngFile(original_, MakePreviewPicture());
  }
  ~PreviewFile() { fs::remove_all(folder_); }
  void Reset() const { fs::copy_file(original_, path_, fs::copy_options::overwrite_existing); }
  const std::string& Path() const { return path_; }
  int64_t OriginalBytes() const { return static_cast<int64_t>(fs::file_size(original_)); }

 private:
  fs::path folder_;
  std::string original_, path_;
};

// Runs program with the arguments ("{}" stands for the picture) on a fresh copy each iteration.
void RunOptimiser(benchmark::State& state, const std::string& program,
                  const std::vector<std::string>& pattern) {
  if (!fs::exists(program)) {
    state.SkipWithError((program + " is not installed").c_str());
    return;
  }
  PreviewFile file;
  std::vector<std::string> arguments = pattern;
  for (std::string& argument : arguments)
    if (argument == "{}") argument = file.Path();
  for (auto _ : state) {
    state.PauseTiming();
    file.Reset();
    state.ResumeTiming();
    platform::ExternalProcess process;
    if (!process.Start(program, arguments) || !process.WaitFor(60000) || process.ExitCode() != 0) {
      state.SkipWithError("the optimiser failed");
      return;
    }
  }
  state.counters["bytes_before"] = static_cast<double>(file.OriginalBytes());
  state.counters["bytes_after"] = static_cast<double>(fs::file_size(file.Path()));
}

void BM_PingoAsShipped(benchmark::State& state) {
  RunOptimiser(state, ORELENS_SOURCE_DIR "/tools/pingo", {"-pngpalette=40", "{}"});
}

// The quantiser by itself, by speed (1 slowest .. 11 fastest, 4 its default) and with its own
// threads (all cores) or one thread.
void BM_Pngquant(benchmark::State& state) {
  const std::string speed = std::to_string(state.range(0));
  std::vector<std::string> arguments{
      "--force", "--skip-if-larger", "--strip", "--speed", speed, "--output", "{}", "40", "--", "{}"};
  if (state.range(1) == 1) {
    arguments.insert(arguments.begin(), {"OMP_NUM_THREADS=1", "/usr/bin/pngquant"});
    RunOptimiser(state, "/usr/bin/env", arguments);
  } else {
    RunOptimiser(state, "/usr/bin/pngquant", arguments);
  }
}

// The lossless fallback where the quantiser is missing: its default level 2 (8 trials), level 1
// (one trial at zlib level 9) and level 1 at zlib level 6.
void BM_Optipng(benchmark::State& state, std::vector<std::string> options) {
  options.insert(options.end(), {"-quiet", "--", "{}"});
  RunOptimiser(state, "/usr/bin/optipng", options);
}

void Measured(benchmark::internal::Benchmark* benchmark) {
  benchmark->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(3)
      ->Repetitions(5)
      ->ComputeStatistics("min",
                          [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
      ->ReportAggregatesOnly();
}

BENCHMARK(BM_PingoAsShipped)->Apply(Measured);
BENCHMARK(BM_Pngquant)
    ->ArgNames({"speed", "one_thread"})
    ->ArgsProduct({{4, 8, 10, 11}, {0, 1}})
    ->Apply(Measured);
BENCHMARK_CAPTURE(BM_Optipng, o2, std::vector<std::string>{"-o2"})->Apply(Measured);
BENCHMARK_CAPTURE(BM_Optipng, o1, std::vector<std::string>{"-o1"})->Apply(Measured);
BENCHMARK_CAPTURE(BM_Optipng, o1_zc6, std::vector<std::string>{"-o1", "-zc6"})->Apply(Measured);

}  // namespace
