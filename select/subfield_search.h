// The search of one subfield: its candidates visited in isolation order,
// tested for stellarity and bad pixels, taken, measured and cut, and, with
// --refill, every refused candidate replaced by the next one until the
// subfield holds the stars it wants or its candidates run out. Rows are
// 1-based catalogue rows; positions in FITS pixels (first pixel = 1).
#pragma once

#include <ostream>
#include <vector>

#include "select/bad_pixels.h"
#include "select/catalogue.h"
#include "select/field_clips.h"
#include "select/measurement.h"
#include "select/parameter.h"
#include "select/run_record.h"
#include "select/screening.h"
#include "select/selected_stars.h"
#include "select/subfield_grid.h"

namespace selection {

// What the search of a subfield keeps from one visit to the next, and, when
// the rows are written at the end of the run, until then.
struct SubfieldSearch {
    int i = 0, j = 0;  // the subfield, from 1
    PixelBox box{};    // its search box
    SubfieldCandidates found;
    size_t next = 0;                    // the next candidate of found to visit
    std::vector<RefusedVisit> refused;  // visits refused for stellarity or bad pixels
    SelectedStars s;                    // the stars taken: kept, and dropped with their fate
};

// What a search reads and where its progress goes. measure is nullptr in a
// run without an image: the stars taken are then not measured.
struct SearchContext {
    Catalogue const& cat;
    BadPixelCheck& badPixels;
    Parameter const& P;
    StarMeasure* measure;
    std::ostream& out;
};

// Without --refill: visits the candidates from the most isolated and takes
// those that pass the bad-pixel and stellarity tests (both are made on
// every candidate visited; one that fails both is refused as not stellar),
// up to P.number, into search.s.stars; the refused visits go to
// search.refused. Nothing is measured.
void takeStars(SubfieldSearch& search, SearchContext const& c);

// With --refill: visits the candidates from search.next on until
// search.s.stars holds `wanted` stars or the candidates run out. A candidate
// that passes the bad-pixel and stellarity tests is measured (c.measure,
// with the fit table on c.out, its start written before
// the first fit of the call and its end after the last) and kept when its
// fit succeeds and it passes the cuts of P (starCut, select/star_cuts.h) and,
// when given, the field-wide clips; otherwise it joins search.s.dropped,
// its fate telling why. Without an image every candidate that passes the
// tests is kept unmeasured.
void refillStars(SubfieldSearch& search, SearchContext const& c, size_t wanted,
                 FieldClips const* clips = nullptr);

// The search of a screened subfield (search.found): without --refill
// takeStars, the warning when fewer than P.number were taken, and
// measureStars (select/measurement.h) when stars were taken and there is an
// image; with --refill refillStars up to P.number, then the same warning
// ("taken" counts the stars kept), and rejectStars on the stars kept when
// there is an image. search.s.taken is the count taken, or with --refill
// kept, before the rejections.
void searchSubfield(SubfieldSearch& search, SearchContext const& c);

// The field-wide clips of P over the searched subfields, in run order: the
// limits from the stars kept in all of them (those the table would show,
// select/field_clips.h), the kept stars beyond them dropped with their clip's
// fate (the others keep their order), and, with verbose > 0, the limits on
// c.out. With --refill and an image, each subfield that lost stars is then
// refilled, in run order, to the count it held before the clips, its new
// stars tested against the same limits ("refilling <n> star(s) in
// [x1:x2,y1:y2]" first with verbose > 0). A star taken in the refill passes
// the clips, so one refill settles every subfield: nothing is clipped after
// it, and every candidate is still visited at most once. Returns the clips.
FieldClips clipField(std::vector<SubfieldSearch>& searches, SearchContext const& c);

}  // namespace selection
