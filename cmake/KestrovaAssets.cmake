# The program's pictures, rendered from assets/svg by the build into bin/res (never committed):
# the application icon "res\icon.ico", the image strips "res\16.png" (assets/svg/small) and
# "res\32.png" (assets/svg/tools), one icon per file in the order of the number its name starts
# with, and the pictures under "res\images". kestrova_add_program_resources(<target>) links the
# icon (id 1) and the version resource into a Windows program.
find_program(KESTROVA_RSVG rsvg-convert)
if(NOT KESTROVA_RSVG)
  message(FATAL_ERROR "rsvg-convert (Debian package librsvg2-bin) is needed to render the "
                      "program's pictures: run tools/install-deps")
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(KESTROVA_SVG "${PROJECT_SOURCE_DIR}/assets/svg")
set(KESTROVA_ASSET_TOOL "${PROJECT_SOURCE_DIR}/tools/assets.py")
set(KESTROVA_RES "${CMAKE_BINARY_DIR}/bin/res")
set(KESTROVA_ICON "${KESTROVA_RES}/icon.ico")

add_custom_command(OUTPUT "${KESTROVA_ICON}"
                   COMMAND ${CMAKE_COMMAND} -E make_directory "${KESTROVA_RES}"
                   COMMAND Python3::Interpreter "${KESTROVA_ASSET_TOOL}" ico "${KESTROVA_RSVG}"
                           "${KESTROVA_ICON}" "${KESTROVA_SVG}/app-icon.svg" 16 24 32 48 256
                   DEPENDS "${KESTROVA_SVG}/app-icon.svg" "${KESTROVA_ASSET_TOOL}"
                   COMMENT "Rendering res/icon.ico")
set(KESTROVA_ASSET_OUTPUTS "${KESTROVA_ICON}")
foreach(strip small:16 tools:32)
  string(REPLACE ":" ";" strip "${strip}")
  list(GET strip 0 folder)
  list(GET strip 1 size)
  file(GLOB icons CONFIGURE_DEPENDS "${KESTROVA_SVG}/${folder}/*.svg")
  list(SORT icons COMPARE NATURAL)
  add_custom_command(OUTPUT "${KESTROVA_RES}/${size}.png"
                     COMMAND ${CMAKE_COMMAND} -E make_directory "${KESTROVA_RES}"
                     COMMAND Python3::Interpreter "${KESTROVA_ASSET_TOOL}" strip "${KESTROVA_RSVG}"
                             ${size} "${KESTROVA_RES}/${size}.png" ${icons}
                     DEPENDS ${icons} "${KESTROVA_ASSET_TOOL}"
                     COMMENT "Rendering res/${size}.png")
  list(APPEND KESTROVA_ASSET_OUTPUTS "${KESTROVA_RES}/${size}.png")
endforeach()
foreach(picture splash about update)
  set(out "${KESTROVA_RES}/images/${picture}.png")
  add_custom_command(OUTPUT "${out}"
                     COMMAND ${CMAKE_COMMAND} -E make_directory "${KESTROVA_RES}/images"
                     COMMAND "${KESTROVA_RSVG}" -f png -o "${out}" "${KESTROVA_SVG}/${picture}.svg"
                     DEPENDS "${KESTROVA_SVG}/${picture}.svg"
                     COMMENT "Rendering res/images/${picture}.png")
  list(APPEND KESTROVA_ASSET_OUTPUTS "${out}")
endforeach()
add_custom_target(kestrova_assets ALL DEPENDS ${KESTROVA_ASSET_OUTPUTS})

# The version every program carries is the product's "App.Ver" in data/const.dat.
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${PROJECT_SOURCE_DIR}/data/const.dat")
file(STRINGS "${PROJECT_SOURCE_DIR}/data/const.dat" KESTROVA_VERSION_LINE REGEX "^App\\.Ver=")
if(NOT KESTROVA_VERSION_LINE MATCHES "^App\\.Ver=([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)[ \t\r]*$")
  message(FATAL_ERROR "data/const.dat: App.Ver must be four numbers, as 1.2.3.4")
endif()
set(KESTROVA_VERSION_TEXT "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}")
set(KESTROVA_VERSION_COMMAS "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3},${CMAKE_MATCH_4}")
foreach(part ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
  if(part GREATER 65535)
    message(FATAL_ERROR "data/const.dat: every number of App.Ver must be at most 65535")
  endif()
endforeach()

# What each program's file description says.
set(KESTROVA_DESCRIPTION_kestrova "Kestrova")
set(KESTROVA_DESCRIPTION_kestrova-cli "Kestrova command-line front end")
set(KESTROVA_DESCRIPTION_sweephelper "Kestrova sweep helper")
set(KESTROVA_DESCRIPTION_kestrova-info "Kestrova system information")

function(kestrova_add_program_resources target)
  if(NOT WIN32)
    return()
  endif()
  if(NOT DEFINED KESTROVA_DESCRIPTION_${target})
    message(FATAL_ERROR "cmake/KestrovaAssets.cmake: no file description for ${target}")
  endif()
  set(description "${KESTROVA_DESCRIPTION_${target}}")
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(KESTROVA_PROGRAM_FILE "${name}.exe")
  set(KESTROVA_PROGRAM_NAME "${name}")
  set(KESTROVA_PROGRAM_DESCRIPTION "${description}")
  set(rc "${CMAKE_BINARY_DIR}/resources/${target}.rc")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/kestrova-program.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
  set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${KESTROVA_ICON}")
  add_dependencies(${target} kestrova_assets)
endfunction()
