# The synthesiser is also a library: the audio tests and benchmarks make their files with it.
pkg_check_modules(VORBISENC REQUIRED IMPORTED_TARGET vorbisenc)
find_library(MP3LAME_LIBRARY mp3lame REQUIRED)
add_library(tolvanrise_audio_synth STATIC ${CMAKE_CURRENT_LIST_DIR}/audio_synth.cpp)
target_include_directories(tolvanrise_audio_synth PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tolvanrise_audio_synth PUBLIC PkgConfig::VORBISENC PkgConfig::VORBIS ${MP3LAME_LIBRARY})
# The executable keeps its own main and data writer; the synthesiser comes from the library.
set_property(TARGET tolvanrise-audio PROPERTY SOURCES ${CMAKE_CURRENT_LIST_DIR}/main.cpp
                                                      ${CMAKE_CURRENT_LIST_DIR}/audio_data.cpp)
target_link_libraries(tolvanrise-audio PRIVATE tolvanrise_audio_synth)

# The music and sound lists of the data folder, scrambled from assets/audio/, with the tracks
# and effects they name (written beside them).
set(audio_assets ${CMAKE_SOURCE_DIR}/assets/audio)
set(audio_outputs ${TOLVANRISE_DATA_DIR}/MUSIC/music.ini ${TOLVANRISE_DATA_DIR}/SOUNDS/sound.csv)
add_custom_command(
  OUTPUT ${audio_outputs}
  COMMAND tolvanrise-audio data ${audio_assets} ${TOLVANRISE_DATA_DIR}
  DEPENDS tolvanrise-audio ${audio_assets}/music.ini ${audio_assets}/sound.csv
  COMMENT "Writing the music and sound lists with their generated tracks and effects"
  VERBATIM)
tolvanrise_data_outputs(${audio_outputs})
