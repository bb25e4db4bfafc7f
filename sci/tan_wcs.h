// Builds the tangent-plane projection (sci::CCS_TAN) of an image from its header
// keywords, independently of how the header is read: the caller supplies lookups.
// Pixels follow the FITS convention (the first pixel is 1); vector and matrix
// elements are indexed from 1; CRVALi and CDELTi / CDi_j are in degrees.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sci/ccs_tan.h"
#include "sci/fvector.h"

namespace sci {

// A header lookup. key is the 8-character keyword field, padded with blanks
// ("CD1_1   ", "CTYPE1  "). Returns std::nullopt when the header has no such
// keyword. What it throws (for example for a value of the wrong kind) passes to
// the caller of readTanWcs for the keywords the projection needs (CD1_1, CD2_2,
// CDELTi, CRVALi, CRPIXi); for the others (CD1_2, CD2_1, PCi_j, CROTA2, CTYPEi)
// a value that cannot be read counts as absent.
using NumberLookup = std::function<std::optional<double>(std::string const& key)>;
using TextLookup = std::function<std::optional<std::string>(std::string const& key)>;

// Which header keywords supplied the linear transformation.
enum class LinearKeywords {
    kCd,           // CD1_1 and CD2_2 (with CD1_2, CD2_1 when present)
    kCdeltPc,      // CDELT1, CDELT2 and at least one PCi_j
    kCdeltCrota2,  // CDELT1, CDELT2 and CROTA2
    kCdelt,        // CDELT1 and CDELT2 alone
};

// The projection of an image and the values the caller reports about it.
struct TanWcs {
    CCS_TAN ccs;                        // ready for solve (pixel -> sky) and solve_inv
    FVector<double, 2> crval;           // (CRVAL1, CRVAL2), degrees
    FVector<double, 2> crpix;           // (CRPIX1, CRPIX2), pixels
    FVector<double, 2> cdelt;           // scale per axis given to ccs, degrees per pixel
    FMatrix<double, 2, 2> pc;           // matrix M given to ccs
    LinearKeywords source;              // where pc and cdelt came from
    std::vector<std::string> warnings;  // one line each, without newline, for stderr
};

// Reads the projection of image imageName (used only in messages) through the two
// lookups, in this order: CD1_1, CD2_2 (CD2_2 only when CD1_1 is there; then
// CD1_2, CD2_1) or else CDELT1, CDELT2, PC1_1, PC1_2, PC2_1, PC2_2, CROTA2; then
// CRVAL1, CRVAL2, CRPIX1, CRPIX2; CTYPE1, CTYPE2.
//
// The linear transformation of the header, as the matrix C (degrees per pixel)
// with sky-plane offset x = C (p - crpix):
//   CD1_1 and CD2_2 present:   C = CD, a missing CD1_2 or CD2_1 counting as 0;
//   else with PCi_j:           C(i, j) = CDELTi * PCi_j (missing PCi_i = 1, PCi_j = 0);
//   else with CROTA2 = rho:    C = [CDELT1 cos rho, -CDELT2 sin rho;
//                                   CDELT1 sin rho,  CDELT2 cos rho];
//   else:                      C = diag(CDELT1, CDELT2).
// C is handed to CCS_TAN as cdelt and pc with C(i, j) = cdelt_i * pc(i, j). The
// CDELT forms give cdelt = (CDELT1, CDELT2) and pc = PC, the rotation matrix
// [cos, -(CDELT2/CDELT1) sin; (CDELT1/CDELT2) sin, cos] or the identity. A CD
// matrix is split by rows: cdelt_i = C(i, i), or the off-diagonal element of row i
// when C(i, i) is 0 (an image rotated by 90 degrees), and pc(i, j) = C(i, j) /
// cdelt_i with the chosen element exactly 1. A header without off-diagonal terms
// thus gets pc = identity (zeros +0) and cdelt = (CD1_1, CD2_2) or (CDELT1,
// CDELT2), and the same values serve both directions, so solve_inv inverts solve.
//
// Throws FitsException "cannot find keyword '" + key + "'" (key with its blanks)
// for a missing CDELT1/CDELT2 (when the CD pair is incomplete), CRVAL1, CRVAL2,
// CRPIX1 or CRPIX2. When CTYPE1 or CTYPE2 is present but does not end in
// "-TAN" (trailing blanks removed), one line tanProjectionWarning(...) naming
// them goes to warnings; the projection is TAN anyway.
TanWcs readTanWcs(std::string const& imageName, NumberLookup const& number, TextLookup const& text);

// "warning: image '" + imageName + "' has " + keyword + " '" + value + "'" (for
// each keyword, joined by " and ") + ", not a TAN projection; using TAN"
// (keywords without padding, e.g. "CTYPE1").
std::string tanProjectionWarning(
    std::string const& imageName,
    std::vector<std::pair<std::string, std::string>> const& keywordValues);

// The keywords the projection needs that the header lacks (number gives
// std::nullopt; a keyword whose value cannot be read is there), without their
// padding, in the order readTanWcs reads them: those of CRVAL1, CRVAL2,
// CRPIX1, CRPIX2 joined by ", ", then, when neither the pair CD1_1, CD2_2 nor
// the pair CDELT1, CDELT2 is complete, " and " and the missing ones of each
// pair joined by " or ", e.g. "CRPIX2 and CD2_2 or CDELT1, CDELT2". Empty when
// nothing is missing.
std::string missingTanKeywords(NumberLookup const& number);

// "cannot find keyword '" + key + "'", the message of a missing header keyword.
std::string missingKeywordMessage(std::string const& key);

}  // namespace sci
