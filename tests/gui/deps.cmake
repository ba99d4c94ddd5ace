function(tolvanrise_gui_test_deps target)
  # The suites that read the fonts the build's data target makes.
  if(target MATCHES "^test_gui_(font_managers|dialog_input|control_keys|edits|dialog_builder|input_model|list_model)$")
    add_dependencies(${target} data)
    target_compile_definitions(${target} PRIVATE TOLVANRISE_DATA_DIR="${CMAKE_BINARY_DIR}/data")
  endif()
endfunction()
