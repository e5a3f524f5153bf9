// Comparing a VIEW's planned rows with the rows of its plain stream, over a small file of random
// records: shared by the planner's randomised test and its fuzz target.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "runtime/data/file_control_block.h"
#include "runtime/data/view/view.h"

namespace cinevo::view {

// The table T: T:ID LONG, T:A STRING(3), T:B SHORT, T:C STRING(4), T:D LONG; keys
//   T:IDK (ID) unique, T:AB (A,B) DUP NOCASE, T:CD (C,-D) DUP, T:AO (A) DUP OPT NOCASE,
//   T:BI (-B,ID) unique, T:X (D) INDEX.
FileDeclaration RandomTableDeclaration(const std::string& path);

// Fills an open file with `count` records of values drawn from small sets (so that filters
// match and orders tie).
int FillRandomTable(FileControlBlock& f, int count, std::mt19937& rng);

// The ids of the rows a VIEW gives from SET to the end, forwards or backwards; -error at the
// end when a read failed with anything but 33. `declared` > 0: the reading starts as a declared
// read of that many rows (View::ExpectReads) and goes on past them.
std::vector<int32_t> ViewIds(View& v, bool forward, int64_t declared = 0);

// Random filter and order texts over T, built from the forms the planner knows and others.
std::string RandomFilter(std::mt19937& rng);
std::string RandomOrder(std::mt19937& rng);

// Sets filter and order on two VIEWs over `file` with the VIEW's key `key` (one planned, one
// plain) and compares their rows both ways. The planned VIEW's reads start as declared reads of
// `declared` rows when that is > 0 (a sorted VIEW then keeps only those rows at first), the plain
// VIEW's never. Returns "" when equal, else a description.
std::string ComparePlanned(FileControlBlock& file, int key, const std::string& filter, const std::string& order,
                           std::string* explain = nullptr, int64_t declared = 0);

}  // namespace cinevo::view
