#include "Unit2.h"

namespace qm {

std::string TForm2::Text(const char* lineBreak) const {
  std::string text;
  for (const std::string& line : Lines_) {
    text += line;
    text += lineBreak;
  }
  return text;
}

}  // namespace qm
