// Switches for the tests of osrng's fallback and fault paths. osrng.cpp
// defines them; nothing but the tests calls them.
#pragma once

namespace osrng::testing {

// Forces the device-file path.
void force_device_fallback(bool on) noexcept;
// Makes every draw fail, to reach the internal-fault path.
void force_failure(bool on) noexcept;

}  // namespace osrng::testing
