# Checks that the package's descriptions agree with identity.cmake: the AppStream id and launchable with the
# desktop file's id, and the newest AppStream release and Debian changelog entry with the version.
# cmake -DAPP_ID=... -DVERSION=... -DMETAINFO=... -DCHANGELOG=... -P check-identity.cmake
file(READ ${METAINFO} metainfo)
file(READ ${CHANGELOG} changelog)
set(problems)

string(REGEX MATCH "<id>([^<]*)</id>" _ "${metainfo}")
if(NOT CMAKE_MATCH_1 STREQUAL APP_ID)
    list(APPEND problems "the metainfo's id is \"${CMAKE_MATCH_1}\", the desktop file's is \"${APP_ID}\"")
endif()
string(REGEX MATCH "<launchable type=\"desktop-id\">([^<]*)</launchable>" _ "${metainfo}")
if(NOT CMAKE_MATCH_1 STREQUAL "${APP_ID}.desktop")
    list(APPEND problems "the metainfo launches \"${CMAKE_MATCH_1}\", the desktop file is \"${APP_ID}.desktop\"")
endif()
string(REGEX MATCH "<release version=\"([^\"]*)\"" _ "${metainfo}")
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
    list(APPEND problems "the metainfo's newest release is \"${CMAKE_MATCH_1}\", the version is \"${VERSION}\"")
endif()
string(REGEX MATCH "^chatterwisp \\(([^)]*)\\)" _ "${changelog}")
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
    list(APPEND problems "the changelog's newest entry is \"${CMAKE_MATCH_1}\", the version is \"${VERSION}\"")
endif()

if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "The package's descriptions disagree with identity.cmake:\n  ${text}")
endif()
message(STATUS "id ${APP_ID} and version ${VERSION} agree everywhere")
