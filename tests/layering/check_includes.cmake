# Run as cmake -DSOURCE_ROOT=... -DTARGETS_FILE=... -P check_includes.cmake
# (see layering.cmake): fails, naming every offending #include, when a file
# includes a header of a library its own does not link, or a header that
# belongs to no library and no folder of its own program; and when the
# declared links of the libraries form a cycle.

cmake_minimum_required(VERSION 3.22)
include(${TARGETS_FILE})

set(_problems "")
set(_owner_folders "")
foreach(_target IN LISTS VELRIX_TARGETS)
  foreach(_folder IN LISTS VELRIX_FOLDERS_${_target})
    set(_owner_of_${_folder} ${_target})
    list(APPEND _owner_folders ${_folder})
  endforeach()
endforeach()

# Every target a target reaches through its links, into the variable
# _reach_<target>, and whether it reaches itself.
function(_reach target)
  set(_seen "")
  set(_queue ${VELRIX_LINKS_${target}})
  while(_queue)
    list(POP_FRONT _queue _next)
    if(_next IN_LIST _seen)
      continue()
    endif()
    list(APPEND _seen ${_next})
    list(APPEND _queue ${VELRIX_LINKS_${_next}})
  endwhile()
  set(_reach_${target} ${_seen} PARENT_SCOPE)
endfunction()

foreach(_target IN LISTS VELRIX_TARGETS)
  _reach(${_target})
  if(_target IN_LIST _reach_${_target})
    list(APPEND _problems "${_target} links itself through its dependencies: a cycle")
  endif()
endforeach()

# The quoted includes of a file that name a folder of the tree.
function(_includes file out)
  file(STRINGS ${SOURCE_ROOT}/${file} _lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  set(_found "")
  foreach(_line IN LISTS _lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" _header "${_line}")
    list(APPEND _found ${_header})
  endforeach()
  set(${out} ${_found} PARENT_SCOPE)
endfunction()

# Checks one file of `target`; headers of no library that it includes are
# checked for the target too, once.
function(_check target file)
  _includes(${file} _headers)
  foreach(_header IN LISTS _headers)
    get_filename_component(_folder ${_header} DIRECTORY)
    if(DEFINED _owner_of_${_folder})
      set(_owner ${_owner_of_${_folder}})
      if(NOT _owner STREQUAL target AND NOT _owner IN_LIST _reach_${target})
        set(_problems "${_problems};${file} (${target}) includes ${_header} of ${_owner}, which ${target} does not link")
      endif()
    elseif(VELRIX_FOLDERS_${target} OR NOT EXISTS ${SOURCE_ROOT}/${_header})
      set(_problems "${_problems};${file} (${target}) includes ${_header}, which belongs to no library")
    elseif(NOT _header IN_LIST _visited)
      list(APPEND _visited ${_header})
      set(_visited ${_visited} PARENT_SCOPE)
      _check(${target} ${_header})
    endif()
  endforeach()
  set(_problems ${_problems} PARENT_SCOPE)
  set(_visited ${_visited} PARENT_SCOPE)
endfunction()

foreach(_target IN LISTS VELRIX_TARGETS)
  set(_visited "")
  set(_files ${VELRIX_FILES_${_target}})
  foreach(_folder IN LISTS VELRIX_FOLDERS_${_target})
    file(GLOB _in RELATIVE ${SOURCE_ROOT} ${SOURCE_ROOT}/${_folder}/*.h ${SOURCE_ROOT}/${_folder}/*.cpp)
    list(APPEND _files ${_in})
  endforeach()
  # A library's folders hold its program's main_*.cpp too: it is held to the
  # library's links, which the program links all of.
  foreach(_file IN LISTS _files)
    _check(${_target} ${_file})
  endforeach()
endforeach()

list(FILTER _problems EXCLUDE REGEX "^$")
if(_problems)
  list(JOIN _problems "\n  " _text)
  message(FATAL_ERROR "includes outside the declared layering:\n  ${_text}")
endif()
list(LENGTH VELRIX_TARGETS _count)
message(STATUS "layering: the includes of ${_count} targets follow their links")
