# Cross-build for 32-bit Windows, which runs on 32-bit and 64-bit Windows.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
