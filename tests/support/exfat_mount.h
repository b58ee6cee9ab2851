#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/scratch_folder.h"

// An exFAT image of its own on a loop device, mounted through exfat-fuse as
// many systems mount a USB stick: no hard links, no rename that refuses to
// replace, names in any letter case naming one file. Everything is undone
// when it goes, also when the test failed; only the loop device it attached
// is detached.

namespace pat::test {

class ExfatMount {
 public:
  ExfatMount();
  ~ExfatMount();
  ExfatMount(const ExfatMount&) = delete;
  ExfatMount& operator=(const ExfatMount&) = delete;

  // Empty while mounted; otherwise why there is no mount (no root, no loop
  // device, no FUSE, a tool missing, a step that failed), for GTEST_SKIP.
  const std::string& unavailable() const { return unavailable_; }
  // The mount folder. Its path holds no ".", so that it can be typed as the
  // folder of an output name.
  const std::string& path() const { return mount_point_; }
  std::string file(std::string_view name) const;
  // The names on the medium, sorted.
  std::vector<std::string> entries() const;

 private:
  bool mounted() const;

  ScratchFolder folder_{"pat-exfat"};  // the image and the mount folder
  std::string image_;
  std::string mount_point_;
  std::string loop_device_;
  bool mount_ran_ = false;
  std::string unavailable_;
};

}  // namespace pat::test
