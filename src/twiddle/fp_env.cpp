#include "twiddle/fp_env.hpp"

#include <xmmintrin.h>

namespace tov::fft::detail {

namespace {
constexpr unsigned kExceptionFlags = 0x3F;
}

MxcsrGuard::MxcsrGuard()
    : saved_(_mm_getcsr()), switched_((saved_ & ~kExceptionFlags) != kReferenceMxcsr) {
  if (switched_) _mm_setcsr(kReferenceMxcsr);
}

MxcsrGuard::~MxcsrGuard() {
  if (switched_) _mm_setcsr(saved_);
}

}  // namespace tov::fft::detail
