// SaveDocument: the output is written to a temporary file beside its final
// name, read back and compared field by field with what was meant to be
// written, flushed to disk, and only then moved to its name, never over an
// existing file.
#include "jwwnormalise.h"
#include "jwwunit.h"
#include "textconv.h"

namespace qm {

void TJwwData::WriteAndCheck(TJwwWriter& out, int32_t Version, const std::function<void()>& finish,
                             const std::function<TJwwReader()>& reopen) const {
  std::vector<TWrittenImage> images;
  TJwwHeaderSection header = HasHeaderArrays() ? JwwNormalise::HeaderSection(*this, Version) : TJwwHeaderSection{};
  const TJwwHeaderSection* normalised = HasHeaderArrays() ? &header : nullptr;
  WriteHeaderSection(out, Version, normalised);
  WriteEntitySection(out, Version, &images);
  out.Flush();
  if (finish) finish();
  TJwwReader back = reopen();
  try {
    CheckWrittenFile(back, Version, images, normalised);
    back.Close();
  } catch (const EJwwError& e) {
    throw EJwwError(e.Offset(), "the written file does not read back as it was written: " + e.Message(), e.Kind())
        .In(JwwContext::ReadBack);
  }
}

std::vector<uint8_t> TJwwData::WriteToMemory(int32_t Version) const {
  std::vector<uint8_t> bytes;
  TJwwWriter writer(bytes);
  WriteAndCheck(writer, Version, {}, [&] { return TJwwReader(bytes.data(), bytes.size()); });
  return bytes;
}

namespace {

// Outputs up to this size are read back whole into memory; larger ones a
// piece at a time, so that a large output never sits in memory beside its
// document.
constexpr uint64_t ReadBackLimit = 4ull << 20;

// Every failure of a save as a status naming the output.
template <typename Body>
TJwwStatus Guarded(const std::filesystem::path& name, Body body) {
  TJwwStatus status;
  auto fail = [&](TJwwFailure kind, const std::string& why) {
    static_cast<TFailure&>(status) = {kind, std::nullopt, JwwContext::OutputFile, name, why};
    return status;
  };
  try {
    body();
    return status;
  } catch (const EJwwError& e) {
    static_cast<TFailure&>(status) = TFailure::Of(e, JwwContext::OutputFile, name);
    return status;
  } catch (const EFileError& e) {
    return fail(TJwwFailure::IoError, e.what());
  } catch (const std::bad_alloc&) {
    return fail(TJwwFailure::IoError, "not enough memory");
  } catch (const std::filesystem::filesystem_error& e) {
    return fail(TJwwFailure::IoError, e.what());
  }
}

}  // namespace

TJwwData::TWrittenOutput TJwwData::WriteOutput(const std::filesystem::path& folder, int32_t Version,
                                               const std::filesystem::path& name, const TFlushRunner& runFlush) const {
  TWrittenOutput out;
  out.Status = Guarded(name, [&] {
    auto temp = std::make_unique<TTempFile>(folder);
    TFileBytes back;
    {
      // The device writes the file while it is read back and checked; the
      // flush then waits only for what is left. What is checked is what the
      // flush puts on the device: both are the bytes the system holds for
      // the file, and nothing else writes to it.
      TJwwWriter writer(temp->File());
      WriteAndCheck(
          writer, Version, [&] { temp->File().StartSync(); },
          [&] {
            // Through the open file when it is of ordinary size, else opened
            // again (the written one stays open) and read a piece at a time.
            if (writer.Offset() <= ReadBackLimit) {
              back = ReadBack(temp->File());
              return TJwwReader(back.Data.get(), back.Size);
            }
            return TJwwReader(temp->Path());
          });
    }
    back = {};
    const auto flush = [&] { temp->File().Sync(); };
    if (runFlush)
      runFlush(flush);
    else
      flush();
    temp->File().Close();
    out.File = std::move(temp);
  });
  return out;
}

TSaveStatus TJwwData::CommitOutput(TTempFile& file, const std::filesystem::path& path,
                                   const std::function<std::filesystem::path()>& nextFree, bool syncFolder) {
  TSaveStatus status;
  static_cast<TJwwStatus&>(status) = Guarded(path, [&] {
    // Another conversion of the same drawing may have taken the name
    // meanwhile: then the next free one.
    std::filesystem::path target = path;
    for (int attempt = 0; !file.Commit(target); ++attempt) {
      if (!nextFree || attempt >= 100)
        throw EFileError("cannot move the file to " + PathToUtf8(target) + ": the name is taken",
                             EFileError::TKind::Exists);
      target = nextFree();
    }
    status.SavedPath = target;
    const std::filesystem::path folder = target.parent_path();
    if (syncFolder && !SyncFolder(folder.empty() ? std::filesystem::path(".") : folder))
      status.Warning = PathToUtf8(target) + ": written and checked, but its folder could not be flushed to disk";
  });
  return status;
}

TSaveStatus TJwwData::SaveDocument(const std::filesystem::path& path, int32_t Version,
                                   const std::function<std::filesystem::path()>& nextFree) {
  Header.Signature = DrawingSignature;
  TWrittenOutput written = WriteOutput(path.parent_path(), Version, path);
  if (!written.Status) {
    TSaveStatus failed;
    static_cast<TJwwStatus&>(failed) = written.Status;
    return failed;
  }
  return CommitOutput(*written.File, path, nextFree, true);
}

}  // namespace qm
