# The executable bin/zarnith. Every engine library is linked whole so that the
# game-object module can bind any exported symbol; -rdynamic exports them.
# LINK_LIBRARY_OVERRIDE_<lib> makes the whole-archive feature win over the plain
# references that the libraries' own dependencies add to the same link line.
set(ZARNITH_ENGINE_LIBS zshell zplatform zui zrender zgameobj zscript zworld squirrel zcore)

add_executable(zarnith ${CMAKE_SOURCE_DIR}/app/main.cpp)
set_target_properties(zarnith PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${ZARNITH_BIN_DIR}
  ENABLE_EXPORTS ON)
foreach(lib ${ZARNITH_ENGINE_LIBS})
  set_property(TARGET zarnith PROPERTY LINK_LIBRARY_OVERRIDE_${lib} WHOLE_ARCHIVE)
endforeach()
target_link_libraries(zarnith PRIVATE ${ZARNITH_ENGINE_LIBS} ${CMAKE_DL_LIBS})
