#include "core/random.h"

#include <chrono>

namespace tessaro {

void TRandom::SeedFromClock() {
  Seed(std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
       std::uint64_t(std::chrono::system_clock::now().time_since_epoch().count()));
}

}  // namespace tessaro
