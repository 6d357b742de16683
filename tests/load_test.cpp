// Loading whole files: the signature test, failures of every kind (cut files,
// impossible counts, hostile image names), the version rules at both ends,
// image extraction into the work folder, and the speed of both loads.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <optional>

#include "jwwbuilder.h"
#include "jwwunit.h"
#include "testutil.h"
#include "workfolder.h"

namespace fs = std::filesystem;
using testutil::Hex;

namespace {

using namespace qm;

std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : v) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return v;
}

// Every element kind and form, nested block definitions (one with an extended
// time), and from 700 two images. Its last byte belongs to the last line of
// the last definition, or (700) to the last image.
jwwtest::Drawing FullDrawing(int32_t v, bool wide = false) {
  using namespace jwwtest;
  Drawing d;
  d.Hdr.Version = v;
  d.Hdr.Wide = wide;
  d.Hdr.Memo = "memo\r\n";
  d.Hdr.Layers[5].Name = "layer";
  d.Hdr.LayerGroups[2].State = 0;
  Sen line{{}, 1, 2, 3, 4};
  Ten p100;
  p100.H.PenStyle = 100;
  p100.Code = 3;
  Moji text;
  text.FontName = "MS";
  text.Text = "^@BM%temp%a.bmp,1,1";
  Sunpou dim;
  dim.ValueText.Text = "10";
  dim.Point2.H.PenStyle = 100;
  Solid s10;
  s10.H.PenColor = 10;
  s10.Color = 0x123456;
  Block ins1, ins2;
  ins1.BlockNumber = 1;
  ins2.BlockNumber = 2;
  d.Elements = {line, Enko{}, Ten{}, p100, text, dim, Solid{}, s10, ins1};
  BlockDef b1, b2;
  b1.Number = 1;
  b1.Name = "B1";
  b1.Elements = {line, text, ins2};
  b2.Number = 2;
  b2.Time = 0x80000000u;
  b2.Elements = {p100, dim, line};
  d.Blocks = {b1, b2};
  if (v >= 700) d.Images = {{"a.bmp", Pattern(3000, 1), {}}, {"b.png", Pattern(10, 2), {}}};
  return d;
}

bool Contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

long MaxRssKb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

// Every entry under a folder, relative, sorted.
std::vector<std::string> Tree(const fs::path& root) {
  std::vector<std::string> v;
  for (auto& e : fs::recursive_directory_iterator(root)) v.push_back(fs::relative(e.path(), root).string());
  std::sort(v.begin(), v.end());
  return v;
}

// Load options that extract into files in a given folder.
TLoadOptions ExtractInto(const fs::path& folder) {
  TLoadOptions o;
  o.WorkFolder = folder;
  o.ImagesInMemory = 0;
  return o;
}

constexpr bool Sanitized() {
#ifdef QUILLMARK_SANITIZED
  return true;
#else
  return false;
#endif
}


}  // namespace

// ---------------------------------------------------------------------------
// Signature

TEST(LoadSignature, FirstEightBytesExactly) {
  testutil::TTempDir dir;
  struct Case {
    std::string Bytes;
    bool Expected;
  };
  const Case cases[] = {{"JwwData.", true},
                        {"JwwData.\x01\x02 and more", true},
                        {"jwwData.", false},
                        {"JwwData", false},
                        {std::string("JwwData\0", 8), false},
                        {std::string("JwwData\0.", 9), false},
                        {"JwwData,", false},
                        {"", false}};
  TJwwData d;
  d.Header.Version = 123;
  int n = 0;
  for (const Case& c : cases) {
    const fs::path p = dir / ("s" + std::to_string(n++) + ".jww");
    testutil::WriteAll(p, testutil::Bytes(c.Bytes));
    EXPECT_EQ(d.CheckSignature(p), c.Expected) << c.Bytes;
  }
  EXPECT_EQ(d.Header.Version, 123);  // the document is not touched
  EXPECT_FALSE(d.CheckSignature(dir.Path()));
  EXPECT_FALSE(d.CheckSignature(dir / "missing.jww"));
  const TJwwStatus folder = d.LoadDocument(dir.Path());
  EXPECT_FALSE(folder);
  EXPECT_TRUE(Contains(folder.Text(), "not a regular file")) << folder.Text();
}

TEST(LoadSignature, UnreadableFile) {
  testutil::TTempDir dir;
  const fs::path p = dir / "locked.jww";
  jwwtest::WriteFile(p, jwwtest::Build(FullDrawing(600)));
  fs::permissions(p, fs::perms::none);
  // Checked in a child as an ordinary user: the superuser reads anything.
  EXPECT_TRUE(testutil::RunAsOrdinaryUser([&] {
    TJwwData d;
    const TJwwStatus quick = d.LoadForLayerTest(p, 1);
    return !d.CheckSignature(p) && !d.LoadDocument(p) && !quick && Contains(quick.Text(), p.string());
  }));
}

// ---------------------------------------------------------------------------
// Cut files

TEST(LoadTruncation, EveryPrefixOfEveryLayoutFails) {
  for (const auto& [v, wide] : std::vector<std::pair<int32_t, bool>>{
           {220, false}, {300, false}, {351, false}, {420, false}, {600, false}, {700, false}, {300, true}, {700, true}}) {
    testutil::TScopedWorkFolder work;
    testutil::TTempDir dir;
    const fs::path path = dir / "cut.jww";
    const jwwtest::Drawing dr = FullDrawing(v, wide);
    const std::vector<uint8_t> full = jwwtest::Build(dr);
    const size_t headerSize = jwwtest::HeaderSectionSize(dr);
    testutil::WriteAll(path, full);
    TJwwData d;
    ASSERT_TRUE(testutil::Ok(d.LoadDocument(path, work.Options())));
    ASSERT_EQ(d.WideStrings(), wide) << v;
    ASSERT_EQ(d.TotalCount(), 9) << v;
    ASSERT_EQ(d.BlockDefCount, 2) << v;
    ASSERT_EQ(d.BlockDefs[1].TotalCount(), 3) << v;
    ASSERT_EQ(work.FileCount(), v >= 700 ? 2u : 0u) << v;
    d.ClearDocument();
    ASSERT_TRUE(work.Empty()) << v;

    int failures = 0;
    for (size_t len = full.size(); len-- > 0 && failures < 5;) {
      // Under the sanitizers every 13th cut of the header section is enough
      // (they make each load some 20 times slower); the entity section is cut everywhere.
      if (Sanitized() && len < headerSize && len % 13 != 0) continue;
      fs::resize_file(path, len);
      const TJwwStatus loaded = d.LoadDocument(path, work.Options());
      const bool ok = static_cast<bool>(loaded);
      if (ok || loaded.Text().empty()) {
        ADD_FAILURE() << "version " << v << ", first " << len << " of " << full.size() << " bytes: load "
                      << (ok ? "succeeded" : "failed without a reason");
        ++failures;
      }
      if (v >= 700 && len > headerSize) {
        // The bytes of an image are offered only when it was read whole.
        for (size_t i = 0; i < d.Images.size(); ++i) {
          if (!d.ImageBytes().HasBytes(i)) continue;
          if (i >= dr.Images.size() || testutil::ImageBytesOf(d, i) != dr.Images[i].Data) {
            ADD_FAILURE() << "version " << v << ", " << len << " bytes: image " << i << " offered but not whole";
            ++failures;
          }
        }
        d.ClearDocument();
        EXPECT_TRUE(work.Empty()) << len;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Counts that cannot be right

TEST(LoadCounts, ImpossibleOrNegativeCountsFailAtOnce) {
  using namespace jwwtest;
  struct Case {
    const char* Name;
    Drawing D;
    const char* What;  // a word the reason must contain
  };
  std::vector<Case> cases;
  BlockDef def;
  def.Elements = {Sen{}};
  auto add = [&](const char* name, int32_t v, const char* what, auto change) {
    Drawing d;
    d.Hdr.Version = v;
    d.Elements = {Sen{}};
    d.Blocks = {def};
    change(d);
    cases.push_back({name, d, what});
  };
  add("2e9 elements", 300, "element count", [](Drawing& d) { d.DeclaredElementCount = 2000000000u; });
  add("2e9-unit wide memo", 300, "memo", [](Drawing&) {});
  add("-1 elements", 300, "element count", [](Drawing& d) { d.DeclaredElementCount = 0xFFFFFFFFu; });
  add("2e9 definitions", 300, "block definition count", [](Drawing& d) { d.DeclaredBlockCount = 2000000000u; });
  add("negative definitions", 300, "block definition count", [](Drawing& d) { d.DeclaredBlockCount = 0x80000000u; });
  add("2e9 block elements", 300, "element count", [](Drawing& d) { d.Blocks[0].DeclaredCount = 2000000000u; });
  add("-2 block elements", 300, "element count", [](Drawing& d) { d.Blocks[0].DeclaredCount = 0xFFFFFFFEu; });
  add("2e9 images", 700, "image count", [](Drawing& d) { d.DeclaredImageCount = 2000000000; });
  add("-5 images", 700, "image count", [](Drawing& d) { d.DeclaredImageCount = -5; });
  add("2e9 image bytes", 700, "image", [](Drawing& d) { d.Images = {{"a.bmp", {1, 2, 3}, 2000000000}}; });
  add("negative image size", 700, "image size", [](Drawing& d) { d.Images = {{"a.bmp", {}, -1}}; });
  // A text whose font name announces 65535 bytes that the file does not hold.
  std::vector<uint8_t> cutText = Hex("FFFF 2C01 0900 4344617461 4D6F6A69");
  const auto textRecord = RecordBytes(Element{Moji{}}, 300);
  cutText.insert(cutText.end(), textRecord.begin(), textRecord.end() - 2);
  cutText.insert(cutText.end(), {0xFF, 0xFF, 0xFF});
  add("65535-byte font name", 300, "font name", [&](Drawing& d) {
    d.Elements = {RawBytes{cutText}};
    d.DeclaredElementCount = 1;
  });
  // The same with a wide font name of 2,000,000,000 units.
  std::vector<uint8_t> wideText(cutText.begin(), cutText.end() - 3);
  for (const uint8_t b : Hex("FF FEFF FF FFFF 00943577 4100")) wideText.push_back(b);
  add("2e9-unit wide font name", 300, "font name", [&](Drawing& d) {
    d.Elements = {RawBytes{wideText}};
    d.DeclaredElementCount = 1;
  });
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  // A wide memo of 2,000,000,000 units in place of the empty memo at byte 12.
  std::vector<uint8_t> wideMemo = Build(cases[0].D);
  wideMemo.erase(wideMemo.begin() + 12);
  const auto memoLength = Hex("FF FEFF FF FFFF 00943577");
  wideMemo.insert(wideMemo.begin() + 12, memoLength.begin(), memoLength.end());
  for (const Case& c : cases) {
    const fs::path p = dir / "count.jww";
    testutil::WriteAll(p, c.What == std::string("memo") ? wideMemo : Build(c.D));
    TJwwData d;
    const long rssBefore = MaxRssKb();
    const TJwwStatus loaded = d.LoadDocument(p, work.Options());
    EXPECT_FALSE(loaded) << c.Name;
    EXPECT_LT(MaxRssKb() - rssBefore, 64 * 1024) << c.Name;
    EXPECT_TRUE(Contains(loaded.Text(), c.What)) << c.Name << ": " << loaded.Text();
    EXPECT_TRUE(Contains(loaded.Text(), p.string())) << c.Name << ": " << loaded.Text();
    EXPECT_EQ(work.FileCount(), 0u) << c.Name;
  }
  // The offset named is that of the count itself: right after the header section.
  const Drawing& huge = cases[0].D;
  testutil::WriteAll(dir / "h.jww", Build(huge));
  TJwwData d;
  const TJwwStatus loaded = d.LoadDocument(dir / "h.jww");
  EXPECT_FALSE(loaded);
  EXPECT_TRUE(Contains(loaded.Text(), std::to_string(HeaderSectionSize(huge)))) << loaded.Text();
  EXPECT_EQ(d.EntityOrder.size(), 0u);
}

TEST(LoadFailures, TheReasonNamesPathOffsetAndField) {
  jwwtest::Drawing dr;
  dr.Hdr.Version = 300;
  dr.Elements = {jwwtest::Sen{}};
  auto bytes = jwwtest::Build(dr);
  // Count (2), declaration (14), the line's 13-byte header and StartX; StartY is cut.
  const size_t startYAt = jwwtest::HeaderSectionSize(dr) + 2 + 14 + 13 + 8;
  bytes.resize(startYAt + 3);
  testutil::TTempDir dir;
  testutil::WriteAll(dir / "cut.jww", bytes);
  TJwwData d;
  const TJwwStatus cut = d.LoadDocument(dir / "cut.jww");
  EXPECT_FALSE(cut);
  EXPECT_TRUE(Contains(cut.Text(), (dir / "cut.jww").string())) << cut.Text();
  EXPECT_TRUE(Contains(cut.Text(), std::to_string(startYAt))) << cut.Text();
  EXPECT_TRUE(Contains(cut.Text(), "line")) << cut.Text();
  EXPECT_EQ(d.Header.EntityCount, 1);
  EXPECT_EQ(d.LineCount, 0);
  const TJwwStatus missing = d.LoadDocument(dir / "missing.jww");
  EXPECT_FALSE(missing);
  EXPECT_TRUE(Contains(missing.Text(), (dir / "missing.jww").string())) << missing.Text();
}

// ---------------------------------------------------------------------------
// Image names

TEST(LoadImages, NamesThatAreNotPlainFileNamesFail) {
  testutil::TTempDir root;
  const fs::path work = root / "w" / "work";
  fs::create_directories(work);
  const char* names[] = {"..\\x",   "../x", "..\\..\\x", "../../x", "C:x", "c:\\x", "a:b",     "a/b",
                         "a\\b",    "/x",   "\\x",       "..",      ".",   "CON",   "con.bmp", "NUL",
                         "nul.txt", "COM1", "lpt9.png",  "AUX.",    "prn", "COM\xC2\xB9", "lpt\xC2\xB2.bmp", "Com\xC2\xB3 .x", "a<b",   "a>b",     "a\"b",
                         "a|b",     "a?b",  "a*b",       "x.",      "x ",  "a\x7F", "a\x82 b", "\xFFx"};
  for (bool extract : {true, false}) {
    for (const char* name : names) {
      for (size_t size :
           {size_t{10}, size_t{0}}) {  // an empty image creates no file, but its name is checked all the same
        jwwtest::Drawing dr;
        dr.Hdr.Version = 700;
        dr.Images = {{name, Pattern(size, 3), {}}};
        dr.Hdr.Wide = std::string_view(name).find('\xC2') != std::string_view::npos;  // ¹ ² ³ are not Shift-JIS
        testutil::WriteAll(root / "i.jww", jwwtest::Build(dr));
        TJwwData d;
        const TJwwStatus loaded = d.LoadDocument(root / "i.jww", extract ? ExtractInto(work) : TLoadOptions{});
        EXPECT_FALSE(loaded) << name << ", " << size << " bytes" << (extract ? "" : ", not extracting");
        EXPECT_EQ(loaded.Kind, TJwwFailure::UnsafeContent) << name << ": " << loaded.Text();
        d.ClearDocument();
        EXPECT_EQ(Tree(root.Path()), (std::vector<std::string>{"i.jww", "w", "w/work"})) << name;
      }
    }
  }
}

namespace {

// The stored name is cleaned of control bytes when it is read. A name of
// nothing else turns into "no name", and its data is then passed over as if
// the entry had none: the image would be dropped without a word. A name with
// control bytes among others is no plain file name either.
void ExpectImageNamesFail(std::initializer_list<const char*> names) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  for (const char* name : names) {
    for (bool second : {false, true}) {
      jwwtest::Drawing dr;
      dr.Hdr.Version = 700;
      dr.Images = {{name, Pattern(10, 4), {}}};
      if (second) dr.Images.push_back({"next.bmp", Pattern(12, 5), {}});
      testutil::WriteAll(dir / "i.jww", jwwtest::Build(dr));
      TJwwData d;
      EXPECT_FALSE(d.LoadDocument(dir / "i.jww", work.Options()))
          << testing::PrintToString(std::string(name)) << (second ? " before another image" : "") << ": "
          << d.Images.size() << " images listed";
      d.ClearDocument();
      EXPECT_TRUE(work.Empty());
    }
  }
}

}  // namespace

TEST(LoadImages, NameOfOnlyControlBytesIsNoSilentDrop) { ExpectImageNamesFail({"\r\n", "\x01"}); }

TEST(LoadImages, StoredNamesWithControlBytesFail) {
  ExpectImageNamesFail({"a\x01\x62.bmp", "c.bmp\t"});  // 0x62 is "b"
}

TEST(LoadImages, ShiftJisNamesAreFileNamesOfTheirOwn) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  jwwtest::Drawing dr;
  dr.Hdr.Version = 700;
  // A trail byte 0x5C is no folder delimiter; 0x83 0x41 and 0x83 0x61 differ
  // only in a trail byte that ASCII upper-casing would change; a full-width
  // slash is an ordinary character; CONSOLE and COM10 are no devices.
  const std::vector<std::pair<std::string, std::string>> names = {
      {"\x95\x5C.bmp", "\xE8\xA1\xA8.bmp"}, {"\x83\x41.bmp", "\xE3\x82\xA2.bmp"},
      {"\x83\x61.bmp", "\xE3\x83\x82.bmp"}, {"a\x81^b.png", std::string("a\xEF\xBC\x8F") + "b.png"},
      {"CONSOLE.bmp", "CONSOLE.bmp"},       {"com10.txt", "com10.txt"}};
  uint32_t seed = 10;
  for (const auto& [sjis, utf8] : names) dr.Images.push_back({sjis, Pattern(100, seed++), {}});
  testutil::WriteAll(dir / "i.jww", jwwtest::Build(dr));
  TJwwData d;
  ASSERT_TRUE(testutil::Ok(d.LoadDocument(dir / "i.jww", work.Options())));
  ASSERT_EQ(d.Images.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(d.Images[i].FileName, names[i].first);
    EXPECT_EQ(PlainImageName(d.Images[i].FileName), fs::path(names[i].second)) << names[i].second;
    EXPECT_EQ(testutil::ImageBytesOf(d, i), dr.Images[i].Data) << names[i].second;
  }
  EXPECT_EQ(work.FileCount(), names.size());
}

TEST(LoadImages, NamesEqualIgnoringCaseFail) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  // Letter case is folded for all of Unicode, as NTFS does: full-width ａ and
  // Ａ, é and É, ω and Ω name one file. Shift-JIS and wide names alike.
  const std::pair<const char*, const char*> pairs[] = {
      {"a.bmp", "a.bmp"},  {"a.bmp", "A.BMP"}, {"Img.Png", "iMG.pNG"}, {"\xEF\xBD\x81.bmp", "\xEF\xBC\xA1.bmp"},
      {"\xC3\xA9.png", "\xC3\x89.png"}, {"\xCF\x89.png", "\xCE\xA9.png"}, {"\xE5\x9B\xB3\xEF\xBD\x82.jpg", "\xE5\x9B\xB3\xEF\xBC\xA2.jpg"}};
  for (bool extract : {true, false}) {
    for (const auto& [first, second] : pairs) {
      for (size_t secondSize : {size_t{30}, size_t{0}}) {
        jwwtest::Drawing dr;
        dr.Hdr.Version = 700;
        dr.Hdr.Wide = true;
        dr.Images = {{first, Pattern(20, 1), {}}, {second, Pattern(secondSize, 2), {}}};
        testutil::WriteAll(dir / "i.jww", jwwtest::Build(dr));
        TJwwData d;
        const TJwwStatus loaded = d.LoadDocument(dir / "i.jww", extract ? work.Options() : TLoadOptions{});
        EXPECT_FALSE(loaded) << first << " / " << second;
        EXPECT_EQ(loaded.Kind, TJwwFailure::UnsafeContent) << loaded.Text();
        // Whatever was extracted goes with the document.
        d.ClearDocument();
        EXPECT_TRUE(work.Empty()) << first << " / " << second;
      }
    }
  }
  // The same in Shift-JIS names: ａ and Ａ, and plain letters.
  for (const auto& [first, second] : {std::pair<const char*, const char*>{"\x82\x81.bmp", "\x82\x60.bmp"},
                                      std::pair<const char*, const char*>{"a.bmp", "A.BMP"}}) {
    jwwtest::Drawing dr;
    dr.Hdr.Version = 700;
    dr.Images = {{first, Pattern(20, 1), {}}, {second, Pattern(20, 2), {}}};
    testutil::WriteAll(dir / "i.jww", jwwtest::Build(dr));
    TJwwData d;
    EXPECT_FALSE(d.LoadDocument(dir / "i.jww", work.Options())) << first;
  }
  EXPECT_TRUE(work.Empty());
  // Names that only look alike are different files.
  jwwtest::Drawing dr;
  dr.Hdr.Version = 700;
  dr.Hdr.Wide = true;
  dr.Images = {{"\xEF\xBD\x81.bmp", Pattern(20, 1), {}}, {"a.bmp", Pattern(20, 2), {}}, {"\xC3\xA9.png", Pattern(5, 3), {}},
               {"e.png", Pattern(5, 4), {}}};
  testutil::WriteAll(dir / "i.jww", jwwtest::Build(dr));
  TJwwData d;
  EXPECT_TRUE(testutil::Ok(d.LoadDocument(dir / "i.jww", work.Options())));
  EXPECT_EQ(work.FileCount(), 4u);
}

// ---------------------------------------------------------------------------
// Extraction

TEST(LoadImages, ExtractedFilesHoldTheStoredBytes) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  jwwtest::Drawing dr;
  dr.Hdr.Version = 700;
  const size_t sizes[] = {2048, 2049, 4096, 65536, 65537, 100000, 1};
  uint32_t seed = 0;
  for (size_t n : sizes) dr.Images.push_back({"s" + std::to_string(n) + ".bin", Pattern(n, ++seed), {}});
  dr.Images.insert(dr.Images.begin() + 2, jwwtest::Image{"", {}, 7});           // no name: no content, no file
  dr.Images.insert(dr.Images.begin() + 4, jwwtest::Image{"zero.bmp", {}, {}});  // size 0: no file
  dr.Elements = {jwwtest::Sen{}};
  testutil::WriteAll(dir / "i.jww", jwwtest::Build(dr));
  TJwwData d;
  ASSERT_TRUE(testutil::Ok(d.LoadDocument(dir / "i.jww", work.Options())));
  ASSERT_EQ(d.Images.size(), 9u);
  size_t files = 0;
  for (size_t i = 0; i < dr.Images.size(); ++i) {
    const jwwtest::Image& img = dr.Images[i];
    const int32_t size = img.DeclaredSize.value_or(static_cast<int32_t>(img.Data.size()));
    EXPECT_EQ(d.Images[i], (TBindImageType{img.Name, size, false})) << i;
    const bool content = !img.Name.empty() && size != 0;
    EXPECT_EQ(d.ImageBytes().HasBytes(i), content) << i;
    if (!content) continue;
    ++files;
    EXPECT_EQ(testutil::ImageBytesOf(d, i), img.Data) << img.Name;
  }
  // One file an image, in the document's own folder, none under an image's name.
  EXPECT_EQ(work.FileCount(), files);
  for (auto& e : fs::recursive_directory_iterator(work.Path()))
    for (const jwwtest::Image& img : dr.Images) EXPECT_NE(e.path().filename().string(), img.Name);
  EXPECT_EQ(d.LineCount, 1);
  d.ClearDocument();
  EXPECT_TRUE(work.Empty());
}

// As a conversion loads them: small images stay in memory (no file at all),
// and once the document's share is spent the rest go to its folder.
TEST(LoadImages, SmallImagesStayInMemoryUntilTheShareIsSpent) {
  testutil::TScopedWorkFolder work;
  jwwtest::Drawing dr;
  dr.Hdr.Version = 700;
  for (uint32_t i = 0; i < 20; ++i) dr.Images.push_back({"m" + std::to_string(i) + ".bmp", Pattern(4000, i), {}});
  dr.Images.push_back({"big.bmp", Pattern(4001, 99), {}});  // above a sixteenth of the share
  const auto bytes = jwwtest::Build(dr);
  TJwwData d;
  TLoadOptions options = work.Ordinary();
  options.ImagesInMemory = 16 * 4000;  // room for sixteen of the small ones
  ASSERT_TRUE(testutil::Ok(d.LoadDocument(bytes.data(), bytes.size(), options)));
  for (size_t i = 0; i < dr.Images.size(); ++i) EXPECT_EQ(testutil::ImageBytesOf(d, i), dr.Images[i].Data) << i;
  EXPECT_EQ(work.FileCount(), 5u);  // the four small ones past the share, and the big one
  d.ClearDocument();
  EXPECT_TRUE(work.Empty());
  ASSERT_TRUE(testutil::Ok(d.LoadDocument(bytes.data(), bytes.size(), work.Ordinary())));
  EXPECT_EQ(work.FileCount(), 0u);
  EXPECT_EQ(testutil::ImageBytesOf(d, 20), dr.Images[20].Data);
}

TEST(LoadImages, ExtractedBytesThatChangeAreRefused) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  testutil::WriteAll(dir / "i.jww", jwwtest::Build(FullDrawing(700)));
  TJwwData d;
  ASSERT_TRUE(testutil::Ok(d.LoadDocument(dir / "i.jww", work.Options())));
  // Another hand alters the extracted copy of the second image (same size).
  for (auto& e : fs::recursive_directory_iterator(work.Path()))
    if (e.is_regular_file() && fs::file_size(e.path()) == 10) testutil::WriteAll(e.path(), Pattern(10, 99));
  EXPECT_EQ(testutil::ImageBytesOf(d, 0), Pattern(3000, 1));
  EXPECT_THROW(testutil::ImageBytesOf(d, 1), EJwwError);
}

TEST(LoadImages, WithoutAWorkFolderTheTableIsOnlyCheckedAndRecorded) {
  testutil::TTempDir dir;
  testutil::WriteAll(dir / "i.jww", jwwtest::Build(FullDrawing(700)));
  TJwwData d;
  ASSERT_TRUE(testutil::Ok(d.LoadDocument(dir / "i.jww")));
  EXPECT_EQ(d.Images, (std::vector<TBindImageType>{{"a.bmp", 3000, false}, {"b.png", 10, false}}));
  EXPECT_FALSE(d.ImageBytes().HasBytes(0));
  EXPECT_FALSE(d.ImageBytes().HasBytes(1));
  EXPECT_THROW(testutil::ImageBytesOf(d, 0), EJwwError);
  // Older versions have no table.
  testutil::TScopedWorkFolder work;
  testutil::WriteAll(dir / "o.jww", jwwtest::Build(FullDrawing(600)));
  ASSERT_TRUE(testutil::Ok(d.LoadDocument(dir / "o.jww", work.Options())));
  EXPECT_TRUE(d.Images.empty());
  EXPECT_TRUE(work.Empty());
}

TEST(LoadImages, AnImageThatCannotBeExtractedFailsTheLoad) {
  testutil::TTempDir dir;
  testutil::WriteAll(dir / "i.jww", jwwtest::Build(FullDrawing(700)));
  TJwwData d;
  const TJwwStatus missing = d.LoadDocument(dir / "i.jww", ExtractInto(dir / "missing"));
  EXPECT_FALSE(missing);
  EXPECT_EQ(missing.Kind, TJwwFailure::IoError) << missing.Text();
  EXPECT_FALSE(fs::exists(dir / "missing"));
  d.ClearDocument();
  // A work folder that cannot be written (checked as an ordinary user: the
  // superuser writes anywhere).
  testutil::TScopedWorkFolder work;
  fs::permissions(work.Path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
  EXPECT_TRUE(testutil::RunAsOrdinaryUser([&] {
    TJwwData child;
    const TJwwStatus loaded = child.LoadDocument(dir / "i.jww", work.Options());
    return !loaded && loaded.Kind == TJwwFailure::IoError;
  }));
  EXPECT_TRUE(work.Empty());
}

// ---------------------------------------------------------------------------
// Versions at both ends

// Every drawing ends with its last section: bytes after it make any version
// unreadable (a drawing misread early could otherwise pass as complete).
TEST(LoadVersions, TrailingBytesFailEveryVersion) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  struct Case {
    int32_t Version;
    size_t Trailing;
  };
  for (const Case& c : {Case{701, 0}, Case{701, 1}, Case{701, 100}, Case{800, 0}, Case{700, 0}, Case{700, 1},
                        Case{600, 0}, Case{600, 7}, Case{420, 2}, Case{351, 1000}, Case{300, 1}, Case{220, 0},
                        Case{220, 1}}) {
    jwwtest::Drawing dr = FullDrawing(c.Version);
    dr.Trailer = Pattern(c.Trailing, 5);
    testutil::WriteAll(dir / "v.jww", jwwtest::Build(dr));
    TJwwData d;
    const bool expected = c.Trailing == 0;
    const TJwwStatus loaded = d.LoadDocument(dir / "v.jww", work.Options());
    EXPECT_EQ(static_cast<bool>(loaded), expected) << c.Version << " + " << c.Trailing << ": " << loaded.Text();
    if (!expected) {
      EXPECT_TRUE(Contains(loaded.Text(), std::to_string(c.Trailing) + " bytes follow")) << loaded.Text();
      EXPECT_TRUE(Contains(loaded.Text(), std::to_string(jwwtest::Build(FullDrawing(c.Version)).size())))
          << loaded.Text();
    }
    EXPECT_EQ(d.Header.Version, c.Version);
    EXPECT_EQ(d.TotalCount(), 9) << c.Version;  // read with the rules of 700 and below
  }
}

// ---------------------------------------------------------------------------
// What a load leaves behind

TEST(LoadFailures, FinishLoadRunsOnWhatWasRead) {
  jwwtest::Drawing dr;
  dr.Hdr.Version = 300;
  jwwtest::Block ins;
  ins.BlockNumber = 1;
  dr.Elements = {ins, jwwtest::Sen{}};
  jwwtest::BlockDef one, two;
  one.Number = 1;
  one.Elements = {jwwtest::Sen{}};
  two.Number = 2;
  two.Elements = {jwwtest::Sen{}, jwwtest::Sen{}};
  dr.Blocks = {one, two};
  auto bytes = jwwtest::Build(dr);
  bytes.resize(bytes.size() - 5);  // inside the last line of the last definition
  testutil::TTempDir dir;
  testutil::WriteAll(dir / "f.jww", bytes);
  TJwwData d;
  EXPECT_FALSE(d.LoadDocument(dir / "f.jww"));
  EXPECT_EQ(d.LineCount, 1);
  EXPECT_EQ(d.Header.DeclaredBlockDefCount, 2);
  ASSERT_EQ(d.BlockDefCount, 1);
  EXPECT_TRUE(d.BlockDefs[0].Used);
  EXPECT_EQ(d.BlockDefs[0].NewNumber, 0);
  EXPECT_EQ(d.UsedBlockDefCount, 1);
  EXPECT_EQ(d.BlockTreeCount, 1);
}

TEST(LoadFailures, EveryLoadStartsFromAnEmptyDocument) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  testutil::WriteAll(dir / "full.jww", jwwtest::Build(FullDrawing(700)));
  jwwtest::Drawing small;
  small.Hdr.Version = 300;
  small.Hdr.Memo = "second";
  small.Elements = {jwwtest::Sen{}};
  testutil::WriteAll(dir / "small.jww", jwwtest::Build(small));
  auto cut = jwwtest::Build(small);
  cut.resize(cut.size() - 1);
  testutil::WriteAll(dir / "cut.jww", cut);
  testutil::WriteAll(dir / "old.jww", Hex("4A77 7744 6174 612E DB000000"));  // "JwwData." 219

  TJwwData d;
  ASSERT_TRUE(testutil::Ok(d.LoadDocument(dir / "full.jww", work.Options())));
  ASSERT_EQ(d.BlockDefCount, 2);
  ASSERT_FALSE(d.Images.empty());
  ASSERT_FALSE(work.Empty());
  ASSERT_TRUE(testutil::Ok(d.LoadDocument(dir / "small.jww")));
  EXPECT_EQ(d.Header.Memo, "second");
  EXPECT_EQ(d.LineCount, 1);
  EXPECT_EQ(d.TextCount, 0);
  EXPECT_EQ(d.DimensionCount, 0);
  EXPECT_EQ(d.BlockInsertCount, 0);
  EXPECT_TRUE(d.BlockDefs.empty());
  EXPECT_EQ(d.BlockDefCount, 0);
  EXPECT_TRUE(d.BlockTree.empty());
  EXPECT_EQ(d.UsedBlockDefCount, 0);
  EXPECT_TRUE(d.Images.empty());
  EXPECT_TRUE(work.Empty());  // the first drawing's images went with it
  EXPECT_EQ(d.ColorsEx[0], TEntJwwColorExNo{});
  EXPECT_EQ(d.LayerGroups[2].State, 2);
  EXPECT_EQ(d.Layers[5].Name, "");

  ASSERT_TRUE(testutil::Ok(d.LoadDocument(dir / "full.jww")));
  const TJwwStatus cutLoad = d.LoadDocument(dir / "cut.jww");  // the block count is cut, the line was read
  EXPECT_FALSE(cutLoad);
  EXPECT_FALSE(cutLoad.Text().empty());
  EXPECT_EQ(d.LineCount, 1);
  EXPECT_EQ(d.TotalCount(), 1);
  EXPECT_TRUE(d.BlockDefs.empty());
  EXPECT_TRUE(d.Images.empty());
  EXPECT_FALSE(d.LoadDocument(dir / "old.jww"));
  EXPECT_EQ(d.Header.Version, 219);
  EXPECT_EQ(d.Header.Memo, "");
  EXPECT_TRUE(d.EntityOrder.empty());
  const TJwwStatus again = d.LoadDocument(dir / "small.jww");
  EXPECT_TRUE(again);
  EXPECT_TRUE(again.Text().empty());
}

// ---------------------------------------------------------------------------
// The quick load of the layer test

TEST(LoadLayerTest, ReadsTheLayerTablesAndOneElement) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  testutil::WriteAll(dir / "l.jww", jwwtest::Build(FullDrawing(700)));
  TJwwData d;
  ASSERT_TRUE(testutil::Ok(d.LoadForLayerTest(dir / "l.jww", 1)));
  EXPECT_EQ(d.LayerGroups[2].State, 0);
  EXPECT_EQ(d.LayerGroups[3].State, 2);
  EXPECT_EQ(d.Header.EntityCount, 9);
  EXPECT_EQ(d.EntityOrder.size(), 1u);
  EXPECT_EQ(d.LineCount, 1);
  EXPECT_EQ(d.TotalCount(), 1);
  EXPECT_EQ(d.BlockDefCount, 0);
  EXPECT_TRUE(d.Images.empty());
  EXPECT_TRUE(work.Empty());

  jwwtest::Drawing blocksOnly = FullDrawing(600);
  blocksOnly.Elements.clear();
  testutil::WriteAll(dir / "b.jww", jwwtest::Build(blocksOnly));
  ASSERT_TRUE(testutil::Ok(d.LoadForLayerTest(dir / "b.jww", 1)));
  EXPECT_EQ(d.Header.DeclaredBlockDefCount, 2);
  ASSERT_EQ(d.BlockDefCount, 1);
  EXPECT_EQ(d.BlockDefs[0].Lists().LineCount, 1);
  EXPECT_EQ(d.BlockDefs[0].TotalCount(), 1);
  EXPECT_FALSE(d.BlockDefs[0].Used);  // its insert of definition 2 was not read
}

// One reading for the layer test and the whole load: told not to go on
// after the header, the load ends where the quick load would.
TEST(LoadLayerTest, ALoadToldToStopAfterTheHeaderIsTheQuickLoad) {
  testutil::TScopedWorkFolder work;
  const auto bytes = jwwtest::Build(FullDrawing(700));
  TJwwData quick, stopped, full;
  ASSERT_TRUE(testutil::Ok(quick.LoadForLayerTest(bytes.data(), bytes.size(), 1)));
  TLoadOptions options = work.Ordinary();
  int asked = 0;
  options.ContinueAfterHeader = [&](const TJwwData& d) {
    ++asked;
    EXPECT_EQ(d.LayerGroups.at(2).State, 0);  // the header is there to decide by
    EXPECT_TRUE(d.EntityOrder.empty());
    return false;
  };
  ASSERT_TRUE(testutil::Ok(stopped.LoadDocument(bytes.data(), bytes.size(), options)));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(stopped.Header.EntityCount, quick.Header.EntityCount);
  EXPECT_EQ(stopped.EntityOrder, quick.EntityOrder);
  EXPECT_EQ(stopped.TotalCount(), 1);
  EXPECT_TRUE(stopped.BlockDefs.empty());
  EXPECT_TRUE(stopped.Images.empty());
  EXPECT_TRUE(work.Empty());
  options.ContinueAfterHeader = [](const TJwwData&) { return true; };
  ASSERT_TRUE(testutil::Ok(full.LoadDocument(bytes.data(), bytes.size(), options)));
  EXPECT_EQ(full.TotalCount(), 9);
  EXPECT_EQ(full.Images.size(), 2u);
}

// ---------------------------------------------------------------------------
// Speed

TEST(LoadLarge, MillionElements) {
  jwwtest::Drawing dr;
  dr.Hdr.Version = 600;
  std::vector<uint8_t> bytes = jwwtest::BuildHeaderSection(dr);
  const size_t n = 1000000;
  bytes.reserve(bytes.size() + n * 49 + 200);
  // Moji = 1, text 2, Sen = 3, line 4, lines via 0x8003.
  const auto head = Hex("FFFF 40420F00  FFFF 5802 0900 4344617461 4D6F6A69");
  bytes.insert(bytes.end(), head.begin(), head.end());
  const auto text = jwwtest::RecordBytes(jwwtest::Element{jwwtest::Moji{}}, 600);
  bytes.insert(bytes.end(), text.begin(), text.end());
  const auto decl = Hex("FFFF 5802 0800 4344617461 53656E");
  bytes.insert(bytes.end(), decl.begin(), decl.end());
  const auto line = jwwtest::RecordBytes(jwwtest::Element{jwwtest::Sen{{}, 1, 2, 3, 4}}, 600);
  bytes.insert(bytes.end(), line.begin(), line.end());
  for (size_t i = 2; i < n; ++i) {
    bytes.push_back(0x03);
    bytes.push_back(0x80);
    bytes.insert(bytes.end(), line.begin(), line.end());
  }
  bytes.push_back(0);
  bytes.push_back(0);
  testutil::TTempDir dir;
  testutil::WriteAll(dir / "big.jww", bytes);

  TJwwData d;
  ASSERT_TRUE(testutil::Ok(d.LoadForLayerTest(dir / "big.jww", 1)));
  EXPECT_EQ(d.Header.EntityCount, 1000000);
  EXPECT_EQ(d.TextCount, 1);
  EXPECT_EQ(d.LineCount, 0);
  EXPECT_EQ(d.EntityOrder.size(), 1u);

  ASSERT_TRUE(testutil::Ok(d.LoadDocument(dir / "big.jww")));
  EXPECT_EQ(d.TextCount, 1);
  EXPECT_EQ(d.LineCount, 999999);
  EXPECT_EQ(d.Lines.size(), 999999u);
  EXPECT_EQ(d.Lines.back().EndY, 4);
  EXPECT_EQ(d.EntityOrder.size(), 1000000u);
  // Speed is the benchmark's to measure (bench/jwwbench); here only what was read.
}

// Every failure says what kind it is, what was being read, and, when it has
// a place in the file, at which byte.
TEST(LoadFailures, EachFailureHasItsKindContextAndOffset) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  struct Case {
    const char* Name;
    std::vector<uint8_t> Bytes;
    TJwwFailure Kind;
    const char* Context;
    std::optional<uint64_t> Offset;  // nothing: not checked
  };
  const auto full = jwwtest::Build(FullDrawing(600));
  jwwtest::Drawing old = FullDrawing(600);
  old.Hdr.Version = 219;
  jwwtest::Drawing newer = FullDrawing(701);
  newer.Trailer = {1, 2};
  jwwtest::Drawing counted = FullDrawing(600);
  counted.DeclaredElementCount = 2000000000u;
  jwwtest::Drawing hostile = FullDrawing(700);
  hostile.Images[0].Name = "..\\a.bmp";
  jwwtest::Drawing damaged = FullDrawing(600);
  damaged.Trailer = {0};
  const std::vector<Case> cases = {
      {"cut", std::vector<uint8_t>(full.begin(), full.end() - 3), TJwwFailure::Truncated, "block_definitions", {}},
      {"cut in the signature", std::vector<uint8_t>(full.begin(), full.begin() + 5), TJwwFailure::Truncated,
       "signature", 0},
      {"cut before the memo", std::vector<uint8_t>(full.begin(), full.begin() + 12), TJwwFailure::Truncated, "memo",
       12},
      {"219", jwwtest::Build(old), TJwwFailure::UnsupportedVersion, "version", 8},
      {"701 with more", jwwtest::Build(newer), TJwwFailure::UnsupportedVersion, "end_of_file", {}},
      {"count", jwwtest::Build(counted), TJwwFailure::Corrupt, "elements", HeaderSectionSize(counted)},
      {"trailing byte", jwwtest::Build(damaged), TJwwFailure::Corrupt, "end_of_file", full.size()},
      {"image name", jwwtest::Build(hostile), TJwwFailure::UnsafeContent, "image_table", {}},
  };
  for (const Case& c : cases) {
    testutil::WriteAll(dir / "k.jww", c.Bytes);
    TJwwData d;
    const TJwwStatus loaded = d.LoadDocument(dir / "k.jww", work.Options());
    EXPECT_FALSE(loaded) << c.Name;
    EXPECT_EQ(loaded.Kind, c.Kind) << c.Name << ": " << loaded.Text();
    EXPECT_EQ(loaded.Context, c.Context) << c.Name << ": " << loaded.Text();
    EXPECT_EQ(loaded.Path, dir / "k.jww") << c.Name;
    ASSERT_TRUE(loaded.Offset.has_value()) << c.Name;
    if (c.Offset) {
      EXPECT_EQ(*loaded.Offset, *c.Offset) << c.Name << ": " << loaded.Text();
    }
    // The sentence is the path and the detail, which starts with the offset.
    EXPECT_EQ(loaded.Text(), (dir / "k.jww").string() + ": " + loaded.Detail);
    EXPECT_TRUE(loaded.Detail.starts_with("at byte " + std::to_string(*loaded.Offset) + " ")) << loaded.Detail;
  }
  TJwwData d;
  const TJwwStatus missing = d.LoadDocument(dir / "missing.jww");
  EXPECT_FALSE(missing);
  EXPECT_EQ(missing.Kind, TJwwFailure::IoError);
  EXPECT_EQ(missing.Context, "source");
  EXPECT_FALSE(missing.Offset.has_value());
  EXPECT_FALSE(Contains(missing.Text(), "at byte")) << missing.Text();
  const TJwwStatus loaded = d.LoadDocument(full.data(), full.size());
  EXPECT_TRUE(testutil::Ok(loaded));
  EXPECT_EQ(loaded.Kind, TJwwFailure::None);
}
