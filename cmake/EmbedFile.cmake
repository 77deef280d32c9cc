# Writes a C++ source that holds a file's bytes: cmake -DINPUT=<file> -DOUTPUT=<source>
# -DSYMBOL=<name> -DHEADER=<header to include> -P EmbedFile.cmake. The source defines
# nuvex::engine::<name>Bytes[] and <name>Size.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${name} by cmake/EmbedFile.cmake; do not edit.
#include \"${HEADER}\"

namespace nuvex::engine {

const unsigned char ${SYMBOL}Bytes[] = {
${bytes}
};
const std::size_t ${SYMBOL}Size = ${size};

}  // namespace nuvex::engine
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
