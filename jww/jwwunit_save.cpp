// SaveDocument: the output is written to a temporary file beside its final
// name, flushed, read back and compared field by field with what was meant to
// be written, and only then moved to its name, never over an existing file.
#include "jwwunit.h"
#include "textconv.h"

bool TJwwData::SaveDocument(const std::filesystem::path& path, int32_t Version,
                            const std::function<std::filesystem::path()>& nextFree) {
  LastError.clear();
  LastFailure = TJwwFailure::None;
  LastWarning.clear();
  SavedPath.clear();
  Header.Signature = "JwwData.";
  const std::filesystem::path folder = path.parent_path();
  std::string stage = "";
  try {
    qm::TTempFile temp(folder);
    std::vector<TWrittenImage> images;
    {
      TJwwWriter writer(temp.File());
      WriteHeaderSection(writer, Version);
      WriteEntitySection(writer, Version, &images);
      writer.Flush();
    }
    temp.File().Sync();
    temp.File().Close();

    stage = "the written file does not read back as it was written: ";
    {
      TJwwReader back(temp.Path());
      CheckWrittenFile(back, Version, images);
      back.Close();
    }
    stage.clear();

    // Another conversion of the same drawing may have taken the name
    // meanwhile: then the next free one.
    std::filesystem::path target = path;
    for (int attempt = 0; !temp.Commit(target); ++attempt) {
      if (!nextFree || attempt >= 100)
        throw qm::EFileError("cannot move the file to " + qm::PathToUtf8(target) + ": the name is taken",
                             qm::EFileError::TKind::Exists);
      target = nextFree();
    }
    SavedPath = target;
    if (!qm::SyncFolder(folder.empty() ? std::filesystem::path(".") : folder))
      LastWarning = qm::PathToUtf8(target) + ": written and checked, but its folder could not be flushed to disk";
    return true;
  } catch (const EJwwError& e) {
    LastError = qm::PathToUtf8(path) + ": " + stage + e.what();
    LastFailure = e.Kind();
  } catch (const qm::EFileError& e) {
    LastError = qm::PathToUtf8(path) + ": " + stage + e.what();
    LastFailure = TJwwFailure::IoError;
  } catch (const std::bad_alloc&) {
    LastError = qm::PathToUtf8(path) + ": not enough memory";
    LastFailure = TJwwFailure::IoError;
  } catch (const std::filesystem::filesystem_error& e) {
    LastError = qm::PathToUtf8(path) + ": " + e.what();
    LastFailure = TJwwFailure::IoError;
  }
  return false;
}
