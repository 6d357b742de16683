// The header section reader. Most cases use an all-zero header image (every
// name empty, so every block sits at a fixed offset) with values placed at
// offsets worked out by hand from the layout tables:
//
//   0 signature, 8 version, 12 memo (1 byte when empty), 13 paper size,
//   17 write layer group, 21 layer tables (16 x 148), 2389 reserved (56),
//   2445 dimension block (28), 2473 print and grid block (72),
//   2545 layer names (256), 2801 layer-group names (16), 2817 shadow block.
//   Up to version 230: shadow 28, view at 2845, mark-jump (96) at 2897,
//   pens at 2993 and 3161, line types at 3321 and 3449, switch block at 3613.
//   From 231: shadow 44, view at 2861, mark-jump (280) at 2913, pens at 3193
//   and 3361, line types at 3521 and 3649, switch block at 3813.
//   After the switch block: (420 and later) the extended colours and line
//   types, then text styles (280) and the current-text block (100).
#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cstring>

#include "jwwbuilder.h"
#include "jwwsections.h"
#include "jwwunit.h"
#include "testutil.h"

using testutil::Hex;

namespace {

using namespace qm;

struct THeaderImage {
  std::vector<uint8_t> B;
  int32_t Version;
  THeaderImage(int32_t version, size_t size) : B(size), Version(version) {
    Put(0, testutil::Bytes("JwwData."));
    I32(8, version);
  }
  void Put(size_t at, const std::vector<uint8_t>& bytes) {
    ASSERT_LE(at + bytes.size(), B.size());
    std::copy(bytes.begin(), bytes.end(), B.begin() + static_cast<ptrdiff_t>(at));
  }
  void I32(size_t at, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    Put(at, {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
             static_cast<uint8_t>(u >> 24)});
  }
  void F64(size_t at, double v) {
    const auto u = std::bit_cast<uint64_t>(v);
    std::vector<uint8_t> b(8);
    for (size_t i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(u >> (8 * i));
    Put(at, b);
  }
  // Header, empty element list, empty block list, and the image count from 700.
  std::vector<uint8_t> File() const {
    std::vector<uint8_t> f = B;
    const auto tail = Hex(Version >= 700 ? "0000 0000 00000000" : "0000 0000");
    f.insert(f.end(), tail.begin(), tail.end());
    return f;
  }
};

// Reads the header section of the bytes; returns the offset reached.
uint64_t ReadHeader(TJwwData& d, const std::vector<uint8_t>& bytes) {
  d.ResetDocument();
  TJwwReader r(bytes.data(), bytes.size());
  TJwwSections::ReadHeaderSection(d, r);
  return r.Offset();
}

TJwwStatus LoadBytes(TJwwData& d, const std::vector<uint8_t>& bytes) {
  testutil::TTempDir dir;
  testutil::WriteAll(dir / "h.jww", bytes);
  return d.LoadDocument(dir / "h.jww");
}

constexpr size_t ShadowAt = 2817;
constexpr size_t SwitchOld = 3613;  // switch block, versions up to 230
constexpr size_t SwitchNew = 3813;  // from 231

}  // namespace

// ---------------------------------------------------------------------------
// Block sizes by version

TEST(HeaderLayout, SectionSizeByVersion) {
  struct Case {
    int32_t Version;
    size_t Size;
  };
  // 2817 up to the shadow block; then 28 + 52 + 96 + 168 + 160 + 128 + 164 up to 230
  // (3613) or 44 + 52 + 280 + ... from 231 (3813); the switch block of 44, 104, 136,
  // 144 or 0 bytes; 420 and later: 2056 + 257 x 17 + 528 + 33 x 85 bytes of extended
  // tables with empty names; 280 + 100 bytes of text settings.
  const Case cases[] = {{220, 4037}, {221, 3993}, {222, 3993}, {223, 4097},  {224, 3993},  {225, 4129},  {226, 3993},
                        {227, 3993}, {228, 3993}, {229, 3993}, {230, 4137},  {231, 4337},  {299, 4337},  {300, 4337},
                        {350, 4337}, {351, 4337}, {419, 4337}, {420, 14095}, {600, 14095}, {700, 14095}, {701, 14095}};
  for (const Case& c : cases) {
    THeaderImage img(c.Version, c.Size);
    TJwwData d;
    EXPECT_EQ(ReadHeader(d, img.B), c.Size) << c.Version;
    std::vector<uint8_t> shorter(img.B.begin(), img.B.end() - 1);
    EXPECT_THROW(ReadHeader(d, shorter), EJwwError) << c.Version;
    EXPECT_TRUE(testutil::Ok(LoadBytes(d, img.File())));
    EXPECT_EQ(d.Header.Version, c.Version);
    EXPECT_EQ(d.Header.Signature, "JwwData.");
  }
}

// ---------------------------------------------------------------------------
// Fields at their offsets

namespace {

using D = const TJwwData&;
// A value put at an offset, and where the reader must have stored it.
template <typename T>
struct TAt {
  size_t At;
  T Value;
  T (*Get)(D);
};
using TInt = TAt<int32_t>;
using TDbl = TAt<double>;

// Puts the values into the image, loads it and checks every value's field.
void LoadAndCheck(THeaderImage& img, TJwwData& d, const std::vector<TInt>& ints, const std::vector<TDbl>& dbls) {
  for (const TInt& f : ints) img.I32(f.At, f.Value);
  for (const TDbl& f : dbls) img.F64(f.At, f.Value);
  ASSERT_TRUE(testutil::Ok(LoadBytes(d, img.File())));
  for (const TInt& f : ints) EXPECT_EQ(f.Get(d), f.Value) << "version " << img.Version << ", int32 at " << f.At;
  for (const TDbl& f : dbls) EXPECT_EQ(f.Get(d), f.Value) << "version " << img.Version << ", double at " << f.At;
}

}  // namespace

TEST(HeaderFields, EveryBlockAtItsOffset) {
  THeaderImage img(300, 4337);
  img.Put(8, Hex("2C 01 00 00"));                            // 300
  for (size_t at = 2389; at < 2445; ++at) img.B[at] = 0xEE;  // reserved, not stored
  img.I32(2465, -1);                                         // reserved in the dimension block
  TJwwData d;
  LoadAndCheck(img, d,
               {
                   {13, 4, [](D x) { return x.Header.PaperSize; }},
                   {17, 7, [](D x) { return x.Header.WriteLayerGroup; }},
                   // Group g at 21 + 148 g: State, WriteLayer, Scale, Protect, then layer l at +20 + 8 l.
                   {21, 2, [](D x) { return x.LayerGroups[0].State; }},
                   {25, 3, [](D x) { return x.LayerGroups[0].WriteLayer; }},
                   {37, 1, [](D x) { return x.LayerGroups[0].Protect; }},
                   {41, 4, [](D x) { return x.Layers[0].State; }},
                   {45, 1, [](D x) { return x.Layers[0].Protect; }},
                   {161, 5, [](D x) { return x.Layers[15].State; }},
                   {165, 6, [](D x) { return x.Layers[15].Protect; }},
                   {189, 12, [](D x) { return x.Layers[16].State; }},
                   {2241, 9, [](D x) { return x.LayerGroups[15].State; }},
                   {2381, 8, [](D x) { return x.Layers[255].State; }},
                   {2385, 1, [](D x) { return x.Layers[255].Protect; }},
                   {2445, 11, [](D x) { return x.Header.DimensionSettings[0]; }},
                   {2461, 15, [](D x) { return x.Header.DimensionSettings[4]; }},
                   {2469, -3, [](D x) { return x.Header.MaxDrawWidth; }},
                   {2497, 2, [](D x) { return x.Header.PrintSetting; }},
                   {2501, 3, [](D x) { return x.Header.GridMode; }},
                   {2833, 1, [](D x) { return x.Header.SunShadow9To15; }},
                   {2861, 1, [](D x) { return x.Header.Unit25D; }},
                   {2937, 5, [](D x) { return x.Header.MarkJumpLayerGroup[0]; }},
                   {3133, 15, [](D x) { return x.Header.MarkJumpLayerGroup[7]; }},
                   {3161, 21, [](D x) { return x.Header.ReservedIntA; }},
                   {3189, 22, [](D x) { return x.Header.ReservedIntB; }},
                   // Screen pens at 3193 + 88 + 8 n, printer pens at 3361 + 16 n.
                   {3281, 0x112233, [](D x) { return x.PenSettings[0].ScreenColor; }},
                   {3285, 2, [](D x) { return x.PenSettings[0].ScreenWidth; }},
                   {3353, 0x445566, [](D x) { return x.PenSettings[9].ScreenColor; }},
                   {3357, 7, [](D x) { return x.PenSettings[9].ScreenWidth; }},
                   {3361, 0xFFFFFF, [](D x) { return x.PenSettings[0].PrinterColor; }},
                   {3365, 3, [](D x) { return x.PenSettings[0].PrinterWidth; }},
                   {3505, 0x010203, [](D x) { return x.PenSettings[9].PrinterColor; }},
                   {3509, 9, [](D x) { return x.PenSettings[9].PrinterWidth; }},
                   // Line types at 3521 (16 bytes each), random lines at 3649 (20), double-length at 3749 (16).
                   {3521, 0x0F0F0F0F, [](D x) { return x.LineTypePatterns[0].Pattern; }},
                   {3525, 2, [](D x) { return x.LineTypePatterns[0].UnitDots; }},
                   {3529, 3, [](D x) { return x.LineTypePatterns[0].Pitch; }},
                   {3533, 4, [](D x) { return x.LineTypePatterns[0].PrinterPitch; }},
                   {3633, 0x55AA55AA, [](D x) { return x.LineTypePatterns[7].Pattern; }},
                   {3645, 8, [](D x) { return x.LineTypePatterns[7].PrinterPitch; }},
                   {3649, 7, [](D x) { return x.RandomLineTypes[0].Pattern; }},
                   {3653, 8, [](D x) { return x.RandomLineTypes[0].Amplitude; }},
                   {3657, 9, [](D x) { return x.RandomLineTypes[0].Pitch; }},
                   {3661, 10, [](D x) { return x.RandomLineTypes[0].PrinterAmplitude; }},
                   {3665, 11, [](D x) { return x.RandomLineTypes[0].PrinterPitch; }},
                   {3745, 12, [](D x) { return x.RandomLineTypes[4].PrinterPitch; }},
                   {3749, 13, [](D x) { return x.DoubleLineTypes[0].Pattern; }},
                   {3809, 14, [](D x) { return x.DoubleLineTypes[3].PrinterPitch; }},
                   // Switch block at 3813 (144 bytes).
                   {3813, 101, [](D x) { return x.Header.DrawFlags[0]; }},
                   {3849, 110, [](D x) { return x.Header.DrawFlags[9]; }},
                   {3853, 23, [](D x) { return x.Header.DrawFlag11Tens * 10 + x.Header.DrawFlag11; }},
                   {3857, 3600, [](D x) { return x.Header.DrawTimeSeconds; }},
                   {3861, 1, [](D x) { return x.Header.View25DInit; }},
                   {3865, 30, [](D x) { return x.Header.View25DAngles[0]; }},
                   {3873, 90, [](D x) { return x.Header.View25DAngles[2]; }},
                   {3949, 1, [](D x) { return x.Header.SolidAnyColor; }},
                   {3953, 0x00FF00, [](D x) { return x.Header.SolidColor; }},
                   // Text styles at 3957 (28 bytes each), current text at 4237.
                   {3981, 2, [](D x) { return x.TextStyles[0].Color; }},
                   {4233, 9, [](D x) { return x.TextStyles[9].Color; }},
                   {4261, 5, [](D x) { return x.Header.WriteTextColor; }},
                   {4265, 6, [](D x) { return x.Header.WriteTextKind; }},
                   {4285, 1, [](D x) { return x.Header.TextBaseOffsetOn; }},
               },
               {
                   {29, 0.5, [](D x) { return x.LayerGroups[0].Scale; }},
                   {2473, 1.5, [](D x) { return x.Header.PrintOriginX; }},
                   {2481, -2.5, [](D x) { return x.Header.PrintOriginY; }},
                   {2489, 50, [](D x) { return x.Header.PrintScale; }},
                   {2505, 4, [](D x) { return x.Header.GridMinSpacing; }},
                   {2513, 5, [](D x) { return x.Header.GridSpacingX; }},
                   {2521, 6, [](D x) { return x.Header.GridSpacingY; }},
                   {2529, 7, [](D x) { return x.Header.GridOriginX; }},
                   {2537, 8, [](D x) { return x.Header.GridOriginY; }},
                   // Shadow block at 2817 (44 bytes), view block at 2861.
                   {2817, 1.25, [](D x) { return x.Header.SunShadowLevel; }},
                   {2825, 35.5, [](D x) { return x.Header.SunShadowLatitude; }},
                   {2837, 2.5, [](D x) { return x.Header.WallShadowLevel; }},
                   {2845, 3.5, [](D x) { return x.Header.SkyChartLevel; }},
                   {2853, 4.5, [](D x) { return x.Header.SkyChartRadius; }},
                   {2865, 2, [](D x) { return x.Header.ViewScale; }},
                   {2873, 3, [](D x) { return x.Header.ViewOriginX; }},
                   {2881, 4, [](D x) { return x.Header.ViewOriginY; }},
                   {2889, 5, [](D x) { return x.Header.RangeScale; }},
                   {2897, 6, [](D x) { return x.Header.RangeOriginX; }},
                   {2905, 7, [](D x) { return x.Header.RangeOriginY; }},
                   // Mark jumps at 2913, 28 bytes each; reserved values at 3137 and 3165.
                   {2913, 2, [](D x) { return x.Header.MarkJumpScale[0]; }},
                   {2921, 3, [](D x) { return x.Header.MarkJumpX[0]; }},
                   {2929, 4, [](D x) { return x.Header.MarkJumpY[0]; }},
                   {3109, 9, [](D x) { return x.Header.MarkJumpScale[7]; }},
                   {3117, 10, [](D x) { return x.Header.MarkJumpX[7]; }},
                   {3125, 11, [](D x) { return x.Header.MarkJumpY[7]; }},
                   {3137, 0.5, [](D x) { return x.Header.ReservedDoublesA[0]; }},
                   {3153, 0.75, [](D x) { return x.Header.ReservedDoublesA[2]; }},
                   {3165, 1.5, [](D x) { return x.Header.ReservedDoublesB[0]; }},
                   {3181, 1.75, [](D x) { return x.Header.ReservedDoublesB[2]; }},
                   {3193, 1, [](D x) { return x.Header.ParallelSpacings[0]; }},
                   {3265, 10, [](D x) { return x.Header.ParallelSpacings[9]; }},
                   {3273, 0.25, [](D x) { return x.Header.BothSidesEndExtension; }},
                   {3369, 0.5, [](D x) { return x.PenSettings[0].PointRadius; }},
                   {3513, 1.5, [](D x) { return x.PenSettings[9].PointRadius; }},
                   {3877, 1.5, [](D x) { return x.Header.View25DHeight1; }},
                   {3885, 2.5, [](D x) { return x.Header.View25DDistance1; }},
                   {3893, 3.5, [](D x) { return x.Header.View25DHeight2; }},
                   {3901, 4.5, [](D x) { return x.Header.View25DDistance2; }},
                   {3909, 45, [](D x) { return x.Header.View25DVerticalAngle3; }},
                   {3917, 100, [](D x) { return x.Header.LineLengthDim; }},
                   {3925, 20, [](D x) { return x.Header.BoxDimX; }},
                   {3933, 30, [](D x) { return x.Header.BoxDimY; }},
                   {3941, 12.5, [](D x) { return x.Header.CircleRadiusDim; }},
                   {3957, 2.5, [](D x) { return x.TextStyles[0].Width; }},
                   {3965, 3.5, [](D x) { return x.TextStyles[0].Height; }},
                   {3973, 0.5, [](D x) { return x.TextStyles[0].Spacing; }},
                   {4209, 4.5, [](D x) { return x.TextStyles[9].Width; }},
                   {4237, 3.25, [](D x) { return x.Header.WriteTextWidth; }},
                   {4245, 4.25, [](D x) { return x.Header.WriteTextHeight; }},
                   {4253, 0.25, [](D x) { return x.Header.WriteTextSpacing; }},
                   {4269, 7.5, [](D x) { return x.Header.TextArrangeLineSpacing; }},
                   {4277, 20, [](D x) { return x.Header.TextArrangeCharCount; }},
                   {4289, 0.125, [](D x) { return x.Header.TextBaseOffsetX[0]; }},
                   {4305, 0.375, [](D x) { return x.Header.TextBaseOffsetX[2]; }},
                   {4313, 0.625, [](D x) { return x.Header.TextBaseOffsetY[0]; }},
                   {4329, 0.875, [](D x) { return x.Header.TextBaseOffsetY[2]; }},
               });
  EXPECT_EQ(d.Header.DrawFlag11, 3);
  EXPECT_EQ(d.Header.DimensionSettings, (std::array<int32_t, 5>{11, 0, 0, 0, 15}));
  EXPECT_EQ(d.Header.MarkJumpScale[1], 0);  // stored as read, not left at the default 1.0
  // No extended tables before 420: the arrays are there, zero and unnamed.
  ASSERT_EQ(d.ColorsEx.size(), 257u);
  ASSERT_EQ(d.LineTypesEx.size(), 33u);
  for (const TEntJwwColorExNo& c : d.ColorsEx) EXPECT_EQ(c, TEntJwwColorExNo{});
  for (const TEntJwwLineTypeExNo& t : d.LineTypesEx) EXPECT_EQ(t, TEntJwwLineTypeExNo{});
}

// ---------------------------------------------------------------------------
// Version thresholds

TEST(HeaderThresholds, Version220KeepsDefaultsOfWhatItLacks) {
  THeaderImage img(220, 4037);
  img.Put(8, Hex("DC 00 00 00"));
  TJwwData d;
  LoadAndCheck(img, d,
               {
                   {3161, 0x0A0B0C, [](D x) { return x.PenSettings[0].PrinterColor; }},
                   {3321, 77, [](D x) { return x.LineTypePatterns[0].Pattern; }},
                   {3449, 88, [](D x) { return x.RandomLineTypes[0].Pattern; }},
                   {3549, 99, [](D x) { return x.DoubleLineTypes[0].Pattern; }},
                   {SwitchOld, 1, [](D x) { return x.Header.DrawFlags[0]; }},
                   {SwitchOld + 40, 7, [](D x) { return x.Header.DrawFlag11; }},
               },
               {
                   {2837, 2.5, [](D x) { return x.Header.WallShadowLevel; }},  // last of a 28-byte shadow block
                   {2849, 3, [](D x) { return x.Header.ViewScale; }},
                   {2897, 2, [](D x) { return x.Header.MarkJumpScale[0]; }},  // 4 x 24 bytes of mark jumps
                   {2969, 5, [](D x) { return x.Header.MarkJumpScale[3]; }},
                   {2977, 6, [](D x) { return x.Header.MarkJumpX[3]; }},
                   {2985, 7, [](D x) { return x.Header.MarkJumpY[3]; }},
                   {2993, 1.5, [](D x) { return x.Header.ParallelSpacings[0]; }},
                   {SwitchOld + 44, 7.5, [](D x) { return x.TextStyles[0].Width; }},  // after a 44-byte switch block
                   {3937, 9.5, [](D x) { return x.Header.WriteTextWidth; }},
               });
  const TEntJwwHeader& h = d.Header;
  EXPECT_EQ(h.SkyChartLevel, 0);
  EXPECT_EQ(h.SkyChartRadius, 0);
  EXPECT_EQ(h.MarkJumpScale, (std::array<double, 8>{2, 0, 0, 5, 1, 1, 1, 1}));
  EXPECT_EQ(h.MarkJumpLayerGroup, (std::array<int32_t, 8>{-1, -1, -1, -1, -1, -1, -1, -1}));
  EXPECT_EQ(h.ReservedIntA, 0);
  EXPECT_EQ(h.DrawFlag11Tens, 0);
  EXPECT_EQ(h.DrawTimeSeconds, 0);
  EXPECT_EQ(h.View25DHeight1, 0);
}

TEST(HeaderThresholds, SwitchBlockGrowsWithTheExactVersion) {
  TJwwData d;
  THeaderImage v223(223, 4097);  // 104 bytes: drawing time and 2.5D view
  LoadAndCheck(v223, d,
               {{SwitchOld + 44, 3600, [](D x) { return x.Header.DrawTimeSeconds; }},
                {SwitchOld + 52, 45, [](D x) { return x.Header.View25DAngles[0]; }}},
               {{SwitchOld + 96, 45.5, [](D x) { return x.Header.View25DVerticalAngle3; }},
                {SwitchOld + 104, 7.5, [](D x) { return x.TextStyles[0].Width; }}});
  EXPECT_EQ(d.Header.LineLengthDim, 0);
  THeaderImage v225(225, 4129);  // 136 bytes: remembered sizes
  LoadAndCheck(v225, d, {},
               {{SwitchOld + 104, 12.5, [](D x) { return x.Header.LineLengthDim; }},
                {SwitchOld + 128, 2.5, [](D x) { return x.Header.CircleRadiusDim; }},
                {SwitchOld + 136, 7.5, [](D x) { return x.TextStyles[0].Width; }}});
  EXPECT_EQ(d.Header.SolidAnyColor, 0);
  THeaderImage v230(230, 4137);  // 144 bytes with the solid colour, still the short shadow and mark-jump blocks
  LoadAndCheck(v230, d,
               {{SwitchOld + 136, 1, [](D x) { return x.Header.SolidAnyColor; }},
                {SwitchOld + 140, 0x00FF00, [](D x) { return x.Header.SolidColor; }}},
               {{ShadowAt + 28 + 4, 3, [](D x) { return x.Header.ViewScale; }},
                {SwitchOld + 144, 7.5, [](D x) { return x.TextStyles[0].Width; }}});
  EXPECT_EQ(d.Header.SkyChartLevel, 0);
  EXPECT_EQ(d.Header.MarkJumpLayerGroup[0], -1);
  // 221, 222, 224, 226..229: no switch block at all; its fields stay 0.
  for (int32_t v : {221, 222, 224, 226, 227, 228, 229}) {
    THeaderImage img(v, 3993);
    LoadAndCheck(img, d, {{SwitchOld + 24, 3, [](D x) { return x.TextStyles[0].Color; }}},
                 {{SwitchOld, 7.5, [](D x) { return x.TextStyles[0].Width; }}});
    EXPECT_EQ(d.Header.DrawFlags, (std::array<int32_t, 10>{})) << v;
    EXPECT_EQ(d.Header.DrawFlag11, 0) << v;
    EXPECT_EQ(d.Header.DrawFlag11Tens, 0) << v;
    EXPECT_EQ(d.Header.DrawTimeSeconds, 0) << v;
  }
}

TEST(HeaderThresholds, From231TheLongShadowAndMarkJumpBlocks) {
  for (int32_t v : {231, 299, 300}) {
    THeaderImage img(v, 4337);
    TJwwData d;
    LoadAndCheck(img, d,
                 {{2913 + 24, 5, [](D x) { return x.Header.MarkJumpLayerGroup[0]; }},
                  {2913 + 7 * 28 + 24, 15, [](D x) { return x.Header.MarkJumpLayerGroup[7]; }},
                  {SwitchNew, 1, [](D x) { return x.Header.DrawFlags[0]; }}},
                 {// The sky chart is kept from 231 on, so that it is written back.
                  {ShadowAt + 28, 3.5, [](D x) { return x.Header.SkyChartLevel; }},
                  {ShadowAt + 36, 4.5, [](D x) { return x.Header.SkyChartRadius; }},
                  {ShadowAt + 48, 3, [](D x) { return x.Header.ViewScale; }}});
  }
}

TEST(HeaderThresholds, ExtendedTablesFrom420) {
  THeaderImage old(419, 4337);
  TJwwData d;
  LoadAndCheck(old, d, {}, {{SwitchNew + 144, 7.5, [](D x) { return x.TextStyles[0].Width; }}});
  for (const TEntJwwColorExNo& c : d.ColorsEx) EXPECT_EQ(c, TEntJwwColorExNo{});

  // Colours: 257 x (screen colour, width) at 3957; 257 x (name, printer colour,
  // width, radius) at 6013, 17 bytes each with an empty name; line types: 33 x 16
  // at 10382; 33 x (name, segments, 10 pitches) at 10910, 85 bytes each.
  THeaderImage img(420, 14095);
  LoadAndCheck(img, d,
               {
                   {3957, 0x123456, [](D x) { return x.ColorsEx[0].ScreenColor; }},
                   {6009, 3, [](D x) { return x.ColorsEx[256].ScreenWidth; }},
                   {6014, 0x654321, [](D x) { return x.ColorsEx[0].PrinterColor; }},
                   {6018, 4, [](D x) { return x.ColorsEx[0].PrinterWidth; }},
                   {6013 + 256 * 17 + 1, 0x0A0B0C, [](D x) { return x.ColorsEx[256].PrinterColor; }},
                   {10382, 0x0F0F, [](D x) { return x.LineTypesEx[0].Pattern; }},
                   {10382 + 32 * 16 + 12, 7, [](D x) { return x.LineTypesEx[32].PrinterPitch; }},
                   {10911, 2, [](D x) { return x.LineTypesEx[0].SegmentCount; }},
                   {10910 + 32 * 85 + 1, 4, [](D x) { return x.LineTypesEx[32].SegmentCount; }},
               },
               {
                   {6022, 0.5, [](D x) { return x.ColorsEx[0].PointRadius; }},
                   {6013 + 256 * 17 + 9, 1.5, [](D x) { return x.ColorsEx[256].PointRadius; }},
                   {10915, 1.0, [](D x) { return x.LineTypesEx[0].Pitches[0]; }},
                   {10910 + 32 * 85 + 5 + 72, 9.5, [](D x) { return x.LineTypesEx[32].Pitches[9]; }},
                   {13715, 7.5, [](D x) { return x.TextStyles[0].Width; }},
                   {14087, 0.75, [](D x) { return x.Header.TextBaseOffsetY[2]; }},
               });
}

TEST(HeaderFields, EleventhSwitchWordSplits) {
  struct Case {
    int32_t Word, Units, Tens;
  };
  for (const Case& c : {Case{23, 3, 2}, Case{7, 7, 0}, Case{0, 0, 0}, Case{10, 0, 1}, Case{-23, -3, -2},
                        Case{-7, -7, 0}, Case{INT32_MIN, -8, -214748364}, Case{INT32_MAX, 7, 214748364}}) {
    THeaderImage img(600, 14095);
    img.I32(SwitchNew + 40, c.Word);
    TJwwData d;
    EXPECT_EQ(ReadHeader(d, img.B), 14095u);
    EXPECT_EQ(d.Header.DrawFlag11, c.Units) << c.Word;
    EXPECT_EQ(d.Header.DrawFlag11Tens, c.Tens) << c.Word;
  }
}

// ---------------------------------------------------------------------------
// Names (assembled with the builder, whose names shift every later offset)

TEST(HeaderFields, NamesLoseControlBytesMemoKeepsThem) {
  jwwtest::Drawing dr;
  dr.Hdr.Version = 600;
  dr.Hdr.Memo = "line1\r\nline2\t";
  for (size_t i = 0; i < 256; ++i) dr.Hdr.Layers[i].Name = "L" + std::to_string(i);
  for (size_t g = 0; g < 16; ++g) dr.Hdr.LayerGroups[g].Name = "G" + std::to_string(g);
  dr.Hdr.Layers[17].Name = "a\r\nb";
  dr.Hdr.Layers[200].Name = std::string(300, 'x');       // the three-byte length form, kept whole
  dr.Hdr.LayerGroups[15].Name = "\x83\x41\x83\x43\x01";  // Shift-JIS pair kept, 0x01 dropped
  dr.Hdr.ColorsEx[5].Name = "Col\r\nor";
  dr.Hdr.LineTypesEx[32].Name = "\tLT";
  dr.Hdr.LayerGroups[3].State = 0;
  dr.Hdr.Layers[3 * 16 + 4].State = 0;
  dr.Hdr.Layers[3 * 16 + 5].Protect = 1;
  TJwwData d;
  ASSERT_TRUE(testutil::Ok(LoadBytes(d, jwwtest::Build(dr))));
  EXPECT_EQ(d.Header.Memo, "line1\r\nline2\t");
  EXPECT_EQ(d.Layers[0].Name, "L0");
  EXPECT_EQ(d.Layers[16].Name, "L16");
  EXPECT_EQ(d.Layers[17].Name, "ab");
  EXPECT_EQ(d.Layers[200].Name, std::string(300, 'x'));
  EXPECT_EQ(d.Layers[255].Name, "L255");
  EXPECT_EQ(d.LayerGroups[0].Name, "G0");
  EXPECT_EQ(d.LayerGroups[15].Name, "\x83\x41\x83\x43");
  EXPECT_EQ(d.ColorsEx[5].Name, "Color");
  EXPECT_EQ(d.ColorsEx[6].Name, "Color_6");
  EXPECT_EQ(d.LineTypesEx[32].Name, "LT");
  EXPECT_EQ(d.LayerGroups[3].State, 0);
  EXPECT_EQ(d.LayerGroups[2].State, 2);
  EXPECT_EQ(d.Layers[52].State, 0);
  EXPECT_EQ(d.Layers[53].State, 2);
  EXPECT_EQ(d.Layers[53].Protect, 1);
}

// ---------------------------------------------------------------------------
// Too old, and cut short

TEST(HeaderFailures, Version219ReadsNothingMore) {
  for (int32_t v : {219, 0, -1, INT32_MIN}) {
    THeaderImage img(v, 64);
    for (size_t at = 12; at < 64; ++at) img.B[at] = 0x01;  // would be a memo and states
    TJwwData d;
    EXPECT_EQ(ReadHeader(d, img.B), 12u) << v;
    const TJwwStatus loaded = LoadBytes(d, img.B);
    EXPECT_FALSE(loaded) << v;
    EXPECT_FALSE(loaded.Text().empty()) << v;
    EXPECT_EQ(d.Header.Version, v);
    EXPECT_EQ(d.Header.Signature, "JwwData.");
    EXPECT_EQ(d.Header.Memo, "");
    EXPECT_EQ(d.Header.PaperSize, 0);
    EXPECT_EQ(d.Header.PrintScale, 1.0);
    EXPECT_EQ((std::vector<size_t>{d.LayerGroups.size(), d.Layers.size(), d.PenSettings.size(),
                                   d.LineTypePatterns.size(), d.RandomLineTypes.size(), d.DoubleLineTypes.size(),
                                   d.ColorsEx.size(), d.LineTypesEx.size(), d.TextStyles.size()}),
              (std::vector<size_t>{16, 256, 10, 8, 5, 4, 257, 33, 10}));
    for (const auto& g : d.LayerGroups) EXPECT_EQ(g.State, 0);
    for (const auto& l : d.Layers) EXPECT_EQ(l.State, 0);
    EXPECT_TRUE(d.EntityOrder.empty());
  }
}

TEST(HeaderFailures, CutInsideTheLayerTablesKeepsTheGroupsRead) {
  THeaderImage img(300, 4337);
  for (size_t g = 0; g < 16; ++g) {
    img.I32(21 + 148 * g, static_cast<int32_t>(g + 1));
    for (size_t l = 0; l < 16; ++l) img.I32(21 + 148 * g + 20 + 8 * l, static_cast<int32_t>(100 + g));
  }
  const std::vector<uint8_t> cut(img.B.begin(), img.B.begin() + 21 + 148 * 3 + 10);
  TJwwData d;
  try {
    ReadHeader(d, cut);
    ADD_FAILURE() << "the cut header was read";
  } catch (const EJwwError& e) {
    EXPECT_GE(e.Offset(), 21u + 148 * 3);
    EXPECT_LE(e.Offset(), cut.size());
  }
  for (size_t g = 0; g < 3; ++g) {
    EXPECT_EQ(d.LayerGroups[g].State, static_cast<int32_t>(g + 1));
    EXPECT_EQ(d.Layers[g * 16 + 15].State, static_cast<int32_t>(100 + g));
  }
  EXPECT_EQ(d.LayerGroups[4].State, 0);
  EXPECT_EQ(d.Layers[4 * 16].State, 0);
  const TJwwStatus loaded = LoadBytes(d, cut);
  EXPECT_FALSE(loaded);
  EXPECT_EQ(d.LayerGroups[2].State, 3);
  EXPECT_NE(loaded.Text().find("layer"), std::string::npos) << loaded.Text();
}
