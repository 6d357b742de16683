// The benchmark: the parts of a conversion and the whole, side by side with
// copying the file, peak memory of the command line, growth with the size of
// a drawing, and batches of many small drawings. Prints a Markdown report.
//   jwwbench [--smoke] [--elements N] [--pairs P] [--batch N] [--folder DIR] [--baseline CLI]
//   jwwbench --make drawing|batch|empty|nested|images PATH N   (one input alone)
// --smoke: small sizes, for CI (nothing is asserted about time).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <span>
#include <thread>
#include <string>
#include <vector>

#include "Unit1.h"
#include "Unit2.h"
#include "controls.h"
#include "fileio.h"
#include "jwwbuilder.h"
#include "jwwgen.h"
#include "jwwsections.h"
#include "jwwunit.h"
#include "proof.h"
#include "purge.h"
#include "render.h"
#include "svg.h"
#include "workfolder.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

using namespace qm;

double Now() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double Time(const std::function<void()>& work) {
  const double t = Now();
  work();
  return Now() - t;
}

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "jwwbench: %s\n", what.c_str());
  std::exit(1);
}

// What `cat SRC > DST` does: read and write in large pieces, no flush.
void Copy(const fs::path& from, const fs::path& to) {
  qm::TFile in = qm::TFile::OpenRead(from);
  qm::TFile out = qm::TFile::CreateReplace(to);
  std::vector<char> buffer(128 * 1024);
  for (size_t n; (n = in.Read(buffer.data(), buffer.size())) > 0;) out.Write(buffer.data(), n);
  out.Close();
}

// The conversion as the window and the command line run it: the batch driver
// over a list, with controls that show nothing.
class TQuietView : public qm::IResultView {
 public:
  void ShowModal(const qm::TForm2&) override {}
};
class TQuietStatus : public qm::IStatusBar {
 public:
  void SetSimpleText(const std::string&) override {}
};
class TQuietBounds : public qm::IWindowBounds {
 public:
  int Left() const override { return 0; }
  int Top() const override { return 0; }
  int Width() const override { return 100; }
  int Height() const override { return 100; }
  void SetLeft(int) override {}
  void SetTop(int) override {}
  void SetWidth(int) override {}
  void SetHeight(int) override {}
};

struct TDriver {
  TQuietStatus Status;
  TQuietView View;
  TQuietBounds MainBounds, ResultBounds;
  qm::TForm2 Form2{View, ResultBounds};
  qm::TForm1 Form1{Status, MainBounds, Form2};
  explicit TDriver(const fs::path& work) { Form1.StartWork(work); }
  // Converts one drawing; the output is removed again.
  void Convert(const fs::path& source) {
    Form1.ListBox1().Clear();
    Form1.ListBox1().Add({source});
    Form1.Button3Click();
    const qm::TFileResult& last = Form1.Results().back();
    if (last.Outcome != qm::TOutcome::Converted) Die("conversion failed: " + last.Detail());
    fs::remove(last.Output);
  }
};

// Runs the command line on args; wall seconds and peak memory (KiB).
struct TRun {
  double Seconds = 0;
  long PeakKb = 0;
  int Status = -1;
  double Cpu = 0;  // user and system seconds
};
// Runs argv[0] with its arguments in a child; its wall time and peak memory.
TRun RunMeasured(char** argv) {
  const double t = Now();
  const pid_t child = fork();
  if (child == 0) {
    const int devnull = ::open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    execv(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  rusage ru{};
  wait4(child, &status, 0, &ru);
  TRun r;
  r.Seconds = Now() - t;
  r.PeakKb = ru.ru_maxrss;
  r.Cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
          static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// The command line is started from a fresh, small process of this program
// ("--measure"): a child forked from this large one would count this one's
// memory as its own until it starts the command line.
TRun RunCli(const fs::path& cli, const std::vector<std::string>& args) {
  std::vector<std::string> all = {fs::read_symlink("/proc/self/exe").string(), "--measure", cli.string()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  if (pipe(out) != 0) Die("no pipe");
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], 1);
    ::close(out[0]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  ::close(out[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  ::close(out[0]);
  waitpid(child, nullptr, 0);
  TRun r;
  if (std::sscanf(text.c_str(), "%lf %ld %d %lf", &r.Seconds, &r.PeakKb, &r.Status, &r.Cpu) != 4)
    Die("cannot measure " + cli.string());
  return r;
}

double Mb(uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }

std::string Machine() {
  utsname u{};
  uname(&u);
  std::string cpu = "unknown CPU";
  std::ifstream info("/proc/cpuinfo");
  for (std::string line; std::getline(info, line);)
    if (line.starts_with("model name")) {
      cpu = line.substr(line.find(':') + 2);
      break;
    }
  const long cores = sysconf(_SC_NPROCESSORS_ONLN);
  const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGE_SIZE);
  char date[32];
  const std::time_t now = std::time(nullptr);
  std::strftime(date, sizeof date, "%Y-%m-%d", std::gmtime(&now));
  return std::string(date) + ", " + cpu + ", " + std::to_string(cores) + " cores, " +
         std::to_string(pages / 1024 * page / 1024 / 1024) + " GiB, " + u.sysname + " " + u.release;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "--measure") {
    const TRun r = RunMeasured(argv + 2);
    std::printf("%f %ld %d %f\n", r.Seconds, r.PeakKb, r.Status, r.Cpu);
    return 0;
  }
  bool smoke = false;
  uint32_t elements = 1000000, batch = 10000;
  int pairs = 7;
  fs::path folder = qm::SystemTempFolder() / ("jwwbench-" + std::to_string(getpid()));
  fs::path baseline;  // another build's command line, measured beside this one
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--smoke") {
      smoke = true;
      elements = 10000;
      batch = 200;
      pairs = 3;
    } else if (a == "--elements" && i + 1 < argc) {
      elements = static_cast<uint32_t>(std::atol(argv[++i]));
    } else if (a == "--pairs" && i + 1 < argc) {
      pairs = std::atoi(argv[++i]);
    } else if (a == "--batch" && i + 1 < argc) {
      batch = static_cast<uint32_t>(std::atol(argv[++i]));
    } else if (a == "--folder" && i + 1 < argc) {
      folder = argv[++i];
    } else if (a == "--baseline" && i + 1 < argc) {
      baseline = fs::absolute(argv[++i]);
    } else if (a == "--make" && i + 3 < argc) {
      // One of the benchmark's inputs alone, for profiling by hand:
      // --make drawing|batch|empty|nested|images|inserts PATH N
      const std::string kind = argv[++i];
      const fs::path to = argv[++i];
      const uint32_t count = static_cast<uint32_t>(std::atol(argv[++i]));
      if (kind == "batch") {
        std::printf("%.1f MB in %u drawings\n", Mb(jwwgen::RealisticBatch(to, count)), count);
        return 0;
      }
      if (kind == "drawing")
        jwwgen::MixedDrawing(to, count);
      else if (kind == "empty")
        jwwgen::EmptyDefinitions(to, count);
      else if (kind == "nested")
        jwwgen::NestedChain(to, count);
      else if (kind == "images")
        jwwgen::ImagesAndTexts(to, count);
      else if (kind == "inserts")
        jwwgen::ManyInserts(to, count);
      else
        Die("--make drawing|batch|empty|nested|images|inserts PATH N");
      std::printf("%.1f MB\n", Mb(fs::file_size(to)));
      return 0;
    } else {
      Die("usage: jwwbench [--smoke] [--elements N] [--pairs P] [--batch N] [--folder DIR] [--baseline CLI] | --make KIND PATH N");
    }
  }
  const fs::path cli = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "app" / "cli" / "quillmark";
  fs::create_directories(folder);
  const fs::path work = folder / "work";
  fs::create_directories(work);
  const fs::path big = folder / "big.jww", copy = folder / "copy.jww";

  std::printf("## %s\n\n", Machine().c_str());
  jwwgen::MixedDrawing(big, elements);
  const uint64_t size = fs::file_size(big);
  std::printf("Drawing: %u elements, %.1f MB (version 7.00, 4 images, 20 %% hidden)\n\n", elements, Mb(size));

  // The parts, one after the other, medians of `pairs` runs.
  TJwwData doc;
  std::vector<double> quick, load, purge, write, flush, check;
  qm::TWorkFolderScope scope(work);
  TLoadOptions options;
  options.WorkFolder = scope.Folder();
  for (int i = 0; i < std::max(pairs, 5) * 3; ++i) quick.push_back(Time([&] { doc.LoadForLayerTest(big, 1); }));
  for (int i = 0; i < pairs; ++i) {
    doc.ClearDocument();
    load.push_back(Time([&] {
      if (const TJwwStatus loaded = doc.LoadDocument(big, options); !loaded) Die(loaded.Text());
    }));
    purge.push_back(Time([&] { qm::PurgeHiddenMaterial(doc); }));
    const fs::path out = folder / "written.jww";
    std::vector<TWrittenImage> images;
    write.push_back(Time([&] {
      qm::TFile file = qm::TFile::CreateReplace(out);
      TJwwWriter writer(file);
      TJwwSections::WriteHeaderSection(doc, writer, doc.Header.Version);
      TJwwSections::WriteEntitySection(doc, writer, doc.Header.Version, &images);
      writer.Flush();
      flush.push_back(Time([&] { file.Sync(); }));
      file.Close();
    }));
    check.push_back(Time([&] {
      TJwwReader back(out);
      TJwwSections::CheckWrittenFile(doc, back, doc.Header.Version, images);
    }));
    fs::remove(out);
  }
  doc.ClearDocument();

  // The whole conversion and the copy, in pairs.
  std::vector<double> copies, conversions;
  {
    TDriver driver(work);
    for (int i = 0; i < pairs; ++i) {
      copies.push_back(Time([&] { Copy(big, copy); }));
      fs::remove(copy);
      conversions.push_back(Time([&] { driver.Convert(big); }));
    }
  }
  const double cat = Median(copies), whole = Median(conversions);
  std::printf("| step | median | MB/s |\n|---|---:|---:|\n");
  auto row = [&](const char* name, double s) {
    std::printf("| %s | %.1f ms | %.0f |\n", name, s * 1e3, Mb(size) / s);
  };
  row("copy (cat)", cat);
  std::printf("| LoadForLayerTest | %.3f ms | |\n", Median(quick) * 1e3);
  row("LoadDocument", Median(load));
  std::printf("| purge | %.1f ms | |\n", Median(purge) * 1e3);
  row("write with flush", Median(write));
  std::printf("| (of which the flush to disk) | %.1f ms | |\n", Median(flush) * 1e3);
  row("read-back check", Median(check));
  row("whole conversion", whole);
  std::printf("\nWhole conversion / copy: **%.2f×** (target at most 3×; medians of %d pairs)\n\n", whole / cat, pairs);

  // Rendering, and the visual proof against the whole conversion.
  {
    TJwwData d;
    if (const TJwwStatus loaded = d.LoadDocument(big); !loaded) Die(loaded.Text());
    class TNullSink : public qm::view::IDisplaySink {
     public:
      void Polyline(const qm::view::TOrigin&, const qm::view::TStroke&, std::span<const qm::view::TPoint>) override {}
      void Arc(const qm::view::TOrigin&, const qm::view::TStroke&, const qm::view::TArc&) override {}
      void Polygon(const qm::view::TOrigin&, uint32_t, std::span<const qm::view::TPoint>) override {}
      void Text(const qm::view::TOrigin&, const qm::view::TText&) override {}
      void Image(const qm::view::TOrigin&, const qm::view::TImage&) override {}
      void Dot(const qm::view::TOrigin&, const qm::view::TDot&) override {}
    } none;
    std::vector<double> produce, omit, mark, record, compare;
    uint64_t items = 0, omitBytes = 0, markBytes = 0;
    const fs::path svg = folder / "picture.svg";
    auto picture = [&](qm::view::THidden mode, uint64_t& bytes) {
      std::ofstream out(svg, std::ios::binary | std::ios::trunc);
      qm::view::WriteSvg(d, out, {mode});
      out.close();
      if (!out) Die("cannot write " + svg.string());
      bytes = fs::file_size(svg);
    };
    const int renders = std::max(3, pairs / 2);
    for (int i = 0; i < renders; ++i) {
      produce.push_back(Time([&] { items = qm::view::Render(d, none).Items; }));
      omit.push_back(Time([&] { picture(qm::view::THidden::Omit, omitBytes); }));
      mark.push_back(Time([&] { picture(qm::view::THidden::Mark, markBytes); }));
    }
    fs::remove(svg);
    size_t recorded = 0, recordBytes = 0;
    for (int i = 0; i < pairs; ++i) {
      if (i > 0)
        if (const TJwwStatus loaded = d.LoadDocument(big); !loaded) Die(loaded.Text());
      std::optional<qm::view::TVisualRecord> before;
      record.push_back(Time([&] { before = qm::view::TVisualRecord::Of(d); }));
      recorded = before->Items();
      recordBytes = before->MemoryBytes();
      qm::PurgeHiddenMaterial(d);
      std::optional<qm::view::TVisualDifference> difference;
      compare.push_back(Time([&] { difference = before->Compare(d); }));
      if (difference) Die("the visual proof fails on the benchmark drawing: " + difference->What);
    }
    const TRun cliRun = RunCli(cli, {"render", "--hidden", "mark", "-o", svg.string(), big.string()});
    if (cliRun.Status != 0) Die("quillmark render failed");
    fs::remove(svg);
    const double proof = Median(record) + Median(compare);
    std::printf("| rendering | median | |\n|---|---:|---|\n");
    std::printf("| display items made, no output (every layer, inserts expanded) | %.1f ms | %llu items |\n",
                Median(produce) * 1e3, static_cast<unsigned long long>(items));
    std::printf("| SVG, `--hidden omit`, to a file | %.1f ms | %.1f MB (%.2f× the drawing) |\n", Median(omit) * 1e3,
                Mb(omitBytes), static_cast<double>(omitBytes) / static_cast<double>(size));
    std::printf("| SVG, `--hidden mark`, to a file | %.1f ms | %.1f MB (%.2f× the drawing) |\n", Median(mark) * 1e3,
                Mb(markBytes), static_cast<double>(markBytes) / static_cast<double>(size));
    std::printf("| `quillmark render --hidden mark` (load and write) | %.0f ms | peak memory %.0f MB |\n",
                cliRun.Seconds * 1e3, static_cast<double>(cliRun.PeakKb) / 1024);
    std::printf("| visual proof: record the source (hidden off) | %.1f ms | %zu items, %.1f MB |\n",
                Median(record) * 1e3, recorded, Mb(recordBytes));
    std::printf("| visual proof: compare the purged document | %.1f ms | |\n", Median(compare) * 1e3);
    std::printf("| **visual proof / whole conversion** | **%.1f ms / %.1f ms = %.0f %%** | |\n\n", proof * 1e3,
                whole * 1e3, proof / whole * 100);
  }

  // Pictures of drawings of many block inserts, by the command line: the
  // picture's size against the drawing's, and its time as the inserts grow.
  {
    const uint32_t many = smoke ? 10000 : 100000;
    const fs::path tenthInserts = folder / "inserts-tenth.jww", manyInserts = folder / "inserts.jww";
    jwwgen::ManyInserts(tenthInserts, many / 10);
    jwwgen::ManyInserts(manyInserts, many);
    const fs::path svg = folder / "inserts.svg";
    std::printf("| `quillmark render` (screen, load and write) | drawing | wall | SVG | SVG / drawing |%s\n"
                "|---|---:|---:|---:|---:|%s\n",
                baseline.empty() ? "" : " baseline: wall, SVG |", baseline.empty() ? "" : "---:|");
    auto renderRow = [&](const std::string& name, const fs::path& drawing) {
      const uint64_t bytes = fs::file_size(drawing);
      auto once = [&](const fs::path& program) {
        std::vector<double> walls;
        TRun r;
        for (int i = 0; i < std::max(3, pairs / 2); ++i) {
          r = RunCli(program, {"render", "-o", svg.string(), drawing.string()});
          if (r.Status != 0) Die("quillmark render failed on " + name);
          walls.push_back(r.Seconds);
        }
        r.Seconds = Median(walls);
        const uint64_t out = fs::file_size(svg);
        fs::remove(svg);
        return std::make_pair(r, out);
      };
      const auto [r, out] = once(cli);
      std::printf("| %s | %.1f MB | %.0f ms | %.1f MB | %.2f× |", name.c_str(), Mb(bytes), r.Seconds * 1e3, Mb(out),
                  static_cast<double>(out) / static_cast<double>(bytes));
      if (!baseline.empty()) {
        const auto [b, bout] = once(baseline);
        std::printf(" %.0f ms, %.1f MB |", b.Seconds * 1e3, Mb(bout));
      }
      std::printf("\n");
      return r.Seconds;
    };
    renderRow(std::to_string(elements) + " elements (the drawing above)", big);
    const double tenthTime = renderRow(std::to_string(many / 10) + " block inserts", tenthInserts);
    const double manyTime = renderRow(std::to_string(many) + " block inserts", manyInserts);
    std::printf("\nGrowth: %u → %u block inserts: **%.1f×** the time for 10× the inserts\n\n", many / 10, many,
                manyTime / tenthTime);
  }

  // Peak memory of the command line.
  std::printf("| command line | wall | peak memory | bound (2 × file + 64 MB) |%s\n|---|---:|---:|---:|%s\n",
              baseline.empty() ? "" : " baseline: wall, peak |", baseline.empty() ? "" : "---:|");
  auto memoryRow = [&](const char* name, const fs::path& drawing) {
    const uint64_t bytes = fs::file_size(drawing);
    auto once = [&](const fs::path& program) {
      const TRun r = RunCli(program, {"convert", drawing.string()});
      if (r.Status != 0) Die(std::string("the command line failed on ") + name);
      for (int n = 2; n < 10; ++n) {
        fs::path out = drawing;
        out.replace_filename(drawing.stem().string() + "_" + std::to_string(n) + ".JWW");
        fs::remove(out);
      }
      return r;
    };
    const TRun r = once(cli);
    std::printf("| %s (%.1f MB) | %.0f ms | %.0f MB | %.0f MB |", name, Mb(bytes), r.Seconds * 1e3,
                static_cast<double>(r.PeakKb) / 1024, 2 * Mb(bytes) + 64);
    if (!baseline.empty()) {
      const TRun b = once(baseline);
      std::printf(" %.0f ms, %.0f MB |", b.Seconds * 1e3, static_cast<double>(b.PeakKb) / 1024);
    }
    std::printf("\n");
  };
  memoryRow("mixed drawing", big);
  const uint32_t defs = smoke ? 5000 : 500000, chain = smoke ? 2000 : 200000;
  const fs::path empty = folder / "defs.jww", nested = folder / "chain.jww";
  jwwgen::EmptyDefinitions(empty, defs);
  jwwgen::NestedChain(nested, chain);
  memoryRow((std::to_string(defs) + " empty definitions").c_str(), empty);
  memoryRow((std::to_string(chain) + " nested definitions").c_str(), nested);

  // Growth: a tenth of the drawing.
  const fs::path tenth = folder / "tenth.jww";
  jwwgen::MixedDrawing(tenth, elements / 10);
  std::vector<double> small;
  {
    TDriver driver(work);
    for (int i = 0; i < pairs; ++i) small.push_back(Time([&] { driver.Convert(tenth); }));
  }
  std::printf("\nGrowth: %u elements %.1f ms, %u elements %.1f ms: **%.1f×** for 10× the elements (target at most 11×)\n\n",
              elements / 10, Median(small) * 1e3, elements, whole * 1e3, whole / Median(small));

  // Images and the texts that show them: each text looks its image up once.
  {
    const uint32_t few = smoke ? 500 : 5000, many = smoke ? 2000 : 20000;
    const fs::path a = folder / "images-few.jww", b = folder / "images-many.jww";
    jwwgen::ImagesAndTexts(a, few);
    jwwgen::ImagesAndTexts(b, many);
    std::vector<double> ta, tb;
    TDriver driver(work);
    for (int i = 0; i < pairs; ++i) {
      ta.push_back(Time([&] { driver.Convert(a); }));
      tb.push_back(Time([&] { driver.Convert(b); }));
    }
    std::printf("Images × texts: %u each %.1f ms, %u each %.1f ms: **%.1f×** for %u× the images and texts (target at "
                "most 5×)\n\n",
                few, Median(ta) * 1e3, many, Median(tb) * 1e3, Median(tb) / Median(ta), many / few);
  }

  // Batches: many small drawings named on one command line.
  const fs::path many = folder / "batch";
  fs::create_directories(many);
  jwwtest::Drawing one;
  one.Hdr.Version = 700;
  one.Hdr.Layers[5].State = 0;
  for (int i = 0; i < 20; ++i) one.Elements.push_back(jwwtest::Sen{{}, 1.0 * i, 0, 1, 1});
  const std::vector<uint8_t> oneBytes = jwwtest::Build(one);
  std::vector<std::string> names;
  for (uint32_t i = 0; i < batch; ++i) {
    names.push_back((many / ("d" + std::to_string(i) + ".jww")).string());
    jwwtest::WriteFile(names.back(), oneBytes);
  }
  std::vector<double> single;
  {
    TDriver driver(work);
    for (int i = 0; i < 50; ++i) single.push_back(Time([&] { driver.Convert(names[0]); }));
  }
  auto batchRun = [&](uint32_t n) {
    std::vector<std::string> args = {"convert"};
    args.insert(args.end(), names.begin(), names.begin() + n);
    const TRun r = RunCli(cli, args);
    if (r.Status != 0) Die("the batch failed");
    for (uint32_t i = 0; i < n; ++i) fs::remove(many / ("d" + std::to_string(i) + "_2.JWW"));
    return r.Seconds;
  };
  const uint32_t tenthBatch = std::max<uint32_t>(1, batch / 10);
  const double fewSeconds = batchRun(tenthBatch), allSeconds = batchRun(batch);
  const double perFile = allSeconds / batch, work1 = Median(single);
  std::printf("Batch: %u drawings on one command line %.2f s (%.2f ms each); %u drawings %.2f s (%.2f ms each); one "
              "conversion in process %.2f ms: **%.2f ms** per file on top of its conversion (target under 1 ms)\n\n",
              tenthBatch, fewSeconds, fewSeconds / tenthBatch * 1e3, batch, allSeconds, perFile * 1e3, work1 * 1e3,
              (perFile - work1) * 1e3);

  // A folder of drawings as users convert them, against copying the folder.
  {
    const uint32_t count = smoke ? 100 : 1000;
    const fs::path mix = folder / "mix", copyTo = folder / "mix-copy", outTo = folder / "mix-out";
    const double megabytes = Mb(jwwgen::RealisticBatch(mix, count));
    auto shell = [](const std::string& command) {
      if (std::system(command.c_str()) != 0) Die("failed: " + command);
    };
    auto copyRun = [&] {
      fs::remove_all(copyTo);
      shell("sync");
      return Time([&] { shell("cp -r '" + mix.string() + "' '" + copyTo.string() + "' && sync"); });
    };
    // The least any conversion that keeps the guarantee can cost: each file
    // copied to a temporary name, flushed, moved to its name, on 8 threads;
    // the folder flushed at the end. No parsing, no checking.
    auto flushedCopyRun = [&] {
      fs::remove_all(copyTo);
      shell("sync");
      std::vector<fs::path> files;
      for (const auto& e : fs::directory_iterator(mix)) files.push_back(e.path());
      return Time([&] {
        fs::create_directories(copyTo);
        std::atomic<size_t> next{0};
        std::vector<std::jthread> threads;
        for (int t = 0; t < 8; ++t)
          threads.emplace_back([&] {
            std::vector<char> buffer;
            for (size_t k; (k = next++) < files.size();) {
              std::ifstream in(files[k], std::ios::binary);
              buffer.assign(std::istreambuf_iterator<char>(in), {});
              const fs::path temp = copyTo / (".t" + files[k].filename().string()), to = copyTo / files[k].filename();
              const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
              if (fd < 0 || ::write(fd, buffer.data(), buffer.size()) != static_cast<ssize_t>(buffer.size()) ||
                  ::fsync(fd) != 0 || ::close(fd) != 0)
                Die("the flushed copy failed");
              fs::rename(temp, to);
            }
          });
        threads.clear();
        const int dir = ::open(copyTo.c_str(), O_RDONLY | O_DIRECTORY);
        if (dir < 0 || ::fsync(dir) != 0 || ::close(dir) != 0) Die("the flushed copy failed");
      });
    };
    auto convertRun = [&](int jobs, double* cpu) {
      fs::remove_all(outTo);
      shell("sync");
      const TRun r = RunCli(cli, {"convert", "-q", "-j", std::to_string(jobs), "-o", outTo.string(), mix.string()});
      if (r.Status != 0) Die("the mixed batch failed");
      if (cpu) *cpu = r.Cpu;
      return r.Seconds;
    };
    const int jobs = static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
    // The baseline, another build of the command line (before this work: no -j).
    auto baselineRun = [&](double* cpu) {
      fs::remove_all(outTo);
      shell("sync");
      const TRun r = RunCli(baseline, {"convert", "-q", "-o", outTo.string(), mix.string()});
      if (r.Status != 0) Die("the baseline failed on the mixed batch");
      *cpu = r.Cpu;
      return r.Seconds;
    };
    auto measure = [&](const char* disk) {
      std::vector<double> copied, flushed, converted, serial, cpus, before, beforeCpus;
      for (int i = 0; i < std::max(3, pairs); ++i) {
        copied.push_back(copyRun());
        flushed.push_back(flushedCopyRun());
        double cpu = 0;
        converted.push_back(convertRun(jobs, &cpu));
        cpus.push_back(cpu);
        serial.push_back(convertRun(1, nullptr));
        if (!baseline.empty()) {
          before.push_back(baselineRun(&cpu));
          beforeCpus.push_back(cpu);
        }
      }
      std::printf("| %u drawings, %.1f MB, %s disk | %.2f s | %.2f s (%.1f×) | %.2f s (%.1f×) | %.2f s (%.1f×) | %.2f ms |",
                  count, megabytes, disk, Median(copied), Median(flushed), Median(flushed) / Median(copied),
                  Median(converted), Median(converted) / Median(copied),
                  Median(serial), Median(serial) / Median(copied), Median(cpus) / count * 1e3);
      if (!baseline.empty())
        std::printf(" %.2f s (%.1f×), %.2f ms |", Median(before), Median(before) / Median(copied),
                    Median(beforeCpus) / count * 1e3);
      std::printf("\n");
    };
    std::printf("| batch (15–350 KB, median 50 KB, a third 7.00 with images) | `cp -r` + `sync` | copy, each file "
                "flushed before its move | convert, %d at once | convert, one at a time | CPU a drawing |%s\n"
                "|---|---:|---:|---:|---:|---:|%s\n",
                jobs, baseline.empty() ? "" : " baseline: wall, CPU a drawing |", baseline.empty() ? "" : "---:|");
    measure("idle");
    // Another process writing to the same disk all the while, flushing as it goes.
    const pid_t writer = fork();
    if (writer == 0) {
      const std::string path = (folder / "busy.bin").string();
      std::vector<char> block(1 << 20, 'b');
      for (;;) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        for (int k = 0; k < 64 && fd >= 0; ++k) {
          if (::write(fd, block.data(), block.size()) < 0) break;
          ::fdatasync(fd);
        }
        if (fd >= 0) ::close(fd);
      }
    }
    measure("busy");
    ::kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    std::printf("\n");
  }

  // Adding files to the window's list.
  auto listing = [&](uint32_t n) {
    TDriver driver(work);
    std::vector<fs::path> dropped(names.begin(), names.begin() + n);
    return Time([&] { driver.Form1.WMDropFiles(dropped); });
  };
  const double listFew = listing(tenthBatch), listAll = listing(batch);
  std::printf("List: dropping %u files %.1f ms, %u files %.1f ms (%.1f× for %u× the files)\n", tenthBatch,
              listFew * 1e3, batch, listAll * 1e3, listAll / listFew, batch / tenthBatch);

  std::error_code ec;
  fs::remove_all(folder, ec);
  return 0;
}
