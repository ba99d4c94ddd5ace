# One static library per module folder. Sources are picked up by glob so that a new file
# needs no edit here; main.cpp files belong to executables, not to the module.
#   tolvanrise_module(<name> [DEPS <modules and libraries used in headers>...]
#                            [PRIVATE_DEPS <libraries used only inside>...])
function(tolvanrise_module name)
  cmake_parse_arguments(arg "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${name}/*.cpp ${CMAKE_SOURCE_DIR}/${name}/*.c)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(tolvanrise_${name} STATIC ${sources})
    target_include_directories(tolvanrise_${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(tolvanrise_${name} PUBLIC ${arg_DEPS} PRIVATE ${arg_PRIVATE_DEPS})
  else()
    add_library(tolvanrise_${name} INTERFACE)
    target_include_directories(tolvanrise_${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(tolvanrise_${name} INTERFACE ${arg_DEPS} ${arg_PRIVATE_DEPS})
  endif()
endfunction()
