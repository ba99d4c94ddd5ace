function(tolvanrise_screens_test_deps target)
  # The program suites start the real executable; every screens suite runs on the data folder.
  add_dependencies(${target} tolvanrise data)
  target_compile_definitions(${target} PRIVATE TOLVANRISE_EXECUTABLE="$<TARGET_FILE:tolvanrise>"
                                               TOLVANRISE_DATA_DIR="${CMAKE_BINARY_DIR}/data")
  tolvanrise_screens_x11(${target})
  # The game-application suite presses keys as SDL events, through the platform's event path.
  if(target MATCHES "^test_screens_game_application$")
    target_link_libraries(${target} PRIVATE PkgConfig::SDL2)
  endif()
endfunction()

# The screenshot and close suites look at the screen of the X server they start.
find_package(X11)
function(tolvanrise_screens_x11 target)
  if(target MATCHES "^test_screens_(screenshot|close_and_save)" AND X11_FOUND)
    target_link_libraries(${target} PRIVATE X11::X11)
  endif()
endfunction()
