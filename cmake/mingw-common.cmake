# Shared part of the mingw-w64 toolchain files. Expects KADRIX_TRIPLE.

# The -posix compilers: the default win32-thread variant has no std::thread
# or std::mutex, which GoogleTest and our capture deadline need.
set(CMAKE_C_COMPILER ${KADRIX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KADRIX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KADRIX_TRIPLE}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

# Where the bootstrap installs the cross-built GoogleTest and libjpeg-turbo.
if(DEFINED ENV{KADRIX_CACHE})
  set(KADRIX_CACHE "$ENV{KADRIX_CACHE}")
elseif(DEFINED ENV{XDG_CACHE_HOME})
  set(KADRIX_CACHE "$ENV{XDG_CACHE_HOME}/kadrix")
else()
  set(KADRIX_CACHE "$ENV{HOME}/.cache/kadrix")
endif()
set(KADRIX_DEPS_PREFIX "${KADRIX_CACHE}/${CMAKE_SYSTEM_PROCESSOR}")

set(CMAKE_FIND_ROOT_PATH /usr/${KADRIX_TRIPLE} ${KADRIX_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No mingw runtime DLL may be needed beside a deliverable: -static is the one
# setting that drops libgcc_s, libstdc++-6 and libwinpthread-1 imports.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
