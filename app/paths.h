// The drawings a command line names: files as they are, the drawings of
// folders (and of their subfolders), and on Windows wildcard patterns, which
// its shells hand over unexpanded.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "jwwfailure.h"

namespace qm {

struct TSource {
  std::filesystem::path Path;
  // Below a walked folder: the subfolder that holds the file, relative to the
  // folder that was named ("a/b" for a file in plans/a/b of the folder plans).
  // Empty for a named file and for a file of the named folder itself.
  std::filesystem::path SubFolder;
};

struct TPathRules {
  bool Recursive = false;  // a folder's subfolders too
  bool Wildcards = false;  // * and ? in the last part of a path
  // A folder that a walk never enters (the output folder), when not empty.
  std::filesystem::path SkipFolder;
};

struct TExpansion {
  std::vector<TSource> Sources;
  std::vector<TFailure> Problems;     // folders that could not be read
  bool Interrupted = false;           // stop was set before the expansion was done
};

// Every path in order, each in its place:
// - a folder: its files whose extension is .jww in any letter case, in name
//   order (letters regardless of case), without the outputs of earlier runs
//   (NAME_N.JWW, N from 2, beside a NAME.jww); with Recursive then each
//   subfolder in name order, the same way. A linked folder is followed unless
//   it leads to a folder walked already, so links cannot make a loop.
// - with Wildcards, a path whose last part holds * or ? and that names no
//   entry: the entries of its folder whose names match it (letters regardless
//   of case), in name order, each taken as if it had been named, but without
//   the outputs of earlier runs; a pattern that matches nothing stays as it is.
// - anything else as it is (a missing file is reported by the conversion).
// Checks stop before every folder entry and returns at once when it is set.
TExpansion ExpandPaths(const std::vector<std::filesystem::path>& paths, const TPathRules& rules,
                       const std::atomic<bool>& stop);

}  // namespace qm
