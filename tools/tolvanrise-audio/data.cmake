# The synthesiser is also a library: the audio tests and benchmarks make their files with it.
pkg_check_modules(VORBISENC REQUIRED IMPORTED_TARGET vorbisenc)
find_library(MP3LAME_LIBRARY mp3lame REQUIRED)
add_library(tolvanrise_audio_synth STATIC ${CMAKE_CURRENT_LIST_DIR}/audio_synth.cpp)
target_include_directories(tolvanrise_audio_synth PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tolvanrise_audio_synth PUBLIC PkgConfig::VORBISENC PkgConfig::VORBIS ${MP3LAME_LIBRARY})
target_link_libraries(tolvanrise-audio PRIVATE tolvanrise_audio_synth)
