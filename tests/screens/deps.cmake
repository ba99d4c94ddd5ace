function(tolvanrise_screens_test_deps target)
  # The program suite starts the real executable.
  add_dependencies(${target} tolvanrise)
  target_compile_definitions(${target} PRIVATE TOLVANRISE_EXECUTABLE="$<TARGET_FILE:tolvanrise>")
endfunction()
