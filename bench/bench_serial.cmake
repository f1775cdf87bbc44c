# bench-serial: the serial port component against Qt's serial port module,
# pySerial and the floor of bare system calls on a pseudo-terminal pair (read
# time-out precision, exchange time).
find_package(Qt6 REQUIRED COMPONENTS SerialPort)
add_executable(bench-serial ${CMAKE_CURRENT_LIST_DIR}/bench_serial.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SerialFloor.cpp)
target_link_libraries(bench-serial PRIVATE orbel_serial Qt6::SerialPort Qt6::Core)
