// libFuzzer target: clang++ -fsanitize=fuzzer,address,undefined (see CMakeLists.txt).
#include "fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qmfuzz::CheckLoadAndRewrite(data, size);
  return 0;
}
