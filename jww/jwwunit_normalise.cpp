#include "jwwnormalise.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "Func_.h"
#include "jwwmeaning.h"

namespace qm {

namespace JwwNormalise {

namespace {

// The name written for an extended colour or line type: the cleaned name, or
// prefix + index when the name is blank.
// A name as the writer writes it: without "^m" pairs and control characters
// (most names have none, and are kept as they are).
void Clean(TJwwString& name) {
  if (WritesOtherwise(name)) name = Func_::RemoveCaretMOf(name);
}

TJwwString ExtendedName(const TJwwString& name, const char* prefix, size_t index) {
  TJwwString cleaned = name;
  Clean(cleaned);
  if (Func_::IsBlank(cleaned)) cleaned = prefix + std::to_string(index);
  return cleaned;
}

bool IsDefaultSegmentCount(int32_t n) { return n == 2 || n == 4 || n == 6 || n == 8; }

int32_t ColorValue(int32_t c) { return c < 0 || c > 0xFFFFFF ? 0 : c; }

}  // namespace

TEntJwwEntityHeader Header(TEntJwwEntityHeader h, int32_t kind, int32_t v) {
  h.PenStyle = JwwMeaning::PenStyle(h.PenStyle, kind, v);
  h.PenColor = JwwMeaning::PenColor(h.PenColor, kind, v);
  h.Layer = JwwMeaning::LayerNumber(h.Layer);
  h.LayerGroup = JwwMeaning::LayerNumber(h.LayerGroup);
  if (h.PenWidth > JwwMeaning::MaxPenWidth) h.PenWidth = 0;
  if (!JwwLayout::HasPenWidth(v)) h.PenWidth = 0;  // not stored: what a reader gets back
  return h;
}

TEntJwwSen Record(TEntJwwSen e, int32_t v) {
  e.Header = Header(e.Header, KindSen, v);
  return e;
}

TEntJwwEnko Record(TEntJwwEnko e, int32_t v) {
  e.Header = Header(e.Header, KindEnko, v);
  return e;
}

TEntJwwTen Record(TEntJwwTen e, int32_t v) {
  e.Header = Header(e.Header, KindTen, v);
  return e;
}

bool WritesOtherwise(const TJwwString& s) { return Func_::HasCaretMOrControlChars(s); }

TEntJwwMoji Record(TEntJwwMoji e, int32_t v) {
  e.Header = Header(e.Header, KindMoji, v);
  if (WritesOtherwise(e.FontName)) e.FontName = Func_::RemoveCaretMOf(e.FontName);
  if (WritesOtherwise(e.Text)) e.Text = Func_::RemoveCaretMOf(e.Text);
  return e;
}

TEntJwwSunpou Record(TEntJwwSunpou e, int32_t v) {
  e.Header = Header(e.Header, KindSunpou, v);
  e.Line = Record(std::move(e.Line), v);
  e.ValueText = Record(std::move(e.ValueText), v);
  e.AuxLine1 = Record(std::move(e.AuxLine1), v);
  e.AuxLine2 = Record(std::move(e.AuxLine2), v);
  for (TEntJwwTen* p : {&e.Point1, &e.Point2, &e.Point3, &e.Point4}) *p = Record(std::move(*p), v);
  return e;
}

TEntJwwSolid Record(TEntJwwSolid e, int32_t v) {
  e.Header = Header(e.Header, KindSolid, v);
  return e;
}

TEntJwwBlock Record(TEntJwwBlock e, int32_t v) {
  e.Header = Header(e.Header, KindBlock, v);
  return e;
}

void Definition(TEntJwwBlockDef& d, int32_t v) {
  d.Header = Header(d.Header, KindList, v);
  Clean(d.Name);
}

TJwwHeaderSection HeaderSection(const TJwwHeaderSection& d, int32_t v) {
  TJwwHeaderSection n = d;
  TEntJwwHeader& h = n.Header;
  h.Signature = DrawingSignature;
  h.Version = v;
  if (JwwLayout::ClampsMaxDrawWidth(v) && h.MaxDrawWidth < -101) h.MaxDrawWidth = -101;
  for (TEntJwwLayer& layer : n.Layers) Clean(layer.Name);
  for (TEntJwwLayerGroup& group : n.LayerGroups) Clean(group.Name);
  for (size_t i = 0; i < n.PenSettings.size(); ++i) {
    TEntJwwPenSetting& p = n.PenSettings[i];
    p.ScreenColor = ColorValue(p.ScreenColor);
    p.ScreenWidth = std::clamp(p.ScreenWidth, 1, 16);
    p.PrinterColor = i == 0 ? 0xFFFFFF : ColorValue(p.PrinterColor);
    p.PrinterWidth = std::clamp(p.PrinterWidth, 1, 500);
    p.PointRadius = p.PointRadius < 0.1 ? 0.1 : p.PointRadius > 10.0 ? 10.0 : p.PointRadius;
  }
  // The eleventh switch word is written as units + 10 * tens: from version 600
  // a tens part of 0 or less counts as 1; before 600 the units alone.
  if (JwwLayout::WritesSwitchTens(v)) {
    if (h.DrawFlag11Tens <= 0) h.DrawFlag11Tens = 1;
  } else {
    h.DrawFlag11Tens = 0;
  }
  if (JwwLayout::HasExtendedTables(v)) {
    for (size_t i = 0; i < n.ColorsEx.size(); ++i) {
      TEntJwwColorExNo& c = n.ColorsEx[i];
      c.Name = ExtendedName(c.Name, "Color_", i);
      if (i > 16) c.PrinterColor = c.ScreenColor;
    }
    for (size_t i = 0; i < n.LineTypesEx.size(); ++i) {
      TEntJwwLineTypeExNo& t = n.LineTypesEx[i];
      if (i > 16 && !IsDefaultSegmentCount(t.SegmentCount)) {
        t.Pattern = static_cast<int32_t>(0xC3C3C3C3u);
        t.UnitDots = 8;
        t.Pitch = 1;
        t.PrinterPitch = 8;
        t.Name = "LType_" + std::to_string(i);
        t.SegmentCount = 2;
        t.Pitches = {1.0, 1.0, 0, 0, 0, 0, 0, 0, 0, 0};
      } else {
        if (t.Pattern == 0) t.Pattern = -1;
        t.Name = ExtendedName(t.Name, "LType_", i);
      }
    }
  }
  return n;
}

// ---------------------------------------------------------------------------
// What a save changes

namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// One element's changes, as flags of the kinds, added to the counts once.
struct TElementChanges {
  bool Texts = false, Fonts = false, Pens = false, Layers = false;

  void Of(const TEntJwwEntityHeader& h, int32_t kind, int32_t v) {
    const TEntJwwEntityHeader n = Header(h, kind, v);
    Pens |= n.PenStyle != h.PenStyle || n.PenColor != h.PenColor || n.PenWidth != h.PenWidth;
    Layers |= n.Layer != h.Layer || n.LayerGroup != h.LayerGroup;
  }
  void Of(const TEntJwwMoji& e, int32_t v) {
    Of(e.Header, KindMoji, v);
    Fonts |= (e.ReadCleaned & CleanedFont) != 0 || WritesOtherwise(e.FontName);
    Texts |= (e.ReadCleaned & CleanedText) != 0 || WritesOtherwise(e.Text);
  }
  void Of(const TEntJwwSunpou& e, int32_t v) {
    Of(e.Header, KindSunpou, v);
    Of(e.Line.Header, KindSen, v);
    Of(e.ValueText, v);
    if (!JwwLayout::HasDimensionExtension(v)) return;  // its parts are not written
    Of(e.AuxLine1.Header, KindSen, v);
    Of(e.AuxLine2.Header, KindSen, v);
    for (const TEntJwwTen* p : {&e.Point1, &e.Point2, &e.Point3, &e.Point4}) Of(p->Header, KindTen, v);
  }
  void AddTo(TNormalised& n) const {
    n.Texts += Texts;
    n.Fonts += Fonts;
    n.Pens += Pens;
    n.Layers += Layers;
  }
};

void CountList(TNormalised& n, const TEntJwwElementLists& lists, const std::vector<TEntJwwOrderItem>& order,
               size_t entries, int32_t v) {
  for (size_t i = 0; i < entries; ++i) {
    const int32_t kind = order[i].Kind;
    const TEntJwwEntityHeader* h = lists.HeaderOf(kind, order[i].Index);
    if (!h) continue;
    const auto k = static_cast<size_t>(order[i].Index);
    TElementChanges c;
    if (kind == KindMoji)
      c.Of(lists.Texts[k], v);
    else if (kind == KindSunpou)
      c.Of(lists.Dimensions[k], v);
    else
      c.Of(*h, kind, v);
    c.AddTo(n);
  }
}

int32_t NameChanged(const TJwwString& was, const TJwwString& written, uint8_t readCleaned) {
  return (readCleaned & CleanedName) != 0 || was != written;
}

}  // namespace

TNormalised Changes(const TJwwData& d, int32_t v) {
  TNormalised n;
  if (d.HasHeaderArrays()) {
    const TJwwHeaderSection w = HeaderSection(d, v);
    for (size_t i = 0; i < d.Layers.size(); ++i)
      n.Names += NameChanged(d.Layers[i].Name, w.Layers[i].Name, d.Layers[i].ReadCleaned);
    for (size_t i = 0; i < d.LayerGroups.size(); ++i)
      n.Names += NameChanged(d.LayerGroups[i].Name, w.LayerGroups[i].Name, d.LayerGroups[i].ReadCleaned);
    n.Settings += d.Header.MaxDrawWidth != w.Header.MaxDrawWidth;
    n.Settings += d.Header.DrawFlag11Tens != w.Header.DrawFlag11Tens;
    for (size_t i = 0; i < d.PenSettings.size(); ++i) {
      const TEntJwwPenSetting &a = d.PenSettings[i], &b = w.PenSettings[i];
      n.Settings += a.ScreenColor != b.ScreenColor || a.ScreenWidth != b.ScreenWidth ||
                    a.PrinterColor != b.PrinterColor || a.PrinterWidth != b.PrinterWidth ||
                    !SameBits(a.PointRadius, b.PointRadius);
    }
    if (JwwLayout::HasExtendedTables(v)) {
      for (size_t i = 0; i < d.ColorsEx.size(); ++i) {
        const TEntJwwColorExNo &a = d.ColorsEx[i], &b = w.ColorsEx[i];
        n.Names += NameChanged(a.Name, b.Name, a.ReadCleaned);
        n.Settings += a.ScreenColor != b.ScreenColor || a.ScreenWidth != b.ScreenWidth ||
                      a.PrinterColor != b.PrinterColor || a.PrinterWidth != b.PrinterWidth ||
                      !SameBits(a.PointRadius, b.PointRadius);
      }
      for (size_t i = 0; i < d.LineTypesEx.size(); ++i) {
        const TEntJwwLineTypeExNo &a = d.LineTypesEx[i], &b = w.LineTypesEx[i];
        n.Names += NameChanged(a.Name, b.Name, a.ReadCleaned);
        bool pitches = true;
        for (size_t k = 0; k < a.Pitches.size(); ++k) pitches &= SameBits(a.Pitches[k], b.Pitches[k]);
        n.Settings += a.Pattern != b.Pattern || a.UnitDots != b.UnitDots || a.Pitch != b.Pitch ||
                      a.PrinterPitch != b.PrinterPitch || a.SegmentCount != b.SegmentCount || !pitches;
      }
    }
  }
  CountList(n, d, d.EntityOrder, d.OrderEntries(), v);
  for (size_t i = 0; i < d.WrittenBlockDefEntries(); ++i) {
    const TEntJwwBlockDef& def = d.BlockDefs[i];
    if (!def.Used) continue;
    TElementChanges c;
    c.Of(def.Header, KindList, v);
    c.AddTo(n);
    n.Names += (def.ReadCleaned & CleanedName) != 0 || WritesOtherwise(def.Name);
    CountList(n, def.Lists(), def.Order, def.OrderEntries(), v);
  }
  return n;
}

}  // namespace JwwNormalise

}  // namespace qm
