#include "help.h"

#include <array>

#include "picture.h"

namespace qm {

namespace {

constexpr std::string_view ConvertSynopsis = "quillmark [convert] [OPTIONS] PATH...\n";
constexpr std::string_view InfoSynopsis = "quillmark info [--json] [--all] [-r] [--remove KIND] [--encoding ENC] PATH...\n";
constexpr std::string_view RenderSynopsis =
    "quillmark render DRAWING.jww [-o OUT.svg] [--view screen|print]\n"
    "                        [--hidden omit|mark|only] [--layers-all]\n";
constexpr std::string_view HelpSynopsis = "quillmark help [COMMAND]\n";

constexpr std::string_view ConvertPurpose =
    "Removes the hidden content of JWW drawings. For every drawing that has a\n"
    "hidden layer group or layer, writes NAME_2.JWW (or _3, _4, ...: the first\n"
    "free name) beside it, or in the folder of -o, without the elements on\n"
    "hidden groups and layers, with their names emptied and without the block\n"
    "definitions nothing reaches. The source files are never changed. Each\n"
    "file is reported as soon as it is done (three lines, then the reason it\n"
    "could not be read or converted), and the totals end the report. A drawing\n"
    "named that is itself an output of an earlier run (NAME_2.JWW beside\n"
    "NAME.jww) is converted all the same, with a warning.\n";

constexpr std::string_view InfoPurpose =
    "Shows what each drawing holds (version, elements, block definitions,\n"
    "images, hidden groups and layers) and what a conversion would make of it\n"
    "(a dry run that reads every drawing to its end); paths in full.\n";

constexpr std::string_view PathRules =
    "A PATH is a drawing, or a folder: its *.jww files (any letter case) in\n"
    "name order, without the outputs of earlier runs (NAME_2.JWW beside\n"
    "NAME.jww)."
#ifdef _WIN32
    " A pattern with * or ? in its last part (*.jww, plans\\*.JWW)\n"
    "stands for the matching names of its folder, letters regardless of case.\n"
#else
    "\n"
#endif
    ;

constexpr std::string_view Commands =
    "Commands:\n"
    "  convert PATH...       convert the drawings in order, report each when done\n"
    "                        (the default when the first argument is a path)\n"
    "                          quillmark convert plans/a.jww plans/b.jww\n"
    "  info PATH...          show version, elements, block definitions, images and\n"
    "                        hidden layers, and what a conversion would make of\n"
    "                        the drawing (a dry run); paths in full\n"
    "                          quillmark info plans\n"
    "  render DRAWING        draw it as an SVG picture, hidden material left out,\n"
    "                        marked or alone\n"
    "                          quillmark render plans/a.jww --hidden mark\n"
    "  help [COMMAND]        show the help of a command, or this overview\n"
    "                          quillmark help convert\n";

// Who takes an option.
enum TTakers : unsigned { Convert = 1, Info = 2, Both = Convert | Info };

struct TOption {
  unsigned Takers;
  // Its lines; "{}" in an example stands for the command shown.
  std::string_view Text;
};

constexpr std::array<TOption, 13> Options = {{
    {Both,
     "  -r, --recursive       folders with their subfolders\n"
     "                          quillmark {} -r project\n"},
    {Convert,
     "  -o, --output-dir DIR  write the outputs to DIR (created when needed; the\n"
     "                        next free NAME_N.JWW there); with -r the subfolders\n"
     "                        below a named folder are made again in DIR\n"
     "                          quillmark convert -r -o cleaned project\n"},
    {Convert,
     "  --dry-run             load and check every drawing, report the output name\n"
     "                        and what would be removed, write nothing\n"
     "                          quillmark convert --dry-run -r project\n"},
    {Convert,
     "  --skip-converted      pass by the drawings converted already: those with an\n"
     "                        output of an earlier run (NAME_2.JWW ... beside them,\n"
     "                        or in the folder of -o) newer than the drawing;\n"
     "                        reported as skipped, which is not a failure\n"
     "                          quillmark convert --skip-converted -r project\n"},
    {Both,
     "  --remove KIND[,KIND]  remove besides the hidden layers' content: memo,\n"
     "                        off-sheet (elements wholly outside the sheet),\n"
     "                        temporary-points, auxiliary (auxiliary lines and\n"
     "                        colour), or all; a drawing without hidden layers\n"
     "                        that holds one of them is converted too (info shows\n"
     "                        what each drawing holds, and what would go)\n"
     "                          quillmark {} --remove memo,off-sheet project\n"},
    {Info,
     "  --all                 every hidden group and layer, also those that hold\n"
     "                        no element and have no name\n"
     "                          quillmark info --all plans\n"},
    {Both,
     "  --json                one JSON object a line on stdout, written as each file\n"
     "                        is done, info's and convert's alike (source, outcome,\n"
     "                        version, strings, elements, block_definitions,\n"
     "                        images, undrawable, hidden, found,\n"
     "                        off_sheet_extent, removed, empty_output,\n"
     "                        visible_unchanged, normalised, output, failure,\n"
     "                        detail, seconds), then\n"
     "                        {\"summary\": ...}; always UTF-8, bytes of a name\n"
     "                        that are not UTF-8 as \\udcXX\n"
     "                          quillmark {} --json project > report.jsonl\n"},
    {Convert,
     "  -q, --quiet           report only the files that failed (and then the\n"
     "                        totals)\n"
     "                          quillmark convert -q -r project\n"},
    {Convert,
     "  -j, --jobs N          convert N files at once (default: as many as the\n"
     "                        machine has processors; the report keeps its order)\n"
     "                          quillmark convert -j 1 -r project\n"},
    {Both,
     "  --encoding ENC        text report in utf8 (default) or sjis (Shift-JIS)\n"
     "                          quillmark {} --encoding sjis a.jww > report.txt\n"},
    {Both, "  -h, --help            show this help\n"},
    {Both, "  -V, --version         show the version\n"},
    {Both,
     "  --                    the arguments after it are paths\n"
     "                          quillmark {} -- -draft.jww\n"},
}};

constexpr std::string_view ConvertStatus =
    "Exit status: 0 when every file was converted, had nothing hidden or was\n"
    "skipped (or, in a dry run, would be converted), 1 when a file was missing,\n"
    "not .JWW, unreadable or failed, or the report could not be written, 2 for\n"
    "a usage error, 130 when interrupted (the batch stops after the file in\n"
    "progress).\n";

constexpr std::string_view InfoStatus =
    "Exit status: 0 when every drawing was read to its end, 1 when a file was\n"
    "missing, not .JWW or did not read to its end, or the report could not be\n"
    "written, 2 for a usage error, 130 when interrupted.\n";

// The options that takers take, their examples shown with command.
std::string OptionList(unsigned takers, std::string_view command) {
  std::string out = takers == Both ? "Options (info takes -r, --remove, --all, --json, --encoding):\n" : "Options:\n";
  for (const TOption& option : Options) {
    if (!(option.Takers & takers)) continue;
    std::string text(option.Text);
    if (const size_t at = text.find("{}"); at != std::string::npos) text.replace(at, 2, command);
    out += text;
  }
  return out;
}

std::string Text(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (const std::string_view part : parts) out += part;
  return out;
}

}  // namespace

std::optional<std::string> HelpText(std::string_view command) {
  if (command.empty() || command == "help")
    return Text({"Usage: ", ConvertSynopsis, "       ", InfoSynopsis, "       ", RenderSynopsis, "       ",
                 HelpSynopsis, "\n", ConvertPurpose, "\n", PathRules, "\n", Commands, "\n",
                 OptionList(Both, "convert"), "\n", ConvertStatus});
  if (command == "convert")
    return Text({"Usage: ", ConvertSynopsis, "\n", ConvertPurpose, "\n", PathRules, "\n",
                 OptionList(Convert, "convert"), "\n", ConvertStatus});
  if (command == "info")
    return Text({"Usage: ", InfoSynopsis, "\n", InfoPurpose, "\n", PathRules, "\n", OptionList(Info, "info"), "\n",
                 InfoStatus});
  if (command == "render") return std::string(RenderUsage);
  return std::nullopt;
}

}  // namespace qm
