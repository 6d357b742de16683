// The road of one file. Every part of the program that looks at a drawing
// takes these steps, in this order, each written once below and ordered in
// one place (Open for steps 1 to 5, Travel for the rest):
//
//    1 refuse    missing, not ".JWW", not a regular file (RefuseSource);
//                passed by when converted already, where that was asked
//                for (TConvertOptions::AlreadyConverted)
//    2 read      an ordinary drawing's bytes, once; the later steps read them
//    3 signature DrawingSignature
//    4 test      anything to remove? (AnythingToRemove, on the header; when
//                kinds of elements are asked to go, on the drawing read whole)
//    5 load      the whole drawing; its facts (DescribeDrawing), its elements
//                judged (ClassifyElements) where that is asked for
//    6 purge     PurgeHiddenMaterial, the source's visual record taken first
//    7 guard     FindHiddenMaterial: nothing hidden may reach a file
//    8 prove     the visual proof, and what the writer writes otherwise
//    9 write     to a temporary file, read back and flushed, or to memory
//   10 commit    in list order: the output gets the first free name
//
// Who takes which steps (ConvertBatch and ConvertOne take them all, as the
// options say):
//   convert                       1 to 10
//   convert --dry-run             1 to 9, writing to memory; 10 hands the name out
//   info, the window's inspection the dry run, with step 5 on every drawing,
//                                 also one with nothing to remove
//                                 (TConvertOptions::Describe)
//   render, the window's preview  1, 2, 3 and 5 (LoadSource)
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "convert.h"
#include "fileio.h"
#include "jwwunit.h"
#include "record.h"

namespace qm {

// Step 1: the tests of a source before anything opens it. It exists (else
// NotFound), its name ends in ".JWW" (else NotJww), and it is a regular file
// (else Unreadable, with the failure). A folder, FIFO or device named like a
// drawing is never opened for reading (the open itself could wait for ever);
// should one take a drawing's place after this test, the opens refuse it
// too. Nothing when the source passes; size then holds its size.
struct TSourceRefusal {
  TOutcome Outcome = TOutcome::NotFound;
  std::optional<TFailure> Failure;  // for Unreadable
};
std::optional<TSourceRefusal> RefuseSource(const std::filesystem::path& source, uint64_t& size);

// Steps 1, 2, 3 and 5: the drawing whole in document (its images' bytes
// kept in a folder of its own inside workFolder, when one is given), or the
// record that says why not (NotFound, NotJww or Unreadable).
std::optional<TFileResult> LoadSource(const std::filesystem::path& source, TJwwData& document,
                                      const std::filesystem::path& workFolder = {});

// One file between its steps 1 to 9 (any thread) and its commit (in list order).
struct TTrip {
  enum class TStage {
    Final,    // its outcome is known: nothing is left to commit
    Failed,   // purged but not written: the record's Failure says why
    Checked,  // a dry run's: written to memory and checked
    Written,  // written to a temporary file, flushed and checked
  };
  TFileResult Result;
  TStage Stage = TStage::Final;
  std::unique_ptr<TTempFile> Output;  // Written: the checked file under its temporary name
  std::chrono::steady_clock::duration Own{};  // the time of its own steps
};

// Steps 1 to 9 of a source, as options say: everything but the output's
// name. Uses document and leaves it empty. Never raises.
void Travel(TTrip& trip, const std::filesystem::path& source, const TOutputRule& outputs, TJwwData& document,
            const TConvertOptions& options, const TJwwData::TFlushRunner& runFlush = {});

// Step 10, in list order: the output gets the first free name now (the names
// of the files before it are taken by then, exactly as one file after
// another would find them), and the record its outcome. The folder is
// flushed here when syncFolder, else by the caller for a group of files.
void Commit(TTrip& trip, TOutputRule& outputs, bool syncFolder);

}  // namespace qm
