// Disassembles the built library and checks that wide registers appear only where they may: ymm
// only in the twiddle writers, AVX-512 registers (zmm, opmasks, x/ymm16-31) only in the writers
// built for AVX-512 (the 512-bit float and double paths and the _Float16 writers). A processor
// with every extension never catches such a leak by running the code, so the check reads the
// instructions instead.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace {

bool contains(std::string_view s, std::string_view part) {
  return s.find(part) != std::string_view::npos;
}

// zmm, the opmask registers k0-k7, and the registers 16-31 that only AVX-512 encodes.
bool usesAvx512Register(std::string_view insn) {
  for (std::size_t at = insn.find('%'); at != std::string_view::npos; at = insn.find('%', at + 1)) {
    const std::string r(insn.substr(at + 1, 5));
    const int number = r.size() == 5 && r[1] == 'm' && r[2] == 'm' ? std::atoi(r.c_str() + 3) : 0;
    if (number >= 16 || r.starts_with("zmm") || (r[0] == 'k' && r[1] >= '0' && r[1] <= '7'))
      return true;
  }
  return false;
}

// Code built for AVX-512: the namespaces avx512 and avx512fp16 (or an instance over a type of
// theirs) and the exported _Float16 writers.
bool isAvx512Function(std::string_view name) {
  return contains(name, "tov::fft::detail::avx512") || contains(name, "TwidTable<_Float16>") ||
         contains(name, "TwidTable<16l, _Float16>");
}

TEST(IsaIsolation, WideRegistersOnlyInTheTwiddleWriters) {
  const std::string command =
      std::string("objdump -d -C --no-show-raw-insn '") + TOV_CORE_LIBRARY + "' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  ASSERT_TRUE(pipe) << "cannot run objdump";
  std::string function;
  char buffer[4096];
  long wide = 0, avx512 = 0;
  while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) {
    const std::string_view line(buffer);
    // "0000000000012340 <name>:" opens a function.
    if (!line.empty() && line[0] != ' ' && contains(line, ">:")) {
      function =
          std::string(line.substr(line.find('<') + 1, line.rfind(">:") - line.find('<') - 1));
      continue;
    }
    if (line.empty() || line[0] != ' ') continue;
    if (usesAvx512Register(std::string(line))) {
      ++avx512;
      EXPECT_TRUE(isAvx512Function(function)) << "AVX-512 register in " << function << ": " << line;
    } else if (contains(line, "%ymm")) {
      ++wide;
      EXPECT_TRUE(isAvx512Function(function) || contains(function, "tov::fft::detail::avx2::"))
          << "ymm register in " << function << ": " << line;
    }
    if (HasFailure()) break;
  }
  // The disassembly was read, and the writers really are vectorised in both widths.
  EXPECT_GT(wide, 100);
  EXPECT_GT(avx512, 100);
}

}  // namespace
