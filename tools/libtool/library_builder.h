// Making a photo library folder from a folder of the user's pictures.
//
// The run, in order: check the folders; walk the source (source_scan.h); keep the
// files whose content is JPEG or BMP (DetectPictureType); decode each of them (an
// undecodable file is skipped, so the library never lists a picture the program
// would take the previous picture's signature for); in copy mode reduce and write
// each picture into the library folder; then write "filelist.lst" and "libcfg.cfg".
//
// The user's originals are never written: in copy mode the library folder must be
// new or empty and must not lie inside what the walk scans (links included), and
// every picture file is first written under a temporary name and only renamed to
// its final name once all pictures are done. A failure on the way removes what the
// run wrote, so an interrupted library never looks like a finished one.
//
// Decoding, reducing and encoding run on several threads; names, the file list and
// every byte written are the same for any number of threads.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace tessaro::libtool {

class TProgressDisplay;

inline constexpr int kColTypePhoto = 0;
inline constexpr int kColTypeTile = 30;
inline constexpr int kDefaultMaxEdge = 400;
inline constexpr int kDefaultQuality = 90;
// The largest edge a JPEG file can hold.
inline constexpr int kMaxJpegEdge = 65500;

struct TLibToolOptions {
  std::filesystem::path Source;
  std::filesystem::path Library;
  std::string Name;  // colname; empty: the library folder's name
  int ColType = kColTypePhoto;
  bool Link = false;  // PathType 0: list the originals where they are
  int MaxEdge = kDefaultMaxEdge;
  int Quality = kDefaultQuality;
  bool Recurse = true;
  int Jobs = 1;          // worker threads, at least 1
  bool Verbose = false;  // name every skipped file
};

enum class TLibToolStatus { Ok, Failed };

struct TLibToolResult {
  TLibToolStatus Status = TLibToolStatus::Failed;
  std::filesystem::path Library;  // absolute
  std::string Name;               // colname as written
  std::size_t Pictures = 0;      // listed in the library
  std::size_t NotPictures = 0;   // content neither JPEG nor BMP (links to nothing included)
  std::size_t Undecodable = 0;   // JPEG or BMP by their first bytes, but not decodable
  std::size_t Unlistable = 0;    // link mode: a path holding a line break
  std::size_t LeftOut = 0;       // pictures beyond the project limit, not examined
  std::size_t Folders = 0;       // folders scanned
};

// Runs the whole job. Errors and warnings go to progress as lines starting
// "tessaro-libtool: "; the summary is the caller's.
TLibToolResult BuildLibrary(const TLibToolOptions& options, TProgressDisplay& progress);

}  // namespace tessaro::libtool
