find_package(JPEG REQUIRED)
function(tolvanrise_graphics_test_deps target)
  target_link_libraries(${target} PRIVATE JPEG::JPEG)
endfunction()
