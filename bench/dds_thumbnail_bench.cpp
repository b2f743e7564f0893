// Decoding a custom block's 2048 x 2048 DDS texture into its 512 x 512 thumbnail, against
// merely reading the whole file, which a full-size decoder would have to do at the least.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "customblocks/dds_thumbnail.h"
#include "customblocks/import_progress_window.h"
#include "fixtures/dds_writer.h"
#include "platform/engine3d/engine3d.h"
#include "platform/files/file.h"
#include "platform/gui/scripted_gui.h"

namespace {

using namespace orelens;

class DdsFile {
 public:
  DdsFile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orelens-dds-bench-XXXXXX").string();
    if (mkdtemp(pattern.data())) folder_ = pattern;
    path_ = (folder_ / "all.dds").string();
    const auto bytes = fixtures::MakeDdsFile(2048, 2048, [](int x, int y) {
      return fixtures::MakeBc3Block({.alpha0 = static_cast<uint8_t>(x),
                                     .alpha1 = static_cast<uint8_t>(y),
                                     .alphaIndices = static_cast<uint64_t>(x * y),
                                     .colour0 = static_cast<uint16_t>(x * 97),
                                     .colour1 = static_cast<uint16_t>(y * 31),
                                     .colourIndices = static_cast<uint32_t>(x ^ y)});
    });
    fixtures::WriteBytesFile(path_, bytes);
  }
  ~DdsFile() { std::filesystem::remove_all(folder_); }
  const std::string& Path() const { return path_; }

 private:
  std::filesystem::path folder_;
  std::string path_;
};

void BM_DrawDdsThumbnail2048(benchmark::State& state) {
  DdsFile file;
  platform::ScriptedGui gui;
  customblocks::OpenImportProgressWindow(gui);
  auto engine = platform::MakeHeadlessEngine();
  engine->PBO_InitEngine3D(0);
  const int texture = engine->PBO_CreateTexture(-1, 512, 512);
  for (auto _ : state) {
    customblocks::DrawDdsThumbnail(*engine, gui, file.Path(), texture);
    benchmark::DoNotOptimize(engine->PBO_LockTexture(texture)->pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * 512 * 512);
}
BENCHMARK(BM_DrawDdsThumbnail2048)->Unit(benchmark::kMillisecond);

void BM_ReadWholeDdsFile2048(benchmark::State& state) {
  DdsFile file;
  for (auto _ : state) {
    platform::File whole = platform::File::Open(file.Path(), platform::FileMode::kRead);
    const std::vector<uint8_t> bytes = whole.ReadAll();
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(BM_ReadWholeDdsFile2048)->Unit(benchmark::kMillisecond);

}  // namespace
