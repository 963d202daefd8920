# JUCE is compiled into two static libraries with one set of switches:
#   pellmix_juce_base - the non-GUI modules; the engine, its tests and the benchmarks link it.
#   pellmix_juce_full - every module the application uses; the application and the GUI tests link it.
# A binary links exactly one of them. Our libraries take only JUCE's include paths and definitions
# (pellmix_juce_headers), so the engine compiles without any GUI module.

set(PELLMIX_JUCE_DEFINITIONS
    JUCE_MODAL_LOOPS_PERMITTED=1
    JUCE_JACK=1
    JUCE_ALSA=1
    JUCE_USE_MP3AUDIOFORMAT=1
    JUCE_USE_FLAC=1
    JUCE_USE_OGGVORBIS=1
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_REPORT_APP_USAGE=0
    JUCE_STRICT_REFCOUNTEDPOINTER=1
    JUCE_SILENCE_XCODE_15_LINKER_WARNING=1
    JUCE_STANDALONE_APPLICATION=1)

function(pellmix_add_juce_library name)
    add_library(${name} STATIC)
    target_link_libraries(${name}
        PRIVATE ${ARGN}
        PUBLIC juce::juce_recommended_config_flags PkgConfig::AUDIO_CODECS)
    target_compile_definitions(${name}
        PUBLIC ${PELLMIX_JUCE_DEFINITIONS}
        INTERFACE $<TARGET_PROPERTY:${name},COMPILE_DEFINITIONS>)
    target_include_directories(${name}
        INTERFACE $<TARGET_PROPERTY:${name},INCLUDE_DIRECTORIES>)
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE TRUE)
endfunction()

pellmix_add_juce_library(pellmix_juce_base
    juce::juce_core juce::juce_events juce::juce_data_structures
    juce::juce_audio_basics juce::juce_audio_formats juce::juce_audio_devices)

if(PELLMIX_BUILD_APP)
    pellmix_add_juce_library(pellmix_juce_full
        juce::juce_core juce::juce_events juce::juce_data_structures
        juce::juce_audio_basics juce::juce_audio_formats juce::juce_audio_devices
        juce::juce_graphics juce::juce_gui_basics juce::juce_gui_extra
        juce::juce_audio_processors juce::juce_audio_utils)
    target_link_libraries(pellmix_juce_full PUBLIC juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
endif()

# Headers and definitions only: what our own libraries compile against.
add_library(pellmix_juce_headers INTERFACE)
target_include_directories(pellmix_juce_headers INTERFACE
    $<TARGET_PROPERTY:pellmix_juce_base,INTERFACE_INCLUDE_DIRECTORIES>)
target_compile_definitions(pellmix_juce_headers INTERFACE
    $<TARGET_PROPERTY:pellmix_juce_base,INTERFACE_COMPILE_DEFINITIONS>)
