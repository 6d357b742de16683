#include "inspect.h"

#include "convert.h"
#include "failurereason.h"
#include "messages.h"
#include "textconv.h"

namespace qm {

TFileResult Inspect(const std::filesystem::path& source, TJwwData& doc, const std::filesystem::path& workFolder,
                    const TAlsoRemove& remove) {
  TOutputRule outputs;  // its own: an inspection hands no name out to a batch
  TConvertOptions options;
  options.DryRun = true;
  options.Describe = true;
  options.Remove = remove;
  options.WorkFolder = workFolder;
  return ConvertOne(source, outputs, doc, options);
}

bool AllHidden(const TFileResult& i) noexcept {
  return i.Removed && i.Facts.Total > 0 && i.Removed->Elements == i.Facts.Total;
}

bool HiddenEmpty(const TFileResult& i) noexcept {
  // Only names go: a hidden group or layer without elements, and nothing
  // else asked for (a memo or auxiliary lines) is there to go.
  const bool hidden = !i.Facts.HiddenGroups.empty() || !i.Facts.HiddenLayers.empty();
  return hidden && i.Removed && i.Removed->Elements == 0 && i.Removed->Memo == 0 && i.Removed->OffSheet == 0 &&
         i.Removed->TemporaryPoints == 0 && i.Removed->Auxiliary == 0;
}

std::vector<std::string> Warnings(const TFileResult& i) {
  std::vector<std::string> out;
  if (i.Outcome == TOutcome::WouldConvert && AllHidden(i)) out.emplace_back(Msg::WarnAllHidden);
  if (i.Outcome == TOutcome::WouldConvert && HiddenEmpty(i)) out.emplace_back(Msg::WarnHiddenEmpty);
  // Converted for what else was asked to go, not for hidden layers.
  if (i.Outcome == TOutcome::WouldConvert && i.Facts.HiddenGroups.empty() && i.Facts.HiddenLayers.empty())
    out.emplace_back(Msg::WarnOnlyOther);
  // Nothing is hidden, so Convert passes it by, but the drawing does not
  // read completely: the user should hear of it before handing it on.
  if (i.Outcome == TOutcome::NothingHidden && i.Failure)
    out.push_back(std::string(Msg::WarnIncomplete) + FailureReason(*i.Failure));
  return out;
}

}  // namespace qm
