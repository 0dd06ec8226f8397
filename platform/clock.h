#pragma once

namespace platform {

// Seconds of a monotonic clock since the program's first call.
double running_seconds();

}  // namespace platform
