# The level data of the data folder (LEVELS/): the level list, the options and the level files
# of assets/levels/, each checked by the game's own readers on the way (a bad one fails the
# build). The tool refuses a source file the list does not name, so these outputs are exactly
# what it writes.
file(GLOB level_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/levels/*)
set(level_outputs "")
foreach(source IN LISTS level_sources)
  get_filename_component(name ${source} NAME)
  list(APPEND level_outputs ${TOLVANRISE_DATA_DIR}/LEVELS/${name})
endforeach()
add_custom_command(
  OUTPUT ${level_outputs}
  COMMAND tolvanrise-levels ${CMAKE_SOURCE_DIR}/assets/levels ${TOLVANRISE_DATA_DIR}
  DEPENDS tolvanrise-levels ${level_sources}
  COMMENT "Checking and writing the levels"
  VERBATIM)
tolvanrise_data_outputs(${level_outputs})
