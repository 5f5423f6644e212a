# The end-to-end runs of `briscatool send` and `briscatool monitor` against JACK (included from
# tests/download so that they sit with the unit tests of the same commands).
pkg_check_modules(E2E_JACK IMPORTED_TARGET jack)
if(NOT BRISCA_E2E OR NOT E2E_JACK_FOUND OR NOT TARGET brisca_platform_rtmidi)
  return()
endif()
add_executable(jack_midi_tool ${CMAKE_CURRENT_LIST_DIR}/jack_midi_tool.cpp)
set_target_properties(jack_midi_tool PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests/e2e)
target_link_libraries(jack_midi_tool PRIVATE brisca_soundfile PkgConfig::E2E_JACK brisca_options)
# The scripts' view of a server's ports, kept by one client instead of a jack_lsp every 50 ms.
add_executable(jack_port_lister ${CMAKE_CURRENT_LIST_DIR}/jack_port_lister.cpp)
set_target_properties(jack_port_lister PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests/e2e)
target_link_libraries(jack_port_lister PRIVATE PkgConfig::E2E_JACK brisca_options)
foreach(scenario send monitor server-loss send-faults signals stalled-server)
  add_test(NAME e2e_midi_${scenario}
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/midi_e2e.sh ${scenario} ${PROJECT_BINARY_DIR}
      ${PROJECT_SOURCE_DIR})
  set_tests_properties(e2e_midi_${scenario} PROPERTIES RESOURCE_LOCK jack_server TIMEOUT 120
    PROCESSORS 2)
  if(NOT scenario MATCHES "server-loss|stalled-server")
    set_tests_properties(e2e_midi_${scenario} PROPERTIES FIXTURES_REQUIRED jack_server)
  endif()
endforeach()

# The cable test and the pace against a simulated MIDI interface with a small buffer and a slow
# wire, with byte checks at the far end.
add_executable(slow_midi_interface ${CMAKE_CURRENT_LIST_DIR}/slow_midi_interface.cpp)
set_target_properties(slow_midi_interface PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests/e2e)
target_link_libraries(slow_midi_interface PRIVATE PkgConfig::E2E_JACK brisca_options)
foreach(scenario healthy poor flips nothing)
  add_test(NAME e2e_cable_${scenario}
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/cable_e2e.sh ${scenario} ${PROJECT_BINARY_DIR}
      ${PROJECT_SOURCE_DIR})
  set_tests_properties(e2e_cable_${scenario} PROPERTIES
    FIXTURES_REQUIRED jack_server RESOURCE_LOCK jack_server TIMEOUT 180 PROCESSORS 2)
endforeach()
