# System libraries the programs call only on a user's request (the file dialog, downloads) are
# loaded on their first call rather than at process start: under Wine each one loaded at start
# (with what it loads in turn) is paid before the first window shows. Each .def file in
# cmake/delayload names the functions used; dlltool turns it into a delay-load import library.
# A function called that is missing from its .def file links against nothing and fails the build.
function(kestrova_delay_load_libraries out_var)
  set(libraries)
  file(GLOB defs CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/cmake/delayload/*.def")
  foreach(def IN LISTS defs)
    get_filename_component(name "${def}" NAME_WE)
    # An edited .def file configures again, so that its library is made anew.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${def}")
    set(library "${CMAKE_BINARY_DIR}/delayload/lib${name}_delay.a")
    file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/delayload")
    execute_process(COMMAND "${CMAKE_DLLTOOL}" --input-def "${def}" --output-delaylib "${library}"
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "dlltool could not make the delay-load library of ${def}")
    endif()
    list(APPEND libraries "${library}")
  endforeach()
  set(${out_var} ${libraries} PARENT_SCOPE)
endfunction()
