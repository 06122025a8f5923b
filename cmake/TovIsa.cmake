# Instruction-set flags go on the few files that need them, never on the whole library:
# detectArchitecture and everything that runs before a caller knows the level must execute on
# a baseline x86-64 processor.
set(TOV_AVX2_FLAGS -mavx2 -mfma)
set(TOV_AVX512FP16_FLAGS -mavx2 -mfma -mavx512f -mavx512dq -mavx512vl -mavx512bw -mavx512fp16)

function(tov_isa_sources flags_var)
  set_property(SOURCE ${ARGN} APPEND PROPERTY COMPILE_OPTIONS ${${flags_var}})
endfunction()
