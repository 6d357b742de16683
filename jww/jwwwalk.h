// One description of each record's layout, walked in three directions: the
// reader fills a record from the file, the writer puts a record into the file,
// and the read-back check reads the file and compares every field with the
// record that was meant to be written. A field added here is read, written and
// checked at once.
//
// An Io offers, for fields in file order: U8, U16, I32, U32, F64 (each taking
// the field by reference), Name (a string that the reader cleans of control
// characters, marking in the record's ReadCleaned that it did), String (a string kept as it is, the memo), Reserved (bytes the
// file stores that are no field: skipped, written as zeros, checked to be
// zeros) and SwitchWord (the eleventh switch word, held as its units digit and
// the rest). What(text) names the record for messages, Section(code) the part
// of the file for a failure's context (a JwwContext code).
//
// The writer's normalisations are not here: they are a pure step on a copy of
// the record (jwwnormalise.h) before the walk.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "jwwunit.h"

namespace qm {

namespace JwwWalk {

// The common element header: 15 bytes, 13 before version 351 (no PenWidth).
template <class Io>
void Walk(Io& io, TEntJwwEntityHeader& h, int32_t v) {
  io.I32(h.Group);
  io.U8(h.PenStyle);
  io.U16(h.PenColor);
  if (JwwLayout::HasPenWidth(v)) io.U16(h.PenWidth);
  io.U16(h.Layer);
  io.U16(h.LayerGroup);
  io.U16(h.Flags);
}

template <class Io>
void Walk(Io& io, TEntJwwSen& e, int32_t v) {
  io.What("a line");
  Walk(io, e.Header, v);
  io.F64(e.StartX);
  io.F64(e.StartY);
  io.F64(e.EndX);
  io.F64(e.EndY);
}

template <class Io>
void Walk(Io& io, TEntJwwEnko& e, int32_t v) {
  io.What("an arc");
  Walk(io, e.Header, v);
  io.F64(e.CenterX);
  io.F64(e.CenterY);
  io.F64(e.Radius);
  io.F64(e.StartAngle);
  io.F64(e.ArcAngle);
  io.F64(e.TiltAngle);
  io.F64(e.Flatness);
  io.I32(e.FullCircle);
}

// Code, Angle and Scale are stored only when the pen style is 100.
template <class Io>
void Walk(Io& io, TEntJwwTen& e, int32_t v) {
  io.What("a point");
  Walk(io, e.Header, v);
  io.F64(e.X);
  io.F64(e.Y);
  io.I32(e.Temporary);
  if (e.Header.PenStyle == 100) {
    io.I32(e.Code);
    io.F64(e.Angle);
    io.F64(e.Scale);
  }
}

template <class Io>
void Walk(Io& io, TEntJwwMoji& e, int32_t v) {
  io.What("a text");
  Walk(io, e.Header, v);
  io.F64(e.StartX);
  io.F64(e.StartY);
  io.F64(e.EndX);
  io.F64(e.EndY);
  io.I32(e.TextKind);
  io.F64(e.SizeX);
  io.F64(e.SizeY);
  io.F64(e.Spacing);
  io.F64(e.Angle);
  io.What("a text's font name");
  io.Name(e.FontName, e.ReadCleaned, CleanedFont);
  io.What("a text's string");
  io.Name(e.Text, e.ReadCleaned, CleanedText);
}

// A dimension embeds a line and a text (no class tags of their own) and, from
// version 420, its extension.
template <class Io>
void Walk(Io& io, TEntJwwSunpou& e, int32_t v) {
  io.What("a dimension");
  Walk(io, e.Header, v);
  Walk(io, e.Line, v);
  Walk(io, e.ValueText, v);
  if (JwwLayout::HasDimensionExtension(v)) {
    io.What("a dimension");
    io.U16(e.SxfMode);
    Walk(io, e.AuxLine1, v);
    Walk(io, e.AuxLine2, v);
    Walk(io, e.Point1, v);
    Walk(io, e.Point2, v);
    Walk(io, e.Point3, v);
    Walk(io, e.Point4, v);
  }
}

// The RGB colour is stored only when the pen colour is 10.
template <class Io>
void Walk(Io& io, TEntJwwSolid& e, int32_t v) {
  io.What("a solid");
  Walk(io, e.Header, v);
  io.F64(e.StartX);
  io.F64(e.StartY);
  io.F64(e.EndX);
  io.F64(e.EndY);
  io.F64(e.Point2X);
  io.F64(e.Point2Y);
  io.F64(e.Point3X);
  io.F64(e.Point3Y);
  if (e.Header.PenColor == 10) io.I32(e.Color);
}

template <class Io>
void Walk(Io& io, TEntJwwBlock& e, int32_t v) {
  io.What("a block insert");
  Walk(io, e.Header, v);
  io.F64(e.X);
  io.F64(e.Y);
  io.F64(e.ScaleX);
  io.F64(e.ScaleY);
  io.F64(e.Angle);
  io.I32(e.BlockNumber);
}

// The CDataList record up to its time; a time with its top bit set is
// followed by 8 more bytes (which only a reader meets), then comes the name.
template <class Io>
void WalkDefinitionHead(Io& io, TEntJwwBlockDef& d, int32_t v) {
  io.What("a block definition");
  Walk(io, d.Header, v);
  io.I32(d.Number);
  io.I32(d.Referenced);
  io.U32(d.Time);
}

// The header section after the signature and the version. Doc is TJwwData
// or TJwwHeaderSection: anything with the header record and the header arrays
// under their names, the arrays at their fixed lengths.
template <class Io, class Doc>
void WalkHeaderSection(Io& io, Doc& d, int32_t v) {
  TEntJwwHeader& h = d.Header;
  io.Section(JwwContext::Memo);
  io.What("the memo");
  io.String(h.Memo);
  io.Section(JwwContext::Settings);
  io.What("the paper size");
  io.I32(h.PaperSize);
  io.I32(h.WriteLayerGroup);
  io.Section(JwwContext::LayerTables);
  io.What("the layer tables");
  for (size_t g = 0; g < 16; ++g) {
    TEntJwwLayerGroup& group = d.LayerGroups[g];
    io.I32(group.State);
    io.I32(group.WriteLayer);
    io.F64(group.Scale);
    io.I32(group.Protect);
    for (size_t l = 0; l < 16; ++l) {
      io.I32(d.Layers[g * 16 + l].State);
      io.I32(d.Layers[g * 16 + l].Protect);
    }
  }
  io.What("the reserved values after the layer tables");
  io.Reserved(56);
  io.Section(JwwContext::Settings);
  io.What("the dimension settings");
  for (int32_t& x : h.DimensionSettings) io.I32(x);
  io.Reserved(4);
  io.I32(h.MaxDrawWidth);

  io.What("the print and grid settings");
  io.F64(h.PrintOriginX);
  io.F64(h.PrintOriginY);
  io.F64(h.PrintScale);
  io.I32(h.PrintSetting);
  io.I32(h.GridMode);
  io.F64(h.GridMinSpacing);
  io.F64(h.GridSpacingX);
  io.F64(h.GridSpacingY);
  io.F64(h.GridOriginX);
  io.F64(h.GridOriginY);

  io.Section(JwwContext::LayerNames);
  io.What("a layer name");
  for (TEntJwwLayer& layer : d.Layers) io.Name(layer.Name, layer.ReadCleaned, CleanedName);
  io.What("a layer group name");
  for (TEntJwwLayerGroup& group : d.LayerGroups) io.Name(group.Name, group.ReadCleaned, CleanedName);

  io.Section(JwwContext::Settings);
  io.What("the shadow settings");
  io.F64(h.SunShadowLevel);
  io.F64(h.SunShadowLatitude);
  io.I32(h.SunShadow9To15);
  io.F64(h.WallShadowLevel);
  if (JwwLayout::HasSkyChart(v)) {
    // Kept also for 231..299, whose files carry the two values too, so that
    // they are written back as they came.
    io.F64(h.SkyChartLevel);
    io.F64(h.SkyChartRadius);
  }

  io.What("the view settings");
  io.I32(h.Unit25D);
  io.F64(h.ViewScale);
  io.F64(h.ViewOriginX);
  io.F64(h.ViewOriginY);
  io.F64(h.RangeScale);
  io.F64(h.RangeOriginX);
  io.F64(h.RangeOriginY);

  io.What("the mark-jump settings");
  const bool longMarks = JwwLayout::HasLongMarkJumps(v);
  for (size_t n = 0; n < (longMarks ? 8u : 4u); ++n) {
    io.F64(h.MarkJumpScale[n]);
    io.F64(h.MarkJumpX[n]);
    io.F64(h.MarkJumpY[n]);
    if (longMarks) io.I32(h.MarkJumpLayerGroup[n]);
  }
  if (longMarks) {
    for (double& x : h.ReservedDoublesA) io.F64(x);
    io.I32(h.ReservedIntA);
    for (double& x : h.ReservedDoublesB) io.F64(x);
    io.I32(h.ReservedIntB);
  }

  io.Section(JwwContext::PenSettings);
  io.What("the pen settings");
  for (double& x : h.ParallelSpacings) io.F64(x);
  io.F64(h.BothSidesEndExtension);
  for (TEntJwwPenSetting& p : d.PenSettings) {
    io.I32(p.ScreenColor);
    io.I32(p.ScreenWidth);
  }
  for (TEntJwwPenSetting& p : d.PenSettings) {
    io.I32(p.PrinterColor);
    io.I32(p.PrinterWidth);
    io.F64(p.PointRadius);
  }

  io.Section(JwwContext::LineTypes);
  io.What("the line types");
  for (TEntJwwLineTypePattern& t : d.LineTypePatterns) {
    io.I32(t.Pattern);
    io.I32(t.UnitDots);
    io.I32(t.Pitch);
    io.I32(t.PrinterPitch);
  }
  for (TEntJwwRandomLineType& t : d.RandomLineTypes) {
    io.I32(t.Pattern);
    io.I32(t.Amplitude);
    io.I32(t.Pitch);
    io.I32(t.PrinterAmplitude);
    io.I32(t.PrinterPitch);
  }
  for (TEntJwwLineTypePattern& t : d.DoubleLineTypes) {
    io.I32(t.Pattern);
    io.I32(t.UnitDots);
    io.I32(t.Pitch);
    io.I32(t.PrinterPitch);
  }

  io.Section(JwwContext::Switches);
  io.What("the drawing switches");
  const uint32_t switchSize = JwwLayout::SwitchBlockSize(v);
  if (switchSize >= 44) {
    for (int32_t& x : h.DrawFlags) io.I32(x);
    io.SwitchWord(h.DrawFlag11, h.DrawFlag11Tens);
  }
  if (switchSize >= 104) {
    io.I32(h.DrawTimeSeconds);
    io.I32(h.View25DInit);
    for (int32_t& x : h.View25DAngles) io.I32(x);
    io.F64(h.View25DHeight1);
    io.F64(h.View25DDistance1);
    io.F64(h.View25DHeight2);
    io.F64(h.View25DDistance2);
    io.F64(h.View25DVerticalAngle3);
  }
  if (switchSize >= 136) {
    io.F64(h.LineLengthDim);
    io.F64(h.BoxDimX);
    io.F64(h.BoxDimY);
    io.F64(h.CircleRadiusDim);
  }
  if (switchSize >= 144) {
    io.I32(h.SolidAnyColor);
    io.I32(h.SolidColor);
  }

  if (JwwLayout::HasExtendedTables(v)) {
    io.Section(JwwContext::ExtendedColours);
    io.What("the extended colours");
    for (TEntJwwColorExNo& c : d.ColorsEx) {
      io.I32(c.ScreenColor);
      io.I32(c.ScreenWidth);
    }
    for (TEntJwwColorExNo& c : d.ColorsEx) {
      io.What("an extended colour name");
      io.Name(c.Name, c.ReadCleaned, CleanedName);
      io.What("the extended colours");
      io.I32(c.PrinterColor);
      io.I32(c.PrinterWidth);
      io.F64(c.PointRadius);
    }
    io.Section(JwwContext::ExtendedLineTypes);
    io.What("the extended line types");
    for (TEntJwwLineTypeExNo& t : d.LineTypesEx) {
      io.I32(t.Pattern);
      io.I32(t.UnitDots);
      io.I32(t.Pitch);
      io.I32(t.PrinterPitch);
    }
    for (TEntJwwLineTypeExNo& t : d.LineTypesEx) {
      io.What("an extended line type name");
      io.Name(t.Name, t.ReadCleaned, CleanedName);
      io.What("the extended line types");
      io.I32(t.SegmentCount);
      for (double& x : t.Pitches) io.F64(x);
    }
  }

  io.Section(JwwContext::TextStyles);
  io.What("the text styles");
  for (TEntJwwTextStyle& s : d.TextStyles) {
    io.F64(s.Width);
    io.F64(s.Height);
    io.F64(s.Spacing);
    io.I32(s.Color);
  }

  io.Section(JwwContext::Settings);
  io.What("the current text settings");
  io.F64(h.WriteTextWidth);
  io.F64(h.WriteTextHeight);
  io.F64(h.WriteTextSpacing);
  io.I32(h.WriteTextColor);
  io.I32(h.WriteTextKind);
  io.F64(h.TextArrangeLineSpacing);
  io.F64(h.TextArrangeCharCount);
  io.I32(h.TextBaseOffsetOn);
  for (double& x : h.TextBaseOffsetX) io.F64(x);
  for (double& x : h.TextBaseOffsetY) io.F64(x);
}

// ---------------------------------------------------------------------------
// The three directions

// Fills records from a file.
class TReadIo {
 public:
  explicit TReadIo(TJwwReader& file) : F_(file) {}
  void What(const char* what) { What_ = what; }
  void Section(const char* context) { F_.Section(context); }
  void U8(uint8_t& x) { x = F_.U8(What_); }
  void U16(uint16_t& x) { x = F_.U16(What_); }
  void I32(int32_t& x) { x = F_.I32(What_); }
  void U32(uint32_t& x) { x = F_.U32(What_); }
  void F64(double& x) { x = F_.F64(What_); }
  void Name(TJwwString& s, uint8_t& cleaned, uint8_t bit) {
    bool dropped = false;
    s = TJwwData::ReadName(F_, What_, &dropped);
    if (dropped) cleaned |= bit;
  }
  void String(TJwwString& s) { s = TJwwData::ReadString(F_, What_); }
  void Reserved(size_t n) { F_.Skip(n, What_); }
  void SwitchWord(int32_t& units, int32_t& tens) {
    const int32_t word = F_.I32(What_);
    units = word % 10;
    tens = word / 10;
  }

 private:
  TJwwReader& F_;
  const char* What_ = "";
};

// Puts records into a file, in the drawing's string form.
class TWriteIo {
 public:
  TWriteIo(TJwwWriter& file, bool wide) : F_(file), Wide_(wide) {}
  void What(const char*) {}
  void Section(const char*) {}
  void U8(const uint8_t& x) { F_.U8(x); }
  void U16(const uint16_t& x) { F_.U16(x); }
  void I32(const int32_t& x) { F_.I32(x); }
  void U32(const uint32_t& x) { F_.U32(x); }
  void F64(const double& x) { F_.F64(x); }
  void Name(const TJwwString& s, const uint8_t&, uint8_t) { TJwwData::WriteString(F_, s, Wide_); }
  void String(const TJwwString& s) { TJwwData::WriteString(F_, s, Wide_); }
  void Reserved(size_t n) { F_.Zeros(n); }
  // Written as units + 10 * tens, wrapped like the 32-bit field it is.
  void SwitchWord(const int32_t& units, const int32_t& tens) {
    F_.U32(static_cast<uint32_t>(static_cast<int64_t>(units) + 10 * static_cast<int64_t>(tens)));
  }

 private:
  TJwwWriter& F_;
  bool Wide_;
};

// Reads a written file and compares every field with the record that was
// meant to be written; the first difference fails at its offset.
class TCheckIo {
 public:
  TCheckIo(TJwwReader& file, bool wide) : F_(file), Wide_(wide) {}
  void What(const char* what) { What_ = what; }
  void Section(const char*) {}  // whatever differs is the read-back's
  void U8(const uint8_t& x) {
    const uint64_t at = F_.Offset();
    Expect(at, F_.U8(What_) == x);
  }
  void U16(const uint16_t& x) {
    const uint64_t at = F_.Offset();
    Expect(at, F_.U16(What_) == x);
  }
  void I32(const int32_t& x) {
    const uint64_t at = F_.Offset();
    Expect(at, F_.I32(What_) == x);
  }
  void U32(const uint32_t& x) {
    const uint64_t at = F_.Offset();
    Expect(at, F_.U32(What_) == x);
  }
  // Compared bit for bit: every double, NaN included, is written as held.
  void F64(const double& x) {
    const uint64_t at = F_.Offset();
    Expect(at, std::bit_cast<uint64_t>(F_.F64(What_)) == std::bit_cast<uint64_t>(x));
  }
  void Name(const TJwwString& s, const uint8_t&, uint8_t) { String(s); }
  // The string as the writer puts it: in the drawing's form.
  void String(const TJwwString& s);
  void Reserved(size_t n) {
    for (size_t i = 0; i < n; ++i) U8(0);
  }
  void SwitchWord(const int32_t& units, const int32_t& tens) {
    const uint64_t at = F_.Offset();
    Expect(at, F_.U32(What_) == static_cast<uint32_t>(static_cast<int64_t>(units) + 10 * static_cast<int64_t>(tens)));
  }
  // Fails, naming the field that starts at offset at, unless ok.
  void Expect(uint64_t at, bool ok) const {
    if (!ok) Differs(at);
  }
  [[noreturn]] void Differs(uint64_t at) const;

 private:
  TJwwReader& F_;
  bool Wide_;
  const char* What_ = "";
};

}  // namespace JwwWalk

}  // namespace qm
