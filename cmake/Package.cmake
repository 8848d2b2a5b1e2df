# `cpack -G DEB` in a build tree makes the Debian package of what
# cmake/Install.cmake installs; scripts/package.sh does it in one command.
set(CPACK_PACKAGE_NAME pelorine)
set(CPACK_PACKAGE_VENDOR "The Pelorine developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${PELORINE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pack a saved web site into one archive and browse it offline")
set(CPACK_PACKAGE_DESCRIPTION
    "Pelorine keeps web sites for offline use. Compile packs every file below a\n"
    "folder (pages, images, scripts, style sheets) into one LZO-compressed\n"
    "archive. Browse serves that archive to any web browser through a small\n"
    "HTTP server built into the program, on TCP port 8078.\n"
    "\n"
    "The program has a small window and runs in the console where there is no\n"
    "display. pelorine-archive lists, extracts and verifies archives from the\n"
    "command line.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY pelorine)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends comes from the shared libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The browser is opened with xdg-open; the window prefers Liberation Sans;
# --browse-standard-types reads /etc/mime.types from media-types.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-liberation2, media-types")

include(CPack)
