#include "downloader/program.h"

#include <chrono>

namespace pat {

float timer_seconds() {
  static const auto start = std::chrono::steady_clock::now();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return static_cast<float>(elapsed.count());
}

bool local_date_time(std::tm& out) {
  const std::time_t now = std::time(nullptr);
  if (now == static_cast<std::time_t>(-1)) return false;
  return localtime_r(&now, &out) != nullptr;
}

}  // namespace pat
