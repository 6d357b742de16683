#include "road.h"

#include <new>
#include <system_error>
#include <thread>

#include "hiddenkinds.h"
#include "jwwnormalise.h"
#include "proof.h"
#include "purge.h"
#include "textconv.h"

namespace qm {

namespace {

using Clock = std::chrono::steady_clock;

// Drawings up to this size are read into memory once; larger ones are read
// as they are loaded, a piece at a time, so that the bytes of a large file
// never sit in memory beside its document (a few MiB covers the drawings
// users convert by the hundred, which are of 15 to 350 KB).
constexpr uint64_t ReadOnceLimit = 4ull << 20;
// From this many visible items on, the visual proof's comparison runs on a
// thread of its own beside the write.
constexpr size_t ProofBesideItems = 100000;

TFailure FailureOf(TJwwFailure kind, const char* context, const std::filesystem::path& path, std::string detail,
                   std::optional<uint64_t> offset = std::nullopt) {
  return {kind, offset, context, path, std::move(detail)};
}

void Stop(TFileResult& r, TOutcome outcome, std::optional<TFailure> failure = std::nullopt) {
  r.Outcome = outcome;
  r.Failure = std::move(failure);
}

// A load that failed after its header section has a header to describe.
bool PastHeader(const TFailure& f) {
  return f.Context == JwwContext::Elements || f.Context == JwwContext::BlockDefinitions ||
         f.Context == JwwContext::ImageTable || f.Context == JwwContext::EndOfFile;
}

// Step 2.
bool Read(TFileResult& r, TFileBytes& bytes) {
  try {
    bytes = ReadWholeFile(r.Source);
    return true;
  } catch (const EFileError& e) {
    Stop(r, TOutcome::Unreadable, FailureOf(TJwwFailure::IoError, JwwContext::Source, r.Source, e.what()));
    return false;
  }
}

// Step 3, on the bytes read or, for a large drawing, on the file. An empty
// file ends before its signature.
bool Signature(TFileResult& r, const TJwwData& doc, const TFileBytes* bytes) {
  if (bytes && bytes->Size == 0) {
    Stop(r, TOutcome::Unreadable,
         FailureOf(TJwwFailure::Truncated, JwwContext::Signature, r.Source, "the file is empty", 0));
    return false;
  }
  const bool drawing =
      bytes ? bytes->Size >= DrawingSignature.size() &&
                  std::string_view(reinterpret_cast<const char*>(bytes->Data.get()), DrawingSignature.size()) ==
                      DrawingSignature
            : doc.CheckSignature(r.Source);
  if (!drawing)
    Stop(r, TOutcome::Unreadable,
         FailureOf(TJwwFailure::Corrupt, JwwContext::Signature, r.Source,
                   "the file does not start with \"" + std::string(DrawingSignature) + "\"", 0));
  return drawing;
}

// What step 4 does: nothing (a drawing loaded to be drawn), stop the load
// when there is nothing to remove (a conversion), or decide and read on (a
// description).
enum class TTest { None, Stop, Describe };
// How far steps 1 to 5 came.
enum class TOpened { Refused, NothingToRemove, Whole };

// Step 1, for a batch that passes by the drawings converted already: the
// output of an earlier run that makes this one so.
bool AlreadyConverted(TFileResult& r, const TConvertOptions* options) {
  if (!options || !options->AlreadyConverted) return false;
  std::filesystem::path earlier = options->AlreadyConverted(r.Source);
  if (earlier.empty()) return false;
  r.Output = std::move(earlier);
  Stop(r, TOutcome::Skipped);
  return true;
}

// Steps 1 to 5, in their order (a batch's options, where a batch opens the
// file). A drawing read whole has its elements judged (kinds) when it is
// described or something besides is asked to go.
TOpened Open(TFileResult& r, TJwwData& doc, const std::filesystem::path& workFolder, TTest test,
             const TAlsoRemove& also, std::optional<view::TElementKinds>& kinds,
             const TConvertOptions* options = nullptr) {
  const bool names = test == TTest::Describe;  // the names of unused definitions, for a description
  uint64_t size = 0;
  if (const auto refused = RefuseSource(r.Source, size)) {
    Stop(r, refused->Outcome, refused->Failure);
    return TOpened::Refused;
  }
  if (AlreadyConverted(r, options)) return TOpened::Refused;
  // A drawing of ordinary size is read once; the tests and both loads work
  // on those bytes, which are then exactly the file as it was when opened.
  TFileBytes bytes;
  const bool inMemory = size <= ReadOnceLimit;
  if (inMemory && !Read(r, bytes)) return TOpened::Refused;
  if (!Signature(r, doc, inMemory ? &bytes : nullptr)) return TOpened::Refused;

  TLoadOptions load;
  load.WorkFolder = workFolder;
  load.Name = r.Source;
  const auto whole = [&] {
    return inMemory ? doc.LoadDocument(bytes.Data.get(), bytes.Size, load) : doc.LoadDocument(r.Source, load);
  };
  const auto quick = [&] {
    return inMemory ? doc.LoadForLayerTest(bytes.Data.get(), bytes.Size, 1, load) : doc.LoadForLayerTest(r.Source, 1);
  };
  // A drawing that does not read completely is never written out.
  const auto unreadable = [&](const TJwwStatus& status) {
    r.Facts = DescribeDrawing(doc, PastHeader(status) ? TRead::Header : TRead::Nothing, names);
    Stop(r, TOutcome::Unreadable, status);
    return TOpened::Refused;
  };
  const auto describe = [&](TRead read) {
    r.Facts = DescribeDrawing(doc, read, names);
    if (kinds) r.Facts.Found = FoundIn(doc, *kinds);
  };
  const auto nothingToRemove = [&](TRead read, std::optional<TFailure> stopped = std::nullopt) {
    describe(read);
    Stop(r, TOutcome::NothingHidden, std::move(stopped));
    return TOpened::NothingToRemove;
  };
  const auto loaded = [&] {
    describe(TRead::Whole);
    return TOpened::Whole;
  };
  // Step 4 on the header: whether the rest must be read, because something
  // there is to go or an element of a kind asked for may be.
  const auto readOn = [&also](const TJwwData& d) { return AnythingToRemove(d, also) || also.Elements() != 0; };
  // Step 4 on the drawing read whole.
  const auto anything = [&] {
    if (names || also.Any()) kinds = view::ClassifyElements(doc);
    return kinds ? AnythingToRemove(doc, also, *kinds) : AnythingToRemove(doc, also);
  };

  switch (test) {
    case TTest::None: {
      const TJwwStatus status = whole();
      return status ? loaded() : unreadable(status);
    }
    case TTest::Stop: {
      TJwwStatus status;
      if (inMemory) {
        // The test and the whole load in one reading: with nothing to remove
        // the load stops where the quick load would, with what it found.
        load.ContinueAfterHeader = readOn;
        status = whole();
      } else {
        status = quick();
      }
      if (!status) return unreadable(status);
      if (!readOn(doc)) return nothingToRemove(TRead::Header);
      if (!inMemory && !(status = whole())) return unreadable(status);
      return anything() ? loaded() : nothingToRemove(TRead::Whole);
    }
    case TTest::Describe: {
      const TJwwStatus status = whole();
      if (status) return anything() ? loaded() : nothingToRemove(TRead::Whole);
      // Not whole: the outcome is what a conversion finds with its quick
      // load, and a drawing it passes by says where the reading stopped.
      if (const TJwwStatus header = quick(); !header) return unreadable(header);
      if (readOn(doc)) return unreadable(status);
      return nothingToRemove(TRead::Header, status);
    }
  }
  return TOpened::Refused;
}

// Step 6.
void Purge(TFileResult& r, TJwwData& doc, const TConvertOptions& options, const view::TElementKinds* kinds) {
  const TPurgeResult p = PurgeHiddenMaterial(doc, options.Remove, kinds);
  TRemovedCounts& removed = r.Removed.emplace();
  removed.Elements = p.RemovedElements;
  removed.BlockDefs = p.RemovedBlockDefs;
  removed.Images = p.RemovedImages;
  removed.Memo = p.RemovedMemo;
  removed.OffSheet = p.RemovedOffSheet;
  removed.TemporaryPoints = p.RemovedTemporaryPoints;
  removed.Auxiliary = p.RemovedAuxiliary;
  removed.Remaining = doc.TotalCount();
  if (options.AfterPurge) options.AfterPurge(doc);
}

// Step 7: hidden material, and what was asked to go besides, must never
// reach a file.
bool Guard(TFileResult& r, const TJwwData& doc, const TAlsoRemove& also, const view::TElementKinds* kinds) {
  const std::string leak = FindHiddenMaterial(doc, also, kinds);
  if (!leak.empty())
    r.Failure = FailureOf(TJwwFailure::Corrupt, JwwContext::HiddenMaterial, r.Output, "not written: " + leak);
  return leak.empty();
}

// Step 8: the output, every layer on, must show exactly what the source
// showed: what the sender saw is what the recipient sees, and nothing more.
// The comparison only reads the document, as the writer does: for a large
// drawing it runs beside the write, and what it finds decides before the
// output gets its name.
class TProof {
 public:
  TProof(const view::TVisualRecord& shown, const TJwwData& doc) : Shown_(shown), Doc_(doc) {
    if (shown.Items() >= ProofBesideItems)
      Beside_ = std::jthread([this] { Difference_ = Shown_.Compare(Doc_); });
    else
      Difference_ = Shown_.Compare(Doc_);
    Normalised_ = JwwNormalise::Changes(Doc_, Doc_.Header.Version);
  }
  // True when it is known already that the output would not show what the
  // source shows (the comparison did not run beside).
  bool FailedEarly() const noexcept { return !Beside_.joinable() && Difference_.has_value(); }
  // Puts what it found into the record: the comparison, and what the writer
  // writes otherwise. False when the output would not show what the source
  // shows.
  bool Verdict(TFileResult& r) {
    r.Normalised = Normalised_;
    if (Beside_.joinable()) Beside_.join();
    r.VisibleUnchanged = !Difference_ && !r.Normalised->Any();
    if (!Difference_) return true;
    r.Failure = FailureOf(TJwwFailure::Corrupt, JwwContext::VisualProof, r.Output,
                          "not written: the output would not show what the source shows: " + Difference_->What);
    return false;
  }

 private:
  const view::TVisualRecord& Shown_;
  const TJwwData& Doc_;
  std::optional<view::TVisualDifference> Difference_;
  JwwNormalise::TNormalised Normalised_;
  std::jthread Beside_;  // joined however this is left
};

// Step 9: to a temporary file that is flushed and read back (its name comes
// at the commit), or, in a dry run, to memory, read back and compared
// exactly as a save checks its file, so that what a save would refuse is
// refused here too. The proof decides first: a failed one is the reason given.
void Write(TTrip& t, const TJwwData& doc, const TOutputRule& outputs, const TConvertOptions& options,
           const TJwwData::TFlushRunner& runFlush, TProof& proof) {
  TFileResult& r = t.Result;
  if (proof.FailedEarly()) {
    proof.Verdict(r);
    return;
  }
  const int32_t version = doc.Header.Version;
  std::optional<TFailure> failed;
  TJwwData::TWrittenOutput written;
  if (options.DryRun) {
    try {
      doc.WriteToMemory(version);
    } catch (const EJwwError& e) {
      failed = TFailure::Of(e, JwwContext::OutputFile, r.Output);
    } catch (const std::bad_alloc&) {
      failed = FailureOf(TJwwFailure::IoError, JwwContext::OutputFile, r.Output, "not enough memory");
    }
  } else {
    const std::filesystem::path folder = outputs.FolderOf(r.Source);
    bool made = true;
    try {
      if (outputs.FolderFor) outputs.MakeFolder(folder);  // each folder made flushed into its parent
    } catch (const EFileError& e) {
      made = false;
      failed = FailureOf(TJwwFailure::IoError, JwwContext::OutputFolder, folder, e.what());
    }
    if (made) {
      if (written = doc.WriteOutput(folder, version, r.Output, runFlush); !written.Status) failed = written.Status;
    }
  }
  if (!proof.Verdict(r)) return;  // a temporary file not kept goes with written
  if (failed) {
    r.Failure = std::move(failed);
    return;
  }
  t.Output = std::move(written.File);
  t.Stage = options.DryRun ? TTrip::TStage::Checked : TTrip::TStage::Written;
}

// Steps 6 to 9, after Open.
void Convert(TTrip& t, TJwwData& doc, const TOutputRule& outputs, const TConvertOptions& options,
             const TJwwData::TFlushRunner& runFlush, const std::optional<view::TElementKinds>& kinds) {
  TFileResult& r = t.Result;
  const view::TElementKinds* judged = kinds ? &*kinds : nullptr;
  // What the source shows with its hidden layers off, less the elements
  // asked to go besides, before the purge.
  const view::TVisualRecord shown = judged ? view::TVisualRecord::Of(doc, judged->Of, options.Remove.Elements())
                                           : view::TVisualRecord::Of(doc);
  Purge(r, doc, options, judged);
  t.Stage = TTrip::TStage::Failed;
  if (!Guard(r, doc, options.Remove, judged)) return;
  doc.Header.Signature = DrawingSignature;
  TProof proof(shown, doc);
  Write(t, doc, outputs, options, runFlush, proof);
}

}  // namespace

std::optional<TSourceRefusal> RefuseSource(const std::filesystem::path& source, uint64_t& size) {
  const TEntryKind entry = EntryKindOf(source, &size);
  if (entry == TEntryKind::None) return TSourceRefusal{TOutcome::NotFound, std::nullopt};
  if (UpperExtension(source) != ".JWW") return TSourceRefusal{TOutcome::NotJww, std::nullopt};
  if (entry != TEntryKind::File)
    return TSourceRefusal{TOutcome::Unreadable,
                          FailureOf(TJwwFailure::IoError, JwwContext::Source, source, "not a regular file")};
  return std::nullopt;
}

std::optional<TFileResult> LoadSource(const std::filesystem::path& source, TJwwData& doc,
                                      const std::filesystem::path& workFolder) {
  TFileResult r;
  r.Source = source;
  std::optional<view::TElementKinds> kinds;
  if (Open(r, doc, workFolder, TTest::None, {}, kinds) == TOpened::Whole) return std::nullopt;
  return r;
}

void Travel(TTrip& t, const std::filesystem::path& source, const TOutputRule& outputs, TJwwData& doc,
            const TConvertOptions& options, const TJwwData::TFlushRunner& runFlush) {
  const Clock::time_point started = Clock::now();
  TFileResult& r = t.Result;
  r.Source = source;
  try {
    r.Output = outputs.Next(source);  // the name the output is meant to get, for messages
    const TTest test = options.DryRun && options.Describe ? TTest::Describe : TTest::Stop;
    std::optional<view::TElementKinds> kinds;
    if (Open(r, doc, options.WorkFolder, test, options.Remove, kinds, &options) == TOpened::Whole)
      Convert(t, doc, outputs, options, runFlush, kinds);
  } catch (const std::exception& e) {
    // Nothing above should raise; should it happen, the file still gets its
    // record and the next file its turn.
    t.Output.reset();
    r.Removed.reset();
    r.Failure = FailureOf(TJwwFailure::IoError, JwwContext::Source, source, e.what());
    t.Stage = TTrip::TStage::Failed;
  }
  doc.ClearDocument();  // the images' folder goes with it
  t.Own += Clock::now() - started;
}

void Commit(TTrip& t, TOutputRule& outputs, bool syncFolder) {
  const Clock::time_point started = Clock::now();
  TFileResult& r = t.Result;
  auto fail = [&](std::optional<TFailure> failure) {
    r.Outcome = TOutcome::Failed;
    r.Removed.reset();  // nothing was written
    if (failure) r.Failure = std::move(failure);
  };
  try {
    if (r.Outcome != TOutcome::Skipped) r.Output = outputs.Next(r.Source);
    switch (t.Stage) {
      case TTrip::TStage::Final:
        break;
      case TTrip::TStage::Failed:
        fail(std::nullopt);
        break;
      case TTrip::TStage::Checked:
        outputs.HandOut(r.Output);  // a dry run's name counts as taken, as its file would
        r.Outcome = TOutcome::WouldConvert;
        break;
      case TTrip::TStage::Written: {
        // A name taken meanwhile (another conversion of the same drawing)
        // passes on to the next free one.
        const std::filesystem::path source = r.Source;
        const TSaveStatus saved = TJwwData::CommitOutput(*t.Output, r.Output,
                                                          [&outputs, &source] { return outputs.Next(source); },
                                                          syncFolder);
        t.Output.reset();  // removes the temporary file when it was not moved
        if (!saved) {
          fail(saved);
          break;
        }
        r.Output = saved.SavedPath;
        outputs.HandOut(r.Output);  // taken as a dry run takes it, whatever the file system's letter case rule
        r.Warning = saved.Warning;
        r.Outcome = TOutcome::Converted;
        break;
      }
    }
  } catch (const std::exception& e) {
    t.Output.reset();
    r.Warning.clear();
    fail(FailureOf(TJwwFailure::IoError, JwwContext::OutputFile, r.Output, e.what()));
  }
  t.Own += Clock::now() - started;
  r.Seconds = std::chrono::duration<double>(t.Own).count();
}

}  // namespace qm
