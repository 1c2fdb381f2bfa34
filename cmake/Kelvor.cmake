# Shared build rules: warnings as errors for our own code, and one way to declare
# a library or a test so every folder builds the same way.

# Build type "Checked" (make test uses it): optimised like a release, but without NDEBUG, so
# every assert stays in. Release stays the build for running the monitor. project() has
# already made an empty cache entry for a build type it does not know, hence FORCE.
if(NOT CMAKE_CXX_FLAGS_CHECKED)
  set(CMAKE_CXX_FLAGS_CHECKED "-O2" CACHE STRING "C++ flags of the Checked build type (asserts on)"
    FORCE)
endif()

# Build type "Sanitize" (make test's second build, with clang): AddressSanitizer and
# UndefinedBehaviorSanitizer over all of our code, float-to-integer overflow included, and
# every finding fatal. Qt, fontconfig and ICU come uninstrumented from the system.
set(KELVOR_SANITIZE_FLAGS
  "-O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all")
if(NOT CMAKE_CXX_FLAGS_SANITIZE)
  set(CMAKE_CXX_FLAGS_SANITIZE "${KELVOR_SANITIZE_FLAGS}" CACHE STRING
    "C++ flags of the Sanitize build type" FORCE)
  set(CMAKE_EXE_LINKER_FLAGS_SANITIZE "${KELVOR_SANITIZE_FLAGS}" CACHE STRING
    "Linker flags of the Sanitize build type" FORCE)
  set(CMAKE_SHARED_LINKER_FLAGS_SANITIZE "${KELVOR_SANITIZE_FLAGS}" CACHE STRING
    "Linker flags of the Sanitize build type" FORCE)
endif()

# -Wrestrict is off: GCC 12 reports false positives inside std::string at -O2/-O3 (its
# bug 105329), e.g. for "$" + std::string.
add_library(kelvor_warnings INTERFACE)
target_compile_options(kelvor_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror -Wno-missing-field-initializers
  $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)

# kelvor_library(NAME SOURCES ... LIBS ...)
function(kelvor_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE kelvor_warnings)
endfunction()

# kelvor_test(NAME SOURCES ... LIBS ... [PROPERTIES ...]): a GoogleTest binary with the shared
# headless main (which also switches the socket layer's loopback guard on), registered with
# CTest test by test; PROPERTIES are further CTest properties of every test (fixtures, locks).
function(kelvor_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kelvor_test_support ${ARG_LIBS} GTest::gtest GTest::gmock kelvor_warnings)
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ${ARG_PROPERTIES}
    DISCOVERY_TIMEOUT 60)
endfunction()

# Subfolders that exist; lets a layer grow its folders without touching its parent.
function(kelvor_add_existing_subdirectories)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
