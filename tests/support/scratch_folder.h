#pragma once

#include <string>
#include <string_view>

namespace pat::test {

// A fresh folder under the system's temporary folder, removed with
// everything in it at the end.
class ScratchFolder {
 public:
  // prefix: the start of the folder's name, telling whose folder it is.
  explicit ScratchFolder(std::string_view prefix = "pat-test");
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const;

 private:
  std::string path_;
};

// A scratch folder that is the working folder for as long as it lives; the
// working folder from before comes back at its end.
class WorkingFolder : public ScratchFolder {
 public:
  explicit WorkingFolder(std::string_view prefix = "pat-test");
  ~WorkingFolder();

 private:
  std::string old_cwd_;
};

}  // namespace pat::test
