// `quillmark render`: one drawing as an SVG picture.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "svg.h"

namespace qm {

// The usage text of the command.
extern const char* const RenderUsage;

// Runs the command on the arguments that follow the word "render" (UTF-8);
// returns the exit status: 0 written, 1 the drawing or the picture failed,
// 2 a usage error. Messages go to err, the report line to out (or, when the
// picture goes to stdout, to err).
int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The picture's name when none is given: beside the drawing, its name with
// ".svg", or ".mark.svg", ".only.svg", ".all.svg" for the other modes; a
// print's with ".print" before them (".print.svg", ".print.mark.svg" ...).
std::filesystem::path DefaultRenderOutput(const std::filesystem::path& drawing, const view::TSvgOptions& options);

// "N element(s) cannot be drawn (not finite, or beyond 100 m)".
std::string UndrawableLine(uint64_t elements);

}  // namespace qm
