// The fields of one row of a plain-text table (sci::AscFile): the piece col of
// a row split at runs of blanks and tabs, or the field col between delimiter
// bytes. A text is the bytes [begin, end); pieces and fields are numbered
// from 1. No units.
#pragma once

#include <cstddef>

namespace sci {

// The scans that say so go through the text kFieldReadAhead bytes at a time
// and read up to kFieldReadAhead - 1 bytes beyond its end, which the caller
// keeps readable (the line scanner of sci/asc_lines.h does).
constexpr std::size_t kFieldReadAhead = 32;

// Marks "no comment marker" for blankSeparatedField.
constexpr int kNoMarker = -1;

// Piece col (col >= 1) of [begin, end) split at runs of blanks and tabs; false
// when there are fewer pieces. The text ends early at the first byte equal to
// marker (a one-byte comment marker, or kNoMarker). Reads beyond end
// (kFieldReadAhead).
bool blankSeparatedField(char const* begin, char const* end, int col, int marker,
                         char const*& fieldBegin, char const*& fieldEnd);

// The number of pieces of [begin, end) split at runs of blanks and tabs (a
// plain byte loop, for messages; reads nothing beyond end).
long blankSeparatedCount(char const* begin, char const* end);

// Field col (col >= 1) of [begin, end) in delimiter mode: field 1 runs from
// begin to the first delimiter, field k from just after the (k-1)-th delimiter
// to the k-th one or end. False when the text has fewer than col - 1
// delimiters.
bool delimitedField(char const* begin, char const* end, char delimiter, int col,
                    char const*& fieldBegin, char const*& fieldEnd);

}  // namespace sci
