# Installed layout and the Debian package. Kestrane.exe and kestrane-cli go into the same folder, so
# that the CLI finds the program it makes patches from beside itself; the documentation goes into the
# package's documentation folder.
include(GNUInstallDirs)
# Debian's place for a package's documentation: named for the package, not the project.
set(KESTRANE_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrane)

if(TARGET Kestrane)
  install(TARGETS Kestrane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS kestrane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# docs/ stays beside README.md, as in the source tree, so that README's links to docs/... resolve.
install(FILES README.md DESTINATION ${KESTRANE_DOCDIR})
file(GLOB kestrane_docs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${kestrane_docs} DESTINATION ${KESTRANE_DOCDIR}/docs)
install(DIRECTORY docs/images DESTINATION ${KESTRANE_DOCDIR}/docs FILES_MATCHING PATTERN "*.png")
install(DIRECTORY deploy/ansible DESTINATION ${KESTRANE_DOCDIR}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrane)
set(CPACK_PACKAGE_VERSION ${KESTRANE_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrane")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "makes and installs upgrade patches for the Lumo accounting product")
set(CPACK_PACKAGE_DESCRIPTION "Kestrane.exe is the patch maker; a copy under any other name installs the \
patch it carries. kestrane-cli builds and installs patches without a window and shows every file they \
are made of.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kestrane maintainers <maintainers@kestrane.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends: from the libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_INSTALL_DIRECTORY kestrane)
include(CPack)
