# The Windows parts of the build: the console back end, the file layer's
# helpers, and the executable's icon group, manifest and version record.

target_sources(zq_text PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/wide_text.cpp
)
target_sources(zq_files PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/held_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_security.cpp
)
# The known folders (user_folder.cpp).
target_link_libraries(zq_files PUBLIC shell32 ole32 uuid)

# The console: the program's own screen buffer and the key records.
add_library(zq_console STATIC
  ${CMAKE_CURRENT_LIST_DIR}/console_session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console_keys.cpp
)
target_link_libraries(zq_console PUBLIC zq_console_rules zq_files)

# The icon group, packed from the checked-in art at build time.
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(ZQ_ICON_SIZES 16 32 48)
set(ZQ_ICON_PNGS)
foreach(size IN LISTS ZQ_ICON_SIZES)
  list(APPEND ZQ_ICON_PNGS ${CMAKE_SOURCE_DIR}/assets/icons/zorvikqm-setup-${size}.png)
endforeach()
set(ZQ_ICON_FILE ${CMAKE_BINARY_DIR}/zorvikqm-setup.ico)
add_custom_command(
  OUTPUT ${ZQ_ICON_FILE}
  COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/pack_icons.py ${ZQ_ICON_FILE} ${ZQ_ICON_PNGS}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/pack_icons.py ${ZQ_ICON_PNGS}
  COMMENT "Packing the icon group"
  VERBATIM
)
set(ZQ_MANIFEST_FILE ${CMAKE_CURRENT_LIST_DIR}/zorvikqm-setup.manifest)
configure_file(${CMAKE_CURRENT_LIST_DIR}/zorvikqm-setup.rc.in ${CMAKE_BINARY_DIR}/zorvikqm-setup.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/zorvikqm-setup.rc PROPERTIES
  OBJECT_DEPENDS "${ZQ_ICON_FILE};${ZQ_MANIFEST_FILE}")
target_sources(zorvikqm-setup PRIVATE ${CMAKE_BINARY_DIR}/zorvikqm-setup.rc)
