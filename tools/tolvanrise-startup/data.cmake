# The start-up files of the data folder (options, dictionary, the intro's and the target's
# animations, the windows' dialog files) and the bitmap sets the first screens reload: the
# intro's bar ("INTRO"), the interface ("INTERFACE") and the text particles (the data
# folder's own set).
set(startup_assets ${CMAKE_SOURCE_DIR}/assets/startup)
set(startup_outputs ${TOLVANRISE_DATA_DIR}/start_up_options.xml ${TOLVANRISE_DATA_DIR}/english.dic
                    ${TOLVANRISE_DATA_DIR}/intro.cfg ${TOLVANRISE_DATA_DIR}/main_menu.cfg
                    ${TOLVANRISE_DATA_DIR}/options.cfg ${TOLVANRISE_DATA_DIR}/select_game.cfg
                    ${TOLVANRISE_DATA_DIR}/game_main.cfg ${TOLVANRISE_DATA_DIR}/result.cfg
                    ${TOLVANRISE_DATA_DIR}/target_glow.cfg)
add_custom_command(
  OUTPUT ${startup_outputs}
  COMMAND tolvanrise-startup ${startup_assets} ${TOLVANRISE_DATA_DIR}
  DEPENDS tolvanrise-startup ${startup_assets}/start_up_options.xml ${startup_assets}/english.xml
          ${startup_assets}/intro.cfg ${startup_assets}/main_menu.cfg ${startup_assets}/options.cfg
          ${startup_assets}/select_game.cfg ${startup_assets}/game_main.cfg ${startup_assets}/result.cfg
          ${startup_assets}/target_glow.cfg
  COMMENT "Writing the start-up options, dictionary, dialogs and animations"
  VERBATIM)
tolvanrise_data_outputs(${startup_outputs})

file(GLOB store_pictures_for_sets CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/800x600/*.png)
foreach(set IN ITEMS intro interface text)
  if(set STREQUAL "text")
    set(set_output ${TOLVANRISE_DATA_DIR})
  else()
    string(TOUPPER ${set} set_folder)
    set(set_output ${TOLVANRISE_DATA_DIR}/${set_folder})
  endif()
  add_custom_command(
    OUTPUT ${set_output}/bmst.bin ${set_output}/bmdt0.bin
    COMMAND tolvanrise-store ${CMAKE_SOURCE_DIR}/assets/${set}/manifest.txt ${set_output}
    DEPENDS tolvanrise-store ${CMAKE_SOURCE_DIR}/assets/${set}/manifest.txt ${store_pictures_for_sets}
    COMMENT "Packing the ${set} bitmap set"
    VERBATIM)
  tolvanrise_data_outputs(${set_output}/bmst.bin ${set_output}/bmdt0.bin)
endforeach()
