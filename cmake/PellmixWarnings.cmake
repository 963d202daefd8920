# Warnings are faults in our own code; the JUCE units are compiled without -Werror.
# One common set, then what each compiler adds or must be told:
#   GCC 12 reports false dangling-pointer warnings inside JUCE's ListenerList, which our code
#   instantiates, so that one warning is off for GCC (clang has no such option and would reject
#   it under -Werror).
set(PELLMIX_COMMON_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual)

if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(PELLMIX_COMPILER_WARNINGS -Wno-dangling-pointer)
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(PELLMIX_COMPILER_WARNINGS)
else()
    message(FATAL_ERROR "Unsupported compiler ${CMAKE_CXX_COMPILER_ID}: the warning flags are set for GCC and clang")
endif()

function(pellmix_strict_warnings target)
    target_compile_options(${target} PRIVATE ${PELLMIX_COMMON_WARNINGS} ${PELLMIX_COMPILER_WARNINGS} -Werror)
endfunction()
