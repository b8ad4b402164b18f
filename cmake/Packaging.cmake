# `cpack -G DEB` in the build folder makes two Debian packages:
#   scrivlock      the command-line tools (no Qt, for servers and editors);
#   scrivlock-ide  the Qt IDE and the plug-in it loads.
# Run-time dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME scrivlock)
set(CPACK_PACKAGE_VENDOR "The Scrivlock developers")
set(CPACK_PACKAGE_CONTACT "The Scrivlock developers <scrivlock@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "takes every comment out of an Object Pascal unit and puts it back later")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME scrivlock)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
    "Scrivlock takes every comment out of an Object Pascal unit and puts it back later.
Uncomment replaces each comment by a numbered marker {#N}, itself a comment, so
the unit still compiles, and moves the comment texts into a companion unit, the
commenting module. Re-Comment puts every comment back at its marker, also after
the code between the markers was edited. This package holds the command-line
tools scrivlock and scrivlock-codec.")
set(CPACK_DEBIAN_IDE_PACKAGE_NAME scrivlock-ide)
set(CPACK_COMPONENT_IDE_DESCRIPTION
    "Scrivlock takes every comment out of an Object Pascal unit and puts it back later.
This package holds scrivlock-ide, a small Qt editor for Object Pascal, and the
Scrivlock plug-in that it loads, with the Comments window and its Uncomment
and Re-Comment commands.")
set(CPACK_DEBIAN_IDE_PACKAGE_SECTION editors)

set(CPACK_COMPONENTS_ALL tools)
if(SCRIVLOCK_QT)
  list(APPEND CPACK_COMPONENTS_ALL ide)
endif()
include(CPack)
