# TarvPack, the packaging tool: a host program with the full C++ library,
# built natively and for Windows, on the same reader core as the installer.
file(GLOB tarvpack_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/TarvPack/*.cpp)
add_executable(TarvPack ${tarvpack_sources})
target_link_libraries(TarvPack tarv_portable)
target_compile_options(TarvPack PRIVATE ${TARV_WARNINGS})
if(WIN32)
    # The portable modules use the system's ANSI case conversion (user32).
    target_link_libraries(TarvPack user32)
    target_link_options(TarvPack PRIVATE -static)
else()
    # Round trips through the built tool, our reader and unar/lsar. The file
    # is not named *Test.cpp so the Windows test folders do not take it in.
    add_executable(tarvpack_tests ${CMAKE_SOURCE_DIR}/tests/tools/TarvPackTests.cpp
                   ${CMAKE_SOURCE_DIR}/tests/support/PortableArchiveSupport.cpp)
    target_link_libraries(tarvpack_tests tarv_portable GTest::gtest_main)
    target_include_directories(tarvpack_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(tarvpack_tests PRIVATE TARVPACK_EXE="$<TARGET_FILE:TarvPack>"
                               TARV_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures")
    add_dependencies(tarvpack_tests TarvPack)
    add_test(NAME tarvpack_tests COMMAND tarvpack_tests)
endif()
