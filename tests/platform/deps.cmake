# The music-library suites play songs made with our synthesiser.
# The X11 window suite looks at the screen of the X server it starts.
find_package(X11)
function(tolvanrise_platform_test_deps target)
  if(target MATCHES "^test_platform_(module_player|midi_synth)$")
    target_link_libraries(${target} PRIVATE tolvanrise_audio_synth)
  endif()
  if(target MATCHES "^test_platform_x11_window$" AND X11_FOUND)
    target_link_libraries(${target} PRIVATE X11::X11)
  endif()
endfunction()
