// Several documents, and several conversions, alive at once: each keeps its
// own images. Run under ThreadSanitizer as well (scripts/test.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "convert.h"
#include "drawings.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;
using namespace draw;

// A version 7.00 drawing with a hidden group whose visible text shows the
// image "a.bmp", made of the given bytes.
std::vector<uint8_t> WithImage(const std::vector<uint8_t>& image) {
  Drawing d = HiddenGroupDrawing(700);
  d.Elements.push_back(Text(0, 0, 1, "^@BM%temp%a.bmp,10,10"));
  d.Images = {{"a.bmp", image, {}}};
  return Build(d);
}

// The image table a drawing ends with when it carries "a.bmp" alone, by hand:
// the count 1, the name (length 5), the size, the bytes.
std::vector<uint8_t> TableOf(const std::vector<uint8_t>& image) {
  std::vector<uint8_t> t = testutil::Hex("01000000 05 612E626D70");
  const auto n = static_cast<uint32_t>(image.size());
  for (int i = 0; i < 4; ++i) t.push_back(static_cast<uint8_t>(n >> (8 * i)));
  t.insert(t.end(), image.begin(), image.end());
  return t;
}

::testing::AssertionResult EndsWith(const std::vector<uint8_t>& file, const std::vector<uint8_t>& tail) {
  if (file.size() >= tail.size() && std::equal(tail.begin(), tail.end(), file.end() - static_cast<long>(tail.size())))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the file of " << file.size() << " bytes does not end with the "
                                       << tail.size() << " bytes of its own image table";
}

std::vector<uint8_t> Filled(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}

TEST(Concurrency, TwoDocumentsAliveAtOnceKeepTheirOwnImages) {
  testutil::TScopedWorkFolder work;  // one run: both documents extract into it
  testutil::TTempDir dir;
  const auto first = Filled(3000, 1), second = Filled(2000, 99);
  const auto a = WithImage(first), b = WithImage(second);
  for (const bool firstSavedFirst : {true, false}) {
    TJwwData one, two;
    ASSERT_TRUE(testutil::Ok(one.LoadDocument(a.data(), a.size(), work.Options())));
    ASSERT_TRUE(testutil::Ok(two.LoadDocument(b.data(), b.size(), work.Options())));
    const fs::path out1 = dir / "one.jww", out2 = dir / "two.jww";
    if (firstSavedFirst) {
      ASSERT_TRUE(testutil::Ok(one.SaveDocument(out1, 700)));
      ASSERT_TRUE(testutil::Ok(two.SaveDocument(out2, 700)));
    } else {
      ASSERT_TRUE(testutil::Ok(two.SaveDocument(out2, 700)));
      ASSERT_TRUE(testutil::Ok(one.SaveDocument(out1, 700)));
    }
    EXPECT_TRUE(EndsWith(testutil::ReadAll(out1), TableOf(first)));
    EXPECT_TRUE(EndsWith(testutil::ReadAll(out2), TableOf(second)));
    // Emptying one leaves the other's images where they are.
    one.ClearDocument();
    EXPECT_EQ(testutil::ImageBytesOf(two, 0), second);
    fs::remove(out1);
    fs::remove(out2);
  }
}

// Two threads convert drawings that each carry "a.bmp" with bytes of their
// own, into one folder, with one output rule and one work folder: every
// output holds its own drawing's bytes, and every name is taken once.
TEST(Concurrency, TwoThreadsConvertingAtOnceKeepTheirOwnImages) {
  testutil::TScopedWorkFolder work;
  testutil::TTempDir dir;
  constexpr int PerThread = 12;
  std::vector<std::vector<uint8_t>> images;
  for (int i = 0; i < 2 * PerThread; ++i) {
    images.push_back(Filled(1000 + 37 * static_cast<size_t>(i), static_cast<uint8_t>(i)));
    testutil::WriteAll(dir / ("d" + std::to_string(i) + ".jww"), WithImage(images.back()));
  }
  qm::TOutputRule outputs;
  qm::TConvertOptions options;
  options.WorkFolder = work.Path();
  std::vector<qm::TFileResult> results(2 * PerThread);
  auto convert = [&](int thread) {
    TJwwData document;
    for (int k = 0; k < PerThread; ++k) {
      const int i = 2 * k + thread;
      results[static_cast<size_t>(i)] =
          qm::ConvertOne(dir / ("d" + std::to_string(i) + ".jww"), outputs, document, options);
    }
  };
  std::thread t0(convert, 0), t1(convert, 1);
  t0.join();
  t1.join();
  for (int i = 0; i < 2 * PerThread; ++i) {
    const qm::TFileResult& r = results[static_cast<size_t>(i)];
    ASSERT_EQ(r.Outcome, qm::TOutcome::Converted) << i << ": " << r.Detail;
    EXPECT_EQ(r.Output, dir / ("d" + std::to_string(i) + "_2.JWW"));
    EXPECT_TRUE(EndsWith(testutil::ReadAll(r.Output), TableOf(images[static_cast<size_t>(i)]))) << i;
  }
  EXPECT_TRUE(work.Empty());
}

}  // namespace
