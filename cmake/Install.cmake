# Installing Cinevarta like any desktop program, and packing it as a Debian package.
#
# `cmake --install` puts the program in bin/, a menu entry in share/applications/, the icon in
# the hicolor theme (PNG sizes and SVG), a manual page, the AppStream metainfo that software
# centres list, and the copyright file and changelog that every Debian package carries. The menu
# entry starts `cinevarta-launcher`, which runs the program in ~/.local/share/cinevarta: the
# program keeps its favourites and scratch files in its working folder, and a menu would
# otherwise start it in the home folder. `cpack -G DEB` (run in the build folder) makes cinevarta_<version>_<arch>.deb,
# whose library dependencies come from dpkg-shlibdeps. Only the real program is installed; the
# demo, which asks the local sample site, stays in the build folder.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/Hardening.cmake)

set(CV_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)

# The shipped program, and every object it is made of, carries the hardening flags: the targets
# of this folder, not those of tests/, bench/, fuzz/ or tools/.
get_property(cv_program_targets DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
foreach(target IN LISTS cv_program_targets)
  get_target_property(type ${target} TYPE)
  if(type MATCHES "^(EXECUTABLE|OBJECT_LIBRARY|STATIC_LIBRARY)$")
    cinevarta_harden(${target})
  endif()
endforeach()

# Folders get rwxr-xr-x whatever the umask of the one who installs or packs.
set(cv_dir_permissions OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${cv_dir_permissions})

install(TARGETS cinevarta RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cinevarta)
# A stripped install (the package, `cmake --install --strip`) also drops the compilers' version
# notes, as Debian's own packages do; the build folder keeps the program with its symbols.
if(CMAKE_OBJCOPY)
  install(CODE "
    set(cv_program \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/cinevarta\")
    if(CMAKE_INSTALL_DO_STRIP AND EXISTS \"\${cv_program}\")
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                              \"\${cv_program}\" COMMAND_ERROR_IS_FATAL ANY)
    endif()" COMPONENT cinevarta)
endif()
install(PROGRAMS ${CV_PACKAGING}/cinevarta-launcher
        DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cinevarta)
install(FILES ${CV_PACKAGING}/cinevarta.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT cinevarta)
install(FILES ${CV_PACKAGING}/example.cinevarta.cinevarta.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT cinevarta)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${CV_PACKAGING}/icons/cinevarta-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME cinevarta.png COMPONENT cinevarta)
endforeach()
install(FILES ${CV_PACKAGING}/icons/cinevarta.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT cinevarta)

# The manual page, compressed as Debian keeps them (-n: no time stamp, so builds repeat).
set(CV_MANPAGE ${CMAKE_BINARY_DIR}/packaging/cinevarta.1.gz)
add_custom_command(OUTPUT ${CV_MANPAGE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9n -c ${CV_PACKAGING}/cinevarta.1 > ${CV_MANPAGE}
  DEPENDS ${CV_PACKAGING}/cinevarta.1 VERBATIM)
add_custom_target(cinevarta_manpage ALL DEPENDS ${CV_MANPAGE})
install(FILES ${CV_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cinevarta)
install(FILES ${CV_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        RENAME cinevarta-launcher.1.gz COMPONENT cinevarta)

# The copyright file (machine-readable, DEP-5) and the changelog. The package is native (it is
# made here, with no Debian revision), so the changelog is changelog.gz, compressed like the page.
set(CV_CHANGELOG ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${CV_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9n -c ${CV_PACKAGING}/changelog > ${CV_CHANGELOG}
  DEPENDS ${CV_PACKAGING}/changelog VERBATIM)
add_custom_target(cinevarta_changelog ALL DEPENDS ${CV_CHANGELOG})
set(CV_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/cinevarta)
install(FILES ${CV_PACKAGING}/copyright ${CV_CHANGELOG} DESTINATION ${CV_DOCDIR} COMPONENT cinevarta)
# lintian's notes that do not apply, each with its reason.
install(FILES ${CV_PACKAGING}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME cinevarta COMPONENT cinevarta)

# --- The Debian package ----------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cinevarta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Equipo Cinevarta")
set(CPACK_PACKAGE_CONTACT "Equipo Cinevarta <cinevarta@cinevarta.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "look films up on IMDb and Culturalia (Spanish interface)")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Cinevarta looks a film up by its title on IMDb or on the Spanish film site\n\
Culturalia, lists the films found and shows the card of the chosen one: title,\n\
genre, nationality, director, moral rating, rating, cast, synopsis and, for\n\
Culturalia, the cover. Favourite films are kept in favoritos.ini; the cover can\n\
be saved and the card printed on one page. The interface is in Spanish.")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CINEVARTA_AUTHOR_PAGE}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${cv_dir_permissions})
# The shared libraries the program links come from dpkg-shlibdeps. What it loads at run time
# without linking must be named here: Qt's platform plugins (qt6-qpa-plugins), the
# metric-compatible face that "Arial" resolves to (fonts-liberation), and Qt's own Spanish texts
# for its dialogs and standard buttons (qt6-translations-l10n). Qt's Wayland platform
# (qt6-wayland) is recommended: without it the program runs on a Wayland desktop through
# XWayland. The credit link opens the browser through xdg-open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
set(CPACK_DEB_COMPONENT_INSTALL OFF)
set(CPACK_COMPONENTS_ALL cinevarta)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Cinevarta;cinevarta;/")
include(CPack)

# Checks of the installed tree and the launcher, and of the package, run with the other tests.
if(CINEVARTA_TESTS)
  add_test(NAME packaging_install_tree
           COMMAND bash ${CV_PACKAGING}/check-install.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(packaging_install_tree PROPERTIES LABELS package TIMEOUT 300)
  # The package itself, checked by lintian, appstreamcli and desktop-file-validate. A sanitizer
  # or fuzzing build makes no package that is ever shipped, so it is checked in the plain build.
  if(NOT CINEVARTA_SANITIZE AND NOT CINEVARTA_FUZZ)
    add_test(NAME packaging_deb COMMAND bash ${CV_PACKAGING}/check-deb.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(packaging_deb PROPERTIES LABELS package TIMEOUT 600
                         ENVIRONMENT "CPACK=${CMAKE_CPACK_COMMAND}")
  endif()
endif()
