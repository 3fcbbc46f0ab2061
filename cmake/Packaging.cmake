# Installation in the places a Linux desktop expects, and the Debian package.
include(GNUInstallDirs)

# The date of this version's release, shown in the AppStream metadata.
set(TALVO_RELEASE_DATE "2026-12-09")
set(TALVO_APP_ID "org.talvo.Talvo")

# Programs. The main program is installed once its target exists.
if(TARGET talvo)
    install(TARGETS talvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
foreach(tool talvoctl talvo-sandbox)
    if(TARGET ${tool})
        install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

set(res ${PROJECT_SOURCE_DIR}/resources)
set(gen ${PROJECT_BINARY_DIR}/resources)

install(FILES ${res}/${TALVO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${res}/icons/${TALVO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${res}/icons/hicolor/${size}x${size}/${TALVO_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

configure_file(${res}/${TALVO_APP_ID}.metainfo.xml ${gen}/${TALVO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${gen}/${TALVO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Man pages and the package's changelog, compressed without time stamps so that the
# package is reproducible.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed "")
foreach(page talvo talvo-helper talvoctl talvo-sandbox)
    configure_file(${res}/man/${page}.1 ${gen}/man/${page}.1 @ONLY)
    add_custom_command(OUTPUT ${gen}/man/${page}.1.gz
        COMMAND ${GZIP_PROGRAM} -9nkf ${gen}/man/${page}.1
        DEPENDS ${gen}/man/${page}.1 VERBATIM)
    list(APPEND compressed ${gen}/man/${page}.1.gz)
    install(FILES ${gen}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
configure_file(${res}/package/changelog ${gen}/package/changelog @ONLY)
add_custom_command(OUTPUT ${gen}/package/changelog.gz
    COMMAND ${GZIP_PROGRAM} -9nkf ${gen}/package/changelog
    DEPENDS ${gen}/package/changelog VERBATIM)
list(APPEND compressed ${gen}/package/changelog.gz)
add_custom_target(talvo_install_files ALL DEPENDS ${compressed})
install(FILES ${gen}/package/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/talvo)
install(FILES ${res}/package/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/talvo)

# The Debian package: talvo_<version>_amd64.deb, its dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talvo)
set(CPACK_PACKAGE_VENDOR "The Talvo developers")
set(CPACK_PACKAGE_CONTACT "The Talvo developers <packages@talvo.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client for Twitter and other social networks")
set(CPACK_PACKAGE_DESCRIPTION "Talvo keeps Twitter, Facebook and Ping.fm accounts in one window: it polls
every timeline in the background and shows the messages in a tree of sources
with unread counts. A small helper owns a global hot key for a new post and
opens talvo: links.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://talvo.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The keyring and the session bus are reached at run time, not linked.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-keyring | kwalletmanager, dbus-user-session")
set(CPACK_STRIP_FILES ON)
include(CPack)

# Crash reports name the build and the functions of each stack: the programs export
# their symbols (they survive stripping in the dynamic symbol table).
find_package(Git QUIET)
set(TALVO_BUILD_ID "${CMAKE_BUILD_TYPE}")
if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=12 HEAD
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE commit
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE gitResult)
    if(gitResult EQUAL 0 AND commit)
        set(TALVO_BUILD_ID "${commit} ${CMAKE_BUILD_TYPE}")
    endif()
endif()
foreach(program talvo talvo-helper)
    if(TARGET ${program})
        set_target_properties(${program} PROPERTIES ENABLE_EXPORTS ON)
        target_compile_definitions(${program} PRIVATE TALVO_BUILD="${TALVO_BUILD_ID}")
    endif()
endforeach()
