# The menu entry's launcher: starts the desktop program through pkexec. It
# finds the program from its own place in the installed tree.
include(GNUInstallDirs)
file(RELATIVE_PATH QUARNEL_PROGRAM_FROM_LAUNCHER
  "/prefix/${CMAKE_INSTALL_LIBEXECDIR}/quarnel" "/prefix/${CMAKE_INSTALL_BINDIR}/quarnel")

add_library(quarnel_launcher_lib STATIC src/launcher/Launcher.cpp)
target_include_directories(quarnel_launcher_lib PUBLIC src)
add_executable(quarnel-launcher src/launcher/main.cpp)
target_link_libraries(quarnel-launcher PRIVATE quarnel_launcher_lib)
target_compile_definitions(quarnel-launcher PRIVATE
  QUARNEL_PROGRAM_FROM_LAUNCHER="${QUARNEL_PROGRAM_FROM_LAUNCHER}")
# The desktop program takes the session's display from the launcher.
target_link_libraries(quarnel_desktop_lib PUBLIC quarnel_launcher_lib)
