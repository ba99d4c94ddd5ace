# The fonts of the data folder, rendered from DejaVu Sans (fonts-dejavu-core): the font
# sheets, which the store packer appends to the 800x600 bitmap store (through the global
# property TOLVANRISE_STORE_MANIFESTS), the bitmap-font list and descriptions, and the
# scrambled TrueType file.
target_link_libraries(tolvanrise-fonts PRIVATE PkgConfig::FREETYPE)

set(font_source /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf)
set(font_sheets ${CMAKE_BINARY_DIR}/font_sheets)
set(font_outputs ${TOLVANRISE_DATA_DIR}/fonts.xml ${TOLVANRISE_DATA_DIR}/fonts.cfg
                 ${TOLVANRISE_DATA_DIR}/DejaVuSans.ttf)
add_custom_command(
  OUTPUT ${font_outputs} ${font_sheets}/manifest.txt
  COMMAND tolvanrise-fonts ${font_source} ${TOLVANRISE_DATA_DIR} ${font_sheets}
  DEPENDS tolvanrise-fonts ${font_source}
  COMMENT "Rendering the font sheets and packing the TrueType font"
  VERBATIM)
tolvanrise_data_outputs(${font_outputs})
set_property(GLOBAL APPEND PROPERTY TOLVANRISE_STORE_MANIFESTS ${font_sheets}/manifest.txt)
