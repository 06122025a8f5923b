#include "tov/config.hpp"

namespace tov {

std::string toString(Architecture architecture) {
  switch (architecture) {
    case Architecture::detect: return "Architecture::detect";
    case Architecture::unsupported: return "Architecture::unsupported";
    case Architecture::avx2: return "Architecture::avx2";
    case Architecture::avx512: return "Architecture::avx512";
    case Architecture::avx512fp16: return "Architecture::avx512fp16";
    case Architecture::sve256: return "Architecture::sve256";
  }
  return {};
}

}  // namespace tov
