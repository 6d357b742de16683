// Writes the bundled sample drawings into a folder: several versions, hidden
// layer groups and layers, nested blocks, and embedded images.
//   makesamples OUTPUT_FOLDER
//   makesamples --window OUTPUT_FOLDER    the four drawings the window's
//     pictures show: nothing hidden, hidden material, everything hidden,
//     and a damaged file
//   makesamples --strays FILE             the plan with elements far off its sheet
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "jwwbuilder.h"

using namespace jwwtest;

namespace {

// Shift-JIS text from hex bytes ("90 DD 94 F5" is 設備).
std::string Sjis(std::string_view hex) {
  std::string out;
  int nibble = -1;
  for (char c : hex) {
    int v = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (v < 0) continue;
    if (nibble < 0) {
      nibble = v;
    } else {
      out.push_back(static_cast<char>(nibble * 16 + v));
      nibble = -1;
    }
  }
  return out;
}

// The sample's names and texts, in Shift-JIS for the byte-string drawings and
// in UTF-8 for the drawing whose strings are stored wide (UTF-16).
bool Wide = false;
struct TText {
  std::string SjisHex, Utf8;
  operator std::string() const { return Wide ? Utf8 : Sjis(SjisHex); }
};
std::string operator+(const TText& a, const std::string& b) { return std::string(a) + b; }

const TText Setsubi{"90 DD 94 F5", "設備"};
const TText Shitagaki{"89 BA 8F 91 82 AB", "下書き"};
const TText Toorishin{"92 CA 82 E8 90 63", "通り芯"};
const TText Heimenzu{"95 BD 96 CA 90 7D", "平面図"};
const TText Sunpo{"90 A1 96 40", "寸法"};
const TText Gothic{"82 6C 82 72 20 83 53 83 56 83 62 83 4E", "ＭＳ ゴシック"};
const TText Ima{"8B 8F 8A D4", "居間"};
const TText Daidokoro{"91 E4 8F 8A", "台所"};
const TText Memo{"94 F1 95 5C 8E A6 83 81 83 82", "非表示メモ"};
const TText Tobira{"94 E0", "扉"};
const TText Mado{"91 8B", "窓"};
const TText Tategu{"8C 9A 8B EF", "建具"};

// A small 24-bit BMP of w x h pixels in one colour.
std::vector<uint8_t> Bitmap(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  const int row = (w * 3 + 3) / 4 * 4;
  const int size = 54 + row * h;
  ByteWriter out;
  out.Raw("BM");
  out.I32(size);
  out.I32(0);
  out.I32(54);
  out.I32(40);
  out.I32(w);
  out.I32(h);
  out.U16(1);
  out.U16(24);
  out.I32(0);
  out.I32(row * h);
  out.I32(2835);
  out.I32(2835);
  out.I32(0);
  out.I32(0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      out.U8(b);
      out.U8(g);
      out.U8(r);
    }
    for (int p = w * 3; p < row; ++p) out.U8(0);
  }
  return out.Bytes();
}

EntHdr On(uint16_t group, uint16_t layer, uint16_t color = 1) {
  EntHdr h;
  h.LayerGroup = group;
  h.Layer = layer;
  h.PenColor = color;
  h.PenWidth = 0;  // the pen's width
  return h;
}

// The plan is a house of 4 m drawn at 1:25 on an A3 sheet: coordinates are
// paper millimetres, origin at the sheet's centre. R gives the paper length
// of a real length in mm, P the paper position of a point of the plan.
constexpr double Scale = 25;
double R(double real) { return real / Scale; }
double P(double real) { return real / Scale - 80; }

Sen Line(EntHdr h, double x1, double y1, double x2, double y2) {
  Sen s;
  s.H = h;
  s.StartX = x1;
  s.StartY = y1;
  s.EndX = x2;
  s.EndY = y2;
  return s;
}

// A text 3 mm high; its run is half of 3 mm for every byte (a full-width
// character is two bytes), so the end lies there.
Moji Text(EntHdr h, double x, double y, std::string text) {
  Moji m;
  m.H = h;
  m.StartX = x;
  m.StartY = y;
  const size_t bytes = Wide ? 2 * text.size() / 3 : text.size();  // the UTF-8 samples are (mostly) 3 bytes a character
  m.EndX = x + 1.5 * static_cast<double>(bytes);
  m.EndY = y;
  m.SizeX = m.SizeY = 3;
  m.FontName = Gothic;
  m.Text = std::move(text);
  return m;
}

Block Insert(EntHdr h, double x, double y, int32_t number) {
  Block b;
  b.H = h;
  b.X = x;
  b.Y = y;
  b.BlockNumber = number;
  return b;
}

// Screen colours as the CAD program's own drawings hold them (0x00BBGGRR,
// background white) and printer widths in hundredths of a millimetre.
void Pens(Header& h) {
  const int32_t colors[10] = {0xFFFFFF, 0x505050, 0x000000, 0x00A000, 0x0080C0, 0xC000C0, 0xFF0000, 0x0000E0, 0x808000, 0x0060FF};
  const int32_t widths[10] = {1, 13, 18, 25, 18, 18, 35, 18, 13, 50};
  for (size_t i = 0; i < 10; ++i) {
    h.PenSettings[i].ScreenColor = colors[i];
    h.PenSettings[i].PrinterColor = i == 0 ? 0xFFFFFF : colors[i];
    h.PenSettings[i].PrinterWidth = widths[i];
    h.PenSettings[i].PointRadius = 0.5;
  }
}

// The common plan: a visible floor plan on group 0, hidden equipment on group
// 2, a hidden sketch layer 0-5, blocks for doors and windows.
Drawing Plan(int32_t version) {
  Drawing d;
  d.Hdr.Version = version;
  d.Hdr.Wide = Wide;
  d.Hdr.Memo = Heimenzu + "\r\n" + "Quillmark sample";
  d.Hdr.LayerGroups[0].Name = Heimenzu;
  d.Hdr.LayerGroups[2].Name = Setsubi;
  d.Hdr.LayerGroups[2].State = 0;  // hidden group
  d.Hdr.Layers[0 * 16 + 0].Name = Toorishin;
  d.Hdr.Layers[0 * 16 + 1].Name = Sunpo;
  d.Hdr.Layers[0 * 16 + 5].Name = Shitagaki;
  d.Hdr.Layers[0 * 16 + 5].State = 0;  // hidden layer
  d.Hdr.Layers[2 * 16 + 3].Name = Memo;

  Pens(d.Hdr);
  d.Hdr.LayerGroups[0].Scale = Scale;
  d.Hdr.LayerGroups[2].Scale = Scale;

  for (int i = 0; i <= 4; ++i) {
    d.Elements.push_back(Line(On(0, 0, 8), P(i * 1000.0), P(0), P(i * 1000.0), P(4000)));
    d.Elements.push_back(Line(On(0, 0, 8), P(0), P(i * 1000.0), P(4000), P(i * 1000.0)));
  }
  Enko circle;
  circle.H = On(0, 2, 6);
  circle.CenterX = P(2000);
  circle.CenterY = P(2000);
  circle.Radius = R(300);
  d.Elements.push_back(circle);
  Ten point;
  point.H = On(0, 2, 6);
  point.X = P(500);
  point.Y = P(500);
  d.Elements.push_back(point);
  d.Elements.push_back(Text(On(0, 3, 2), P(500), P(3500), Ima));
  d.Elements.push_back(Text(On(0, 3, 2), P(2500), P(3500), Daidokoro));
  Sunpou dim;
  dim.H = On(0, 1, 5);
  dim.Line = Line(On(0, 1, 5), P(0), P(-500), P(4000), P(-500));
  dim.ValueText = Text(On(0, 1, 5), P(1800), P(-450), "4000");
  dim.AuxLine1 = Line(On(0, 1, 5), P(0), P(-100), P(0), P(-600));
  dim.AuxLine2 = Line(On(0, 1, 5), P(4000), P(-100), P(4000), P(-600));
  dim.Point1.H = dim.Point2.H = On(0, 1, 5);
  dim.Point1.X = dim.Point3.X = P(0);
  dim.Point2.X = dim.Point4.X = P(4000);
  dim.Point1.Y = dim.Point2.Y = dim.Point3.Y = dim.Point4.Y = P(-500);
  dim.Point3.H = dim.Point4.H = On(0, 1, 5);
  dim.Point3.Temporary = dim.Point4.Temporary = 1;
  d.Elements.push_back(dim);
  Solid solid;
  solid.H = On(0, 4, 10);
  solid.Color = 0xC0E0FF;
  solid.StartX = P(0);
  solid.StartY = P(0);
  solid.EndX = P(500);
  solid.EndY = P(0);
  solid.Point2X = P(500);
  solid.Point2Y = P(500);
  solid.Point3X = P(0);
  solid.Point3Y = P(500);
  d.Elements.push_back(solid);

  // Hidden material: sketch lines and a note on layer 0-5, equipment on group 2.
  d.Elements.push_back(Line(On(0, 5, 7), P(100), P(100), P(3900), P(3900)));
  d.Elements.push_back(Text(On(0, 5, 7), P(100), P(200), Memo));
  d.Elements.push_back(Line(On(2, 0, 3), P(1500), P(1500), P(2500), P(1500)));
  d.Elements.push_back(Text(On(2, 3, 3), P(1500), P(1600), Setsubi));

  // Blocks: 0 door (holds a window block), 1 window, 2 fixture (inserted only
  // on the hidden group), 3 never inserted.
  BlockDef door;
  door.Number = 0;
  door.Name = Tobira;
  door.Elements.push_back(Line(On(0, 6, 2), 0, 0, R(800), 0));
  Enko swing;
  swing.H = On(0, 6, 2);
  swing.Radius = R(800);
  swing.ArcAngle = 1.5707963267948966;
  swing.FullCircle = 0;
  door.Elements.push_back(swing);
  door.Elements.push_back(Insert(On(0, 6), 0, R(900), 1));
  BlockDef window;
  window.Number = 1;
  window.Name = Mado;
  window.Elements.push_back(Line(On(0, 6, 2), 0, 0, R(1200), 0));
  window.Elements.push_back(Line(On(0, 6, 2), 0, R(60), R(1200), R(60)));
  BlockDef fixture;
  fixture.Number = 2;
  fixture.Name = Setsubi;
  fixture.Elements.push_back(Line(On(2, 0, 3), 0, 0, R(300), R(300)));
  BlockDef spare;
  spare.Number = 3;
  spare.Name = Tategu;
  spare.Elements.push_back(Line(On(0, 6), 0, 0, R(100), 0));
  d.Blocks = {door, window, fixture, spare};
  d.Elements.push_back(Insert(On(0, 6), P(1000), P(0), 0));
  d.Elements.push_back(Insert(On(0, 6), P(3000), P(4000), 1));
  d.Elements.push_back(Insert(On(2, 1), P(2000), P(2000), 2));
  return d;
}

// What the window's pictures show, one drawing a row.
int WindowSamples(const std::filesystem::path& out) {
  std::filesystem::create_directories(out);
  Drawing visible = Plan(420);
  visible.Hdr.LayerGroups[2].State = 2;
  visible.Hdr.Layers[5].State = 2;
  WriteFile(out / "visible_v420.jww", Build(visible));
  WriteFile(out / "plan_v600.jww", Build(Plan(600)));
  Drawing all = Plan(600);  // group 0 hidden too: every element lies on a hidden group
  all.Hdr.LayerGroups[0].State = 0;
  WriteFile(out / "allhidden_v600.jww", Build(all));
  auto damaged = Build(Plan(351));
  damaged.resize(damaged.size() * 2 / 3);
  WriteFile(out / "damaged_v351.jww", damaged);
  std::printf("window samples written to %s\n", out.string().c_str());
  return 0;
}

}  // namespace

// A drawing above 4 MiB: the plan with a photograph of 5.8 MB shown on a
// visible layer, so that it is loaded, extracted and read back a piece at a
// time rather than whole.
int LargeSample(const std::filesystem::path& file) {
  Drawing large = Plan(700);
  large.Elements.push_back(Text(On(0, 3), 100, -60, "^@BM%temp%site.bmp,40,30,0,0,1,0"));
  large.Images.push_back({"site.bmp", Bitmap(1600, 1200, 0x30, 0x90, 0x50), {}});
  WriteFile(file, Build(large));
  std::printf("large sample written to %s\n", file.string().c_str());
  return 0;
}

// The plan with old drafts moved far aside: a copy of its grid 40 m to the
// right, notes far above on the left (none of them printed), and a line that
// runs from the plan past the sheet's edge.
int StraysSample(const std::filesystem::path& file) {
  Drawing d = Plan(600);
  for (int i = 0; i <= 4; ++i) {
    d.Elements.push_back(Line(On(0, 0, 8), P(40000 + i * 1000.0), P(0), P(40000 + i * 1000.0), P(4000)));
    d.Elements.push_back(Line(On(0, 0, 8), P(40000), P(i * 1000.0), P(44000), P(i * 1000.0)));
  }
  for (int i = 0; i < 3; ++i) d.Elements.push_back(Text(On(0, 3, 2), P(-30000), P(30000 + i * 500.0), Shitagaki));
  d.Elements.push_back(Line(On(0, 0, 4), P(2000), P(2000), P(9000), P(2000)));
  WriteFile(file, Build(d));
  std::printf("strays sample written to %s\n", file.string().c_str());
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--window") return WindowSamples(argv[2]);
  if (argc == 3 && std::string_view(argv[1]) == "--strays") return StraysSample(argv[2]);
  if (argc == 3 && std::string_view(argv[1]) == "--large") return LargeSample(argv[2]);
  if (argc != 2) {
    std::fprintf(stderr, "usage: makesamples [--window | --large FILE | --strays FILE] OUTPUT_FOLDER\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  std::filesystem::create_directories(out);

  // Version 7.00 with two embedded images: one shown on a visible layer, one
  // only on the hidden group.
  Drawing v700 = Plan(700);
  v700.Elements.push_back(Text(On(0, 3), 100, -60, "^@BM%temp%photo.bmp,40,30,0,0,1,0"));
  v700.Elements.push_back(Text(On(2, 0), 100, 20, "^@BM%temp%equipment.bmp,40,30,0,0,1,0"));
  v700.Images.push_back({"photo.bmp", Bitmap(8, 8, 0x20, 0x80, 0xC0), {}});
  v700.Images.push_back({"equipment.bmp", Bitmap(4, 4, 0xC0, 0x20, 0x20), {}});
  WriteFile(out / "plan_v700.jww", Build(v700));

  WriteFile(out / "plan_v600.jww", Build(Plan(600)));
  WriteFile(out / "plan_v351.jww", Build(Plan(351)));
  WriteFile(out / "plan_v230.jww", Build(Plan(230)));

  // Nothing hidden: skipped by a conversion.
  Drawing visible = Plan(420);
  visible.Hdr.LayerGroups[2].State = 2;
  visible.Hdr.Layers[5].State = 2;
  WriteFile(out / "visible_v420.jww", Build(visible));

  // Version 7.00 as today's CAD program saves it: every string wide, some
  // holding characters that Shift-JIS cannot hold.
  Wide = true;
  Drawing wide = Plan(700);
  wide.Hdr.Layers[0 * 16 + 2].Name = "設備 ①② café";
  wide.Elements.push_back(Text(On(0, 3), P(500), P(3000), "Ø 100 ①"));
  wide.Elements.push_back(Text(On(2, 3), P(1500), P(1700), "점검 필요 ⚠"));
  wide.Elements.push_back(Text(On(0, 3), 100, -60, "^@BM%temp%写真①.bmp,40,30,0,0,1,0"));
  wide.Images.push_back({"写真①.bmp", Bitmap(8, 8, 0x20, 0xC0, 0x80), {}});
  WriteFile(out / "plan_v700_wide.jww", Build(wide));

  std::printf("samples written to %s\n", out.string().c_str());
  return 0;
}
