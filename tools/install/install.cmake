# `cmake --install build --prefix P` installs the game like a Linux game:
#   P/share/zarnith/bin/        the program directory (executable, module, shaders, scripts,
#                               generated assets; empty cache/ and shots/)
#   P/share/zarnith/compiler/   the module's sources, with the headers they build against
#   P/bin/zarnith               the launcher
#   P/share/applications/zarnith.desktop, P/share/icons/hicolor/NxN/apps/zarnith.png
# A read-only installed copy keeps its shader cache and screenshots in the user's folders
# (core/user_dirs.h).
install(TARGETS zarnith RUNTIME DESTINATION share/zarnith/bin)
install(DIRECTORY ${ZARNITH_BIN_DIR}/ DESTINATION share/zarnith/bin
  USE_SOURCE_PERMISSIONS
  PATTERN zarnith EXCLUDE
  PATTERN gameobj_new.dll EXCLUDE
  PATTERN "*.part*" EXCLUDE
  PATTERN "*.tmp*" EXCLUDE
  PATTERN .keep EXCLUDE
  REGEX "/(cache|shots)/.+" EXCLUDE)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/compiler DESTINATION share/zarnith)
foreach(dir core app gameobj world script render ui squirrel)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/${dir} DESTINATION share/zarnith FILES_MATCHING PATTERN "*.h")
endforeach()
install(PROGRAMS ${CMAKE_SOURCE_DIR}/tools/install/zarnith.sh DESTINATION bin RENAME zarnith)
install(FILES ${CMAKE_SOURCE_DIR}/tools/install/zarnith.desktop DESTINATION share/applications)
foreach(size ${ZARNITH_ICON_SIZES})
  install(FILES ${CMAKE_BINARY_DIR}/icons/${size}x${size}/zarnith.png DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
