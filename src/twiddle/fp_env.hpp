// The floating-point environment of the twiddle writers.
#pragma once

namespace tov::fft::detail {

// MXCSR with every exception masked, rounding to nearest even, flush-to-zero and
// denormals-are-zero off: the setting every twiddle value is defined under.
inline constexpr unsigned kReferenceMxcsr = 0x1F80;

// Switches MXCSR to kReferenceMxcsr for its lifetime when the caller's control bits (all but
// the six exception flags, bits 0-5) differ from it, and then restores the caller's whole
// value, flags included. When they already match, MXCSR is never written, so flags raised in
// between stay set. Constructor and destructor are out of line, compiled without AVX, so the
// guarded work (a separate function) cannot be moved across the switch.
class MxcsrGuard {
 public:
  MxcsrGuard();
  ~MxcsrGuard();
  MxcsrGuard(const MxcsrGuard&) = delete;
  MxcsrGuard& operator=(const MxcsrGuard&) = delete;

 private:
  unsigned saved_;
  bool switched_;
};

}  // namespace tov::fft::detail
