#include "select/entry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using selection::checkRun;
using selection::kMaxSubfields;
using selection::Parameter;
using selection::refusalNotice;
using selection::RunCheck;

// A record that passes the check: the defaults with an input table.
Parameter runnable() {
    Parameter P;
    P.input = "cat.txt";
    P.nfields[0] = P.nfields[1] = 1;
    P.number = 1;
    P.x_column = 2;
    P.boxlen = 12;
    return P;
}

}  // namespace

// Each reason for refusing a run, next to a value that is accepted (the
// largest grid, kMaxSubfields, the smallest stamp, boxlen 1, and a check
// radius with a file).
TEST(Entry, CheckRefusesEachReason) {
    struct Case {
        void (*spoil)(Parameter&);
        std::size_t files;
        RunCheck expected;
    };
    Case const cases[] = {
        {[](Parameter& P) { P.input.clear(); }, 1, RunCheck::kNoInput},
        {[](Parameter& P) { P.nfields[0] = 0; }, 1, RunCheck::kBadNfields},
        {[](Parameter& P) { P.nfields[1] = -1; }, 1, RunCheck::kBadNfields},
        {[](Parameter& P) { P.nfields[0] = 1000001; }, 1, RunCheck::kTooManySubfields},
        {[](Parameter& P) { P.nfields[0] = P.nfields[1] = 2147483647; }, 1,
         RunCheck::kTooManySubfields},
        {[](Parameter& P) { P.number = -1; }, 1, RunCheck::kNegativeNumber},
        {[](Parameter& P) { P.border = -1; }, 1, RunCheck::kNegativeBorder},
        {[](Parameter& P) { P.subfield_border = -1; }, 1, RunCheck::kNegativeSubfieldBorder},
        {[](Parameter& P) { P.x_column = 0; }, 1, RunCheck::kZeroXColumn},
        {[](Parameter& P) { P.check_radius = -1; }, 1, RunCheck::kNegativeCheckRadius},
        {[](Parameter& P) { P.check_radius = 1; }, 0, RunCheck::kCheckWithoutFiles},
        {[](Parameter& P) { P.boxlen = 0; }, 1, RunCheck::kBadBoxlen},
    };
    Parameter accepted = runnable();
    accepted.nfields[0] = accepted.nfields[1] = 1000;
    accepted.check_radius = 2;
    accepted.boxlen = 1;
    EXPECT_EQ(checkRun(accepted, 1), RunCheck::kRunPossible);
    for (Case const& c : cases) {
        Parameter P = runnable();
        c.spoil(P);
        EXPECT_EQ(checkRun(P, c.files), c.expected) << refusalNotice(c.expected);
    }
    // With several faults the missing input is named first.
    Parameter P = runnable();
    P.input.clear();
    P.boxlen = 0;
    EXPECT_EQ(checkRun(P, 0), RunCheck::kNoInput);
}
