# Windows build: the installer Tarv.exe and the test programs.
file(GLOB_RECURSE all_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.cpp)
set(win_sources "")
foreach(f ${all_sources})
    file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${f})
    list(FIND TARV_PORTABLE_SOURCES ${rel} at)
    if(at EQUAL -1 AND NOT rel MATCHES "^src/setup/((Un)?Tarv|Startup)\\.cpp$")
        list(APPEND win_sources ${f})
    endif()
endforeach()

# version.dll is no system-folder-only DLL (it is not among the known DLLs):
# it is loaded by its full path at run time, never imported.
set(win_libs comctl32 shell32 ole32 uuid advapi32 gdi32 user32 kernel32)

add_library(tarv_win STATIC ${win_sources})
target_link_libraries(tarv_win PUBLIC tarv_portable ${win_libs})
target_compile_options(tarv_win PRIVATE ${TARV_WARNINGS} ${TARV_LEAN_FLAGS})
target_compile_definitions(tarv_win PUBLIC WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0400 WINVER=0x0400)

# The program's resources: the installer links them, and so do the test
# programs and helpers, which create the real dialog templates. The resource
# compiler's includes are listed by hand (CMake does not scan them).
set(tarv_resources ${CMAKE_SOURCE_DIR}/src/ui/Tarv.rc)
set_source_files_properties(${tarv_resources} PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/src/ui/Dialogs.rc;${CMAKE_SOURCE_DIR}/src/ui/Resource.h;${CMAKE_SOURCE_DIR}/src/ui/Tarv.ico;${CMAKE_SOURCE_DIR}/src/ui/Tarv.manifest")

# The installer: small above all (the archive behind it is found only when it
# starts at offset 0x1FFED at the latest, kLastMarkerOffset).
# Both programs start at ProgramStart (src/setup/Startup.cpp) instead of the
# C runtime's start-up code; i686 symbols carry a leading underscore.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(tarv_entry _ProgramStart)
else()
    set(tarv_entry ProgramStart)
endif()
set(tarv_program_link -s -static -nostartfiles -Wl,-e,${tarv_entry} -Wl,--gc-sections
    -Wl,--no-insert-timestamp)

add_executable(Tarv WIN32 src/setup/Tarv.cpp src/setup/Startup.cpp ${tarv_resources})
target_compile_options(Tarv PRIVATE ${TARV_WARNINGS} ${TARV_LEAN_FLAGS})
target_link_libraries(Tarv tarv_win)
target_link_options(Tarv PRIVATE ${tarv_program_link} -Wl,-Map=${CMAKE_BINARY_DIR}/Tarv.map)

# The uninstaller, one copy in the Windows folder for every installed
# program; its own entry point, the same lean build.
add_executable(UnTarv WIN32 src/setup/UnTarv.cpp src/setup/Startup.cpp src/setup/UnTarv.rc)
target_compile_options(UnTarv PRIVATE ${TARV_WARNINGS} ${TARV_LEAN_FLAGS})
target_link_libraries(UnTarv tarv_win)
target_link_options(UnTarv PRIVATE ${tarv_program_link})
foreach(t tarv_portable tarv_win Tarv UnTarv)
    target_compile_options(${t} PRIVATE -Os)
endforeach()

# Tests run on the x86_64 build only (wine64).
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    include(cmake/testing.cmake)
    file(GLOB support CONFIGURE_DEPENDS tests/support/*.cpp)
    file(GLOB test_dirs LIST_DIRECTORIES true RELATIVE ${CMAKE_SOURCE_DIR}/tests
         ${CMAKE_SOURCE_DIR}/tests/*)
    foreach(dir ${test_dirs})
        tarv_test_sources(srcs ${dir} OFF)
        if(NOT srcs)
            continue()
        endif()
        add_executable(${dir}_tests ${srcs} ${support} ${tarv_resources})
        target_link_libraries(${dir}_tests tarv_win GTest::gtest_main)
        target_include_directories(${dir}_tests PRIVATE tests)
        target_link_options(${dir}_tests PRIVATE -static)
        target_compile_definitions(${dir}_tests PRIVATE
            TARV_FIXTURES_DIR="Z:${CMAKE_SOURCE_DIR}/tests/fixtures")
        add_test(NAME ${dir} COMMAND ${dir}_tests)
    endforeach()
    # Helpers are programs, except those named *Dll.cpp: DLLs (COM servers).
    file(GLOB helper_sources CONFIGURE_DEPENDS tests/helpers/*.cpp)
    foreach(src ${helper_sources})
        get_filename_component(name ${src} NAME_WE)
        if(name MATCHES "Dll$")
            add_library(${name} SHARED ${src})
            set_target_properties(${name} PROPERTIES PREFIX "")
        else()
            add_executable(${name} ${src} ${tarv_resources})
            target_link_libraries(${name} tarv_win)
        endif()
        target_link_options(${name} PRIVATE -static)
    endforeach()

    # Programs with chosen file versions for the version comparisons:
    # TestVersion_<a>_<b>_<c>_<d>.exe.
    foreach(v 1_2_0_1 1_2_0_0 2_0_0_0 32768_0_0_0)
        string(REPLACE "_" "," commas ${v})
        add_executable(TestVersion_${v} tests/helpers/versioned/TestVersioned.cpp
                       tests/helpers/versioned/TestVersioned.rc)
        target_compile_definitions(TestVersion_${v} PRIVATE TEST_FILE_VERSION=${commas})
        target_link_options(TestVersion_${v} PRIVATE -static)
    endforeach()
    # COM server stand-ins (see the source): registering, failing, no exports.
    foreach(dll TestComServer:NONE TestComServerFail:TEST_SERVER_FAILS TestNoServer:TEST_NO_EXPORTS)
        string(REPLACE ":" ";" name_and_define ${dll})
        list(GET name_and_define 0 name)
        list(GET name_and_define 1 define)
        add_library(${name} SHARED tests/helpers/comserver/TestComServer.cpp)
        set_target_properties(${name} PROPERTIES PREFIX "")
        target_compile_definitions(${name} PRIVATE ${define})
        target_link_options(${name} PRIVATE -static -Wl,--kill-at)
        target_link_libraries(${name} advapi32)
    endforeach()
    # The install benchmark's file pass (tools/bench/bench-install.sh).
    add_executable(BenchInstall tools/bench/install/BenchInstall.cpp ${tarv_resources})
    target_link_libraries(BenchInstall tarv_win)
    target_compile_options(BenchInstall PRIVATE -O2)
    target_link_options(BenchInstall PRIVATE -static)
    # The installation tests and the setup runs end to end pack their
    # packages with the Windows packaging tool in front of the installer.
    foreach(t install_tests setup_tests)
        if(TARGET ${t})
            target_compile_definitions(${t} PRIVATE
                TARVPACK_EXE="Z:$<TARGET_FILE:TarvPack>" TARV_SETUP_STUB="Z:$<TARGET_FILE:Tarv>")
            add_dependencies(${t} TarvPack Tarv)
        endif()
    endforeach()
endif()

# The GUI test driver: drives a program's windows from outside by window
# messages (tools/GuiDriver); it shares the list of template names.
file(GLOB gui_driver_sources CONFIGURE_DEPENDS tools/GuiDriver/*.cpp)
add_executable(GuiDriver ${gui_driver_sources})
target_include_directories(GuiDriver PRIVATE src)
target_compile_options(GuiDriver PRIVATE ${TARV_WARNINGS})
target_link_libraries(GuiDriver user32 gdi32)
target_link_options(GuiDriver PRIVATE -static -s)
if(TARGET ui_tests)
    add_dependencies(ui_tests GuiDriver PageHost)  # the page tests run both
endif()
if(TARGET setup_tests)
    add_dependencies(setup_tests GuiDriver HoldFile)  # the setup runs end to end
endif()

if(EXISTS ${CMAKE_SOURCE_DIR}/cmake/tools.cmake)
    include(cmake/tools.cmake)
endif()

