#include "runtime/data/file_control_block.h"

#include "runtime/data/dispatch.h"
#include "runtime/data/driver.h"

namespace cinevo {

FileControlBlock::FileControlBlock(const FileDeclaration& decl)
    : FileControlBlock(decl, FindDriver(decl.driver)) {}

FileControlBlock::FileControlBlock(const FileDeclaration& decl, const DriverRegistration* drv)
    : entry(drv ? drv->entry : nullptr), driver(drv), declaration(&decl) {
  // A declaration too large for any record leaves an empty buffer; OPEN is refused then by the
  // driver's own validation.
  uint64_t size = decl.RecordSize();
  if (size <= (uint64_t{1} << 20)) record.assign(static_cast<size_t>(size), 0);
  keys.resize(decl.keys.size());
  for (size_t i = 0; i < decl.keys.size(); ++i) keys[i].needs_build = decl.keys[i].IsIndex();
}

FileControlBlock::~FileControlBlock() { DropPendingBuild(this); }

}  // namespace cinevo
