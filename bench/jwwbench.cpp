// Times the quick layer-test load, the full load, the save and the whole
// conversion of a large drawing made by the test-drawing builder.
//   jwwbench [ELEMENTS] [FOLDER]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "jwwbuilder.h"
#include "jwwunit.h"
#include "purge.h"
#include "workfolder.h"

using namespace jwwtest;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(const std::function<void()>& work, int repeat = 3) {
  double best = 1e9;
  for (int i = 0; i < repeat; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const long elements = argc > 1 ? std::atol(argv[1]) : 1000000;
  const std::filesystem::path folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path() / "jwwbench";
  std::filesystem::create_directories(folder);
  const auto source = folder / "big.jww";
  const auto output = folder / "big_2.JWW";

  Drawing d;
  d.Hdr.Version = 700;
  d.Hdr.Layers[5].State = 0;
  d.Elements.reserve(static_cast<size_t>(elements));
  for (long i = 0; i < elements; ++i) {
    const auto x = static_cast<double>(i);
    if (i % 10 == 9) {
      Moji m;
      m.StartX = x;
      m.Text = "text " + std::to_string(i);
      m.H.Layer = static_cast<uint16_t>(i % 16);
      d.Elements.push_back(m);
    } else {
      Sen s;
      s.StartX = x;
      s.EndX = x + 1;
      s.H.Layer = static_cast<uint16_t>(i % 16);
      d.Elements.push_back(s);
    }
  }
  WriteFile(source, Build(d));
  const auto size = std::filesystem::file_size(source);
  std::printf("drawing: %ld elements, %.1f MB\n", elements, static_cast<double>(size) / 1e6);

  WorkFolder = folder;
  TJwwData doc;
  const double quick = Seconds([&] { doc.LoadForLayerTest(source, 1); }, 5);
  const double load = Seconds([&] {
    if (!doc.LoadDocument(source)) std::fprintf(stderr, "load failed: %s\n", doc.LastError.c_str());
  });
  const double save = Seconds([&] {
    std::filesystem::remove(output);
    if (!doc.SaveDocument(output, doc.Header.Version)) std::fprintf(stderr, "save failed: %s\n", doc.LastError.c_str());
  });
  const double purge = Seconds([&] {
    doc.LoadDocument(source);
    qm::PurgeHiddenMaterial(doc);
    std::filesystem::remove(output);
    doc.SaveDocument(output, doc.Header.Version);
  }, 1);
  std::printf("layer-test load: %8.3f ms\n", quick * 1e3);
  std::printf("full load:       %8.3f ms (%.0f MB/s)\n", load * 1e3, static_cast<double>(size) / 1e6 / load);
  std::printf("save:            %8.3f ms (%.0f MB/s)\n", save * 1e3, static_cast<double>(size) / 1e6 / save);
  std::printf("load+purge+save: %8.3f ms\n", purge * 1e3);
  std::filesystem::remove(source);
  std::filesystem::remove(output);
  return 0;
}
