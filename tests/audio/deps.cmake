# The audio suites make their Ogg, MP3 and module files with our synthesiser.
function(tolvanrise_audio_test_deps target)
  target_link_libraries(${target} PRIVATE tolvanrise_audio_synth)
endfunction()
