# The shipped 64-bit program: the test build's settings with the win32-threaded
# compilers, like the 32-bit build (the test programs need the posix-threaded
# ones, since GoogleTest needs std::mutex).
include(${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64.cmake)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-win32)
