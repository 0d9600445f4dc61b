# The Debian package (`make package`): CPack's Debian generator over the install rules, plus the files a Debian
# package carries besides the program: copyright, changelog and manual page, compressed the way Debian expects.
set(CW_PACKAGE_VERSION "${CW_VERSION_MAJOR}.${CW_VERSION_MINOR}.${CW_VERSION_REVISION}")
set(CW_PACKAGE_DOCS ${CMAKE_BINARY_DIR}/package-docs)
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE CW_PACKAGE_ARCHITECTURE
    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(CW_PACKAGE_FILE chatterwisp_${CW_PACKAGE_VERSION}_${CW_PACKAGE_ARCHITECTURE}.deb)

configure_file(resources/package/chatterwisp.1.in ${CW_PACKAGE_DOCS}/chatterwisp.1 @ONLY)
configure_file(resources/package/changelog ${CW_PACKAGE_DOCS}/changelog COPYONLY)
# -n leaves the file name and time out of the archive, so the same sources give the same package.
foreach(doc IN ITEMS chatterwisp.1 changelog)
    add_custom_command(OUTPUT ${CW_PACKAGE_DOCS}/${doc}.gz
        COMMAND gzip -9nkf ${CW_PACKAGE_DOCS}/${doc}
        DEPENDS ${CW_PACKAGE_DOCS}/${doc}
        VERBATIM)
endforeach()
add_custom_target(package_docs ALL DEPENDS ${CW_PACKAGE_DOCS}/chatterwisp.1.gz ${CW_PACKAGE_DOCS}/changelog.gz)

install(FILES ${CW_PACKAGE_DOCS}/chatterwisp.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES resources/package/copyright ${CW_PACKAGE_DOCS}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/chatterwisp)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME chatterwisp)
set(CPACK_PACKAGE_VERSION ${CW_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR "${CW_TITLE}")
set(CPACK_PACKAGE_CONTACT "${CW_TITLE} support <${CW_SUPPORT_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text-to-speech reader with a cartoon genie")
set(CPACK_PACKAGE_DESCRIPTION "\
${CW_TITLE} reads text aloud. A cartoon genie stands on the desktop in a window
of his own and speaks the text in a speech balloon, his mouth following the
words: text typed into the main window, or text copied in any other program
while clipboard monitoring is on. Pitch and speed come from two fields and four
presets; speech tags in the text change the voice as it reads.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME ${CW_PACKAGE_FILE})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CW_WEB_ADDRESS}")
# The libraries it links decide the dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The genie's natural voice, and the HTS engine release whose frame-wise vocoder the speech module calls (see
# tts/HtsEngineCalls.cpp): a later release may change it, so the package waits for a build against it.
# Data read at run time, which no library link shows: eSpeak NG's voices and dictionaries, the fingerprints the
# language of each paragraph is found with, and KAKASI's dictionary for the kanji of Japanese text.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "festvox-us-slt-hts, libhtsengine1 (>= 1.10), libhtsengine1 (<< 1.11), espeak-ng-data, libexttextcat-data, kakasi-dic")
# The dialogs were laid out for fonts with Liberation Sans' metrics, and the desktop file's actions hand
# themselves to the running program with gdbus; no library link shows either.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, libglib2.0-bin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${CW_PACKAGE_ARCHITECTURE})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)
