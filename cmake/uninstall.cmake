# `make uninstall`: cmake -DZQ_BUILD_DIR=build -DZQ_ROOT=<DESTDIR><prefix>
# -P cmake/uninstall.cmake. Removes what the install into that destination
# recorded: its files, then the folders it created once they are empty.
# A recorded file goes even if changed since; a created folder stays while
# it holds anything the install did not put there.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/install_record.cmake)

zq_record_path("${ZQ_BUILD_DIR}" "${ZQ_ROOT}" record)
if(NOT EXISTS "${record}")
  message(FATAL_ERROR "uninstall: no install into ${ZQ_ROOT} is recorded in ${ZQ_BUILD_DIR} "
                      "(give the PREFIX and DESTDIR of the install)")
endif()

file(STRINGS "${record}" lines)
set(kept)
foreach(line IN LISTS lines)
  if(line MATCHES "^file (.+)$")
    set(path "${CMAKE_MATCH_1}")
    # Whatever the record says, no file outside the destination is touched.
    # (Folders are, above it, when the install created them under DESTDIR;
    # they go only once empty.)
    cmake_path(IS_PREFIX ZQ_ROOT "${path}" NORMALIZE inside)
    if(NOT inside)
      message(WARNING "uninstall: ${path} is outside ${ZQ_ROOT}; left alone")
    elseif(EXISTS "${path}" OR IS_SYMLINK "${path}")
      file(REMOVE "${path}")
      message(STATUS "Removed: ${path}")
    endif()
  elseif(line MATCHES "^dir (.+)$")
    set(path "${CMAKE_MATCH_1}")
    if(IS_DIRECTORY "${path}")
      file(GLOB children LIST_DIRECTORIES true "${path}/*" "${path}/.*")
      if(children)
        list(APPEND kept "${path}")
      else()
        file(REMOVE_RECURSE "${path}")
        message(STATUS "Removed: ${path}/")
      endif()
    endif()
  endif()
endforeach()
file(REMOVE "${record}")
foreach(path IN LISTS kept)
  message(STATUS "Kept, not empty: ${path}/")
endforeach()
