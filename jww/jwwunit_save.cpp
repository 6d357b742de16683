// SaveDocument: the output goes to a temporary file beside its final name and
// reaches that name only complete, flushed to disk, and never over an
// existing file.
#include "jwwunit.h"
#include "textconv.h"

bool TJwwData::SaveDocument(const std::filesystem::path& path, int32_t Version) {
  LastError.clear();
  Header.Signature = "JwwData.";
  std::filesystem::path folder = path.parent_path();
  std::filesystem::path temp;
  try {
    qm::TFile file;
    for (int attempt = 0;; ++attempt) {
      temp = folder / (".quillmark-" + std::to_string(qm::ProcessId()) + "-" + std::to_string(attempt) + ".tmp");
      if (qm::EntryExists(temp) && attempt < 1000) continue;
      try {
        file = qm::TFile::CreateNew(temp);
      } catch (...) {
        temp.clear();  // nothing of ours to remove
        throw;
      }
      break;
    }
    TJwwWriter writer(file);
    WriteHeaderSection(writer, Version);
    WriteEntitySection(writer, Version);
    writer.Flush();
    file.Sync();
    file.Close();
    qm::MoveNoReplace(temp, path);
    temp.clear();
    qm::SyncFolder(folder);
    return true;
  } catch (const EJwwError& e) {
    LastError = qm::PathToUtf8(path) + ": " + e.what();
  } catch (const qm::EFileError& e) {
    LastError = qm::PathToUtf8(path) + ": " + e.what();
  } catch (const std::bad_alloc&) {
    LastError = qm::PathToUtf8(path) + ": not enough memory";
  } catch (const std::filesystem::filesystem_error& e) {
    LastError = qm::PathToUtf8(path) + ": " + e.what();
  }
  if (!temp.empty()) qm::DeleteFileIfExists(temp);
  return false;
}
