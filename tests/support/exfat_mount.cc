#include "tests/support/exfat_mount.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tests/support/tmux_run.h"

namespace pat::test {
namespace {

namespace fs = std::filesystem;

constexpr off_t image_bytes = 4 << 20;

// A tool on PATH or in the system folders, which a root shell may lack on
// PATH; empty when there is none.
std::string find_tool(const std::string& name) {
  std::string dirs = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  dirs += ":/usr/sbin:/sbin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string dir = dirs.substr(start, end - start);
    if (!dir.empty()) {
      const std::string path = dir + "/" + name;
      if (::access(path.c_str(), X_OK) == 0) return path;
    }
    start = end + 1;
  }
  return "";
}

// Why the machine cannot mount an image through FUSE; empty when it can.
std::string missing_means() {
  if (::geteuid() != 0) return "an exFAT mount needs root";
  if (::access("/dev/loop-control", R_OK | W_OK) != 0) return "no loop devices (/dev/loop-control)";
  if (::access("/dev/fuse", R_OK | W_OK) != 0) return "no FUSE (/dev/fuse)";
  for (const char* tool : {"mkfs.exfat", "mount.exfat-fuse", "losetup", "umount"}) {
    if (find_tool(tool).empty())
      return std::string("no ") + tool + " (scripts/install-deps --test installs it)";
  }
  return "";
}

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// Runs a tool; empty when it succeeded, otherwise what went wrong.
std::string run(const std::vector<std::string>& argv, std::string* out = nullptr) {
  std::vector<std::string> command = argv;
  command[0] = find_tool(argv[0]);
  if (command[0].empty()) return "no " + argv[0];
  const DetachedRun result = run_detached(command);
  if (out != nullptr) *out = result.out;
  if (result.status == 0) return "";
  std::string line;
  for (const auto& a : argv) line += (line.empty() ? "" : " ") + a;
  return line + " failed (" + std::to_string(result.status) + "): " + trimmed(result.err);
}

}  // namespace

ExfatMount::ExfatMount()
    : image_(folder_.file("image")), mount_point_(folder_.file("usb")) {
  unavailable_ = missing_means();
  if (!unavailable_.empty()) return;
  if (mount_point_.find('.') != std::string::npos) {
    unavailable_ = "the temporary folder's path holds a \".\": " + mount_point_;
    return;
  }
  fs::create_directory(mount_point_);
  write_bytes(image_, "");
  if (::truncate(image_.c_str(), image_bytes) != 0) {
    unavailable_ = "cannot size the image " + image_;
    return;
  }
  unavailable_ = run({"mkfs.exfat", image_});
  if (!unavailable_.empty()) return;
  std::string device;
  unavailable_ = run({"losetup", "-f", "--show", image_}, &device);
  if (!unavailable_.empty()) return;
  loop_device_ = trimmed(device);
  unavailable_ = run({"mount.exfat-fuse", loop_device_, mount_point_});
  mount_ran_ = unavailable_.empty();
  if (unavailable_.empty() && !mounted()) unavailable_ = "mount.exfat-fuse mounted nothing";
}

ExfatMount::~ExfatMount() {
  // Not by mounted(): a mount whose driver died answers no stat.
  if (mount_ran_ && !run({"umount", mount_point_}).empty() &&
      !run({"fusermount", "-u", mount_point_}).empty())
    run({"umount", "-l", mount_point_});
  if (!loop_device_.empty()) run({"losetup", "-d", loop_device_});
  // The scratch folder goes after this, with the image.
}

std::string ExfatMount::file(std::string_view name) const {
  return mount_point_ + "/" + std::string(name);
}

std::vector<std::string> ExfatMount::entries() const {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(mount_point_))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A mount shows as another device than the folder that holds it.
bool ExfatMount::mounted() const {
  struct stat mount_point;
  struct stat holder;
  return ::stat(mount_point_.c_str(), &mount_point) == 0 &&
         ::stat(folder_.path().c_str(), &holder) == 0 && mount_point.st_dev != holder.st_dev;
}

}  // namespace pat::test
