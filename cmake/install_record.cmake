# Runs inside `cmake --install`: keeps a record of what this install put
# where, so that `make uninstall` removes exactly that, the files and the
# folders the install had to create, and nothing that was there before.
#
# There is one record per destination (DESTDIR and prefix joined), in the
# build folder's install-records/: installing into a scratch root, as the
# tests do, leaves the record of a real install alone. CMake's own
# install_manifest.txt has no such guard and only lists files.

cmake_policy(VERSION 3.25)

function(zq_record_path build_dir root out)
  string(MD5 key "${root}")
  set(${out} "${build_dir}/install-records/${key}.txt" PARENT_SCOPE)
endfunction()

# CPack installs into its staging folder to build a package: that is no
# install to undo.
function(zq_is_staging root out)
  if(root MATCHES "/_CPack_Packages/")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Before the first file: the folders of the destinations that do not exist
# yet, each one's missing parents too.
macro(zq_record_begin relative_dirs)
  set(ZQ_RECORD_ROOT "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  set(ZQ_CREATED_DIRS)
  foreach(zq_rel ${relative_dirs})
    cmake_path(APPEND ZQ_RECORD_ROOT "${zq_rel}" OUTPUT_VARIABLE zq_dir)
    cmake_path(NORMAL_PATH zq_dir)
    string(REGEX REPLACE "(.)/$" "\\1" zq_dir "${zq_dir}")
    while(NOT EXISTS "${zq_dir}" AND NOT zq_dir IN_LIST ZQ_CREATED_DIRS)
      list(APPEND ZQ_CREATED_DIRS "${zq_dir}")
      cmake_path(GET zq_dir PARENT_PATH zq_dir)
    endwhile()
  endforeach()
endmacro()

# After the last file: write the record, files first, then the created
# folders children before parents (a descending sort puts a/b before a).
function(zq_record_end build_dir)
  zq_is_staging("${ZQ_RECORD_ROOT}" staging)
  if(staging)
    return()
  endif()
  zq_record_path("${build_dir}" "${ZQ_RECORD_ROOT}" record)
  set(dirs ${ZQ_CREATED_DIRS})
  list(SORT dirs ORDER DESCENDING)
  set(text "# zorvikqm-setup installed into ${ZQ_RECORD_ROOT}\n")
  # The install's own list names the files without DESTDIR.
  foreach(file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
    set(file "$ENV{DESTDIR}${file}")
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "install record: ${file} was just installed but is not there")
    endif()
    string(APPEND text "file ${file}\n")
  endforeach()
  foreach(dir IN LISTS dirs)
    string(APPEND text "dir ${dir}\n")
  endforeach()
  file(WRITE "${record}" "${text}")
endfunction()
