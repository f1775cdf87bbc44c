# bench-soak: mixed transactions with injected faults through the worker and
# the real serial component against orbel-sim; failures, hangs, memory growth.
if(TARGET orbel_sim_fixture)
  add_executable(bench-soak ${CMAKE_CURRENT_LIST_DIR}/bench_soak.cpp)
  target_link_libraries(bench-soak PRIVATE orbel_protocol orbel_serial orbel_sim_fixture Qt6::Core)
endif()
