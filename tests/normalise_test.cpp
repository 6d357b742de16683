// The writer's normalisations as a step on records, without bytes, and the
// temporary file that only its commit gives a name.
#include <gtest/gtest.h>

#include "fileio.h"
#include "jwwnormalise.h"
#include "testutil.h"

namespace {

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
