// The header section: signature, version, memo, layer tables and settings.
// The reader and the writer below walk the same rows in the same order.
#include <algorithm>
#include <cstring>

#include "Func_.h"
#include "jwwunit.h"

namespace {

constexpr char Signature[] = "JwwData.";

// The name written for an extended colour or line type: the cleaned name, or
// prefix + index when the name is blank (written in the drawing's form like
// every other string).
TJwwString ExtendedName(const TJwwString& name, const char* prefix, size_t index) {
  TJwwString cleaned = Func_::RemoveCaretMOf(name);
  if (Func_::IsBlank(cleaned)) cleaned = prefix + std::to_string(index);
  return cleaned;
}

bool IsDefaultSegmentCount(int32_t n) { return n == 2 || n == 4 || n == 6 || n == 8; }

}  // namespace

void TJwwData::SizeHeaderArrays() {
  LayerGroups.assign(16, {});
  Layers.assign(256, {});
  PenSettings.assign(10, {});
  LineTypePatterns.assign(8, {});
  RandomLineTypes.assign(5, {});
  DoubleLineTypes.assign(4, {});
  TextStyles.assign(10, {});
  ColorsEx.assign(257, {});
  LineTypesEx.assign(33, {});
}

void TJwwData::ReadHeaderSection(TJwwReader& f) {
  SizeHeaderArrays();
  TEntJwwHeader& h = Header;
  char sig[8];
  f.Bytes(sig, 8, "the signature");
  h.Signature.assign(sig, 8);
  h.Version = f.I32("the version");
  if (h.Version < JwwLayout::MinVersion) return;
  const int32_t v = h.Version;

  h.Memo = ReadString(f, "the memo");
  h.PaperSize = f.I32("the paper size");
  h.WriteLayerGroup = f.I32("the write layer group");
  for (size_t g = 0; g < 16; ++g) {
    const char* what = "the layer tables";
    TEntJwwLayerGroup& group = LayerGroups[g];
    group.State = f.I32(what);
    group.WriteLayer = f.I32(what);
    group.Scale = f.F64(what);
    group.Protect = f.I32(what);
    for (size_t l = 0; l < 16; ++l) {
      Layers[g * 16 + l].State = f.I32(what);
      Layers[g * 16 + l].Protect = f.I32(what);
    }
  }
  f.Skip(56, "the reserved values after the layer tables");
  for (int32_t& x : h.DimensionSettings) x = f.I32("the dimension settings");
  f.Skip(4, "the dimension settings");
  h.MaxDrawWidth = f.I32("the dimension settings");

  const char* print = "the print and grid settings";
  h.PrintOriginX = f.F64(print);
  h.PrintOriginY = f.F64(print);
  h.PrintScale = f.F64(print);
  h.PrintSetting = f.I32(print);
  h.GridMode = f.I32(print);
  h.GridMinSpacing = f.F64(print);
  h.GridSpacingX = f.F64(print);
  h.GridSpacingY = f.F64(print);
  h.GridOriginX = f.F64(print);
  h.GridOriginY = f.F64(print);

  for (TEntJwwLayer& layer : Layers) layer.Name = ReadName(f, "a layer name");
  for (TEntJwwLayerGroup& group : LayerGroups) group.Name = ReadName(f, "a layer group name");

  const char* shadow = "the shadow settings";
  h.SunShadowLevel = f.F64(shadow);
  h.SunShadowLatitude = f.F64(shadow);
  h.SunShadow9To15 = f.I32(shadow);
  h.WallShadowLevel = f.F64(shadow);
  if (JwwLayout::HasSkyChart(v)) {
    // Kept also for 231..299, whose files carry the two values too, so that
    // they are written back as they came.
    h.SkyChartLevel = f.F64(shadow);
    h.SkyChartRadius = f.F64(shadow);
  }

  const char* view = "the view settings";
  h.Unit25D = f.I32(view);
  h.ViewScale = f.F64(view);
  h.ViewOriginX = f.F64(view);
  h.ViewOriginY = f.F64(view);
  h.RangeScale = f.F64(view);
  h.RangeOriginX = f.F64(view);
  h.RangeOriginY = f.F64(view);

  const char* marks = "the mark-jump settings";
  const size_t markCount = JwwLayout::HasLongMarkJumps(v) ? 8 : 4;
  for (size_t n = 0; n < markCount; ++n) {
    h.MarkJumpScale[n] = f.F64(marks);
    h.MarkJumpX[n] = f.F64(marks);
    h.MarkJumpY[n] = f.F64(marks);
    if (JwwLayout::HasLongMarkJumps(v)) h.MarkJumpLayerGroup[n] = f.I32(marks);
  }
  if (JwwLayout::HasLongMarkJumps(v)) {
    for (double& x : h.ReservedDoublesA) x = f.F64(marks);
    h.ReservedIntA = f.I32(marks);
    for (double& x : h.ReservedDoublesB) x = f.F64(marks);
    h.ReservedIntB = f.I32(marks);
  }

  const char* pens = "the pen settings";
  for (double& x : h.ParallelSpacings) x = f.F64(pens);
  h.BothSidesEndExtension = f.F64(pens);
  for (TEntJwwPenSetting& p : PenSettings) {
    p.ScreenColor = f.I32(pens);
    p.ScreenWidth = f.I32(pens);
  }
  for (TEntJwwPenSetting& p : PenSettings) {
    p.PrinterColor = f.I32(pens);
    p.PrinterWidth = f.I32(pens);
    p.PointRadius = f.F64(pens);
  }

  const char* types = "the line types";
  for (TEntJwwLineTypePattern& t : LineTypePatterns) {
    t.Pattern = f.I32(types);
    t.UnitDots = f.I32(types);
    t.Pitch = f.I32(types);
    t.PrinterPitch = f.I32(types);
  }
  for (TEntJwwRandomLineType& t : RandomLineTypes) {
    t.Pattern = f.I32(types);
    t.Amplitude = f.I32(types);
    t.Pitch = f.I32(types);
    t.PrinterAmplitude = f.I32(types);
    t.PrinterPitch = f.I32(types);
  }
  for (TEntJwwLineTypePattern& t : DoubleLineTypes) {
    t.Pattern = f.I32(types);
    t.UnitDots = f.I32(types);
    t.Pitch = f.I32(types);
    t.PrinterPitch = f.I32(types);
  }

  const uint32_t switchSize = JwwLayout::SwitchBlockSize(v);
  const char* sw = "the drawing switches";
  if (switchSize >= 44) {
    for (int32_t& x : h.DrawFlags) x = f.I32(sw);
    const int32_t word = f.I32(sw);
    h.DrawFlag11 = word % 10;
    h.DrawFlag11Tens = word / 10;
  }
  if (switchSize >= 104) {
    h.DrawTimeSeconds = f.I32(sw);
    h.View25DInit = f.I32(sw);
    for (int32_t& x : h.View25DAngles) x = f.I32(sw);
    h.View25DHeight1 = f.F64(sw);
    h.View25DDistance1 = f.F64(sw);
    h.View25DHeight2 = f.F64(sw);
    h.View25DDistance2 = f.F64(sw);
    h.View25DVerticalAngle3 = f.F64(sw);
  }
  if (switchSize >= 136) {
    h.LineLengthDim = f.F64(sw);
    h.BoxDimX = f.F64(sw);
    h.BoxDimY = f.F64(sw);
    h.CircleRadiusDim = f.F64(sw);
  }
  if (switchSize >= 144) {
    h.SolidAnyColor = f.I32(sw);
    h.SolidColor = f.I32(sw);
  }

  if (JwwLayout::HasExtendedTables(v)) {
    const char* ext = "the extended colours";
    for (TEntJwwColorExNo& c : ColorsEx) {
      c.ScreenColor = f.I32(ext);
      c.ScreenWidth = f.I32(ext);
    }
    for (TEntJwwColorExNo& c : ColorsEx) {
      c.Name = ReadName(f, "an extended colour name");
      c.PrinterColor = f.I32(ext);
      c.PrinterWidth = f.I32(ext);
      c.PointRadius = f.F64(ext);
    }
    const char* lt = "the extended line types";
    for (TEntJwwLineTypeExNo& t : LineTypesEx) {
      t.Pattern = f.I32(lt);
      t.UnitDots = f.I32(lt);
      t.Pitch = f.I32(lt);
      t.PrinterPitch = f.I32(lt);
    }
    for (TEntJwwLineTypeExNo& t : LineTypesEx) {
      t.Name = ReadName(f, "an extended line type name");
      t.SegmentCount = f.I32(lt);
      for (double& x : t.Pitches) x = f.F64(lt);
    }
  }

  const char* styles = "the text styles";
  for (TEntJwwTextStyle& s : TextStyles) {
    s.Width = f.F64(styles);
    s.Height = f.F64(styles);
    s.Spacing = f.F64(styles);
    s.Color = f.I32(styles);
  }

  const char* text = "the current text settings";
  h.WriteTextWidth = f.F64(text);
  h.WriteTextHeight = f.F64(text);
  h.WriteTextSpacing = f.F64(text);
  h.WriteTextColor = f.I32(text);
  h.WriteTextKind = f.I32(text);
  h.TextArrangeLineSpacing = f.F64(text);
  h.TextArrangeCharCount = f.F64(text);
  h.TextBaseOffsetOn = f.I32(text);
  for (double& x : h.TextBaseOffsetX) x = f.F64(text);
  for (double& x : h.TextBaseOffsetY) x = f.F64(text);
}

void TJwwData::WriteHeaderSection(TJwwWriter& f, int32_t v) const {
  if (LayerGroups.size() != 16 || Layers.size() != 256 || PenSettings.size() != 10 || LineTypePatterns.size() != 8 ||
      RandomLineTypes.size() != 5 || DoubleLineTypes.size() != 4 || TextStyles.size() != 10 ||
      ColorsEx.size() != 257 || LineTypesEx.size() != 33)
    f.Fail("the document holds no complete header to write");
  if (v < JwwLayout::MinVersion) f.Fail("version " + std::to_string(v) + " cannot be written");
  const TEntJwwHeader& h = Header;
  const bool wide = WideStrings();

  f.Bytes(Signature, 8);
  f.I32(v);
  WriteString(f, h.Memo, wide);
  f.I32(h.PaperSize);
  f.I32(h.WriteLayerGroup);
  for (size_t g = 0; g < 16; ++g) {
    const TEntJwwLayerGroup& group = LayerGroups[g];
    f.I32(group.State);
    f.I32(group.WriteLayer);
    f.F64(group.Scale);
    f.I32(group.Protect);
    for (size_t l = 0; l < 16; ++l) {
      f.I32(Layers[g * 16 + l].State);
      f.I32(Layers[g * 16 + l].Protect);
    }
  }
  f.Zeros(56);
  for (int32_t x : h.DimensionSettings) f.I32(x);
  f.I32(0);
  f.I32(JwwLayout::ClampsMaxDrawWidth(v) && h.MaxDrawWidth < -101 ? -101 : h.MaxDrawWidth);

  f.F64(h.PrintOriginX);
  f.F64(h.PrintOriginY);
  f.F64(h.PrintScale);
  f.I32(h.PrintSetting);
  f.I32(h.GridMode);
  f.F64(h.GridMinSpacing);
  f.F64(h.GridSpacingX);
  f.F64(h.GridSpacingY);
  f.F64(h.GridOriginX);
  f.F64(h.GridOriginY);

  for (const TEntJwwLayer& layer : Layers) WriteString(f, Func_::RemoveCaretMOf(layer.Name), wide);
  for (const TEntJwwLayerGroup& group : LayerGroups) WriteString(f, Func_::RemoveCaretMOf(group.Name), wide);

  f.F64(h.SunShadowLevel);
  f.F64(h.SunShadowLatitude);
  f.I32(h.SunShadow9To15);
  f.F64(h.WallShadowLevel);
  if (JwwLayout::HasSkyChart(v)) {
    f.F64(h.SkyChartLevel);
    f.F64(h.SkyChartRadius);
  }

  f.I32(h.Unit25D);
  f.F64(h.ViewScale);
  f.F64(h.ViewOriginX);
  f.F64(h.ViewOriginY);
  f.F64(h.RangeScale);
  f.F64(h.RangeOriginX);
  f.F64(h.RangeOriginY);

  const size_t markCount = JwwLayout::HasLongMarkJumps(v) ? 8 : 4;
  for (size_t n = 0; n < markCount; ++n) {
    f.F64(h.MarkJumpScale[n]);
    f.F64(h.MarkJumpX[n]);
    f.F64(h.MarkJumpY[n]);
    if (JwwLayout::HasLongMarkJumps(v)) f.I32(h.MarkJumpLayerGroup[n]);
  }
  if (JwwLayout::HasLongMarkJumps(v)) {
    for (double x : h.ReservedDoublesA) f.F64(x);
    f.I32(h.ReservedIntA);
    for (double x : h.ReservedDoublesB) f.F64(x);
    f.I32(h.ReservedIntB);
  }

  auto color = [](int32_t c) { return c < 0 || c > 0xFFFFFF ? 0 : c; };
  for (double x : h.ParallelSpacings) f.F64(x);
  f.F64(h.BothSidesEndExtension);
  for (const TEntJwwPenSetting& p : PenSettings) {
    f.I32(color(p.ScreenColor));
    f.I32(std::clamp(p.ScreenWidth, 1, 16));
  }
  for (size_t n = 0; n < PenSettings.size(); ++n) {
    const TEntJwwPenSetting& p = PenSettings[n];
    f.I32(n == 0 ? 0xFFFFFF : color(p.PrinterColor));
    f.I32(std::clamp(p.PrinterWidth, 1, 500));
    f.F64(p.PointRadius < 0.1 ? 0.1 : p.PointRadius > 10.0 ? 10.0 : p.PointRadius);
  }

  for (const TEntJwwLineTypePattern& t : LineTypePatterns) {
    f.I32(t.Pattern);
    f.I32(t.UnitDots);
    f.I32(t.Pitch);
    f.I32(t.PrinterPitch);
  }
  for (const TEntJwwRandomLineType& t : RandomLineTypes) {
    f.I32(t.Pattern);
    f.I32(t.Amplitude);
    f.I32(t.Pitch);
    f.I32(t.PrinterAmplitude);
    f.I32(t.PrinterPitch);
  }
  for (const TEntJwwLineTypePattern& t : DoubleLineTypes) {
    f.I32(t.Pattern);
    f.I32(t.UnitDots);
    f.I32(t.Pitch);
    f.I32(t.PrinterPitch);
  }

  const uint32_t switchSize = JwwLayout::SwitchBlockSize(v);
  if (switchSize >= 44) {
    for (int32_t x : h.DrawFlags) f.I32(x);
    if (JwwLayout::WritesSwitchTens(v)) {
      // A tens part of 0 or less counts as 1. Computed wide and wrapped like
      // the 32-bit field, so odd values cannot overflow.
      const int64_t tens = h.DrawFlag11Tens <= 0 ? 1 : h.DrawFlag11Tens;
      f.U32(static_cast<uint32_t>(static_cast<int64_t>(h.DrawFlag11) + 10 * tens));
    } else
      f.I32(h.DrawFlag11);
  }
  if (switchSize >= 104) {
    f.I32(h.DrawTimeSeconds);
    f.I32(h.View25DInit);
    for (int32_t x : h.View25DAngles) f.I32(x);
    f.F64(h.View25DHeight1);
    f.F64(h.View25DDistance1);
    f.F64(h.View25DHeight2);
    f.F64(h.View25DDistance2);
    f.F64(h.View25DVerticalAngle3);
  }
  if (switchSize >= 136) {
    f.F64(h.LineLengthDim);
    f.F64(h.BoxDimX);
    f.F64(h.BoxDimY);
    f.F64(h.CircleRadiusDim);
  }
  if (switchSize >= 144) {
    f.I32(h.SolidAnyColor);
    f.I32(h.SolidColor);
  }

  if (JwwLayout::HasExtendedTables(v)) {
    for (const TEntJwwColorExNo& c : ColorsEx) {
      f.I32(c.ScreenColor);
      f.I32(c.ScreenWidth);
    }
    for (size_t n = 0; n < ColorsEx.size(); ++n) {
      const TEntJwwColorExNo& c = ColorsEx[n];
      WriteString(f, ExtendedName(c.Name, "Color_", n), wide);
      f.I32(n > 16 ? c.ScreenColor : c.PrinterColor);
      f.I32(c.PrinterWidth);
      f.F64(c.PointRadius);
    }
    for (size_t n = 0; n < LineTypesEx.size(); ++n) {
      const TEntJwwLineTypeExNo& t = LineTypesEx[n];
      if (n > 16 && !IsDefaultSegmentCount(t.SegmentCount)) {
        f.U32(0xC3C3C3C3u);
        f.I32(8);
        f.I32(1);
        f.I32(8);
      } else {
        f.I32(t.Pattern == 0 ? -1 : t.Pattern);
        f.I32(t.UnitDots);
        f.I32(t.Pitch);
        f.I32(t.PrinterPitch);
      }
    }
    for (size_t n = 0; n < LineTypesEx.size(); ++n) {
      const TEntJwwLineTypeExNo& t = LineTypesEx[n];
      if (n > 16 && !IsDefaultSegmentCount(t.SegmentCount)) {
        WriteString(f, "LType_" + std::to_string(n), wide);
        f.I32(2);
        f.F64(1.0);
        f.F64(1.0);
        for (int i = 0; i < 8; ++i) f.F64(0.0);
      } else {
        WriteString(f, ExtendedName(t.Name, "LType_", n), wide);
        f.I32(t.SegmentCount);
        for (double x : t.Pitches) f.F64(x);
      }
    }
  }

  for (const TEntJwwTextStyle& s : TextStyles) {
    f.F64(s.Width);
    f.F64(s.Height);
    f.F64(s.Spacing);
    f.I32(s.Color);
  }

  f.F64(h.WriteTextWidth);
  f.F64(h.WriteTextHeight);
  f.F64(h.WriteTextSpacing);
  f.I32(h.WriteTextColor);
  f.I32(h.WriteTextKind);
  f.F64(h.TextArrangeLineSpacing);
  f.F64(h.TextArrangeCharCount);
  f.I32(h.TextBaseOffsetOn);
  for (double x : h.TextBaseOffsetX) f.F64(x);
  for (double x : h.TextBaseOffsetY) f.F64(x);
}
