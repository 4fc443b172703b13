# The executable bin/zarnith. Every engine library is linked whole so that the
# game-object module can bind any exported symbol; -rdynamic exports them.
add_executable(zarnith ${CMAKE_SOURCE_DIR}/app/main.cpp)
set_target_properties(zarnith PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${ZARNITH_BIN_DIR}
  ENABLE_EXPORTS ON)
target_link_libraries(zarnith PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,zcore>" ${CMAKE_DL_LIBS})

# The game-object module (bin/gameobj.dll) is built against the executable.
if(EXISTS ${CMAKE_SOURCE_DIR}/gameobj/module.cmake)
  include(${CMAKE_SOURCE_DIR}/gameobj/module.cmake)
endif()
