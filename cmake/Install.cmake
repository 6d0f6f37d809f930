# Install rules and the Debian package (cpack -G DEB, scripts/package.sh).
include(GNUInstallDirs)

set(QUARNEL_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging/linux)
set(QUARNEL_APP_ID example.zelmora.Quarnel)
set(QUARNEL_GENERATED ${CMAKE_BINARY_DIR}/packaging)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS quarnel quarnel-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS quarnel-launcher RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/quarnel)

# The menu entry and the polkit action name installed paths, so they are
# written at install time, when the prefix (and the package's /usr) is known.
install(CODE "
  set(QUARNEL_LAUNCHER_PATH \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/quarnel/quarnel-launcher\")
  set(QUARNEL_PROGRAM_PATH \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quarnel\")
  configure_file(\"${QUARNEL_PACKAGING_DIR}/${QUARNEL_APP_ID}.desktop.in\"
    \"${QUARNEL_GENERATED}/install/${QUARNEL_APP_ID}.desktop\" @ONLY)
  configure_file(\"${QUARNEL_PACKAGING_DIR}/example.zelmora.quarnel.policy.in\"
    \"${QUARNEL_GENERATED}/install/example.zelmora.quarnel.policy\" @ONLY)
  file(INSTALL \"${QUARNEL_GENERATED}/install/${QUARNEL_APP_ID}.desktop\"
    DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
  file(INSTALL \"${QUARNEL_GENERATED}/install/example.zelmora.quarnel.policy\"
    DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/polkit-1/actions\")
")
install(FILES ${QUARNEL_PACKAGING_DIR}/${QUARNEL_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${QUARNEL_PACKAGING_DIR}/${QUARNEL_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The icons and manual pages need tools that only the test and package set-up
# installs (scripts/ensure-deps.sh --tests): a build of the programs alone
# notes their absence without a warning.
if(QUARNEL_TESTS)
  set(QUARNEL_MISSING_TOOL WARNING)
else()
  set(QUARNEL_MISSING_TOOL STATUS)
endif()

# PNG icons from the SVG.
find_program(QUARNEL_RSVG_CONVERT rsvg-convert)
if(QUARNEL_RSVG_CONVERT)
  foreach(size 48 256)
    set(png ${QUARNEL_GENERATED}/icons/${size}/${QUARNEL_APP_ID}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${QUARNEL_GENERATED}/icons/${size}
      COMMAND ${QUARNEL_RSVG_CONVERT} -w ${size} -h ${size}
              -o ${png} ${QUARNEL_PACKAGING_DIR}/${QUARNEL_APP_ID}.svg
      DEPENDS ${QUARNEL_PACKAGING_DIR}/${QUARNEL_APP_ID}.svg VERBATIM)
    list(APPEND QUARNEL_ICON_PNGS ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(quarnel_icons ALL DEPENDS ${QUARNEL_ICON_PNGS})
else()
  message(${QUARNEL_MISSING_TOOL} "rsvg-convert not found: the 48 and 256 px icons are not made "
                  "(scripts/ensure-deps.sh --tests installs librsvg2-bin)")
endif()

# Manual pages, from scdoc sources, compressed as Debian wants them.
find_program(QUARNEL_SCDOC scdoc)
find_program(QUARNEL_GZIP gzip)
if(QUARNEL_SCDOC AND QUARNEL_GZIP)
  foreach(page quarnel quarnel-cli)
    set(roff ${QUARNEL_GENERATED}/man/${page}.1)
    add_custom_command(OUTPUT ${roff}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${QUARNEL_GENERATED}/man
      COMMAND sh -c "\"$0\" < \"$1\" > \"$2\" && \"$3\" -9n -f -k \"$2\""
              ${QUARNEL_SCDOC} ${CMAKE_SOURCE_DIR}/docs/man/${page}.1.scd ${roff} ${QUARNEL_GZIP}
      DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${page}.1.scd VERBATIM)
    list(APPEND QUARNEL_MAN_PAGES ${roff}.gz)
  endforeach()
  add_custom_target(quarnel_man ALL DEPENDS ${QUARNEL_MAN_PAGES})
  install(FILES ${QUARNEL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(${QUARNEL_MISSING_TOOL} "scdoc not found: the manual pages are not made "
                  "(scripts/ensure-deps.sh --tests installs scdoc)")
endif()

# Debian's documentation files: the copyright, the compressed changelog, and
# the documents the manual page points at (the erase record's format and how
# to check its seal; the terminal program's JSON documents), compressed as
# Debian wants documents of more than 4 KB.
set(QUARNEL_DOC_GZ "")
foreach(doc ${QUARNEL_PACKAGING_DIR}/changelog ${CMAKE_SOURCE_DIR}/docs/erase-record.md
            ${CMAKE_SOURCE_DIR}/docs/cli-json.md)
  get_filename_component(name ${doc} NAME)
  if(name STREQUAL "changelog")
    set(name changelog.Debian)
  endif()
  set(gz ${QUARNEL_GENERATED}/doc/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUARNEL_GENERATED}/doc
    COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${doc} ${gz}
    DEPENDS ${doc} VERBATIM)
  list(APPEND QUARNEL_DOC_GZ ${gz})
endforeach()
add_custom_target(quarnel_doc ALL DEPENDS ${QUARNEL_DOC_GZ})
install(FILES ${QUARNEL_PACKAGING_DIR}/copyright ${QUARNEL_DOC_GZ}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quarnel)

# The package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarnel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Zelmora)
set(CPACK_PACKAGE_CONTACT "Zelmora <packages@zelmora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "identify drives and erase them with zeros")
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.zelmora.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# pkexec for the menu entry; Qt's platform plugins and its Chinese texts are
# loaded at run time, so dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "pkexec, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
file(READ ${QUARNEL_PACKAGING_DIR}/description QUARNEL_DESCRIPTION)
string(STRIP "${QUARNEL_DESCRIPTION}" QUARNEL_DESCRIPTION)
# CPack puts the summary before it as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${QUARNEL_DESCRIPTION}")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
