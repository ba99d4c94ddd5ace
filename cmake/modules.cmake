# One static library per module folder. Sources are picked up by glob so that a new file
# needs no edit here; main.cpp files belong to executables, not to the module.
function(tolvanrise_module name)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${name}/*.cpp ${CMAKE_SOURCE_DIR}/${name}/*.c)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(tolvanrise_${name} STATIC ${sources})
    target_include_directories(tolvanrise_${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(tolvanrise_${name} PUBLIC ${ARGN})
  else()
    add_library(tolvanrise_${name} INTERFACE)
    target_include_directories(tolvanrise_${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(tolvanrise_${name} INTERFACE ${ARGN})
  endif()
endfunction()
