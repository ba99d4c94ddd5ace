function(tolvanrise_screens_test_deps target)
  # The program suites start the real executable; every screens suite runs on the data folder.
  add_dependencies(${target} tolvanrise data)
  target_compile_definitions(${target} PRIVATE TOLVANRISE_EXECUTABLE="$<TARGET_FILE:tolvanrise>"
                                               TOLVANRISE_DATA_DIR="${CMAKE_BINARY_DIR}/data")
endfunction()
