#pragma once

#include <string>
#include <vector>

// This process's environment with some variables set or removed, made before
// a fork: the child of a process with threads may only exec.

namespace pat::test {

class ChangedEnvironment {
 public:
  // Each change is "NAME=value", which sets NAME, or "NAME", which removes it.
  explicit ChangedEnvironment(const std::vector<std::string>& changes);
  char** get() { return pointers_.data(); }

 private:
  std::vector<std::string> strings_;
  std::vector<char*> pointers_;
};

}  // namespace pat::test
