# The layering check. Every library owns the folders it is built from and
# declares the libraries it links; a file may include, besides the standard
# library and the system's, only headers of its own library and of the
# libraries it links, directly or through others. Executables (programs,
# tests, benchmarks) may include what they link, and the headers of their own
# folders are held to the same. The build runs the check whenever a source
# file changes, so a wrong #include fails the build, and ctest runs it as a
# test. Declared dependencies that form a cycle fail it too.
#
# velrix_layering_check() is called at the end of the top CMakeLists.txt,
# once every target and its links exist.

# Every target below a directory, into the list named by `out`.
function(_velrix_collect_targets dir out)
  get_property(_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(_subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(_sub IN LISTS _subdirs)
    _velrix_collect_targets(${_sub} _more)
    list(APPEND _targets ${_more})
  endforeach()
  set(${out} ${_targets} PARENT_SCOPE)
endfunction()

# The targets of the tree a target links, in its LINK_LIBRARIES and
# INTERFACE_LINK_LIBRARIES, without imported ones (Qt, GoogleTest, ...).
function(_velrix_direct_links target out)
  set(_links "")
  get_target_property(_type ${target} TYPE)
  if(NOT _type STREQUAL "INTERFACE_LIBRARY")
    get_target_property(_linked ${target} LINK_LIBRARIES)
    if(_linked)
      list(APPEND _links ${_linked})
    endif()
  endif()
  get_target_property(_interface ${target} INTERFACE_LINK_LIBRARIES)
  if(_interface)
    list(APPEND _links ${_interface})
  endif()
  set(_own "")
  foreach(_link IN LISTS _links)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" _link "${_link}")
    if(TARGET ${_link})
      get_target_property(_imported ${_link} IMPORTED)
      if(NOT _imported)
        list(APPEND _own ${_link})
      endif()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES _own)
  set(${out} ${_own} PARENT_SCOPE)
endfunction()

function(velrix_layering_check)
  _velrix_collect_targets(${PROJECT_SOURCE_DIR} _all)
  set(_text "")
  set(_checked "")
  set(_globbed "")
  foreach(_target IN LISTS _all)
    get_target_property(_type ${_target} TYPE)
    if(NOT _type MATCHES "^(STATIC_LIBRARY|INTERFACE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
      continue()
    endif()
    _velrix_direct_links(${_target} _links)
    get_target_property(_folders ${_target} VELRIX_FOLDERS)
    set(_files "")
    if(NOT _folders)
      # An executable: the files it compiles.
      set(_folders "")
      get_target_property(_sources ${_target} SOURCES)
      get_target_property(_dir ${_target} SOURCE_DIR)
      foreach(_source IN LISTS _sources)
        if(_source MATCHES "\\$<" OR NOT _source MATCHES "\\.(cpp|h)$")
          continue()
        endif()
        get_filename_component(_path ${_source} ABSOLUTE BASE_DIR ${_dir})
        file(RELATIVE_PATH _rel ${PROJECT_SOURCE_DIR} ${_path})
        list(APPEND _files ${_rel})
      endforeach()
    endif()
    list(APPEND _globbed ${_folders})
    foreach(_file IN LISTS _files)
      get_filename_component(_folder ${_file} DIRECTORY)
      list(APPEND _globbed ${_folder})
    endforeach()
    list(APPEND _checked ${_target})
    string(APPEND _text "set(VELRIX_LINKS_${_target} \"${_links}\")\n"
                        "set(VELRIX_FOLDERS_${_target} \"${_folders}\")\n"
                        "set(VELRIX_FILES_${_target} \"${_files}\")\n")
  endforeach()
  string(APPEND _text "set(VELRIX_TARGETS \"${_checked}\")\n")
  set(_targets_file ${PROJECT_BINARY_DIR}/layering/targets.cmake)
  file(CONFIGURE OUTPUT ${_targets_file} CONTENT "${_text}")

  set(_script ${PROJECT_SOURCE_DIR}/tests/layering/check_includes.cmake)
  set(_command ${CMAKE_COMMAND} -DSOURCE_ROOT=${PROJECT_SOURCE_DIR}
               -DTARGETS_FILE=${_targets_file} -P ${_script})
  # The check reads the files of these folders: it runs again when one of
  # them changes, or a file comes or goes.
  list(REMOVE_DUPLICATES _globbed)
  set(_tree "")
  foreach(_folder IN LISTS _globbed)
    file(GLOB _in CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${_folder}/*.h
         ${PROJECT_SOURCE_DIR}/${_folder}/*.cpp)
    list(APPEND _tree ${_in})
  endforeach()
  set(_stamp ${PROJECT_BINARY_DIR}/layering/checked.stamp)
  add_custom_command(OUTPUT ${_stamp}
                     COMMAND ${_command}
                     COMMAND ${CMAKE_COMMAND} -E touch ${_stamp}
                     DEPENDS ${_tree} ${_targets_file} ${_script}
                     COMMENT "Checking every #include against the libraries' declared links"
                     VERBATIM)
  add_custom_target(velrix_layering ALL DEPENDS ${_stamp})
  add_test(NAME Layering.EveryIncludeIsOfTheOwnLibraryOrOneItLinks COMMAND ${_command})
  set_tests_properties(Layering.EveryIncludeIsOfTheOwnLibraryOrOneItLinks PROPERTIES LABELS layering)
  velrix_check_target(layering velrix_layering)
endfunction()
