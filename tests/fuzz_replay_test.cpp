// Replays the fuzz target's checks on deterministic mutations of builder
// drawings, so every CI run (also under the sanitizers) covers damaged input.
#include <gtest/gtest.h>

#include <random>

#include "../fuzz/fuzz_body.h"
#include "jwwbuilder.h"

using namespace jwwtest;

namespace {

Drawing Sample(int32_t version, bool wide = false) {
  Drawing d;
  d.Hdr.Version = version;
  d.Hdr.Wide = wide;
  d.Hdr.Layers[3].State = 0;
  d.Hdr.LayerGroups[1].State = 0;
  Sen line;
  line.EndX = 10;
  Sen hidden = line;
  hidden.H.Layer = 3;
  Ten point;
  point.H.PenStyle = 100;
  Moji text;
  text.Text = "text";
  Moji image;
  image.Text = "^@BM%temp%a.bmp,1";
  Sunpou dim;
  Solid solid;
  solid.H.PenColor = 10;
  Block insert;
  insert.BlockNumber = 0;
  Block hiddenInsert;
  hiddenInsert.H.LayerGroup = 1;
  hiddenInsert.BlockNumber = 1;
  d.Elements = {line, hidden, Enko{}, point, text, image, dim, solid, insert, hiddenInsert};
  BlockDef outer;
  outer.Number = 0;
  outer.Elements = {line, Block{}};  // inserts block 0 again: a cycle
  BlockDef other;
  other.Number = 1;
  other.Time = 0x80000001u;
  other.Elements = {text};
  d.Blocks = {outer, other};
  d.Images = {{"a.bmp", std::vector<uint8_t>(40, 1), {}}};
  return d;
}

void Mutate(std::vector<uint8_t>& bytes, std::mt19937& rng) {
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  switch (pick(5)) {
    case 0:  // flip bits in a few bytes
      for (int i = 0; i < 3; ++i) bytes[pick(bytes.size())] ^= static_cast<uint8_t>(1u << pick(8));
      break;
    case 1:  // overwrite a word with an extreme value
    {
      const size_t at = pick(bytes.size() - 4);
      const uint32_t values[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0xFFFFu, 0x7FFFu, 0};
      const uint32_t v = values[pick(6)];
      for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
      break;
    }
    case 2:  // cut the file
      bytes.resize(pick(bytes.size()));
      break;
    case 3:  // remove a run
    {
      const size_t at = pick(bytes.size());
      bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                  bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + 1 + pick(16))));
      break;
    }
    default:  // insert random bytes
    {
      const size_t at = pick(bytes.size());
      std::vector<uint8_t> extra(1 + pick(16));
      for (auto& b : extra) b = static_cast<uint8_t>(rng());
      bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), extra.begin(), extra.end());
    }
  }
}

}  // namespace

TEST(FuzzReplay, UndamagedDrawingsLoadAndRewrite) {
  for (int32_t v : {220, 230, 300, 350, 351, 420, 600, 700}) {
    for (const bool wide : {false, true}) {
      const std::vector<uint8_t> bytes = Build(Sample(v, wide));
      EXPECT_EQ(qmfuzz::CheckLoadAndRewrite(bytes.data(), bytes.size()), qmfuzz::TFuzzOutcome::Rewritten) << v;
    }
  }
}

TEST(FuzzReplay, DamagedDrawingsNeverCrash) {
#ifdef QUILLMARK_SANITIZED
  const int rounds = 400;
#else
  const int rounds = 1500;
#endif
  int rejected = 0, rewritten = 0;
  std::mt19937 rng(20261208);
  for (const auto& [v, wide] : std::vector<std::pair<int32_t, bool>>{
           {220, false}, {300, false}, {351, false}, {420, false}, {700, false}, {300, true}, {700, true}}) {
    const std::vector<uint8_t> original = Build(Sample(v, wide));
    for (int i = 0; i < rounds; ++i) {
      std::vector<uint8_t> bytes = original;
      Mutate(bytes, rng);
      if (i % 3 == 0 && bytes.size() > 8) Mutate(bytes, rng);
      // A damaged drawing either fails to load or rewrites into a file that
      // loads with the same structure; the checks inside trap otherwise.
      switch (qmfuzz::CheckLoadAndRewrite(bytes.data(), bytes.size())) {
        case qmfuzz::TFuzzOutcome::Rejected: ++rejected; break;
        case qmfuzz::TFuzzOutcome::Rewritten: ++rewritten; break;
        case qmfuzz::TFuzzOutcome::WriteRefused: break;
      }
    }
  }
  // Both roads were taken: the mutations reach the reader's checks and the writer.
  EXPECT_GT(rejected, rounds);
  EXPECT_GT(rewritten, rounds / 10);
}
