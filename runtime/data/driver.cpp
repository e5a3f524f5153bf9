#include "runtime/data/driver.h"

#include <algorithm>
#include <string>
#include <vector>

namespace cinevo {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    if (up(a[i]) != up(b[i])) return false;
  }
  return true;
}

// Process-wide: the drivers linked into the program register themselves once at start-up.
std::vector<const DriverRegistration*>& Registry() {
  static std::vector<const DriverRegistration*> drivers;
  return drivers;
}

}  // namespace

bool DriverRegistration::Declares(DriverOp op) const {
  auto code = static_cast<uint8_t>(op);
  return std::find(ops.begin(), ops.end(), code) != ops.end();
}

bool DriverRegistration::SupportsType(uint8_t type) const {
  return std::find(types.begin(), types.end(), type) != types.end();
}

bool RegisterDriver(const DriverRegistration& driver) {
  if (driver.name.empty() || driver.entry == nullptr) return false;
  auto& drivers = Registry();
  for (auto& d : drivers) {
    if (SameName(d->name, driver.name)) {
      d = &driver;
      return true;
    }
  }
  drivers.push_back(&driver);
  return true;
}

bool UnregisterDriver(std::string_view name) {
  auto& drivers = Registry();
  auto it = std::find_if(drivers.begin(), drivers.end(),
                         [&](const DriverRegistration* d) { return SameName(d->name, name); });
  if (it == drivers.end()) return false;
  drivers.erase(it);
  return true;
}

const DriverRegistration* FindDriver(std::string_view name) {
  for (const DriverRegistration* d : Registry()) {
    if (SameName(d->name, name)) return d;
  }
  return nullptr;
}

}  // namespace cinevo
