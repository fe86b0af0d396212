# Writes OUTPUT, a C++ source carrying every bmp*.png of IMAGE_DIR as a byte
# array, with findEmbeddedResource answering them by file name.
#   cmake -DIMAGE_DIR=<dir> -DOUTPUT=<file.cpp> -P embed_images.cmake
get_filename_component(IMAGE_DIR "${IMAGE_DIR}" ABSOLUTE)
file(GLOB images RELATIVE ${IMAGE_DIR} ${IMAGE_DIR}/bmp*.png)
list(SORT images)
if(NOT images)
  message(FATAL_ERROR "no bmp*.png images in ${IMAGE_DIR}")
endif()

# CMake's regular expressions have no counted repetition: spell out 16 bytes.
string(REPEAT "0x..," 16 line)
set(arrays "")
set(entries "")
foreach(image IN LISTS images)
  file(READ ${IMAGE_DIR}/${image} hex HEX)
  string(LENGTH "${hex}" digits)
  if(digits EQUAL 0)
    message(FATAL_ERROR "${image} is empty")
  endif()
  # 16 bytes a line.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
  string(MAKE_C_IDENTIFIER "${image}" symbol)
  string(APPEND arrays "const unsigned char ${symbol}[] = {\n    ${bytes}\n};\n")
  string(APPEND entries "    {\"${image}\", ${symbol}, sizeof ${symbol}},\n")
endforeach()

file(WRITE ${OUTPUT}.tmp "// Generated from the editor's artwork images; do not edit.
#include \"gui/resources.h\"

#include <cstring>

namespace {
${arrays}
const EmbeddedResource kImages[] = {
${entries}};
} // namespace

const EmbeddedResource* findEmbeddedResource(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    for (const EmbeddedResource& image : kImages) {
        if (std::strcmp(image.name, name) == 0) {
            return &image;
        }
    }
    return nullptr;
}
")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
