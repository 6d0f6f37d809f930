# Fails when a source includes against the layers: an include of a project
# header the including unit may not use, or a system header its unit must not
# see. Both include forms are checked: a name found below src/ is a project
# header whichever brackets it takes; any other name is a system header.
# Run as: cmake -DSOURCE_DIR=<repository> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.22)
include(${CMAKE_CURRENT_LIST_DIR}/Layers.cmake)

# Each unit may include its own folder and those listed.
set(core_units ${QUARNEL_CORE_UNITS})
set(uses_base "")
set(uses_host base)
set(uses_ui base host)
set(uses_ata base host)
set(uses_nvme base host)
set(uses_devices base host ui ata nvme)
set(uses_reports base host ui ata nvme devices)
# An erase reads the drive's health verdict (reports) for its question and record.
set(uses_erase base host ui ata nvme devices reports)
set(uses_agreement base host ui)
set(uses_app base host ui ata nvme devices reports erase agreement)
# Hosts see the interface only; per-system files see base only.
set(uses_host/sim base host)
set(uses_host/linux base host)
set(uses_host/win base host)
set(uses_platform/posix base)
set(uses_platform/win base)
# The reports' JSON documents, and the erase record's file (JSON) with its
# seal and certificate, sit beside the core, above it.
set(uses_json ${core_units})
set(uses_record ${core_units} json)
# The seal's cryptography, one file per system: libcrypto, or the system's own.
set(uses_record/openssl base record)
set(uses_record/bcrypt base record)
# The shared front-end library and the terminal program.
set(uses_frontend ${core_units} host/sim host/linux host/win json record)
# The batch engine and its protocol, above the front-end library.
set(uses_batch ${core_units} json record frontend)
# The erase station: the machine's drives in one table, run through the batch.
set(uses_station ${core_units} json record frontend batch)
set(uses_cli ${core_units} json record frontend batch)
set(uses_cli/win ${core_units} json record frontend batch cli)
# The Linux menu entry's launcher stands alone.
set(uses_launcher "")
# The windows: each toolkit folder sees the core, the front end, the launcher
# and the folders of its own toolkit below it (QUARNEL_TOOLKIT_FOLDERS).
foreach(toolkit ${QUARNEL_TOOLKITS})
  set(below "")
  foreach(folder ${QUARNEL_TOOLKIT_FOLDERS})
    set(uses_${folder}/${toolkit} ${core_units} json record frontend batch station launcher ${below})
    list(APPEND below ${folder}/${toolkit})
  endforeach()
endforeach()

# System headers. The core (and the front-end library and terminal program
# built on it) may include the C++ standard library and nothing else.
string(JOIN "|" std_headers
  algorithm any array atomic bit bitset cassert cctype cerrno cfloat charconv
  chrono cinttypes climits clocale cmath compare concepts condition_variable
  cstddef cstdint cstdio cstdlib cstring ctime cwchar cwctype deque exception
  filesystem forward_list fstream functional future initializer_list iomanip
  ios iosfwd iostream istream iterator limits list locale map memory mutex new
  numeric optional ostream queue random ranges ratio regex set sstream stack
  stdexcept streambuf string string_view system_error thread tuple
  type_traits typeindex typeinfo unordered_map unordered_set utility variant
  vector version)
set(allow_core "(${std_headers})")
set(allow_frontend "${allow_core}")
set(allow_cli "${allow_core}")
set(allow_record "(${std_headers}|nlohmann/.*)")
set(allow_json "${allow_record}")
set(allow_batch "${allow_record}")
set(allow_station "${allow_core}")
set(allow_host/sim "${allow_record}")
# The other units are kept from the families they must not see.
set(qt_headers "Q[A-Za-z]+|Qt[A-Za-z]*/.*")
set(windows_headers "win[a-z0-9]*\\.h|windef\\.h|windows\\.h|shlobj\\.h|shellapi\\.h|commctrl\\.h|commdlg\\.h|uxtheme\\.h|ntdd[a-z]*\\.h|setupapi\\.h|devguid\\.h|ntstatus\\.h|objbase\\.h|io\\.h|process\\.h|tchar\\.h|wchar\\.h")
set(posix_headers "linux/.*|sys/.*|asm/.*|scsi/.*|unistd\\.h|fcntl\\.h|signal\\.h|libmount/.*|libmount\\.h|mntent\\.h|dirent\\.h|poll\\.h|pwd\\.h|grp\\.h|termios\\.h|dlfcn\\.h|pthread\\.h|spawn\\.h")
set(json_headers "nlohmann/.*")
set(forbid_host/linux "${qt_headers}|${windows_headers}")
set(forbid_host/win "${qt_headers}|${posix_headers}")
set(forbid_platform/posix "${qt_headers}|${windows_headers}")
set(forbid_platform/win "${qt_headers}|${posix_headers}")
set(forbid_record/openssl "${qt_headers}|${windows_headers}|${json_headers}")
set(forbid_record/bcrypt "${qt_headers}|${posix_headers}|${json_headers}")
set(forbid_cli/win "${qt_headers}|${posix_headers}|${json_headers}")
set(forbid_launcher "${qt_headers}|${windows_headers}|${json_headers}")
set(forbid_qt "${windows_headers}|${posix_headers}|${json_headers}")
set(forbid_win "${qt_headers}|${posix_headers}|${json_headers}")

# The unit of a path below src/: host/sim, platform/win, cli/win, a toolkit
# folder such as devices/qt, or the first folder.
function(unit_of relative out_unit out_toolkit)
  set(toolkit "")
  if(relative MATCHES "^(host|platform|record)/([a-z]+)/")
    set(unit "${CMAKE_MATCH_1}/${CMAKE_MATCH_2}")
  elseif(relative MATCHES "^cli/win/")
    set(unit "cli/win")
  elseif(relative MATCHES "^([a-z]+)/(qt|win)/")
    set(unit "${CMAKE_MATCH_1}/${CMAKE_MATCH_2}")
    set(toolkit "${CMAKE_MATCH_2}")
  elseif(relative MATCHES "^([a-z]+)/")
    set(unit "${CMAKE_MATCH_1}")
  else()
    set(unit "")
  endif()
  set(${out_unit} "${unit}" PARENT_SCOPE)
  set(${out_toolkit} "${toolkit}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
set(bad "")
foreach(f ${files})
  unit_of("${f}" unit toolkit)
  if(NOT DEFINED uses_${unit})
    list(APPEND bad "src/${f}: in no layer (add its folder to cmake/Layers.cmake)")
    continue()
  endif()
  set(allow "")
  set(forbid "")
  if(unit IN_LIST core_units)
    set(allow "${allow_core}")
  elseif(DEFINED allow_${unit})
    set(allow "${allow_${unit}}")
  elseif(toolkit)
    set(forbid "${forbid_${toolkit}}")
  else()
    set(forbid "${forbid_${unit}}")
  endif()
  get_filename_component(folder "${f}" DIRECTORY)
  file(STRINGS ${SOURCE_DIR}/src/${f} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(l ${lines})
    if(NOT l MATCHES "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
      list(APPEND bad "src/${f}: ${l} (an include the check cannot read)")
      continue()
    endif()
    set(name "${CMAKE_MATCH_1}")
    if(EXISTS ${SOURCE_DIR}/src/${name} OR EXISTS ${SOURCE_DIR}/src/${folder}/${name})
      if(NOT EXISTS ${SOURCE_DIR}/src/${name})
        file(RELATIVE_PATH name ${SOURCE_DIR}/src ${SOURCE_DIR}/src/${folder}/${name})
      endif()
      unit_of("${name}" target_unit target_toolkit)
      if(target_unit STREQUAL unit)
        continue()
      endif()
      if(NOT target_unit IN_LIST uses_${unit})
        list(APPEND bad "src/${f}: ${l} (${unit} may not include ${target_unit})")
      endif()
    elseif(allow AND NOT name MATCHES "^${allow}$")
      list(APPEND bad "src/${f}: ${l} (${unit} may include only the C++ standard library and what cmake/CheckLayers.cmake allows it)")
    elseif(forbid AND name MATCHES "^(${forbid})$")
      list(APPEND bad "src/${f}: ${l} (a system header ${unit} must not see)")
    endif()
  endforeach()
endforeach()
if(bad)
  string(REPLACE ";" "\n" bad "${bad}")
  message(FATAL_ERROR "includes against the layers:\n${bad}")
endif()
