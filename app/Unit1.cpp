#include "Unit1.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <system_error>
#include <unordered_set>

#include "Func_.h"
#include "fileio.h"
#include "messages.h"
#include "purge.h"
#include "textconv.h"

namespace qm {

namespace {

// Sets a flag for the lifetime of a scope, also when it is left by an exception.
class TFlagGuard {
 public:
  explicit TFlagGuard(bool& flag) : Flag_(flag) { Flag_ = true; }
  ~TFlagGuard() { Flag_ = false; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

 private:
  bool& Flag_;
};

// A line of the settings file (line 10) back to a folder: UTF-8 as written by
// this program, or the Shift-JIS of older settings files.
std::filesystem::path FolderFromSettingsLine(const std::string& line) {
  if (IsValidUtf8(line)) return PathFromUtf8(line);
  if (auto path = PathFromSjis(line)) return *path;
  return PathFromUtf8(line);
}

// The second line of a dry run's report for a drawing that would be converted.
std::string DryRunLine(const TRemovedCounts& removed) {
  return "　変換できます（削除するもの: 要素 " + std::to_string(removed.Elements) +
         "、ブロック定義 " + std::to_string(removed.BlockDefs) + "、画像 " + std::to_string(removed.Images) +
         "。--dry-run のため書き込みません）";
}

}  // namespace

TForm1::TForm1(IListBox& list, IStatusBar& status, IApplication& application, IWindowBounds& bounds, TForm2& form2,
               IBatchObserver& observer)
    : ListBox1_(list),
      StatusBar1_(status),
      Application_(application),
      Bounds_(bounds),
      Form2_(form2),
      Observer_(observer) {}

TForm1::~TForm1() { EndWork(); }

std::filesystem::path TForm1::SettingsPathFor(const std::filesystem::path& executable) {
  std::filesystem::path p = executable;
  p.replace_extension(".dat");
  return p;
}

void TForm1::FormShow(const std::filesystem::path& executable) {
  ProgramFolder = executable.parent_path() / "";
  SettingsPath_ = SettingsPathFor(executable);
  LoadSettings(SettingsPath_);
  ClearTempFileList();
  SharedTempFolder_ = ProgramFolder / "TEMP";
  std::error_code ec;
  std::filesystem::create_directory(SharedTempFolder_, ec);  // may exist already or be refused
  StartWork(SharedTempFolder_);
  ListBox1_.Clear();
}

void TForm1::FormClose() {
  EndWork();
  if (!SharedTempFolder_.empty()) {
    std::error_code ec;
    std::filesystem::remove(SharedTempFolder_, ec);  // stays when other files are in it
  }
  ClearTempFileList();
  SaveSettings(SettingsPath_);
}

void TForm1::StartWork(const std::filesystem::path& workParent) {
  EndWork();
  try {
    WorkScope_ = std::make_unique<TWorkFolderScope>(workParent);
  } catch (const std::exception&) {
    // A program folder without write access (an installed program): use the
    // system's temporary folder instead.
    try {
      FallbackTempFolder_ = SystemTempFolder() / "Quillmark";
      WorkScope_ = std::make_unique<TWorkFolderScope>(FallbackTempFolder_);
    } catch (const std::exception&) {
      WorkScope_.reset();  // images cannot be extracted; such drawings fail to load
    }
  }
  Document = std::make_unique<TJwwData>();
}

std::string TForm1::EndWork() {
  Document.reset();
  std::string problem;
  if (WorkScope_) problem = WorkScope_->Close();  // deletes the listed files, removes the folder, empties the list
  WorkScope_.reset();
  if (!FallbackTempFolder_.empty()) {
    std::error_code ec;
    std::filesystem::remove(FallbackTempFolder_, ec);  // stays while another instance uses it
    FallbackTempFolder_.clear();
  }
  return problem;
}

std::string TForm1::UpperExtension(const std::filesystem::path& path) {
  const std::string name = PathToUtf8(path.filename());
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return ext;
}

std::filesystem::path TForm1::OutputPathFor(const std::filesystem::path& source) {
  return OutputPathFor(source, source.parent_path());
}

std::filesystem::path TForm1::OutputPathFor(const std::filesystem::path& source, const std::filesystem::path& folder,
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

std::filesystem::path TForm1::OutputFolderOf(const std::filesystem::path& source) const {
  return OutputFolderFor ? OutputFolderFor(source) : source.parent_path();
}

// The output name of a source now. A dry run writes nothing, so the names it
// has given out count as taken, as their files would be.
std::filesystem::path TForm1::NextOutputPath(const std::filesystem::path& source) const {
  if (!DryRun || PlannedOutputs_.empty()) return OutputPathFor(source, OutputFolderOf(source));
  return OutputPathFor(source, OutputFolderOf(source),
                       [this](const std::filesystem::path& p) { return PlannedOutputs_.contains(ListKey(p)); });
}

// The key under which the list holds a file: its path with every letter
// upper-cased, so that names differing only in letter case are one entry.
std::u16string TForm1::ListKey(const std::filesystem::path& file) {
  return Func_::UnicodeUpperCase(PathToUtf16(file));
}

bool TForm1::CanList(const std::filesystem::path& file) const {
  return !file.empty() && UpperExtension(file) == ".JWW" && FileExists(file);
}

void TForm1::ListFiles(const std::vector<std::filesystem::path>& files) {
  // The list's entries are looked up by key, once per call: adding many
  // files costs as much per file as adding one.
  std::unordered_set<std::u16string> listed;
  listed.reserve(static_cast<size_t>(ListBox1_.Count()) + files.size());
  for (int i = 0; i < ListBox1_.Count(); ++i) listed.insert(ListKey(ListBox1_.Item(i)));
  for (const std::filesystem::path& file : files)
    if (CanList(file) && listed.insert(ListKey(file)).second) ListBox1_.Add(file);
}

bool TForm1::Button1Click(const std::vector<std::filesystem::path>& chosen) {
  if (Busy_) return false;
  if (chosen.empty()) return true;  // the dialog was cancelled
  LastFolder = chosen.front().parent_path() / "";
  ListFiles(chosen);
  return true;
}

bool TForm1::WMDropFiles(const std::vector<std::filesystem::path>& dropped) {
  if (Busy_) return false;
  ListFiles(dropped);
  return true;
}

bool TForm1::Button2Click() {
  if (Busy_) return false;
  if (ListBox1_.Count() == 0 || ListBox1_.ItemIndex() < 0) return true;
  for (int i = ListBox1_.Count() - 1; i >= 0; --i)
    if (ListBox1_.Selected(i)) ListBox1_.Delete(i);
  return true;
}

bool TForm1::Button4Click() {
  if (Busy_) {
    CloseRequested_ = true;
    return false;
  }
  return true;
}

void TForm1::CleanWorkFolder() noexcept {
  DeleteTempFiles();
  DeleteTempGzFiles();
  DeleteTempUnpackedFiles();
  ClearTempFileList();
}

void TForm1::Button3Click() {
  if (Busy_ || ListBox1_.Count() == 0) return;
  TFlagGuard busy(Busy_);
  Interrupted_ = false;
  Results_.clear();
  PlannedOutputs_.clear();
  Form2_.ClearLines();
  ListBox1_.ClearSelection();
  if (!Document) Document = std::make_unique<TJwwData>();

  // The batch works on the list as it was when Convert was pressed; should
  // the list change meanwhile, the selection follows only the same items.
  std::vector<std::filesystem::path> names;
  const int count = ListBox1_.Count();
  for (int k = 0; k < count; ++k) names.push_back(ListBox1_.Item(k));
  Observer_.BatchStarted(count);
  auto select = [&](int k, bool on) {
    if (k < ListBox1_.Count() && ListBox1_.Item(k) == names[static_cast<size_t>(k)]) ListBox1_.SetSelected(k, on);
  };

  for (int k = 0; k < count; ++k) {
    const std::filesystem::path& name = names[static_cast<size_t>(k)];
    TFileResult result;
    result.Source = name;
    result.Output = NextOutputPath(name);
    select(k, true);
    StatusBar1_.SetSimpleText(std::string(Msg::Converting) + PathToUtf8(name) + std::string(Msg::ConvertingEnd));
    Observer_.FileStarted(k, name);
    if (!Application_.ProcessMessages()) {
      select(k, false);
      Interrupted_ = true;
      break;
    }
    Form2_.AppendLine(std::string(Msg::FileOpen) + PathToUtf8(name) + std::string(Msg::FileClose));
    try {
      ConvertOne(name, result.Output, result);
    } catch (const std::exception& e) {
      // Nothing below should raise; should it happen, the file still gets its
      // two lines and the next file its turn.
      CleanWorkFolder();
      if (Document) Document->ClearDocument();
      result.Outcome = TOutcome::Failed;
      result.Detail = e.what();
      Form2_.AppendLine(std::string(Msg::FailedTo) + PathToUtf8(result.Output));
      Form2_.AppendLine(std::string(Msg::Failed));
    }
    Results_.push_back(std::move(result));
    select(k, false);
    Observer_.FileFinished(k, Results_.back());
    if (!Application_.ProcessMessages()) {
      Interrupted_ = k + 1 < count;
      break;
    }
  }
  StatusBar1_.SetSimpleText(std::string(Msg::IdleHint));
  Observer_.BatchFinished(Interrupted_);
  Form2_.ShowModal();
}

void TForm1::ConvertOne(const std::filesystem::path& name, const std::filesystem::path& outputPath,
                        TFileResult& result) {
  auto skip = [&](TOutcome outcome, std::string_view reason) {
    result.Outcome = outcome;
    Form2_.AppendLine(std::string(reason));
    Form2_.AppendLine(std::string(Msg::Skipped));
  };
  if (!FileExists(name)) return skip(TOutcome::NotFound, Msg::NotFound);
  if (UpperExtension(name) != ".JWW") return skip(TOutcome::NotJww, Msg::NotJww);
  TJwwData& doc = *Document;
  if (!doc.CheckSignature(name)) {
    result.Detail = PathToUtf8(name) + ": the file does not start with \"JwwData.\"";
    result.Failure = TJwwFailure::Corrupt;
    skip(TOutcome::Unreadable, Msg::Unreadable);
    doc.ClearDocument();
    return;
  }
  if (!doc.LoadForLayerTest(name, 1)) {
    result.Detail = doc.LastError;
    result.Failure = doc.LastFailure;
    skip(TOutcome::Unreadable, Msg::Unreadable);
    doc.ClearDocument();
    return;
  }
  if (!HasHiddenLayer(doc)) {
    skip(TOutcome::NothingHidden, Msg::NothingHidden);
    doc.ClearDocument();
    return;
  }
  ConvertSource_ = name;
  if (!doc.LoadDocument(name)) {
    // A drawing that does not read completely is never written out.
    result.Detail = doc.LastError;
    result.Failure = doc.LastFailure;
    skip(TOutcome::Unreadable, Msg::Unreadable);
  } else if (ConvertFile(outputPath)) {
    result.Output = SavedOutput_;
    result.Removed = ConvertRemoved_;
    Form2_.AppendLine(std::string(Msg::ConvertedTo) + PathToUtf8(SavedOutput_));
    if (DryRun) {
      result.Outcome = TOutcome::WouldConvert;
      PlannedOutputs_.insert(ListKey(SavedOutput_));
      Form2_.AppendLine(DryRunLine(ConvertRemoved_));
    } else {
      result.Outcome = TOutcome::Converted;
      result.Warning = ConvertWarning_;
      Form2_.AppendLine(std::string(Msg::Converted));
    }
  } else {
    result.Outcome = TOutcome::Failed;
    result.Detail = ConvertDetail_;
    result.Failure = ConvertFailure_;
    Form2_.AppendLine(std::string(Msg::FailedTo) + PathToUtf8(outputPath));
    Form2_.AppendLine(std::string(Msg::Failed));
  }
  ConvertSource_.clear();
  ConvertWarning_.clear();
  CleanWorkFolder();
  doc.ClearDocument();
}

bool TForm1::ConvertFile(const std::filesystem::path& outputPath) {
  ConvertDetail_.clear();
  ConvertFailure_ = TJwwFailure::None;
  ConvertRemoved_ = {};
  SavedOutput_ = outputPath;
  TJwwData& doc = *Document;
  // The images the writer keeps are those a remaining text shows: the ones
  // shown before the purge and no longer after it are what it removes.
  std::vector<TBindImageType> shownBefore = doc.Images;
  if (!shownBefore.empty()) doc.MarkImagesInUse(shownBefore);
  const TPurgeResult purge = PurgeHiddenMaterial(doc);
  ConvertRemoved_.Elements = purge.RemovedElements;
  ConvertRemoved_.BlockDefs = purge.RemovedBlockDefs;
  if (!shownBefore.empty()) {
    std::vector<TBindImageType> shownAfter = doc.Images;
    doc.MarkImagesInUse(shownAfter);
    for (size_t i = 0; i < shownBefore.size(); ++i)
      ConvertRemoved_.Images += shownBefore[i].InUse && !shownAfter[i].InUse;
  }
  // The purge's result is checked before anything is written: hidden material
  // must never reach a file.
  if (const std::string leak = FindHiddenMaterial(doc); !leak.empty()) {
    ConvertDetail_ = PathToUtf8(outputPath) + ": not written: " + leak;
    ConvertFailure_ = TJwwFailure::Corrupt;
    return false;
  }
  if (DryRun) return CheckInMemory(outputPath);
  if (OutputFolderFor) {
    std::error_code ec;
    std::filesystem::create_directories(outputPath.parent_path(), ec);
    if (ec) {
      ConvertDetail_ = PathToUtf8(outputPath.parent_path()) + ": cannot create the folder: " + ec.message();
      ConvertFailure_ = TJwwFailure::IoError;
      return false;
    }
  }
  // The save reads its file back and compares it with the document before it
  // gives it its name; a name taken meanwhile (another conversion of the
  // same drawing) passes on to the next free one.
  const std::filesystem::path source = ConvertSource_;
  std::function<std::filesystem::path()> nextFree;
  if (!source.empty()) nextFree = [this, source] { return OutputPathFor(source, OutputFolderOf(source)); };
  if (!doc.SaveDocument(outputPath, doc.Header.Version, nextFree)) {
    ConvertDetail_ = doc.LastError;
    ConvertFailure_ = doc.LastFailure;
    return false;
  }
  SavedOutput_ = doc.SavedPath;
  ConvertWarning_ = doc.LastWarning;
  return true;
}

// The dry run's save: the purged drawing is written to memory, read back and
// compared with the document exactly as a save checks its file, so that a
// drawing the save would refuse (a text its string form cannot hold) fails
// here too.
bool TForm1::CheckInMemory(const std::filesystem::path& outputPath) {
  TJwwData& doc = *Document;
  const int32_t version = doc.Header.Version;
  try {
    doc.Header.Signature = "JwwData.";
    std::vector<uint8_t> bytes;
    std::vector<TWrittenImage> images;
    {
      TJwwWriter writer(bytes);
      doc.WriteHeaderSection(writer, version);
      doc.WriteEntitySection(writer, version, &images);
      writer.Flush();
    }
    TJwwReader back(bytes.data(), bytes.size());
    doc.CheckWrittenFile(back, version, images);
    return true;
  } catch (const EJwwError& e) {
    ConvertDetail_ = PathToUtf8(outputPath) + ": " + e.what();
    ConvertFailure_ = e.Kind();
  } catch (const EFileError& e) {
    ConvertDetail_ = PathToUtf8(outputPath) + ": " + e.what();
    ConvertFailure_ = TJwwFailure::IoError;
  } catch (const std::bad_alloc&) {
    ConvertDetail_ = PathToUtf8(outputPath) + ": not enough memory";
    ConvertFailure_ = TJwwFailure::IoError;
  }
  return false;
}

void TForm1::LoadSettings(const std::filesystem::path& path) {
  LastFolder = ProgramFolder;
  if (!FileExists(path)) return;
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  // Each value is applied as soon as its line is read. Past the end of a
  // short file the lines read as empty; a read error stops reading.
  auto next = [&](std::string& line) {
    line.clear();
    if (in.bad()) return false;
    std::getline(in, line);
    if (in.bad()) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  };
  std::string line;
  auto number = [&]() { return Func_::StrToIntOrZero(line); };
  if (!next(line)) return;
  Bounds_.SetLeft(number());
  if (!next(line)) return;
  Bounds_.SetTop(number());
  if (!next(line)) return;
  Bounds_.SetWidth(number());
  if (!next(line)) return;
  Bounds_.SetHeight(number());
  if (!next(line)) return;
  ListBox1_.SetWidth(std::clamp(number(), 20, 2000));
  IWindowBounds& result = Form2_.Bounds();
  if (!next(line)) return;
  result.SetLeft(number());
  if (!next(line)) return;
  result.SetTop(number());
  if (!next(line)) return;
  result.SetWidth(number());
  if (!next(line)) return;
  result.SetHeight(number());
  if (!next(line)) return;
  LastFolder = FolderFromSettingsLine(line);
}

void TForm1::SaveSettings(const std::filesystem::path& path) {
  if (path.empty()) return;
  std::string text;
  auto add = [&](const std::string& line) {
    text += line;
    text += "\r\n";
  };
  add(std::to_string(Bounds_.Left()));
  add(std::to_string(Bounds_.Top()));
  add(std::to_string(Bounds_.Width()));
  add(std::to_string(Bounds_.Height()));
  add(std::to_string(ListBox1_.Width()));
  IWindowBounds& result = Form2_.Bounds();
  add(std::to_string(result.Left()));
  add(std::to_string(result.Top()));
  add(std::to_string(result.Width()));
  add(std::to_string(result.Height()));
  add(PathToUtf8(LastFolder));
  // Written beside the settings file and moved over it when complete, so a
  // failure leaves the previous settings (or none), never a partial file.
  try {
    TTempFile temp(path.parent_path());
    temp.File().Write(text.data(), text.size());
    temp.File().Sync();
    temp.CommitReplacing(path);
  } catch (const std::exception&) {
    // The temporary file has gone with temp; the settings stay as they were.
  }
}

}  // namespace qm
