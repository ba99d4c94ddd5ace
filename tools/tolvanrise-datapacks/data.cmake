# The single-picture data packs of the data folder, from the manifest and source pictures in
# assets/packs/. The outputs are read off the manifest, which re-runs configuration when edited.
set(packs_assets ${CMAKE_SOURCE_DIR}/assets/packs)
set(packs_manifest ${packs_assets}/packs.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${packs_manifest})

file(STRINGS ${packs_manifest} packs_lines)
set(packs_outputs "")
set(packs_sources "")
foreach(line IN LISTS packs_lines)
  string(REGEX REPLACE "#.*$" "" line "${line}")
  if(line MATCHES "^[ \t]*([0-9]+)[ \t]+[a-z0-9]+[ \t]+([^ \t]+)")
    list(APPEND packs_outputs ${TOLVANRISE_DATA_DIR}/Data${CMAKE_MATCH_1}.dat)
    list(APPEND packs_sources ${packs_assets}/${CMAKE_MATCH_2})
  endif()
endforeach()
list(REMOVE_DUPLICATES packs_sources)

add_custom_command(
  OUTPUT ${packs_outputs}
  COMMAND tolvanrise-datapacks build ${packs_manifest} ${packs_assets} ${TOLVANRISE_DATA_DIR}
  DEPENDS tolvanrise-datapacks ${packs_manifest} ${packs_sources}
  COMMENT "Writing the picture packs from assets/packs"
  VERBATIM)
tolvanrise_data_outputs(${packs_outputs})
