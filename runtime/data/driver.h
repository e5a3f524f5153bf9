// What a file driver declares about itself, and the registry that binds a FILE's DRIVER name to
// a driver.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "runtime/data/file_control_block.h"

namespace cinevo {

// Creates the driver's working state for a file (called by the dispatch before the driver's
// entry whenever the file has none). May return nullptr for a driver that keeps none.
using WorkingStateFactory = std::unique_ptr<DriverWorkingState> (*)(FileControlBlock& fcb);

// One static record per driver.
struct DriverRegistration {
  std::span<const uint8_t> ops;    // the DriverOp codes the driver declares, in its order
  std::span<const uint8_t> types;  // the field TypeCodes it supports
  std::string_view name;           // matched case-insensitively against the DRIVER attribute
  std::string_view library;
  std::string_view banner;
  DriverEntry entry = nullptr;
  WorkingStateFactory create_state = nullptr;
  // A driver whose sequences start again after their end (the VIEW engine): a NEXT, PREVIOUS or
  // SKIP that reports 33 "Record Not Available" leaves the file's sequence set.
  bool restarts_at_end = false;

  bool Declares(DriverOp op) const;
  bool SupportsType(uint8_t type) const;
};

// Registers a driver under its name (a later registration of the same name replaces the
// earlier one). The record must outlive every use. Returns false for a nameless record or one
// without an entry.
bool RegisterDriver(const DriverRegistration& driver);
// Removes the registration of that name (tests). Returns whether one was removed.
bool UnregisterDriver(std::string_view name);
// The driver registered under `name` (case-insensitive), or nullptr.
const DriverRegistration* FindDriver(std::string_view name);

}  // namespace cinevo
