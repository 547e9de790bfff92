// The fixed unit numbers by which the solver addresses its files; the
// console units are those of the unit table itself.
#pragma once

namespace tarn {

constexpr int kListing = 3;          // results listing
constexpr int kBrief = 4;            // second listing
constexpr int kNames = 7;            // names file
constexpr int kHistory = 8;          // iteration history
constexpr int kCouplingHistory = 9;  // coupling history
constexpr int kDumpIn = 10;          // flow-field dump to continue from
constexpr int kDumpOut = 11;         // flow-field dump to write
constexpr int kCoefficients = 12;    // coefficient-record file NAME.SEP
constexpr int kRunData = 14;         // run-data file
constexpr int kAerofoil = 17;        // aerofoil data file
constexpr int kGridData = 19;        // grid-data file

}  // namespace tarn
