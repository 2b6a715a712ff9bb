# `make install` and `make package`: the program, its sample page and what a desktop needs to
# list it, open CSS files with it and show its icon; the Debian package is built from the same
# rules.
include(GNUInstallDirs)

set(QUILLET_APP_ID org.example.quillet.Quillet)
set(QUILLET_DATA_DIR ${CMAKE_INSTALL_DATADIR}/quillet)
# Where the installed program finds its shipped files, seen from the folder it runs in.
file(RELATIVE_PATH QUILLET_DATA_FROM_BIN /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${QUILLET_DATA_DIR})
target_compile_definitions(quillet_app PRIVATE QUILLET_DATA_FROM_BIN="${QUILLET_DATA_FROM_BIN}"
                                               QUILLET_APP_ID="${QUILLET_APP_ID}")

install(TARGETS quillet quillet-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES resources/Sample.htm resources/Sample.css DESTINATION ${QUILLET_DATA_DIR})
set(desktop ${CMAKE_SOURCE_DIR}/resources/desktop)
install(FILES ${desktop}/${QUILLET_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop}/${QUILLET_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${desktop}/icons/quillet.svg DESTINATION ${icons}/scalable/apps
        RENAME ${QUILLET_APP_ID}.svg)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${desktop}/icons/quillet-${size}.png DESTINATION ${icons}/${size}x${size}/apps
          RENAME ${QUILLET_APP_ID}.png)
endforeach()

# `make install` builds first; the package is made from what the build already holds, so
# packaging never rebuilds the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillet <author@quillet.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop editor for CSS style sheets")
set(CPACK_PACKAGE_DESCRIPTION
    "Edits CSS style sheets in a syntax-highlighting editor, composes rules from check boxes and value lists, and previews the style sheet on a sample HTML page in an embedded browser.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.quillet.example.org)
# The libraries the binaries link come from dpkg-shlibdeps; what they load at run time is named:
# the browser engine's helper process, the display plugins, the fonts the editors ask for and
# Qt's Russian texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6webenginecore6-bin, qt6-qpa-plugins, fonts-liberation, fonts-dejavu-core, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
include(CPack)
