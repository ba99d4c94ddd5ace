# The music-library suites play songs made with our synthesiser.
function(tolvanrise_platform_test_deps target)
  if(target MATCHES "^test_platform_(module_player|midi_synth)$")
    target_link_libraries(${target} PRIVATE tolvanrise_audio_synth)
  endif()
endfunction()
