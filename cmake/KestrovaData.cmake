# The files shipped beside the programs, copied from data/ into bin/ of the build so that the
# programs and the tests find them where an installed Kestrova has them: the rule files (*.db)
# in the program folder's "data" subfolder, everything else (const.dat, lang\, ...) in the
# program folder itself.
file(GLOB_RECURSE KESTROVA_DATA_FILES CONFIGURE_DEPENDS RELATIVE "${PROJECT_SOURCE_DIR}/data"
     "${PROJECT_SOURCE_DIR}/data/*")
set(KESTROVA_DATA_OUTPUTS)
foreach(f IN LISTS KESTROVA_DATA_FILES)
  if(f MATCHES "^[^/]*\\.db$")
    set(out "${CMAKE_BINARY_DIR}/bin/data/${f}")
  else()
    set(out "${CMAKE_BINARY_DIR}/bin/${f}")
  endif()
  add_custom_command(OUTPUT "${out}"
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different "${PROJECT_SOURCE_DIR}/data/${f}" "${out}"
                     DEPENDS "${PROJECT_SOURCE_DIR}/data/${f}"
                     COMMENT "Shipping data/${f}")
  list(APPEND KESTROVA_DATA_OUTPUTS "${out}")
endforeach()
add_custom_target(kestrova_data ALL DEPENDS ${KESTROVA_DATA_OUTPUTS})
