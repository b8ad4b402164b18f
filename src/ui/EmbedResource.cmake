# Turns the binary resource bundle INPUT into OUTPUT, a C++ source that defines
# it as constant data (scrivlock::ui::IconResourceData / IconResourceSize).
# Registered explicitly by the application object: a generated C++ resource
# would register itself from a static initialiser when the plug-in is loaded.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n  " bytes "${bytes}")
file(WRITE ${OUTPUT}
"// Generated from the window's resource bundle by EmbedResource.cmake.\n"
"#include <cstddef>\n\n"
"namespace scrivlock::ui {\n\n"
"extern const unsigned char IconResourceData[];\n"
"extern const std::size_t IconResourceSize;\n\n"
"alignas(8) const unsigned char IconResourceData[] = {\n  ${bytes}\n};\n"
"const std::size_t IconResourceSize = ${size};\n\n"
"}  // namespace scrivlock::ui\n")
