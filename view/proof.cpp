#include "proof.h"

#include <deque>

#include <cstring>
#include <limits>

#include "render.h"

namespace qm::view {

namespace {

// A 64-bit fingerprint of an item's kind, layer and every number and string
// that decides how it looks. Each step is a bijection of the state, so one
// word that differs always changes the fingerprint.
class THash {
 public:
  explicit THash(uint64_t kind) { Mix(kind); }
  void Mix(uint64_t v) noexcept {
    H_ = (H_ ^ v) * 0x9E3779B97F4A7C15ull;
    H_ ^= H_ >> 29;
  }
  void Mix(double v) noexcept {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    Mix(bits);
  }
  void Mix(TPoint p) noexcept {
    Mix(p.X);
    Mix(p.Y);
  }
  void Mix(const TMatrix& m) noexcept {
    for (const double v : {m.A, m.B, m.C, m.D, m.E, m.F}) Mix(v);
  }
  void Mix(const TOrigin& o) noexcept {
    Mix(static_cast<uint64_t>(o.LayerGroup) << 16 | static_cast<uint64_t>(o.Layer) << 8 | (o.Visible ? 1u : 0u));
  }
  void Mix(const TStroke& s) noexcept {
    Mix(static_cast<uint64_t>(s.Color) << 16 | static_cast<uint64_t>(s.LineType) << 8 | s.DashCount);
    Mix(s.Width);
    for (size_t i = 0; i < s.DashCount; ++i) Mix(s.Dashes[i]);
  }
  // A string's form and units, eight bytes at a time.
  void Mix(const TJwwString* s) noexcept {
    if (!s) return Mix(uint64_t{0});
    Mix(static_cast<uint64_t>(s->size()) << 1 | (s->IsWide() ? 1u : 0u));
    s->Visit([this](auto units) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(units.data());
      size_t n = units.size() * sizeof(units[0]);
      for (; n >= 8; n -= 8, bytes += 8) {
        uint64_t word;
        std::memcpy(&word, bytes, 8);
        Mix(word);
      }
      if (n) {
        uint64_t word = 0;
        std::memcpy(&word, bytes, n);
        Mix(word);
      }
    });
  }
  uint64_t Value() const noexcept { return H_ ^ (H_ >> 31); }

 private:
  uint64_t H_ = 0x243F6A8885A308D3ull;
};

// The bytes an image item shows: the hash of the image its name finds in the
// drawing's table, 0 for none. Of the output (written), only an image the
// writer keeps counts.
class TImageBytes {
 public:
  TImageBytes(const TJwwData& d, bool written) : D_(d), Index_(d.Images) {
    if (written) Kept_ = d.ImagesShown();
  }
  uint64_t Of(const TJwwString* name) const {
    if (!name) return 0;
    const int32_t at = Index_.FindName(*name);
    if (at < 0) return 0;
    const auto i = static_cast<size_t>(at);
    if (!Kept_.empty() && !Kept_[i]) return 0;
    return D_.Images[i].Size > 0 ? D_.ImageBytes().HashOf(i) : 0;
  }

 private:
  const TJwwData& D_;
  const TImageIndex Index_;
  std::vector<bool> Kept_;  // empty: the source, whose every image shows
};

// Fingerprints each item and hands it on with a name for reports.
class TFingerprints : public IDisplaySink {
 public:
  explicit TFingerprints(const TImageBytes& images) : Images_(images) {}

  void Polyline(const TOrigin& o, const TStroke& s, std::span<const TPoint> points) override {
    THash h(1);
    h.Mix(o);
    h.Mix(s);
    h.Mix(static_cast<uint64_t>(points.size()));
    for (const TPoint& p : points) h.Mix(p);
    Take(h.Value(), "a line", o);
  }
  void Arc(const TOrigin& o, const TStroke& s, const TArc& a) override {
    THash h(2);
    h.Mix(o);
    h.Mix(s);
    h.Mix(a.Center);
    h.Mix(a.U);
    h.Mix(a.V);
    h.Mix(a.Start);
    h.Mix(a.Sweep);
    h.Mix(uint64_t{a.Whole});
    Take(h.Value(), "an arc", o);
  }
  void Polygon(const TOrigin& o, uint32_t color, std::span<const TPoint> points) override {
    THash h(3);
    h.Mix(o);
    h.Mix(uint64_t{color});
    h.Mix(static_cast<uint64_t>(points.size()));
    for (const TPoint& p : points) h.Mix(p);
    Take(h.Value(), "a solid", o);
  }
  void Text(const TOrigin& o, const TText& t) override {
    THash h(4);
    h.Mix(o);
    h.Mix(t.Frame);
    for (const double v : {t.SizeX, t.SizeY, t.Spacing, t.Width}) h.Mix(v);
    h.Mix(uint64_t{t.Color});
    h.Mix(t.Font);
    h.Mix(t.Text);
    Take(h.Value(), "a text", o);
  }
  void Image(const TOrigin& o, const TImage& i) override {
    THash h(5);
    h.Mix(o);
    h.Mix(i.Frame);
    h.Mix(i.Width);
    h.Mix(i.Height);
    h.Mix(uint64_t{i.Color});
    h.Mix(i.Name);
    h.Mix(Images_.Of(i.Name));
    Take(h.Value(), "an image", o);
  }
  void Dot(const TOrigin& o, const TDot& d) override {
    THash h(6);
    h.Mix(o);
    h.Mix(d.At);
    h.Mix(d.Radius);
    h.Mix(static_cast<uint64_t>(d.Color) << 1 | (d.Construction ? 1u : 0u));
    Take(h.Value(), "a point", o);
  }
  void Insert(const TOrigin& o, const TInsert& insert) override {
    THash h(7);
    h.Mix(o);
    h.Mix(static_cast<uint64_t>(static_cast<int64_t>(insert.Definition)));
    h.Mix(insert.Placement);
    Take(h.Value(), "a block insert", o);
  }
  void Definition(int32_t definition) override {
    THash h(8);
    h.Mix(static_cast<uint64_t>(definition));
    Definition_ = definition;
    Take(h.Value(), "the start of a block definition", {});
  }

 protected:
  virtual void Take(uint64_t hash, const char* kind, const TOrigin& origin) = 0;
  // Four bytes an item are kept: an item that differs passes unseen only
  // when its fingerprint falls on the same 32 bits (2^-32), and one missing
  // or added moves every item after it.
  static uint32_t Folded(uint64_t hash) noexcept { return static_cast<uint32_t>(hash ^ (hash >> 32)); }
  int32_t Definition_ = -1;  // whose contents are coming, -1 at the top level

 private:
  const TImageBytes& Images_;
};

class TRecorder : public TFingerprints {
 public:
  TRecorder(const TImageBytes& images, std::deque<uint32_t>& hashes) : TFingerprints(images), Hashes_(hashes) {}

 private:
  void Take(uint64_t hash, const char*, const TOrigin&) override { Hashes_.push_back(Folded(hash)); }
  std::deque<uint32_t>& Hashes_;
};

class TComparer : public TFingerprints {
 public:
  TComparer(const TImageBytes& images, const std::deque<uint32_t>& hashes) : TFingerprints(images), Hashes_(hashes) {}
  std::optional<TVisualDifference> Finish() {
    if (!Found_ && N_ < Hashes_.size())
      Found_ = {N_, "the output shows " + std::to_string(N_) + " items, the source " + std::to_string(Hashes_.size())};
    return Found_;
  }

 private:
  void Take(uint64_t hash, const char* kind, const TOrigin& o) override {
    if (Found_) return;
    if (N_ >= Hashes_.size())
      Found_ = {N_, "item " + std::to_string(N_) + ", " + Describe(kind, o) + ", is not in the source (it shows " +
                        std::to_string(Hashes_.size()) + " items)"};
    else if (Hashes_[N_] != Folded(hash))
      Found_ = {N_, "item " + std::to_string(N_) + " differs from the source's: the output shows " + Describe(kind, o)};
    ++N_;
  }
  std::string Describe(const char* kind, const TOrigin& o) const {
    if (Definition_ >= 0)
      return std::string(kind) + " (entry " + std::to_string(o.Element) + " of block definition " +
             std::to_string(Definition_) + " in the order reached)";
    return std::string(kind) + " (element " + std::to_string(o.Element) + ", layer " +
           std::to_string(o.LayerGroup) + "-" + std::to_string(o.Layer) + ")";
  }

  const std::deque<uint32_t>& Hashes_;
  uint64_t N_ = 0;
  std::optional<TVisualDifference> Found_;
};

TRenderOptions ProofOptions() {
  TRenderOptions o;
  o.ExpandInserts = false;
  o.CleanTexts = true;
  o.Budget = std::numeric_limits<uint64_t>::max();
  return o;
}

}  // namespace

TVisualRecord TVisualRecord::Of(const TJwwData& source, std::span<const uint8_t> kinds, uint8_t leaveOut) {
  TVisualRecord record;
  const TImageBytes images(source, false);
  TRecorder recorder(images, record.Hashes_);
  TRenderOptions o = ProofOptions();
  o.Layers = TLayers::Shown;
  o.Kinds = kinds;
  o.LeaveOut = leaveOut;
  Render(source, recorder, o);
  return record;
}

std::optional<TVisualDifference> TVisualRecord::Compare(const TJwwData& purged) const {
  const TImageBytes images(purged, true);
  TComparer comparer(images, Hashes_);
  TRenderOptions o = ProofOptions();
  o.Layers = TLayers::All;
  o.AllShown = true;
  o.WrittenNumbers = true;
  Render(purged, comparer, o);
  return comparer.Finish();
}

}  // namespace qm::view
