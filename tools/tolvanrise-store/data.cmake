# The bitmap-store tool and the first 800x600 store it makes from assets/800x600/.
# Everything but main.cpp is the writer library, which the packer tests link as well; the
# executable made from this folder then only compiles its main.
file(GLOB tolvanrise_store_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(FILTER tolvanrise_store_sources EXCLUDE REGEX "/main\\.cpp$")
add_library(tolvanrise_store_writer STATIC ${tolvanrise_store_sources})
target_link_libraries(tolvanrise_store_writer PUBLIC tolvanrise_tools_common)
set_property(TARGET tolvanrise-store PROPERTY SOURCES ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(tolvanrise-store PRIVATE tolvanrise_store_writer)

set(store_assets ${CMAKE_SOURCE_DIR}/assets/800x600)
set(store_output ${TOLVANRISE_DATA_DIR}/800x600)
file(GLOB store_pictures CONFIGURE_DEPENDS ${store_assets}/*.png ${store_assets}/*.tga)
# Other tools' records (the font sheets) follow the sample ones, from the manifests they list
# in TOLVANRISE_STORE_MANIFESTS (their data.cmake files are included before this one).
get_property(more_manifests GLOBAL PROPERTY TOLVANRISE_STORE_MANIFESTS)
# The set fits one data file; a larger set would list bmdt1.bin and on here.
add_custom_command(
  OUTPUT ${store_output}/bmst.bin ${store_output}/bmdt0.bin
  COMMAND tolvanrise-store ${store_assets}/manifest.txt ${more_manifests} ${store_output}
  DEPENDS tolvanrise-store ${store_assets}/manifest.txt ${store_pictures} ${more_manifests}
  COMMENT "Packing the 800x600 bitmap store"
  VERBATIM)
tolvanrise_data_outputs(${store_output}/bmst.bin ${store_output}/bmdt0.bin)
