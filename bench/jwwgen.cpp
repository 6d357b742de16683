#include "jwwgen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#include "jwwbuilder.h"

namespace jwwgen {

namespace {

using namespace jwwtest;

const std::string Gothic = "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E";  // ＭＳ ゴシック

// A file written in pieces from a builder's byte buffer.
class TOut {
 public:
  explicit TOut(const std::filesystem::path& path) : F_(path, std::ios::binary | std::ios::trunc) {
    if (!F_) throw std::runtime_error("cannot create " + path.string());
  }
  ByteWriter& W() { return W_; }
  void Drain(bool always = false) {
    if (!always && W_.Size() < (1u << 20)) return;
    F_.write(reinterpret_cast<const char*>(W_.Bytes().data()), static_cast<std::streamsize>(W_.Size()));
    W_.Bytes().clear();
  }
  ~TOut() { Drain(true); }

 private:
  std::ofstream F_;
  ByteWriter W_;
};

// Group 2 and layer (0,5) are hidden.
Drawing Hidden() {
  Drawing d;
  d.Hdr.Version = 700;
  d.Hdr.Memo = "benchmark drawing";
  d.Hdr.LayerGroups[2].State = 0;
  d.Hdr.LayerGroups[2].Name = "hidden group";
  d.Hdr.Layers[5].State = 0;
  d.Hdr.Layers[5].Name = "hidden layer";
  return d;
}

// A drawing file begun: the header section of Hidden() written, its
// entities to follow through W.
class TDrawingFile {
 public:
  explicit TDrawingFile(const std::filesystem::path& path, int32_t version = 700)
      : D(Versioned(version)), Out(path), W(Out.W(), D) {
    const std::vector<uint8_t> header = BuildHeaderSection(D);
    Out.W().Raw(header.data(), header.size());
  }
  const Drawing D;
  TOut Out;
  EntityWriter W;

 private:
  static Drawing Versioned(int32_t version) {
    Drawing d = Hidden();
    d.Hdr.Version = version;
    return d;
  }
};

EntHdr On(uint32_t i) {
  EntHdr h;
  // One element in five lies on a hidden group or layer.
  switch (i % 10) {
    case 3: h.LayerGroup = 2; h.Layer = static_cast<uint16_t>(i % 16); break;
    case 7: h.LayerGroup = 0; h.Layer = 5; break;
    default: h.LayerGroup = static_cast<uint16_t>((i / 10) % 2); h.Layer = static_cast<uint16_t>(i % 5); break;
  }
  h.PenColor = static_cast<uint16_t>(1 + i % 9);
  return h;
}

Element Make(uint32_t i, int images) {
  // Rows of 100,000 mm, 10 mm apart: within 100 m of the centre.
  const double x = static_cast<double>(i % 100000) - 50000, y = 10.0 * (i / 100000);
  const EntHdr h = On(i);
  switch (i % 50) {
    case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 9:
    case 10: case 11: case 12: case 13: case 14: case 15: case 16: case 17: case 18: case 19:
      return Sen{h, x, y + 1, x + 2, y + 3};
    case 20: case 21: case 22: case 23: case 24: case 25: {
      Enko e;
      e.H = h;
      e.CenterX = x;
      e.CenterY = y;
      e.Radius = 1 + i % 7;
      return e;
    }
    case 26: case 27: case 28: case 29: case 30: {
      Ten p;
      p.H = h;
      p.X = x;
      p.Y = y;
      if (i % 4 == 0) p.H.PenStyle = 100;
      return p;
    }
    case 31: case 32: case 33: case 34: case 35: case 36: {
      Moji m;
      m.H = h;
      m.StartX = x;
      m.StartY = y;
      m.FontName = Gothic;
      m.Text = "text " + std::to_string(i);
      // A few texts show the images; the last image only from a hidden text.
      const uint32_t slot = i / 50;
      if (images > 0 && i % 50 == 31 && slot % 997 == 0) {
        const int image = static_cast<int>((slot / 997) % static_cast<uint32_t>(images));
        m.H = image == images - 1 ? On(3) : On(0);
        m.Text = "^@BM%temp%img" + std::to_string(image) + ".bmp,100,100,0,0,1,0";
      }
      return m;
    }
    case 37: case 38: case 39: {
      Sunpou s;
      s.H = h;
      s.Line.H = h;
      s.Line.StartX = x;
      s.Line.StartY = s.Line.EndY = y;
      s.ValueText.H = h;
      s.ValueText.FontName = Gothic;
      s.ValueText.Text = std::to_string(i % 10000);
      return s;
    }
    case 40: case 41: case 42: case 43: case 44: {
      Solid s;
      s.H = h;
      s.StartX = x;
      s.StartY = y;
      if (i % 3 == 0) s.H.PenColor = 10;
      s.Color = 0x123456;
      return s;
    }
    default: {
      Block b;
      b.H = h;
      b.X = x;
      b.Y = y;
      b.BlockNumber = static_cast<int32_t>(i % 40);
      return b;
    }
  }
}

void Images(ByteWriter& w, int images, uint32_t bytes) {
  w.I32(images);
  for (int n = 0; n < images; ++n) {
    w.Str("img" + std::to_string(n) + ".bmp");
    w.I32(static_cast<int32_t>(bytes));
    for (uint32_t k = 0; k < bytes; ++k) w.U8(static_cast<uint8_t>(k * 7 + static_cast<uint32_t>(n)));
  }
}

}  // namespace

void MixedDrawing(const std::filesystem::path& path, uint32_t elements, int images, uint32_t imageBytes,
                  int32_t version) {
  TDrawingFile file(path, version);
  TOut& out = file.Out;
  EntityWriter& ew = file.W;
  ew.Count(elements);
  for (uint32_t i = 0; i < elements; ++i) {
    ew.Item(Make(i, images));
    out.Drain();
  }
  // 50 definitions; 0..9 insert 40..49, which no top-level insert names.
  ew.Count(50);
  for (int32_t n = 0; n < 50; ++n) {
    BlockDef def;
    def.Number = n;
    def.Name = "block " + std::to_string(n);
    for (int k = 0; k < 5; ++k) def.Elements.push_back(Sen{On(static_cast<uint32_t>(k)), 0, 0, 1.0 * k, 1});
    def.Elements.push_back(Enko{});
    if (n < 10) {
      Block inner;
      inner.BlockNumber = n + 40;
      def.Elements.push_back(inner);
    }
    ew.Definition(def);
  }
  if (version >= 700) Images(out.W(), images, imageBytes);
}

uint64_t RealisticBatch(const std::filesystem::path& folder, uint32_t count, uint32_t seed) {
  std::filesystem::create_directories(folder);
  uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1, total = 0;
  auto next = [&x] {  // 0 <= r < 1
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(x >> 11) / 9007199254740992.0;
  };
  constexpr int32_t older[] = {600, 600, 600, 420, 351, 300, 230};
  for (uint32_t i = 0; i < count; ++i) {
    // Sizes spread as e^N around 50 KB, held within 15..350 KB.
    const double normal = next() + next() + next() + next() - 2.0;  // mean 0, sd about 0.58
    const double kb = std::min(350.0, std::max(15.0, 50.0 * std::exp(1.5 * normal)));
    const bool withImages = i % 3 == 0;
    const int32_t version = withImages ? 700 : older[i % 7];
    const int images = withImages ? 1 + static_cast<int>(i % 2) : 0;
    const uint32_t imageBytes = withImages ? static_cast<uint32_t>(kb * 1024 * 0.15 / images) : 0;
    // About 86 bytes an element, after the header section and the images.
    const double left = kb * 1024 - 30000 - static_cast<double>(images) * imageBytes;
    const uint32_t elements = static_cast<uint32_t>(std::max(50.0, left / 86));
    char name[32];
    std::snprintf(name, sizeof name, "d%04u.jww", i);
    MixedDrawing(folder / name, elements, images, imageBytes, version);
    total += std::filesystem::file_size(folder / name);
  }
  return total;
}

namespace {

// One insert of definition 0, then count definitions made by make(n).
template <typename Make>
void Definitions(const std::filesystem::path& path, uint32_t count, Make make) {
  TDrawingFile file(path);
  TOut& out = file.Out;
  EntityWriter& ew = file.W;
  ew.Count(1);
  ew.Item(Block{});
  ew.Count(count);
  for (uint32_t n = 0; n < count; ++n) {
    ew.Definition(make(n));
    out.Drain();
  }
  Images(out.W(), 0, 0);
}

}  // namespace

void ImagesAndTexts(const std::filesystem::path& path, uint32_t count) {
  TDrawingFile file(path);
  TOut& out = file.Out;
  EntityWriter& ew = file.W;
  ew.Count(count);
  for (uint32_t i = 0; i < count; ++i) {
    Moji m;
    m.H = On(i);
    m.StartX = static_cast<double>(i);
    m.FontName = Gothic;
    m.Text = "^@BM%temp%img" + std::to_string(i) + ".bmp,10,10,0,0,1,0";
    ew.Item(m);
    out.Drain();
  }
  ew.Count(0);
  Images(out.W(), static_cast<int>(count), 64);
}

void ManyInserts(const std::filesystem::path& path, uint32_t count) {
  TDrawingFile file(path);
  TOut& out = file.Out;
  EntityWriter& ew = file.W;
  ew.Count(count);
  constexpr double Quarter = 0.7853981633974483;  // 45 degrees
  for (uint32_t i = 0; i < count; ++i) {
    Block b;
    b.H = On(i);
    b.BlockNumber = static_cast<int32_t>(i % 15);
    b.X = (i % 400) * 200.0 - 40000;
    b.Y = static_cast<double>((i / 400) % 400) * 200.0 - 40000;
    b.Angle = (i % 8) * Quarter;
    switch (i % 4) {
      case 1: b.ScaleX = b.ScaleY = 2; break;
      case 2: b.ScaleX = b.ScaleY = 0.5; break;
      case 3: b.ScaleX = -1; break;
      default: break;
    }
    if (i % 100 == 99) b.ScaleX = 2 * std::fabs(b.ScaleY);  // stretched
    ew.Item(b);
    out.Drain();
  }
  ew.Count(20);
  for (int32_t n = 0; n < 20; ++n) {
    BlockDef def;
    def.Number = n;
    def.Name = "part " + std::to_string(n);
    for (uint32_t k = 0; k < 50; ++k) {
      EntHdr h;
      h.PenColor = static_cast<uint16_t>(1 + (k + static_cast<uint32_t>(n)) % 9);
      h.PenWidth = 0;
      const double x = k % 10 * 10.0, y = k / 10 * 10.0;
      if (k < 30) {
        def.Elements.push_back(Sen{h, x, y, x + 8, y + 3});
      } else if (k < 38) {
        Enko e;
        e.H = h;
        e.CenterX = x;
        e.CenterY = y;
        e.Radius = 4;
        if (k % 2) {
          e.FullCircle = 0;
          e.ArcAngle = 2;
          e.Flatness = 0.5;
        }
        def.Elements.push_back(e);
      } else if (k < 44) {
        Moji m;
        m.H = h;
        m.StartX = x;
        m.StartY = y;
        m.SizeX = m.SizeY = 2.5;
        m.FontName = Gothic;
        m.Text = "P" + std::to_string(n) + "-" + std::to_string(k);
        def.Elements.push_back(m);
      } else if (k < 48) {
        Solid s;
        s.H = h;
        s.StartX = x;
        s.StartY = y;
        s.EndX = x + 5;
        s.EndY = y;
        s.Point2X = x + 5;
        s.Point2Y = y + 5;
        s.Point3X = x;
        s.Point3Y = y + 5;
        def.Elements.push_back(s);
      } else {
        Ten p;
        p.H = h;
        p.X = x;
        p.Y = y;
        def.Elements.push_back(p);
      }
    }
    if (n < 5) {
      Block inner;
      inner.BlockNumber = n + 15;
      inner.X = 50;
      inner.Angle = Quarter;
      inner.ScaleX = inner.ScaleY = 0.5;
      def.Elements.push_back(inner);
    }
    ew.Definition(def);
  }
  Images(out.W(), 0, 0);
}

void EmptyDefinitions(const std::filesystem::path& path, uint32_t count) {
  Definitions(path, count, [](uint32_t n) {
    BlockDef def;
    def.Number = static_cast<int32_t>(n);
    return def;
  });
}

void NestedChain(const std::filesystem::path& path, uint32_t count) {
  Definitions(path, count, [count](uint32_t n) {
    BlockDef def;
    def.Number = static_cast<int32_t>(n);
    def.Name = "chain";
    if (n + 1 < count) {
      Block next;
      next.BlockNumber = static_cast<int32_t>(n + 1);
      def.Elements.push_back(next);
    }
    def.Elements.push_back(Sen{});
    return def;
  });
}

}  // namespace jwwgen
