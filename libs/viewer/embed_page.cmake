# cmake -DPAGE_DIR=... -DOUTPUT=... -P embed_page.cmake
# page.html with page.css and the scripts put in place of its markers, written as
# a byte array (no raw-string delimiter or length limit to worry about).
file(READ ${PAGE_DIR}/page.html page)
file(READ ${PAGE_DIR}/page.css css)
set(scripts "")
foreach(script data.js terrain_gl.js page.js)
  file(READ ${PAGE_DIR}/${script} text)
  string(APPEND scripts "// ${script}\n${text}\n")
endforeach()
string(REPLACE "@PAGE_CSS@" "${css}" page "${page}")
string(REPLACE "@PAGE_JS@" "${scripts}" page "${page}")
file(WRITE ${OUTPUT}.html "${page}")
file(READ ${OUTPUT}.html hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT}
  "// Generated from viewer/page by embed_page.cmake; edit those files instead.\n"
  "#include <cstddef>\n\nnamespace viewer {\n\n"
  "extern const unsigned char kPageTemplate[] = {${bytes}0};\n"
  "extern const std::size_t kPageTemplateSize = ${size};\n\n}  // namespace viewer\n")
