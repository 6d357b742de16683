// The command line's help: one text for each command, which
// "quillmark help COMMAND" and "quillmark COMMAND --help" both show, and an
// overview of them all ("quillmark help", "quillmark --help"). Each option is
// described once and shown by every command that takes it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm {

// The help of command ("convert", "info", "render"); with an empty command
// or "help" the overview: every command, every option of convert and info,
// the exit status. Nothing for a word that names no command.
std::optional<std::string> HelpText(std::string_view command);

}  // namespace qm
