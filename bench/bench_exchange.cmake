# bench-exchange: the tool's CPU time against the wall time of signature
# exchanges with orbel-sim in its own process (started by the test fixture).
if(TARGET orbel_sim_fixture AND TARGET orbel_ui)
  add_executable(bench-exchange ${CMAKE_CURRENT_LIST_DIR}/bench_exchange.cpp)
  target_link_libraries(bench-exchange PRIVATE orbel_ui orbel_sim_fixture)
endif()
