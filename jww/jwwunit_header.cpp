// The header section: signature, version, memo, layer tables and settings,
// read, written and checked along the one description in jwwwalk.h.
#include <optional>
#include <string>
#include <string_view>

#include "jwwnormalise.h"
#include "jwwunit.h"
#include "jwwwalk.h"

namespace qm {

void TJwwHeaderSection::SizeHeaderArrays() {
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

bool TJwwHeaderSection::HasHeaderArrays() const noexcept {
  return LayerGroups.size() == 16 && Layers.size() == 256 && PenSettings.size() == 10 &&
         LineTypePatterns.size() == 8 && RandomLineTypes.size() == 5 && DoubleLineTypes.size() == 4 &&
         TextStyles.size() == 10 && ColorsEx.size() == 257 && LineTypesEx.size() == 33;
}

void TJwwData::ReadHeaderSection(TJwwReader& f) {
  SizeHeaderArrays();
  char sig[DrawingSignature.size()];
  f.Section(JwwContext::Signature);
  f.Bytes(sig, sizeof sig, "the signature");
  Header.Signature.assign(sig, sizeof sig);
  f.Section(JwwContext::Version);
  Header.Version = f.I32("the version");
  if (Header.Version < JwwLayout::MinVersion) return;
  JwwWalk::TReadIo io(f);
  JwwWalk::WalkHeaderSection(io, *this, Header.Version);
}

void TJwwData::WriteHeaderSection(TJwwWriter& f, int32_t v, const TJwwHeaderSection* normalised) const {
  if (!HasHeaderArrays()) f.Fail("the document holds no complete header to write");
  if (v < JwwLayout::MinVersion) f.Fail("version " + std::to_string(v) + " cannot be written");
  std::optional<TJwwHeaderSection> own;
  if (!normalised) normalised = &own.emplace(JwwNormalise::HeaderSection(*this, v));
  TJwwHeaderSection& written = const_cast<TJwwHeaderSection&>(*normalised);
  f.Bytes(DrawingSignature.data(), DrawingSignature.size());
  f.I32(v);
  JwwWalk::TWriteIo io(f, WideStrings());
  JwwWalk::WalkHeaderSection(io, written, v);
}

void TJwwData::CheckHeaderSection(TJwwReader& f, int32_t v, const TJwwHeaderSection* normalised) const {
  std::optional<TJwwHeaderSection> own;
  if (!normalised) normalised = &own.emplace(JwwNormalise::HeaderSection(*this, v));
  TJwwHeaderSection& written = const_cast<TJwwHeaderSection&>(*normalised);
  char sig[DrawingSignature.size()];
  f.Bytes(sig, sizeof sig, "the signature");
  if (std::string_view(sig, sizeof sig) != DrawingSignature)
    throw EJwwError(0, "the written file does not start with \"" + std::string(DrawingSignature) + "\"");
  if (f.I32("the version") != v) throw EJwwError(8, "the written file has another version than " + std::to_string(v));
  JwwWalk::TCheckIo io(f, WideStrings());
  JwwWalk::WalkHeaderSection(io, written, v);
}

void TJwwData::CheckWrittenFile(TJwwReader& f, int32_t v, const std::vector<TWrittenImage>& images,
                                const TJwwHeaderSection* normalised) const {
  CheckHeaderSection(f, v, normalised);
  CheckEntitySection(f, v, images);
  if (f.Remaining() != 0) f.Fail(std::to_string(f.Remaining()) + " bytes follow what was written");
}

}  // namespace qm
