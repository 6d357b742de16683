// A failure in the window's words: a Japanese sentence made from its kind,
// the byte offset and what was being read or written, never from its English
// detail (which the command line prints as it is).
#pragma once

#include <string>

#include "jwwfailure.h"

namespace qm {

// "ファイルが途中で終わっています（バイト位置 4997、拡張線色を読み込み中）",
// "JWW の図面ではありません（先頭が JwwData. ではありません）", "空のファイルです",
// "出力フォルダを作成できません" ... (UTF-8); empty for no failure.
std::string FailureReason(const TFailure& failure);

}  // namespace qm
