# Every Windows program carries the application manifest: kestrova_add_manifest(<target>).
set(KESTROVA_MANIFEST_FILE "${CMAKE_CURRENT_LIST_DIR}/kestrova.manifest")
set(KESTROVA_MANIFEST_RC "${CMAKE_BINARY_DIR}/kestrova-manifest.rc")
configure_file("${CMAKE_CURRENT_LIST_DIR}/kestrova-manifest.rc.in" "${KESTROVA_MANIFEST_RC}" @ONLY)

function(kestrova_add_manifest target)
  if(WIN32)
    target_sources(${target} PRIVATE "${KESTROVA_MANIFEST_RC}")
    # The resource compiler does not see that the manifest is an input of the .rc file.
    set_source_files_properties("${KESTROVA_MANIFEST_RC}" PROPERTIES OBJECT_DEPENDS
                                "${KESTROVA_MANIFEST_FILE}")
  endif()
endfunction()
