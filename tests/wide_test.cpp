// Drawings whose strings are stored in the archive's wide (UTF-16) form,
// through the batch driver and the command line: they are purged like any
// other, keep every unit Shift-JIS cannot hold, and are written back wide.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "drawings.h"
#include "formrig.h"
#include "jwwunit.h"

namespace {

using namespace qm;

namespace fs = std::filesystem;
using namespace draw;

// UTF-8 of characters Shift-JIS cannot hold: é, 𠮷 (a surrogate pair),
// Hangul 한, an emoji, and a lone high surrogate in its 3-byte form.
const std::string kOdd = "\xC3\xA9\xF0\xA0\xAE\xB7\xED\x95\x9C\xF0\x9F\x98\x80\xED\xA0\x80";
const std::u16string kOddUnits = u"\u00E9\xD842\xDFB7\uD55C\xD83D\xDE00\xD800";
// The same without the lone surrogate, which no file name can hold.
const std::string kPrintable = "\xC3\xA9\xF0\xA0\xAE\xB7\xED\x95\x9C\xF0\x9F\x98\x80";

// The little-endian bytes of UTF-16 units, to look for in a file.
std::vector<uint8_t> Le(std::u16string_view units) {
  std::vector<uint8_t> out;
  for (const char16_t u : units) {
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
  }
  return out;
}


bool Holds(const std::vector<uint8_t>& file, const std::vector<uint8_t>& part) {
  return std::search(file.begin(), file.end(), part.begin(), part.end()) != file.end();
}

std::unique_ptr<TJwwData> LoadOut(const fs::path& path) {
  auto doc = std::make_unique<TJwwData>();
  EXPECT_TRUE(testutil::Ok(doc->LoadDocument(path)));
  return doc;
}

Moji WideText(uint16_t g, uint16_t l, double x, std::string text) {
  Moji e = Text(g, l, x, std::move(text));
  e.FontName = "\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF";  // ＭＳ ゴシック
  return e;
}

// A wide drawing: group 2 and layer (0,5) hidden, their names and the texts
// on them made of characters Shift-JIS cannot hold; so are the visible names.
Drawing WideDrawing(int32_t v) {
  Drawing d;
  d.Hdr.Version = v;
  d.Hdr.Wide = true;
  d.Hdr.Memo = "memo " + kOdd;
  d.Hdr.LayerGroups[2] = {.State = 0, .Name = "hidden group \xE2\x91\xA1" + kOdd};
  d.Hdr.Layers[5] = {.State = 0, .Name = "secret layer " + kOdd};
  d.Hdr.Layers[0].Name = "\xE9\x80\x9A\xE3\x82\x8A\xE8\x8A\xAF " + kOdd;  // 通り芯
  d.Hdr.ColorsEx[3].Name = "colour " + kOdd;
  Sunpou dim = Dim(0, 1, 5);
  dim.ValueText = WideText(0, 1, 5, "1500 " + kOdd);
  const bool images = v >= 700;
  d.Elements = {Line(0, 0, 1),
                WideText(0, 1, 2, images ? "^@BM%temp%\xE5\x9B\xB3" + kPrintable + ".bmp,1,1,0,0,1,0" : "kept " + kOdd),
                WideText(0, 5, 3, images ? "^@BM%temp%drop.bmp,1,1" : "gone " + kOdd),
                WideText(2, 0, 4, "also gone " + kOdd),
                dim,
                Insert(0, 0, 0, 6)};
  d.Blocks = {Def(0, "block " + kOdd, {WideText(2, 5, 0, "inside " + kOdd)})};
  if (images)
    d.Images = {{"\xE5\x9B\xB3" + kPrintable + ".bmp", std::vector<uint8_t>(30, 7), {}},
                {"drop.bmp", std::vector<uint8_t>(20, 9), {}}};
  return d;
}

class WideDriverTest : public ::testing::TestWithParam<int32_t> {
 protected:
  testutil::TTempDir Dir, Work;
  rig::TRig R;
  void SetUp() override { R.Form1.StartWork(Work.Path()); }
  void Run(const std::vector<fs::path>& items) {
    R.List.Set(items);
    R.Form1.Button3Click();
  }
};

TEST_P(WideDriverTest, PurgeKeepsEveryUnitOfWhatRemainsAndLeaksNothing) {
  const int32_t v = GetParam();
  const fs::path src = Dir / "w.jww";
  WriteFile(src, Build(WideDrawing(v)));
  const auto srcBytes = testutil::ReadAll(src);
  Run({src});
  ASSERT_EQ(R.Report(), rig::Converted(src, Dir / "w_2.JWW"));
  EXPECT_EQ(testutil::ReadAll(src), srcBytes);

  auto in = LoadOut(src);
  auto out = LoadOut(Dir / "w_2.JWW");
  EXPECT_TRUE(out->WideStrings());
  EXPECT_EQ(out->Header.Memo, in->Header.Memo);
  EXPECT_EQ(out->LayerGroups[2].Name, TJwwString::Wide(u""));
  EXPECT_EQ(out->Layers[5].Name, TJwwString::Wide(u""));
  EXPECT_EQ(out->Layers[0].Name, TJwwString::Wide(u"\u901A\u308A\u82AF " + kOddUnits));
  if (v >= 420) {
    EXPECT_EQ(out->ColorsEx[3].Name, TJwwString::Wide(u"colour " + kOddUnits));
  }
  EXPECT_EQ(out->ColorsEx[4].Name, v >= 420 ? TJwwString::Wide(u"Color_4") : TJwwString());
  ASSERT_EQ(out->TextCount, 1);
  EXPECT_EQ(out->Texts[0], in->Texts[0]);
  EXPECT_EQ(out->Dimensions[0], in->Dimensions[0]);
  ASSERT_EQ(out->BlockDefs.size(), 1u);
  EXPECT_EQ(out->BlockDefs[0].Name, in->BlockDefs[0].Name);
  EXPECT_EQ(out->BlockDefs[0].Lists().Texts, in->BlockDefs[0].Lists().Texts);  // block contents stay, whatever their layer

  // Not a unit of the hidden names or of the removed texts is in the file.
  const auto file = testutil::ReadAll(Dir / "w_2.JWW");
  for (const std::u16string& gone : {std::u16string(u"hidden group"), std::u16string(u"secret layer"),
                                     std::u16string(u"gone "), std::u16string(u"drop.bmp")})
    EXPECT_FALSE(Holds(file, Le(gone))) << std::string(gone.begin(), gone.end());
  EXPECT_TRUE(Holds(file, Le(u"inside " + kOddUnits)));
  if (v >= 700) {
    ASSERT_EQ(out->Images.size(), 1u);
    EXPECT_EQ(out->Images[0].FileName, TJwwString::Wide(u"\u56F3\u00E9\xD842\xDFB7\uD55C\xD83D\xDE00.bmp"));
    EXPECT_EQ(out->Images[0].Size, 30);
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, WideDriverTest, ::testing::Values(220, 300, 351, 420, 600, 700));

// With nothing to remove, a wide drawing comes back byte for byte.
TEST(WideDrawings, ANoOpConversionWritesTheSourceBytes) {
  testutil::TTempDir dir, work;
  rig::TRig r;
  r.Form1.StartWork(work.Path());
  for (const int32_t v : {220, 351, 420, 700}) {
    Drawing d = WideDrawing(v);
    d.Hdr.LayerGroups[2] = {.State = 0, .Name = ""};
    d.Hdr.Layers[5].State = 2;
    for (auto& e : d.Elements)
      if (auto* m = std::get_if<Moji>(&e)) m->H.LayerGroup = 0;
    const fs::path src = dir / ("n" + std::to_string(v) + ".jww");
    WriteFile(src, Build(d));
    r.List.Set({src});
    r.Form1.Button3Click();
    ASSERT_EQ(r.Report(), rig::Converted(src, dir / ("n" + std::to_string(v) + "_2.JWW"))) << v;
    EXPECT_TRUE(testutil::SameBytes(testutil::ReadAll(dir / ("n" + std::to_string(v) + "_2.JWW")), testutil::ReadAll(src))) << v;
  }
}

// The memo decides the form of every string of the output.
TEST(WideDrawings, StringsOfTheOtherFormAreConvertedExactlyOrTheSaveFails) {
  testutil::TTempDir dir, work;
  rig::TRig r;
  r.Form1.StartWork(work.Path());

  Drawing wideMemo = HiddenGroupDrawing(600);
  wideMemo.Hdr.MemoWide = true;
  wideMemo.Hdr.Memo = "wide memo";
  wideMemo.Hdr.Layers[3].Name = "\x92\xCA\x82\xE8\x90\x63";  // 通り芯 in Shift-JIS
  const fs::path a = dir / "a.jww";
  WriteFile(a, Build(wideMemo));

  Drawing narrowMemo = HiddenGroupDrawing(600);
  narrowMemo.Hdr.Wide = true;
  narrowMemo.Hdr.MemoWide = false;
  narrowMemo.Hdr.Layers[3].Name = "\xE9\x80\x9A\xE3\x82\x8A\xE8\x8A\xAF";  // 通り芯, wide
  narrowMemo.Elements = {Line(0, 0, 1), Line(1, 0, 2)};
  const fs::path b = dir / "b.jww";
  WriteFile(b, Build(narrowMemo));

  narrowMemo.Hdr.Layers[4].Name = "caf\xC3\xA9";  // é has no Shift-JIS form
  const fs::path c = dir / "c.jww";
  WriteFile(c, Build(narrowMemo));

  r.List.Set({a, b, c});
  r.Form1.Button3Click();
  const auto report = r.Report();
  ASSERT_EQ(report.size(), 9u);
  EXPECT_EQ(report[2], rig::kDone);
  EXPECT_EQ(report[5], rig::kDone);
  EXPECT_EQ(report[8], rig::kFailed);
  EXPECT_FALSE(fs::exists(dir / "c_2.JWW"));

  auto outA = LoadOut(dir / "a_2.JWW");
  EXPECT_TRUE(outA->WideStrings());
  EXPECT_EQ(outA->Layers[3].Name, TJwwString::Wide(u"\u901A\u308A\u82AF"));
  EXPECT_EQ(outA->Layers[4].Name, TJwwString::Wide(u""));
  auto outB = LoadOut(dir / "b_2.JWW");
  EXPECT_FALSE(outB->WideStrings());
  EXPECT_EQ(outB->Layers[3].Name, "\x92\xCA\x82\xE8\x90\x63");
}

// The command line names the form and shows every name as UTF-8; a lone
// surrogate shows as U+FFFD and is still written back unchanged.
TEST(WideDrawings, CommandLineInfoAndConvert) {
  testutil::TTempDir dir, tmp, io;
  WriteFile(dir / "w.jww", Build(WideDrawing(700)));
  const fs::path cli = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "app" / "cli" / "quillmark";
  auto run = [&](const std::string& args) {
    const std::string cmd = "cd '" + dir.Path().string() + "' && TMPDIR='" + tmp.Path().string() + "' '" +
                            cli.string() + "' " + args + " >'" + (io / "out").string() + "' 2>&1 </dev/null";
    const int rc = std::system(cmd.c_str());
    const auto b = testutil::ReadAll(io / "out");
    return std::make_pair(WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, std::string(b.begin(), b.end()));
  };
  auto [status, text] = run("info w.jww");
  EXPECT_EQ(status, 0) << text;
  EXPECT_NE(text.find("UTF-16"), std::string::npos) << text;
  EXPECT_NE(text.find("secret layer \xC3\xA9\xF0\xA0\xAE\xB7\xED\x95\x9C\xF0\x9F\x98\x80\xEF\xBF\xBD"),
            std::string::npos)
      << text;
  auto [jsonStatus, json] = run("info --json w.jww");
  EXPECT_EQ(jsonStatus, 0) << json;
  EXPECT_NE(json.find("\"strings\":\"utf16\""), std::string::npos) << json;
  EXPECT_TRUE(qm::IsValidUtf8(json));

  auto [convertStatus, report] = run("convert w.jww");
  EXPECT_EQ(convertStatus, 0) << report;
  auto out = LoadOut(dir / "w_2.JWW");
  EXPECT_EQ(out->Layers[0].Name, TJwwString::Wide(u"\u901A\u308A\u82AF " + kOddUnits));
}

}  // namespace
