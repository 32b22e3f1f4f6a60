# Compiler and linker settings of the fuzz build (preset fuzz): the decision
# code under AddressSanitizer and UndefinedBehaviorSanitizer with libFuzzer's
# coverage instrumentation. Any sanitizer report ends the process, so libFuzzer
# keeps the input that caused it. The fuzz targets add -fsanitize=fuzzer when
# they link.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "ZRQ_FUZZ needs clang (libFuzzer); use the fuzz preset")
endif()
set(ZRQ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all)
add_compile_options(-g -fno-omit-frame-pointer ${ZRQ_SANITIZERS} -fsanitize=fuzzer-no-link)
add_link_options(${ZRQ_SANITIZERS})
