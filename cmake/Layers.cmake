# The layers of src/, in one place: the build's source lists
# (CMakeLists.txt, cmake/Windows.cmake) and the include check
# (cmake/CheckLayers.cmake) both read them.

# Core units, from the bottom up: plain C++, no Qt, no OS headers.
set(QUARNEL_CORE_UNITS base host ui ata nvme devices reports erase agreement app)
# Folders with a window toolkit's subfolder (qt/ on Linux, win/ on Windows),
# from the bottom up: each toolkit folder may include the ones before it of
# the same toolkit, never a later one nor the other toolkit's.
set(QUARNEL_TOOLKIT_FOLDERS ui devices agreement station app)
set(QUARNEL_TOOLKITS qt win)

# The sources of the desktop program's windows for TOOLKIT (qt or win).
function(quarnel_toolkit_sources toolkit root out)
  set(globs "")
  foreach(folder ${QUARNEL_TOOLKIT_FOLDERS})
    list(APPEND globs ${root}/src/${folder}/${toolkit}/*.cpp)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  list(REMOVE_ITEM sources ${root}/src/app/${toolkit}/main.cpp)
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# The core's sources, with the per-system file of SYSTEM (posix or win).
function(quarnel_core_sources system root out)
  set(globs "")
  foreach(unit ${QUARNEL_CORE_UNITS})
    list(APPEND globs ${root}/src/${unit}/*.cpp)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs} ${root}/src/platform/${system}/*.cpp)
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
