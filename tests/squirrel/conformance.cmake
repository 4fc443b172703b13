# Conformance suite: every conformance/<name>.nut runs through bin/sq as test
# sq_conf_<name>; its stdout must equal <name>.out. Optional files beside it:
#   <name>.err     exact expected stderr        <name>.errsub  lines that stderr must contain
#   <name>.rc      expected exit status (default 0)
#   <name>.args    arguments passed after the script name (one per line)
file(GLOB SQ_CONF_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/conformance/*.nut)
foreach(script ${SQ_CONF_SCRIPTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME sq_conf_${name}
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/conformance/run_conf.sh $<TARGET_FILE:sq>
                   ${CMAKE_CURRENT_SOURCE_DIR}/conformance ${name})
  set_tests_properties(sq_conf_${name} PROPERTIES TIMEOUT 30 LABELS squirrel)
endforeach()
