# TarvPack, the packaging tool: a host program with the full C++ library,
# built natively and for Windows, on the same reader core as the installer.
# Its RAR 2.0 encoder is a library of its own, shared with the encoder's
# tests and benchmark.
file(GLOB rar20_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/TarvPack/Rar20*.cpp)
add_library(tarvpack_rar20 STATIC ${rar20_sources})
target_include_directories(tarvpack_rar20 PUBLIC ${CMAKE_SOURCE_DIR}/tools/TarvPack ${CMAKE_SOURCE_DIR}/src)
target_compile_options(tarvpack_rar20 PRIVATE ${TARV_WARNINGS})

file(GLOB tarvpack_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/TarvPack/*.cpp)
list(REMOVE_ITEM tarvpack_sources ${rar20_sources})
add_executable(TarvPack ${tarvpack_sources})
target_link_libraries(TarvPack tarvpack_rar20 tarv_portable)
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

    # The encoder against our decoder and unar/lsar.
    add_executable(rar20_encoder_tests ${CMAKE_SOURCE_DIR}/tests/tools/Rar20EncoderTests.cpp
        ${CMAKE_SOURCE_DIR}/tests/support/PortableArchiveSupport.cpp)
    target_link_libraries(rar20_encoder_tests tarvpack_rar20 tarv_portable GTest::gtest_main)
    target_include_directories(rar20_encoder_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(rar20_encoder_tests PRIVATE
        TARV_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures")
    add_test(NAME rar20_encoder_tests COMMAND rar20_encoder_tests)
    if(TARGET BenchPack20)
        target_link_libraries(BenchPack20 tarvpack_rar20)
    endif()
endif()
