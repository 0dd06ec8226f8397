#include "platform/clock.h"

#include <chrono>

namespace platform {

double running_seconds() {
  static const auto start = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace platform
