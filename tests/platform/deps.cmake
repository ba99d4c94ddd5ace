find_package(X11)
function(tolvanrise_platform_test_deps target)
  # The music-library suites play songs made with our synthesiser.
  if(target MATCHES "^test_platform_(module_player|midi_synth)$")
    target_link_libraries(${target} PRIVATE tolvanrise_audio_synth)
  endif()
  # The X11 suites look at, and take away, windows on the X server they start.
  if(target MATCHES "^test_platform_(x11_window|window_gone)$" AND X11_FOUND)
    target_link_libraries(${target} PRIVATE X11::X11)
  endif()
endfunction()
