#include "fuzz_body.h"

#include <memory>
#include <vector>

#include "fileio.h"
#include "jwwunit.h"
#include "purge.h"
#include "workfolder.h"

namespace qmfuzz {

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// One private work folder for the whole run, emptied after every input.
const qm::TWorkFolderScope& Work() {
  static const auto scope = std::make_unique<qm::TWorkFolderScope>(qm::SystemTempFolder());
  return *scope;
}

struct TCleanUp {
  ~TCleanUp() {
    DeleteTempFiles();
    ClearTempFileList();
  }
};

}  // namespace

TFuzzOutcome CheckLoadAndRewrite(const uint8_t* data, size_t size) {
  Work();
  TCleanUp clean;
  // The quick load must never fail where the full one succeeds.
  TJwwData quick;
  const bool quickOk = quick.LoadForLayerTest(data, size, 1);
  TJwwData doc;
  if (!doc.LoadDocument(data, size)) return TFuzzOutcome::Rejected;
  Require(quickOk);
  qm::PurgeHiddenMaterial(doc);
  Require(qm::FindHiddenMaterial(doc).empty());

  std::vector<uint8_t> written;
  std::vector<TWrittenImage> images;
  try {
    TJwwWriter writer(written);
    doc.WriteHeaderSection(writer, doc.Header.Version);
    doc.WriteEntitySection(writer, doc.Header.Version, &images);
  } catch (const EJwwError&) {
    // The writer refuses a few things a file can hold (a wide string with a
    // character Shift-JIS cannot hold in a drawing whose memo is not wide).
    // Refusing is fine; writing something unreadable is not.
    return TFuzzOutcome::WriteRefused;
  }
  // What was written reads back field by field as what the writer meant, and
  // loads as a whole drawing.
  try {
    TJwwReader reader(written.data(), written.size());
    doc.CheckWrittenFile(reader, doc.Header.Version, images);
  } catch (const EJwwError&) {
    Require(false);
  }
  TJwwData back;
  back.ExtractImages = false;
  Require(back.LoadDocument(written.data(), written.size()));
  return TFuzzOutcome::Rewritten;
}

}  // namespace qmfuzz
