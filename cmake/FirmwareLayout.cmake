# The layout of the two firmware images, in one place: the build's image
# check reads it, and firmware/image_layout.h.in is configured from it for
# the code (the updater, the simulated remote, the stand-in generator).
set(CORVANE_MAIN_IMAGE_SIZE 78336)
set(CORVANE_LOADER_IMAGE_SIZE 17408)
# The 32-byte record inside each image: its last byte is the low byte of the
# sum of the others.
set(CORVANE_IMAGE_INFO_OFFSET 16384)
set(CORVANE_IMAGE_INFO_SIZE 32)
