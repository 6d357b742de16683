#include "picture.h"

#include <iostream>
#include <optional>
#include <streambuf>

#include "fileio.h"
#include "jwwunit.h"
#include "report.h"
#include "road.h"
#include "textconv.h"

namespace qm {

namespace fs = std::filesystem;

const char* const RenderUsage =
    "Usage: quillmark render DRAWING.jww [-o OUT.svg] [--view screen|print]\n"
    "                        [--hidden omit|mark|only] [--layers-all]\n"
    "\n"
    "Draws a JWW drawing as an SVG picture (paper millimetres, the sheet and\n"
    "every element, also those off the sheet). The drawing is only read.\n"
    "\n"
    "  --view screen         what the CAD program shows (the default)\n"
    "  --view print          what a print of the sheet holds: no temporary points,\n"
    "                        no auxiliary elements, everything cut to the sheet\n"
    "  --hidden omit         what the CAD program shows: hidden layer groups and\n"
    "                        layers left out (the default)\n"
    "  --hidden mark         the shown drawing faint, the material on hidden layers\n"
    "                        above it in red: what a conversion removes\n"
    "  --hidden only         the material on hidden layers alone\n"
    "  --layers-all          every layer as if shown (with omit only)\n"
    "  -o, --output OUT.svg  where the picture goes; '-' for stdout. A file named\n"
    "                        here is replaced (a link's target, the link kept);\n"
    "                        a device or FIFO is written to as it is\n"
    "  -h, --help            show this help\n"
    "\n"
    "Without -o the picture goes beside the drawing: NAME.svg, or NAME.mark.svg,\n"
    "NAME.only.svg, NAME.all.svg for the other modes (NAME.print.svg,\n"
    "NAME.print.mark.svg ... for a print); an existing file of that name is never\n"
    "replaced (name it with -o to replace it).\n"
    "  quillmark render plan.jww --hidden mark      writes plan.mark.svg\n"
    "\n"
    "Exit status: 0 written, 1 the drawing could not be read or the picture not\n"
    "written, 2 a usage error.\n";

namespace {

// An output stream buffer that writes to a file and keeps the first failure.
class TFileBuffer : public std::streambuf {
 public:
  explicit TFileBuffer(TFile& file) : File_(file) { setp(Buffer_, Buffer_ + sizeof Buffer_); }
  const std::string& Error() const noexcept { return Error_; }

 protected:
  int_type overflow(int_type c) override {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (n <= epptr() - pptr()) {
      traits_type::copy(pptr(), s, static_cast<size_t>(n));
      pbump(static_cast<int>(n));
      return n;
    }
    if (!Drain() || !Write(s, static_cast<size_t>(n))) return 0;
    return n;
  }
  int sync() override { return Drain() ? 0 : -1; }

 private:
  bool Drain() {
    const auto n = static_cast<size_t>(pptr() - pbase());
    setp(Buffer_, Buffer_ + sizeof Buffer_);
    return n == 0 || Write(Buffer_, n);
  }
  bool Write(const char* s, size_t n) {
    if (!Error_.empty()) return false;
    try {
      File_.Write(s, n);
      return true;
    } catch (const EFileError& e) {
      Error_ = e.what();
      return false;
    }
  }

  TFile& File_;
  char Buffer_[64 * 1024];
  std::string Error_;
};

struct TRenderArgs {
  fs::path Input;
  std::optional<std::string> Output;  // as given; "-" is stdout
  view::TSvgOptions Svg;
};

// Reads the arguments; -1 to go on, else the exit status.
int Parse(const std::vector<std::string>& args, TRenderArgs& r, std::ostream& out, std::ostream& err) {
  auto usage = [&err](const std::string& message) {
    err << "quillmark: " << message << "\nTry 'quillmark render --help'.\n";
    return 2;
  };
  std::vector<std::string> inputs;
  bool endOfOptions = false;
  std::optional<std::string> hidden, view;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const std::string& name, std::optional<std::string>& into) {
      if (a.size() > name.size() && a[name.size()] == '=') into = a.substr(name.size() + 1);
      else if (a.size() > 2 && name == "-o") into = a.substr(2);
      else if (i + 1 < args.size()) into = args[++i];
      else return false;
      return true;
    };
    if (endOfOptions || a == "-" || a.empty() || a[0] != '-') {
      inputs.push_back(a);
    } else if (a == "--") {
      endOfOptions = true;
    } else if (a == "-h" || a == "--help") {
      out << RenderUsage;
      return 0;
    } else if (a == "--layers-all") {
      r.Svg.AllLayers = true;
    } else if (a == "--hidden" || a.starts_with("--hidden=")) {
      if (!value("--hidden", hidden)) return usage("--hidden needs omit, mark or only");
    } else if (a == "--view" || a.starts_with("--view=")) {
      if (!value("--view", view)) return usage("--view needs screen or print");
    } else if (a == "--output" || a.starts_with("--output=") || a.starts_with("-o")) {
      if (r.Output) return usage("the output is named twice");
      if (!value(a.starts_with("-o") ? "-o" : "--output", r.Output) || r.Output->empty())
        return usage(a + " needs a file name");
    } else {
      return usage("unknown option '" + a + "'");
    }
  }
  if (hidden) {
    if (*hidden == "omit") r.Svg.Hidden = view::THidden::Omit;
    else if (*hidden == "mark") r.Svg.Hidden = view::THidden::Mark;
    else if (*hidden == "only") r.Svg.Hidden = view::THidden::Only;
    else return usage("unknown --hidden '" + *hidden + "' (use omit, mark or only)");
  }
  if (view) {
    if (*view == "screen") r.Svg.View = view::TView::Screen;
    else if (*view == "print") r.Svg.View = view::TView::Print;
    else return usage("unknown --view '" + *view + "' (use screen or print)");
  }
  if (r.Svg.AllLayers && r.Svg.Hidden != view::THidden::Omit)
    return usage("--layers-all shows every layer, so nothing is hidden to mark or show alone");
  if (inputs.empty()) return usage("no drawing given");
  if (inputs.size() > 1) return usage("one drawing at a time");
  r.Input = PathFromUtf8(inputs[0]);
  return -1;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::absolute(a, ec).lexically_normal() == fs::absolute(b, ec).lexically_normal()) return true;
  const auto x = FileIdentity(a), y = FileIdentity(b);
  return x && y && *x == *y;
}

std::string Report(const view::TSvgResult& r) {
  return std::to_string(r.ShownItems) + " items shown, " + std::to_string(r.HiddenItems) + " hidden";
}

void Warnings(const view::TSvgResult& r, std::ostream& err) {
  const view::TRenderResult& x = r.Render;
  if (x.BudgetCut)
    err << "quillmark: the picture is not complete: its block inserts make more than "
        << view::TRenderOptions{}.Budget << " items\n";
  if (x.DepthCuts)
    err << "quillmark: " << x.DepthCuts << " block inserts nested deeper than " << view::TRenderOptions{}.MaxDepth
        << " levels are left out\n";
  if (x.CycleCuts) err << "quillmark: " << x.CycleCuts << " block inserts that insert themselves are left out\n";
  if (x.Undrawable) err << "quillmark: " << UndrawableLine(x.Undrawable) << "\n";
}

}  // namespace

std::string UndrawableLine(uint64_t elements) {
  return std::to_string(elements) + " element(s) cannot be drawn (not finite, or beyond 100 m)";
}

fs::path DefaultRenderOutput(const fs::path& drawing, const view::TSvgOptions& options) {
  const char* suffix = options.AllLayers                         ? ".all.svg"
                       : options.Hidden == view::THidden::Mark ? ".mark.svg"
                       : options.Hidden == view::THidden::Only ? ".only.svg"
                                                               : ".svg";
  fs::path out = drawing;
  const std::string view = options.View == view::TView::Print ? ".print" : "";
  out.replace_filename(drawing.stem().native() + PathFromUtf8(view + suffix).native());
  return out;
}

namespace {

// Writes the picture into a stream it opened and closes it; the first
// failure of either, or empty.
std::string WritePicture(TFile& file, const TJwwData& doc, const view::TSvgOptions& options,
                         view::TSvgResult& result) {
  TFileBuffer buffer(file);
  std::ostream stream(&buffer);
  result = view::WriteSvg(doc, stream, options);
  stream.flush();
  if (!stream || !buffer.Error().empty()) return buffer.Error().empty() ? std::string("a write failed") : buffer.Error();
  return {};
}

}  // namespace

int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TRenderArgs r;
  if (const int status = Parse(args, r, out, err); status >= 0) return status;
  const std::string input = Printable(PathToUtf8(r.Input));
  // The refusals and the load of every road (no work folder: the images'
  // bytes are not kept).
  TJwwData doc;
  if (const std::optional<TFileResult> refused = LoadSource(r.Input, doc)) {
    err << "quillmark: " << FailureMessage(*refused) << "\n";
    return 1;
  }
  const bool toStdout = r.Output && *r.Output == "-";
  const bool named = r.Output.has_value();
  const fs::path output = named ? PathFromUtf8(*r.Output) : DefaultRenderOutput(r.Input, r.Svg);
  const std::string outputName = toStdout ? "stdout" : Printable(PathToUtf8(output));
  TOutputPlace place;
  if (!toStdout) {
    try {
      place = ExamineOutputPlace(output);
    } catch (const EFileError& e) {
      err << "quillmark: " << Printable(e.what()) << (named ? "\n" : " (name another file with -o)\n");
      return 1;
    }
    if (place.Kind != TOutputPlace::TKind::Stream && SameFile(r.Input, place.Path)) {
      err << "quillmark: " << outputName << " is the drawing itself; name another file\n";
      return 1;
    }
    if (!named && place.Kind != TOutputPlace::TKind::New) {
      err << "quillmark: " << outputName << " exists; remove it, or name it with -o to replace it\n";
      return 1;
    }
  }

  if (toStdout) {
    const view::TSvgResult result = view::WriteSvg(doc, out, r.Svg);
    out.flush();
    Warnings(result, err);
    if (!out) {
      err << "quillmark: the picture could not be written to stdout\n";
      return 1;
    }
    err << input << " -> stdout (" << Report(result) << ")\n";
    return 0;
  }
  try {
    view::TSvgResult result;
    if (place.Kind == TOutputPlace::TKind::Stream) {
      // A device or FIFO is written as it is: it is never replaced by a file.
      TFile stream = TFile::OpenStream(place.Path);
      if (const std::string failed = WritePicture(stream, doc, r.Svg, result); !failed.empty()) {
        err << "quillmark: " << outputName << ": not written: " << Printable(failed) << "\n";
        return 1;
      }
      stream.Close();
    } else {
      // Written beside the file it becomes (a link's target for a link) and
      // moved there only when complete.
      TTempFile temp(fs::absolute(place.Path).parent_path());
      if (const std::string failed = WritePicture(temp.File(), doc, r.Svg, result); !failed.empty()) {
        err << "quillmark: " << outputName << ": not written: " << Printable(failed) << "\n";
        return 1;
      }
      if (place.Kind == TOutputPlace::TKind::File) {
        // Replaced only while it is still the file it was: whatever took its
        // place meanwhile is left as it is.
        if (!StillRegularFile(place.Path)) {
          err << "quillmark: " << outputName << " changed meanwhile; it is left as it is\n";
          return 1;
        }
        temp.CommitReplacing(place.Path);
      } else if (!temp.Commit(place.Path)) {
        err << "quillmark: " << outputName << " appeared meanwhile; it is left as it is\n";
        return 1;
      }
    }
    Warnings(result, err);
    out << input << " -> " << outputName << " (" << Report(result) << ")\n";
    return 0;
  } catch (const std::exception& e) {
    err << "quillmark: " << outputName << ": not written: " << Printable(e.what()) << "\n";
    return 1;
  }
}

}  // namespace qm
