# Where `cmake --install` and the package put the program and its desktop
# files. Included after every program target exists.
include(GNUInstallDirs)

set(PELORINE_MAINTAINER "Pelorine developers <pelorine@users.noreply.pelorine.example>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

# 0755 folders whatever the umask of the one who builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(pelorine_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(pelorine_generated ${PROJECT_BINARY_DIR}/packaging)
set(pelorine_docdir ${CMAKE_INSTALL_DATADIR}/doc/pelorine)

# The programs, each with its manual page, which carries the project's version.
# Debian keeps manual pages and changelogs compressed with gzip -9n.
# `installables` builds just what is installed: scripts/package.sh builds it
# alone, without the tests.
add_custom_target(installables)
set(pelorine_compressed)
foreach(program pelorine pelorine-archive)
    if(NOT TARGET ${program})
        continue()
    endif()
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    add_dependencies(installables ${program})
    set(page ${pelorine_packaging}/man/${program}.1)
    if(EXISTS ${page})
        configure_file(${page} ${pelorine_generated}/${program}.1 @ONLY)
        list(APPEND pelorine_compressed ${program}.1)
        install(FILES ${pelorine_generated}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
endforeach()

# The window module, where the program looks for it (Startup/CMakeLists.txt).
if(TARGET pelorine-window)
    install(TARGETS pelorine-window LIBRARY DESTINATION ${PELORINE_WINDOW_MODULE_DIR})
    add_dependencies(installables pelorine-window)
endif()

string(TIMESTAMP PELORINE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${pelorine_packaging}/changelog.in ${pelorine_generated}/changelog @ONLY)
list(APPEND pelorine_compressed changelog)

set(pelorine_compressed_outputs)
foreach(file ${pelorine_compressed})
    add_custom_command(OUTPUT ${pelorine_generated}/${file}.gz
                       COMMAND gzip -9nkf ${file}
                       DEPENDS ${pelorine_generated}/${file}
                       WORKING_DIRECTORY ${pelorine_generated} VERBATIM)
    list(APPEND pelorine_compressed_outputs ${pelorine_generated}/${file}.gz)
endforeach()
add_custom_target(pelorine_compressed_docs ALL DEPENDS ${pelorine_compressed_outputs})
add_dependencies(installables pelorine_compressed_docs)

# The menu's entry; and, out of the menu, the one a file manager runs on an
# archive (its type is declared in the MIME database), which serves it at
# once. The menu's own entry takes no file, so that it never serves one given
# by nobody.
install(FILES ${pelorine_packaging}/pelorine.desktop ${pelorine_packaging}/pelorine-browse.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${pelorine_packaging}/pelorine-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME pelorine.xml)
install(DIRECTORY ${pelorine_packaging}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${pelorine_packaging}/icons/pelorine.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE ${pelorine_packaging}/copyright
              ${pelorine_generated}/changelog.gz
        DESTINATION ${pelorine_docdir})
