# `cmake --install` and the Debian package (cpack -G DEB in the build
# folder): the runtime, the natives header and examples, the man page, bash
# completion, and a desktop entry with the MIME type of titles.
include(GNUInstallDirs)
set(QAVZ_MAINTAINER "qavz developers <qavz@example.org>" CACHE STRING "Maintainer of the Debian package")
set(packaging "${PROJECT_SOURCE_DIR}/tools/packaging")

install(TARGETS qavz RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES include/natives.h DESTINATION ${CMAKE_INSTALL_DATADIR}/qavz)
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/qavz/examples)

# Man pages go in compressed, reproducibly (no name or time in the header).
set(manPage "${CMAKE_CURRENT_BINARY_DIR}/qavz.1.gz")
add_custom_command(OUTPUT "${manPage}" COMMAND gzip -9nc "${packaging}/qavz.1" > "${manPage}"
                   DEPENDS "${packaging}/qavz.1" VERBATIM)
add_custom_target(qavz_man ALL DEPENDS "${manPage}")
install(FILES "${manPage}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES "${packaging}/qavz.bash-completion" RENAME qavz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES "${packaging}/qavz.desktop" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${packaging}/qavz-mime.xml" RENAME qavz.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
# Debian wants a copyright file and a changelog in the documentation.
install(FILES "${packaging}/copyright" DESTINATION ${CMAKE_INSTALL_DOCDIR})
configure_file("${packaging}/changelog.in" "${CMAKE_CURRENT_BINARY_DIR}/changelog" @ONLY)
set(changelog "${CMAKE_CURRENT_BINARY_DIR}/changelog.gz")
add_custom_command(OUTPUT "${changelog}" COMMAND gzip -9nc "${CMAKE_CURRENT_BINARY_DIR}/changelog" > "${changelog}"
                   DEPENDS "${CMAKE_CURRENT_BINARY_DIR}/changelog" VERBATIM)
add_custom_target(qavz_changelog ALL DEPENDS "${changelog}")
install(FILES "${changelog}" DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qavz)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QAVZ_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "runtime for small games written in a C-like script")
set(CPACK_PACKAGE_DESCRIPTION
    "qavz compiles a title's scripts at every start for its own register machine\nand runs them in a window or headless. It brings authors' tools: compile\nchecks, listings, a doctor for titles, watch mode, pack archives and bundles.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # qavz_VERSION_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION interpreters)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # library dependencies from the binary
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, fonts-ipafont-mincho, fluid-soundfont-gm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
