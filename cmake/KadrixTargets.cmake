# Helpers shared by the rooms: Windows test registration under Wine and the
# check that no binary needs a mingw runtime DLL.

if(WIN32 AND CMAKE_CROSSCOMPILING)
  set(KADRIX_WINE_STATE "${CMAKE_BINARY_DIR}/wine" CACHE PATH
      "Folder of the Wine prefix and test session of this build")
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "${PROJECT_SOURCE_DIR}/scripts/wine-run.sh;--test;${KADRIX_WINE_STATE}")
endif()

# A type library compiled from IDL for this bitness: widl with mingw (which
# ships no .idl files, so com/idl holds a stand-in unknwn.idl), midl with MSVC.
function(kadrix_type_library idl tlb)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(widl_bits -m64)
    set(stdole_dir /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  else()
    set(widl_bits -m32)
    set(stdole_dir /usr/lib/i386-linux-gnu/wine/i386-windows)
  endif()
  if(MSVC)
    set(tlb_command midl /nologo /tlb ${tlb} ${idl})
  else()
    set(tlb_command ${KADRIX_TRIPLE}-widl -t ${widl_bits} -I ${PROJECT_SOURCE_DIR}/com/idl
        -L ${stdole_dir} -o ${tlb} ${idl})
  endif()
  get_filename_component(name ${tlb} NAME)
  add_custom_command(
    OUTPUT ${tlb}
    COMMAND ${tlb_command}
    DEPENDS ${idl} ${PROJECT_SOURCE_DIR}/com/idl/unknwn.idl
    COMMENT "Type library ${name}")
endfunction()

# The version resource of every deliverable: kadrix_version.h, made from
# project(Kadrix VERSION ...), and version_info.rc, which the target's own
# .rc includes after defining the binary's description and names.
foreach(part MAJOR MINOR PATCH TWEAK)
  set(KADRIX_VERSION_${part} "${PROJECT_VERSION_${part}}")
  if(KADRIX_VERSION_${part} STREQUAL "")
    set(KADRIX_VERSION_${part} 0)
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/kadrix_version.h.in
               ${PROJECT_BINARY_DIR}/generated/kadrix_version.h @ONLY)

function(kadrix_version_resource target rc)
  target_include_directories(${target} PRIVATE ${PROJECT_BINARY_DIR}/generated
                                                ${PROJECT_SOURCE_DIR}/cmake)
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS
    ${PROJECT_BINARY_DIR}/generated/kadrix_version.h ${PROJECT_SOURCE_DIR}/cmake/version_info.rc)
endfunction()

# Every Windows binary we build, for the runtime-import check.
define_property(GLOBAL PROPERTY KADRIX_WINDOWS_BINARIES
  BRIEF_DOCS "Windows binaries checked for mingw runtime imports"
  FULL_DOCS "Targets whose files must import no mingw runtime DLL")

function(kadrix_windows_binary target)
  set_property(GLOBAL APPEND PROPERTY KADRIX_WINDOWS_BINARIES ${target})
endfunction()

# A GoogleTest executable that runs under Wine, inside the test session
# (own display, persistent wineserver). One ctest test per executable: each
# Wine start costs a fraction of a second, and GoogleTest reports the cases.
# A 32-bit test on a machine that runs 64-bit code only is skipped: the
# emulator answers 77 for it.
function(kadrix_add_wine_test target)
  cmake_parse_arguments(ARG "" "TIMEOUT" "" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  kadrix_windows_binary(${target})
  add_test(NAME ${target} COMMAND ${target} --gtest_color=no)
  set_tests_properties(${target} PROPERTIES
    FIXTURES_REQUIRED wine_session
    TIMEOUT ${ARG_TIMEOUT}
    RESOURCE_LOCK wine_session
    SKIP_RETURN_CODE 77)
endfunction()

# Called once at the end of the top level: the Wine session fixtures and the
# runtime-import check over every registered binary.
function(kadrix_finish_windows_tests)
  if(NOT (WIN32 AND CMAKE_CROSSCOMPILING))
    return()
  endif()
  set(session "${PROJECT_SOURCE_DIR}/scripts/wine-session.sh")
  add_test(NAME wine_session_start COMMAND ${session} start ${KADRIX_WINE_STATE})
  add_test(NAME wine_session_stop COMMAND ${session} stop ${KADRIX_WINE_STATE})
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine_session TIMEOUT 120)
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine_session TIMEOUT 60)

  get_property(targets GLOBAL PROPERTY KADRIX_WINDOWS_BINARIES)
  set(files)
  foreach(t IN LISTS targets)
    list(APPEND files $<TARGET_FILE:${t}>)
  endforeach()
  add_test(NAME no_mingw_runtime_imports
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-imports.sh ${CMAKE_OBJDUMP} ${files})
endfunction()
