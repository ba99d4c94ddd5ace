# The audio suites make their Ogg, MP3 and module files with our synthesiser; the managers'
# suite also reads the lists and files of the data folder the build makes.
function(tolvanrise_audio_test_deps target)
  target_link_libraries(${target} PRIVATE tolvanrise_audio_synth)
  if(target MATCHES "^test_audio_managers")
    add_dependencies(${target} data)
    target_compile_definitions(${target} PRIVATE TOLVANRISE_DATA_DIR="${CMAKE_BINARY_DIR}/data")
  endif()
endfunction()
