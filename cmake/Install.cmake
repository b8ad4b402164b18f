# What `cmake --install` puts where, in two components that are also the two
# Debian packages (cmake/Packaging.cmake):
#   tools: scrivlock and scrivlock-codec, which need only the C++ run-time, and
#          the core's C library libscrivlock-core.so with its header;
#   ide:   scrivlock-ide and the plug-in, which need Qt.
# The plug-in goes to lib/scrivlock, where the installed IDE looks for it
# (../lib/scrivlock from its own folder).
include(GNUInstallDirs)

install(TARGETS scrivlock scrivlock-codec RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT tools)
# Loaded by name (dlopen), so it goes where the loader looks: the library folder.
install(TARGETS scrivlock_capi LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT tools)
install(FILES src/capi/scrivlock.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT tools)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/scrivlock COMPONENT tools)
if(SCRIVLOCK_QT)
  install(TARGETS scrivlock-ide RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ide)
  install(TARGETS scrivlock_plugin LIBRARY DESTINATION lib/scrivlock COMPONENT ide)
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/scrivlock-ide COMPONENT ide)
endif()

# Man pages are made from each tool's --help and --version by help2man, so they
# never fall behind the tools.
find_program(SCRIVLOCK_HELP2MAN help2man)
if(NOT SCRIVLOCK_HELP2MAN)
  message(WARNING "help2man not found: the man pages are neither built nor installed")
  return()
endif()
function(scrivlock_man_page tool component description)
  set(page ${PROJECT_BINARY_DIR}/man/${tool}.1)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            ${SCRIVLOCK_HELP2MAN} --no-info --section=1 --name=${description}
            --include=${PROJECT_SOURCE_DIR}/docs/man/${tool}.h2m --output=${page}
            $<TARGET_FILE:${tool}>
    DEPENDS ${tool} ${PROJECT_SOURCE_DIR}/docs/man/${tool}.h2m
    COMMENT "Making the man page of ${tool}"
    VERBATIM)
  add_custom_target(${tool}-man ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endfunction()
scrivlock_man_page(scrivlock tools "take the comments out of Object Pascal units and put them back")
scrivlock_man_page(scrivlock-codec tools "make and read Scrivlock's encoded texts")
if(SCRIVLOCK_QT)
  scrivlock_man_page(scrivlock-ide ide "a small Object Pascal editor that hosts the Scrivlock plug-in")
endif()
