#include "tests/support/changed_environment.h"

#include <string_view>

extern "C" char** environ;

namespace pat::test {

namespace {

std::string_view name_of(std::string_view setting) { return setting.substr(0, setting.find('=')); }

}  // namespace

ChangedEnvironment::ChangedEnvironment(const std::vector<std::string>& changes) {
  for (char** e = environ; *e != nullptr; ++e) {
    bool changed = false;
    for (const std::string& change : changes) changed = changed || name_of(*e) == name_of(change);
    if (!changed) strings_.emplace_back(*e);
  }
  for (const std::string& change : changes) {
    if (change.find('=') != std::string::npos) strings_.push_back(change);
  }
  for (std::string& s : strings_) pointers_.push_back(s.data());
  pointers_.push_back(nullptr);
}

}  // namespace pat::test
