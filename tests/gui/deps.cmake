function(tolvanrise_gui_test_deps target)
  # The font-manager suite reads the fonts the build's data target makes.
  if(target MATCHES "^test_gui_font_managers")
    add_dependencies(${target} data)
    target_compile_definitions(${target} PRIVATE TOLVANRISE_DATA_DIR="${CMAKE_BINARY_DIR}/data")
  endif()
endfunction()
