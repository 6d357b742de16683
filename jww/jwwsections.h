// The sections of a document one at a time, for tests that drive the reader,
// the writer and the read-back check on bytes of their own. The program
// itself only loads and saves whole drawings.
#pragma once

#include <vector>

#include "jwwunit.h"

namespace qm {

struct TJwwSections {
  static void ReadHeaderSection(TJwwData& d, TJwwReader& f) { d.ReadHeaderSection(f); }
  static void ReadEntitySection(TJwwData& d, TJwwReader& f) { d.ReadEntitySection(f); }
  static void ReadEntitySectionForLayerTest(TJwwData& d, TJwwReader& f, int32_t maxTags) {
    d.ReadEntitySectionForLayerTest(f, maxTags);
  }
  static void ReadEntityHeader(const TJwwData& d, TJwwReader& f, TEntJwwEntityHeader& h) { d.ReadEntityHeader(f, h); }
  static void WriteHeaderSection(const TJwwData& d, TJwwWriter& f, int32_t v) { d.WriteHeaderSection(f, v); }
  static void WriteEntitySection(const TJwwData& d, TJwwWriter& f, int32_t v,
                                 std::vector<TWrittenImage>* written = nullptr) {
    d.WriteEntitySection(f, v, written);
  }
  static void WriteImageTable(const TJwwData& d, TJwwWriter& f, std::vector<TWrittenImage>* written = nullptr) {
    d.WriteImageTable(f, written);
  }
  // Gives d the images (table and bytes) that another document loaded.
  static void TakeImages(TJwwData& d, TJwwData& from) { d.TakeImages(from); }
  static void CheckWrittenFile(const TJwwData& d, TJwwReader& f, int32_t v, const std::vector<TWrittenImage>& images) {
    d.CheckWrittenFile(f, v, images);
  }
};

}  // namespace qm
