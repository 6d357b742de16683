#include "fuzz_body.h"

#include <vector>

#include "jwwunit.h"
#include "purge.h"

namespace qmfuzz {

namespace {

bool Load(TJwwData& doc, const uint8_t* data, size_t size) {
  doc.ResetDocument();
  doc.ExtractImages = false;
  try {
    TJwwReader reader(data, size);
    doc.ReadHeaderSection(reader);
    if (doc.Header.Version < JwwLayout::MinVersion) return false;
    doc.ReadEntitySection(reader);
  } catch (const EJwwError&) {
    doc.FinishLoad();
    return false;
  }
  doc.FinishLoad();
  return true;
}

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

TFuzzOutcome CheckLoadAndRewrite(const uint8_t* data, size_t size) {
  TJwwData doc;
  // The quick load must never fail where the full one succeeds.
  {
    TJwwData quick;
    quick.ExtractImages = false;
    try {
      TJwwReader reader(data, size);
      quick.ReadHeaderSection(reader);
      if (quick.Header.Version >= JwwLayout::MinVersion) quick.ReadEntitySectionForLayerTest(reader, 1);
    } catch (const EJwwError&) {
    }
    quick.FinishLoad();
  }
  if (!Load(doc, data, size)) return TFuzzOutcome::Rejected;
  qm::PurgeHiddenMaterial(doc);

  std::vector<uint8_t> written;
  try {
    TJwwWriter writer(written);
    doc.WriteHeaderSection(writer, doc.Header.Version);
    doc.WriteEntitySection(writer, doc.Header.Version);
  } catch (const EJwwError&) {
    // The writer refuses a few things a file can hold (a wide string with a
    // character Shift-JIS cannot hold in a drawing whose memo is not wide;
    // images are not extracted here, so a text naming one fails the image
    // check). Refusing is fine; writing something unreadable is not.
    return TFuzzOutcome::WriteRefused;
  }
  TJwwData back;
  Require(Load(back, written.data(), written.size()));
  const qm::TDrawingSummary expected = qm::SummariseForWrite(doc);
  qm::TDrawingSummary actual = qm::SummariseLoaded(back);
  actual.Images = expected.Images;  // no images are written without a work folder
  Require(qm::CompareSummaries(expected, actual).empty());
  return TFuzzOutcome::Rewritten;
}

}  // namespace qmfuzz
