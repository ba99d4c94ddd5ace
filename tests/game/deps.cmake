# The high-score client's suite loads a stand-in of the outside score library.
add_library(tolvanrise_test_score_service MODULE ${CMAKE_CURRENT_LIST_DIR}/score/score_service_stub.cpp)
function(tolvanrise_game_test_deps target)
  if(target MATCHES "^test_game_high_score_client")
    add_dependencies(${target} tolvanrise_test_score_service)
    target_compile_definitions(${target} PRIVATE
      TOLVANRISE_SCORE_STUB="$<TARGET_FILE:tolvanrise_test_score_service>")
  endif()
  # The board's property suite plays the levels the build's data target ships.
  if(target MATCHES "^test_game_board_property$")
    add_dependencies(${target} data)
    target_compile_definitions(${target} PRIVATE TOLVANRISE_DATA_DIR="${CMAKE_BINARY_DIR}/data")
  endif()
endfunction()
