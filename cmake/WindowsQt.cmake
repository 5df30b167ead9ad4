# Qt 6 for the Windows cross-build. No registry carries Qt built for Windows, so a static MinGW-w64 build
# of the same qtbase release as the Linux build's Qt is kept in ../shared/third_party; it is unpacked
# once, at configure time, into the build folder. Its moc, rcc and uic are Debian's host tools
# (QT_HOST_PATH=/usr, qt6-base-dev).
set(PONTREL_QT_TARBALL "${CMAKE_SOURCE_DIR}/../shared/third_party/qt6-mingw-static-6.4.2.tar.xz"
    CACHE FILEPATH "static Qt 6.4.2 for MinGW-w64 (the Windows window)")
set(_qt_root "${CMAKE_BINARY_DIR}/third_party/qt")
set(_qt_prefix "${_qt_root}/qt6-mingw-static-6.4.2")

if(NOT EXISTS "${_qt_prefix}/lib/cmake/Qt6/Qt6Config.cmake")
  if(NOT EXISTS "${PONTREL_QT_TARBALL}")
    message(FATAL_ERROR "The Windows window needs ${PONTREL_QT_TARBALL}")
  endif()
  file(SHA256 "${PONTREL_QT_TARBALL}" _qt_sum)
  if(NOT _qt_sum STREQUAL "4266bfa4b426d8ecde8f65097b1b9d63cd4a223b74ccf3642f6bb90959f94be2")
    message(FATAL_ERROR "${PONTREL_QT_TARBALL} is not the static Qt 6.4.2 for MinGW-w64 (sha256 ${_qt_sum})")
  endif()
  message(STATUS "Unpacking the static Qt 6.4.2 for Windows (once)")
  file(REMOVE_RECURSE "${_qt_root}")
  file(MAKE_DIRECTORY "${_qt_root}")
  file(ARCHIVE_EXTRACT INPUT "${PONTREL_QT_TARBALL}" DESTINATION "${_qt_root}")
endif()

list(PREPEND CMAKE_PREFIX_PATH "${_qt_prefix}")
# Qt's packages live outside the MinGW root, and its host tools' packages in the Linux system.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(QT_HOST_PATH /usr CACHE PATH "Qt's host tools (moc, rcc, uic) for the cross-build")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "the host tools' CMake packages")
# The licence texts of Qt and of the libraries inside it, for the notices installed beside the program.
set(PONTREL_QT_LICENSES "${_qt_prefix}/share/qt-mingw/licenses" CACHE INTERNAL "")
