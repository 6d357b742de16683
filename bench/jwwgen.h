// Large drawings for the benchmark, written element by element with the test
// builder (never held whole in memory).
#pragma once

#include <cstdint>
#include <filesystem>

namespace jwwgen {

// A version 7.00 drawing of the given number of elements: 40 % lines, 12 %
// arcs, 10 % points, 12 % texts, 6 % dimensions, 10 % solids, 10 % block
// inserts; 50 block definitions (ten of them nested); images embedded (each
// imageBytes long), one shown only by a hidden text; 20 % of the elements on
// a hidden layer group or layer. Everything lies within 100 m of the centre,
// 100,000 elements a row.
void MixedDrawing(const std::filesystem::path& path, uint32_t elements, int images = 4,
                  uint32_t imageBytes = 256 * 1024, int32_t version = 700);
// count drawings d0000.jww ... in folder with the size mix of real ones: 15 to
// 350 KB, median about 50 KB; a third version 7.00 with one or two images,
// the others of older versions; 20 % of their elements hidden. The same seed
// gives the same drawings. Returns their total size in bytes.
uint64_t RealisticBatch(const std::filesystem::path& folder, uint32_t count, uint32_t seed = 1);
// count block inserts (20 % hidden) of 20 definitions of 50 elements each
// (lines, arcs and circles, texts, solids, points; five of them holding an
// insert of another), on a grid within 40 m of the centre: turned by multiples
// of 45 degrees, at their own size, twice, half or mirrored; one in a hundred
// stretched along x only.
void ManyInserts(const std::filesystem::path& path, uint32_t count);
// count empty block definitions and one insert of the first.
void EmptyDefinitions(const std::filesystem::path& path, uint32_t count);
// A chain of count definitions, each inserting the next; one insert of the first.
void NestedChain(const std::filesystem::path& path, uint32_t count);

// count images of 64 bytes and count texts, text i showing image i; one text in
// five on a hidden layer group or layer (the image it shows is removed).
void ImagesAndTexts(const std::filesystem::path& path, uint32_t count);

}  // namespace jwwgen
