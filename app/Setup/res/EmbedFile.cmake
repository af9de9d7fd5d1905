# Writes a C++ source holding the bytes of a file and the function returning them.
#   cmake -DINPUT=Setup.res -DOUTPUT=EmbeddedSetupRes.cpp -DFUNCTION=EmbeddedSetupRes -P EmbedFile.cmake
foreach(var INPUT OUTPUT FUNCTION)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "EmbedFile.cmake: ${var} is not set")
    endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
if(size EQUAL 0)
    message(FATAL_ERROR "EmbedFile.cmake: ${INPUT} is empty")
endif()
# 0x.., 16 bytes a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")

get_filename_component(name "${INPUT}" NAME)
set(text "// Generated from ${name} by EmbedFile.cmake; do not edit.
#include <cstddef>

namespace {
const unsigned char kBytes[${size}] = {
    ${bytes}
};
}  // namespace

const unsigned char* ${FUNCTION}(size_t* size) {
    if (size) {
        *size = sizeof(kBytes);
    }
    return kBytes;
}
")
# Only touch the output when it changes, so that the library is not rebuilt needlessly.
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
    if(old STREQUAL text)
        return()
    endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
