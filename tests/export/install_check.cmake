# Installs the build into a scratch prefix and checks what arrived: the programs,
# runnable from there, and a manual page for each that renders without warnings.
#   cmake -DBUILD_DIR=<build> -DPREFIX=<scratch> -P install_check.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status}):\n${out}${err}")
endif()

file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT installed)
set(expected bin/umbrascope bin/umbrascope-export bin/umbrascope-sky share/man/man1/umbrascope-export.1
             share/man/man1/umbrascope-sky.1 share/man/man1/umbrascope.1)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed: ${installed}\nexpected: ${expected}")
endif()

execute_process(COMMAND "${PREFIX}/bin/umbrascope-export" --help RESULT_VARIABLE status OUTPUT_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out MATCHES "^Usage: umbrascope-export")
  message(FATAL_ERROR "installed umbrascope-export --help: exit ${status}\n${out}")
endif()
execute_process(COMMAND "${PREFIX}/bin/umbrascope" INPUT_FILE /dev/null RESULT_VARIABLE status OUTPUT_VARIABLE out)
if(NOT status EQUAL 7 OR NOT out MATCHES "Usage: umbrascope")
  message(FATAL_ERROR "installed umbrascope without arguments: exit ${status}\n${out}")
endif()

find_program(GROFF groff)
foreach(page umbrascope umbrascope-export umbrascope-sky)
  set(file "${PREFIX}/share/man/man1/${page}.1")
  file(READ "${file}" text)
  # roff spells a hyphen in a name \-
  string(REPLACE "-" "\\-" name "${page}")
  string(TOUPPER "${name}" title)
  foreach(part ".TH ${title} 1 " "\n.SH NAME\n${name} \\- " "\n.SH SYNOPSIS\n" "\n.SH EXIT STATUS\n")
    string(FIND "${text}" "${part}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${file} lacks \"${part}\"")
    endif()
  endforeach()
  if(GROFF)
    execute_process(COMMAND "${GROFF}" -man -Tutf8 -ww -z "${file}" RESULT_VARIABLE status ERROR_VARIABLE warnings)
    if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
      message(FATAL_ERROR "${file} does not render cleanly:\n${warnings}")
    endif()
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
