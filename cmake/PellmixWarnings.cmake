# Warnings are faults in our own code; the JUCE units are compiled without -Werror
# (GCC 12 reports false dangling-pointer warnings inside JUCE's ListenerList).
function(pellmix_strict_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Werror
        $<$<CXX_COMPILER_ID:GNU>:-Wno-dangling-pointer>)
endfunction()
