# The project's packages, looked up once, and the shape every library shares.

find_package(Threads REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(TIFF REQUIRED)
find_package(ZLIB REQUIRED)
find_package(OpenEXR CONFIG REQUIRED)
find_package(hwy REQUIRED)
# The terrain page's data is written as JSON by nlohmann-json.
find_package(nlohmann_json 3 CONFIG REQUIRED)
find_package(PkgConfig REQUIRED)
# Debian's libgeotiff-dev ships neither a CMake package nor a pkg-config file.
find_path(GEOTIFF_INCLUDE_DIR geotiff/geotiff.h REQUIRED)
find_library(GEOTIFF_LIBRARY NAMES geotiff REQUIRED)
add_library(GeoTIFF::GeoTIFF UNKNOWN IMPORTED)
set_target_properties(GeoTIFF::GeoTIFF PROPERTIES IMPORTED_LOCATION ${GEOTIFF_LIBRARY}
                                                  INTERFACE_INCLUDE_DIRECTORIES ${GEOTIFF_INCLUDE_DIR})
# Debian's libstb carries the stb_image implementation: link it, do not compile it in.
pkg_check_modules(STB REQUIRED IMPORTED_TARGET stb)
# The export companion compresses its float TIFF strips itself.
pkg_check_modules(ZSTD REQUIRED IMPORTED_TARGET libzstd)

# umbrascope_library(<name> [STATIC] SOURCES <files...> [PUBLIC <libs...>] [PRIVATE <libs...>])
# A library whose dependents see its include/ folder only; its src/ folder holds
# the sources and their private headers. So an include of another library's
# insides, or of a library not depended on, does not compile.
function(umbrascope_library name)
  cmake_parse_arguments(L "STATIC" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  if(L_STATIC)
    add_library(${name} STATIC ${L_SOURCES})
  else()
    add_library(${name} ${L_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
                                      PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${L_PUBLIC} PRIVATE ${L_PRIVATE})
endfunction()

# umbrascope_private_headers(<target> <library...>): lets a test or fuzz target (and
# what links it) reach the insides of the libraries named, for checks that rest on them.
function(umbrascope_private_headers target)
  foreach(library ${ARGN})
    get_target_property(dir ${library} SOURCE_DIR)
    target_include_directories(${target} PUBLIC ${dir}/src)
  endforeach()
endfunction()
