# GoogleTest from Debian's source package, built for whichever target this is.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
enable_testing()

# Test sources of a tests/ sub-folder: all *Test.cpp, or only those of the
# portable modules when `portable_only` is set.
function(tarv_test_sources out dir portable_only)
    file(GLOB all CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${dir}/*Test.cpp)
    set(picked "")
    foreach(f ${all})
        get_filename_component(base ${f} NAME_WE)
        string(REGEX REPLACE "Test$" "" module ${base})
        list(FIND TARV_PORTABLE_MODULES ${dir}/${module} at)
        if(NOT portable_only OR at GREATER -1)
            list(APPEND picked ${f})
        endif()
    endforeach()
    set(${out} ${picked} PARENT_SCOPE)
endfunction()
