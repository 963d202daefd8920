# libFuzzer builds (PELLMIX_BUILD_FUZZ=ON; clang with PELLMIX_SANITIZE=address,undefined, see
# scripts/fuzz.sh). Every unit, JUCE's included, gets libFuzzer's coverage, so that the fuzzer
# sees which branches of a reader an input reached; the sources in fuzz/coverage-ignore.txt get
# none. Any sanitizer report ends the run.
if(NOT PELLMIX_BUILD_FUZZ)
    return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "PELLMIX_BUILD_FUZZ needs clang (libFuzzer)")
endif()
if(NOT PELLMIX_SANITIZE MATCHES "address")
    message(FATAL_ERROR "PELLMIX_BUILD_FUZZ needs PELLMIX_SANITIZE=address,undefined")
endif()
add_compile_options(-fsanitize=fuzzer-no-link
    -fsanitize-coverage-ignorelist=${PROJECT_SOURCE_DIR}/fuzz/coverage-ignore.txt
    -fno-sanitize-recover=all)
