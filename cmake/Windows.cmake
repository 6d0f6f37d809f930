# The Windows programs, cross-built with mingw-w64 (cmake/toolchain-mingw64.cmake,
# cmake/toolchain-mingw32.cmake; scripts/build-windows.sh makes both), and
# their tests under wine.

# The manifest carries the project version; the resource script finds it in
# the build folder.
configure_file(src/app/win/Quarnel.manifest.in ${CMAKE_BINARY_DIR}/generated/Quarnel.manifest @ONLY)
set_source_files_properties(src/app/win/Manifest.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/generated/Quarnel.manifest)
include_directories(${CMAKE_BINARY_DIR}/generated)

# The terminal program's console pieces and its wmain (arguments as UTF-16),
# with the manifest. Shipped without symbols.
add_executable(quarnel-cli src/cli/win/main.cpp src/cli/win/WinConsole.cpp
  src/app/win/Manifest.rc)
target_link_options(quarnel-cli PRIVATE -municode $<$<CONFIG:Release>:-s>)
target_link_libraries(quarnel-cli PRIVATE quarnel_cli_lib)

# Desktop program on the Win32 API and common controls 6: its windows live in
# the win/ folders beside the Qt ones.
quarnel_toolkit_sources(win ${CMAKE_CURRENT_SOURCE_DIR} QUARNEL_DESKTOP_SOURCES)
add_library(quarnel_desktop_lib STATIC ${QUARNEL_DESKTOP_SOURCES})
target_link_libraries(quarnel_desktop_lib PUBLIC quarnel_station quarnel_batch quarnel_frontend quarnel_record comctl32 uxtheme shell32 gdi32)
target_compile_definitions(quarnel_desktop_lib PUBLIC UNICODE _UNICODE)
add_executable(quarnel WIN32 src/app/win/main.cpp src/app/win/Manifest.rc)
target_link_options(quarnel PRIVATE -municode $<$<CONFIG:Release>:-s>)
target_link_libraries(quarnel PRIVATE quarnel_desktop_lib)
# The pictures of the desktop program (scripts/screenshots-windows.sh).
add_executable(quarnel-screenshots EXCLUDE_FROM_ALL tools/screenshots/win/Screenshots.cpp
               tools/screenshots/win/PngFile.cpp src/app/win/Manifest.rc)
target_link_options(quarnel-screenshots PRIVATE -municode)
target_link_libraries(quarnel-screenshots PRIVATE quarnel_desktop_lib)

# Every portable header compiles after <windows.h>, so that no Windows macro
# rewrites a name of ours (the Linux build's windows_syntax test checks the
# same without a Windows build).
file(GLOB QUARNEL_PORTABLE_HEADERS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/src CONFIGURE_DEPENDS
  src/base/*.h src/host/*.h src/ui/*.h src/ata/*.h src/nvme/*.h src/devices/*.h src/reports/*.h
  src/erase/*.h src/agreement/*.h src/app/*.h src/frontend/*.h)
set(QUARNEL_AFTER_WINDOWS_H "#include <windows.h>\n#include <winioctl.h>\n")
foreach(header ${QUARNEL_PORTABLE_HEADERS})
  string(APPEND QUARNEL_AFTER_WINDOWS_H "#include \"${header}\"\n")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/AfterWindowsH.cpp
  CONTENT "${QUARNEL_AFTER_WINDOWS_H}")
add_library(quarnel_after_windows_h OBJECT ${CMAKE_BINARY_DIR}/generated/AfterWindowsH.cpp)
target_link_libraries(quarnel_after_windows_h PRIVATE quarnel_frontend)

if(QUARNEL_TESTS)
  enable_testing()
  include(cmake/WindowsTests.cmake)
endif()
