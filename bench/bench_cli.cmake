# bench-cli: orbel-cli against orbel-sim (both in their own processes): time
# from start to the signature's JSON line against the read budget, and the
# CPU time of a readings loop against its wall time.
if(TARGET orbel_sim_fixture AND TARGET orbel-cli)
  add_executable(bench-cli ${CMAKE_CURRENT_LIST_DIR}/bench_cli.cpp)
  target_link_libraries(bench-cli PRIVATE orbel_sim_fixture)
  set_target_properties(bench-cli PROPERTIES AUTOMOC OFF)
  add_dependencies(bench-cli orbel-cli)
endif()
