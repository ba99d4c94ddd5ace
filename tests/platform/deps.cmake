find_package(X11)
function(tolvanrise_platform_test_deps target)
  # The music-library suites play songs made with our synthesiser.
  if(target MATCHES "^test_platform_(module_player|midi_synth)$")
    target_link_libraries(${target} PRIVATE tolvanrise_audio_synth)
  endif()
  # The X11 window suite looks at, and takes away, windows on the X server it starts.
  if(target MATCHES "^test_platform_x11_window$" AND X11_FOUND)
    target_link_libraries(${target} PRIVATE X11::X11)
  endif()
endfunction()
