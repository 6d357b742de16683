// The writer's normalisations as a step on records, without bytes; what a
// save of a purged drawing writes otherwise than the file held it (from
// builder-made bytes, the reader's cleaning included); and the temporary file
// that only its commit gives a name.
#include <gtest/gtest.h>

#include <functional>

#include "drawings.h"
#include "fileio.h"
#include "jwwnormalise.h"
#include "purge.h"
#include "testutil.h"

namespace {

using namespace qm;

TEST(Normalise, RecordsAreCopiesWithTheWrittenValues) {
  TEntJwwMoji text;
  text.Header.PenStyle = 12;    // not a text pen style: 1
  text.Header.PenColor = 103;   // an older pen number below 420
  text.Header.Layer = 20;       // above 15: 0
  text.Header.PenWidth = 40000; // above 30000: 0
  text.Text = TJwwString::Wide(u"a^mb\tc");
  text.FontName = "^m";
  const TEntJwwMoji n = JwwNormalise::Record(text, 400);
  EXPECT_EQ(n.Header.PenStyle, 1);
  EXPECT_EQ(n.Header.PenColor, 3);
  EXPECT_EQ(n.Header.Layer, 0);
  EXPECT_EQ(n.Header.PenWidth, 0);
  EXPECT_EQ(n.Text, TJwwString::Wide(u"abc"));
  EXPECT_EQ(n.FontName, " ");
  EXPECT_EQ(text.Text, TJwwString::Wide(u"a^mb\tc"));  // the record itself is untouched
  EXPECT_EQ(JwwNormalise::Record(text, 420).Header.PenColor, 103);

  TEntJwwSunpou dim;
  dim.Header.PenColor = 10;  // a solid's colour, not a dimension's: 0
  dim.Point3.Header.PenStyle = 100;
  dim.AuxLine2.Header.PenStyle = 40;
  const TEntJwwSunpou m = JwwNormalise::Record(dim, 351);
  EXPECT_EQ(m.Header.PenColor, 0);
  EXPECT_EQ(m.Point3.Header.PenStyle, 100);
  EXPECT_EQ(m.AuxLine2.Header.PenStyle, 6);  // kind 1 rules inside the dimension

  TEntJwwBlockDef def;
  def.Header.PenStyle = 77;
  def.Header.PenColor = 500;
  def.Header.Layer = 20;
  def.Name = "B^m";
  JwwNormalise::Definition(def, 700);
  EXPECT_EQ(def.Header.PenStyle, 77);
  EXPECT_EQ(def.Header.PenColor, 500);
  EXPECT_EQ(def.Header.Layer, 0);
  EXPECT_EQ(def.Name, "B");
}

TEST(Normalise, HeaderSection) {
  TJwwHeaderSection h;
  h.SizeHeaderArrays();
  h.Header.Signature = "jwwdata.";
  h.Header.MaxDrawWidth = -150;
  h.Header.DrawFlag11 = 7;
  h.Header.DrawFlag11Tens = 0;
  h.PenSettings[0].PrinterColor = 5;
  h.PenSettings[3] = {-1, 17, 0x1000000, 600, 12.0};
  h.ColorsEx[20].Name = " \t";
  h.ColorsEx[20].ScreenColor = 0x123456;
  h.LineTypesEx[18].SegmentCount = 3;
  h.LineTypesEx[18].Name = "kept?";
  h.LineTypesEx[5].Pattern = 0;
  const TJwwHeaderSection n = JwwNormalise::HeaderSection(h, 600);
  EXPECT_EQ(n.Header.Signature, "JwwData.");
  EXPECT_EQ(n.Header.Version, 600);
  EXPECT_EQ(n.Header.MaxDrawWidth, -150);  // clamped only up to 420
  EXPECT_EQ(JwwNormalise::HeaderSection(h, 420).Header.MaxDrawWidth, -101);
  EXPECT_EQ(n.Header.DrawFlag11 + 10 * n.Header.DrawFlag11Tens, 17);
  EXPECT_EQ(JwwNormalise::HeaderSection(h, 500).Header.DrawFlag11Tens, 0);
  EXPECT_EQ(n.PenSettings[0].PrinterColor, 0xFFFFFF);
  EXPECT_EQ(n.PenSettings[3], (TEntJwwPenSetting{0, 16, 0, 500, 10.0}));
  EXPECT_EQ(n.ColorsEx[20].Name, "Color_20");
  EXPECT_EQ(n.ColorsEx[20].PrinterColor, 0x123456);
  EXPECT_EQ(n.LineTypesEx[18].Name, "LType_18");
  EXPECT_EQ(n.LineTypesEx[18].Pattern, static_cast<int32_t>(0xC3C3C3C3u));
  EXPECT_EQ(n.LineTypesEx[5].Pattern, -1);
  EXPECT_EQ(h.PenSettings[3].ScreenWidth, 17);  // the source is untouched
}

// Each case changes one thing of a drawing whose group 1 is hidden: what a
// save of the purged drawing writes otherwise is counted once a kind and an
// element, and nothing that the purge removes counts.
TEST(Normalise, ChangesCountWhatTheReaderAndTheWriterChangeOfWhatIsWritten) {
  using namespace draw;
  using TNormalised = JwwNormalise::TNormalised;
  auto texts = [](int n) { return TNormalised{.Texts = n}; };
  struct Case {
    const char* Name;
    std::function<void(Drawing&)> Change;
    TNormalised Expected;
  };
  auto pen = [](uint8_t style, uint16_t color, uint16_t width, uint16_t group, uint16_t layer) {
    Sen e = Line(group, layer, 7);
    e.H.PenStyle = style;
    e.H.PenColor = color;
    e.H.PenWidth = width;
    return e;
  };
  const std::vector<Case> cases = {
      {"nothing", [](Drawing&) {}, {}},
      {"^m in a text", [](Drawing& d) { d.Elements.push_back(Text(0, 0, 1, "A^mB")); }, texts(1)},
      {"a tab in a text", [](Drawing& d) { d.Elements.push_back(Text(0, 0, 1, "TAB\there")); }, texts(1)},
      {"two texts, one with text and font",
       [](Drawing& d) {
         Moji both = Text(0, 0, 1, "^m");
         both.FontName = "MS ^mGothic";
         d.Elements.push_back(both);
         d.Elements.push_back(Text(0, 0, 2, "x\x01"));
       },
       {.Texts = 2, .Fonts = 1}},
      {"a tab in a font name",
       [](Drawing& d) {
         Moji m = Text(0, 0, 1);
         m.FontName = "MS\tGothic";
         d.Elements.push_back(m);
       },
       {.Fonts = 1}},
      {"^m in a dimension's value text",
       [](Drawing& d) {
         Sunpou s = Dim(0, 2, 1);
         s.ValueText.Text = "100^m";
         d.Elements.push_back(s);
       },
       texts(1)},
      {"pen style 250, colour 500, width 65000",
       [&](Drawing& d) {
         d.Elements.push_back(pen(250, 1, 0, 0, 0));
         d.Elements.push_back(pen(1, 500, 0, 0, 0));
         d.Elements.push_back(pen(1, 1, 65000, 0, 0));
       },
       {.Pens = 3}},
      {"layer 21 of group 17", [&](Drawing& d) { d.Elements.push_back(pen(1, 1, 0, 17, 21)); }, {.Layers = 1}},
      {"everything on the hidden group",
       [&](Drawing& d) {
         d.Elements.push_back(Text(1, 0, 1, "A^mB\t"));
         d.Elements.push_back(pen(250, 500, 65000, 1, 3));
       },
       {}},
      {"layer names",
       [](Drawing& d) {
         d.Hdr.Layers[2].Name = "a^mb";   // shown: written without "^m"
         d.Hdr.Layers[3].Name = "c\td";   // shown: the reader drops the tab
         d.Hdr.LayerGroups[1].Name = "e\tf";  // hidden: emptied
       },
       {.Names = 2}},
      {"pen settings and switches",
       [](Drawing& d) {
         d.Hdr.PenSettings[4].ScreenWidth = 40;
         d.Hdr.PenSettings[0].PrinterColor = 5;
         d.Hdr.SwitchWord11 = 3;  // a tens part of 0 is written as 1 from version 600
       },
       {.Settings = 3}},
      {"an extended colour's name",
       [](Drawing& d) { d.Hdr.ColorsEx[20].Name = "\t"; },
       {.Names = 1}},
      {"block definitions",
       [](Drawing& d) {
         d.Elements.push_back(Insert(0, 0, 1, 1));
         d.Elements.push_back(Insert(1, 0, 2, 1));  // hidden: its definition is not written
         d.Blocks = {Def(1, "door\t", {Text(1, 0, 0, "inner^m")}), Def(2, "gone\t", {Text(0, 0, 0, "x^m")})};
       },
       {.Texts = 1, .Names = 1}},
  };
  for (const Case& c : cases) {
    Drawing d = HiddenGroupDrawing(600);
    c.Change(d);
    const auto bytes = Build(d);
    TJwwData doc;
    ASSERT_TRUE(testutil::Ok(doc.LoadDocument(bytes.data(), bytes.size()))) << c.Name;
    qm::PurgeHiddenMaterial(doc);
    EXPECT_EQ(JwwNormalise::Changes(doc, 600), c.Expected) << c.Name;
  }
}

// The reader marks what it dropped; the dropped bytes are gone from the string.
TEST(Normalise, TheReaderMarksTheStringsItCleaned) {
  draw::Drawing d;
  d.Hdr.Version = 600;
  d.Hdr.Layers[5].Name = "L\x1b";
  draw::Moji m = draw::Text(0, 0, 1, "TAB\there");
  m.FontName = "F";
  d.Elements = {m, draw::Text(0, 0, 2, "plain")};
  const auto bytes = draw::Build(d);
  TJwwData doc;
  ASSERT_TRUE(testutil::Ok(doc.LoadDocument(bytes.data(), bytes.size())));
  EXPECT_EQ(doc.Texts[0].Text, "TABhere");
  EXPECT_EQ(doc.Texts[0].ReadCleaned, CleanedText);
  EXPECT_EQ(doc.Texts[1].ReadCleaned, 0);
  EXPECT_EQ(doc.Layers[5].Name, "L");
  EXPECT_EQ(doc.Layers[5].ReadCleaned, CleanedName);
  EXPECT_EQ(doc.Layers[4].ReadCleaned, 0);
  // Written again, the output holds what was read: nothing more to count.
  testutil::TTempDir dir;
  ASSERT_TRUE(testutil::Ok(doc.SaveDocument(dir / "o.jww", 600)));
  TJwwData again;
  ASSERT_TRUE(testutil::Ok(again.LoadDocument(dir / "o.jww")));
  EXPECT_FALSE(JwwNormalise::Changes(again, 600).Any());
  EXPECT_EQ(JwwNormalise::Changes(doc, 600), (JwwNormalise::TNormalised{.Texts = 1, .Names = 1}));
}

TEST(TempFile, OnlyItsCommitGivesItAName) {
  testutil::TTempDir dir;
  std::filesystem::path temp;
  {
    qm::TTempFile file(dir.Path());
    temp = file.Path();
    EXPECT_TRUE(temp.filename().string().starts_with(".quillmark-"));
    file.File().Write("abc", 3);
  }
  EXPECT_FALSE(qm::EntryExists(temp));  // discarded
  EXPECT_TRUE(dir.List().empty());

  testutil::WriteAll(dir / "taken", testutil::Bytes("old"));
  qm::TTempFile file(dir.Path());
  file.File().Write("new", 3);
  EXPECT_FALSE(file.Commit(dir / "taken"));  // never over a file
  EXPECT_EQ(testutil::ReadAll(dir / "taken"), testutil::Bytes("old"));
  EXPECT_TRUE(file.Commit(dir / "free"));
  EXPECT_EQ(testutil::ReadAll(dir / "free"), testutil::Bytes("new"));
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"free", "taken"}));
}

}  // namespace
