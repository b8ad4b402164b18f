# scrivlock_include_root(<target> <path>): makes the headers of the current
# source folder includable as "<path>/Header.h" by <target> and by whatever
# links it, and by nothing else.
#
# Each library gets an include root of its own in the build tree, holding one
# link to its source folder, instead of all of src/ on the include path: so a
# header of a layer that a library does not link (a layer above it) is not found,
# and a wrong arrow fails to compile rather than waiting for a review.
function(scrivlock_include_root target path)
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${path} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${path})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${path} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE" OR type STREQUAL "MODULE_LIBRARY")
    target_include_directories(${target} PRIVATE ${root})
  elseif(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
