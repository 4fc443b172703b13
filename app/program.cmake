# The executable bin/zarnith. Every engine library is linked whole so that the
# game-object module can bind any exported symbol; -rdynamic exports them.
# LINK_LIBRARY_OVERRIDE_<lib> makes the whole-archive feature win over the plain
# references that other libraries' dependencies on zcore add to the same link line;
# add one line per library that joins the executable.
add_executable(zarnith ${CMAKE_SOURCE_DIR}/app/main.cpp)
set_target_properties(zarnith PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${ZARNITH_BIN_DIR}
  ENABLE_EXPORTS ON
  LINK_LIBRARY_OVERRIDE_zshell WHOLE_ARCHIVE
  LINK_LIBRARY_OVERRIDE_zcore WHOLE_ARCHIVE
  LINK_LIBRARY_OVERRIDE_zscript WHOLE_ARCHIVE
  LINK_LIBRARY_OVERRIDE_zramp WHOLE_ARCHIVE
  LINK_LIBRARY_OVERRIDE_zworld WHOLE_ARCHIVE
  LINK_LIBRARY_OVERRIDE_squirrel WHOLE_ARCHIVE)
target_link_libraries(zarnith PRIVATE zshell zscript zworld zramp zcore squirrel ${CMAKE_DL_LIBS})

# The game-object module (bin/gameobj.dll) is built against the executable.
if(EXISTS ${CMAKE_SOURCE_DIR}/gameobj/module.cmake)
  include(${CMAKE_SOURCE_DIR}/gameobj/module.cmake)
endif()
