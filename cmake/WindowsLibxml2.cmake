# libxml2 for the Windows cross-build. No registry carries it built for Windows, so the release that
# Debian ships is built from ../shared/third_party once, at configure time, into the build folder, and
# then offered as LibXml2::LibXml2 the way find_package would.
set(PONTREL_LIBXML2_TARBALL "${CMAKE_SOURCE_DIR}/../shared/third_party/libxml2-2.9.14.tar.xz"
    CACHE FILEPATH "libxml2 2.9.14 source for the Windows build")
set(_xml_root "${CMAKE_BINARY_DIR}/third_party/libxml2")
set(_xml_install "${_xml_root}/install")
set(_xml_library "${_xml_install}/lib/libxml2.a")

if(NOT EXISTS "${_xml_library}")
  if(NOT EXISTS "${PONTREL_LIBXML2_TARBALL}")
    message(FATAL_ERROR "The Windows build needs ${PONTREL_LIBXML2_TARBALL}")
  endif()
  file(SHA256 "${PONTREL_LIBXML2_TARBALL}" _xml_sum)
  if(NOT _xml_sum STREQUAL "416e9977ed45b6364bb7d7d9ae5100fa66bbd5806519cece2af5c9df19bad796")
    message(FATAL_ERROR "${PONTREL_LIBXML2_TARBALL} is not libxml2 2.9.14 (sha256 ${_xml_sum})")
  endif()
  message(STATUS "Building libxml2 2.9.14 for Windows (once, about a minute)")
  file(REMOVE_RECURSE "${_xml_root}")
  file(MAKE_DIRECTORY "${_xml_root}")
  file(ARCHIVE_EXTRACT INPUT "${PONTREL_LIBXML2_TARBALL}" DESTINATION "${_xml_root}")
  set(_xml_launchers)
  if(CMAKE_C_COMPILER_LAUNCHER)
    list(APPEND _xml_launchers "-DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER}")
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S "${_xml_root}/libxml2-2.9.14" -B "${_xml_root}/build" -G "${CMAKE_GENERATOR}"
            "-DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}" -DCMAKE_BUILD_TYPE=Release
            "-DCMAKE_INSTALL_PREFIX=${_xml_install}" ${_xml_launchers}
            -DBUILD_SHARED_LIBS=OFF -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_LZMA=OFF
            -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_TESTS=OFF
            -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF
    OUTPUT_FILE "${_xml_root}/configure.log" ERROR_FILE "${_xml_root}/configure.log"
    RESULT_VARIABLE _xml_result)
  if(NOT _xml_result EQUAL 0)
    message(FATAL_ERROR "libxml2 did not configure; see ${_xml_root}/configure.log")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build "${_xml_root}/build" --target install -j 2
                  OUTPUT_FILE "${_xml_root}/build.log" ERROR_FILE "${_xml_root}/build.log"
                  RESULT_VARIABLE _xml_result)
  if(NOT _xml_result EQUAL 0 OR NOT EXISTS "${_xml_library}")
    message(FATAL_ERROR "libxml2 did not build; see ${_xml_root}/build.log")
  endif()
endif()

add_library(LibXml2::LibXml2 STATIC IMPORTED GLOBAL)
set_target_properties(LibXml2::LibXml2 PROPERTIES
  IMPORTED_LOCATION "${_xml_library}"
  INTERFACE_INCLUDE_DIRECTORIES "${_xml_install}/include/libxml2"
  INTERFACE_COMPILE_DEFINITIONS LIBXML_STATIC
  INTERFACE_LINK_LIBRARIES "ws2_32;bcrypt")
