# The expert (TFormBrowserExpert, its notifiers, its string resources) and the
# shared plug-in libscrivlock.so, whose one export is INITEXPERT0017.
if(NOT SCRIVLOCK_QT)
  return()
endif()
find_package(Qt6 REQUIRED COMPONENTS Widgets)

add_library(scrivlock_expert STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FormBrowserExpert.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Notifiers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Resources.cpp
)
target_include_directories(scrivlock_expert PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(scrivlock_expert PUBLIC scrivlock_ui scrivlock_hostintf scrivlock_base)
set_target_properties(scrivlock_expert PROPERTIES
  POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)

# The libraries linked in were not all compiled with hidden visibility; the
# version script keeps every symbol but the entry point local all the same.
set(scrivlock_exports ${CMAKE_CURRENT_BINARY_DIR}/scrivlock.exports)
file(WRITE ${scrivlock_exports} "{\n  global: INITEXPERT0017;\n  local: *;\n};\n")

# The target is scrivlock_plugin because "scrivlock" is the command-line tool's;
# the file is libscrivlock.so all the same.
add_library(scrivlock_plugin MODULE ${CMAKE_CURRENT_LIST_DIR}/Entry.cpp)
target_link_libraries(scrivlock_plugin PRIVATE scrivlock_expert)
target_link_options(scrivlock_plugin PRIVATE
  -Wl,--version-script=${scrivlock_exports} -Wl,--no-undefined)
set_target_properties(scrivlock_plugin PROPERTIES
  OUTPUT_NAME scrivlock
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON
  LINK_DEPENDS ${scrivlock_exports})
