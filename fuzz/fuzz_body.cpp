#include "fuzz_body.h"

#include <memory>
#include <vector>

#include "fileio.h"
#include "hiddenkinds.h"
#include "jwwunit.h"
#include "purge.h"
#include "workfolder.h"

namespace qmfuzz {

namespace {

using namespace qm;

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
  // Every element judged, whatever the drawing holds. Inputs of odd size
  // lose every kind besides (so that the writer meets both purges), and what
  // is left holds none of them.
  const qm::view::TElementKinds kinds = qm::view::ClassifyElements(doc);
  Require(kinds.Of.size() == doc.OrderEntries());
  Require(qm::MemoCharacters(doc.Header.Memo) >= 0);
  const qm::TAlsoRemove asked = size % 2 ? qm::TAlsoRemove::All() : qm::TAlsoRemove{};
  qm::PurgeHiddenMaterial(doc, asked, &kinds);
  Require(qm::FindHiddenMaterial(doc, asked, &kinds).empty());

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
