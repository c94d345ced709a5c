# The files shipped beside the programs: everything under data/ is copied to bin/data/ of the
# build, so the programs and the tests find it where an installed Kestrova has it.
file(GLOB_RECURSE KESTROVA_DATA_FILES CONFIGURE_DEPENDS RELATIVE "${PROJECT_SOURCE_DIR}/data"
     "${PROJECT_SOURCE_DIR}/data/*")
set(KESTROVA_DATA_OUTPUTS)
foreach(f IN LISTS KESTROVA_DATA_FILES)
  set(out "${CMAKE_BINARY_DIR}/bin/data/${f}")
  add_custom_command(OUTPUT "${out}"
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different "${PROJECT_SOURCE_DIR}/data/${f}" "${out}"
                     DEPENDS "${PROJECT_SOURCE_DIR}/data/${f}"
                     COMMENT "Shipping data/${f}")
  list(APPEND KESTROVA_DATA_OUTPUTS "${out}")
endforeach()
add_custom_target(kestrova_data ALL DEPENDS ${KESTROVA_DATA_OUTPUTS})
