# Instruction-set flags go on the few files that need them, never on the whole library:
# detectArchitecture and everything that runs before a caller knows the level must execute on
# a baseline x86-64 processor.
set(TOV_AVX2_FLAGS -mavx2 -mfma)
# The level detectArchitecture calls avx512: F, DQ and VL (not BW, which only the fp16 level adds).
set(TOV_AVX512_FLAGS -mavx2 -mfma -mavx512f -mavx512dq -mavx512vl)
set(TOV_AVX512FP16_FLAGS -mavx2 -mfma -mavx512f -mavx512dq -mavx512vl -mavx512bw -mavx512fp16)
# Code that runs before the program's constructors (GNU indirect-function resolvers).
set(TOV_NO_SANITIZER_FLAGS -fno-sanitize=all)

# tov_isa_sources(TOV_AVX2_FLAGS a.cpp b.cpp): compile these sources of tov_core_obj with the
# flags. Source properties are scoped to the directory that creates the target, so they are set
# there (TARGET_DIRECTORY), whichever subdirectory lists the sources.
function(tov_isa_sources flags_var)
  set(files "")
  foreach(file IN LISTS ARGN)
    get_filename_component(file ${file} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND files ${file})
  endforeach()
  set_property(SOURCE ${files} TARGET_DIRECTORY tov_core_obj APPEND PROPERTY COMPILE_OPTIONS
                                                                         ${${flags_var}})
endfunction()
