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

// One private work folder for the whole run; each document's images go with it.
const qm::TWorkFolderScope& Work() {
  static const auto scope = std::make_unique<qm::TWorkFolderScope>(qm::SystemTempFolder());
  return *scope;
}

}  // namespace

TFuzzOutcome CheckLoadAndRewrite(const uint8_t* data, size_t size) {
  TLoadOptions load;
  load.WorkFolder = Work().Folder();
  // The quick load must never fail where the full one succeeds.
  TJwwData quick;
  const bool quickOk = static_cast<bool>(quick.LoadForLayerTest(data, size, 1));
  TJwwData doc;
  if (!doc.LoadDocument(data, size, load)) return TFuzzOutcome::Rejected;
  Require(quickOk);
  qm::PurgeHiddenMaterial(doc);
  Require(qm::FindHiddenMaterial(doc).empty());

  // What is written reads back field by field as what the writer meant (the
  // save's own check), and loads as a whole drawing.
  std::vector<uint8_t> written;
  try {
    written = doc.WriteToMemory(doc.Header.Version);
  } catch (const EJwwError& e) {
    // The writer refuses a few things a file can hold (a wide string with a
    // character Shift-JIS cannot hold in a drawing whose memo is not wide).
    // Refusing is fine; writing something that does not read back is not.
    Require(e.Message().find("does not read back") == std::string::npos);
    return TFuzzOutcome::WriteRefused;
  }
  TJwwData back;
  Require(static_cast<bool>(back.LoadDocument(written.data(), written.size())));
  return TFuzzOutcome::Rewritten;
}

}  // namespace qmfuzz
