# A local-layout folder in the build tree: the executable, its window module and help page beside
# the Dremont product folder that holds the catalogue and a board file. Every build lays it out
# afresh. Included, not added as a subdirectory: the folder that is removed and laid out again must
# not be a build folder of CMake's own, which Makefile generators keep their rules in and enter
# before each command.
set(VENTREL_DEMO_DIR ${CMAKE_BINARY_DIR}/demo)
set(VENTREL_DEMO_DATA "${VENTREL_DEMO_DIR}/Zorvik - LAN PANORAMIC")
set(VENTREL_DEMO_FILES ${CMAKE_CURRENT_LIST_DIR})

add_custom_target(demo ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VENTREL_DEMO_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VENTREL_DEMO_DATA}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:VentrelConf> $<TARGET_FILE:VentrelConfQt>
          ${CMAKE_BINARY_DIR}/VentrelConf.html ${VENTREL_DEMO_DIR}/
  COMMAND ${CMAKE_COMMAND} -E copy
          ${VENTREL_DEMO_FILES}/VentrelConf.ini
          ${VENTREL_DEMO_FILES}/VENTREL_DLL.INI
          ${VENTREL_DEMO_DATA}/
  DEPENDS VentrelConf VentrelConfQt ventrel_help_page
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Laying out the demo folder ${VENTREL_DEMO_DIR}"
  VERBATIM)
