#include "jwwbuilder.h"

#include <bit>
#include <fstream>
#include <map>
#include <stdexcept>
#include <type_traits>

namespace jwwtest {

// ---------------------------------------------------------------------------
// ByteWriter

void ByteWriter::U8(uint8_t v) { Buffer.push_back(v); }

void ByteWriter::U16(uint16_t v) {
  Buffer.push_back(static_cast<uint8_t>(v & 0xFFu));
  Buffer.push_back(static_cast<uint8_t>(v >> 8));
}

void ByteWriter::U32(uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) {
    Buffer.push_back(static_cast<uint8_t>((v >> shift) & 0xFFu));
  }
}

void ByteWriter::I32(int32_t v) { U32(static_cast<uint32_t>(v)); }

void ByteWriter::U64(uint64_t v) {
  for (int shift = 0; shift < 64; shift += 8) {
    Buffer.push_back(static_cast<uint8_t>((v >> shift) & 0xFFu));
  }
}

void ByteWriter::F64(double v) { U64(std::bit_cast<uint64_t>(v)); }

void ByteWriter::Raw(const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  Buffer.insert(Buffer.end(), p, p + size);
}

void ByteWriter::Raw(std::string_view bytes) { Raw(bytes.data(), bytes.size()); }

void ByteWriter::Length(uint32_t n) {
  if (n < 0xFF) {
    U8(static_cast<uint8_t>(n));
  } else if (n < 0xFFFE) {
    U8(0xFF);
    U16(static_cast<uint16_t>(n));
  } else {
    U8(0xFF);
    U16(0xFFFF);
    U32(n);
  }
}

void ByteWriter::Str(std::string_view s) {
  if (Wide) return WStr(Utf16(s));
  Length(static_cast<uint32_t>(s.size()));
  Raw(s);
}

void ByteWriter::WStr(std::u16string_view units) {
  U8(0xFF);
  U16(0xFFFE);
  Length(static_cast<uint32_t>(units.size()));
  for (const char16_t u : units) U16(u);
}

std::u16string Utf16(std::string_view utf8) {
  std::u16string out;
  size_t i = 0;
  auto byte = [&](size_t k) -> uint32_t {
    if (k >= utf8.size() || (static_cast<uint8_t>(utf8[k]) & 0xC0) != 0x80)
      throw std::invalid_argument("jwwtest: not UTF-8");
    return static_cast<uint8_t>(utf8[k]) & 0x3Fu;
  };
  while (i < utf8.size()) {
    const uint32_t b = static_cast<uint8_t>(utf8[i]);
    uint32_t cp;
    if (b < 0x80) {
      cp = b;
      i += 1;
    } else if (b >= 0xC2 && b < 0xE0) {
      cp = ((b & 0x1Fu) << 6) | byte(i + 1);
      i += 2;
    } else if (b >= 0xE0 && b < 0xF0) {
      cp = ((b & 0x0Fu) << 12) | (byte(i + 1) << 6) | byte(i + 2);
      if (cp < 0x800) throw std::invalid_argument("jwwtest: overlong UTF-8");
      i += 3;
    } else if (b >= 0xF0 && b < 0xF5) {
      cp = ((b & 0x07u) << 18) | (byte(i + 1) << 12) | (byte(i + 2) << 6) | byte(i + 3);
      if (cp < 0x10000 || cp > 0x10FFFF) throw std::invalid_argument("jwwtest: bad UTF-8");
      i += 4;
    } else {
      throw std::invalid_argument("jwwtest: not UTF-8");
    }
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FFu)));
    } else {
      out.push_back(static_cast<char16_t>(cp));  // a lone surrogate stays one
    }
  }
  return out;
}

void ByteWriter::Count(uint32_t v, bool forceLong) {
  if (v <= 65534 && !forceLong) {
    U16(static_cast<uint16_t>(v));
  } else {
    U16(0xFFFF);
    U32(v);
  }
}

std::vector<uint8_t>& ByteWriter::Bytes() { return Buffer; }
const std::vector<uint8_t>& ByteWriter::Bytes() const { return Buffer; }
size_t ByteWriter::Size() const { return Buffer.size(); }

// ---------------------------------------------------------------------------
// Header section

Header::Header() {
  PenSettings[0].PrinterColor = 0xFFFFFF;
  for (size_t n = 0; n < ColorsEx.size(); ++n) {
    ColorsEx[n].Name = "Color_" + std::to_string(n);
  }
  for (size_t n = 0; n < LineTypesEx.size(); ++n) {
    LineTypesEx[n].Name = "LType_" + std::to_string(n);
  }
}

namespace {

// Length of the switch block: chosen by the exact version, not by thresholds.
size_t SwitchBlockLength(int32_t version) {
  if (version == 220) return 44;
  if (version == 223) return 104;
  if (version == 225) return 136;
  if (version >= 230) return 144;
  return 0;
}

void WriteHeader(ByteWriter& w, const Header& h) {
  const int32_t v = h.Version;

  std::array<char, 8> sig{};
  for (size_t i = 0; i < sig.size() && i < h.Signature.size(); ++i) sig[i] = h.Signature[i];
  w.Raw(sig.data(), sig.size());
  w.I32(v);
  if (v < 220) return;

  w.Wide = h.MemoWide.value_or(h.Wide);
  w.Str(h.Memo);
  w.Wide = h.Wide;
  w.I32(h.PaperSize);
  w.I32(h.WriteLayerGroup);

  for (size_t g = 0; g < 16; ++g) {
    const LayerGroupEntry& grp = h.LayerGroups[g];
    w.I32(grp.State);
    w.I32(grp.WriteLayer);
    w.F64(grp.Scale);
    w.I32(grp.Protect);
    for (size_t l = 0; l < 16; ++l) {
      const LayerEntry& lay = h.Layers[g * 16 + l];
      w.I32(lay.State);
      w.I32(lay.Protect);
    }
  }

  for (int32_t r : h.Reserved) w.I32(r);

  for (int32_t s : h.DimensionSettings) w.I32(s);
  w.I32(h.DimensionReserved);
  w.I32(h.MaxDrawWidth);

  w.F64(h.PrintOriginX);
  w.F64(h.PrintOriginY);
  w.F64(h.PrintScale);
  w.I32(h.PrintSetting);
  w.I32(h.GridMode);
  w.F64(h.GridMinSpacing);
  w.F64(h.GridSpacingX);
  w.F64(h.GridSpacingY);
  w.F64(h.GridOriginX);
  w.F64(h.GridOriginY);

  for (const LayerEntry& lay : h.Layers) w.Str(lay.Name);  // group-major
  for (const LayerGroupEntry& grp : h.LayerGroups) w.Str(grp.Name);

  w.F64(h.SunShadowLevel);
  w.F64(h.SunShadowLatitude);
  w.I32(h.SunShadow9To15);
  w.F64(h.WallShadowLevel);
  if (v > 230) {
    w.F64(h.SkyChartLevel);
    w.F64(h.SkyChartRadius);
  }

  w.I32(h.Unit25D);
  w.F64(h.ViewScale);
  w.F64(h.ViewOriginX);
  w.F64(h.ViewOriginY);
  w.F64(h.RangeScale);
  w.F64(h.RangeOriginX);
  w.F64(h.RangeOriginY);

  if (v > 230) {
    for (size_t n = 0; n < 8; ++n) {
      w.F64(h.MarkJumpScale[n]);
      w.F64(h.MarkJumpX[n]);
      w.F64(h.MarkJumpY[n]);
      w.I32(h.MarkJumpLayerGroup[n]);
    }
    for (double d : h.ReservedDoublesA) w.F64(d);
    w.I32(h.ReservedIntA);
    for (double d : h.ReservedDoublesB) w.F64(d);
    w.I32(h.ReservedIntB);
  } else {
    for (size_t n = 0; n < 4; ++n) {
      w.F64(h.MarkJumpScale[n]);
      w.F64(h.MarkJumpX[n]);
      w.F64(h.MarkJumpY[n]);
    }
  }

  for (double d : h.ParallelSpacings) w.F64(d);
  w.F64(h.BothSidesEndExtension);
  for (const PenSetting& p : h.PenSettings) {
    w.I32(p.ScreenColor);
    w.I32(p.ScreenWidth);
  }
  for (const PenSetting& p : h.PenSettings) {
    w.I32(p.PrinterColor);
    w.I32(p.PrinterWidth);
    w.F64(p.PointRadius);
  }

  for (const LineTypePattern& t : h.LineTypePatterns) {
    w.I32(t.Pattern);
    w.I32(t.UnitDots);
    w.I32(t.Pitch);
    w.I32(t.PrinterPitch);
  }
  for (const RandomLineType& t : h.RandomLineTypes) {
    w.I32(t.Pattern);
    w.I32(t.Amplitude);
    w.I32(t.Pitch);
    w.I32(t.PrinterAmplitude);
    w.I32(t.PrinterPitch);
  }
  for (const LineTypePattern& t : h.DoubleLineTypes) {
    w.I32(t.Pattern);
    w.I32(t.UnitDots);
    w.I32(t.Pitch);
    w.I32(t.PrinterPitch);
  }

  const size_t switchLength = SwitchBlockLength(v);
  if (switchLength >= 44) {
    for (int32_t f : h.DrawFlags) w.I32(f);
    w.I32(h.SwitchWord11.value_or(v >= 600 ? 10 : 0));
  }
  if (switchLength >= 104) {
    w.I32(h.DrawTimeSeconds);
    w.I32(h.View25DInit);
    for (int32_t a : h.View25DAngles) w.I32(a);
    w.F64(h.View25DHeight1);
    w.F64(h.View25DDistance1);
    w.F64(h.View25DHeight2);
    w.F64(h.View25DDistance2);
    w.F64(h.View25DVerticalAngle3);
  }
  if (switchLength >= 136) {
    w.F64(h.LineLengthDim);
    w.F64(h.BoxDimX);
    w.F64(h.BoxDimY);
    w.F64(h.CircleRadiusDim);
  }
  if (switchLength >= 144) {
    w.I32(h.SolidAnyColor);
    w.I32(h.SolidColor);
  }

  if (v >= 420) {
    for (const ColorEx& c : h.ColorsEx) {
      w.I32(c.ScreenColor);
      w.I32(c.ScreenWidth);
    }
    for (const ColorEx& c : h.ColorsEx) {
      w.Str(c.Name);
      w.I32(c.PrinterColor);
      w.I32(c.PrinterWidth);
      w.F64(c.PointRadius);
    }
    for (const LineTypeEx& t : h.LineTypesEx) {
      w.I32(t.Pattern);
      w.I32(t.UnitDots);
      w.I32(t.Pitch);
      w.I32(t.PrinterPitch);
    }
    for (const LineTypeEx& t : h.LineTypesEx) {
      w.Str(t.Name);
      w.I32(t.SegmentCount);
      for (double p : t.Pitches) w.F64(p);
    }
  }

  for (const TextStyle& s : h.TextStyles) {
    w.F64(s.Width);
    w.F64(s.Height);
    w.F64(s.Spacing);
    w.I32(s.Color);
  }

  w.F64(h.WriteTextWidth);
  w.F64(h.WriteTextHeight);
  w.F64(h.WriteTextSpacing);
  w.I32(h.WriteTextColor);
  w.I32(h.WriteTextKind);
  w.F64(h.TextArrangeLineSpacing);
  w.F64(h.TextArrangeCharCount);
  w.I32(h.TextBaseOffsetOn);
  for (double d : h.TextBaseOffsetX) w.F64(d);
  for (double d : h.TextBaseOffsetY) w.F64(d);
}

// ---------------------------------------------------------------------------
// Entity section

bool IsObject(const Element& e) {
  return !std::holds_alternative<UnknownClass>(e) && !std::holds_alternative<RawBytes>(e);
}

uint32_t ObjectCount(const std::vector<Element>& list) {
  uint32_t n = 0;
  for (const Element& e : list) {
    if (IsObject(e)) ++n;
  }
  return n;
}

// Writes class tags and keeps the running index shared by classes and
// objects over the whole section (main list and block definitions).


}  // namespace

EntityWriter::EntityWriter(ByteWriter& out, const Drawing& d)
    : Out(out),
      Version(d.Hdr.Version),
      Schema(d.Schema.value_or(static_cast<uint16_t>(static_cast<uint32_t>(d.Hdr.Version) & 0xFFFFu))),
      LongCounts(d.LongCounts),
      LongRefs(d.LongClassRefs) {}

void EntityWriter::Count(uint32_t v) { Out.Count(v, LongCounts); }

void EntityWriter::List(const std::vector<Element>& list) {
  for (const Element& e : list) Item(e);
}

void EntityWriter::Item(const Element& e) {
  if (const auto* raw = std::get_if<RawBytes>(&e)) {
    Out.Raw(raw->Bytes.data(), raw->Bytes.size());
    return;
  }
  if (const auto* unknown = std::get_if<UnknownClass>(&e)) {
    Declare(unknown->Name);  // takes an index, is not remembered
    return;
  }
  Tag(ClassName(e));
  std::visit(
      [this](const auto& rec) {
        using T = std::decay_t<decltype(rec)>;
        if constexpr (!std::is_same_v<T, UnknownClass> && !std::is_same_v<T, RawBytes>) {
          WriteRecord(Out, rec, Version);
        }
      },
      e);
  ++RunningIndex;
}

void EntityWriter::Definition(const BlockDef& b) {
  Tag("CDataList");
  WriteRecord(Out, b, Version);
  Count(b.DeclaredCount.value_or(ObjectCount(b.Elements)));
  ++RunningIndex;  // the definition's own object number, before its elements
  List(b.Elements);
}

void EntityWriter::Declare(const std::string& name) {
  if (name.size() > 0xFFFF) throw std::length_error("jwwtest: class name too long");
  Out.U16(0xFFFF);
  Out.U16(Schema);
  Out.U16(static_cast<uint16_t>(name.size()));
  Out.Raw(name);
  ++RunningIndex;
}

void EntityWriter::Tag(const std::string& name) {
  auto it = Classes.find(name);
  if (it == Classes.end()) {
    Classes.emplace(name, RunningIndex);
    Declare(name);
    return;
  }
  const uint32_t index = it->second;
  if (index < 0x7FFF && !LongRefs) {
    Out.U16(static_cast<uint16_t>(0x8000u + index));
  } else {
    Out.U16(0x7FFF);
    Out.U32(0x80000000u | index);
  }
}

namespace {

void WriteEntities(ByteWriter& out, const Drawing& d) {
  EntityWriter ew(out, d);
  ew.Count(d.DeclaredElementCount.value_or(ObjectCount(d.Elements)));
  ew.List(d.Elements);
  ew.Count(d.DeclaredBlockCount.value_or(static_cast<uint32_t>(d.Blocks.size())));
  for (const BlockDef& b : d.Blocks) ew.Definition(b);

  if (d.Hdr.Version >= 700) {
    out.I32(d.DeclaredImageCount.value_or(static_cast<int32_t>(d.Images.size())));
    for (const Image& img : d.Images) {
      out.Str(img.Name);
      const int32_t size = img.DeclaredSize.value_or(static_cast<int32_t>(img.Data.size()));
      out.I32(size);
      if (!img.Name.empty() && size != 0) out.Raw(img.Data.data(), img.Data.size());
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Records

void WriteEntHdr(ByteWriter& w, const EntHdr& h, int32_t version) {
  w.I32(h.Group);
  w.U8(h.PenStyle);
  w.U16(h.PenColor);
  if (version >= 351) w.U16(h.PenWidth);
  w.U16(h.Layer);
  w.U16(h.LayerGroup);
  w.U16(h.Flags);
}

void WriteRecord(ByteWriter& w, const Sen& e, int32_t version) {
  WriteEntHdr(w, e.H, version);
  w.F64(e.StartX);
  w.F64(e.StartY);
  w.F64(e.EndX);
  w.F64(e.EndY);
}

void WriteRecord(ByteWriter& w, const Enko& e, int32_t version) {
  WriteEntHdr(w, e.H, version);
  w.F64(e.CenterX);
  w.F64(e.CenterY);
  w.F64(e.Radius);
  w.F64(e.StartAngle);
  w.F64(e.ArcAngle);
  w.F64(e.TiltAngle);
  w.F64(e.Flatness);
  w.I32(e.FullCircle);
}

void WriteRecord(ByteWriter& w, const Ten& e, int32_t version) {
  WriteEntHdr(w, e.H, version);
  w.F64(e.X);
  w.F64(e.Y);
  w.I32(e.Temporary);
  if (e.H.PenStyle == 100) {
    w.I32(e.Code);
    w.F64(e.Angle);
    w.F64(e.Scale);
  }
}

void WriteRecord(ByteWriter& w, const Moji& e, int32_t version) {
  WriteEntHdr(w, e.H, version);
  w.F64(e.StartX);
  w.F64(e.StartY);
  w.F64(e.EndX);
  w.F64(e.EndY);
  w.I32(e.TextKind);
  w.F64(e.SizeX);
  w.F64(e.SizeY);
  w.F64(e.Spacing);
  w.F64(e.Angle);
  w.Str(e.FontName);
  w.Str(e.Text);
}

void WriteRecord(ByteWriter& w, const Sunpou& e, int32_t version) {
  WriteEntHdr(w, e.H, version);
  WriteRecord(w, e.Line, version);
  WriteRecord(w, e.ValueText, version);
  if (version >= 420) {
    w.U16(e.SxfMode);
    WriteRecord(w, e.AuxLine1, version);
    WriteRecord(w, e.AuxLine2, version);
    WriteRecord(w, e.Point1, version);
    WriteRecord(w, e.Point2, version);
    WriteRecord(w, e.Point3, version);
    WriteRecord(w, e.Point4, version);
  }
}

void WriteRecord(ByteWriter& w, const Solid& e, int32_t version) {
  WriteEntHdr(w, e.H, version);
  w.F64(e.StartX);
  w.F64(e.StartY);
  w.F64(e.EndX);
  w.F64(e.EndY);
  w.F64(e.Point2X);
  w.F64(e.Point2Y);
  w.F64(e.Point3X);
  w.F64(e.Point3Y);
  if (e.H.PenColor == 10) w.I32(e.Color);
}

void WriteRecord(ByteWriter& w, const Block& e, int32_t version) {
  WriteEntHdr(w, e.H, version);
  w.F64(e.X);
  w.F64(e.Y);
  w.F64(e.ScaleX);
  w.F64(e.ScaleY);
  w.F64(e.Angle);
  w.I32(e.BlockNumber);
}

void WriteRecord(ByteWriter& w, const BlockDef& e, int32_t version) {
  WriteEntHdr(w, e.H, version);
  w.I32(e.Number);
  w.I32(e.Referenced);
  w.U32(e.Time);
  if ((e.Time & 0x80000000u) != 0) w.U64(e.ExtendedTime);
  w.Str(e.Name);
}

std::vector<uint8_t> RecordBytes(const Element& e, int32_t version, bool wide) {
  ByteWriter w;
  w.Wide = wide;
  std::visit(
      [&](const auto& rec) {
        using T = std::decay_t<decltype(rec)>;
        if constexpr (std::is_same_v<T, RawBytes>) {
          w.Raw(rec.Bytes.data(), rec.Bytes.size());
        } else if constexpr (!std::is_same_v<T, UnknownClass>) {
          WriteRecord(w, rec, version);
        }
      },
      e);
  return std::move(w.Bytes());
}

std::string ClassName(const Element& e) {
  struct Visitor {
    std::string operator()(const Sen&) const { return "CDataSen"; }
    std::string operator()(const Enko&) const { return "CDataEnko"; }
    std::string operator()(const Ten&) const { return "CDataTen"; }
    std::string operator()(const Moji&) const { return "CDataMoji"; }
    std::string operator()(const Sunpou&) const { return "CDataSunpou"; }
    std::string operator()(const Solid&) const { return "CDataSolid"; }
    std::string operator()(const Block&) const { return "CDataBlock"; }
    std::string operator()(const UnknownClass& u) const { return u.Name; }
    std::string operator()(const RawBytes&) const { return {}; }
  };
  return std::visit(Visitor{}, e);
}

// ---------------------------------------------------------------------------
// Whole file

std::vector<uint8_t> BuildHeaderSection(const Drawing& d) {
  ByteWriter w;
  WriteHeader(w, d.Hdr);
  return std::move(w.Bytes());
}

size_t HeaderSectionSize(const Drawing& d) { return BuildHeaderSection(d).size(); }

std::vector<uint8_t> BuildEntitySection(const Drawing& d) {
  ByteWriter w;
  w.Wide = d.Hdr.Wide;
  if (d.Hdr.Version >= 220) WriteEntities(w, d);
  return std::move(w.Bytes());
}

std::vector<uint8_t> Build(const Drawing& d) {
  ByteWriter w;
  WriteHeader(w, d.Hdr);
  if (d.Hdr.Version >= 220) WriteEntities(w, d);
  w.Raw(d.Trailer.data(), d.Trailer.size());
  return std::move(w.Bytes());
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) throw std::runtime_error("jwwtest: cannot create " + path.string());
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  f.close();
  if (!f) throw std::runtime_error("jwwtest: cannot write " + path.string());
}

}  // namespace jwwtest
