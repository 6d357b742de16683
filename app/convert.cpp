#include "convert.h"

#include <chrono>
#include <system_error>

#include "Func_.h"
#include "fileio.h"
#include "messages.h"
#include "textconv.h"

namespace qm {

namespace {

// The second line of a dry run's report for a drawing that would be converted.
std::string DryRunLine(const TRemovedCounts& removed) {
  return "　変換できます（削除するもの: 要素 " + std::to_string(removed.Elements) + "、ブロック定義 " +
         std::to_string(removed.BlockDefs) + "、画像 " + std::to_string(removed.Images) +
         "。--dry-run のため書き込みません）";
}

std::string Shown(const std::filesystem::path& path) { return Printable(PathToUtf8(path)); }

// Gives a result its outcome and its two report lines after the file line.
void Finish(TFileResult& r, TOutcome outcome, std::string_view first, std::string second) {
  r.Outcome = outcome;
  r.Lines.emplace_back(first);
  r.Lines.push_back(std::move(second));
}

void Skip(TFileResult& r, TOutcome outcome, std::string_view reason) {
  Finish(r, outcome, reason, std::string(Msg::Skipped));
}

void Fail(TFileResult& r, std::string detail, TJwwFailure kind) {
  r.Detail = std::move(detail);
  r.Failure = kind;
  r.Lines.push_back(std::string(Msg::FailedTo) + Shown(r.Output));
  r.Lines.push_back(std::string(Msg::Failed));
  r.Outcome = TOutcome::Failed;
}

// ConvertFile: purges the fully loaded document and writes it to the output
// (or, in a dry run, to memory), guarded before anything is written.
void ConvertFile(TFileResult& r, TJwwData& doc, TOutputRule& outputs, const TConvertOptions& options) {
  const TPurgeResult purge = PurgeHiddenMaterial(doc);
  r.Removed = {purge.RemovedElements, purge.RemovedBlockDefs, purge.RemovedImages};
  if (options.AfterPurge) options.AfterPurge(doc);
  // The purge's result is checked before anything is written: hidden material
  // must never reach a file.
  if (const std::string leak = FindHiddenMaterial(doc); !leak.empty())
    return Fail(r, PathToUtf8(r.Output) + ": not written: " + leak, TJwwFailure::Corrupt);

  const int32_t version = doc.Header.Version;
  if (options.DryRun) {
    // The purged drawing is written to memory, read back and compared exactly
    // as a save checks its file, so that what a save would refuse (a text its
    // string form cannot hold) is refused here too.
    try {
      doc.Header.Signature = "JwwData.";
      doc.WriteToMemory(version);
    } catch (const EJwwError& e) {
      return Fail(r, PathToUtf8(r.Output) + ": " + e.Text(), e.Kind());
    } catch (const std::bad_alloc&) {
      return Fail(r, PathToUtf8(r.Output) + ": not enough memory", TJwwFailure::IoError);
    }
    outputs.HandOut(r.Output);
    r.Lines.push_back(std::string(Msg::ConvertedTo) + Shown(r.Output));
    r.Lines.push_back(DryRunLine(r.Removed));
    r.Outcome = TOutcome::WouldConvert;
    return;
  }

  if (outputs.FolderFor) {
    std::error_code ec;
    std::filesystem::create_directories(r.Output.parent_path(), ec);
    if (ec)
      return Fail(r, PathToUtf8(r.Output.parent_path()) + ": cannot create the folder: " + ec.message(),
                  TJwwFailure::IoError);
  }
  // The save reads its file back and compares it with the document before it
  // gives it its name; a name taken meanwhile (another conversion of the
  // same drawing) passes on to the next free one.
  const std::filesystem::path source = r.Source;
  const TSaveStatus saved = doc.SaveDocument(r.Output, version, [&outputs, &source] { return outputs.Next(source); });
  if (!saved) return Fail(r, saved.Error, saved.Failure);
  r.Output = saved.SavedPath;
  r.Warning = saved.Warning;
  r.Lines.push_back(std::string(Msg::ConvertedTo) + Shown(r.Output));
  r.Lines.push_back(std::string(Msg::Converted));
  r.Outcome = TOutcome::Converted;
}

void Decide(TFileResult& r, TJwwData& doc, TOutputRule& outputs, const TConvertOptions& options) {
  const TEntryKind entry = EntryKindOf(r.Source);
  if (entry == TEntryKind::None) return Skip(r, TOutcome::NotFound, Msg::NotFound);
  if (UpperExtension(r.Source) != ".JWW") return Skip(r, TOutcome::NotJww, Msg::NotJww);
  auto unreadable = [&](std::string detail, TJwwFailure kind) {
    r.Detail = std::move(detail);
    r.Failure = kind;
    Skip(r, TOutcome::Unreadable, Msg::Unreadable);
  };
  // A folder, FIFO or device named like a drawing is never opened for
  // reading (the open itself could wait for ever); should one take a
  // drawing's place after this test, the opens below refuse it too.
  if (entry != TEntryKind::File)
    return unreadable(PathToUtf8(r.Source) + ": not a regular file", TJwwFailure::IoError);
  if (!doc.CheckSignature(r.Source))
    return unreadable(PathToUtf8(r.Source) + ": the file does not start with \"JwwData.\"", TJwwFailure::Corrupt);
  if (const TJwwStatus quick = doc.LoadForLayerTest(r.Source, 1); !quick) return unreadable(quick.Error, quick.Failure);
  if (!HasHiddenLayer(doc)) return Skip(r, TOutcome::NothingHidden, Msg::NothingHidden);
  // A drawing that does not read completely is never written out.
  TLoadOptions load;
  load.WorkFolder = options.WorkFolder;
  if (const TJwwStatus full = doc.LoadDocument(r.Source, load); !full) return unreadable(full.Error, full.Failure);
  ConvertFile(r, doc, outputs, options);
}

}  // namespace

std::string UpperExtension(const std::filesystem::path& path) {
  const std::string name = PathToUtf8(path.filename());
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return ext;
}

std::filesystem::path TOutputRule::FolderOf(const std::filesystem::path& source) const {
  return FolderFor ? FolderFor(source) : source.parent_path();
}

std::u16string TOutputRule::Key(const std::filesystem::path& path) {
  return Func_::UnicodeUpperCase(PathToUtf16(path));
}

std::filesystem::path TOutputRule::FirstFree(const std::filesystem::path& source, const std::filesystem::path& folder,
                                             const std::function<bool(const std::filesystem::path&)>& taken) {
  auto base = source.filename().native();
  const auto dot = base.rfind(static_cast<std::filesystem::path::value_type>('.'));
  if (dot != base.npos) base.resize(dot);
  for (unsigned n = 2;; ++n) {
    std::filesystem::path candidate = folder / std::filesystem::path(base);
    candidate += "_" + std::to_string(n) + ".JWW";
    // Any entry counts as taken: a folder or a link of that name too.
    if (!EntryExists(candidate) && !(taken && taken(candidate))) return candidate;
  }
}

std::filesystem::path TOutputRule::Next(const std::filesystem::path& source) const {
  std::lock_guard<std::mutex> guard(Lock_);
  if (HandedOut_.empty()) return FirstFree(source, FolderOf(source));
  return FirstFree(source, FolderOf(source),
                   [this](const std::filesystem::path& p) { return HandedOut_.contains(Key(p)); });
}

void TOutputRule::HandOut(const std::filesystem::path& output) {
  std::lock_guard<std::mutex> guard(Lock_);
  HandedOut_.insert(Key(output));
}

TFileResult ConvertOne(const std::filesystem::path& source, TOutputRule& outputs, TJwwData& doc,
                       const TConvertOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  TFileResult r;
  r.Source = source;
  r.Lines.push_back(std::string(Msg::FileOpen) + Shown(source) + std::string(Msg::FileClose));
  try {
    r.Output = outputs.Next(source);
    Decide(r, doc, outputs, options);
  } catch (const std::exception& e) {
    // Nothing above should raise; should it happen, the file still gets its
    // two lines and the next file its turn.
    r.Lines.resize(1);
    r.Warning.clear();
    r.Removed = {};
    Fail(r, e.what(), TJwwFailure::IoError);
  }
  doc.ClearDocument();  // the images' folder goes with it
  r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return r;
}

TBatchResult ConvertBatch(const std::vector<std::filesystem::path>& sources, TOutputRule& outputs,
                          const TConvertOptions& options, IBatchCallback& callback, TJwwData* document) {
  TBatchResult batch;
  std::unique_ptr<TJwwData> own;
  if (!document) {
    own = std::make_unique<TJwwData>();
    document = own.get();
  }
  const int count = static_cast<int>(sources.size());
  for (int k = 0; k < count; ++k) {
    const std::filesystem::path& source = sources[static_cast<size_t>(k)];
    if (!callback.FileStarted(k, source)) {
      batch.Interrupted = true;
      break;
    }
    batch.Files.push_back(ConvertOne(source, outputs, *document, options));
    if (!callback.FileFinished(k, batch.Files.back())) {
      batch.Interrupted = k + 1 < count;
      break;
    }
  }
  return batch;
}

}  // namespace qm
