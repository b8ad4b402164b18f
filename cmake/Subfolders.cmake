# scrivlock_add_subfolders(): adds every sub-folder of the current folder that
# has a CMakeLists.txt, in name order, so that a new app, test suite, benchmark
# or host is built as soon as its folder exists.
function(scrivlock_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
