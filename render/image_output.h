// The end of a render: the supersampled samples reduced to the picture's
// size with a fixed weighted filter, and the picture written as a JPEG file
// (or, for lossless comparisons, as PPM or PNG). Every step streams row by
// row: the reduction holds one row of samples and three rows of w
// accumulators, the writers one row of pixels, whatever the picture's size.
#pragma once

#include <string>

#include "ui/user_interface.h"

namespace brevoxa {

// Where the picture of the render called label goes: OBJSTORE/RENDERED/
// label.JPG.
std::string RenderedImagePath(const std::string& label);

// Reduces the sample file at rawPath into a factor-1 sample file at
// reducedPath and removes the raw file. Each output pixel is the weighted
// sum of its f x f samples divided by the sum of the weights, truncated:
//   f = 2: 1 1 / 1 1, divisor 4
//   f = 3: 1 2 1 / 2 4 2 / 1 2 1, divisor 16
//   f = 5: rows and columns weighted 1 2 3 2 1, divisor 81
// A raw file of factor 1 is renamed to the reduced name instead, replacing
// whatever file has that name. Throws CFileException or CArchiveException
// when a file cannot be read or written; both files are then left to their
// owners (see TemporaryFile).
void ReduceSupersampled(const std::string& rawPath, const std::string& reducedPath);

// Writes the reduced sample file as a JFIF file through libjpeg: the given
// quality (25 to 100), no forced baseline tables, the default YCbCr
// conversion and sampling. The file is written beside the target and
// renamed over it only when complete, so a failed write never leaves a
// partial image. Failures are shown through ui and the result is false:
//   "Can't open <output> to write image to."
//   "Can't open <reduced> to read from.  Internal error."
//   "Can't write image to <output>: <cause>"   (libjpeg or the disk failed)
// A reduced file of factor above 1 shows "Internal error: Supersampled image
// passed to jpeg converter" and is written at its own size all the same.
bool WriteJpegFile(const std::string& outputPath, int quality, const std::string& reducedPath,
                   IUserInterface& ui = CurrentUserInterface());

// The same picture as a binary PPM (P6) file, with the same texts.
bool WritePpmFile(const std::string& outputPath, const std::string& reducedPath,
                  IUserInterface& ui = CurrentUserInterface());

// The same picture as a PNG file (8-bit RGB, no interlace), with the same
// texts. The pixel data goes into stored (uncompressed) deflate blocks: the
// file is larger than a compressed one, but it streams row by row and needs
// no image library, and any PNG reader takes it.
bool WritePngFile(const std::string& outputPath, const std::string& reducedPath,
                  IUserInterface& ui = CurrentUserInterface());

}  // namespace brevoxa
