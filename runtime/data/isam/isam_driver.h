// The native driver "TARVEX" as the rest of the program sees it: its registration, the page
// store settings of the files it opens, and the BLOB properties it answers. Programs reach the
// driver through the common dispatch (runtime/data/dispatch.h); the working state it keeps per
// open table is its own business (isam_table.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/data/driver.h"
#include "runtime/data/file_declaration.h"
#include "runtime/data/isam/declaration_stream.h"
#include "runtime/data/isam/page_store.h"

namespace cinevo::isam {

inline constexpr std::string_view kDriverName = "TARVEX";

// Properties of a MEMO or BLOB n that the driver answers through BLOB_GET_PROP and
// BLOB_SET_PROP (both give the property's value, SET after the change). Values are text;
// numbers in decimal.
enum BlobProperty : uint32_t {
  kBlobPropContents = 0x7CBF,  // the bytes held for the current record; SET replaces them
  kBlobPropSize = 0x7340,      // their count; SET cuts them or adds zero bytes
  kBlobPropKind = 0x7341,      // "BLOB" or "MEMO" (read only)
  kBlobPropBinary = 0x7342,    // "1" when declared BINARY, else "0" (read only)
  kBlobPropCapacity = 0x7343,  // the most bytes it can hold (read only)
  kBlobPropLabel = 0x7344,     // its label (read only)
};

// The driver's registration record (70 operation codes, 17 field types).
const DriverRegistration& IsamRegistration();
// Registers the driver under "TARVEX" (idempotent).
void RegisterIsamDriver();

// Page-store settings for the files the driver opens from now on (cache size, flushing to the
// device at every update). Process-wide: set once before files are opened.
void SetIsamStoreDefaults(const PageStoreOptions& options);
const PageStoreOptions& IsamStoreDefaults();

// A FILE declaration made from a table's stored declaration, for programs and tools that open
// a file without declaring its record: `name` becomes the NAME, the driver is "TARVEX".
FileDeclaration ToFileDeclaration(const TableDeclaration& stored, const std::string& name);

}  // namespace cinevo::isam
