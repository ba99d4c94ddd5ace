find_package(JPEG REQUIRED)
function(tolvanrise_graphics_test_deps target)
  target_link_libraries(${target} PRIVATE JPEG::JPEG)
  # The packer tests link the packer's writer and run the built packer.
  if(target MATCHES "^test_graphics_packer_" AND TARGET tolvanrise-store)
    target_link_libraries(${target} PRIVATE tolvanrise_store_writer)
    target_compile_definitions(${target} PRIVATE
      TOLVANRISE_STORE_EXE="$<TARGET_FILE:tolvanrise-store>")
    add_dependencies(${target} tolvanrise-store)
  endif()
  tolvanrise_graphics_ttf_test_deps(${target})
endfunction()
# The TrueType suite compares with glyphs rendered by FreeType itself.
function(tolvanrise_graphics_ttf_test_deps target)
  if(target MATCHES "^test_graphics_ttf_")
    target_link_libraries(${target} PRIVATE PkgConfig::FREETYPE)
  endif()
endfunction()
